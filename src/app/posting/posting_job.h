// The posting job: the 20-line job file handed to the host utility, and the
// posting loop that runs the utility in the host directory once per marked
// base. The loop knows no screen: the full-screen run and the unattended run
// watch and steer it through a TPostingObserver.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/config/session.h"
#include "app/posting/utility_run.h"
#include "support/short_string.h"

namespace corvix {

inline constexpr char kJobFileName[] = "aupload.ini";
inline constexpr char kUtilityCommand[] = "./corvixutil aupload.ini";
// The node address of line 19 when [corvix] address does not give one.
inline constexpr char kNodeAddress[] = "1:1/100";
// Characters of a value that fit after the 18-character prefix of lines 14-19.
inline constexpr std::size_t kJobValueRoom = 255 - 18;

// What varies from one job file to the next.
struct TJobRec {
  ShortString MsgFile;
  ShortString BaseNumber;
  ShortString From;
  ShortString To;
  ShortString Subject;
  ShortString Address = kNodeAddress;
};

// The job file's bytes: 20 lines, each ended by LF, each line cut at 255.
std::string BuildJobFile(const TJobRec& job);

// AddSlash(HostDir) + "aupload.ini", never cut: a host directory near 255
// characters must not turn the name into another file beside a stale job.
std::string JobFilePath(const ShortString& hostDir);

// The name of the first value that holds a CR or LF ("message file name",
// "From", "To", "Subject"), or an empty text when none does. Such a value
// would forge extra lines in the job file.
[[nodiscard]] ShortString ValueWithLineBreak(const TJobRec& job);

// Writes Content as the job file in the directory open as DirFd (named
// DirPath in error reports): into a new file made exclusively there (mode
// 0644), then renamed over aupload.ini. A symbolic link of that name is
// replaced, never followed, and the utility never sees a half-written job.
// Any failure throws IoError and leaves no new file behind.
void WriteJobFile(int dirFd, const std::string& dirPath, const std::string& content);

// True when the message file Path is a regular file that holds nothing but
// blanks (spaces, tabs, CR, LF), an empty one included: posted, it would be
// a blank message in every base. False when it holds text or cannot be read.
bool IsBlankMessage(const std::string& path);

// Everything a run of postings needs besides the bases.
struct TPostingJobRec {
  std::string HostDir;  // absolute after CheckPostingJob
  ShortString MsgFile;  // absolute after CheckPostingJob
  ShortString From;
  ShortString To;
  ShortString Subject;
  std::int32_t PostDelay = 0;  // pause after each base; only the low 16 bits count
  std::string Hash;  // ContentHash of the message file as CheckPostingJob read it ("" unreadable)
  ShortString Address = kNodeAddress;  // line 19's node address
};

// Makes HostDir and MsgFile absolute against Cwd, sets Hash from the message
// file's bytes, and checks that the job can
// be posted as asked. Returns the notice to give (nothing may then be posted),
// or an empty text: an empty host directory, a host directory or message
// file name that would be cut, a value with a line break.
[[nodiscard]] std::string CheckPostingJob(const ShortString& cwd, TPostingJobRec& job,
                                          const std::vector<TPostedRec>& bases);

// What the posting loop tells its caller and asks it. The TUtilityWatch part
// is asked while a utility runs and during the pause between bases: WakeFd
// and CheckStop carry the operator's stop requests (the screen run reads keys
// there), OutputLine the utility's last output line.
class TPostingObserver : public TUtilityWatch {
 public:
  // Base N of M (1-based) is about to be posted.
  virtual void BaseStarting(int /*n*/, int /*m*/, const TPostedRec& /*base*/) {}
  // Base N of M has its result.
  virtual void BaseEnded(int /*n*/, int /*m*/, const TPostedRec& /*base*/) {}
  // The posting log cannot be written; said once per run (every later base is
  // still logged where it can be), the posting goes on.
  virtual void LogProblem(const std::string& /*text*/) {}
  // A posting of an earlier run that was cut short, found once the host
  // directory it held is free; told before the first base.
  virtual void EarlierRunCut(const std::string& /*text*/) {}
};

// The posting loop. Bases holds the marked bases in list order, each
// kNotStarted. Before the first, the bases are saved as the selection "rest"
// marked as a posting under way, so that a run killed on the way leaves
// what it did not post. For each base in turn: take the lock on the host
// directory (waiting while another posting holds it, the observer told and
// asked for stops meanwhile), write the job file, log the base as started
// (synced), run the utility there and wait for it, record its result in
// place and log it (synced) before the lock is released, then pause
// PostDelay milliseconds. A utility that could not be waited for ends the
// loop with its base kInterrupted. At the end "rest" holds the bases not
// posted ok (Session.RestCount of them), or is removed when every base went
// ok; a log line that could not be written leaves its reason in
// Session.LogFailure. A stop
// request (kAfterBase or kNow) ends the loop after the current base, or
// before it while its lock is awaited; the bases not reached stay
// kNotStarted. HUP, INT and TERM are held back while the loop runs: the step
// under way ends (a running utility is ended and its result logged), then
// the loop stops there, the signal left pending (PendingEndSignal) for
// the caller to end the process by once the summary is out. A job file that cannot be written
// throws IoError, with the bases done so far recorded. Call CheckPostingJob first.
void RunPostingJob(const TPostingJobRec& job, std::vector<TPostedRec>& bases,
                   TPostingObserver& observer);

// What is recorded of one base while its lock is held: Starting once the
// job file is in place, right before the utility starts; Ended once it has
// ended (or could not be waited for).
struct TBaseJournalRec {
  std::function<void()> Starting;
  std::function<void(const TUtilityRunRec&)> Ended;
};

// One base: the lock, the job file and the utility run in HostDir. The
// utility inherits the locked descriptor, so the host directory stays
// locked while it runs even when this program is killed meanwhile. Hidden
// job files left by runs no longer alive are removed once the lock is held.
TUtilityRunRec PostToBase(const TPostingJobRec& job, const ShortString& baseNumber,
                          TUtilityWatch& watch, const TBaseJournalRec& journal = {});

// Waits until the host directory can be locked, the watch told and asked for
// stops meanwhile as before a base, then lets it go again; false when a stop
// or an ending signal came first.
[[nodiscard]] bool AwaitHostDir(const std::string& hostDir, TUtilityWatch& watch);

// Removes the hidden job files (".aupload.ini.PID.N") of processes that are
// no longer alive from the directory open as DirFd.
void RemoveStaleJobFiles(int dirFd);

}  // namespace corvix
