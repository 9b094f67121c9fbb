// Running the host utility without the terminal: standard input from
// /dev/null, its output captured through a pipe, in a process group of its
// own, while the program keeps reading keys and can stop it.
#pragma once

#include <cstdint>
#include <string>

namespace corvix {

// How far the operator (or the caller) wants a posting run to stop.
enum class TStopRequest : std::uint8_t {
  kNone,       // go on
  kAfterBase,  // let the running utility finish, then post nothing more
  kNow,        // end the running utility too: SIGTERM, then SIGKILL after the grace time
};

// What the runner asks while it waits for the utility.
class TUtilityWatch {
 public:
  virtual ~TUtilityWatch() = default;
  // A descriptor whose input means the watch has something to say (the
  // keyboard), or -1 for none.
  virtual int WakeFd() { return -1; }
  // A second such descriptor (the terminal's resize and continue events,
  // which CheckStop serves), or -1 for none.
  virtual int EventFd() { return -1; }
  // Called before every wait and whenever WakeFd or EventFd is readable: takes what is
  // waiting there (keys) and returns the stop wanted now.
  virtual TStopRequest CheckStop() { return TStopRequest::kNone; }
  // The utility's last output line changed (control bytes already shown as '?').
  virtual void OutputLine(const std::string& /*line*/) {}
  // Another posting holds the host directory and the run waits for it (true),
  // or the wait is over (false).
  virtual void LockWait(bool /*waiting*/) {}
};

// How one run of the utility ended.
struct TUtilityRunRec {
  bool Started = false;         // false: the child could not be made (pipe or spawn failed)
  bool StoppedWaiting = false;  // a stop or an ending signal came while the lock was awaited
  bool Stopped = false;         // ended by our SIGTERM or SIGKILL after a stop request
  // The child ended but could not be waited for: how it went is unknown, and
  // it may have posted.
  bool Interrupted = false;
  int WaitStatus = -1;   // as waitpid gives it, when Started
  std::string Output;    // what it wrote, at most kUtilityOutputKeep bytes (the last ones)
  std::string LastLine;  // its last non-empty output line, control bytes as '?'
};

// Output kept per run for the posting log; a chatty utility keeps its tail.
inline constexpr std::size_t kUtilityOutputKeep = 16 * 1024;
// Time between the SIGTERM and the SIGKILL of a stopped utility.
inline constexpr int kUtilityKillGraceMs = 5000;
// How long a wait that keeps failing after the child's end is tried again.
inline constexpr int kWaitRetryMs = 1000;

// Runs Cmd through /bin/sh -c with DirFd as its working directory, and waits
// for it while polling its output, Watch's descriptor and the child. The child
// is registered as the running child (so ending signals reach its group); a
// signal received meanwhile lets it end and is left pending for the caller.
// DirFd is inherited by the child, so a lock held on it outlives this
// program while the utility runs. A failed wait is tried again as long as
// the child lives; one that still fails once it has ended gives Interrupted.
TUtilityRunRec RunUtility(const std::string& cmd, int dirFd, TUtilityWatch& watch,
                          int killGraceMs = kUtilityKillGraceMs);

// The last non-empty line of Text (a line ends at LF or CR), with bytes below
// 32 and 127 shown as '?'.
std::string LastOutputLine(std::string_view text);

}  // namespace corvix
