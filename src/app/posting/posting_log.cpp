// The posting log in the state directory.
#include "app/posting/posting_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "app/config/catalogue.h"
#include "app/config/state_dir.h"
#include "app/posting/posting_summary.h"
#include "support/fd_io.h"
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

}  // namespace

std::string PostingLogEntry(std::time_t when, const TLogMessageRec& message, const TPostedRec& base,
                            const std::string& output) {
  char stamp[40];
  std::tm local{};
  localtime_r(&when, &local);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S%z", &local);
  // New fields go at the end, so that readers of older entries still work.
  std::string out = std::string(stamp) + '\t' + Printable(message.HostDir) + '\t' +
                    Printable(base.BaseNumber) + '\t' + Printable437(EchoTagOfLine(base.Line)) +
                    '\t' + PrintableHost(message.Subject) + '\t' + PostedResultText(base) + '\t' +
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

bool TPostingLog::Append(const std::string& entry, std::string& error) {
  if (failed_) return false;
  if (path_.empty()) {
    std::string dir = EnsureStateDir("", error);
    if (dir.empty()) {
      failed_ = true;
      return false;
    }
    path_ = dir + "posted.log";
  }
  // A FIFO, device or link planted in the log's place is refused, never
  // waited on or written through.
  const int fd = OpenStateFile(path_, O_WRONLY | O_APPEND | O_CREAT, 0, error);
  if (fd < 0) {
    failed_ = true;
    return false;
  }
  bool ok = WriteFully(fd, entry.data(), entry.size(), 1000) == entry.size();
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    error = path_ + ": " + std::strerror(savedErrno);
    failed_ = true;
  }
  return ok;
}

}  // namespace corvix
