// The host utility as a child without the terminal, waited for with poll()
// on its output pipe, the child itself (a pidfd) and the watch's descriptor.
#include "app/posting/utility_run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include "support/fd_io.h"
#include "support/process.h"
#include "support/string_utils.h"
#include "term/terminal_restore.h"

namespace corvix {
namespace {

using Clock = std::chrono::steady_clock;

// Without a pidfd (older kernels) the child's end is looked for this often.
constexpr int kChildCheckMs = 20;

int OpenPidFd([[maybe_unused]] pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    return static_cast<int>(fd);
  }
#endif
  return -1;
}

// True when the child has ended (a zombie or gone): its pidfd is readable,
// or without one, no such process is left or it is a zombie.
bool ChildEnded(pid_t pid, int pidFd) {
  if (pidFd >= 0) {
    pollfd p{pidFd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
  }
  if (::kill(pid, 0) != 0) return errno == ESRCH;
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  const TFd stat(::open(path, O_RDONLY | O_CLOEXEC));
  char buf[256];
  const ssize_t n = stat.Valid() ? ::read(stat.Get(), buf, sizeof buf - 1) : -1;
  if (n <= 0) return false;
  buf[n] = '\0';
  // The state follows the command name in parentheses, which may hold anything.
  const char* close = std::strrchr(buf, ')');
  return close != nullptr && close[1] == ' ' && close[2] == 'Z';
}

// Everything waiting in the pipe, into Rec.Output (its tail kept). False at
// the end of the output.
bool ReadOutput(int fd, TUtilityRunRec& rec) {
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      rec.Output.append(buf, static_cast<std::size_t>(n));
      if (rec.Output.size() > 2 * kUtilityOutputKeep)
        rec.Output.erase(0, rec.Output.size() - kUtilityOutputKeep);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

// After a stop the shell usually dies at once by the SIGTERM, while the
// utility it started may take a moment to end or ignore the signal. The rest
// of the group gets the same grace time, then SIGKILL; as a child subreaper
// the program reaps them, so it knows when none is left.
void EndStoppedGroup(pid_t group, bool killSent, Clock::time_point killAt) {
  for (;;) {
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(-group, &status, WNOHANG)) > 0) {
    }
    if (r < 0 && errno != EINTR) return;  // none of the group is left
    if (!killSent && Clock::now() >= killAt) {
      ::kill(-group, SIGKILL);
      killSent = true;
    }
    ::poll(nullptr, 0, kChildCheckMs);
  }
}

}  // namespace

std::string LastOutputLine(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t start = end;
    while (start > 0 && text[start - 1] != '\n' && text[start - 1] != '\r') --start;
    if (start < end) {
      return ReplaceControl(std::string(text.substr(start, end - start)), '?');
    }
    end = start - 1;
  }
  return "";
}

namespace {

// One utility waited for: its stop signals, the failing waits after its end,
// and its output read as it comes.
class TUtilityWait {
 public:
  TUtilityWait(pid_t pid, TFd out, TUtilityWatch& watch, int killGraceMs, TUtilityRunRec& rec)
      : pid_(pid),
        out_(std::move(out)),
        pidFd_(OpenPidFd(pid)),
        watch_(watch),
        killGraceMs_(killGraceMs),
        rec_(rec) {}

  // Waits until the utility has ended, or its waits have failed for
  // kWaitRetryMs after its end (Rec.Interrupted).
  void Run() {
    for (;;) {
      SendStops();
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        rec_.WaitStatus = status;
        return;
      }
      // A failed wait is no end: the utility may still be reading its job
      // file, and the caller keeps the lock and the job file until it is gone.
      const bool waitFailed = r < 0;
      if (GiveUp(waitFailed)) {
        rec_.Interrupted = true;
        return;
      }
      PollOnce(waitFailed);
    }
  }

  // Ends a stopped utility's group, and reads what it wrote just before it
  // ended; a descendant that keeps the pipe open is not waited for.
  void Finish() {
    if (termSent_) EndStoppedGroup(pid_, killSent_, killAt_);
    ClearRunningChild();
    if (out_.Valid()) ReadOutput(out_.Get(), rec_);
    if (rec_.Output.size() > kUtilityOutputKeep)
      rec_.Output.erase(0, rec_.Output.size() - kUtilityOutputKeep);
    rec_.LastLine = LastOutputLine(rec_.Output);
    rec_.Stopped = termSent_;
  }

 private:
  // SIGTERM to the group when a stop is asked for or an ending signal came,
  // SIGKILL once the grace time after it is up.
  void SendStops() {
    const TStopRequest stop = watch_.CheckStop();
    if ((stop == TStopRequest::kNow || PendingEndSignal() != 0) && !termSent_) {
      ::kill(-pid_, SIGTERM);
      termSent_ = true;
      killAt_ = Clock::now() + std::chrono::milliseconds(killGraceMs_);
    }
    if (termSent_ && !killSent_ && Clock::now() >= killAt_) {
      ::kill(-pid_, SIGKILL);
      killSent_ = true;
    }
  }

  // True once waits have failed for kWaitRetryMs after the child has ended.
  bool GiveUp(bool waitFailed) {
    if (!waitFailed || !ChildEnded(pid_, pidFd_.Get())) {
      givingUp_ = false;
      return false;
    }
    if (!givingUp_) giveUpAt_ = Clock::now() + std::chrono::milliseconds(kWaitRetryMs);
    givingUp_ = true;
    return Clock::now() >= giveUpAt_;
  }

  // Waits for output, the child's end, the watch's descriptors or the next
  // timed look, and reads and tells what the utility wrote.
  void PollOnce(bool waitFailed) {
    pollfd fds[4];
    nfds_t count = 0;
    int outAt = -1;
    if (out_.Valid()) {
      outAt = static_cast<int>(count);
      fds[count++] = {out_.Get(), POLLIN, 0};
    }
    // An ended child's pidfd stays readable: while its wait fails, the
    // retries are timed instead.
    if (pidFd_.Valid() && !givingUp_) fds[count++] = {pidFd_.Get(), POLLIN, 0};
    // A readable wake or event descriptor is served by CheckStop at the top
    // of the loop.
    if (const int wakeFd = watch_.WakeFd(); wakeFd >= 0) fds[count++] = {wakeFd, POLLIN, 0};
    if (const int eventFd = watch_.EventFd(); eventFd >= 0) fds[count++] = {eventFd, POLLIN, 0};
    int timeout = pidFd_.Valid() && !waitFailed ? -1 : kChildCheckMs;
    if (termSent_ && !killSent_) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(killAt_ - Clock::now()).count();
      int ms = left > 0 ? static_cast<int>(left) : 0;
      if (timeout < 0 || ms < timeout) timeout = ms;
    }
    if (::poll(fds, count, timeout) < 0) return;  // a signal: the loop looks at what it asks for
    if (outAt >= 0 && fds[outAt].revents != 0) {
      if (!ReadOutput(out_.Get(), rec_)) out_.Reset();
      std::string line = LastOutputLine(rec_.Output);
      if (line != shownLine_) {
        shownLine_ = line;
        watch_.OutputLine(line);
      }
    }
  }

  const pid_t pid_;
  TFd out_;
  const TFd pidFd_;
  TUtilityWatch& watch_;
  const int killGraceMs_;
  TUtilityRunRec& rec_;
  bool termSent_ = false;
  bool killSent_ = false;
  Clock::time_point killAt_{};
  // Set while waits fail after the child has ended: when they give up.
  bool givingUp_ = false;
  Clock::time_point giveUpAt_{};
  std::string shownLine_;
};

}  // namespace

TUtilityRunRec RunUtility(const std::string& cmd, int dirFd, TUtilityWatch& watch,
                          int killGraceMs) {
  TUtilityRunRec rec;
  // The utility's own children, orphaned, come back to us to be reaped.
  [[maybe_unused]] static const bool subreaper = ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return rec;
  TFd out(pipeFds[0]);
  TFd childOut(pipeFds[1]);
  // Without /dev/null the child would read the operator's terminal (keys
  // meant for the program) or wait on it for ever: the base is not started,
  // and says why.
  const TFd devNull(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!devNull.Valid()) {
    rec.Output = rec.LastLine = std::string("/dev/null: ") + std::strerror(errno);
    return rec;
  }
  const TSpawnRec how{.Cmd = cmd,
                      .OwnGroup = true,
                      .StdinFd = devNull.Get(),
                      .OutputFd = childOut.Get(),
                      .DirFd = dirFd,
                      .InheritFd = dirFd};
  const pid_t pid = SpawnChild(how).Pid;
  childOut.Reset();
  if (pid < 0) return rec;
  const TChildWait registered(pid, true);  // unregistered when this returns
  rec.Started = true;
  ::fcntl(out.Get(), F_SETFL, ::fcntl(out.Get(), F_GETFL) | O_NONBLOCK);
  TUtilityWait wait(pid, std::move(out), watch, killGraceMs, rec);
  wait.Run();
  wait.Finish();
  return rec;
}

}  // namespace corvix
