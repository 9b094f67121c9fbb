// The job file, the run of the host utility for one base and the posting loop.
#include "app/posting/posting_job.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>

#include "app/posting/posting_journal.h"
#include "app/posting/posting_log.h"
#include "support/content_hash.h"
#include "support/fd_io.h"
#include "support/file_utils.h"
#include "support/io_error.h"
#include "support/process.h"
#include "support/string_utils.h"
#include "term/terminal_restore.h"

namespace corvix {
namespace {

// Lines 14-19 share one layout: the key padded so that '=' stands in column 17.
void AddLine(std::string& out, const ShortString& line) {
  out.append(line.data(), line.size());
  out.push_back('\n');
}

bool HasLineBreak(const ShortString& s) {
  for (char c : s)
    if (c == '\r' || c == '\n') return true;
  return false;
}

}  // namespace

std::string BuildJobFile(const TJobRec& job) {
  std::string out;
  out.reserve(20 * 40 + 5 * 255);
  for (const char* fixed :
       {"[General]", "", "  PostTextFiles = true", "  logfile = corvixutil.log", "  loglevel = 3",
        "  logtype = 1", "  maxlogfiles = 31", "  maxlogsize = 1500", "", "[PostTextFiles]", "",
        "  totalfiles = 1", ""})
    AddLine(out, fixed);
  AddLine(out, ShortString("  file1_name    = ") + job.MsgFile);
  AddLine(out, ShortString("  file1_baseidx = ") + job.BaseNumber);
  AddLine(out, ShortString("  file1_from    = ") + job.From);
  AddLine(out, ShortString("  file1_to      = ") + job.To);
  AddLine(out, ShortString("  file1_subj    = ") + job.Subject);
  AddLine(out, ShortString("  file1_addr    = ") + job.Address);
  AddLine(out, "  file1_delfile = false");
  return out;
}

std::string JobFilePath(const ShortString& hostDir) {
  std::string path = hostDir.Str();
  if (path.empty() || path.back() != '/') path += '/';
  return path + kJobFileName;
}

ShortString ValueWithLineBreak(const TJobRec& job) {
  if (HasLineBreak(job.MsgFile)) return "message file name";
  if (HasLineBreak(job.BaseNumber)) return "base number";
  if (HasLineBreak(job.From)) return "From field";
  if (HasLineBreak(job.To)) return "To field";
  if (HasLineBreak(job.Subject)) return "Subject field";
  return "";
}

void WriteJobFile(int dirFd, const std::string& dirPath, const std::string& content) {
  const std::string target = JobFilePath(dirPath);
  // A name of our own: the process id and a counter keep two posters (and a
  // file left by a crashed run) apart; O_EXCL makes sure the file is new.
  static unsigned counter = 0;
  std::string name;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    name = std::string(".") + kJobFileName + "." + std::to_string(::getpid()) + "." +
           std::to_string(counter++);
    fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) ThrowIoError(target);
  const std::string tempPath = target.substr(0, target.size() - std::strlen(kJobFileName)) + name;
  try {
    // The operator's umask must not hide the job from a utility that runs
    // under another user.
    if (::fchmod(fd, 0644) != 0) {
      int e = errno;
      ::close(fd);
      throw IoError(tempPath, e);
    }
    WriteAndClose(fd, tempPath, content);
    if (::renameat(dirFd, name.c_str(), dirFd, kJobFileName) != 0) ThrowIoError(target);
  } catch (...) {
    ::unlinkat(dirFd, name.c_str(), 0);
    throw;
  }
}

bool IsBlankMessage(const std::string& path) {
  TFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  char block[65536];
  ssize_t got;
  while ((got = ::read(fd.Get(), block, sizeof block)) > 0) {
    for (ssize_t i = 0; i < got; ++i)
      if (std::strchr(" \t\r\n", block[i]) == nullptr || block[i] == '\0') return false;
  }
  return got == 0;
}

namespace {

// The content hash of the message file, or "" when it cannot be read (the
// utility then reports the file itself).
std::string MessageFileHash(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "";
  std::string bytes;
  char block[65536];
  ssize_t got;
  while ((got = ::read(fd, block, sizeof block)) > 0)
    bytes.append(block, static_cast<std::size_t>(got));
  ::close(fd);
  return got < 0 ? std::string() : ContentHash(bytes);
}

}  // namespace

std::string CheckPostingJob(const ShortString& cwd, TPostingJobRec& job,
                            const std::vector<TPostedRec>& bases) {
  // The utility runs in the host directory, so a relative message file would
  // be looked up from the wrong place there; a relative host directory is
  // taken from where the operator started, once.
  if (job.HostDir.empty()) return "The host directory is not set. Nothing was posted.";
  std::string hostDir = AbsolutePath(job.HostDir, cwd);
  if (hostDir.size() > ShortString::kMaxLength)
    return "The host directory name is longer than 255 characters. Nothing was posted.";
  job.HostDir = hostDir;
  // The job file holds 237 characters of the name; a longer one would be cut
  // and hand the utility another file (or none) to post.
  std::string msgFile = AbsolutePath(job.MsgFile, cwd);
  if (msgFile.size() > kJobValueRoom)
    return "The message file name is too long for the job file. Nothing was posted.";
  job.MsgFile = msgFile;
  job.Hash = MessageFileHash(msgFile);
  for (const TPostedRec& base : bases) {
    ShortString bad = ValueWithLineBreak({.MsgFile = job.MsgFile,
                                          .BaseNumber = base.BaseNumber,
                                          .From = job.From,
                                          .To = job.To,
                                          .Subject = job.Subject});
    if (!bad.empty()) return "The " + bad.Str() + " holds a line break. Nothing was posted.";
  }
  return "";
}

namespace {

// How often a busy host directory is tried again; keys and terminal events
// wake the wait sooner.
constexpr int kLockRetryMs = 50;

// Polls the watch's descriptors up to Ms milliseconds.
void WaitForWatch(TUtilityWatch& watch, int ms) {
  pollfd wake[2];
  nfds_t count = 0;
  for (int fd : {watch.WakeFd(), watch.EventFd()})
    if (fd >= 0) wake[count++] = {fd, POLLIN, 0};
  ::poll(wake, count, ms);
}

// Takes the lock on the host directory. While another posting holds it the
// watch is told and keeps serving the operator; false when a stop or an
// ending signal came first.
bool LockHostDir(int dirFd, const std::string& hostDir, TUtilityWatch& watch) {
  bool told = false;
  for (;;) {
    if (::flock(dirFd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) throw IoError(hostDir, errno);
    if (!told) watch.LockWait(told = true);
    if (watch.CheckStop() != TStopRequest::kNone || PendingEndSignal() != 0) {
      watch.LockWait(false);
      return false;
    }
    WaitForWatch(watch, kLockRetryMs);
  }
  if (told) watch.LockWait(false);
  return true;
}

}  // namespace

bool AwaitHostDir(const std::string& hostDir, TUtilityWatch& watch) {
  // A directory that cannot be opened is told by the posting that follows.
  TFd dir(::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return !dir.Valid() || LockHostDir(dir.Get(), hostDir, watch);
}

void RemoveStaleJobFiles(int dirFd) {
  const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return;
  }
  const std::string prefix = std::string(".") + kJobFileName + ".";
  std::vector<std::string> stale;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name(e->d_name);
    if (!name.starts_with(prefix)) continue;
    // PID.N: a process that is gone can no longer be writing it.
    const std::string_view rest = name.substr(prefix.size());
    const std::size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos) continue;
    const std::string pidText(rest.substr(0, dot));
    if (pidText.find_first_not_of("0123456789") != std::string::npos || pidText.size() > 9)
      continue;
    const pid_t pid = static_cast<pid_t>(std::stol(pidText));
    if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) stale.emplace_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : stale) ::unlinkat(dirFd, name.c_str(), 0);
}

TUtilityRunRec PostToBase(const TPostingJobRec& job, const ShortString& baseNumber,
                          TUtilityWatch& watch, const TBaseJournalRec& journal) {
  // The lock is taken on the host directory itself, not on the job file: two
  // operators posting through one host directory take turns from the job
  // file to the utility's end, and a utility that locks its own job file
  // cannot deadlock against us.
  TFd dir(::open(job.HostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) ThrowIoError(job.HostDir);
  TUtilityRunRec run;
  if (!LockHostDir(dir.Get(), job.HostDir, watch)) {
    run.StoppedWaiting = true;
    return run;
  }
  const int dirFd = dir.Get();
  // Once per host directory and run is enough: they are left only by kills.
  static std::string cleaned;
  if (cleaned != job.HostDir) {
    RemoveStaleJobFiles(dirFd);
    cleaned = job.HostDir;
  }
  WriteJobFile(dirFd, job.HostDir,
               BuildJobFile({.MsgFile = job.MsgFile,
                             .BaseNumber = baseNumber,
                             .From = job.From,
                             .To = job.To,
                             .Subject = job.Subject,
                             .Address = job.Address}));
  if (journal.Starting) journal.Starting();
  // The utility starts in the very directory that was locked and written.
  // The shell finds and starts it as always, but in its own place ("exec"),
  // so the child waited for and stopped is the utility itself.
  run = RunUtility(std::string("exec ") + kUtilityCommand, dirFd, watch);
  // Logged while the lock is held: a "started" entry without its result is
  // then always a posting that is under way or one whose run was killed.
  if (journal.Ended) journal.Ended(run);
  return run;
}

namespace {

// The pause after a base, ended early by a stop request.
TStopRequest Pause(std::int32_t ms, TPostingObserver& observer) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(ms & 0xFFFF);
  for (;;) {
    TStopRequest stop = observer.CheckStop();
    if (stop != TStopRequest::kNone) return stop;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return stop;
    if (PendingEndSignal() != 0) return stop;
    WaitForWatch(observer, static_cast<int>(left));
  }
}

// How a base's utility run ended.
TPostOutcome OutcomeOf(const TUtilityRunRec& run) {
  return run.Interrupted ? TPostOutcome::kInterrupted
         : !run.Started  ? TPostOutcome::kNotStarted
         : run.Stopped   ? TPostOutcome::kStopped
                         : TPostOutcome::kEnded;
}

// What each log entry of Job tells about the message.
TLogMessageRec LogMessageOf(const TPostingJobRec& job) {
  return {.HostDir = job.HostDir,
          .MsgFile = job.MsgFile,
          .From = job.From,
          .To = job.To,
          .Subject = job.Subject,
          .Hash = job.Hash};
}

}  // namespace

void RunPostingJob(const TPostingJobRec& job, std::vector<TPostedRec>& bases,
                   TPostingObserver& observer) {
  TPostingLog log;
  const TLogMessageRec message = LogMessageOf(job);
  bool logProblemSaid = false;
  auto record = [&](const std::string& entry) {
    std::string error;
    if (log.Append(entry, error)) return;
    Session.LogFailure = log.Reason();
    if (!logProblemSaid) observer.LogProblem("The posting log cannot be written: " + error);
    logProblemSaid = true;
  };
  // A run killed while its utility worked left the host directory locked
  // when this one began: what it posted and left is reviewed once the
  // directory is free, before this run's "rest" replaces the one it left.
  // A stop while waiting posts nothing and leaves that "rest" to the next run.
  if (TakeReviewDeferred() && !bases.empty()) {
    observer.BaseStarting(1, static_cast<int>(bases.size()), bases.front());
    if (!AwaitHostDir(job.HostDir, observer)) return;
    for (const std::string& text : ReviewLastPostings()) observer.EarlierRunCut(text);
  }
  SaveRestPending(job, bases);
  // An ending signal lets the step under way finish and be logged; the loop
  // then stops and the caller ends the process by it once the summary is out.
  TDeferEndingSignals defer;
  // The bases not posted are saved as "rest" however the loop ends, a job
  // file that cannot be written included.
  struct TRestOnExit {
    const TPostingJobRec& Job;
    const std::vector<TPostedRec>& Bases;
    ~TRestOnExit() { SaveRestAfterRun(Job, Bases); }
  } restOnExit{job, bases};
  const int count = static_cast<int>(bases.size());
  for (int i = 0; i < count; ++i) {
    TPostedRec& base = bases[static_cast<std::size_t>(i)];
    observer.BaseStarting(i + 1, count, base);
    TBaseJournalRec journal;
    journal.Starting = [&] {
      record(PostingLogEntry(std::time(nullptr), message, base, "", kLogStarted));
    };
    journal.Ended = [&](const TUtilityRunRec& run) {
      base.Outcome = OutcomeOf(run);
      base.WaitStatus = run.WaitStatus;
      base.LastLine = run.LastLine;
      record(PostingLogEntry(std::time(nullptr), message, base, run.Output));
    };
    const TUtilityRunRec run = PostToBase(job, base.BaseNumber, observer, journal);
    if (run.StoppedWaiting) break;
    observer.BaseEnded(i + 1, count, base);
    // A utility that may still be posting is never followed by another.
    if (run.Interrupted) break;
    // An ending signal stops the loop here, the bases not reached left not
    // started; main ends the process by it once the summary is out.
    if (PendingEndSignal() != 0) break;
    if (observer.CheckStop() != TStopRequest::kNone) break;
    if (Pause(job.PostDelay, observer) != TStopRequest::kNone) break;
  }
}

}  // namespace corvix
