// The posting log: one entry per posted base appended to posted.log in the
// state directory, so the operator has a record of every run.
#pragma once

#include <ctime>
#include <string>

#include "app/config/session.h"

namespace corvix {

// What a log entry tells about the message, besides the base.
struct TLogMessageRec {
  std::string HostDir;
  ShortString MsgFile;  // absolute
  ShortString From;
  ShortString To;
  ShortString Subject;
};

// The log entry of one base: local ISO time, host directory, base number,
// echo tag, subject, result, message file, From and To separated by tabs on
// one line, then every line of the utility's output indented by four spaces.
// Control bytes in the fields and the output are shown as '?', so an entry
// cannot forge another.
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
