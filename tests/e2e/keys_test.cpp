// Keys as today's terminals send them reach the base list intact: a key the
// program does not use, or a report the terminal sends on its own, never ends
// the list as Escape would.
#include <sys/wait.h>

#include <string>
#include <utility>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

// The cell where Text starts on the screen; {0, 0} when it does not show.
std::pair<int, int> Find(const PtySession& run, const std::string& text) {
  for (int y = 1; y <= 25; ++y) {
    for (int x = 1; x + static_cast<int>(text.size()) - 1 <= 80; ++x) {
      int i = 0;
      while (i < static_cast<int>(text.size()) &&
             run.CellChar(x + i, y) == static_cast<unsigned char>(text[i]))
        ++i;
      if (i == static_cast<int>(text.size())) return {x, y};
    }
  }
  return {0, 0};
}

unsigned long ColoursOf(const PtySession& run, const std::string& text) {
  const auto [x, y] = Find(run, text);
  EXPECT_NE(y, 0) << text;
  return run.CellColours(x, y);
}

using KeysTest = HostFixture;

TEST_F(KeysTest, EndShiftTabAndFocusReportsKeepTheBaseListAndItsMarks) {
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Settle();
  const unsigned long highlighted = ColoursOf(run, "LINUX.7");
  const unsigned long plain = ColoursOf(run, "RETRO");
  ASSERT_NE(highlighted, plain);

  run.Send(kTab);      // mark base 7
  run.Send("\x1b[F");  // End as xterm, VTE and Windows Terminal send it
  run.Send("\x1b[Z");  // Shift-Tab
  run.Send("\x1b[I");  // focus in
  run.Send("\x1b[O");  // focus out
  run.Settle();
  EXPECT_NE(run.ScreenText().find("Select Message Base(s)"), std::string::npos);
  EXPECT_EQ(ColoursOf(run, "LAST.BASE"), highlighted);  // the bar is on the last base
  const unsigned long marked = ColoursOf(run, "LINUX.7");
  EXPECT_NE(marked, plain);  // base 7 keeps its mark
  EXPECT_NE(marked, highlighted);
  EXPECT_EQ(ColoursOf(run, "RETRO"), plain);

  run.SendEscape();
  const int status = run.WaitExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(Exists(hostDir_ + "/aupload.ini"));
}

// Ctrl-G is the help key where the terminal keeps F1; Ctrl-C leaves the
// list as Escape does, marks kept as "last", with status 130.
TEST_F(KeysTest, CtrlGShowsTheHelpAndCtrlCLeavesWithTheMarksKept) {
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Send(kTab);
  run.Send("\x07");
  ASSERT_TRUE(run.WaitForText("F7    show only the bases matching the"));
  run.Send("x");  // closes the help
  run.Send("\x03");
  const int status = run.WaitExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
  EXPECT_NE(ReadFile(root_ + "/state/corvixmass/selections/last").find("\n7\n"), std::string::npos);
}

// An editor that sets a scroll region and stops only itself: the wait sees
// the stop and goes on, the list is drawn whole, and the way out puts the
// whole screen back as the shell's scroll region.
TEST_F(KeysTest, AnEditorsScrollRegionAndItsOwnStopLeaveNoMark) {
  WriteFile(root_ + "/editor.sh",
            "printf '\\033[5;10r' > /dev/tty\nkill -TSTP $$\necho edited >> \"$1\"\n");
  WriteConfig(DefaultConfig("editor = sh " + root_ + "/editor.sh\n"));
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("y");
  ASSERT_TRUE(run.WaitForText("LAST.BASE", 10000));
  run.Settle();
  EXPECT_NE(run.Row(4).find("LINUX.7"), std::string::npos);
  EXPECT_NE(run.Row(25).find("Press TAB to select base(s)"), std::string::npos);
  EXPECT_NE(ReadFile(workDir_ + "/message.txt").find("edited"), std::string::npos);
  run.SendEscape();
  EXPECT_EQ(run.WaitExit(), 0);
  const std::string& raw = run.Raw();
  EXPECT_NE(raw.find("\x1b[r", raw.rfind("\x1b[?1049l")), std::string::npos);
}

}  // namespace
}  // namespace corvix::e2e
