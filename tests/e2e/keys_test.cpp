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

}  // namespace
}  // namespace corvix::e2e
