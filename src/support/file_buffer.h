// TFileBuffer: a buffered random-access binary file with one in-memory window,
// read and written in bytes or fixed-size records and flushed lazily, and the
// retrying file primitives its Open uses.
#pragma once

#include <cstdint>

#include "support/short_string.h"

namespace corvix {

enum TFileBufferOpenType : std::uint8_t {
  fmOpen = 0,        // open an existing file
  fmOpenCreate = 1,  // open an existing file, or create it when there is none
  fmOpenAppend = 2,  // as fmOpenCreate, then position at the end
  fmCreate = 3,      // create, truncating an existing file
};

// The largest buffer; the block actually allocated is BufSize bytes.
constexpr std::int32_t kFileBufferMax = 65536;
using TFileBufferRec = std::uint8_t[kFileBufferMax];
// Points to the first byte of a buffer of BufSize bytes.
using PFileBufferRec = std::uint8_t*;

// Open modes (the low two bits pick the access; sharing bits are accepted and
// have no effect here).
constexpr std::uint8_t kModeRead = 0;
constexpr std::uint8_t kModeWrite = 1;
constexpr std::uint8_t kModeReadWrite = 2;
constexpr std::uint8_t kModeReadWriteShared = 66;

// An untyped binary file: a descriptor, the bound name and the record length
// its block operations use.
struct TBinFile {
  int Fd = -1;
  ShortString Name;
  std::int32_t RecLen = 1;
};

// The I/O result of the last retrying primitive: 0 on success, else the errno
// of its last attempt. Set by the primitives below, read by their callers.
// Global like errno, which it carries: the primitives return only success.
extern int FileIoResult;
// The pause between two attempts: SleepMs; tests put a counter in its place.
// Global so that a test can replace it without a parameter on every primitive.
extern void (*RetryPause)(std::uint32_t ms);

// Each primitive retries while its attempt fails with access denied (EACCES),
// up to 20 attempts 100 ms apart, and returns true when the last attempt
// succeeded. A failed open leaves the file closed.
[[nodiscard]] bool ResetRetry(TBinFile& f, std::int32_t recLen, std::uint8_t fileMode);
[[nodiscard]] bool RewriteRetry(TBinFile& f, std::int32_t recLen, std::uint8_t fileMode);
[[nodiscard]] bool SeekRetry(TBinFile& f, std::int64_t pos);
// Reads up to Count records of RecLen bytes; Got is the number of whole
// records read (a short count at the end of the file is not a failure).
[[nodiscard]] bool ReadRetry(TBinFile& f, void* buf, std::int32_t count, std::int32_t& got);
// Writes Count records; a short write is a failure.
[[nodiscard]] bool WriteRetry(TBinFile& f, const void* buf, std::int32_t count,
                              std::int32_t& written);
[[nodiscard]] bool ReadOneRetry(TBinFile& f, void* buf);
[[nodiscard]] bool WriteOneRetry(TBinFile& f, const void* buf);
// Closes the descriptor if one is open; true when the close succeeded.
[[nodiscard]] bool CloseFile(TBinFile& f);

class TFileBuffer {
 public:
  // BufSize is cut to 1..kFileBufferMax.
  explicit TFileBuffer(std::int32_t bufSize);
  ~TFileBuffer();
  TFileBuffer(const TFileBuffer&) = delete;
  TFileBuffer& operator=(const TFileBuffer&) = delete;

  // Opens FileName (closing an open file first); false when it cannot be opened
  // or created, nothing allocated then.
  [[nodiscard]] bool Open(const ShortString& fileName, std::int32_t recSize,
                          TFileBufferOpenType openType, std::uint8_t fileMode);
  // Writes back a dirty buffer and closes; false when the write-back or the
  // close failed (the file is closed either way).
  [[nodiscard]] bool Close();
  // The next byte; 0 (and the position kept) when no byte is left.
  char ReadChar();
  // Reads up to Count bytes (at most one buffer's worth); Got is the number read.
  void ReadBlock(void* buf, std::int32_t count, std::int32_t& got);
  void ReadBlock(void* buf, std::int32_t count);
  void ReadRecord(void* buf);
  // Writes Count bytes at the current position; a block larger than the buffer
  // goes through in as many flushes as it needs. False when a flush failed:
  // the bytes from that point on were not taken.
  [[nodiscard]] bool WriteBlock(const void* buf, std::int32_t count);
  [[nodiscard]] bool WriteRecord(const void* buf);
  void Seek(std::int32_t pos);
  void SeekRecord(std::int32_t recNo);
  std::int32_t FilePos() const;
  std::int32_t RecordPos() const;
  std::int64_t FileSize();
  std::int64_t RecordCount();
  // True at the end of the file. (The standard library owns the macro EOF,
  // so the name is spelled Eof.)
  bool Eof() const;
  // Writes the valid buffer bytes at BufStart; false when that failed, and the
  // buffer then stays dirty.
  [[nodiscard]] bool Flush();

  std::int32_t RecSize = 1;
  std::int32_t BufSize;
  PFileBufferRec Buffer = nullptr;
  std::int32_t BufLen = 0;
  std::int32_t BufStart = 0;
  std::int32_t BufEnd = 0;
  std::int32_t BufPos = 0;
  TBinFile F;
  bool AtEOF = false;
  bool Dirty = false;
  bool IsOpen = false;

 private:
  void FillBuffer();
  std::int64_t SizeOfF() const;
};

}  // namespace corvix
