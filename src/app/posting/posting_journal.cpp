// The selection "rest" a posting run leaves, and the review of a run that
// was cut short.
#include "app/posting/posting_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>
#include <utility>

#include "app/config/selections.h"
#include "app/config/state_dir.h"
#include "app/posting/posting_log.h"
#include "app/posting/posting_summary.h"
#include "support/date_time.h"
#include "support/process.h"
#include "support/string_utils.h"

namespace corvix {
namespace {

// The note of a "rest" saved before the first base: "posting: PID<TAB>TIME
// <TAB>LOGSIZE<TAB>HASH<TAB>HOSTDIR<TAB>MSGFILE", host and file as the log
// writes them. The entries of that run are those past LOGSIZE bytes.
constexpr std::string_view kPendingNote = "posting: ";
// The end of posted.log that is read at start-up: far more than the entries
// of the runs that can still be under way.
constexpr off_t kReviewTail = 16 * 1024 * 1024;

// A review found a host directory locked and left what was there for later.
bool reviewDeferred = false;

// The "rest" a review finished for a dead run: a run of this process whose
// own bases all go ok keeps it, less what it posted of the same message,
// instead of removing the only record of what the dead run left.
struct TRecoveredRestRec {
  std::vector<std::string> Numbers;
  std::string Catalogue, Hash, HostDir, MsgFile;
} recoveredRest;

// An entry's first line and where it starts in posted.log.
struct TLogHeadRec {
  TLogLineRec Line;
  off_t At = 0;
};

off_t LogSize() {
  struct stat st {};
  const std::string path = PostingLogPath();
  return !path.empty() && ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

// The entries' first lines of the end of posted.log, oldest first.
std::vector<TLogHeadRec> ReadLogTail() {
  std::vector<TLogHeadRec> lines;
  const std::string path = PostingLogPath();
  std::string error;
  const TFd fd(path.empty() ? -1 : OpenStateFile(path, O_RDONLY, 0, error));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) return lines;
  const off_t from = std::max<off_t>(0, st.st_size - kReviewTail);
  std::string text(static_cast<std::size_t>(st.st_size - from), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n =
        ::pread(fd.Get(), text.data() + got, text.size() - got, from + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.resize(got);
  // A tail that starts inside a line skips that line.
  std::size_t at = from > 0 ? std::min(text.find('\n'), text.size() - 1) + 1 : 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    TLogHeadRec head;
    head.At = from + static_cast<off_t>(at);
    if (ParseLogLine(std::string_view(text).substr(at, end - at), head.Line))
      lines.push_back(std::move(head));
    at = end + 1;
  }
  return lines;
}

bool ProcessAlive(const std::string& pidText) {
  if (pidText.empty() || pidText.size() > 9 ||
      pidText.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const pid_t pid = static_cast<pid_t>(std::stol(pidText));
  return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM;
}

std::vector<std::string> SplitTabs(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t tab = text.find('\t', at);
    out.push_back(text.substr(at, tab - at));
    if (tab == std::string::npos) return out;
    at = tab + 1;
  }
}

}  // namespace

void SaveRestPending(const TPostingJobRec& job, const std::vector<TPostedRec>& bases) {
  std::vector<std::string> numbers;
  for (const TPostedRec& base : bases) numbers.push_back(base.BaseNumber.Str());
  const std::string note = std::string(kPendingNote) + std::to_string(::getpid()) + '\t' +
                           std::to_string(std::time(nullptr)) + '\t' + std::to_string(LogSize()) +
                           '\t' + job.Hash + '\t' + LogField(job.HostDir) + '\t' +
                           LogField(job.MsgFile.View());
  std::string error;
  // A "rest" that cannot be saved now is tried again, and told, at the end.
  static_cast<void>(SaveSelection(kRestSelection, numbers, error, {note}));
}

void SaveRestAfterRun(const TPostingJobRec& job, const std::vector<TPostedRec>& bases) noexcept {
  Session.RestCount = 0;
  Session.RestHint.clear();
  try {
    std::vector<std::string> numbers;
    for (const TPostedRec& base : bases)
      if (!PostedOkOrInDoubt(base)) numbers.push_back(base.BaseNumber.Str());
    std::string error, catalogue, msgFile = job.MsgFile.Str();
    if (numbers.empty() && !recoveredRest.Numbers.empty()) {
      numbers = std::move(recoveredRest.Numbers);
      if (recoveredRest.Hash == job.Hash && recoveredRest.HostDir == LogField(job.HostDir))
        std::erase_if(numbers, [&](const std::string& n) {
          return std::any_of(bases.begin(), bases.end(), [&](const TPostedRec& base) {
            return base.BaseNumber.Str() == n && PostedOkOrInDoubt(base);
          });
        });
      catalogue = recoveredRest.Catalogue;
      msgFile = recoveredRest.MsgFile;
    }
    // A run that posted everything leaves no "rest" that a later
    // --select rest would post again.
    if (numbers.empty()) {
      if (!RemoveSelection(kRestSelection, error)) Session.RestFailure = error;
      return;
    }
    if (SaveSelection(kRestSelection, numbers, error, {}, catalogue)) {
      Session.RestCount = numbers.size();
      Session.RestHint = RestLine(numbers.size(), msgFile);
    } else {
      Session.RestFailure = error;
    }
  } catch (...) {
    Session.RestFailure = "not enough memory";
  }
}

bool TakeReviewDeferred() { return std::exchange(reviewDeferred, false); }

namespace {

// The host directories looked at, each locked while a review runs, or found
// busy: a posting is at work there now (and the review is deferred).
class THostLocks {
 public:
  bool Free(const std::string& host) {
    if (busy_.count(host) != 0) return false;
    if (locked_.count(host) != 0) return true;
    TFd dir(::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid() && ::flock(dir.Get(), LOCK_EX | LOCK_NB) != 0) {
      busy_.insert(host);
      reviewDeferred = true;
      return false;
    }
    locked_.emplace(host, std::move(dir));
    return true;
  }

 private:
  std::map<std::string, TFd> locked_;
  std::set<std::string> busy_;
};

// Tells, into Told, each base whose last entry in Heads is "started" in a
// free host directory, and closes that entry.
void TellInterruptedBases(const std::vector<TLogHeadRec>& heads, THostLocks& hosts,
                          std::vector<std::string>& told) {
  std::map<std::pair<std::string, std::string>, std::size_t> lastOf;
  for (std::size_t i = 0; i < heads.size(); ++i)
    lastOf[{heads[i].Line.HostDir, heads[i].Line.BaseNumber}] = i;
  std::vector<std::size_t> unfinished;
  for (const auto& [key, i] : lastOf)
    if (heads[i].Line.Result == kLogStarted) unfinished.push_back(i);
  std::sort(unfinished.begin(), unfinished.end());
  TPostingLog log;
  for (std::size_t i : unfinished) {
    const TLogLineRec& line = heads[i].Line;
    if (!hosts.Free(line.HostDir)) continue;
    told.push_back("The posting of " + line.MsgFile + " started " +
                   LocalTimeText(line.When, "%Y-%m-%d %H:%M:%S") + " was interrupted at base " +
                   line.BaseNumber + " (" + line.EchoTag +
                   "): the utility may or may not have posted it.");
    // Closed, so that the next run does not tell it again; a log that cannot
    // be written tells it again, which loses nothing.
    std::string error;
    static_cast<void>(log.Append(LogLineAgain(line, std::time(nullptr), kLogInterrupted), error));
  }
}

// The "rest" a dead run left pending: the bases it posted, or may have
// posted, taken out, and the rest line told into Told when it is saved.
void FinishPendingRest(const std::vector<TLogHeadRec>& heads, THostLocks& hosts,
                       std::vector<std::string>& told) {
  std::vector<std::string> numbers, notes;
  std::string catalogue, error;
  if (!LoadSelection(kRestSelection, numbers, error, &catalogue, &notes)) return;
  const auto note = std::find_if(notes.begin(), notes.end(),
                                 [](const std::string& n) { return n.starts_with(kPendingNote); });
  if (note == notes.end()) return;
  const std::vector<std::string> fields = SplitTabs(note->substr(kPendingNote.size()));
  if (fields.size() != 6 || ProcessAlive(fields[0]) || !hosts.Free(fields[4])) return;
  const std::time_t since = std::atoll(fields[1].c_str());
  const off_t logSize = std::atoll(fields[2].c_str());
  // The dead run's entries are those past the log's size when it began; a
  // log made shorter since (by hand) is read by the time instead.
  const bool bySize = logSize <= LogSize();
  // What the dead run posted ok, and what it may have posted, is not posted again.
  std::set<std::string> done;
  for (const auto& [line, at] : heads) {
    if (line.HostDir == fields[4] && line.Hash == fields[3] &&
        (bySize ? at >= logSize : line.When >= since) &&
        (line.Result == "ok" || line.Result == kLogStarted || line.Result == kLogInterrupted))
      done.insert(line.BaseNumber);
  }
  std::erase_if(numbers, [&](const std::string& n) { return done.count(n) != 0; });
  if (numbers.empty()) {
    static_cast<void>(RemoveSelection(kRestSelection, error));
    return;
  }
  if (SaveSelection(kRestSelection, numbers, error, {}, catalogue)) {
    recoveredRest = {.Numbers = numbers,
                     .Catalogue = catalogue,
                     .Hash = fields[3],
                     .HostDir = fields[4],
                     .MsgFile = fields[5]};
    std::string line = RestLine(numbers.size(), fields[5]);
    line.pop_back();
    told.push_back(line);
  }
}

}  // namespace

std::vector<std::string> ReviewLastPostings() {
  reviewDeferred = false;
  std::vector<std::string> told;
  const std::vector<TLogHeadRec> heads = ReadLogTail();
  // The host directories stay locked until the review is done.
  THostLocks hosts;
  TellInterruptedBases(heads, hosts, told);
  FinishPendingRest(heads, hosts, told);
  return told;
}

void TellStartNotices() {
  for (const std::string& text : Session.StartNotices) SayProblem(text);
  Session.StartNotices.clear();
}

}  // namespace corvix
