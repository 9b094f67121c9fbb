// TFileRec: record-by-number access to a file of fixed-size records with no
// header, such as the host's catalogue of message bases.
#pragma once

#include <cstdint>

#include "support/short_string.h"

namespace corvix {

// Every open, positioning, read and write is checked: a failure throws IoError
// (io_error.h) with the file name and errno.
class TFileRec {
 public:
  // Opens FileName for reading and writing: the existing file when CreateNew
  // is false, a new (or truncated) one when it is true.
  TFileRec(const ShortString& fileName, std::int32_t recSize, bool createNew);
  // Opens the existing file FileName for reading only, for files the program
  // must never change (the host's catalogue): reading needs no write permission.
  static TFileRec OpenReadOnly(const ShortString& fileName, std::int32_t recSize);
  ~TFileRec();
  TFileRec(const TFileRec&) = delete;
  TFileRec& operator=(const TFileRec&) = delete;

  // Whole records in the file; a partial record at the end does not count.
  std::int32_t RecordCount();
  // Reads record Index (from 0) whole into Buf, which holds RecSize bytes.
  void ReadRecord(void* buf, std::int32_t index);
  // Reads Count records from record First on into Buf, which holds
  // Count x RecSize bytes, with as few system calls as the size allows.
  // Every one must be there whole: a short file throws IoError like a
  // failed read.
  void ReadRecords(void* buf, std::int32_t first, std::int32_t count);
  // Writes record Index from Buf, overwriting it or extending the file.
  void WriteRecord(const void* buf, std::int32_t index);
  // Writes Buf as a new record at the end of the file.
  void AppendRecord(const void* buf);
  // Places Buf after record Index (first for a negative Index), moving the
  // records behind it one on; an Index past the last record fails. The file
  // is rewritten into a new file beside it, which replaces the original
  // only once it is complete.
  void InsertRecord(const void* buf, std::int32_t index);
  // The file's size in bytes.
  std::int32_t FileSizeBytes();
  // Moves to record Index when that is not beyond the end of the file.
  void SeekRecord(std::int32_t index);
  // Moves to byte Pos when that is not beyond the end of the file.
  void SeekByte(std::int32_t pos);

  std::int32_t RecSize;
  ShortString FileName;

 private:
  TFileRec(const ShortString& fileName, std::int32_t recSize, int openFlags);
  void Open(int flags);
  void Close();
  std::int64_t SizeNow();
  void MoveTo(std::int64_t pos);

  int fd_ = -1;
};

}  // namespace corvix
