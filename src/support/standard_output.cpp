// Standard output with every write checked.
#include "support/standard_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace corvix {
namespace {

// errno of the first failed write to standard output; 0 while none failed.
// Kept at once: a later call (even a successful one) may change errno.
int gFirstError = 0;

void Note(bool failed) {
  if (failed && gFirstError == 0) gFirstError = errno != 0 ? errno : EIO;
}

}  // namespace

void PrintStdout(std::string_view text) {
  if (text.empty()) return;
  errno = 0;
  Note(std::fwrite(text.data(), 1, text.size(), stdout) != text.size());
}

void PrintfStdout(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  errno = 0;
  Note(std::vfprintf(stdout, format, args) < 0);
  va_end(args);
}

bool FlushStdout() {
  errno = 0;
  Note(std::fflush(stdout) != 0);
  return gFirstError == 0 && std::ferror(stdout) == 0;
}

std::string FinishStdout() {
  const bool flushed = FlushStdout();
  // A write that went past these functions left only stdio's mark.
  const bool marked = std::ferror(stdout) != 0;
  // Closing a copy of the descriptor asks the file system for the errors it
  // reports only at a close (NFS, FUSE), while standard output stays open for
  // whatever still writes there on the way out.
  if (const int copy = ::dup(STDOUT_FILENO); copy >= 0) {
    errno = 0;
    Note(::close(copy) != 0 && errno != EINTR);
  }
  if (flushed && !marked && gFirstError == 0) return "";
  return gFirstError != 0 ? std::strerror(gFirstError) : "unknown reason";
}

}  // namespace corvix
