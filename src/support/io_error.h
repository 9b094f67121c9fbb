// IoError: the one exception of the program. A checked file operation that
// fails throws it. main catches it after the run's scope has unwound and
// restored the terminal; besides, the unattended run catches it around the
// catalogue reads and the posting loop (so the report names the catalogue, or
// follows the progress lines and summary), and saving a selection catches it
// to remove its half-written temporary file and report the failure as text.
#pragma once

#include <stdexcept>
#include <string>

namespace corvix {

class IoError : public std::runtime_error {
 public:
  IoError(std::string fileName, int errorNumber);
  // The report says Reason instead of the text of ErrorNumber, for a failure
  // the system's message would not explain ("file: Reason").
  IoError(std::string fileName, int errorNumber, const std::string& reason);
  const std::string& FileName() const noexcept { return fileName_; }
  int Errno() const noexcept { return errno_; }

 private:
  std::string fileName_;
  int errno_;
};

// The reason given for a FIFO, device or socket where a file is read or written.
inline constexpr char kNotRegularFile[] = "not a regular file (a FIFO, device or socket)";

// Throws IoError for FileName with the current errno (or EIO when errno is 0).
[[noreturn]] void ThrowIoError(const std::string& fileName);

}  // namespace corvix
