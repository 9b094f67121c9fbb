// The job file builder and the run of the host utility for one base.
#include "app/posting_job.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "app/child_process.h"
#include "app/session.h"
#include "support/fd_io.h"
#include "support/io_error.h"
#include "support/string_utils.h"

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
  for (const char* fixed : {"[General]", "", "  PostTextFiles = true", "  logfile = corvixutil.log",
                            "  loglevel = 3", "  logtype = 1", "  maxlogfiles = 31",
                            "  maxlogsize = 1500", "", "[PostTextFiles]", "", "  totalfiles = 1", ""})
    AddLine(out, fixed);
  AddLine(out, ShortString("  file1_name    = ") + job.MsgFile);
  AddLine(out, ShortString("  file1_baseidx = ") + job.BaseNumber);
  AddLine(out, ShortString("  file1_from    = ") + job.From);
  AddLine(out, ShortString("  file1_to      = ") + job.To);
  AddLine(out, ShortString("  file1_subj    = ") + job.Subject);
  AddLine(out, ShortString("  file1_addr    = ") + kNodeAddress);
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

void WriteJobFile(const std::string& path, const std::string& content) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) ThrowIoError(path);
  WriteAndClose(fd, path, content);
}

int PostToBase(const ShortString& msgFile, const ShortString& baseNumber) {
  TJobRec job{msgFile, baseNumber, Session.MsgFrom, Session.MsgTo, Session.MsgSubject};
  std::string path = JobFilePath(Session.HostDir);
  // The lock is taken on its own descriptor before the file is rewritten, so a
  // second operator posting through the same host directory waits until our
  // utility has read its job instead of overwriting it under it.
  int lockFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lockFd < 0) ThrowIoError(path);
  while (::flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
  }
  int status = -1;
  try {
    WriteJobFile(path, BuildJobFile(job));
  } catch (...) {
    ::close(lockFd);
    throw;
  }
  if (!Session.HostDir.empty()) {
    // A host directory that cannot be entered is ignored: the utility is
    // started wherever we are, and its own failure is its report.
    [[maybe_unused]] int rc = ::chdir(Session.HostDir.Str().c_str());
  }
  status = RunChildCommand(kUtilityCommand);
  ::close(lockFd);
  return status;
}

}  // namespace corvix
