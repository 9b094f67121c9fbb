// The summary after a run and the terminal size rule.
#include "app/posting/posting_summary.h"

#include <gtest/gtest.h>

#include "app/config/session.h"
#include "term/console.h"

namespace corvix {
namespace {

constexpr TPostOutcome kEnded = TPostOutcome::kEnded;

TEST(Summary, ReportsEachResultWithTheLastLineOfAFailureAndCountsThem) {
  std::vector<TPostedRec> posted = {
      {"7", "7   LINUX.7      Linux help", kEnded, 0, "posted fine"},
      {"65535", "6553LAST.BASE    The last base", kEnded, 3 << 8, "no such base"},
      {"20", "20  RETRO        Retro computing", kEnded, 9, ""},  // killed by signal 9
      {"21", "21  X            y", kEnded, 127 << 8, "sh: ./corvixutil: not found"},
      {"22", "22  Y            y", kEnded, 126 << 8, ""},
      {"23", "23  Z            z", TPostOutcome::kStopped, 15, "half"},
      {"24", "24  W            w", TPostOutcome::kNotStarted, -1, ""},
      {"25", "25  V            v", TPostOutcome::kInterrupted, -1, ""},
  };
  EXPECT_EQ(PostingSummary(posted),
            "    7  LINUX.7       ok\n"
            "65535  LAST.BASE     exit status 3: no such base\n"
            "   20  RETRO         signal 9\n"
            "   21  X             exit status 127 (not found): sh: ./corvixutil: not found\n"
            "   22  Y             exit status 126 (not executable)\n"
            "   23  Z             stopped: half\n"
            "   24  W             not started\n"
            "   25  V             interrupted\n"
            "Posted to 8 bases: 1 ok, 4 failed, 1 stopped, 1 not started, 1 interrupted.\n");
  EXPECT_EQ(PostingExitStatus(posted), kExitFailed);
  EXPECT_EQ(PostingSummary({}), "");
  // The command to post the rest can be pasted as it is.
  EXPECT_EQ(RestLine(1, "/bbs/news.txt"),
            "Not posted: 1 base; corvixmass --select rest /bbs/news.txt posts them.\n");
  EXPECT_EQ(RestLine(2, "/my news's.txt"),
            "Not posted: 2 bases; corvixmass --select rest '/my news'\\''s.txt' posts them.\n");
}

TEST(Summary, ExitStatusIsZeroOnlyWhenEveryBaseEndedWithZero) {
  TPostedRec ok{"7", "7   LINUX.7      Linux help", kEnded, 0, ""};
  EXPECT_EQ(PostingExitStatus({}), kExitDone);  // left before posting
  EXPECT_EQ(PostingExitStatus({ok, ok}), kExitDone);
  EXPECT_EQ(PostingSummary({ok}), "    7  LINUX.7       ok\nPosted to 1 base: 1 ok.\n");
  EXPECT_EQ(PostingSummary({{"8", "", TPostOutcome::kNotStarted, -1, ""}}).substr(33),
            "Posted to 1 base: 1 not started.\n");  // zero counts are left out
  for (TPostedRec bad :
       {TPostedRec{"1", "", kEnded, 1 << 8, ""}, TPostedRec{"1", "", TPostOutcome::kStopped, 0, ""},
        TPostedRec{"1", "", TPostOutcome::kNotStarted, -1, ""}})
    EXPECT_EQ(PostingExitStatus({ok, bad}), kExitFailed) << PostedResultText(bad);
}

TEST(TerminalSize, TheNoticeNamesTheSizeNow) {
  EXPECT_EQ(TooSmallNotice(79, 24),
            ShortString("Please make the terminal at least 80x20 (it is 79x24)."));
}

}  // namespace
}  // namespace corvix
