// TLargeBlockAllocator: for a vector that may grow to megabytes (the base
// list's packed texts) and is filled from its start.
#pragma once

#include <cstddef>

namespace corvix {

// A block of at least kLargeBlockBytes starts on a 2 MiB boundary, and the
// kernel is asked to back its first 2 MiB with one huge page and the rest with
// small pages. Filling the first 2 MiB then costs one page fault instead of
// 512: on a virtual machine those faults were the greater part of loading a
// catalogue of 65,535 bases. Resident memory grows by less than 2 MiB, and
// only where a block's first 2 MiB are not filled; the rest never comes as a
// huge page, even where the kernel gives them unasked, so that what is
// resident follows what is filled. Smaller blocks come from operator new.
inline constexpr std::size_t kLargeBlockBytes = 8 * 1024 * 1024;

void* AllocateLargeBlock(std::size_t bytes);
void FreeLargeBlock(void* block, std::size_t bytes);

template <class T>
struct TLargeBlockAllocator {
  using value_type = T;
  TLargeBlockAllocator() = default;
  template <class U>
  TLargeBlockAllocator(const TLargeBlockAllocator<U>&) {}  // NOLINT: allocators convert implicitly
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateLargeBlock(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) { FreeLargeBlock(p, n * sizeof(T)); }
  friend bool operator==(const TLargeBlockAllocator&, const TLargeBlockAllocator&) { return true; }
};

}  // namespace corvix
