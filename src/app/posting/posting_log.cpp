// The posting log in the state directory.
#include "app/posting/posting_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/config/catalogue.h"
#include "app/config/state_dir.h"
#include "app/posting/posting_summary.h"
#include "support/date_time.h"
#include "support/fd_io.h"
#include "support/process.h"
#include "support/string_utils.h"
#include "term/cp437.h"

namespace corvix {
namespace {

std::string Printable(std::string_view text) { return ShownText(text, Session.Utf8Terminal); }

// From, To, Subject and the echo tag are held in code page 437 like the
// screen; with a UTF-8 terminal the log holds them in UTF-8, as the operator
// reads it there. Paths and the utility's output are logged as they are.
std::string Printable437(std::string_view text) {
  return Session.Utf8Terminal ? Printable(Utf8FromCp437(text)) : Printable(text);
}

// From, To and Subject are logged from the job, in the host's set: UTF-8
// with host_charset = utf8, else code page 437 like the screen.
std::string PrintableHost(std::string_view text) {
  if (!Session.Utf8Host) return Printable437(text);
  return Session.Utf8Terminal ? Printable(text) : Printable(Cp437FromUtf8(text));
}

std::string Stamp(std::time_t when) { return LocalTimeText(when, "%Y-%m-%dT%H:%M:%S%z"); }

}  // namespace

std::string PostingLogEntry(std::time_t when, const TLogMessageRec& message, const TPostedRec& base,
                            const std::string& output, const char* result) {
  // New fields go at the end, so that readers of older entries still work.
  std::string out = Stamp(when) + '\t' + Printable(message.HostDir) + '\t' +
                    Printable(base.BaseNumber) + '\t' + Printable437(EchoTagOfPosted(base)) + '\t' +
                    PrintableHost(message.Subject) + '\t' +
                    (result != nullptr ? std::string(result) : PostedResultText(base)) + '\t' +
                    Printable(message.MsgFile) + '\t' + PrintableHost(message.From) + '\t' +
                    PrintableHost(message.To) + '\t' + Printable(message.Hash) + '\n';
  std::size_t at = 0;
  while (at < output.size()) {
    std::size_t end = output.find('\n', at);
    if (end == std::string::npos) end = output.size();
    std::string_view line(output.data() + at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out += "    " + Printable(line) + '\n';
    at = end + 1;
  }
  return out;
}

bool ParseLogLine(std::string_view line, TLogLineRec& out) {
  std::string_view fields[10];
  std::size_t count = 0;
  while (count < 10) {
    const std::size_t tab = line.find('\t');
    fields[count++] = line.substr(0, tab);
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  // Nine fields at least (older entries have no hash), and a stamp that reads
  // back as a time: an output line starts with four spaces and never does.
  if (count < 9) return false;
  std::tm local{};
  const std::string stamp(fields[0]);
  const char* end = strptime(stamp.c_str(), "%Y-%m-%dT%H:%M:%S%z", &local);
  if (end == nullptr || *end != '\0') return false;
  out.When = timegm(&local) - local.tm_gmtoff;
  out.HostDir = fields[1];
  out.BaseNumber = fields[2];
  out.EchoTag = fields[3];
  out.Subject = fields[4];
  out.Result = fields[5];
  out.MsgFile = fields[6];
  out.From = fields[7];
  out.To = fields[8];
  out.Hash = count > 9 ? std::string(fields[9]) : std::string();
  return true;
}

std::string LogLineAgain(const TLogLineRec& line, std::time_t when, const std::string& result) {
  // The fields were read from a line already written, so they hold no tab
  // or control byte.
  return Stamp(when) + '\t' + line.HostDir + '\t' + line.BaseNumber + '\t' + line.EchoTag + '\t' +
         line.Subject + '\t' + result + '\t' + line.MsgFile + '\t' + line.From + '\t' + line.To +
         '\t' + line.Hash + '\n';
}

std::string LogField(std::string_view text) { return Printable(text); }

std::string PostingLogPath() {
  const std::string dir = StateDirPath();
  return dir.empty() ? "" : dir + "posted.log";
}

bool LogSyncWanted() {
  static const bool wanted = std::getenv("CORVIXMASS_BENCH_NOSYNC") == nullptr;
  return wanted;
}

bool TPostingLog::Append(const std::string& entry, std::string& error) {
  if (path_.empty()) {
    std::string dir = EnsureStateDir("", error);
    if (dir.empty()) {
      reason_ = error;
      return false;
    }
    path_ = dir + "posted.log";
  }
  // A FIFO, device or link planted in the log's place is refused, never
  // waited on or written through.
  const TFd fd(OpenStateFile(path_, O_RDWR | O_APPEND | O_CREAT, 0, error));
  if (!fd.Valid()) {
    reason_ = error.starts_with(path_ + ": ") ? error.substr(path_.size() + 2) : error;
    return false;
  }
  // A line cut short (a crash, a full disk) is ended in the same write, so
  // this entry is never glued onto it.
  struct stat st {};
  char last = '\n';
  const bool cut = ::fstat(fd.Get(), &st) == 0 && st.st_size > 0 &&
                   ::pread(fd.Get(), &last, 1, st.st_size - 1) == 1 && last != '\n';
  const std::string text = cut ? '\n' + entry : entry;
  bool ok = WriteFully(fd.Get(), text.data(), text.size(), 1000) == text.size();
  int savedErrno = errno;
  if (ok && LogSyncWanted() && ::fdatasync(fd.Get()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    reason_ = std::strerror(savedErrno);
    error = path_ + ": " + reason_;
  }
  return ok;
}

}  // namespace corvix

namespace corvix {

namespace {

// Bytes read from the log at a time, from its end backwards.
constexpr std::size_t kLogBlock = 64 * 1024;
// A "line" longer than this is no entry of ours (the head of an entry is a
// few hundred bytes, an output line at most kUtilityOutputKeep): it is
// skipped rather than gathered without bound.
constexpr std::size_t kLongestLogLine = 1024 * 1024;

// Calls Take for each line of the file open as Fd (Size bytes), the last
// line first, until Take returns false. False with errno set when a read fails.
template <typename Take>
bool ForEachLineFromEnd(int fd, off_t size, Take take) {
  std::string tail;  // the start of the line that ends in the block read before
  bool skipping = false;
  for (off_t end = size; end > 0;) {
    const off_t start = end > static_cast<off_t>(kLogBlock) ? end - kLogBlock : 0;
    std::string text(static_cast<std::size_t>(end - start), '\0');
    for (std::size_t got = 0; got < text.size();) {
      const ssize_t n = ::pread(fd, text.data() + got, text.size() - got, start + got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) errno = EIO;  // the log was cut while being read
        return false;
      }
      got += static_cast<std::size_t>(n);
    }
    text += tail;
    std::size_t lineEnd = text.size();
    for (std::size_t nl; lineEnd > 0 && (nl = text.rfind('\n', lineEnd - 1)) != std::string::npos;
         lineEnd = nl) {
      if (!skipping && !take(std::string_view(text).substr(nl + 1, lineEnd - nl - 1))) return true;
      skipping = false;
    }
    tail.assign(text, 0, lineEnd);
    if (tail.size() > kLongestLogLine) {
      tail.clear();
      skipping = true;
    }
    end = start;
  }
  if (!skipping) take(tail);
  return true;
}

// The base number a log entry names, or -1 when it names none.
int LoggedBaseNumber(const std::string& text) {
  const int number = std::atoi(text.c_str());
  return number >= 0 && number < kMaxBaseRecords && std::to_string(number) == text ? number : -1;
}

}  // namespace

bool RecentPostings(const std::string& path, const std::string& hostDir, const std::string& hash,
                    std::time_t since, std::vector<std::string>& baseNumbers, std::string& error) {
  baseNumbers.clear();
  if (path.empty()) return true;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
  const int fd = OpenStateFile(path, O_RDONLY, 0, error);
  if (fd < 0) return false;
  if (::fstat(fd, &st) != 0) st.st_size = 0;
  // The fields as PostingLogEntry wrote them.
  const std::string loggedDir = Printable(hostDir), loggedHash = Printable(hash);
  std::vector<bool> seen(kMaxBaseRecords);
  // A base whose result line was met, reading backwards, and whose "started"
  // line (written before its utility ran) is still to come: that one is
  // answered, and only a "started" line without a result tells of a posting
  // that may have happened.
  std::vector<bool> ended(kMaxBaseRecords);
  TLogLineRec entry;
  const bool read = ForEachLineFromEnd(fd, st.st_size, [&](std::string_view line) {
    // Output lines start with blanks; only an entry's head starts with its year.
    if (line.empty() || line[0] < '0' || line[0] > '9' || !ParseLogLine(line, entry)) return true;
    if (entry.When < since) return false;
    if (entry.Hash != loggedHash || entry.HostDir != loggedDir) return true;
    const int number = LoggedBaseNumber(entry.BaseNumber);
    if (number < 0) return true;
    const auto at = static_cast<std::size_t>(number);
    bool posted = entry.Result == "ok" || entry.Result == "interrupted";
    if (entry.Result == "started") {
      posted = !ended[at];
      ended[at] = false;
    } else {
      ended[at] = true;
    }
    if (posted && !seen[at]) baseNumbers.push_back(entry.BaseNumber);
    seen[at] = seen[at] || posted;
    return true;
  });
  const int readErrno = errno;
  ::close(fd);
  if (!read) {
    error = path + ": " + std::strerror(readErrno);
    return false;
  }
  return true;
}

bool AlreadyPostedBases(const std::string& hostDir, const std::string& hash, std::int32_t hours,
                        const std::vector<TPostedRec>& bases, std::vector<TPostedRec>& already,
                        std::string& error) {
  already.clear();
  if (hours <= 0 || hash.empty()) return true;
  std::vector<std::string> numbers;
  const std::time_t since = std::time(nullptr) - static_cast<std::time_t>(hours) * 3600;
  if (!RecentPostings(PostingLogPath(), hostDir, hash, since, numbers, error)) return false;
  std::vector<bool> posted(kMaxBaseRecords);
  for (const std::string& number : numbers) posted[std::stoul(number)] = true;
  for (const TPostedRec& base : bases) {
    const int number = std::atoi(base.BaseNumber.Str().c_str());
    if (number >= 0 && number < kMaxBaseRecords && posted[static_cast<std::size_t>(number)])
      already.push_back(base);
  }
  return true;
}

}  // namespace corvix
