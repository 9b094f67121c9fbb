// On a terminal other than the Linux console: explicit colours that do not
// depend on the terminal's own defaults or on how it shows bold, a cursor
// shown only where text is typed, and the alternate screen, left before the
// summary so that the shell's screen comes back with the summary below it.
#include <sys/wait.h>

#include <cmath>
#include <memory>
#include <regex>
#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

using ColorsTest = HostFixture;

// True when some SGR sequence in Bytes sets bold (parameter 1).
bool SendsBold(const std::string& bytes) {
  static const std::regex sgr("\x1b\\[([0-9;]*)m");
  for (std::sregex_iterator it(bytes.begin(), bytes.end(), sgr), end; it != end; ++it) {
    const std::string params = ";" + (*it)[1].str() + ";";
    if (params.find(";1;") != std::string::npos) return true;
  }
  return false;
}

// The last cursor visibility Bytes set: 'h' shown, 'l' hidden, 0 none.
char LastCursor(const std::string& bytes) {
  const std::size_t at = bytes.rfind("\x1b[?25");
  return at == std::string::npos ? 0 : bytes[at + 5];
}

TEST_F(ColorsTest, ModernTerminalGetsPcColoursHiddenCursorAndTheAlternateScreen) {
  PtySession& run = StartWith({"TERM=xterm-256color"}, {"message.txt"});
  run.SetDefaultColors(200, 100, 0, 250, 250, 250);  // neither grey nor black
  ASSERT_TRUE(OpenBaseList(run));
  const std::string& raw = run.Raw();
  EXPECT_LT(raw.find("\x1b[?1049h"), raw.find("\x1b[2J"))
      << "alternate screen before the first drawing";
  EXPECT_EQ(LastCursor(raw), 'l') << "no cursor in the base list";
  // The highlighted first row is on the PC's light grey, an unmarked row is
  // in its dark grey, both by 256-colour index, on a black named by the program.
  ASSERT_NE(run.Row(5).find("RETRO"), std::string::npos);
  int x = 1;
  while (x < 80 && run.CellChar(x, 5) != 'R') ++x;
  const PtySession::CellLook row = run.Look(x, 5);
  EXPECT_EQ(row.Fg, 244);
  EXPECT_EQ(row.Bg, 16);
  EXPECT_FALSE(row.Bold);
  EXPECT_EQ(run.Look(x, 4).Bg, 248);

  run.Send(kTab);
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("Message Info"));
  run.Send("s");
  EXPECT_EQ(LastCursor(run.Raw()), 'h') << "cursor shown while the subject is typed";
  run.Send(kEnter);
  run.SendEscape();
  ASSERT_TRUE(run.WaitForText("Press ESC to Abort."));
  EXPECT_EQ(LastCursor(run.Raw()), 'l');
  run.Send(kEnter);
  ASSERT_EQ(run.WaitExit(), 0);

  const std::size_t summary = raw.find("Posted to 1 base");
  ASSERT_NE(summary, std::string::npos);
  EXPECT_LT(raw.rfind("\x1b[?1049l"), summary) << "the summary goes to the shell's screen";
  EXPECT_EQ(LastCursor(raw), 'h') << "the cursor is back after the run";
  EXPECT_FALSE(SendsBold(raw));
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
}

// From the last exit from the alternate screen on: an attribute reset, no
// colour named after it, the cursor shown, and the emulator's pen as it
// was before the program started.
void ExpectGivenBack(const PtySession& run, const std::string& penBefore) {
  static const std::regex sgr("\x1b\\[([0-9;]*)m");
  const std::string& raw = run.Raw();
  const std::size_t left = raw.rfind("\x1b[?1049l");
  ASSERT_NE(left, std::string::npos);
  const std::string after = raw.substr(left);
  EXPECT_NE(after.find("\x1b[0m"), std::string::npos);
  for (std::sregex_iterator it(after.begin(), after.end(), sgr), end; it != end; ++it)
    EXPECT_TRUE((*it)[1] == "" || (*it)[1] == "0") << "colour after the way out: " << (*it)[1];
  EXPECT_EQ(LastCursor(raw), 'h');
  EXPECT_EQ(run.Pen(), penBefore);
}

// In each colour mode: stopped with Ctrl-Z from a shell, continued and left
// with Escape; and a run that posts.
TEST_F(ColorsTest, EveryWayOutGivesTheTerminalItsOwnPenAndCursorBack) {
  for (const std::string colors : {"bold", "explicit", "pc", "mono"}) {
    SCOPED_TRACE(colors);
    // Each mode posts the same text to the same base: not asked again here.
    WriteConfig(DefaultConfig("charset = utf8\nrepost_hours = 0\ncolors = " + colors + "\n"));
    run_ = std::make_unique<PtySession>(
        "/bin/sh", std::vector<std::string>{"-i"}, workDir_,
        std::vector<std::string>{"TERM=xterm-256color", "PS1=$ ", "ENV="});
    PtySession& sh = *run_;
    const std::string pen = sh.Pen();
    sh.Settle();
    sh.Send(appDir_ + "/corvixmass message.txt\r");
    ASSERT_TRUE(OpenBaseList(sh));
    sh.Send("\x1a");
    ASSERT_TRUE(sh.WaitForText("$ "));  // the shell's screen again
    sh.Settle();
    ExpectGivenBack(sh, pen);
    sh.Send("fg\r");
    ASSERT_TRUE(sh.WaitForText("Select Message Base(s)"));
    sh.SendEscape();
    ASSERT_TRUE(sh.WaitForText("$ "));
    sh.Settle();
    ExpectGivenBack(sh, pen);

    PtySession& run = StartWith({"TERM=xterm-256color"}, {"message.txt"});
    const std::string penAtStart = run.Pen();
    ASSERT_TRUE(MarkFirstBaseUpToConfirmation(run));
    run.Send(kEnter);
    ASSERT_EQ(run.WaitExit(), 0);
    ExpectGivenBack(run, penAtStart);
  }
}

// The relative luminance of an sRGB colour (WCAG 2).
double Luminance(unsigned long rgb) {
  double l = 0;
  for (const auto& [shift, weight] : {std::pair{16, 0.2126}, {8, 0.7152}, {0, 0.0722}}) {
    const double c = static_cast<double>((rgb >> shift) & 255) / 255;
    l += weight * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
  }
  return l;
}

// Every cell that shows a character, in the colours the emulator shows for
// what the program sent: text at 4.5:1 at least, frames and shading at 3:1.
void ExpectReadable(PtySession& run, const char* screen) {
  run.Settle();
  std::string faults;
  for (int y = 1; y <= 25; ++y) {
    for (int x = 1; x <= 80; ++x) {
      const unsigned ch = run.CellChar(x, y);
      if (ch == 0 || ch == ' ') continue;
      double a = Luminance(run.CellColours(x, y) >> 24), b = Luminance(run.CellColours(x, y));
      if (a < b) std::swap(a, b);
      if ((a + 0.05) / (b + 0.05) < (ch >= 0x2500 && ch <= 0x259F ? 3.0 : 4.5))
        faults += " " + std::to_string(x) + "," + std::to_string(y);
    }
  }
  EXPECT_EQ(faults.substr(0, 100), "") << screen;
}

TEST_F(ColorsTest, EveryTextIsReadableInThePcColours) {
  WriteConfig(DefaultConfig("charset = utf8\n"));
  PtySession& run = StartWith({"TERM=xterm-256color"}, {"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  ExpectReadable(run, "yes/no question");
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  run.Send(kTab);  // the bar stays on the marked base
  ExpectReadable(run, "base list");
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("Message Info"));
  run.Send("s");
  ExpectReadable(run, "message form");
  run.Send(kEnter);
  run.SendEscape();
  ASSERT_TRUE(run.WaitForText("Press ESC to Abort."));
  ExpectReadable(run, "confirmation");
}

// No colour and no UTF-8: no colour is named, no byte above 127 is sent, the
// frames come in the DEC line-drawing set, and a marked base shows a mark
// beside its number and bold text where an unmarked one shows the frame.
TEST_F(ColorsTest, WithoutColourOrUtf8EveryScreenStillReads) {
  PtySession& run =
      StartWith({"TERM=xterm", "NO_COLOR=1", "LANG=C", "LC_ALL=", "LC_CTYPE="}, {"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Send(kTab);
  run.Send(kDown);
  run.Settle();
  EXPECT_EQ(run.CellChar(3, 4), '*');
  EXPECT_EQ(run.CellChar(3, 5), 0x2502u);
  EXPECT_TRUE(run.Look(4, 4).Bold);
  EXPECT_FALSE(run.Look(4, 5).Bold);
  run.SendEscape();
  ASSERT_EQ(run.WaitExit(), 0);
  const std::string& raw = run.Raw();
  EXPECT_FALSE(std::regex_search(raw, std::regex("\x1b\\[([0-9;]*;)?([349]|10)[0-8][;m]")));
  EXPECT_GT(raw.rfind("\x1b(B"), raw.rfind("\x1b(0"));
  for (const char c : raw) ASSERT_LT(static_cast<unsigned char>(c), 0x80);
}

}  // namespace
}  // namespace corvix::e2e
