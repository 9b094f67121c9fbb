// Whole reads and writes on a file descriptor.
#include "support/fd_io.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "support/io_error.h"

namespace corvix {

std::size_t WriteFully(int fd, const void* data, std::size_t n, int fullWaitMs) {
  const char* p = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < n) {
    ssize_t w = ::write(fd, p + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A full non-blocking descriptor (a terminal that is slow to take
      // bytes): wait until it takes more, within the limit given.
      pollfd pfd{fd, POLLOUT, 0};
      int r;
      do {
        r = ::poll(&pfd, 1, fullWaitMs);
      } while (r < 0 && errno == EINTR);
      if (r > 0) continue;
      if (r == 0) errno = EAGAIN;
      break;
    }
    if (w <= 0) {
      if (w == 0) errno = EIO;
      break;
    }
    done += static_cast<std::size_t>(w);
  }
  return done;
}

std::size_t ReadFully(int fd, void* data, std::size_t n) {
  char* p = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::read(fd, p + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      if (r == 0) errno = 0;
      break;
    }
    done += static_cast<std::size_t>(r);
  }
  return done;
}

void WriteAndClose(int fd, const std::string& fileName, std::string_view data) {
  if (WriteFully(fd, data.data(), data.size()) != data.size()) {
    const int err = errno;
    ::close(fd);
    throw IoError(fileName, err);
  }
  if (::close(fd) != 0) ThrowIoError(fileName);
}

}  // namespace corvix
