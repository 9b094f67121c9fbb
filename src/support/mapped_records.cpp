// TMappedRecords over mmap, with a bus-error handler for the file that
// shrinks under its mapping, and pread where a window cannot be mapped.
#include "support/mapped_records.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <string>

#include "support/fd_io.h"
#include "support/io_error.h"

namespace corvix {
namespace {

// Windows of 2 MiB, each at a multiple of its size in the file. The page
// cache holds a file in blocks ("folios") of up to this size on x86-64, and a
// mapping that covers a whole block gets all its pages with one fault; a
// smaller window takes a fault for every few pages and costs more than
// copying the file. Resident memory grows by one window while it is read.
constexpr std::int64_t kWindowBytes = 2 * 1024 * 1024;

// True when every page of the mapping at Map is in the page cache. Pages
// that a mapping brings in from the disk come in single pages, and every
// later load then takes a fault for every few pages; read() brings them in
// large blocks, which later loads map with a fault for each block. So a file
// not yet in memory (the first load after a restart) is read, not mapped.
bool InMemory(const void* map, std::size_t length, std::int64_t page) {
  unsigned char resident[kWindowBytes / 4096 + 2];  // a page is 4 KiB or more
  const auto pages =
      static_cast<std::size_t>((static_cast<std::int64_t>(length) + page - 1) / page);
  if (pages > sizeof resident || ::mincore(const_cast<void*>(map), length, resident) != 0)
    return true;
  for (std::size_t i = 0; i < pages; ++i)
    if ((resident[i] & 1) == 0) return false;
  return true;
}

// The window being read, for the bus-error handler; empty between windows.
// A single reader at a time: the program reads its files on one thread.
sigjmp_buf gJump;
volatile std::uintptr_t gWindowBegin = 0;
volatile std::uintptr_t gWindowEnd = 0;
struct sigaction gPrevious {};

// A bus error inside the window means the file ended before the page being
// read: back to Visit. Any other goes to the handler there was before, for
// which the fault happens again when this returns (or the signal, sent by
// someone, is raised again).
extern "C" void OnBusError(int sig, siginfo_t* info, void*) {
  const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (info->si_code > 0 && addr >= gWindowBegin && addr < gWindowEnd) siglongjmp(gJump, 1);
  ::sigaction(SIGBUS, &gPrevious, nullptr);
  if (info->si_code <= 0) ::raise(sig);
}

// The handler above while the records are read, the one before it after.
class TBusErrorGuard {
 public:
  TBusErrorGuard() {
    struct sigaction act {};
    act.sa_sigaction = OnBusError;
    sigemptyset(&act.sa_mask);
    // On the program's signal stack where it has one, like its other faults.
    act.sa_flags = SA_SIGINFO | SA_ONSTACK;
    ::sigaction(SIGBUS, &act, &gPrevious);
  }
  ~TBusErrorGuard() { ::sigaction(SIGBUS, &gPrevious, nullptr); }
  TBusErrorGuard(const TBusErrorGuard&) = delete;
  TBusErrorGuard& operator=(const TBusErrorGuard&) = delete;
};

// Maps the file a window at a time and passes each record that starts in it,
// together with the bytes up to that record's end (which may lie in the next
// window); returns the first record not visited: First + Count, or the first
// record of a window that could not be mapped. Kept out of Visit, which holds
// the jump target, so that nothing here needs to be kept safe from the jump.
std::int32_t VisitMapped(int fd, std::int32_t recSize, std::int32_t first, std::int32_t count,
                         TMappedRecords::TVisitProc proc, void* context) {
  static const std::int64_t page = ::sysconf(_SC_PAGESIZE);
  const std::int32_t end = first + count;
  std::int32_t at = first;
  while (at < end) {
    const std::int64_t begin = static_cast<std::int64_t>(at) * recSize;
    const std::int64_t windowAt = begin / kWindowBytes * kWindowBytes;
    // Every record that starts before the window's end, at least one.
    const std::int32_t last = static_cast<std::int32_t>(
        std::clamp<std::int64_t>((windowAt + kWindowBytes + recSize - 1) / recSize, at + 1, end));
    const std::int64_t stop = static_cast<std::int64_t>(last) * recSize;
    const auto length = static_cast<std::size_t>((stop + page - 1) / page * page - windowAt);
    // Shared, not private: the page cache's own pages, mapped whole.
    void* map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, windowAt);
    if (map == MAP_FAILED) return at;
    // The first window tells whether the file is in memory yet.
    if (at == first && !InMemory(map, length, page)) {
      ::munmap(map, length);
      return at;
    }
    auto* const bytes = static_cast<const std::uint8_t*>(map);
    gWindowBegin = reinterpret_cast<std::uintptr_t>(bytes);
    gWindowEnd = gWindowBegin + length;
    const std::uint8_t* record = bytes + (begin - windowAt);
    try {
      for (; at < last; ++at, record += recSize) proc(context, record, at);
    } catch (...) {
      gWindowBegin = 0;
      gWindowEnd = 0;
      ::munmap(map, length);
      throw;
    }
    gWindowBegin = 0;
    gWindowEnd = 0;
    ::munmap(map, length);
  }
  return end;
}

std::int64_t SizeOf(int fd, const ShortString& fileName) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) ThrowIoError(fileName.Str());
  return st.st_size;
}

}  // namespace

TMappedRecords::TMappedRecords(const ShortString& fileName, std::int32_t recSize,
                               std::int32_t maxRecords)
    : FileName(fileName), recSize_(recSize) {
  if (recSize <= 0) throw IoError(FileName.Str(), EINVAL);
  // Without O_NONBLOCK a FIFO put in the file's place would wait here for a
  // writer; the descriptor's own mode does not matter for a regular file.
  fd_ = ::open(FileName.Str().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) ThrowIoError(FileName.Str());
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int err = errno;
    ::close(fd_);
    throw IoError(FileName.Str(), err);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd_);
    throw IoError(FileName.Str(), EINVAL, "is not a regular file");
  }
  const std::int64_t records = st.st_size / recSize;
  if (records > maxRecords) {
    ::close(fd_);
    throw IoError(FileName.Str(), EFBIG,
                  "holds " + std::to_string(records) + " records of " + std::to_string(recSize) +
                      " bytes, more than " + std::to_string(maxRecords));
  }
  count_ = static_cast<std::int32_t>(records);
  // Read ahead generously where the pages are not in memory yet.
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

TMappedRecords::~TMappedRecords() {
  if (fd_ >= 0) ::close(fd_);
}

void TMappedRecords::Shrank() {
  throw IoError(FileName.Str(), EIO, "the file became shorter while it was read");
}

void TMappedRecords::Visit(std::int32_t first, std::int32_t count, TVisitProc proc, void* context) {
  if (first < 0 || count < 0 || first > count_ - count) throw IoError(FileName.Str(), EINVAL);
  if (count == 0) return;
  std::int32_t visited = first;
  {
    TBusErrorGuard guard;
    // The mask is saved here and put back by the jump, which leaves the
    // handler with the bus error still blocked otherwise.
    if (sigsetjmp(gJump, 1) != 0) {
      ::munmap(reinterpret_cast<void*>(gWindowBegin), gWindowEnd - gWindowBegin);
      gWindowBegin = 0;
      gWindowEnd = 0;
      Shrank();
    }
    if (MapWindows) visited = VisitMapped(fd_, recSize_, first, count, proc, context);
  }
  // A file system that cannot map the file (or no room to map) is read instead.
  if (visited < first + count) VisitRead(visited, first + count - visited, proc, context);
  // A file cut short within its last page reads as zeros there, without a
  // bus error: its size tells. (One cut after its last block was read is
  // told the same way, whichever way it was read.)
  if (SizeOf(fd_, FileName) < static_cast<std::int64_t>(first + count) * recSize_) Shrank();
}

void TMappedRecords::VisitRead(std::int32_t first, std::int32_t count, TVisitProc proc,
                               void* context) {
  // A block small enough to stay in the processor's cache while it is visited.
  const std::int32_t blockRecords = std::max<std::int32_t>(1, 256 * 1024 / recSize_);
  readBuf_.resize(static_cast<std::size_t>(blockRecords) * static_cast<std::size_t>(recSize_));
  for (std::int32_t at = first; at < first + count; at += blockRecords) {
    const std::int32_t n = std::min(blockRecords, first + count - at);
    const std::size_t bytes = static_cast<std::size_t>(n) * static_cast<std::size_t>(recSize_);
    if (::lseek(fd_, static_cast<off_t>(at) * recSize_, SEEK_SET) < 0) ThrowIoError(FileName.Str());
    if (ReadFully(fd_, readBuf_.data(), bytes) != bytes) {
      if (errno != 0) ThrowIoError(FileName.Str());
      Shrank();
    }
    for (std::int32_t i = 0; i < n; ++i)
      proc(context, readBuf_.data() + static_cast<std::size_t>(i) * recSize_, at + i);
  }
}

}  // namespace corvix
