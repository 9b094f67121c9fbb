// Box: golden frames with title and shadow, colour schemes, title placement
// and the screen put back by Close.
#include "widgets/menu_box.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

using testkit::ScreenTest;

struct Cell {
  char ch;
  std::uint8_t attr;
  bool operator==(const Cell&) const = default;
};

class MenuBoxTest : public ScreenTest {
 protected:
  // A backdrop of letters in changing colours, so that a restore or a shadow
  // that loses a character or an attribute shows.
  void FillBackdrop() {
    for (std::uint8_t y = 1; y <= 25; ++y) {
      std::string row;
      for (int x = 0; x < 80; ++x) row += static_cast<char>('a' + (x + y) % 26);
      WriteXY(1, y, static_cast<std::uint8_t>(y), row);
    }
  }
  std::vector<Cell> Cells() const {
    std::vector<Cell> cells;
    for (std::uint8_t y = 1; y <= 25; ++y)
      for (std::uint8_t x = 1; x <= 80; ++x) cells.push_back({CharAt(x, y), AttrAt(x, y)});
    return cells;
  }
  char Backdrop(int x, int y) const { return static_cast<char>('a' + (x - 1 + y) % 26); }
};

// The frame characters of each style: top-left, top, top-right, left, right,
// bottom-left, bottom, bottom-right.
const char* const kStyles[8] = {
    "\xDA\xC4\xBF\xB3\xB3\xC0\xC4\xD9", "\xC9\xCD\xBB\xBA\xBA\xC8\xCD\xBC",
    "\xD6\xC4\xB7\xBA\xBA\xD3\xC4\xBD", "\xD5\xCD\xB8\xB3\xB3\xD4\xCD\xBE",
    "\xDB\xDF\xDB\xDB\xDB\xDB\xDC\xDB", "\xDB\xDF\xDC\xDB\xDB\xDF\xDC\xDB",
    "        ",                         ".-.||`-'"};

TEST_F(MenuBoxTest, EveryFrameStyleDrawsFrameTitleAndShadowAndCloseRestores) {
  for (std::uint8_t style = 1; style <= 8; ++style) {
    SCOPED_TRACE(style);
    FillBackdrop();
    const auto before = Cells();
    TMenuBox box;
    box.FrameStyle = style;
    box.Title = "Hi";
    box.Open(10, 5, 20, 9);  // inner width 9: the title starts at 11 + 7 div 2
    const char* c = kStyles[style - 1];
    auto expect = [&](int x, int y, char ch, std::uint8_t attr) {
      EXPECT_EQ(CharAt(x, y), ch) << x << "," << y;
      EXPECT_EQ(AttrAt(x, y), attr) << x << "," << y;
    };
    expect(10, 5, c[0], 0x7F);
    for (int x : {11, 12, 13, 16, 19}) expect(x, 5, c[1], 0x7F);
    expect(14, 5, 'H', 0x1F);
    expect(15, 5, 'i', 0x1F);
    expect(20, 5, c[2], 0x78);
    for (int y = 6; y <= 8; ++y) {
      expect(10, y, c[3], 0x7F);
      for (int x = 11; x <= 19; ++x) expect(x, y, ' ', 0x7F);
      expect(20, y, c[4], 0x78);
    }
    expect(10, 9, c[5], 0x7F);
    for (int x = 11; x <= 19; ++x) expect(x, 9, c[6], 0x78);
    expect(20, 9, c[7], 0x78);
    // The shadow keeps the characters under it and only recolours them.
    for (int y = 6; y <= 10; ++y)
      for (int x : {21, 22}) expect(x, y, Backdrop(x, y), 0);
    for (int x = 12; x <= 20; ++x) expect(x, 10, Backdrop(x, 10), 0);
    expect(11, 10, Backdrop(11, 10), 10);
    expect(21, 5, Backdrop(21, 5), 5);
    expect(23, 6, Backdrop(23, 6), 6);
    box.Close();
    EXPECT_TRUE(Cells() == before);
  }
}

TEST_F(MenuBoxTest, TwoOpensAndOneCloseRestoreTheScreenOfTheFirstOpen) {
  FillBackdrop();
  const auto before = Cells();
  TMenuBox box;
  box.Open(5, 5, 30, 10);
  WriteXY(7, 7, 0x4E, "inside");
  box.Open(40, 12, 60, 20);
  box.Close();
  EXPECT_TRUE(Cells() == before);
  box.Close();  // a second Close puts the same background back again
  EXPECT_TRUE(Cells() == before);

  TMenuBox never;
  WriteXY(1, 1, 0x1E, "changed");
  const auto changed = Cells();
  never.Close();
  EXPECT_TRUE(Cells() == changed);
}

TEST_F(MenuBoxTest, SuspendShowsTheBackgroundAndResumeTheBox) {
  FillBackdrop();
  const auto before = Cells();
  TMenuBox box;
  box.Open(5, 5, 30, 10);
  const auto open = Cells();
  box.Suspend();
  EXPECT_TRUE(Cells() == before);
  box.Resume();
  EXPECT_TRUE(Cells() == open);
}

TEST_F(MenuBoxTest, SegmentsTakeTheAttributesOfTheRaisedAndSunkenSchemes) {
  struct Case {
    bool sunken;
    std::uint8_t topLeft, topRight, left, right, bottomLeft, bottom;
  };
  // Face 0x11, dark 0x22, low corner 0x33, high corner 0x44.
  for (const Case& k : {Case{false, 0x11, 0x44, 0x11, 0x22, 0x33, 0x22},
                        Case{true, 0x44, 0x11, 0x22, 0x11, 0x22, 0x33}}) {
    SCOPED_TRACE(k.sunken);
    TMenuBox box;
    box.HasShadow = false;
    box.Sunken = k.sunken;
    box.FaceAttr = 0x11, box.DarkAttr = 0x22, box.LowCornerAttr = 0x33, box.HighCornerAttr = 0x44;
    box.Open(2, 2, 6, 5);
    EXPECT_EQ(AttrAt(2, 2), k.topLeft);
    EXPECT_EQ(AttrAt(4, 2), k.topLeft);
    EXPECT_EQ(AttrAt(6, 2), k.topRight);
    EXPECT_EQ(AttrAt(2, 3), k.left);
    EXPECT_EQ(AttrAt(4, 4), k.left);  // interior
    EXPECT_EQ(AttrAt(6, 3), k.right);
    EXPECT_EQ(AttrAt(2, 5), k.bottomLeft);
    EXPECT_EQ(AttrAt(4, 5), k.bottom);
    EXPECT_EQ(AttrAt(6, 5), k.bottom);
  }
}

TEST_F(MenuBoxTest, FlatBoxKeepsTheCopiedEdgeAttributes) {
  TMenuBox box;
  box.ThreeD = false;
  box.FaceAttr = 0x30;
  box.Open(2, 2, 10, 6);
  box.ThreeD = true;
  box.Open(2, 2, 10, 6);
  EXPECT_EQ(box.DarkAttr, 0x30);
  EXPECT_EQ(box.LowCornerAttr, 0x30);
  EXPECT_EQ(box.HighCornerAttr, 0x30);
  EXPECT_EQ(AttrAt(10, 4), 0x30);
}

TEST_F(MenuBoxTest, TitleAlignmentsPlaceTheTitle) {
  struct Case {
    std::uint8_t align;
    std::string top;  // columns 1..12 of row 1 for a box at 1..12 (inner width 10)
  };
  const std::string e = "\xC4";
  const std::string edge = "\xDA" + e + e + e + e + e + e + e + e + e + e + "\xBF";
  for (const Case& k : {Case{0, "\xDA" + e + e + e + "abc" + e + e + e + e + "\xBF"},
                        Case{1, "\xDA" "abc" + e + e + e + e + e + e + e + "\xBF"},
                        Case{2, "\xDA" + e + e + e + e + e + e + e + "abc\xBF"},
                        Case{3, edge},
                        Case{4, "    abc     "},
                        Case{5, "abc         "},
                        Case{6, "         abc"},
                        Case{7, edge}}) {
    SCOPED_TRACE(k.align);
    TMenuBox box;
    box.FrameStyle = 1;
    box.HasShadow = false;
    box.Title = "abc";
    box.TitleAlign = k.align;
    box.Open(1, 1, 12, 3);
    EXPECT_EQ(RowText(1).substr(0, 12), k.top);
  }
}

TEST_F(MenuBoxTest, NarrowBoxLongTitleAndShadowAtTheScreenEdge) {
  TMenuBox box;
  box.FrameStyle = 8;
  box.HasShadow = false;
  box.Open(1, 1, 2, 3);  // no interior
  EXPECT_EQ(RowText(1).substr(0, 2), "..");
  EXPECT_EQ(RowText(2).substr(0, 2), "||");

  TMenuBox titled;
  titled.HasShadow = false;
  titled.Title = "0123456";  // longer than the inner width 3: starts at 11 + (3 - 7) / 2 = 9
  titled.Open(10, 5, 14, 7);
  EXPECT_EQ(RowText(5).substr(8, 7), "0123456");

  // Shadow cells past column 80 are written at column 80 as spaces.
  WriteXY(80, 11, 7, "z");
  TMenuBox edge;
  edge.ShadeAttr = 0x08;
  edge.Open(60, 10, 79, 15);
  EXPECT_EQ(CharAt(80, 11), ' ');
  EXPECT_EQ(AttrAt(80, 11), 0x08);
}

TEST(FrameChar, StylesOutsideTheTableReadAsTheDefaultStyle) {
  EXPECT_EQ(FrameChar(1, kFrameTopLeft), '\xDA');
  EXPECT_EQ(FrameChar(8, kFrameBottomRight), '\'');
  for (std::uint8_t bad : {0, 9, 255}) EXPECT_EQ(FrameChar(bad, kFrameBottom), FrameChar(6, kFrameBottom));
}

}  // namespace
}  // namespace corvix
