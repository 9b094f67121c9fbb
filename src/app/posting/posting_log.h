// The posting log: one entry per posted base appended to posted.log in the
// state directory, so the operator has a record of every run.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

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

namespace corvix {

// The path of posted.log in the state directory; empty when there is none.
std::string PostingLogPath();

// The numbers of the bases that the log at Path says got the message of
// content hash Hash through host directory HostDir at or after Since: entries
// whose result is "ok", and "started" entries that no result followed (a
// utility that was started and never reported back may have posted). The log is read from its end
// back to the first entry older than Since, as entries are appended in time order, so a long
// history costs nothing. A missing log holds no postings. False with the reason in Error when the
// log is there but cannot be read.
[[nodiscard]] bool RecentPostings(const std::string& path, const std::string& hostDir,
                                  const std::string& hash, std::time_t since,
                                  std::vector<std::string>& baseNumbers, std::string& error);

// The bases of Bases that got the message again within the last Hours hours,
// by posted.log (RecentPostings), in the order of Bases. None when Hours is
// not positive or the message's hash is unknown.
[[nodiscard]] bool AlreadyPostedBases(const std::string& hostDir, const std::string& hash,
                                      std::int32_t hours, const std::vector<TPostedRec>& bases,
                                      std::vector<TPostedRec>& already, std::string& error);

}  // namespace corvix
