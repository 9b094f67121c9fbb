// Terminal restore on fatal signals, std::terminate and exit. Everything the
// signal handler touches is a plain static object so that it stays within
// what is allowed in a handler: tcsetattr, write, signal and raise.
#include "term/terminal_restore.h"

#include <csignal>
#include <cstdlib>
#include <exception>

#include <unistd.h>

namespace corvix {
namespace {

struct termios gSaved {};
volatile std::sig_atomic_t gArmed = 0;
volatile std::sig_atomic_t gTermFd = -1;
volatile std::sig_atomic_t gOutFd = -1;
bool gInstalled = false;
std::terminate_handler gPreviousTerminate = nullptr;

constexpr int kFatalSignals[] = {SIGTERM, SIGHUP, SIGQUIT};

extern "C" void OnFatalSignal(int sig) {
  if (gArmed) {
    ::tcsetattr(gTermFd, TCSANOW, &gSaved);
    ssize_t ignored = ::write(gOutFd, kTerminalResetText, sizeof kTerminalResetText - 1);
    (void)ignored;
  }
  // The handler was installed with SA_RESETHAND, so the default action is
  // back already; say so again for clarity and die by the same signal.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void OnTerminate() {
  RestoreTerminal();
  if (gPreviousTerminate != nullptr) gPreviousTerminate();
  std::abort();
}

void InstallHandlers() {
  if (gInstalled) return;
  gInstalled = true;
  for (int sig : kFatalSignals) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction act {};
    act.sa_handler = OnFatalSignal;
    sigemptyset(&act.sa_mask);
    for (int other : kFatalSignals) sigaddset(&act.sa_mask, other);
    act.sa_flags = SA_RESETHAND;
    ::sigaction(sig, &act, nullptr);
  }
  gPreviousTerminate = std::set_terminate(OnTerminate);
  std::atexit(RestoreTerminal);
}

}  // namespace

void ArmTerminalRestore(int termFd, const struct termios& saved, int outFd) {
  gArmed = 0;  // a signal arriving while the copy is made must not use half of it
  gSaved = saved;
  gTermFd = termFd;
  gOutFd = outFd;
  gArmed = 1;
  InstallHandlers();
}

void RestoreTerminal() {
  if (gArmed) ::tcsetattr(gTermFd, TCSANOW, &gSaved);
}

void DisarmTerminalRestore(int termFd) {
  if (gTermFd == termFd) gArmed = 0;
}

bool TerminalRestoreArmed() { return gArmed != 0; }

// Not yet in force: the ending signals still end the program at once.
void SetRunningChild(pid_t, bool) {}
void ClearRunningChild() {}
int PendingEndSignal() { return 0; }
void EndByPendingSignal() {}

}  // namespace corvix
