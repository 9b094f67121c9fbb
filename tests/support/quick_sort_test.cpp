// TQuickSort: unsigned byte order, both directions, the bounded add, and
// lists longer than a fixed array of 10000 would hold.
#include "support/quick_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace corvix {
namespace {

using V = std::vector<std::string>;

V Names(const TQuickSort& q) {
  V out;
  for (std::size_t i = 1; i <= q.Count; ++i) out.push_back(q.Entries[i]->Name.Str());
  return out;
}

TEST(QuickSort, SortsByUnsignedByteValue) {
  struct {
    V input;
    TSortMethod method;
    V sorted;
  } cases[] = {
      {{"b", "B", "a", "A"}, qAscending, {"A", "B", "a", "b"}},
      {{"b", "B", "a", "A"}, qDescending, {"b", "a", "B", "A"}},
      {{"abcd", "abc", "\xE9t\xE9", "zeta"}, qAscending, {"abc", "abcd", "zeta", "\xE9t\xE9"}},
      {{}, qAscending, {}},
  };
  for (const auto& c : cases) {
    TQuickSort q;
    for (std::size_t i = 0; i < c.input.size(); ++i)
      q.Add(c.input[i], static_cast<std::int32_t>(i));
    q.Sort(0, 999, c.method);  // indices outside 1..Count are kept inside
    EXPECT_EQ(Names(q), c.sorted);
    for (std::size_t i = 1; i <= q.Count; ++i)  // each payload stays with its name
      EXPECT_EQ(c.input[static_cast<std::size_t>(q.Entries[i]->Data)], q.Entries[i]->Name.Str());
  }
}

TEST(QuickSort, AddLimitedOverwritesTheFirstQualifyingEntryFromTheEnd) {
  struct {
    V list;
    const char* name;
    TSortMethod method;
    V after;
  } cases[] = {
      {{"a", "c", "e"}, "d", qAscending, {"a", "c", "d"}},
      {{"a", "c", "e"}, "f", qAscending, {"a", "c", "e"}},
      {{"e", "c", "a"}, "b", qDescending, {"e", "c", "b"}},
  };
  for (const auto& c : cases) {
    TQuickSort q;
    for (const auto& n : c.list) q.Add(n, 0);
    q.AddLimited(c.name, 0, 3, c.method);
    EXPECT_EQ(Names(q), c.after);
  }
}

TEST(QuickSort, LongListsGrowAndSortCompletely) {
  std::mt19937 rng(7);
  V random, equal(20000, "same");
  for (int i = 0; i < 25000; ++i)
    random.push_back(std::string(1 + rng() % 5, static_cast<char>(rng())));
  for (const V& input : {random, equal}) {
    TQuickSort q;
    for (const auto& n : input) ASSERT_TRUE(q.Add(n, 0));
    q.Sort(1, q.Count, qAscending);
    V expected = input;
    std::sort(expected.begin(), expected.end());  // std::string compares unsigned bytes
    EXPECT_EQ(Names(q), expected);
  }
  TQuickSort full;
  for (std::uint32_t i = 0; i < TQuickSort::kMaxEntries; ++i) full.Add("x", 0);
  EXPECT_FALSE(full.Add(std::string(300, 'y'), 1));  // Count cannot go further
  EXPECT_EQ(full.Count, TQuickSort::kMaxEntries);
}

}  // namespace
}  // namespace corvix
