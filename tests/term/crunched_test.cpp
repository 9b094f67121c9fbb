// Crunched screen pictures: decoding the stream into an image and drawing it.
#include "term/crunched.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace corvix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Stream(std::initializer_list<int> parts) {
  Bytes b;
  for (int p : parts) b.push_back(static_cast<std::uint8_t>(p));
  return b;
}

// Image row Y (1-based), columns 1..Count, as text.
std::string ImageText(const TConsoleImageRec& image, int y, int count) {
  std::string s;
  for (int x = 0; x < count; ++x) s += image.Data[y - 1][x].Ch;
  return s;
}

TEST(DecodeCrunched, StreamsGiveCellsCursorAndAttribute) {
  struct Case {
    const char* name;
    Bytes stream;
    int row;                  // image row checked
    std::string text;         // its first characters
    std::uint8_t attr;        // attribute of its first cell
    std::uint8_t cursorX, cursorY, cursorA;
  };
  const Case cases[] = {
      {"colour, next row, run of spaces", Stream({14, 'H', 'i', 24, 25, 2, '!'}), 2, "   !", 14, 5, 2, 14},
      {"row one of the same stream", Stream({14, 'H', 'i', 24, 25, 2, '!'}), 1, "Hi", 14, 5, 2, 14},
      {"run of one character", Stream({26, 4, 177}), 1, std::string(5, '\xB1'), 7, 6, 1, 7},
      {"ignored control bytes", Stream({'A', 27, 31, 'B'}), 1, "AB", 7, 3, 1, 7},
      {"background keeps the foreground", Stream({0x0E, 17, 'x'}), 1, "x", 0x1E, 2, 1, 0x1E},
      {"foreground keeps the background", Stream({20, 3, 'y'}), 1, "y", 0x43, 2, 1, 0x43},
      {"code cut short ends the stream", Stream({'a', 26, 3}), 1, "a", 7, 2, 1, 7},
      {"space count missing", Stream({'a', 25}), 1, "a", 7, 2, 1, 7},
  };
  for (const Case& c : cases) {
    TConsoleImageRec image;
    DecodeCrunched(c.stream.data(), static_cast<std::uint16_t>(c.stream.size()), 80, 1, 1, 25, image);
    EXPECT_EQ(ImageText(image, c.row, static_cast<int>(c.text.size())), c.text) << c.name;
    EXPECT_EQ(image.Data[c.row - 1][0].Attr, c.attr) << c.name;
    EXPECT_EQ(image.Data[c.row - 1][c.text.size()].Ch, '\0') << c.name;  // nothing beyond
    EXPECT_EQ(image.CursorX, c.cursorX) << c.name;
    EXPECT_EQ(image.CursorY, c.cursorY) << c.name;
    EXPECT_EQ(image.CursorA, c.cursorA) << c.name;
    EXPECT_EQ(image.Y2, c.cursorY) << c.name;
  }
}

TEST(DecodeCrunched, OverlongRowRunsOnIntoTheNextImageRows) {
  const Bytes stream = Stream({25, 255, 'z'});  // 256 spaces: three full rows and 16 cells
  TConsoleImageRec image;
  DecodeCrunched(stream.data(), 3, 80, 1, 1, 25, image);
  EXPECT_EQ(image.Data[2][79].Ch, ' ');
  EXPECT_EQ(image.Data[3][16].Ch, 'z');
  EXPECT_EQ(image.CursorX, 255);  // column 258 does not fit the byte
  EXPECT_EQ(image.CursorY, 1);    // the row counter stays where it was
  EXPECT_EQ(image.Y2, 1);
}

TEST(DecodeCrunched, RowsAreLimitedToTheScreenAndTheImage) {
  Bytes toRow30(29, 24);
  toRow30.push_back('Z');
  TConsoleImageRec image;
  DecodeCrunched(toRow30.data(), static_cast<std::uint16_t>(toRow30.size()), 80, 1, 1, 25, image);
  EXPECT_EQ(image.Y2, 25);
  EXPECT_EQ(image.CursorY, 25);
  // Drawn from row 3, the same picture still ends on the last screen row.
  DecodeCrunched(toRow30.data(), static_cast<std::uint16_t>(toRow30.size()), 80, 1, 3, 25, image);
  EXPECT_EQ(image.Y2, 25);

  // Cells beyond row 50 are dropped, not written past the image.
  Bytes toRow60(59, 24);
  toRow60.push_back('Q');
  DecodeCrunched(toRow60.data(), static_cast<std::uint16_t>(toRow60.size()), 80, 1, 1, 25, image);
  for (const auto& row : image.Data) {
    for (const TCharInfo& cell : row) ASSERT_EQ(cell.Ch, '\0');
  }
  EXPECT_EQ(image.Y2, 25);
}

class LoadCrunchedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::pipe(fds_), 0);
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    ::fcntl(fds_[1], F_SETPIPE_SZ, 1 << 20);
    screen_ = std::make_unique<TOutput>(true, fds_[1], fds_[1]);
  }
  void TearDown() override {
    screen_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  std::string Sent() {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds_[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    return out;
  }
  int fds_[2] = {-1, -1};
  std::unique_ptr<TOutput> screen_;
};

TEST_F(LoadCrunchedTest, DrawsThePictureInItsRectangle) {
  const Bytes stream = Stream({14, 'H', 'i', 24, 25, 2, '!'});
  screen_->LoadCrunched(stream.data(), static_cast<std::uint16_t>(stream.size()), 80, 1, 1);
  EXPECT_EQ(screen_->ReadCharXY(1, 1), 'H');
  EXPECT_EQ(screen_->ReadAttrXY(2, 1), 14);
  EXPECT_EQ(screen_->ReadCharXY(3, 2), ' ');
  EXPECT_EQ(screen_->ReadAttrXY(3, 2), 14);
  EXPECT_EQ(screen_->ReadCharXY(4, 2), '!');
  EXPECT_EQ(screen_->CursorX, 5);
  EXPECT_EQ(screen_->CursorY, 2);
  EXPECT_EQ(screen_->TextAttr, 14);

  // A narrow picture lower down takes image columns 1..3 only.
  const Bytes small = Stream({'a', 'b', 'c', 'd', 24, 'e', 'f', 'g'});
  screen_->LoadCrunched(small.data(), static_cast<std::uint16_t>(small.size()), 12, 10, 7);
  EXPECT_EQ(screen_->ReadCharXY(10, 7), 'a');
  EXPECT_EQ(screen_->ReadCharXY(12, 7), 'c');
  EXPECT_EQ(screen_->ReadCharXY(13, 7), ' ');
  EXPECT_EQ(screen_->ReadCharXY(12, 8), 'g');
}

TEST_F(LoadCrunchedTest, PictureStartingLowerKeepsAllItsRows) {
  const Bytes stream = Stream({'x', 24, 'y'});
  screen_->LoadCrunched(stream.data(), static_cast<std::uint16_t>(stream.size()), 80, 1, 20);
  EXPECT_EQ(screen_->ReadCharXY(1, 20), 'x');
  EXPECT_EQ(screen_->ReadCharXY(1, 21), 'y');
  // Starting below the last screen row there is nothing to draw.
  Sent();
  screen_->LoadCrunched(stream.data(), static_cast<std::uint16_t>(stream.size()), 80, 1, 30);
  screen_->BufFlush();
  EXPECT_EQ(Sent(), "");
}

}  // namespace
}  // namespace corvix
