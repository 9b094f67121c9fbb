// Large blocks on a 2 MiB boundary: the first 2 MiB as a huge page, the rest
// in small pages.
#include "support/large_block.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace corvix {
namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;

}  // namespace

void* AllocateLargeBlock(std::size_t bytes) {
  if (bytes < kLargeBlockBytes) return ::operator new(bytes);
  const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* block = std::aligned_alloc(kHugePage, length);
  if (block == nullptr) throw std::bad_alloc();
  // Advice only: a kernel without huge pages ignores or refuses it, and the
  // block is the same to its user either way.
  auto* const bytesAt = static_cast<char*>(block);
  ::madvise(bytesAt, kHugePage, MADV_HUGEPAGE);
  ::madvise(bytesAt + kHugePage, length - kHugePage, MADV_NOHUGEPAGE);
  return block;
}

void FreeLargeBlock(void* block, std::size_t bytes) {
  if (bytes < kLargeBlockBytes) {
    ::operator delete(block);
    return;
  }
  std::free(block);
}

}  // namespace corvix
