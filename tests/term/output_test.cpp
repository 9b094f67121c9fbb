// The screen object: the bytes it sends for each request, the screen image it
// keeps, and how its output buffer reaches the descriptor.
#include "term/output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <thread>

namespace corvix {
namespace {

const std::string E = "\x1b";

// A screen object writing into a pipe; the test takes the bytes sent so far.
// The pipe is also its terminal-settings descriptor, so raw mode is skipped.
class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::pipe(fds_), 0);
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    screen_ = std::make_unique<TOutput>(true, fds_[1], fds_[1]);
  }
  void TearDown() override {
    screen_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  // Every byte written to the pipe since the last call.
  std::string Sent() {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds_[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    return out;
  }
  std::string Row(std::uint8_t y) {
    std::string s;
    for (std::uint8_t x = 1; x <= 80; ++x) s += screen_->ReadCharXY(x, y);
    return s;
  }
  void At(std::uint8_t x, std::uint8_t y, std::uint8_t attr) {
    screen_->CursorXY(x, y);
    screen_->SetTextAttr(attr);
    screen_->BufFlush();
    Sent();
  }

  int fds_[2] = {-1, -1};
  std::unique_ptr<TOutput> screen_;
};

TEST_F(OutputTest, CreationResetsTheTerminalAndClearsTheImage) {
  EXPECT_EQ(Sent(), E + "(U" + E + "[0m" + E + "[2J" + E + "[1;1H");
  EXPECT_EQ(screen_->CursorX, 1);
  EXPECT_EQ(screen_->CursorY, 1);
  EXPECT_EQ(screen_->TextAttr, 7);
  EXPECT_EQ(screen_->PipeChar, '|');
  EXPECT_FALSE(screen_->RawMode);  // a pipe is no terminal
  for (const auto& row : screen_->Buffer) {
    for (const TCharInfo& cell : row) {
      ASSERT_EQ(cell.Attr, 7);
      ASSERT_EQ(cell.Ch, ' ');
    }
  }
}

TEST_F(OutputTest, AttributeChangesSendTheShortestSgr) {
  struct Case {
    std::uint8_t from, to;
    std::string seq;
  };
  const Case cases[] = {
      {0x07, 0x07, ""},
      {0x07, 0x1F, E + "[1;44m"},
      {0x07, 0x0E, E + "[1;33m"},
      {0x07, 0x70, E + "[30;47m"},
      {0x1F, 0x07, E + "[0m"},
      {0x0E, 0x0C, E + "[0;1;31m"},
      {0x07, 0x87, E + "[0;5m"},              // foreground 7 forces the reset
      {0x87, 0x8F, E + "[1m"},                // blink stays, bright added
      {0x8F, 0x0F, E + "[0;1m"},              // blink off needs a reset
      {0x1F, 0x1E, E + "[0;1;33;44m"},        // any change away from a foreground other than 7
      {0x01, 0x02, E + "[0;32m"},
      {0x07, 0xC9, E + "[1;5;34;41m"},        // bright and blink on, both colours
  };
  for (const Case& c : cases) {
    screen_->TextAttr = c.from;  // pretend the terminal is in From
    EXPECT_EQ(screen_->AttrToAnsi(c.to).Str(), c.seq) << int{c.from} << " -> " << int{c.to};
    Sent();
    screen_->SetTextAttr(c.to);
    screen_->BufFlush();
    EXPECT_EQ(Sent(), c.seq) << int{c.from} << " -> " << int{c.to};
    EXPECT_EQ(screen_->TextAttr, c.to);
  }
}

TEST_F(OutputTest, AttributeBytesWaitForTheNextFlushAndAreNotRepeated) {
  Sent();
  screen_->SetTextAttr(7);
  screen_->SetTextAttr(0x1F);
  screen_->SetTextAttr(0x1F);
  screen_->ClearEOL();
  EXPECT_EQ(Sent(), "");  // still in the buffer
  screen_->BufFlush();
  EXPECT_EQ(Sent(), E + "[1;44m" + E + "[K");
}

TEST_F(OutputTest, CursorMovesAreClampedToTheVisibleScreen) {
  struct Case {
    std::uint8_t x, y;
    std::string seq;
    std::uint8_t cx, cy;
  };
  const Case cases[] = {
      {0, 30, E + "[25;1H", 1, 25},
      {200, 5, E + "[5;80H", 80, 5},
      {0, 0, E + "[1;1H", 1, 1},
      {12, 7, E + "[7;12H", 12, 7},
      {12, 7, E + "[7;12H", 12, 7},  // the same place again is still sent
  };
  screen_->SetWindow(1, 1, 80, 40, false);  // the bound stays 25 rows
  screen_->BufFlush();
  for (const Case& c : cases) {
    Sent();
    screen_->CursorXY(c.x, c.y);
    EXPECT_EQ(Sent(), c.seq);  // flushed at once
    EXPECT_EQ(screen_->CursorX, c.cx);
    EXPECT_EQ(screen_->CursorY, c.cy);
  }
}

TEST_F(OutputTest, WriteXYPutsBackCursorAndAttribute) {
  screen_->CursorXY(3, 3);
  Sent();
  screen_->WriteXY(10, 5, 0x0E, "Hi");
  EXPECT_EQ(Sent(), E + "[5;10H" + E + "[1;33m" + "Hi" + E + "[0m" + E + "[3;3H");
  EXPECT_EQ(screen_->CursorX, 3);
  EXPECT_EQ(screen_->CursorY, 3);
  EXPECT_EQ(screen_->TextAttr, 7);
  EXPECT_EQ(screen_->ReadCharXY(10, 5), 'H');
  EXPECT_EQ(screen_->ReadCharXY(11, 5), 'i');
  EXPECT_EQ(screen_->ReadAttrXY(11, 5), 0x0E);
  EXPECT_EQ(screen_->ReadCharXY(12, 5), ' ');
}

TEST_F(OutputTest, CharactersMoveTheCursorAndWrapButNeverScrollTheImage) {
  struct Case {
    const char* name;
    std::uint8_t x, y;
    std::string text;
    std::uint8_t endX, endY;
  };
  const Case cases[] = {
      {"wrap after column 80", 80, 1, "AB", 2, 2},
      {"wrap on the last row stays there", 80, 25, "AB", 2, 25},
      {"line feed on the last row", 5, 25, "\n", 5, 25},
      {"line feed keeps the column", 5, 3, "\n", 5, 4},
      {"carriage return", 40, 9, "x\r", 1, 9},
      {"backspace at column 1", 1, 6, "\b\b", 1, 6},
      {"backspace moves left", 7, 6, "ab\b", 8, 6},
  };
  for (const Case& c : cases) {
    screen_->ClearScreen();
    screen_->WriteXY(1, 24, 7, "row 24");
    At(c.x, c.y, 7);
    screen_->WriteStr(c.text);
    EXPECT_EQ(Sent(), c.text) << c.name;
    EXPECT_EQ(screen_->CursorX, c.endX) << c.name;
    EXPECT_EQ(screen_->CursorY, c.endY) << c.name;
    EXPECT_EQ(Row(24).substr(0, 6), "row 24") << c.name;  // nothing scrolled up
  }
  // The wrap case in detail: A in the last cell of row 1, B first on row 2.
  screen_->ClearScreen();
  At(80, 1, 7);
  screen_->WriteStr("AB");
  EXPECT_EQ(screen_->ReadCharXY(80, 1), 'A');
  EXPECT_EQ(screen_->ReadCharXY(1, 2), 'B');
  // Backspace never erases: the b is still there.
  At(7, 6, 7);
  screen_->WriteStr("ab\b");
  EXPECT_EQ(screen_->ReadCharXY(8, 6), 'b');
}

TEST_F(OutputTest, WriteLineEndsWithCrLf) {
  At(5, 2, 7);
  screen_->WriteLine("ok");
  EXPECT_EQ(Sent(), "ok\r\n");  // the line feed flushes
  EXPECT_EQ(screen_->CursorX, 1);
  EXPECT_EQ(screen_->CursorY, 3);
}

TEST_F(OutputTest, PipeColourCodes) {
  struct Case {
    const char* text;
    std::uint8_t startAttr;
    std::string shown;           // characters that reach the image from column 1
    std::string attrs;           // their attributes, one char each
    std::uint8_t endAttr;
  };
  const Case cases[] = {
      {"|04red|07", 0x07, "red", "\x04\x04\x04", 0x07},
      {"|16a", 0x1E, "a", "\x0E", 0x0E},              // background 0, foreground kept
      {"|20a", 0x8E, "a", "\x4E", 0x4E},              // background 4, blink cleared
      {"|00a", 0x17, "a", "\x10", 0x10},              // black on the same background
      {"|24", 0x07, "|24", "\x07\x07\x07", 0x07},
      {"|$1", 0x07, "|$1", "\x07\x07\x07", 0x07},
      {"|&1", 0x07, "|&1", "\x07\x07\x07", 0x07},
      {"a|", 0x07, "a|", "\x07\x07", 0x07},
      {"||02x", 0x07, "|x", "\x07\x02", 0x02},        // the first pipe is text
      {"|5", 0x07, "", "", 0x05},                     // code cut by the end of the text
  };
  for (const Case& c : cases) {
    screen_->ClearScreen();
    At(1, 1, c.startAttr);
    screen_->WritePipeStr(c.text);
    EXPECT_NE(Sent(), "") << c.text;  // flushed at the end
    EXPECT_EQ(Row(1).substr(0, c.shown.size()), c.shown) << c.text;
    EXPECT_EQ(screen_->ReadCharXY(static_cast<std::uint8_t>(c.shown.size() + 1), 1), ' ') << c.text;
    for (std::size_t i = 0; i < c.attrs.size(); ++i) {
      EXPECT_EQ(screen_->ReadAttrXY(static_cast<std::uint8_t>(i + 1), 1), c.attrs[i]) << c.text;
    }
    EXPECT_EQ(screen_->TextAttr, c.endAttr) << c.text;
  }
}

TEST_F(OutputTest, ClearEolLeavesTheImageAlone) {
  screen_->WriteXY(1, 4, 7, "keep this");
  At(1, 4, 7);
  screen_->ClearEOL();
  screen_->BufFlush();
  EXPECT_EQ(Sent(), E + "[K");
  TConsoleImageRec image;
  screen_->GetScreenImage(image);
  EXPECT_EQ(image.Data[3][0].Ch, 'k');
  EXPECT_EQ(image.Data[3][8].Ch, 's');
}

TEST_F(OutputTest, ClearScreenInsideAWindowErasesItsRowsOnly) {
  screen_->WriteXY(1, 2, 7, "above");
  screen_->WriteXY(1, 3, 7, "inside");
  Sent();
  screen_->SetWindow(1, 3, 80, 4, true);
  EXPECT_EQ(Sent(), E + "[3;4r" + E + "[3;1H");
  screen_->SetTextAttr(0x1F);
  screen_->ClearScreen();
  EXPECT_EQ(Sent(), E + "[1;44m" + E + "[3;1H" + E + "[K" + E + "[4;1H" + E + "[K" + E + "[3;1H");
  EXPECT_EQ(Row(2).substr(0, 5), "above");
  EXPECT_EQ(Row(3), std::string(80, ' '));
  EXPECT_EQ(screen_->ReadAttrXY(80, 4), 0x1F);
  EXPECT_EQ(screen_->ReadAttrXY(1, 5), 7);
  // A window set around the cursor leaves it where it is, without a flush.
  screen_->CursorXY(5, 10);
  Sent();
  screen_->SetWindow(1, 1, 80, 20, false);
  EXPECT_EQ(Sent(), "");
  EXPECT_EQ(screen_->CursorY, 10);
}

TEST_F(OutputTest, ScreenImageRoundTrip) {
  screen_->WriteXY(1, 1, 0x1F, "title");
  screen_->WriteXY(70, 25, 0x4E, "bottom right");  // wraps past the last cell onto row 25 again
  At(33, 12, 0x0E);
  TConsoleImageRec image;
  screen_->GetScreenImage(image);
  EXPECT_EQ(image.X1, 1);
  EXPECT_EQ(image.X2, 80);
  EXPECT_EQ(image.Y1, 1);
  EXPECT_EQ(image.Y2, 25);
  EXPECT_EQ(image.CursorA, 0x0E);
  EXPECT_EQ(image.Data[25][0].Attr, 0);  // rows beyond the screen stay zero
  const TConsoleScreenRec before = screen_->Buffer;

  screen_->ClearScreen();
  screen_->WriteXY(20, 12, 0x70, "covering text");
  At(2, 2, 0x07);
  screen_->PutScreenImage(image);
  for (std::size_t r = 0; r < 25; ++r) {
    for (std::size_t c = 0; c < 80; ++c) {
      ASSERT_EQ(screen_->Buffer[r][c].Ch, before[r][c].Ch) << r << "," << c;
      ASSERT_EQ(screen_->Buffer[r][c].Attr, before[r][c].Attr) << r << "," << c;
    }
  }
  EXPECT_EQ(screen_->CursorX, 33);
  EXPECT_EQ(screen_->CursorY, 12);
  EXPECT_EQ(screen_->TextAttr, 0x0E);
}

TEST_F(OutputTest, PutScreenImageDrawsAPackedRectangleWithOneSgrPerRun) {
  TConsoleImageRec image{};
  image.Data[0][0] = {0x1F, 'a'};
  image.Data[0][1] = {0x1F, 'b'};
  image.Data[1][0] = {0x1F, 'c'};
  image.Data[1][1] = {0x07, 'd'};
  image.X1 = 10;
  image.X2 = 11;
  image.Y1 = 3;
  image.Y2 = 4;
  image.CursorX = 1;
  image.CursorY = 1;
  image.CursorA = 0x07;
  Sent();
  screen_->PutScreenImage(image);
  EXPECT_EQ(Sent(), E + "[3;10H" + E + "[1;44m" + "ab" + E + "[4;10H" + "c" + E + "[0m" + "d" +
                        E + "[1;1H");
  EXPECT_EQ(screen_->ReadCharXY(10, 3), 'a');
  EXPECT_EQ(screen_->ReadCharXY(11, 4), 'd');
  EXPECT_EQ(screen_->ReadAttrXY(10, 4), 0x1F);
  EXPECT_EQ(screen_->ReadCharXY(12, 3), ' ');
}

TEST_F(OutputTest, ImagesOutsideTheScreenDrawNothing) {
  TConsoleImageRec zero{};
  TConsoleImageRec wide{};
  wide.X1 = 1, wide.X2 = 81, wide.Y1 = 1, wide.Y2 = 1;
  TConsoleImageRec upside{};
  upside.X1 = 1, upside.X2 = 80, upside.Y1 = 5, upside.Y2 = 4;
  TConsoleImageRec deep{};
  deep.X1 = 1, deep.X2 = 80, deep.Y1 = 1, deep.Y2 = 51;
  screen_->WriteXY(1, 1, 7, "stays");
  At(4, 4, 0x1F);
  for (const TConsoleImageRec* image : {&zero, &wide, &upside, &deep}) {
    screen_->PutScreenImage(*image);
    screen_->BufFlush();
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(Row(1).substr(0, 5), "stays");
    EXPECT_EQ(screen_->CursorX, 4);
    EXPECT_EQ(screen_->TextAttr, 0x1F);
  }
}

TEST_F(OutputTest, BufferIsWrittenWhenItHolds1024Bytes) {
  Sent();
  const ShortString chunk = ShortString::Of('x', 255);
  for (int i = 0; i < 4; ++i) screen_->BufAddStr(chunk);  // 1020 bytes
  screen_->BufAddStr("abc");
  EXPECT_EQ(Sent(), "");
  screen_->BufAddStr("d");
  EXPECT_EQ(Sent().size(), 1024u);
  EXPECT_EQ(screen_->OutBufPos, 0);
  screen_->BufAddStr("e");
  screen_->RawWriteStr("raw");  // past the buffer, which keeps its byte
  EXPECT_EQ(Sent(), "raw");
  screen_->BufFlush();
  EXPECT_EQ(Sent(), "e");
}

TEST(OutputWrite, FullNonBlockingDescriptorLosesNoBytes) {
  // A small non-blocking pipe that fills up again and again: every write that
  // meets a full pipe has to wait and go on rather than drop the rest.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  std::string got;
  std::thread reader([&] {
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) != 0) {
      if (n > 0) got.append(buf, static_cast<std::size_t>(n));
      else if (errno != EINTR) break;
    }
  });
  std::string expected;
  {
    TOutput screen(true, fds[1], fds[1]);
    expected = E + "(U" + E + "[0m" + E + "[2J" + E + "[1;1H";
    for (int i = 0; i < 200; ++i) {
      const ShortString line = ShortString::Of(static_cast<char>('a' + i % 26), 200);
      screen.BufAddStr(line);
      expected += line.Str();
    }
  }  // the destructor flushes the rest
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

TEST(OutputInactive, WritesNothingAndSurvivesAFullBuffer) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  {
    TOutput screen(false, fds[1], fds[1]);
    for (int i = 0; i < 10; ++i) screen.WriteStr(ShortString::Of('z', 255));
    screen.RawWriteStr("raw");
    EXPECT_EQ(screen.ReadCharXY(1, 1), 'z');  // the image is kept all the same
    EXPECT_LE(screen.OutBufPos, kOutBufferSize);
  }
  char buf[16];
  EXPECT_EQ(::read(fds[0], buf, sizeof buf), -1);
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace corvix
