// TQuickSort: unsigned byte order, both directions, the bounded add, and
// lists longer than the old fixed array.
#include "support/quick_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace corvix {
namespace {

std::vector<std::string> Names(const TQuickSort& q) {
  std::vector<std::string> out;
  for (std::size_t i = 1; i <= q.Count; ++i) out.push_back(q.Entries[i]->Name.Str());
  return out;
}

void Fill(TQuickSort& q, const std::vector<std::string>& names) {
  for (const std::string& n : names) ASSERT_TRUE(q.Add(n, 0));
}

using V = std::vector<std::string>;

TEST(QuickSort, SortsByUnsignedByteValue) {
  struct Case {
    V input;
    TSortMethod method;
    V sorted;
  } cases[] = {
      {{"b", "B", "a", "A"}, qAscending, {"A", "B", "a", "b"}},
      {{"b", "B", "a", "A"}, qDescending, {"b", "a", "B", "A"}},
      {{"abcd", "abc", "ab"}, qAscending, {"ab", "abc", "abcd"}},
      {{"\xE9t\xE9", "zeta", "Zeta", "alpha"}, qAscending, {"Zeta", "alpha", "zeta", "\xE9t\xE9"}},
      {{"..", "Sub", "_x", "1"}, qAscending, {"..", "1", "Sub", "_x"}},
      {{}, qAscending, {}},
      {{"only"}, qDescending, {"only"}},
  };
  for (const Case& c : cases) {
    TQuickSort q;
    Fill(q, c.input);
    q.Sort(1, q.Count, c.method);
    EXPECT_EQ(Names(q), c.sorted);
  }
}

TEST(QuickSort, DataTravelsWithItsNameAndLongNamesAreCut) {
  TQuickSort q;
  q.Add("c", 3);
  q.Add("a", 1);
  q.Add(std::string(255, 'b'), 2);
  q.Add(std::string(300, 'd'), 4);
  q.Sort(1, q.Count, qAscending);
  ASSERT_EQ(q.Count, 4);
  for (std::int32_t i = 1; i <= 4; ++i) EXPECT_EQ(q.Entries[static_cast<std::size_t>(i)]->Data, i);
  EXPECT_EQ(q.Entries[2]->Name.size(), 255u);
  EXPECT_EQ(q.Entries[4]->Name.Str(), std::string(255, 'd'));
}

TEST(QuickSort, SortsAPartAndKeepsIndicesInsideTheList) {
  TQuickSort q;
  Fill(q, {"d", "c", "b", "a"});
  q.Sort(2, 3, qAscending);
  EXPECT_EQ(Names(q), (V{"d", "b", "c", "a"}));
  q.Sort(0, 200, qAscending);  // clamped to 1..Count
  EXPECT_EQ(Names(q), (V{"a", "b", "c", "d"}));
  q.Clear();
  EXPECT_EQ(q.Count, 0);
  q.Sort(1, 5, qAscending);
  EXPECT_TRUE(Names(q).empty());
}

TEST(QuickSort, AddLimitedOverwritesTheFirstLaterEntryFromTheEnd) {
  struct Case {
    V list;
    std::string name;
    TSortMethod method;
    V after;
  } cases[] = {
      {{"a", "c", "e"}, "d", qAscending, {"a", "c", "d"}},
      {{"a", "c", "e"}, "f", qAscending, {"a", "c", "e"}},  // nothing greater
      {{"e", "c", "a"}, "b", qDescending, {"e", "c", "b"}},
      {{"a", "c"}, "b", qAscending, {"a", "c", "b"}},  // room left: plain add
  };
  for (const Case& c : cases) {
    TQuickSort q;
    Fill(q, c.list);
    q.AddLimited(c.name, 9, 3, c.method);
    EXPECT_EQ(Names(q), c.after);
  }
}

TEST(QuickSort, LongListsGrowAndSortLikeAnOrderedSort) {
  std::mt19937 rng(7);
  std::vector<V> inputs;
  V random, equal(20000, "same"), ascending;
  for (int i = 0; i < 25000; ++i) {
    std::string s;
    for (int k = static_cast<int>(rng() % 6); k >= 0; --k) s += static_cast<char>(rng() % 256);
    random.push_back(s);
  }
  for (int i = 0; i < 20000; ++i) ascending.push_back(std::to_string(100000 + i));
  for (const V& input : {random, equal, ascending}) {
    TQuickSort q;
    Fill(q, input);
    ASSERT_EQ(q.Count, input.size());
    q.Sort(1, q.Count, qAscending);
    V expected = input;
    std::sort(expected.begin(), expected.end());  // std::string compares bytes unsigned
    EXPECT_EQ(Names(q), expected);
  }
}

TEST(QuickSort, RefusesAnEntryBeyondTheLargestCount) {
  TQuickSort q;
  for (std::uint32_t i = 0; i < TQuickSort::kMaxEntries; ++i) ASSERT_TRUE(q.Add("x", 0));
  EXPECT_FALSE(q.Add("one too many", 1));
  EXPECT_EQ(q.Count, TQuickSort::kMaxEntries);
  EXPECT_EQ(q.Entries.size(), std::size_t{TQuickSort::kMaxEntries} + 1);
}

}  // namespace
}  // namespace corvix
