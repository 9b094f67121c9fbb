// Box: golden frames with title and shadow, colour schemes, and the screen
// put back by Close.
#include "widgets/menu_box.h"

#include <string>

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
  std::string Cells() const {
    std::string all;
    for (std::uint8_t y = 1; y <= 25; ++y)
      for (std::uint8_t x = 1; x <= 80; ++x) all += {CharAt(x, y), static_cast<char>(AttrAt(x, y))};
    return all;
  }
  void ExpectCell(int x, int y, char ch, std::uint8_t attr) {
    EXPECT_EQ(CharAt(x, y), ch) << x << "," << y;
    EXPECT_EQ(AttrAt(x, y), attr) << x << "," << y;
  }
};

TEST_F(MenuBoxTest, EveryFrameStyleDrawsFrameTitleAndShadowAndCloseRestores) {
  // Top-left, top, top-right, left, right, bottom-left, bottom, bottom-right.
  const char* const styles[8] = {
      "\xDA\xC4\xBF\xB3\xB3\xC0\xC4\xD9", "\xC9\xCD\xBB\xBA\xBA\xC8\xCD\xBC",
      "\xD6\xC4\xB7\xBA\xBA\xD3\xC4\xBD", "\xD5\xCD\xB8\xB3\xB3\xD4\xCD\xBE",
      "\xDB\xDF\xDB\xDB\xDB\xDB\xDC\xDB", "\xDB\xDF\xDC\xDB\xDB\xDF\xDC\xDB",
      "        ",                         ".-.||`-'"};
  for (std::uint8_t style = 1; style <= 8; ++style) {
    SCOPED_TRACE(style);
    FillBackdrop();
    const std::string before = Cells();
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
    for (int y = 6; y <= 10; ++y) ExpectCell(21, y, Backdrop(21, y), 0), ExpectCell(22, y, Backdrop(22, y), 0);
    for (int x = 12; x <= 20; ++x) ExpectCell(x, 10, Backdrop(x, 10), 0);
    ExpectCell(11, 10, Backdrop(11, 10), 10);
    ExpectCell(21, 5, Backdrop(21, 5), 5);
    ExpectCell(23, 6, Backdrop(23, 6), 6);
    box.Close();
    EXPECT_EQ(Cells(), before);
  }
  // A style outside the table draws as the default style instead of reading past it.
  EXPECT_EQ(FrameChar(0, kFrameBottom), FrameChar(6, kFrameBottom));
  EXPECT_EQ(FrameChar(9, kFrameTopLeft), FrameChar(6, kFrameTopLeft));
}

TEST_F(MenuBoxTest, CloseRestoresTheScreenOfTheFirstOpen) {
  FillBackdrop();
  const std::string before = Cells();
  TMenuBox box;
  box.Open(5, 5, 30, 10);
  const std::string open = Cells();
  box.Suspend();
  EXPECT_EQ(Cells(), before);
  box.Resume();
  EXPECT_EQ(Cells(), open);
  box.Open(40, 12, 60, 20);  // a second Open takes no new background
  box.Close();
  EXPECT_EQ(Cells(), before);

  TMenuBox never;
  WriteXY(1, 1, 0x1E, "changed");
  const std::string changed = Cells();
  never.Close();
  EXPECT_EQ(Cells(), changed);
}

}  // namespace
}  // namespace corvix
