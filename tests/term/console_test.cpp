// Tests of the console helper layer: the pipe-code writer and its display
// codes, the forwarding helpers with rules of their own, and AppendText.
#include "term/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <string>

#include "support/io_error.h"
#include "testkit/screen_fixture.h"
#include "testkit/temp_dir.h"

namespace corvix {
namespace {

using testkit::ScreenTest;

class Console : public ScreenTest {};

// ---- WriteXYPipe: colour codes and codes written as text ----

struct PipeCase {
  const char* text;
  std::uint8_t startAttr;
  const char* shown;                // characters from (1, 1)
  std::vector<std::uint8_t> attrs;  // attribute of each shown cell
};

TEST_F(Console, WriteXYPipeAppliesColourCodesAndRestoresCursorAndAttribute) {
  const PipeCase cases[] = {
      {"|14Hi|07!", 0x07, "Hi!", {0x0E, 0x0E, 0x07}},
      {"|16A", 0x1E, "A", {0x0E}},  // background 0, foreground kept
      {"|24A", 0x1E, "A", {0x8E}},  // background 0 with blink
      {"|00A", 0x17, "A", {0x10}},  // foreground 0, background kept
      {"|15|16A|00|23B", 0x07, "AB", {0x0F, 0x70}},
      {"|$1A", 0x07, "A", {0x01}},      // any non-zero value is a colour
      {"|-1A", 0x07, "A", {0xF7}},      // 255: background wraps round
      {"|AB", 0x07, "|AB", {7, 7, 7}},  // no number, no display family
      {"|ab", 0x07, "|ab", {7, 7, 7}},  // display codes are upper case
      {"|BXZ", 0x07, "Z", {7}},         // a family letter swallows the code
      {"|PI", 0x07, "|", {7}},
      {"a|XXb", 0x07, "a b", {7, 7, 7}},
      {"|OS", 0x07, "Unix", {7, 7, 7, 7}},
      {"A|", 0x07, "A|", {7, 7}},            // pipe at the end is text
      {"A|Z", 0x07, "A|Z", {7, 7, 7}},       // one non-numeric character: text
      {"A|5B", 0x07, "A|5B", {7, 7, 7, 7}},  // "5B" is no number: text
      {"A|9", 0x07, "A", {7}},               // one digit at the end is a colour
  };
  for (const PipeCase& c : cases) {
    SCOPED_TRACE(c.text);
    ClearScreen();
    GotoXY(3, 3);
    SetTextAttr(0x07);
    WriteXYPipe(1, 1, c.startAttr, c.text);
    const std::string shown = c.shown;
    EXPECT_EQ(RowText(1), shown + std::string(80 - shown.size(), ' '));
    for (std::size_t i = 0; i < c.attrs.size(); ++i) {
      EXPECT_EQ(AttrAt(static_cast<std::uint8_t>(i + 1), 1), c.attrs[i]) << "column " << i + 1;
    }
    EXPECT_EQ(WhereX(), 3);
    EXPECT_EQ(WhereY(), 3);
    EXPECT_EQ(GetTextAttr(), 0x07);
  }
}

TEST_F(Console, WriteXYPipeSendsEachCharacterAndPutsTheCursorBack) {
  GotoXY(3, 3);
  ClearOutput();
  WriteXYPipe(10, 5, 0x0E, "Hi");
  EXPECT_EQ(Output(), "\x1b[5;10H\x1b[1;33mHi\x1b[0m\x1b[3;3H");
}

// ---- Display codes that move the cursor ----

struct MoveCase {
  std::uint8_t x, y;
  const char* text;
  std::uint8_t wantX, wantY;  // where the "A" after the code lands
};

TEST_F(Console, CursorCodesMoveWithinTheTextAndAreClamped) {
  const MoveCase cases[] = {
      {1, 1, "|[LA", 1, 1},                             // left at column 1 stays
      {5, 1, "|[LA", 4, 1},      {5, 3, "|[DA", 5, 4},  // down keeps the column
      {5, 25, "|[DA", 5, 25},    {5, 3, "|[UA", 5, 2},   {5, 1, "|[UA", 5, 1},
      {5, 3, "|[RA", 6, 3},      {80, 5, "|[RA", 80, 5}, {10, 2, "|[SA", 1, 2},
      {10, 2, "|[CA", 40, 2},  // ScreenWidth 80 div 2
      {1, 7, "xy|CRA", 1, 8},  // CR LF
      {3, 9, "xy|[L|[LA", 3, 9},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.text);
    ClearScreen();
    GotoXY(70, 20);
    WriteXYPipe(c.x, c.y, 7, c.text);
    EXPECT_EQ(CharAt(c.wantX, c.wantY), 'A') << c.wantX << "," << c.wantY;
    EXPECT_EQ(WhereX(), 70);
    EXPECT_EQ(WhereY(), 20);
  }
}

TEST_F(Console, ClearCodesUseTheScreen) {
  WriteXY(1, 4, 7, "old text");
  WriteXYPipe(1, 1, 0x1F, "|CLnew");
  EXPECT_EQ(RowText(4), std::string(80, ' '));
  EXPECT_EQ(RowText(1).substr(0, 3), "new");
  // The clear fills in the attribute in force: the one WriteXYPipe started in.
  EXPECT_EQ(AttrAt(80, 25), 0x1F);
  ClearOutput();
  WriteXYPipe(1, 1, 7, "|CP");
  EXPECT_NE(Output().find("\x1b[K"), std::string::npos);
}

TEST_F(Console, DateAndTimeCodesWriteTheirMasks) {
  WriteXYPipe(1, 1, 7, "|TD");
  WriteXYPipe(1, 2, 7, "|TT");
  EXPECT_TRUE(std::regex_match(RowText(1).substr(0, 11), std::regex(R"(\d\d/\d\d/\d{4} )")));
  EXPECT_TRUE(std::regex_match(RowText(2).substr(0, 6), std::regex(R"([0-2]\d:[0-5]\d )")));
}

// ---- Display codes that read keys ----

TEST_F(Console, PauseCodeTakesOneKeyAndLeavesTheScanCodeQueued) {
  Key(kScanUp);
  Keys("x");
  WriteXYPipe(1, 1, 7, "|PA");
  EXPECT_EQ(ReadKey(), kScanUp);
  EXPECT_EQ(ReadKey(), 'x');
  EXPECT_EQ(RowText(1), std::string(80, ' '));
}

TEST_F(Console, PauseMessageCodeWritesThePromptThenWaits) {
  Keys("kz");
  PausePrompt = "|12Wait|07.";
  WriteXYPipe(1, 2, 7, "|PM");
  EXPECT_EQ(RowText(2).substr(0, 6), "Wait. ");
  EXPECT_EQ(AttrAt(1, 2), 0x0C);
  EXPECT_EQ(ReadKey(), 'z');  // only "k" was taken
}

TEST_F(Console, ListRowsSwallowTheCodesThatWait) {
  Keys("x");
  WriteXYPipe(1, 3, 7, "a|PAb|PMc|DSd|DEe|DMf|CR", false);
  EXPECT_EQ(RowText(3).substr(0, 7), "abcdef ");
  EXPECT_EQ(WhereY(), 1);     // CR still moved the cursor, which came back
  EXPECT_EQ(ReadKey(), 'x');  // no key was taken
}

// KeyPressed serves Ctrl-L, Ctrl-Z and F1 itself: once it says a key waits,
// ReadKey returns that key without waiting for another.
TEST_F(Console, KeyPressedServesTheKeysReadKeyWouldServe) {
  int helpShown = 0;
  static int* shown = nullptr;
  shown = &helpShown;
  HelpKeyHook = [] { ++*shown; };
  Keys("\x0c\x1aq");
  Key(kScanF1);
  Keys("\x0c");
  EXPECT_TRUE(KeyPressed());
  EXPECT_EQ(ReadKey(), 'q');
  EXPECT_FALSE(KeyPressed());  // F1 and Ctrl-L served, nothing left
  EXPECT_EQ(helpShown, 1);
  HelpKeyHook = nullptr;
}

// ---- Saved screen ----

TEST_F(Console, SaveAndRestoreCodesBringBackTheScreen) {
  WriteXY(1, 1, 0x1F, "before");
  GotoXY(12, 6);
  SetTextAttr(0x4E);
  EXPECT_TRUE(DisplayCode("SS"));
  WriteXY(1, 1, 0x70, "AFTER!");
  GotoXY(30, 20);
  SetTextAttr(0x02);
  EXPECT_TRUE(DisplayCode("RS"));
  EXPECT_EQ(RowText(1).substr(0, 7), "before ");
  EXPECT_EQ(AttrAt(1, 1), 0x1F);
  EXPECT_EQ(WhereX(), 12);
  EXPECT_EQ(WhereY(), 6);
  EXPECT_EQ(GetTextAttr(), 0x4E);

  // Within one text: the saved image is taken after "ab", restored after "cd".
  ClearScreen();
  WriteXYPipe(1, 3, 7, "ab|SScd|RSe");
  EXPECT_EQ(RowText(3).substr(0, 4), "abe ");
}

TEST_F(Console, RestoreBeforeAnySaveDrawsNothing) {
  WriteXY(1, 1, 0x1F, "kept");
  WriteXYPipe(5, 5, 7, "|RS");
  EXPECT_EQ(RowText(1).substr(0, 5), "kept ");
  EXPECT_EQ(AttrAt(1, 1), 0x1F);
}

// ---- Helpers with rules of their own ----

TEST_F(Console, GetCharAtGivesASpaceOutsideTheScreen) {
  WriteXY(1, 5, 7, std::string(80, 'X'));
  WriteXY(1, 25, 7, "Y");
  EXPECT_EQ(GetCharAt(1, 5), 'X');
  EXPECT_EQ(GetCharAt(80, 5), 'X');
  EXPECT_EQ(GetCharAt(1, 25), 'Y');
  for (auto [x, y] : {std::pair{0, 5}, {81, 5}, {5, 0}, {5, 26}, {255, 255}}) {
    EXPECT_EQ(GetCharAt(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)), ' ')
        << x << "," << y;
  }
}

TEST_F(Console, TextColorAndBackgroundChangeOneHalf) {
  struct Case {
    std::uint8_t start;
    bool foreground;
    std::uint8_t color;
    std::uint8_t want;
  };
  const Case cases[] = {
      {0x9E, true, 3, 0x93},     // background and blink stay
      {0x1E, true, 0x1C, 0x1C},  // only the low nibble of the colour counts
      {0x9E, false, 2, 0x2E},    // foreground stays, blink goes
      {0x07, false, 4, 0x47},
  };
  for (const Case& c : cases) {
    SetTextAttr(c.start);
    if (c.foreground) {
      TextColor(c.color);
    } else {
      TextBackground(c.color);
    }
    EXPECT_EQ(GetTextAttr(), c.want) << int{c.start} << " " << int{c.color};
  }
}

TEST_F(Console, WritePipeStartsInAttributeSevenAtTheCursor) {
  GotoXY(5, 2);
  SetTextAttr(0x1F);
  WritePipe("a|12b");
  EXPECT_EQ(RowText(2).substr(4, 3), "ab ");
  EXPECT_EQ(AttrAt(5, 2), 0x07);
  EXPECT_EQ(AttrAt(6, 2), 0x0C);
  EXPECT_EQ(WhereX(), 5);
  EXPECT_EQ(GetTextAttr(), 0x1F);
}

TEST_F(Console, CheckCtrlCTakesOneKey) {
  EXPECT_FALSE(CheckCtrlC());  // nothing waiting
  Keys("a");
  EXPECT_FALSE(CheckCtrlC());
  EXPECT_FALSE(KeyPressed());  // the "a" was taken and lost
  Keys("\x03");
  GotoXY(1, 4);
  EXPECT_TRUE(CheckCtrlC());
  EXPECT_EQ(RowText(4).substr(0, 15), "Ctrl-C pressed ");
  EXPECT_EQ(WhereY(), 5);
}

TEST_F(Console, FurtherHelpersClipToTheScreen) {
  FillBox(78, 24, 90, 30, '#', 0x1F);
  EXPECT_EQ(RowText(25).substr(76), " ###");
  EXPECT_EQ(AttrAt(80, 25), 0x1F);
  WriteCentered(3, 7, "abcd");
  EXPECT_EQ(RowText(3).find("abcd"), 38u);  // column 39
  WriteCell(0, 1, 'Q', 7);                  // outside: ignored
  WriteCell(2, 1, 'Q', 0x4E);
  EXPECT_EQ(CharAt(2, 1), 'Q');
  EXPECT_EQ(AttrAt(2, 1), 0x4E);
}

TEST_F(Console, ResetTerminalSelectsTheStartUpCharacterSet) {
  for (const auto& [utf8, bytes] : {std::pair{false, "\x1b(U\x1b[0m"}, {true, "\x1b(B\x1b[0m"}}) {
    screen_->Utf8Output = utf8;
    SetTextAttr(0x1F);
    ClearOutput();
    ResetTerminal();
    EXPECT_EQ(Output(), bytes) << utf8;
    EXPECT_EQ(GetTextAttr(), 7);
  }
}

// ---- Files ----

class AppendTextTest : public ::testing::Test {
 protected:
  std::string Read(const std::string& name) { return temp_.Get(name); }
  testkit::TempDir temp_;
  const std::string dir_ = temp_.Path().substr(0, temp_.Path().size() - 1);  // no trailing '/'
};

TEST_F(AppendTextTest, CreatesAMissingFileThenAppends) {
  const std::string name = dir_ + "/log.txt";
  AppendText(name, "first");
  EXPECT_EQ(Read("log.txt"), "first\n");
  AppendText(name, "second");
  EXPECT_EQ(Read("log.txt"), "first\nsecond\n");
}

TEST_F(AppendTextTest, FailureToCreateIsAnIoError) {
  EXPECT_THROW(AppendText(dir_ + "/missing/log.txt", "x"), IoError);
}

TEST_F(AppendTextTest, FirstFileArgumentSkipsMissingFilesAndDirectories) {
  AppendText(dir_ + "/msg.txt", "x");
  const std::string missing = dir_ + "/none", file = dir_ + "/msg.txt";
  const char* argv[] = {"prog", missing.c_str(), dir_.c_str(), file.c_str()};
  EXPECT_EQ(FirstFileArgument(4, argv), ShortString(file));
  EXPECT_EQ(FirstFileArgument(3, argv), ShortString());
}

// ---- The fixture's keys ----

TEST_F(Console, FixtureSendsEveryExtendedKeyAndLoneEscapes) {
  for (std::uint8_t scan : {kScanUp, kScanEnd, kScanF1, kScanF10, kScanF12, kScanShiftF7,
                            std::uint8_t{45} /* Alt-X */}) {
    Key(scan);
    EXPECT_EQ(ReadKey(), kKeyExtended);
    EXPECT_EQ(ReadKey(), scan);
  }
  Keys("a");
  LoneEscape();
  Key(kScanDown);
  LoneEscape();
  EXPECT_EQ(ReadKey(), 'a');
  EXPECT_EQ(ReadKey(), kKeyEscape);
  EXPECT_EQ(ReadKey(), kKeyExtended);
  EXPECT_EQ(ReadKey(), kScanDown);
  EXPECT_EQ(ReadKey(), kKeyEscape);
}

// Drawing only fills the screen's buffer. What is pending leaves when the
// program is about to wait for a key or to sleep, and not before: a key's
// redraw then costs one write per 1024 bytes instead of one per request.
TEST(PendingOutput, LeavesBeforeTheProgramWaitsOrSleepsAndNotBefore) {
  struct Case {
    const char* name;
    const char* keys;              // in the key pipe before the step
    std::function<void()> before;  // keys taken before the drawing
    std::function<void()> step;
    bool sent;  // the drawing has reached the terminal after the step
  };
  const Case cases[] = {
      {"ReadKey with no key yet read", "a", [] {}, [] { EXPECT_EQ(ReadKey(), 'a'); }, true},
      {"KeyWait", "", [] {}, [] { EXPECT_FALSE(KeyWait(1)); }, true},
      {"Delay", "", [] {}, [] { Delay(1); }, true},
      {"FlushScreen", "", [] {}, [] { FlushScreen(); }, true},
      // The scan code of an extended key is already decoded: no wait, no write.
      {"second half of an extended key", "\x1b[A", [] { EXPECT_EQ(ReadKey(), kKeyExtended); },
       [] { EXPECT_EQ(ReadKey(), kScanUp); }, false},
      {"KeyPressed", "", [] {}, [] { EXPECT_FALSE(KeyPressed()); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int out[2], keys[2];
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(keys), 0);
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    {
      TOutput screen(true, out[1], out[1]);
      TInput keyboard(keys[0]);
      Screen = &screen;
      Keyboard = &keyboard;
      BeforeInputWait = BeforeKeyWait;
      ASSERT_EQ(::write(keys[1], c.keys, std::strlen(c.keys)),
                static_cast<ssize_t>(std::strlen(c.keys)));
      c.before();
      auto sent = [&] {
        std::string bytes;
        char buf[4096];
        for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
          bytes.append(buf, static_cast<std::size_t>(n));
        return bytes;
      };
      sent();
      WriteXY(5, 5, 7, "drawn");
      EXPECT_EQ(sent(), "");
      c.step();
      EXPECT_EQ(sent().find("drawn") != std::string::npos, c.sent);
      BeforeInputWait = nullptr;
      Screen = nullptr;
      Keyboard = nullptr;
    }
    for (int fd : {out[0], out[1], keys[0], keys[1]}) ::close(fd);
  }
}

}  // namespace
}  // namespace corvix
