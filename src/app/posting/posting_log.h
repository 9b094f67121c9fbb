// The posting log: one entry per posted base appended to posted.log in the
// state directory, so the operator has a record of every run.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "app/config/session.h"

namespace corvix {

// What a log entry tells about the message, besides the base.
struct TLogMessageRec {
  std::string HostDir;
  ShortString MsgFile;  // absolute
  ShortString From;
  ShortString To;
  ShortString Subject;
  std::string Hash;  // ContentHash of the message file's bytes
};

// The first line of a log entry, read back: the fields PostingLogEntry
// writes, as written (control bytes already shown as '?').
struct TLogLineRec {
  std::time_t When = 0;
  std::string HostDir;
  std::string BaseNumber;
  std::string EchoTag;
  std::string Subject;
  std::string
      Result;  // "ok", "exit status 2", ... or "started" for the line before the utility runs
  std::string MsgFile;
  std::string From;
  std::string To;
  std::string Hash;  // empty in entries written before the hash was logged
};

// Reads the first line of an entry (without its newline). False for the
// indented output lines, a line cut short and anything else that is not the
// head of an entry.
[[nodiscard]] bool ParseLogLine(std::string_view line, TLogLineRec& out);

// The log entry of one base: local ISO time, host directory, base number,
// echo tag, subject, result, message file, From, To and the message's
// content hash separated by tabs on one line, then every line of the utility's output indented by
// four spaces. Control bytes in the fields and the output are shown as '?', so an entry cannot
// forge another.
std::string PostingLogEntry(std::time_t when, const TLogMessageRec& message, const TPostedRec& base,
                            const std::string& output);

// Appends entries to posted.log, making the state directory when needed.
class TPostingLog {
 public:
  // Appends Entry. False with the reason in Error when the log cannot be
  // written; after the first failure it is not tried again in this run.
  [[nodiscard]] bool Append(const std::string& entry, std::string& error);

 private:
  std::string path_;
  bool failed_ = false;
};

}  // namespace corvix
