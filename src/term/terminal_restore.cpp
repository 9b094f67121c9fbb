// Terminal restore on ending signals, stop and continue, std::terminate and
// exit, and the passing on of ending signals to a running child. Everything a
// handler touches is a plain static object or a lock-free atomic, so that the
// handlers stay within what is allowed there: tcsetattr, write, poll, kill,
// sigaction, sigprocmask and raise, and the size query (an ioctl as
// tcgetattr is one).
#include "term/terminal_restore.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "support/sleep.h"

namespace corvix {
namespace {

// What the signal handlers read and write. Global because a handler gets no
// context; what a handler touches is a sig_atomic_t, a lock-free atomic or a
// buffer written only while the handlers are disarmed.
struct termios gSaved {};
struct termios gRaw {};
volatile std::sig_atomic_t gArmed = 0;
volatile std::sig_atomic_t gModesSet = 0;
volatile std::sig_atomic_t gOnScreen = 1;
volatile std::sig_atomic_t gTermFd = -1;
volatile std::sig_atomic_t gOutFd = -1;
char gEnter[kMaxModeText];
std::size_t gEnterLen = 0;
char gLeave[kMaxModeText] = "\x1b[0m\x1b(B";
std::size_t gLeaveLen = 7;
bool gInstalled = false;
std::terminate_handler gPreviousTerminate = nullptr;

// The size the terminal was found at and the one it was asked to grow to,
// with the texts that ask for each (NoteSizeRequest).
volatile std::sig_atomic_t gSizeFd = -1;
volatile std::sig_atomic_t gGrownRows = 0;
volatile std::sig_atomic_t gGrownColumns = 0;
char gShrinkText[32];
std::size_t gShrinkLen = 0;
char gGrowText[32];
std::size_t gGrowLen = 0;
// The shrink text went out: a continue grows the terminal again, and the
// orderly way out does not ask twice.
volatile std::sig_atomic_t gShrunk = 0;

volatile std::sig_atomic_t gChild = 0;  // pid of the registered child, 0 when none
volatile std::sig_atomic_t gChildGroup = 0;
volatile std::sig_atomic_t gPending = 0;
volatile std::sig_atomic_t gDefer = 0;  // DeferEndingSignals
std::atomic<int> gEvents{0};
// A pipe the handlers write a byte into with each event, so that a wait that
// began after the program last looked at gEvents still wakes up for it.
volatile std::sig_atomic_t gEventRead = -1;
volatile std::sig_atomic_t gEventWrite = -1;
std::atomic<int> gContinues{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Signals the handlers pass on to a running child instead of ending at once.
constexpr int kPassedOn[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
// The other signals whose default action ends the process. The faults run on
// their own stack, so that even a stack overflow gets the terminal back.
constexpr int kOtherEnding[] = {SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU,
                                SIGXFSZ, SIGSEGV, SIGBUS,  SIGFPE,  SIGILL,    SIGABRT};
constexpr int kFaults[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

bool IsIn(int sig, const int* begin, const int* end) {
  for (const int* p = begin; p != end; ++p)
    if (*p == sig) return true;
  return false;
}

// Records Event for the program's flow and wakes a wait on the event pipe.
void PostEvent(int event) {
  const int savedErrno = errno;
  gEvents.fetch_or(event);
  if (gEventWrite >= 0) {
    const char wake = 1;
    // Non-blocking: a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(gEventWrite, &wake, 1);
  }
  errno = savedErrno;
}

// How long a handler waits for a full non-blocking terminal to take more of
// its text before it gives the rest up: an ending signal must still end.
constexpr int kHandlerWriteWaitMs = 2000;

void WriteText(const char* text, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(gOutFd, text, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A non-blocking terminal that is full: the way out must still reach
      // it, so wait until it takes more.
      pollfd pfd{gOutFd, POLLOUT, 0};
      if (::poll(&pfd, 1, kHandlerWriteWaitMs) > 0) continue;
      return;
    }
    if (n <= 0) return;
    text += n;
    size -= static_cast<std::size_t>(n);
  }
}

void WriteTo(int fd, const char* text, std::size_t size) {
  const int out = gOutFd;
  gOutFd = fd;
  WriteText(text, size);
  gOutFd = out;
}

// Asks for the size the terminal was found at when it has the size it was
// asked to grow to (so neither one that did not grow nor one resized by hand
// since is touched).
void ShrinkTerminal() {
  if (gShrinkLen == 0 || gShrunk) return;
  winsize ws{};
  if (::ioctl(gSizeFd, TIOCGWINSZ, &ws) != 0 || ws.ws_row != gGrownRows ||
      ws.ws_col != gGrownColumns)
    return;
  WriteTo(gSizeFd, gShrinkText, gShrinkLen);
  gShrunk = 1;
}

// The terminal as it was found: its settings, and, while the program's
// screen is on it, attribute, character set, cursor and main screen; and
// its size.
void LeaveTerminal(bool newLine) {
  if (!gArmed) {
    ShrinkTerminal();
    return;
  }
  if (gOnScreen) {
    WriteText(gLeave, gLeaveLen);
    if (newLine) WriteText("\r\n", 2);
  }
  ShrinkTerminal();
  ::tcsetattr(gTermFd, TCSANOW, &gSaved);
}

// Asks again for the size the terminal was asked to grow to, after
// ShrinkTerminal gave it back.
void Regrow() {
  if (!gShrunk) return;
  WriteTo(gSizeFd, gGrowText, gGrowLen);
  gShrunk = 0;
}

// Back into the program's raw settings and screen mode after a stop, at the
// size the program had asked for; the repaint is left to the program's flow.
void ReEnterTerminal() {
  if (gOnScreen) Regrow();  // while a child has the terminal, it keeps the size it was found at
  if (gArmed && gOnScreen && gModesSet) {
    ::tcsetattr(gTermFd, TCSANOW, &gRaw);
    WriteText(gEnter, gEnterLen);
  }
  PostEvent(kEventResumed);
}

// Puts the default action of Sig back, unblocks it and raises it.
void RaiseByDefault(int sig) {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(sig);
}

[[noreturn]] void DieBy(int sig) {
  RaiseByDefault(sig);
  ::_exit(128 + sig);  // not reached: the default action of every signal here ends the process
}

// True for an INT, QUIT or TSTP the terminal sent while the program's raw
// settings (no signal keys) are on. The key was read while another group (the
// editor's) held the terminal; the kernel may send its signal a moment late,
// to the group in front by then, after raw mode was back. It was never
// typed at the program, so it neither ends nor stops it.
bool StaleTypedSignal(int sig, const siginfo_t* info) {
  if ((sig != SIGINT && sig != SIGQUIT && sig != SIGTSTP) || info == nullptr ||
      info->si_code != SI_KERNEL || gArmed == 0)
    return false;
  struct termios now {};
  return ::tcgetattr(gTermFd, &now) == 0 && (now.c_lflag & ISIG) == 0;
}

extern "C" void OnEndingSignal(int sig, siginfo_t* info, void*) {
  const int savedErrno = errno;
  if (StaleTypedSignal(sig, info)) {
    errno = savedErrno;
    return;
  }
  const pid_t child = static_cast<pid_t>(gChild);
  if (child > 0 && IsIn(sig, std::begin(kPassedOn), std::end(kPassedOn))) {
    // Typed at the terminal while the child's group holds it, INT and QUIT
    // reach the child by themselves and only interrupt it, as they always did
    // while a child ran. A child in a group of its own in the background (the
    // host utility of an unattended run) gets them passed on.
    const bool typed = (sig == SIGINT || sig == SIGQUIT) && info != nullptr &&
                       info->si_code == SI_KERNEL && ::tcgetpgrp(gTermFd) == child;
    if (!typed) {
      const pid_t target = gChildGroup ? -child : child;
      ::kill(target, sig);
      ::kill(target, SIGCONT);  // a stopped child could not act on it
      if (gPending == 0) gPending = sig;
    }
    errno = savedErrno;
    return;
  }
  if (child <= 0 && gDefer != 0 && (sig == SIGHUP || sig == SIGINT || sig == SIGTERM)) {
    if (gPending == 0) gPending = sig;
    PostEvent(0);
    errno = savedErrno;
    return;
  }
  if (child > 0) {
    // Any other ending signal (or a fault of our own) cannot wait for the
    // child, but does not leave it running on the terminal or the job file.
    const pid_t target = gChildGroup ? -child : child;
    ::kill(target, SIGTERM);
    ::kill(target, SIGCONT);
  }
  LeaveTerminal(true);
  DieBy(sig);
}

void InstallStopHandler();

extern "C" void OnStop(int sig, siginfo_t* info, void*) {
  const int savedErrno = errno;
  if (StaleTypedSignal(sig, info)) {
    errno = savedErrno;
    return;
  }
  // While a child has the terminal, its settings are the child's business.
  if (gOnScreen) LeaveTerminal(false);
  const int continuesBefore = gContinues.load();
  RaiseByDefault(sig);  // stops here until continued
  InstallStopHandler();
  // In an orphaned process group the stop is discarded and no SIGCONT comes.
  if (gContinues.load() == continuesBefore) ReEnterTerminal();
  errno = savedErrno;
}

extern "C" void OnContinue(int) {
  const int savedErrno = errno;
  gContinues.fetch_add(1);
  ReEnterTerminal();
  errno = savedErrno;
}

extern "C" void OnResize(int) { PostEvent(kEventResized); }

void BlockWhileHandling(sigset_t& mask) {
  sigemptyset(&mask);
  for (int s : kPassedOn) sigaddset(&mask, s);
  for (int s : kOtherEnding) sigaddset(&mask, s);
  sigaddset(&mask, SIGWINCH);
}

void InstallStopHandler() {
  struct sigaction act {};
  act.sa_sigaction = OnStop;
  BlockWhileHandling(act.sa_mask);  // SIGCONT stays open: it must run while stopped here
  act.sa_flags = SA_RESTART | SA_SIGINFO;
  ::sigaction(SIGTSTP, &act, nullptr);
}

bool Ignored(int sig) {
  struct sigaction old {};
  return ::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN;
}

// An escaping exception or an exit that skipped the orderly way out: the
// screen is left as a signal would leave it.
void LeaveAtExit() { LeaveTerminal(true); }

void OnTerminate() {
  LeaveAtExit();
  if (gPreviousTerminate != nullptr) gPreviousTerminate();
  std::abort();
}

void InstallHandlers() {
  if (gInstalled) return;
  gInstalled = true;
  static char altStack[64 * 1024];
  stack_t ss{};
  ss.ss_sp = altStack;
  ss.ss_size = sizeof altStack;
  ::sigaltstack(&ss, nullptr);

  auto install = [](int sig) {
    if (Ignored(sig)) return;  // ignored signals stay ignored
    struct sigaction act {};
    act.sa_sigaction = OnEndingSignal;
    BlockWhileHandling(act.sa_mask);
    sigaddset(&act.sa_mask, SIGTSTP);
    // No SA_RESTART: a wait for a child must see the signal (EINTR).
    act.sa_flags = SA_SIGINFO;
    if (IsIn(sig, std::begin(kFaults), std::end(kFaults))) act.sa_flags |= SA_ONSTACK;
    ::sigaction(sig, &act, nullptr);
  };
  for (int sig : kPassedOn) install(sig);
  for (int sig : kOtherEnding) install(sig);
  if (!Ignored(SIGTSTP)) InstallStopHandler();

  struct sigaction act {};
  act.sa_handler = OnContinue;
  BlockWhileHandling(act.sa_mask);
  act.sa_flags = SA_RESTART;
  ::sigaction(SIGCONT, &act, nullptr);
  act.sa_handler = OnResize;
  ::sigaction(SIGWINCH, &act, nullptr);

  int ends[2];
  if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0) {
    gEventRead = ends[0];
    gEventWrite = ends[1];
  }

  gPreviousTerminate = std::set_terminate(OnTerminate);
  std::atexit(LeaveAtExit);
}

}  // namespace

void ArmTerminalRestore(int termFd, const struct termios& saved, int outFd) {
  gArmed = 0;  // a signal arriving while the copy is made must not use half of it
  gSaved = saved;
  gTermFd = termFd;
  gOutFd = outFd;
  gOnScreen = 1;
  gArmed = 1;
  InstallHandlers();
}

void InstallEndingHandlers() { InstallHandlers(); }

namespace {
std::size_t SizeText(char* out, std::size_t room, int rows, int columns) {
  const int n = std::snprintf(out, room, "\x1b[8;%d;%dt", rows, columns);
  return n > 0 && static_cast<std::size_t>(n) < room ? static_cast<std::size_t>(n) : 0;
}
}  // namespace

void NoteSizeRequest(int fd, int rows, int columns, int grownRows, int grownColumns) {
  // Prepared here, with no handler able to use them half made.
  gShrinkLen = 0;
  gGrowLen = SizeText(gGrowText, sizeof gGrowText, grownRows, grownColumns);
  gSizeFd = fd;
  gGrownRows = grownRows;
  gGrownColumns = grownColumns;
  gShrunk = 0;
  gShrinkLen = SizeText(gShrinkText, sizeof gShrinkText, rows, columns);
  InstallHandlers();
}

void RestoreTerminalSize() { ShrinkTerminal(); }

void RegrowTerminal() { Regrow(); }

void RestoreTerminal() {
  if (gArmed) ::tcsetattr(gTermFd, TCSANOW, &gSaved);
}

void DisarmTerminalRestore(int termFd) {
  if (gTermFd == termFd) gArmed = 0;
}

bool TerminalRestoreArmed() { return gArmed != 0; }

void SetTerminalScreenModes(const struct termios& raw, std::string_view enterText,
                            std::string_view leaveText) {
  const int armed = gArmed;
  gArmed = 0;
  gRaw = raw;
  gEnterLen = enterText.copy(gEnter, sizeof gEnter);
  gLeaveLen = leaveText.copy(gLeave, sizeof gLeave);
  gModesSet = 1;
  gArmed = armed;
}

void SetScreenOnTerminal(bool on) { gOnScreen = on ? 1 : 0; }

int TakeTerminalEvents() {
  // The pipe is emptied first: an event that comes after the exchange below
  // leaves a byte behind, so the next wait wakes for it.
  if (gEventRead >= 0) {
    char drain[64];
    while (::read(gEventRead, drain, sizeof drain) > 0) {
    }
  }
  return gEvents.exchange(0);
}

int TerminalEventFd() { return gEventRead; }

void SetRunningChild(pid_t pid, bool processGroup) {
  gChildGroup = processGroup ? 1 : 0;
  if (gDefer == 0) gPending = 0;
  gChild = pid;
}

void ClearRunningChild() { gChild = 0; }

int PendingEndSignal() { return gPending; }

void DeferEndingSignals(bool on) { gDefer = on ? 1 : 0; }

void (*BeforeEndingBySignal)() = nullptr;

void EndByPendingSignal() {
  const int sig = gPending;
  if (sig == 0) return;
  if (auto before = BeforeEndingBySignal; before != nullptr) {
    BeforeEndingBySignal = nullptr;  // once, even if it ends up here again
    before();
  }
  gPending = 0;
  LeaveTerminal(true);
  DieBy(sig);
}

void EndWithRunningChild() {
  if (gPending == 0) return;
  const auto child = static_cast<pid_t>(gChild);
  if (child > 0) {
    // The program ends by the signal whatever the child's status.
    static_cast<void>(WaitForChild(child, gChildGroup != 0));
    ClearRunningChild();
  }
  EndByPendingSignal();
}

int WaitForChild(pid_t pid, bool processGroup) {
  constexpr int kStepMs = 20;
  int status = -1;
  int waitedMs = 0;
  for (;;) {
    const bool ending = PendingEndSignal() != 0;
    const pid_t r = ::waitpid(pid, &status, ending ? WNOHANG : 0);
    if (r == pid) return status;
    if (r < 0 && errno != EINTR) return -1;
    if (!ending) continue;  // interrupted: look for a pending signal again
    if (waitedMs >= kChildEndGraceMs) {
      ::kill(processGroup ? -pid : pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
      }
      return status;
    }
    SleepMs(kStepMs);
    waitedMs += kStepMs;
  }
}

}  // namespace corvix
