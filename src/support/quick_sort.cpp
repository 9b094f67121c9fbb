// TQuickSort: Hoare-partition quicksort over entry pointers.
#include "support/quick_sort.h"

#include <new>
#include <utility>

namespace corvix {

TQuickSort::TQuickSort() { Entries.resize(1); }

TQuickSort::~TQuickSort() { Clear(); }

void TQuickSort::Clear() {
  Entries.resize(1);
  Count = 0;
}

bool TQuickSort::Add(const ShortString& name, std::int32_t data) {
  if (Count >= kMaxEntries) return false;
  try {
    auto entry = std::make_unique<TQuickSortRec>();
    entry->Name = name;
    entry->Data = data;
    Entries.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    return false;
  }
  ++Count;
  return true;
}

void TQuickSort::AddLimited(const ShortString& name, std::int32_t data, std::uint16_t limit,
                            TSortMethod method) {
  if (Count < limit) {
    Add(name, data);
    return;
  }
  for (std::size_t i = Count; i >= 1; --i) {
    TQuickSortRec& e = *Entries[i];
    bool qualifies = method == qAscending ? e.Name > name : e.Name < name;
    if (qualifies) {
      e.Name = name;
      e.Data = data;
      return;
    }
  }
}

void TQuickSort::Sort(std::uint16_t left, std::uint16_t right, TSortMethod method) {
  // Indices outside 1..Count would reach empty or missing slots.
  int lo = left < 1 ? 1 : left;
  int hi = right > Count ? Count : right;
  auto before = [method](const ShortString& a, const ShortString& b) {
    return method == qAscending ? a < b : a > b;
  };
  // The smaller side is sorted by recursion and the larger one by the loop, so
  // the depth stays logarithmic; each part is partitioned exactly as a plain
  // recursion would partition it, so the result is the same.
  while (lo < hi) {
    int i = lo, j = hi;
    const ShortString pivot = Entries[static_cast<std::size_t>((lo + hi) / 2)]->Name;
    do {
      while (before(Entries[static_cast<std::size_t>(i)]->Name, pivot)) ++i;
      while (before(pivot, Entries[static_cast<std::size_t>(j)]->Name)) --j;
      if (i <= j) {
        std::swap(Entries[static_cast<std::size_t>(i)], Entries[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (lo < j) Sort(static_cast<std::uint16_t>(lo), static_cast<std::uint16_t>(j), method);
      lo = i;
    } else {
      if (i < hi) Sort(static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(hi), method);
      hi = j;
    }
  }
}

}  // namespace corvix
