// IoError: file name and errno, with a message "file: reason" for the report.
#include "support/io_error.h"

#include <cerrno>
#include <cstring>

namespace corvix {

IoError::IoError(std::string fileName, int errorNumber)
    : std::runtime_error(fileName + ": " + std::strerror(errorNumber)),
      fileName_(std::move(fileName)),
      errno_(errorNumber) {}

IoError::IoError(std::string fileName, int errorNumber, const std::string& reason)
    : std::runtime_error(fileName + ": " + reason),
      fileName_(std::move(fileName)),
      errno_(errorNumber) {}

void ThrowIoError(const std::string& fileName) {
  int e = errno;
  throw IoError(fileName, e != 0 ? e : EIO);
}

}  // namespace corvix
