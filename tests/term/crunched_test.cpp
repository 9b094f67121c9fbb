// Crunched screen pictures: decoding the stream into an image and drawing it.
#include "term/crunched.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace corvix {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(DecodeCrunched, StreamsGiveCellsCursorAndAttribute) {
  struct Case {
    const char* name;
    Bytes stream;
    int row;            // image row checked, from column 1
    std::string text;   // and what it holds up to the first untouched cell
    std::uint8_t attr;  // attribute of its first cell
    std::uint8_t cursorX, cursorY, cursorA;
  };
  const Case cases[] = {
      {"row 1", {14, 'H', 'i', 24, 25, 2, '!'}, 1, "Hi", 14, 5, 2, 14},
      {"row 2, run of spaces", {14, 'H', 'i', 24, 25, 2, '!'}, 2, "   !", 14, 5, 2, 14},
      {"run of one character", {26, 4, 177}, 1, std::string(5, '\xB1'), 7, 6, 1, 7},
      {"ignored control bytes", {'A', 27, 31, 'B'}, 1, "AB", 7, 3, 1, 7},
      {"background keeps the foreground", {0x0E, 17, 'x'}, 1, "x", 0x1E, 2, 1, 0x1E},
      {"foreground keeps the background", {20, 3, 'y'}, 1, "y", 0x43, 2, 1, 0x43},
      {"code cut short by the end", {'a', 26, 3}, 1, "a", 7, 2, 1, 7},
  };
  for (const Case& c : cases) {
    TConsoleImageRec image;
    DecodeCrunched(c.stream.data(), static_cast<std::uint16_t>(c.stream.size()), 80, 1, 1, 25,
                   image);
    std::string text;
    for (std::size_t x = 0; x <= c.text.size(); ++x) text += image.Data[c.row - 1][x].Ch;
    EXPECT_EQ(text, c.text + '\0') << c.name;
    EXPECT_EQ(image.Data[c.row - 1][0].Attr, c.attr) << c.name;
    EXPECT_EQ(image.CursorX, c.cursorX) << c.name;
    EXPECT_EQ(image.CursorY, c.cursorY) << c.name;
    EXPECT_EQ(image.CursorA, c.cursorA) << c.name;
    EXPECT_EQ(image.Y2, c.cursorY) << c.name;
  }
}

TEST(DecodeCrunched, LongRowsAndManyRowsStayInsideTheImage) {
  TConsoleImageRec image;
  const Bytes spaces = {25, 255, 'z'};  // 256 spaces: three full rows and 16 cells
  DecodeCrunched(spaces.data(), 3, 80, 1, 1, 25, image);
  EXPECT_EQ(image.Data[3][16].Ch, 'z');
  // The row stays; the column reached (258) is kept as a byte.
  EXPECT_TRUE(image.CursorX == 2 && image.CursorY == 1 && image.Y2 == 1);

  Bytes rows(29, 24);  // reaches row 30
  rows.push_back('Z');
  DecodeCrunched(rows.data(), static_cast<std::uint16_t>(rows.size()), 80, 1, 1, 25, image);
  EXPECT_TRUE(image.Y2 == 25 && image.CursorY == 25);
  DecodeCrunched(rows.data(), static_cast<std::uint16_t>(rows.size()), 80, 1, 3, 25, image);
  EXPECT_EQ(image.Y2, 25);  // from row 3 it still ends on the last screen row
  DecodeCrunched(rows.data(), static_cast<std::uint16_t>(rows.size()), 80, 1, 40, 60, image);
  EXPECT_EQ(image.Y2, 50);  // a 60-row screen: still within the image's 50 rows

  rows.insert(rows.begin(), 30, 24);  // now row 60: the cell is dropped, not written past the image
  DecodeCrunched(rows.data(), static_cast<std::uint16_t>(rows.size()), 80, 1, 1, 25, image);
  const TConsoleImageRec zero{};
  EXPECT_EQ(std::memcmp(&image.Data, &zero.Data, sizeof zero.Data), 0);
}

TEST(LoadCrunched, DrawsThePictureInItsRectangle) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
  {
    TOutput screen(true, fds[1], fds[1]);
    const Bytes stream = {14, 'H', 'i', 24, 25, 2, '!'};
    screen.LoadCrunched(stream.data(), static_cast<std::uint16_t>(stream.size()), 80, 1, 1);
    EXPECT_TRUE(screen.ReadCharXY(1, 1) == 'H' && screen.ReadAttrXY(2, 1) == 14);
    EXPECT_TRUE(screen.ReadCharXY(3, 2) == ' ' && screen.ReadAttrXY(3, 2) == 14);
    EXPECT_EQ(screen.ReadCharXY(4, 2), '!');
    EXPECT_TRUE(screen.CursorX == 5 && screen.CursorY == 2 && screen.TextAttr == 14);

    // A narrow picture lower down: image columns 1..3 on screen rows 20 and 21.
    const Bytes small = {'a', 'b', 'c', 'd', 24, 'e', 'f', 'g'};
    screen.LoadCrunched(small.data(), static_cast<std::uint16_t>(small.size()), 12, 10, 20);
    EXPECT_TRUE(screen.ReadCharXY(10, 20) == 'a' && screen.ReadCharXY(12, 20) == 'c');
    EXPECT_TRUE(screen.ReadCharXY(13, 20) == ' ' && screen.ReadCharXY(12, 21) == 'g');
  }
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace corvix
