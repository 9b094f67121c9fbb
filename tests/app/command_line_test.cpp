// The summary after a run and the terminal size rule.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

TEST(Summary, ReportsEachUtilityResultAndCountsFailures) {
  std::vector<TPostedRec> posted = {
      {"7", "7   LINUX.7      Linux help", 0},
      {"65535", "6553LAST.BASE    The last base", 3 << 8},  // exit status 3
      {"20", "20  RETRO        Retro computing", 9},        // killed by signal 9
      {"21", "21  X            y", -1},
  };
  EXPECT_EQ(PostingSummary(posted),
            "    7  LINUX.7       ok\n"
            "65535  LAST.BASE     exit status 3\n"
            "   20  RETRO         signal 9\n"
            "   21  X             not started\n"
            "Posted to 4 bases: 1 ok, 3 failed.\n");
  EXPECT_EQ(PostingSummary({}), "");
}

TEST(TerminalSize, NeedsEightyByTwentyFive) {
  EXPECT_EQ(TerminalSizeProblem(80, 25), "");
  EXPECT_EQ(TerminalSizeProblem(200, 60), "");
  EXPECT_EQ(TerminalSizeProblem(80, 24),
            "corvixmass needs a terminal of at least 80x25; this one is 80x24.");
}

}  // namespace
}  // namespace corvix
