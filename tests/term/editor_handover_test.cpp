// The editor hand-over's reading of the shell's status.
#include "term/editor_handover.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>

namespace corvix {
namespace {

// The shell's own failures tell the operator; an editor's status 2 does not.
TEST(ShellRanNothing, TheShellsFailuresOnly) {
  EXPECT_TRUE(ShellRanNothing(-1, "vi"));
  EXPECT_TRUE(ShellRanNothing(W_EXITCODE(127, 0), "no-such-editor"));
  EXPECT_TRUE(ShellRanNothing(W_EXITCODE(126, 0), "./not-executable"));
  EXPECT_TRUE(ShellRanNothing(W_EXITCODE(2, 0), "vi 'unclosed"));
  EXPECT_FALSE(ShellRanNothing(W_EXITCODE(2, 0), "vi"));
  EXPECT_FALSE(ShellRanNothing(W_EXITCODE(0, 0), "vi 'unclosed"));
  EXPECT_FALSE(ShellRanNothing(W_EXITCODE(0, SIGTERM), "vi"));
}

}  // namespace
}  // namespace corvix
