// TLargeBlockAllocator: large blocks start on a huge-page boundary; any block
// holds what is written to it, across the end of its first 2 MiB too.
#include "support/large_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace corvix {
namespace {

TEST(LargeBlock, LargeBlocksStartOnAHugePageAndEveryBlockHoldsItsBytes) {
  for (std::size_t reserved : {std::size_t{100}, kLargeBlockBytes}) {
    std::vector<std::uint32_t, TLargeBlockAllocator<std::uint32_t>> v;
    v.reserve(reserved / sizeof(std::uint32_t));
    if (reserved == kLargeBlockBytes) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(v.data()) % (2 * 1024 * 1024), 0u);
    }
    for (std::uint32_t i = 0; i < 1024 * 1024; ++i) v.push_back(i * 7);  // 4 MiB
    std::uint32_t wrong = 0;
    for (std::uint32_t i = 0; i < v.size(); ++i) wrong += v[i] != i * 7;
    EXPECT_EQ(wrong, 0u) << reserved;
  }
}

}  // namespace
}  // namespace corvix
