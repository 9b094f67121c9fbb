// SpawnChild and WaitChild: the child runs through /bin/sh with the default
// interrupt and quit actions even while this process ignores both, and the
// wait returns the shell's status.
#include "support/process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

namespace corvix {
namespace {

int RunAndWait(const std::string& cmd) {
  const TChildRec child = SpawnChild({.Cmd = cmd});
  return child.Pid > 0 ? WaitChild(child.Pid) : -1;
}

TEST(SpawnChild, WaitChildReturnsTheWaitStatusOfTheShell) {
  int status = RunAndWait("exit 3");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
}

TEST(SpawnChild, TheChildHasTheDefaultSignalActionsWhileTheProgramIgnoresThem) {
  struct sigaction ignore {
  }, oldInt{}, oldQuit{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGINT, &ignore, &oldInt);
  sigaction(SIGQUIT, &ignore, &oldQuit);

  // The parent ignores the interrupt sent to it while the child runs...
  EXPECT_EQ(RunAndWait("kill -INT $PPID; exit 0"), 0);
  // ...while the child has the default action and is ended by it.
  for (int sig : {SIGINT, SIGQUIT}) {
    int status = RunAndWait("kill -" + std::to_string(sig) + " $$; exit 0");
    ASSERT_TRUE(WIFSIGNALED(status)) << sig;
    EXPECT_EQ(WTERMSIG(status), sig);
  }

  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGQUIT, &oldQuit, nullptr);
}

}  // namespace
}  // namespace corvix
