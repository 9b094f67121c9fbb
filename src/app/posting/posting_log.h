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
// forge another. Result, when given, replaces the base's result (kLogStarted).
std::string PostingLogEntry(std::time_t when, const TLogMessageRec& message, const TPostedRec& base,
                            const std::string& output, const char* result = nullptr);

// The result of the entry written before a base's utility starts; the entry
// with its real result follows when the utility has ended.
inline constexpr char kLogStarted[] = "started";
// The result a later run gives a base whose "started" entry was never
// followed by one (the run was killed): the utility may have posted it.
inline constexpr char kLogInterrupted[] = "interrupted";

// Line read back as an entry of its own with When and Result replaced.
std::string LogLineAgain(const TLogLineRec& line, std::time_t when, const std::string& result);

// Text as a log entry shows a path: control bytes as '?'.
std::string LogField(std::string_view text);

// StateDirPath() + "posted.log" ("" without a state directory).
std::string PostingLogPath();

// Appends entries to posted.log, making the state directory when needed.
class TPostingLog {
 public:
  // Appends Entry in one write and puts it on the disk (fdatasync) before it
  // returns; a last line left without its newline by an earlier failure is
  // ended first. False with "path: reason" in Error when the log cannot be
  // written; every call tries again. Reason() keeps the last reason.
  [[nodiscard]] bool Append(const std::string& entry, std::string& error);
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

// False when CORVIXMASS_BENCH_NOSYNC is set: the benchmarks measure what the
// syncs of the log cost by turning them off. Never meant for real postings.
bool LogSyncWanted();

}  // namespace corvix

namespace corvix {

// The numbers of the bases that the log at Path says got the message of
// content hash Hash through host directory HostDir at or after Since: entries
// whose result is "ok" or "interrupted" (a utility that a killed run left
// behind, told by a later run), and "started" entries that no result
// followed (a utility that was started and never reported back may have
// posted). The log is read from its end
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
