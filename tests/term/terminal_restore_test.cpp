// The terminal settings in a pseudo-terminal: raw while the screen object
// lives, and back as they were on every way out, fatal signals included.
#include "term/terminal_restore.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "term/output.h"

namespace corvix {
namespace {

// The parts of the settings that raw mode changes and restoring must put back.
bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

bool LooksRaw(const termios& t) {
  return (t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0 && (t.c_oflag & OPOST) == 0 &&
         (t.c_iflag & (ICRNL | IXON | BRKINT)) == 0 && (t.c_cflag & CSIZE) == CS8 &&
         t.c_cc[VMIN] == 1 && t.c_cc[VTIME] == 0;
}

// A pseudo-terminal in its cooked default state; the test holds both ends.
class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
    // Drained without blocking, so output into the terminal never fills it.
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    ASSERT_EQ(::tcgetattr(slave_, &before_), 0);
    ASSERT_FALSE(LooksRaw(before_));
  }
  void TearDown() override {
    ::close(slave_);
    ::close(master_);
  }
  termios Now() {
    termios t{};
    EXPECT_EQ(::tcgetattr(slave_, &t), 0);
    return t;
  }
  void Drain() {
    char buf[1024];
    while (::read(master_, buf, sizeof buf) > 0) continue;
  }
  int master_ = -1, slave_ = -1;
  termios before_{};
};

TEST_F(PtyTest, ScreenObjectIsRawWhileItLivesAndRestoresWhenDestroyed) {
  {
    TOutput screen(true, slave_, slave_);
    EXPECT_TRUE(screen.Terminal.RawMode);
    EXPECT_TRUE(LooksRaw(Now()));
    EXPECT_TRUE(TerminalRestoreArmed());

    screen.SuspendRaw();  // for a child process: the settings found at start
    EXPECT_TRUE(SameSettings(Now(), before_));
    screen.ResumeRaw();
    EXPECT_TRUE(LooksRaw(Now()));

    // Entering raw mode again must not take the raw copy for the settings
    // to go back to.
    screen.SetRawMode(true);
    Drain();
  }
  EXPECT_TRUE(SameSettings(Now(), before_));
  EXPECT_FALSE(TerminalRestoreArmed());
}

// GoogleTest catches what a test body throws, so the exception is thrown
// where nothing can catch it: out of a function that may not throw.
void Throw() { throw std::runtime_error("escapes main"); }
void ThrowPastEveryHandler() noexcept { Throw(); }

enum class Ending { kSignal, kUncaughtException, kExitWithoutCleanup };

// A child draws on the terminal in raw mode, reports that on ReadyFd, then
// ends as told (waiting for the parent's signal for kSignal).
[[noreturn]] void ChildRun(int slave, int readyFd, Ending ending) {
  struct rlimit noCore {
    0, 0
  };
  ::setrlimit(RLIMIT_CORE, &noCore);  // SIGQUIT and abort would dump core
  auto* screen = new TOutput(true, slave, slave);
  screen->WriteStr("drawn");
  const char ready = screen->Terminal.RawMode ? 'r' : 'n';
  if (::write(readyFd, &ready, 1) != 1) ::_exit(3);
  if (ending == Ending::kUncaughtException) ThrowPastEveryHandler();
  if (ending == Ending::kExitWithoutCleanup) std::exit(0);
  for (;;) ::pause();
}

TEST_F(PtyTest, TerminalSettingsComeBackHoweverTheProgramEnds) {
  struct Case {
    const char* name;
    Ending ending;
    int signal;
  };  // signal: sent, or died by
  const Case cases[] = {{"SIGTERM", Ending::kSignal, SIGTERM},
                        {"SIGHUP", Ending::kSignal, SIGHUP},
                        {"SIGQUIT", Ending::kSignal, SIGQUIT},
                        {"uncaught exception", Ending::kUncaughtException, SIGABRT},
                        {"exit without cleanup", Ending::kExitWithoutCleanup, 0}};
  for (const Case& c : cases) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ChildRun(slave_, ready[1], c.ending);
    ::close(ready[1]);
    char state = 0;
    EXPECT_EQ(::read(ready[0], &state, 1), 1) << c.name;  // blocks until the child is raw
    EXPECT_EQ(state, 'r') << c.name;
    ::close(ready[0]);
    if (c.ending == Ending::kSignal) {
      EXPECT_TRUE(LooksRaw(Now())) << c.name;
      ::kill(pid, c.signal);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : 0, c.signal) << c.name;
    EXPECT_TRUE(SameSettings(Now(), before_)) << c.name;
    Drain();
  }
}

}  // namespace
}  // namespace corvix
