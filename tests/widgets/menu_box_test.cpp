// Box: golden frames with title and shadow, colour schemes, and the screen
// put back by Close.
#include "widgets/menu_box.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

class MenuBoxTest : public testkit::ScreenTest {
 protected:
  // Letters in a different colour on every row, so that a restore or a shadow
  // that loses a character or an attribute shows.
  void FillBackdrop() {
    for (std::uint8_t y = 1; y <= 25; ++y) {
      std::string row;
      for (int x = 1; x <= 80; ++x) row += Backdrop(x, y);
      WriteXY(1, y, y, row);
    }
  }
  static char Backdrop(int x, int y) { return static_cast<char>('a' + (x - 1 + y) % 26); }
  void ExpectCell(int x, int y, char ch, std::uint8_t attr) {
    EXPECT_EQ(CharAt(x, y), ch) << x << "," << y;
    EXPECT_EQ(AttrAt(x, y), attr) << x << "," << y;
  }
};

TEST_F(MenuBoxTest, EveryFrameStyleDrawsFrameTitleAndShadowAndCloseRestores) {
  // Top-left, top, top-right, left, right, bottom-left, bottom, bottom-right.
  const char* const styles[8] = {"\xDA\xC4\xBF\xB3\xB3\xC0\xC4\xD9",
                                 "\xC9\xCD\xBB\xBA\xBA\xC8\xCD\xBC",
                                 "\xD6\xC4\xB7\xBA\xBA\xD3\xC4\xBD",
                                 "\xD5\xCD\xB8\xB3\xB3\xD4\xCD\xBE",
                                 "\xDB\xDF\xDB\xDB\xDB\xDB\xDC\xDB",
                                 "\xDB\xDF\xDC\xDB\xDB\xDF\xDC\xDB",
                                 "        ",
                                 ".-.||`-'"};
  for (std::uint8_t style = 1; style <= 8; ++style) {
    SCOPED_TRACE(style);
    FillBackdrop();
    const std::string before = Snapshot();
    TMenuBox box;
    box.FrameStyle = style;
    box.Title = "Hi";
    box.Open(10, 5, 20, 9);  // inner width 9: the title starts at 11 + 7 div 2
    const char* c = styles[style - 1];
    ExpectCell(10, 5, c[0], 0x7F);
    for (int x : {11, 13, 16, 19}) ExpectCell(x, 5, c[1], 0x7F);
    ExpectCell(14, 5, 'H', 0x1F);
    ExpectCell(15, 5, 'i', 0x1F);
    ExpectCell(20, 5, c[2], 0x78);
    for (int y = 6; y <= 8; ++y) {
      ExpectCell(10, y, c[3], 0x7F);
      for (int x = 11; x <= 19; ++x) ExpectCell(x, y, ' ', 0x7F);
      ExpectCell(20, y, c[4], 0x78);
    }
    ExpectCell(10, 9, c[5], 0x7F);
    for (int x = 11; x <= 19; ++x) ExpectCell(x, 9, c[6], 0x78);
    ExpectCell(20, 9, c[7], 0x78);
    // The shadow keeps the characters under it and only recolours them.
    for (int y = 6; y <= 10; ++y)
      ExpectCell(21, y, Backdrop(21, y), 0), ExpectCell(22, y, Backdrop(22, y), 0);
    for (int x = 12; x <= 20; ++x) ExpectCell(x, 10, Backdrop(x, 10), 0);
    ExpectCell(11, 10, Backdrop(11, 10), 10);
    ExpectCell(21, 5, Backdrop(21, 5), 5);
    ExpectCell(23, 6, Backdrop(23, 6), 6);
    box.Close();
    EXPECT_EQ(Snapshot(), before);
  }
  // A style outside the table draws as the default style instead of reading past it.
  EXPECT_EQ(FrameChar(0, kFrameBottom), FrameChar(6, kFrameBottom));
  EXPECT_EQ(FrameChar(9, kFrameTopLeft), FrameChar(6, kFrameTopLeft));
}

TEST_F(MenuBoxTest, TitleAlignmentsPlaceTheTitleInTheTopRow) {
  struct Case {
    std::uint8_t align;
    const char* title;
    std::string columns8to22;  // row 5 of a style-8 box at (10, 5)-(20, 9) on a blank screen
    std::uint8_t cornerAttr;   // attribute of the top-left corner cell
  };
  for (const Case& k :
       {Case{0, "Hi", "  .---Hi----.  ", 0x7F}, Case{1, "Hi", "  .Hi-------.  ", 0x7F},
        Case{2, "Hi", "  .-------Hi.  ", 0x7F}, Case{3, "Hi", "  .---------.  ", 0x7F},
        Case{4, "Hi", "      Hi       ", 0x1F}, Case{5, "Hi", "  Hi           ", 0x1F},
        Case{6, "Hi", "           Hi  ", 0x1F}, Case{7, "Hi", "  .---------.  ", 0x7F},
        // Wider than the interior: starts left of X1 + 1, unclipped.
        Case{0, "ABCDEFGHIJKLM", " ABCDEFGHIJKLM ", 0x1F}}) {
    SCOPED_TRACE(std::to_string(k.align) + k.title);
    ClearScreen();
    TMenuBox box;
    box.FrameStyle = 8;
    box.TitleAlign = k.align;
    box.Title = k.title;
    box.Open(10, 5, 20, 9);
    EXPECT_EQ(RowText(5).substr(7, 15), k.columns8to22);
    EXPECT_EQ(AttrAt(10, 5), k.cornerAttr);
  }
}

TEST_F(MenuBoxTest, RaisedSunkenAndFlatSchemesColourEachSegment) {
  // Top-left, top edge, top-right, left edge, interior, right edge,
  // bottom-left, bottom edge, bottom-right of a box at (10, 5)-(14, 8).
  const int xs[9] = {10, 11, 14, 10, 11, 14, 10, 11, 14};
  const int ys[9] = {5, 5, 5, 6, 6, 6, 8, 8, 8};
  auto attrs = [&] {
    std::vector<int> all;
    for (int i = 0; i < 9; ++i) all.push_back(AttrAt(xs[i], ys[i]));
    return all;
  };
  TMenuBox box;  // face 1, dark 2, low corner 3, high corner 4
  box.FaceAttr = 1, box.DarkAttr = 2, box.LowCornerAttr = 3, box.HighCornerAttr = 4;
  box.Open(10, 5, 14, 8);
  EXPECT_EQ(attrs(), (std::vector<int>{1, 1, 4, 1, 1, 2, 3, 2, 2}));
  box.Sunken = true;
  box.Open(10, 5, 14, 8);
  EXPECT_EQ(attrs(), (std::vector<int>{4, 4, 1, 2, 2, 1, 2, 3, 3}));
  // Flat copies the face into the edge fields, and they stay after ThreeD returns.
  box.Sunken = false;
  box.ThreeD = false;
  box.Open(10, 5, 14, 8);
  EXPECT_EQ(attrs(), std::vector<int>(9, 1));
  box.ThreeD = true;
  box.Open(10, 5, 14, 8);
  EXPECT_EQ(attrs(), std::vector<int>(9, 1));
}

TEST_F(MenuBoxTest, PositionsPastTheScreenEdgeLandOnTheEdge) {
  FillBackdrop();
  TMenuBox box;
  box.Open(70, 20, 80, 25);
  // Shadow cells right of column 80 and below row 25 read as spaces and are
  // written on the edge: over the box's own right edge and bottom edge.
  ExpectCell(80, 20, '\xDC', 0x78);
  for (int y = 21; y <= 25; ++y) ExpectCell(80, y, ' ', 0);
  for (int x = 72; x <= 80; ++x) ExpectCell(x, 25, ' ', 0);
  ExpectCell(71, 25, '\xDC', 0x78);
  ExpectCell(70, 25, '\xDF', 0x7F);
  // A centred title wider than a box at column 1 starts left of the screen:
  // it lands on column 1, not wrapped round to the right edge.
  TMenuBox narrow;
  narrow.Title = "ABCDEFGHIJ";
  narrow.Open(1, 1, 5, 4);
  EXPECT_EQ(RowText(1).substr(0, 10), "ABCDEFGHIJ");
}

TEST_F(MenuBoxTest, CloseRestoresTheScreenOfTheFirstOpen) {
  FillBackdrop();
  const std::string before = Snapshot();
  TMenuBox box;
  box.Open(5, 5, 30, 10);
  const std::string open = Snapshot();
  box.Suspend();
  EXPECT_EQ(Snapshot(), before);
  box.Resume();
  EXPECT_EQ(Snapshot(), open);
  box.Open(40, 12, 60, 20);  // a second Open takes no new background
  box.Close();
  EXPECT_EQ(Snapshot(), before);

  TMenuBox never;
  WriteXY(1, 1, 0x1E, "changed");
  const std::string changed = Snapshot();
  never.Close();
  EXPECT_EQ(Snapshot(), changed);
}

}  // namespace
}  // namespace corvix
