// Whole reads and writes on a file descriptor: the one place where short and
// interrupted reads and writes are continued.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvix {

// Writes N bytes from Data, continuing short and interrupted writes, and
// waiting for a full non-blocking descriptor to take more (up to FullWaitMs
// milliseconds each time; negative: without limit). Returns the bytes
// written; fewer than N means failure, with errno set (EIO when the
// descriptor took nothing, EAGAIN when it stayed full).
std::size_t WriteFully(int fd, const void* data, std::size_t n, int fullWaitMs = -1);

// Reads up to N bytes into Data, continuing short and interrupted reads and
// stopping early only at the end of the file. Returns the bytes read; when
// that is fewer than N, errno is 0 at the end of the file and set on an error.
std::size_t ReadFully(int fd, void* data, std::size_t n);

// Writes all of Data to Fd and closes it, both checked: a short write or a
// failed close (which can be the first report of a failed write) throws
// IoError naming FileName. Fd is closed on every way out.
void WriteAndClose(int fd, const std::string& fileName, std::string_view data);

}  // namespace corvix
