// The screen object: the bytes it sends, the image it keeps, and how its
// buffer reaches the descriptor.
#include "term/output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vterm.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "support/string_utils.h"

namespace corvix {
namespace {

const std::string E = "\x1b";

// A screen object writing into a pipe (also its settings descriptor, so raw
// mode is skipped); Sent() flushes and takes the bytes that reached the pipe.
class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::pipe(fds_), 0);
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    s_ = std::make_unique<TOutput>(true, fds_[1], fds_[1]);
  }
  void TearDown() override {
    s_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  // Flushes first: drawing only fills the buffer, and the program flushes
  // before it waits, which is where a test reads.
  std::string Sent() {
    s_->BufFlush();
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds_[0], buf, sizeof buf)) > 0;)
      out.append(buf, static_cast<std::size_t>(n));
    return out;
  }
  std::string Row(std::uint8_t y, std::uint8_t from, std::uint8_t to) {
    std::string r;
    for (std::uint8_t x = from; x <= to; ++x) r += s_->ReadCharXY(x, y);
    return r;
  }
  int fds_[2] = {-1, -1};
  std::unique_ptr<TOutput> s_;
};

TEST_F(OutputTest, CreationResetsTheTerminalAndClearsTheImage) {
  EXPECT_EQ(Sent(), E + "(U" + E + "[0m" + E + "[2J" + E + "[1;1H");
  EXPECT_TRUE(s_->CursorX == 1 && s_->CursorY == 1 && s_->TextAttr == 7);
  for (const auto& row : s_->Buffer) {
    for (const TCharInfo& cell : row) ASSERT_TRUE(cell.Attr == 7 && cell.Ch == ' ');
  }
}

// Each row starts at cursor (X, Y) in attribute A, runs Act, flushes, and
// compares the bytes sent and the cursor and attribute that result.
TEST_F(OutputTest, RequestsSendTheirSequencesAndMoveTheCursor) {
  struct Case {
    const char* name;
    std::uint8_t x, y, attr;
    std::function<void(TOutput&)> act;
    std::string bytes;
    std::uint8_t endX, endY, endAttr;
  };
  auto attr = [](std::uint8_t a) {
    return [a](TOutput& o) {
      o.SetTextAttr(a);
      o.SetTextAttr(a);
    };
  };
  auto move = [](std::uint8_t x, std::uint8_t y) {
    return [x, y](TOutput& o) { o.CursorXY(x, y); };
  };
  auto str = [](const char* t) { return [t](TOutput& o) { o.WriteStr(t); }; };
  const Case cases[] = {
      {"same attribute", 1, 1, 0x07, attr(0x07), "", 1, 1, 0x07},
      {"7 to 1F", 1, 1, 0x07, attr(0x1F), E + "[1;44m", 1, 1, 0x1F},
      {"7 to 0E", 1, 1, 0x07, attr(0x0E), E + "[1;33m", 1, 1, 0x0E},
      {"7 to 70", 1, 1, 0x07, attr(0x70), E + "[30;47m", 1, 1, 0x70},
      {"1F to 7", 1, 1, 0x1F, attr(0x07), E + "[0m", 1, 1, 0x07},
      {"0E to 0C", 1, 1, 0x0E, attr(0x0C), E + "[0;1;31m", 1, 1, 0x0C},
      {"7 to 87", 1, 1, 0x07, attr(0x87), E + "[0;5m", 1, 1, 0x87},
      {"87 to 8F", 1, 1, 0x87, attr(0x8F), E + "[1m", 1, 1, 0x8F},
      {"8F to 0F", 1, 1, 0x8F, attr(0x0F), E + "[0;1m", 1, 1, 0x0F},
      {"1F to 1E", 1, 1, 0x1F, attr(0x1E), E + "[0;1;33;44m", 1, 1, 0x1E},
      {"7 to C9", 1, 1, 0x07, attr(0xC9), E + "[1;5;34;41m", 1, 1, 0xC9},
      {"cursor clamped low", 1, 1, 7, move(0, 30), E + "[25;1H", 1, 25, 7},
      {"cursor clamped high", 1, 1, 7, move(200, 5), E + "[5;80H", 80, 5, 7},
      {"cursor to where it is", 12, 7, 7, move(12, 7), E + "[7;12H", 12, 7, 7},
      {"WriteXY", 3, 3, 7, [](TOutput& o) { o.WriteXY(10, 5, 0x0E, "Hi"); },
       E + "[5;10H" + E + "[1;33mHi" + E + "[0m" + E + "[3;3H", 3, 3, 7},
      {"wrap after column 80", 80, 1, 7, str("AB"), "AB", 2, 2, 7},
      {"wrap on the last row", 80, 25, 7, str("AB"), "AB", 2, 25, 7},
      {"line feed", 5, 3, 7, str("\n"), "\n", 5, 4, 7},
      {"line feed on the last row", 5, 25, 7, str("\n"), "\n", 5, 25, 7},
      {"carriage return", 40, 9, 7, str("x\r"), "x\r", 1, 9, 7},
      {"backspace at column 1", 1, 6, 7, str("\b\b"), "\b\b", 1, 6, 7},
      {"backspace", 7, 6, 7, str("ab\b"), "ab\b", 8, 6, 7},
      {"ClearEOL", 4, 4, 7, [](TOutput& o) { o.ClearEOL(); }, E + "[K", 4, 4, 7},
  };
  for (const Case& c : cases) {
    s_->ClearScreen();
    s_->WriteXY(1, 24, 7, "row 24");
    s_->CursorXY(c.x, c.y);
    s_->TextAttr = c.attr;  // as if the terminal were in that attribute
    Sent();
    c.act(*s_);
    s_->BufFlush();
    EXPECT_EQ(Sent(), c.bytes) << c.name;
    EXPECT_TRUE(s_->CursorX == c.endX && s_->CursorY == c.endY) << c.name;
    EXPECT_EQ(s_->TextAttr, c.endAttr) << c.name;
    EXPECT_EQ(Row(24, 1, 6), "row 24") << c.name;  // the image never scrolls
  }
}

TEST_F(OutputTest, CharactersLandInTheImage) {
  s_->CursorXY(80, 1);
  s_->WriteStr("AB");
  s_->WriteXY(10, 5, 0x0E, "Hi");
  s_->CursorXY(7, 6);
  s_->WriteStr("ab\b");
  s_->ClearEOL();  // erases on the terminal only
  EXPECT_TRUE(s_->ReadCharXY(80, 1) == 'A' && s_->ReadCharXY(1, 2) == 'B');
  EXPECT_TRUE(Row(5, 10, 12) == "Hi " && s_->ReadAttrXY(11, 5) == 0x0E);
  EXPECT_EQ(Row(6, 7, 8), "ab");
}

TEST_F(OutputTest, PipeColourCodes) {
  struct Case {
    const char* text;
    std::uint8_t start;
    std::string shown, attrs;
    std::uint8_t end;
  };
  const Case cases[] = {
      {"|04red|07", 0x07, "red", "\x04\x04\x04", 0x07},
      {"|16a", 0x1E, "a", "\x0E", 0x0E},  // background 0, foreground kept
      {"|20a", 0x8E, "a", "\x4E", 0x4E},  // background 4, blink cleared
      {"|00a", 0x17, "a", "\x10", 0x10},  // black, background kept
      {"|24|$1|&1", 0x07, "|24|$1|&1", std::string(9, '\x07'), 0x07},
      {"||02x", 0x07, "|x", "\x07\x02", 0x02},  // the first pipe is text
      {"a|", 0x07, "a|", "\x07\x07", 0x07},
  };
  for (const Case& c : cases) {
    s_->ClearScreen();
    s_->SetTextAttr(c.start);
    s_->WritePipeStr(c.text);
    EXPECT_NE(Sent(), "") << c.text;
    EXPECT_EQ(Row(1, 1, static_cast<std::uint8_t>(c.shown.size() + 1)), c.shown + " ") << c.text;
    for (std::size_t i = 0; i < c.attrs.size(); ++i) {
      EXPECT_EQ(s_->ReadAttrXY(static_cast<std::uint8_t>(i + 1), 1), c.attrs[i]) << c.text;
    }
    EXPECT_EQ(s_->TextAttr, c.end) << c.text;
  }
}

TEST_F(OutputTest, ScreenImageRoundTrip) {
  s_->WriteXY(1, 1, 0x1F, "title");
  s_->WriteXY(70, 25, 0x4E, "bottom right");
  s_->CursorXY(33, 12);
  s_->SetTextAttr(0x0E);
  TConsoleImageRec image;
  s_->GetScreenImage(image);
  EXPECT_TRUE(image.X1 == 1 && image.X2 == 80 && image.Y1 == 1 && image.Y2 == 25);
  const TConsoleScreenRec before = s_->Buffer;
  s_->ClearScreen();
  s_->WriteXY(20, 12, 0x70, "covering text");
  s_->PutScreenImage(image);
  EXPECT_EQ(std::memcmp(&before, &s_->Buffer, 25 * sizeof(TConsoleLineRec)), 0);
  EXPECT_TRUE(s_->CursorX == 33 && s_->CursorY == 12 && s_->TextAttr == 0x0E);
}

TEST_F(OutputTest, PutScreenImageDrawsItsPackedRectangleOnly) {
  TConsoleImageRec image{};
  image.Data[0][0] = {0x1F, 'a'}, image.Data[0][1] = {0x1F, 'b'};
  image.Data[1][0] = {0x1F, 'c'}, image.Data[1][1] = {0x07, 'd'};
  image.X1 = 10, image.X2 = 11, image.Y1 = 3, image.Y2 = 4;
  image.CursorX = 1, image.CursorY = 1, image.CursorA = 7;
  Sent();
  s_->PutScreenImage(image);
  EXPECT_EQ(Sent(), E + "[3;10H" + E + "[1;44mab" + E + "[4;10Hc" + E + "[0md" + E + "[1;1H");
  EXPECT_EQ(Row(3, 10, 12), "ab ");
  // Rectangles outside the screen, the never-filled all-zero image first.
  TConsoleImageRec bad[4] = {};
  bad[1].X1 = 1, bad[1].X2 = 81, bad[1].Y1 = 1, bad[1].Y2 = 1;
  bad[2].X1 = 1, bad[2].X2 = 80, bad[2].Y1 = 5, bad[2].Y2 = 4;
  bad[3].X1 = 1, bad[3].X2 = 80, bad[3].Y1 = 1, bad[3].Y2 = 51;
  for (const TConsoleImageRec& b : bad) {
    s_->PutScreenImage(b);
    s_->BufFlush();
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(Row(3, 10, 10), "a");
  }
}

TEST_F(OutputTest, Utf8OutputTranslatesCodePageBytesOnTheWayOut) {
  s_->Utf8Output = true;
  Sent();
  s_->WriteXY(1, 1, 7, "\xB0\xC4\x81\xFE-\x7f");  // the last: the cut mark
  EXPECT_EQ(Sent(), E + "[1;1H" + "\u2591\u2500\u00FC\u25A0-\u2026" + E + "[1;1H");
  EXPECT_EQ(s_->ReadCharXY(1, 1), '\xB0');
}

// A console taking 8-bit bytes reads byte 155 as a control sequence's start.
TEST_F(OutputTest, ByteOneFiftyFiveNeverLeavesInEightBitOutput) {
  Sent();
  s_->WriteXY(1, 1, 7,
              "\x9b"
              "2J\x9c\x7f");  // the last: the cut mark
  EXPECT_EQ(Sent(), E + "[1;1H?2J\x9c>" + E + "[1;1H");
  EXPECT_EQ(s_->ReadCharXY(1, 1), '\x9b');
}

TEST(OutputWrite, FullNonBlockingDescriptorLosesNoBytes) {
  // A small non-blocking pipe that keeps filling up, and a reader that
  // stalls for a while first: each write that meets a full pipe must wait
  // and go on rather than drop the rest.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  std::string got;
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
      if (n > 0)
        got.append(buf, static_cast<std::size_t>(n));
      else if (errno != EINTR)
        break;
    }
  });
  std::string expected = E + "(U" + E + "[0m" + E + "[2J" + E + "[1;1H";
  {
    TOutput screen(true, fds[1], fds[1]);
    for (int i = 0; i < 200; ++i) {
      const ShortString line = ShortString::Of(static_cast<char>('a' + i % 26), 200);
      screen.BufAddStr(line);
      expected += line.Str();
    }
  }  // the destructor flushes the rest
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
  EXPECT_TRUE(got == expected) << got.size() << " of " << expected.size() << " bytes";
}

// Explicit colours: only what differs is sent, bright is a colour of its own
// and never bold, and black is named too. The bytes are then read back by a
// terminal emulator whose own default colours are neither black nor grey:
// every cell shows the colours its attribute names.
TEST(ExplicitColours, EveryCellShowsTheColoursItsAttributeNames) {
  struct Case {
    std::uint8_t from, to;
    std::string sgr;
  };
  const Case
      cases[] =
          {
              {0x07, 0x08, E + "[90m"},  // dark grey, not bold on black
              {0x08, 0x07, E + "[37m"},  // and back without a reset
              {0x07, 0x1F, E + "[97;44m"},
              {0x1F, 0x17, E + "[37m"},
              {0x0E, 0x0C, E + "[91m"},
              {0x07, 0x70, E + "[30;47m"},
              {0x70, 0x00, E + "[40m"},  // black on black: the background named too
              {0x07, 0x87, E + "[5m"},
              {0x8F, 0x0F, E + "[0;97;40m"},  // blink goes off by a reset; both colours follow
              {0x9E, 0x1E, E + "[0;93;44m"},
              {0x70, 0x7F, E + "[97;100m"},  // bright text: the bar in dark grey behind it
              {0x7E, 0x70, E + "[30;47m"},
          };
  // The palette index a PC colour number shows as.
  auto ansi = [](int pc) { return "04261537"[pc & 7] - '0' + (pc & 8); };
  auto back = [&ansi](int attr) { return (attr & 0x7F) > 0x78 ? 8 : ansi((attr >> 4) & 7); };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int{c.from} << " to " << int{c.to});
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string bytes;
    {
      TScreenModesRec modes;
      modes.Colors = kColorsExplicit;
      TOutput out(true, fds[1], fds[1], false, modes);
      out.SetTextAttr(c.from);
      out.WriteStr("a");
      EXPECT_EQ(out.AttrToAnsi(c.to).Str(), c.sgr);
      out.SetTextAttr(c.to);
      out.WriteStr("b");
      out.BufFlush();
      char buf[4096];
      for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    ::close(fds[1]);

    VTerm* vt = vterm_new(25, 80);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_reset(screen, 1);
    VTermColor fg, bg;
    vterm_color_rgb(&fg, 200, 100, 0);
    vterm_color_rgb(&bg, 250, 250, 250);
    vterm_state_set_default_colors(vterm_obtain_state(vt), &fg, &bg);
    vterm_input_write(vt, bytes.data(), bytes.size());
    for (const auto& [col, attr] : {std::pair{0, c.from}, std::pair{1, c.to}}) {
      VTermScreenCell cell{};
      vterm_screen_get_cell(screen, VTermPos{0, col}, &cell);
      ASSERT_TRUE(VTERM_COLOR_IS_INDEXED(&cell.fg) && VTERM_COLOR_IS_INDEXED(&cell.bg));
      EXPECT_EQ(cell.fg.indexed.idx, ansi(attr & 15));
      EXPECT_EQ(cell.bg.indexed.idx, back(attr));
      EXPECT_FALSE(cell.attrs.bold);
      EXPECT_EQ(cell.attrs.blink != 0, (attr & 0x80) != 0);
    }
    vterm_free(vt);
  }
}

// PC colours: the palette's own colours by 256-colour index or 24-bit RGB,
// named as explicit colours are, never bold.
TEST(PcColours, NameThePaletteByIndexOrRgb) {
  const TColorsRec indexed{kColorsPc, false}, rgb{kColorsPc, true};
  EXPECT_EQ(SgrChange(0x07, 0x08, indexed).Str(), E + "[38;5;244m");
  EXPECT_EQ(SgrChange(0x07, 0x70, indexed).Str(), E + "[38;5;16;48;5;248m");
  EXPECT_EQ(SgrChange(0x70, 0x7E, indexed).Str(), E + "[38;5;227;48;5;242m");
  EXPECT_EQ(SgrChange(0x8F, 0x0F, indexed).Str(), E + "[0;38;5;231;48;5;16m");
  EXPECT_EQ(SgrChange(0x07, 0x16, rgb).Str(), E + "[38;2;215;95;0;48;2;0;0;170m");
  EXPECT_EQ(SgrChange(0x07, 0x01, indexed).Str(), E + "[38;5;68m");  // a pipe code's dark blue
  EXPECT_EQ(SgrReset(indexed).Str(), E + "[0;38;5;248;48;5;16m");
  // As text colours: dark blue, red, magenta and brown are sent lighter.
  const std::uint8_t index[16] = {16,  68, 34, 37, 167, 164, 166, 248,
                                  244, 63, 83, 87, 203, 207, 227, 231};
  for (std::uint8_t c = 0; c < 16; ++c)
    EXPECT_EQ(SgrChange(c == 7 ? 0x08 : 0x07, c, indexed).Str(),
              E + "[38;5;" + std::to_string(index[c]) + "m");
}

TEST(PcColours, TheSettingOrTheTerminalChoosesTheMode) {
  struct Case {
    const char *setting, *term, *colorTerm;
    TColorMode mode;
    bool trueColor;
  } cases[] = {
      {"", "xterm-256color", nullptr, kColorsPc, false},
      {"", "xterm", "truecolor", kColorsPc, true},
      {"", "linux", nullptr, kColorsBold, false},
      {"", "xterm", nullptr, kColorsExplicit, false},
      {"junk", nullptr, nullptr, kColorsExplicit, false},
      {"BOLD", "xterm-256color", "24bit", kColorsBold, true},
      {"Explicit", "linux", nullptr, kColorsExplicit, false},
      {"pc", "linux", nullptr, kColorsPc, false},
  };
  for (const Case& c : cases) {
    const TColorsRec got = ColorsFor(c.setting, c.term, c.colorTerm);
    EXPECT_EQ(got.Mode, c.mode) << c.setting << " " << (c.term ? c.term : "-");
    EXPECT_EQ(got.TrueColor, c.trueColor) << c.setting;
  }
  // NO_COLOR with any value, an empty one too, unless the setting names colours.
  EXPECT_EQ(ColorsFor("", "xterm-256color", nullptr, "0").Mode, kColorsMono);
  EXPECT_EQ(ColorsFor("", "xterm-256color", nullptr, "").Mode, kColorsMono);
  EXPECT_EQ(ColorsFor("pc", "xterm", nullptr, "1").Mode, kColorsPc);
}

// On 21 rows the window above the help line starts at image row 2 and
// follows the focus row, and every flush leaves the terminal showing exactly
// the window's rows and row 25 below them.
TEST_F(OutputTest, AShortTerminalShowsAWindowThatFollowsTheFocus) {
  s_->FocusRow = 4;
  s_->SetRedrawMode(TRedrawMode::kChanges);
  s_->SetTerminalRows(21);
  VTerm* vt = vterm_new(21, 80);
  vterm_screen_reset(vterm_obtain_screen(vt), 1);
  for (int first : {2, 5}) {
    for (std::uint8_t y = 1; y <= kScreenRows; ++y) s_->WriteXY(1, y, 7, Int2Str(100 + y));
    const std::string bytes = Sent();
    vterm_input_write(vt, bytes.data(), bytes.size());
    std::string expected, shown(200, 0);
    for (int y = first; y < first + 20; ++y) expected += Int2Str(100 + y).Str() + "\n";
    vterm_screen_get_text(vterm_obtain_screen(vt), shown.data(), 200, VTermRect{0, 21, 0, 3});
    EXPECT_EQ(shown.c_str(), expected + Int2Str(125).Str());
    s_->FocusRow = 24;  // down as little as brings row 24 into view
  }
  vterm_free(vt);
}

}  // namespace
}  // namespace corvix
