// The change-only renderer: the bytes it chooses for small changes.
#include "term/screen_diff.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "term/output.h"

namespace corvix {
namespace {

struct DiffCase {
  const char* name;
  std::function<void(TScreenDiff&)> draw;  // requests made after the first flush
  std::string bytes;                       // what the next flush sends
};

TEST(ScreenDiff, SendsTheShortestBytesForEachChange) {
  TOutput sgr(false, -1, -1);
  const DiffCase cases[] = {
      {"nothing drawn sends nothing", [](TScreenDiff&) {}, ""},
      {"one letter: a column move along the row",
       [](TScreenDiff& d) {
         d.MoveTo(5, 1);
         d.Print('A', 7);
       },
       "\x1b[5GA"},
      {"a colour on the next row: a line feed, then back home and reset",
       [](TScreenDiff& d) {
         d.MoveTo(1, 2);
         d.Print('B', 0x1F);
         d.MoveTo(1, 1);
       },
       "\n\x1b[1;44mB\x1b[H\x1b[0m"},
      {"a row of blanks in another background: one erase to the row's end",
       [](TScreenDiff& d) {
         d.MoveTo(1, 3);
         d.EraseToEol(0x10);
         d.MoveTo(1, 1);
       },
       "\n\n\x1b[30;44m\x1b[K\x1b[H\x1b[0m"},
      {"a blank in another foreground looks the same: nothing",
       [](TScreenDiff& d) {
         d.MoveTo(9, 9);
         d.Print(' ', 0x0E);
         d.MoveTo(1, 1);
       },
       ""},
      {"a control byte is never sent", [](TScreenDiff& d) { d.Print('\x1b', 7); }, "\x1b[C"},
      {"a wrap after column 80: carriage return and line feed",
       [](TScreenDiff& d) {
         d.MoveTo(80, 1);
         d.Print('Z', 7);
         d.Print('Y', 7);
       },
       "\x1b[80GZ\r\nY"},
      {"unchanged cells in the pen are printed again when shorter than a move",
       [](TScreenDiff& d) {
         d.Print('a', 7);
         d.MoveTo(3, 1);
         d.Print('c', 7);
       },
       "a c"},
  };
  for (const DiffCase& c : cases) {
    TScreenDiff diff(
        [&sgr](std::uint8_t from, std::uint8_t to) { return sgr.AttrToAnsi(from, to); }, false);
    std::string out;
    diff.Render(7, out);
    EXPECT_EQ(out, "\x1b[0m\x1b[2J\x1b[H") << c.name;
    c.draw(diff);
    out.clear();
    diff.Render(7, out);
    EXPECT_EQ(out, c.bytes) << c.name;
    out.clear();
    diff.Render(7, out);
    EXPECT_EQ(out, "") << c.name << ": a second flush";
  }
}

TEST(ScreenDiff, RowsThatMovedUpAreScrolledNotDrawnAgain) {
  TOutput sgr(false, -1, -1);
  TScreenDiff diff([&sgr](std::uint8_t from, std::uint8_t to) { return sgr.AttrToAnsi(from, to); },
                   false);
  auto fillRow = [&diff](std::uint8_t y, char ch) {
    diff.MoveTo(1, y);
    for (int x = 1; x <= 80; ++x) diff.Print(ch, 7);
  };
  for (std::uint8_t y = 1; y <= 25; ++y) fillRow(y, static_cast<char>('A' + y));
  diff.MoveTo(1, 1);
  std::string out;
  diff.Render(7, out);
  for (std::uint8_t y = 1; y <= 25; ++y) fillRow(y, static_cast<char>('A' + y + 1));
  diff.MoveTo(1, 1);
  out.clear();
  diff.Render(7, out);
  EXPECT_EQ(out, "\x1b[1;25r\x1b[25H\n\x1b[r\x1b[25H" + std::string(80, 'A' + 26) + "\x1b[H");
}

// On a terminal of 24 rows image rows 2-25 are shown on its rows 1-24.
TEST(ScreenDiff, TwentyFourRowsShowImageRowsTwoToTwentyFive) {
  TOutput sgr(false, -1, -1);
  TScreenDiff diff([&sgr](std::uint8_t from, std::uint8_t to) { return sgr.AttrToAnsi(from, to); },
                   false);
  diff.FirstRow = 2;
  diff.MarkUnknown();
  diff.MoveTo(1, 1);
  diff.Print('x', 7);  // never sent
  diff.MoveTo(3, 25);
  diff.Print('y', 7);
  std::string out;
  diff.Render(7, out);
  EXPECT_EQ(out, "\x1b[0m\x1b[2J\x1b[24;3Hy");
}

}  // namespace
}  // namespace corvix
