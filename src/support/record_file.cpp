// TFileRec over a POSIX descriptor. Positions are kept 64-bit internally so
// that Index x RecSize cannot overflow; the interface stays 32-bit.
#include "support/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "support/fd_io.h"
#include "support/file_utils.h"
#include "support/io_error.h"

namespace corvix {

namespace {

[[noreturn]] void Fail(const ShortString& fileName, int err) {
  errno = err;
  ThrowIoError(fileName.Str());
}

// Closes Out, the complete copy Tmp, and renames it to FileName, then syncs
// Dir so that the rename is on disk too; Tmp is removed when that fails.
void PutInPlace(int out, const std::string& tmp, const ShortString& fileName,
                const std::string& dir) {
  if (close(out) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    Fail(ShortString(tmp), err);
  }
  if (rename(tmp.c_str(), fileName.Str().c_str()) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    Fail(fileName, err);
  }
  int dirFd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
}

// Reads exactly N bytes; false (errno set, EIO for a short file) otherwise.
bool ReadExact(int fd, char* p, std::size_t n) {
  if (ReadFully(fd, p, n) == n) return true;
  if (errno == 0) errno = EIO;
  return false;
}

bool WriteExact(int fd, const char* p, std::size_t n) { return WriteFully(fd, p, n) == n; }

std::int32_t ClampTo32(std::int64_t v) {
  return v > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                      : static_cast<std::int32_t>(v);
}

}  // namespace

TFileRec::TFileRec(const ShortString& fileName, std::int32_t recSize, bool createNew)
    : TFileRec(fileName, recSize, O_RDWR | (createNew ? O_CREAT | O_TRUNC : 0)) {}

TFileRec::TFileRec(const ShortString& fileName, std::int32_t recSize, int openFlags)
    : RecSize(recSize), FileName(fileName) {
  Open(openFlags);
}

TFileRec TFileRec::OpenReadOnly(const ShortString& fileName, std::int32_t recSize) {
  // Without O_NONBLOCK a FIFO put in the file's place would wait for a
  // writer, where no key helps.
  return TFileRec(fileName, recSize, O_RDONLY | O_NONBLOCK);
}

TFileRec::~TFileRec() { Close(); }

void TFileRec::Open(int flags) {
  fd_ = open(FileName.Str().c_str(), flags | O_CLOEXEC, 0666);
  if (fd_ < 0) ThrowIoError(FileName.Str());
  // Records are read from a regular file only: a device or FIFO has no
  // records to seek to, and /dev/zero would never end.
  struct stat st {};
  if (fstat(fd_, &st) != 0) {
    const int e = errno;
    Close();
    throw IoError(FileName.Str(), e);
  }
  if (!S_ISREG(st.st_mode)) {
    Close();
    throw IoError(FileName.Str(), EINVAL, kNotRegularFile);
  }
}

void TFileRec::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

std::int64_t TFileRec::SizeNow() {
  struct stat st {};
  if (fstat(fd_, &st) != 0) ThrowIoError(FileName.Str());
  return st.st_size;
}

void TFileRec::MoveTo(std::int64_t pos) {
  if (pos < 0) Fail(FileName, EINVAL);
  if (lseek(fd_, pos, SEEK_SET) < 0) ThrowIoError(FileName.Str());
}

std::int32_t TFileRec::RecordCount() {
  if (RecSize <= 0) return 0;
  return ClampTo32(SizeNow() / RecSize);
}

std::int32_t TFileRec::FileSizeBytes() { return ClampTo32(SizeNow()); }

void TFileRec::ReadRecord(void* buf, std::int32_t index) {
  if (RecSize <= 0) Fail(FileName, EINVAL);
  MoveTo(static_cast<std::int64_t>(index) * RecSize);
  if (!ReadExact(fd_, static_cast<char*>(buf), static_cast<std::size_t>(RecSize)))
    ThrowIoError(FileName.Str());
}

void TFileRec::ReadRecords(void* buf, std::int32_t first, std::int32_t count) {
  if (RecSize <= 0 || first < 0 || count < 0) Fail(FileName, EINVAL);
  if (count == 0) return;
  MoveTo(static_cast<std::int64_t>(first) * RecSize);
  if (!ReadExact(fd_, static_cast<char*>(buf),
                 static_cast<std::size_t>(count) * static_cast<std::size_t>(RecSize)))
    ThrowIoError(FileName.Str());
}

void TFileRec::WriteRecord(const void* buf, std::int32_t index) {
  if (RecSize <= 0) Fail(FileName, EINVAL);
  // Records past the end would leave a gap of records nobody wrote.
  if (index > RecordCount()) Fail(FileName, EINVAL);
  MoveTo(static_cast<std::int64_t>(index) * RecSize);
  if (!WriteExact(fd_, static_cast<const char*>(buf), static_cast<std::size_t>(RecSize)))
    ThrowIoError(FileName.Str());
}

void TFileRec::AppendRecord(const void* buf) {
  // The new record goes right after the last whole record, so that it is
  // readable as record RecordCount even when the file ends in a partial one.
  WriteRecord(buf, RecordCount());
}

void TFileRec::SeekRecord(std::int32_t index) {
  std::int64_t pos = static_cast<std::int64_t>(index) * RecSize;
  if (pos >= 0 && pos <= SizeNow()) MoveTo(pos);
}

void TFileRec::SeekByte(std::int32_t pos) {
  if (pos >= 0 && pos <= SizeNow()) MoveTo(pos);
}

void TFileRec::InsertRecord(const void* buf, std::int32_t index) {
  if (RecSize <= 0) Fail(FileName, EINVAL);
  // Records 0 .. index go before the new one: a negative index copies none
  // and puts it first. Only an index past the last record has nothing to follow.
  if (index >= RecordCount()) Fail(FileName, EIO);
  // A file opened for reading only is never replaced, as it is never written.
  if ((fcntl(fd_, F_GETFL) & O_ACCMODE) == O_RDONLY) Fail(FileName, EBADF);

  // The new file is built beside the record file (same file system, so the
  // final rename is atomic) and replaces it only when it is complete.
  std::string name = FileName.Str();
  std::string dir = JustPath(FileName).Str();
  std::string tmpl = (dir.empty() ? std::string() : dir) + ".tmpXXXXXX";
  std::vector<char> tmpName(tmpl.begin(), tmpl.end());
  tmpName.push_back('\0');
  int out = mkstemp(tmpName.data());
  if (out < 0) ThrowIoError(tmpl);
  std::string tmp(tmpName.data());

  auto fail = [&](const std::string& failedName) {
    int err = errno != 0 ? errno : EIO;
    close(out);
    unlink(tmp.c_str());
    Fail(failedName, err);
  };

  struct stat st {};
  if (fstat(fd_, &st) != 0) fail(name);
  if (fchmod(out, st.st_mode & 07777) != 0) fail(tmp);

  std::int64_t size = st.st_size;
  std::int64_t head = (static_cast<std::int64_t>(std::max<std::int32_t>(index, -1)) + 1) * RecSize;
  std::vector<char> block(65536);
  auto copy = [&](std::int64_t bytes) {
    while (bytes > 0) {
      std::size_t n = bytes < static_cast<std::int64_t>(block.size())
                          ? static_cast<std::size_t>(bytes)
                          : block.size();
      if (!ReadExact(fd_, block.data(), n)) fail(name);
      if (!WriteExact(out, block.data(), n)) fail(tmp);
      bytes -= static_cast<std::int64_t>(n);
    }
  };
  if (lseek(fd_, 0, SEEK_SET) < 0) fail(name);
  copy(head);
  if (!WriteExact(out, static_cast<const char*>(buf), static_cast<std::size_t>(RecSize))) fail(tmp);
  // The rest is copied as it stands, a partial last record included.
  copy(size - head);
  if (fsync(out) != 0) fail(tmp);
  PutInPlace(out, tmp, FileName, dir);
  Close();
  Open(O_RDWR);
}

}  // namespace corvix
