// RunShell: the child runs through /bin/sh with default interrupt and quit
// handling while this process ignores both, and gets its handlers back after.
#include "support/process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

namespace corvix {
namespace {

TEST(RunShell, ReturnsTheWaitStatusOfTheShell) {
  int status = RunShell("exit 3");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
}

int interrupts = 0;
void CountInterrupt(int) { ++interrupts; }

TEST(RunShell, SignalsGoToTheChildNotToTheWaitingProgram) {
  struct sigaction mine {
  }, old{};
  mine.sa_handler = CountInterrupt;
  sigemptyset(&mine.sa_mask);
  sigaction(SIGINT, &mine, &old);

  // The parent ignores the interrupt sent to it while the child runs...
  EXPECT_EQ(RunShell("kill -INT $PPID; exit 0"), 0);
  EXPECT_EQ(interrupts, 0);
  // ...while the child has the default action and is ended by it.
  for (int sig : {SIGINT, SIGQUIT}) {
    int status = RunShell("kill -" + std::to_string(sig) + " $$; exit 0");
    ASSERT_TRUE(WIFSIGNALED(status)) << sig;
    EXPECT_EQ(WTERMSIG(status), sig);
  }

  struct sigaction now {};
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, &CountInterrupt);  // restored afterwards
  raise(SIGINT);
  EXPECT_EQ(interrupts, 1);
  sigaction(SIGINT, &old, nullptr);
}

}  // namespace
}  // namespace corvix
