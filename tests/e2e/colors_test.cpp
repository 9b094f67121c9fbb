// On a terminal other than the Linux console: explicit colours that do not
// depend on the terminal's own defaults or on how it shows bold, a cursor
// shown only where text is typed, and the alternate screen, left before the
// summary so that the shell's screen comes back with the summary below it.
#include <sys/wait.h>

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

TEST_F(ColorsTest, ModernTerminalGetsExplicitColoursHiddenCursorAndTheAlternateScreen) {
  PtySession& run = StartWith({"TERM=xterm-256color"}, {"message.txt"});
  run.SetDefaultColors(200, 100, 0, 250, 250, 250);  // neither grey nor black
  ASSERT_TRUE(OpenBaseList(run));
  const std::string& raw = run.Raw();
  EXPECT_LT(raw.find("\x1b[?1049h"), raw.find("\x1b[2J"))
      << "alternate screen before the first drawing";
  EXPECT_EQ(LastCursor(raw), 'l') << "no cursor in the base list";
  // An unmarked row: dark grey as a colour of its own on a black named by the program.
  ASSERT_NE(run.Row(5).find("RETRO"), std::string::npos);
  int x = 1;
  while (x < 80 && run.CellChar(x, 5) != 'R') ++x;
  const PtySession::CellLook row = run.Look(x, 5);
  EXPECT_EQ(row.Fg, 8);
  EXPECT_EQ(row.Bg, 0);
  EXPECT_FALSE(row.Bold);
  EXPECT_NE(raw.find("\x1b[90m"), std::string::npos);

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

}  // namespace
}  // namespace corvix::e2e
