// The terminal settings in a pseudo-terminal: raw while the screen object
// lives, and back as they were on every way out, fatal signals included.
#include "term/terminal_restore.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

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
    while (::read(master_, buf, sizeof buf) > 0) {
    }
  }
  int master_ = -1, slave_ = -1;
  termios before_{};
};

TEST_F(PtyTest, ScreenObjectIsRawWhileItLivesAndRestoresWhenDestroyed) {
  {
    TOutput screen(true, slave_, slave_);
    EXPECT_TRUE(screen.RawMode);
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

TEST_F(PtyTest, RestoreTerminalPutsTheSavedSettingsBack) {
  ArmTerminalRestore(slave_, before_, slave_);
  termios raw = before_;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &raw), 0);
  RestoreTerminal();
  EXPECT_TRUE(SameSettings(Now(), before_));
  DisarmTerminalRestore(slave_);
  ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &raw), 0);
  RestoreTerminal();  // disarmed: leaves the terminal alone
  EXPECT_FALSE(SameSettings(Now(), before_));
  ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &before_), 0);
}

// How the child that entered raw mode comes to its end.
enum class Ending { kSigterm, kSighup, kSigquit, kUncaughtException, kExitWithoutCleanup };

struct EndingCase {
  const char* name;
  Ending ending;
  int expectSignal;  // the signal the child dies by, 0 for a normal exit
};

void PrintTo(const EndingCase& c, std::ostream* os) { *os << c.name; }

class PtyChildTest : public PtyTest, public ::testing::WithParamInterface<EndingCase> {};

// GoogleTest catches what a test body throws, so the exception is thrown
// where nothing can catch it: out of a function that may not throw.
void Throw() { throw std::runtime_error("escapes main"); }
void ThrowPastEveryHandler() noexcept { Throw(); }

[[noreturn]] void ChildRun(int slave, int readyFd, Ending ending) {
  struct rlimit noCore {0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);  // SIGQUIT and abort would dump core
  auto* screen = new TOutput(true, slave, slave);
  screen->WriteStr("drawn");
  const char ready = screen->RawMode ? 'r' : 'n';
  if (::write(readyFd, &ready, 1) != 1) ::_exit(3);
  switch (ending) {
    case Ending::kUncaughtException:
      ThrowPastEveryHandler();
      ::_exit(4);
    case Ending::kExitWithoutCleanup:
      std::exit(0);
    default:
      for (;;) ::pause();  // until the parent's signal ends the process
  }
}

TEST_P(PtyChildTest, TerminalSettingsComeBackWhenTheProgramEnds) {
  const EndingCase& c = GetParam();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(ready[0]);
    ChildRun(slave_, ready[1], c.ending);
  }
  ::close(ready[1]);
  char state = 0;
  ASSERT_EQ(::read(ready[0], &state, 1), 1);  // blocks until the child is raw
  ::close(ready[0]);
  EXPECT_EQ(state, 'r');
  if (c.expectSignal == SIGTERM || c.expectSignal == SIGHUP || c.expectSignal == SIGQUIT) {
    EXPECT_TRUE(LooksRaw(Now()));
    ASSERT_EQ(::kill(pid, c.expectSignal), 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  if (c.expectSignal != 0) {
    ASSERT_TRUE(WIFSIGNALED(status)) << c.name;
    EXPECT_EQ(WTERMSIG(status), c.expectSignal) << c.name;
  } else {
    ASSERT_TRUE(WIFEXITED(status)) << c.name;
  }
  EXPECT_TRUE(SameSettings(Now(), before_)) << c.name;
  Drain();
}

INSTANTIATE_TEST_SUITE_P(
    Endings, PtyChildTest,
    ::testing::Values(EndingCase{"SIGTERM", Ending::kSigterm, SIGTERM},
                      EndingCase{"SIGHUP", Ending::kSighup, SIGHUP},
                      EndingCase{"SIGQUIT", Ending::kSigquit, SIGQUIT},
                      EndingCase{"uncaught exception", Ending::kUncaughtException, SIGABRT},
                      EndingCase{"exit without cleanup", Ending::kExitWithoutCleanup, 0}),
    [](const ::testing::TestParamInfo<EndingCase>& info) {
      std::string name;
      for (char ch : std::string(info.param.name)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

}  // namespace
}  // namespace corvix
