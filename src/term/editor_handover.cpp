// The editor as a child on the terminal as the operator had it; the program's
// raw mode comes back when it ends. A signal meant to end the program while it
// runs ends the child first. (The host utility runs without the terminal and
// does not come here.)
#include "term/editor_handover.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "support/process.h"
#include "support/sleep.h"
#include "term/console.h"
#include "term/terminal_restore.h"

namespace corvix {

namespace {

// Makes Group the terminal's foreground process group. SIGTTOU is blocked
// meanwhile: the call is made from the background as well.
void GiveTerminal(int termFd, pid_t group) {
  sigset_t ttou, old;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  ::sigprocmask(SIG_BLOCK, &ttou, &old);
  ::tcsetpgrp(termFd, group);
  ::sigprocmask(SIG_SETMASK, &old, nullptr);
}

// The child was stopped from the terminal (Ctrl-Z in the editor): the
// program stops with it, as a shell's job would, and when it is continued
// gives the terminal back to the child and continues it.
void StopWithChild(int termFd, pid_t child) {
  GiveTerminal(termFd, ::getpgrp());
  ::raise(SIGTSTP);  // returns at once where stopping is not possible
  GiveTerminal(termFd, child);
  ::kill(-child, SIGCONT);
}

// How often the wait for the editor looks for a stopped process of its group.
constexpr int kStopLookMs = 200;

// Waits until the child ends, a signal arrives or kStopLookMs have passed.
void AwaitChildChange(int endFd) {
  if (endFd < 0) {
    SleepMs(kStopLookMs);
    return;
  }
  pollfd wait{endFd, POLLIN, 0};
  static_cast<void>(::poll(&wait, 1, kStopLookMs));  // every outcome is looked at by the caller
}

}  // namespace

namespace {

// Runs Step with SIGTTOU blocked: the terminal's settings and screen are
// changed while another group holds it in front.
template <typename Step>
void InBackground(Step step) {
  sigset_t ttou, old;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  ::sigprocmask(SIG_BLOCK, &ttou, &old);
  step();
  ::sigprocmask(SIG_SETMASK, &old, nullptr);
}

// Waits for the editor until it ends, following it when it is stopped from
// the terminal; its wait status, or -1 when it cannot be waited for. Once an
// ending signal is pending the editor gets Wait's grace time.
int AwaitEditor(const TChildWait& wait, pid_t pid, int termFd, bool foreground) {
  int status = -1;
  const TFd ended = ChildEndFd(pid);
  for (;;) {
    const pid_t r = ::waitpid(pid, &status, WUNTRACED | WNOHANG);
    if (r == pid && WIFSTOPPED(status)) {
      if (foreground) StopWithChild(termFd, pid);
      continue;
    }
    if (r == pid) return status;
    if (r < 0 && errno != EINTR) return -1;
    if (PendingEndSignal() != 0) return wait.Wait();
    if (r != 0) continue;
    // A process the shell started (a wrapper script that stopped itself)
    // stops without the shell stopping: the shell would wait for it for
    // ever, and so would we. It is taken as the child's stop.
    if (foreground && ProcessGroupStopped(pid)) {
      StopWithChild(termFd, pid);
      continue;
    }
    AwaitChildChange(ended.Get());
  }
}

}  // namespace

int RunChildCommand(const std::string& cmd) {
  const int termFd = Screen != nullptr ? Screen->TermFd : STDIN_FILENO;
  // The child gets a process group of its own, in the terminal's foreground
  // when the program has it: keys typed there (Ctrl-C, Ctrl-Z) act on the
  // child alone, and a signal passed on reaches everything the shell started.
  const bool foreground = ::tcgetpgrp(termFd) == ::getpgrp();
  // The ending signals wait until the child is registered, so none of them
  // can end the program between the spawn and the registration.
  sigset_t ending, old;
  sigemptyset(&ending);
  for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&ending, sig);
  ::sigprocmask(SIG_BLOCK, &ending, &old);
  // Held until the terminal is ready for it: it must not run its command
  // while the terminal is still in raw mode or held by the program's group.
  TChildRec child = SpawnChild({.Cmd = cmd, .OwnGroup = true, .Hold = true});
  const pid_t pid = child.Pid;
  int status = -1;
  {
    const TChildWait wait(pid, true);
    // The child's group holds the terminal before the terminal leaves raw
    // mode: a key typed from here on (Ctrl-C, Ctrl-\) can only signal the
    // child, never the program. The child runs its command once the
    // terminal is ready for it.
    if (pid > 0 && foreground) GiveTerminal(termFd, pid);
    InBackground([] {
      if (Screen != nullptr) Screen->SuspendRaw();
    });
    ReleaseChild(child);
    ::sigprocmask(SIG_SETMASK, &old, nullptr);
    if (pid > 0) status = AwaitEditor(wait, pid, termFd, foreground);
  }  // the child is reaped: it is no longer registered
  // Raw mode comes back while the child's (now empty) group is still in
  // front, and only then does the program's own group take the terminal:
  // a key typed in between is a key, not a signal.
  InBackground([&] {
    if (Screen != nullptr && PendingEndSignal() == 0) Screen->ResumeRaw();
    if (pid > 0 && foreground) GiveTerminal(termFd, ::getpgrp());
  });
  return status;
}

bool ShellRanNothing(int status, const std::string& cmd) {
  if (status < 0) return true;
  if (!WIFEXITED(status)) return false;
  const int code = WEXITSTATUS(status);
  if (code == 126 || code == 127) return true;
  // An editor may end with 2 itself; a shell ends with it when the command
  // does not parse, and then nothing ran. "sh -n" parses without running.
  if (code != 2) return false;
  const TFd null(::open("/dev/null", O_RDWR | O_CLOEXEC));
  TChildRec check = SpawnChild({.Cmd = "exec /bin/sh -n -c " + ShellQuote(cmd),
                                .StdinFd = null.Get(),
                                .OutputFd = null.Get()});
  if (check.Pid <= 0) return false;
  const int parsed = WaitChild(check.Pid);
  return parsed != -1 && !(WIFEXITED(parsed) && WEXITSTATUS(parsed) == 0);
}

std::string ShellQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  out += '\'';
  return out;
}

}  // namespace corvix
