// TMappedRecords: reads a file of fixed-size records with no header through a
// memory mapping, one window at a time, for a caller that needs a few bytes of
// each record of a large file (the host's catalogue) and not the rest.
#pragma once

#include <cstdint>
#include <vector>

#include "support/short_string.h"

namespace corvix {

// No byte is copied before the caller sees it, and the processor loads only
// the cache lines holding the bytes the caller looks at; resident memory
// grows by one window of the file (2 MiB) at most, whatever its size. Where
// the file system cannot map the file, or the file is not in memory yet,
// the records are read in blocks instead. Every failure throws IoError
// (io_error.h) with the file name: one that cannot be opened or is not a
// regular file, one of more records than allowed, and one that shrinks while
// it is read (a bus error on a page past its new end is caught, never ends
// the process).
class TMappedRecords {
 public:
  // Reads Record (RecSize bytes, valid only during the call) of number Index.
  // A file that shrinks under the mapping ends the call by a jump out of it,
  // with nothing unwound, while the procedure reads the record: it reads what
  // it needs first, into memory that is already there, holding no object that
  // needs destroying. What it does after that (allocate, throw) is its own.
  using TVisitProc = void (*)(void* context, const std::uint8_t* record, std::int32_t index);

  // Opens FileName for reading (a FIFO put in its place does not block the
  // open) and takes its count of whole records; a partial record at the end
  // does not count. More than MaxRecords whole records is an error.
  TMappedRecords(const ShortString& fileName, std::int32_t recSize, std::int32_t maxRecords);
  ~TMappedRecords();
  TMappedRecords(const TMappedRecords&) = delete;
  TMappedRecords& operator=(const TMappedRecords&) = delete;

  // Whole records when the file was opened.
  std::int32_t RecordCount() const { return count_; }

  // Calls Proc for records First .. First + Count - 1 in file order, which
  // must lie within RecordCount.
  void Visit(std::int32_t first, std::int32_t count, TVisitProc proc, void* context);
  // The same with a callable F(const std::uint8_t* record, std::int32_t index),
  // under the rules of TVisitProc.
  template <class F>
  void Visit(std::int32_t first, std::int32_t count, F& f) {
    Visit(
        first, count,
        [](void* c, const std::uint8_t* record, std::int32_t index) {
          (*static_cast<F*>(c))(record, index);
        },
        &f);
  }

  ShortString FileName;
  // False: every record is read with read() into a block, as it is where the
  // file cannot be mapped.
  bool MapWindows = true;

 private:
  [[noreturn]] void Shrank();
  void VisitRead(std::int32_t first, std::int32_t count, TVisitProc proc, void* context);

  int fd_ = -1;
  std::int32_t recSize_;
  std::int32_t count_ = 0;
  // Blocks are read into this instead where the file system cannot map.
  std::vector<std::uint8_t> readBuf_;
};

}  // namespace corvix
