// TFileBuffer and the retrying file primitives. The window keeps BufLen valid
// bytes of the file starting at BufStart; written bytes wait in it (Dirty)
// until a flush writes the whole valid part back in one block.
#include "support/file_buffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "support/fd_io.h"
#include "support/file_utils.h"
#include "support/sleep.h"

namespace corvix {

int FileIoResult = 0;
void (*RetryPause)(std::uint32_t ms) = SleepMs;

namespace {

constexpr int kRetryAttempts = 20;
constexpr std::uint32_t kRetryPauseMs = 100;

// Access denied (a file locked by another process) is worth waiting for;
// every other result, success included, ends the retries at once.
bool Retryable(int err) { return err == EACCES; }

// Runs Attempt (which returns 0 or an errno) with the retry rule and keeps the
// last result in FileIoResult.
template <typename Attempt>
bool WithRetry(Attempt attempt) {
  for (int n = 1;; ++n) {
    FileIoResult = attempt();
    if (FileIoResult == 0) return true;
    if (!Retryable(FileIoResult) || n >= kRetryAttempts) return false;
    RetryPause(kRetryPauseMs);
  }
}

int AccessFlags(std::uint8_t fileMode) {
  switch (fileMode & 3) {
    case kModeRead:
      return O_RDONLY;
    case kModeWrite:
      return O_WRONLY;
    default:
      return O_RDWR;
  }
}

// Reads up to N bytes, stopping early only at the end of the file.
int ReadUpTo(int fd, char* p, std::size_t n, std::size_t& done) {
  done = ReadFully(fd, p, n);
  return done < n ? errno : 0;  // errno is 0 at the end of the file
}

int WriteUpTo(int fd, const char* p, std::size_t n, std::size_t& done) {
  done = WriteFully(fd, p, n);
  return done < n ? errno : 0;
}

std::size_t Bytes(const TBinFile& f, std::int32_t records) {
  std::int32_t len = f.RecLen > 0 ? f.RecLen : 1;
  return records > 0 ? static_cast<std::size_t>(records) * static_cast<std::size_t>(len) : 0;
}

bool OpenWith(TBinFile& f, std::int32_t recLen, int flags) {
  static_cast<void>(CloseFile(f));  // the file being replaced
  f.RecLen = recLen > 0 ? recLen : 1;
  std::string name = f.Name.Str();
  return WithRetry([&] {
    f.Fd = open(name.c_str(), flags, 0666);
    return f.Fd >= 0 ? 0 : errno;
  });
}

}  // namespace

bool ResetRetry(TBinFile& f, std::int32_t recLen, std::uint8_t fileMode) {
  return OpenWith(f, recLen, AccessFlags(fileMode));
}

bool RewriteRetry(TBinFile& f, std::int32_t recLen, std::uint8_t fileMode) {
  return OpenWith(f, recLen, AccessFlags(fileMode) | O_CREAT | O_TRUNC);
}

bool SeekRetry(TBinFile& f, std::int64_t pos) {
  return WithRetry([&] {
    if (pos < 0) return EINVAL;
    return lseek(f.Fd, pos * (f.RecLen > 0 ? f.RecLen : 1), SEEK_SET) < 0 ? errno : 0;
  });
}

bool ReadRetry(TBinFile& f, void* buf, std::int32_t count, std::int32_t& got) {
  std::size_t done = 0;
  bool ok =
      WithRetry([&] { return ReadUpTo(f.Fd, static_cast<char*>(buf), Bytes(f, count), done); });
  got = static_cast<std::int32_t>(done / Bytes(f, 1));
  return ok;
}

bool WriteRetry(TBinFile& f, const void* buf, std::int32_t count, std::int32_t& written) {
  std::size_t done = 0;
  bool ok = WithRetry(
      [&] { return WriteUpTo(f.Fd, static_cast<const char*>(buf), Bytes(f, count), done); });
  written = static_cast<std::int32_t>(done / Bytes(f, 1));
  return ok;
}

bool ReadOneRetry(TBinFile& f, void* buf) {
  std::int32_t got = 0;
  if (!ReadRetry(f, buf, 1, got)) return false;
  if (got == 1) return true;
  FileIoResult = EIO;  // the end of the file came before a whole record
  return false;
}

bool WriteOneRetry(TBinFile& f, const void* buf) {
  std::int32_t written = 0;
  return WriteRetry(f, buf, 1, written);
}

bool CloseFile(TBinFile& f) {
  if (f.Fd < 0) return true;
  bool ok = close(f.Fd) == 0;
  f.Fd = -1;
  return ok;
}

TFileBuffer::TFileBuffer(std::int32_t bufSize)
    : BufSize(bufSize < 1 ? 1 : (bufSize > kFileBufferMax ? kFileBufferMax : bufSize)) {}

// A destructor has no one to report a failed write-back to.
TFileBuffer::~TFileBuffer() { static_cast<void>(Close()); }

bool TFileBuffer::Open(const ShortString& fileName, std::int32_t recSize,
                       TFileBufferOpenType openType, std::uint8_t fileMode) {
  RecSize = recSize;
  if (IsOpen) static_cast<void>(Close());  // the file being replaced
  F.Name = fileName;
  switch (openType) {
    case fmOpen:
      if (!ResetRetry(F, 1, fileMode)) return false;
      break;
    case fmOpenCreate:
    case fmOpenAppend:
      if (!ResetRetry(F, 1, fileMode)) {
        // A file that is there but cannot be opened is never replaced.
        if (FileExists(fileName) || !RewriteRetry(F, 1, fileMode)) return false;
      }
      break;
    case fmCreate:
      if (!RewriteRetry(F, 1, fileMode)) return false;
      break;
  }
  // Appending where the end could not be found would write over the start.
  // The open has failed already; how the close went adds nothing.
  if (openType == fmOpenAppend && !SeekRetry(F, SizeOfF())) {
    static_cast<void>(CloseFile(F));
    return false;
  }
  Buffer = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(BufSize)];
  if (Buffer == nullptr) {
    static_cast<void>(CloseFile(F));
    return false;
  }
  FillBuffer();
  Dirty = false;
  IsOpen = true;
  return true;
}

bool TFileBuffer::Close() {
  bool ok = true;
  if (IsOpen) {
    if (Dirty) ok = Flush();
    if (!CloseFile(F)) ok = false;
  }
  delete[] Buffer;
  Buffer = nullptr;
  IsOpen = false;
  Dirty = false;
  return ok;
}

std::int64_t TFileBuffer::SizeOfF() const {
  struct stat st {};
  return fstat(F.Fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

void TFileBuffer::FillBuffer() {
  off_t at = lseek(F.Fd, 0, SEEK_CUR);
  BufStart = at < 0 ? 0 : static_cast<std::int32_t>(at);
  std::int32_t got = 0;
  // A failed read leaves what it got, at worst an empty window that reads as
  // the end of the file; FileIoResult says why.
  static_cast<void>(ReadRetry(F, Buffer, BufSize, got));
  BufLen = got;
  BufEnd = BufStart + BufLen;
  BufPos = 0;
  AtEOF = static_cast<std::int64_t>(BufEnd) >= SizeOfF();
}

bool TFileBuffer::Flush() {
  if (!IsOpen) return false;
  std::int32_t written = 0;
  if (!SeekRetry(F, BufStart) || !WriteRetry(F, Buffer, BufLen, written)) return false;
  Dirty = false;
  return true;
}

char TFileBuffer::ReadChar() {
  if (!IsOpen) return 0;
  // Past the valid bytes of the window (at its end, or behind bytes just
  // written into a fresh window) the file itself is read again.
  if (BufPos >= BufLen) {
    if (Dirty && !Flush()) return 0;
    if (!SeekRetry(F, BufStart + BufPos)) return 0;
    FillBuffer();
    if (BufLen == 0) return 0;
  }
  return static_cast<char>(Buffer[BufPos++]);
}

void TFileBuffer::ReadBlock(void* buf, std::int32_t count, std::int32_t& got) {
  got = 0;
  if (!IsOpen || count <= 0) return;
  // Compared as a difference: BufPos + Count could pass the 32-bit range
  // and skip the refill that cuts Count to the buffer.
  if (count >= BufLen - BufPos) {
    if (Dirty && !Flush()) return;
    if (count > BufSize) count = BufSize;
    if (!SeekRetry(F, BufStart + BufPos)) return;
    FillBuffer();
    if (count > BufLen) count = BufLen;
  }
  std::memcpy(buf, Buffer + BufPos, static_cast<std::size_t>(count));
  BufPos += count;
  got = count;
}

void TFileBuffer::ReadBlock(void* buf, std::int32_t count) {
  std::int32_t got = 0;
  ReadBlock(buf, count, got);
}

void TFileBuffer::ReadRecord(void* buf) { ReadBlock(buf, RecSize); }

bool TFileBuffer::WriteBlock(const void* buf, std::int32_t count) {
  if (!IsOpen) return false;
  const std::uint8_t* p = static_cast<const std::uint8_t*>(buf);
  while (count > 0) {
    std::int32_t room = BufSize - BufPos;
    std::int32_t n = count < room ? count : room;
    std::memcpy(Buffer + BufPos, p, static_cast<std::size_t>(n));
    BufPos += n;
    if (BufPos > BufLen) BufLen = BufPos;
    if (BufStart + BufPos > BufEnd) BufEnd = BufStart + BufPos;
    Dirty = true;
    p += n;
    count -= n;
    if (count == 0) break;
    // The buffer is full and bytes are left: write it back and move the
    // window on to the file position right after it.
    if (!Flush()) return false;
    BufStart += BufLen;
    BufPos = 0;
    BufLen = 0;
    BufEnd = BufStart;
    AtEOF = static_cast<std::int64_t>(BufStart) >= SizeOfF();
  }
  return true;
}

bool TFileBuffer::WriteRecord(const void* buf) { return WriteBlock(buf, RecSize); }

void TFileBuffer::Seek(std::int32_t pos) {
  if (!IsOpen || pos < 0) return;
  if (BufStart <= pos && pos < BufEnd) {
    BufPos = pos - BufStart;
    return;
  }
  if (Dirty && !Flush()) return;
  if (!SeekRetry(F, pos)) return;
  FillBuffer();
}

void TFileBuffer::SeekRecord(std::int32_t recNo) {
  std::int64_t pos = static_cast<std::int64_t>(recNo) * RecSize;
  if (pos >= 0 && pos <= std::numeric_limits<std::int32_t>::max())
    Seek(static_cast<std::int32_t>(pos));
}

std::int32_t TFileBuffer::FilePos() const { return BufStart + BufPos; }

std::int32_t TFileBuffer::RecordPos() const {
  return RecSize > 0 ? (BufStart + BufPos) / RecSize : 0;
}

std::int64_t TFileBuffer::FileSize() {
  if (!IsOpen) return 0;
  // The size has no way to report a failed flush; the next write or Close does.
  if (Dirty) static_cast<void>(Flush());
  return SizeOfF();
}

std::int64_t TFileBuffer::RecordCount() { return RecSize > 0 ? FileSize() / RecSize : 0; }

bool TFileBuffer::Eof() const { return BufStart + BufPos >= BufEnd && AtEOF; }

}  // namespace corvix
