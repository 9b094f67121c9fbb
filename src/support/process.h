// The one way the program runs a child: a command line through /bin/sh -c,
// started by one spawn core, with its descriptors owned by TFd.
#pragma once

#include <sys/types.h>

#include <string>

namespace corvix {

// Owns one file descriptor and closes it when it goes; moves hand it on.
class TFd {
 public:
  TFd() noexcept = default;
  explicit TFd(int fd) noexcept : fd_(fd) {}
  ~TFd() { Reset(); }
  TFd(TFd&& other) noexcept : fd_(other.Release()) {}
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;

  int Get() const noexcept { return fd_; }
  bool Valid() const noexcept { return fd_ >= 0; }
  // Gives up ownership: the caller closes what is returned.
  int Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes what is held (errors ignored) and takes Fd.
  void Reset(int fd = -1) noexcept;

 private:
  int fd_ = -1;
};

// How a child is started.
struct TSpawnRec {
  std::string Cmd;        // run as /bin/sh -c Cmd
  bool OwnGroup = false;  // the child leads a process group of its own
  int StdinFd = -1;       // becomes its standard input (-1: inherited)
  int OutputFd = -1;      // becomes its standard output and error (-1: inherited)
  int DirFd = -1;         // its working directory (-1: ours)
  // One descriptor of the program the child keeps open across exec, under
  // the same number (-1: none): a lock held on it lives as long as the child.
  int InheritFd = -1;
  // The child waits before it runs the command until ReleaseChild is called:
  // the parent can hand it the terminal first. Implies a plain fork; every
  // other child is started with posix_spawn.
  bool Hold = false;
};

// A started child: its pid, and while it is held, the descriptor whose
// closing releases it.
struct TChildRec {
  pid_t Pid = -1;  // -1: it could not be started (errno says why)
  TFd Release;
};

// Starts How's child with the default signal actions and an empty signal
// mask. Descriptors of the program do not reach it (they are close-on-exec),
// but How.InheritFd.
TChildRec SpawnChild(const TSpawnRec& how);
// Lets a held child go on to run its command.
void ReleaseChild(TChildRec& child);

// Waits for Pid without limit, through interruptions; its wait status, or -1.
[[nodiscard]] int WaitChild(pid_t pid);

// True when a process of group Group is stopped: one of the leader's
// descendants (every process, where the system lists no children). A wait
// for the leader cannot see a stop of a process the leader started (an
// editor's script that stopped itself), which would keep it waiting for ever.
[[nodiscard]] bool ProcessGroupStopped(pid_t group);

// A descriptor that becomes readable when Pid ends (-1 where the system has
// none), so that a wait for it can also look at the clock.
[[nodiscard]] TFd ChildEndFd(pid_t pid);

}  // namespace corvix
