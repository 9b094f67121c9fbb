// TQuickSort: a list of named entries with a 32-bit payload, sorted by name in
// unsigned byte order with a quicksort, ascending or descending.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "support/short_string.h"

namespace corvix {

enum TSortMethod : std::uint8_t { qAscending = 0, qDescending = 1 };

struct TQuickSortRec {
  ShortString Name;
  std::int32_t Data = 0;
};
using PQuickSortRec = std::unique_ptr<TQuickSortRec>;

class TQuickSort {
 public:
  TQuickSort();
  ~TQuickSort();
  TQuickSort(const TQuickSort&) = delete;
  TQuickSort& operator=(const TQuickSort&) = delete;

  // Frees every entry; Count becomes 0.
  void Clear();
  // Appends an entry; false (and nothing added) when it cannot be allocated or
  // the list already holds kMaxEntries.
  bool Add(const ShortString& name, std::int32_t data);
  // Adds while fewer than Limit entries are held; otherwise overwrites the
  // first entry from the end that sorts after Name (before it, descending).
  void AddLimited(const ShortString& name, std::int32_t data, std::uint16_t limit,
                  TSortMethod method);
  // Sorts entries Left..Right (1-based) in place; Sort(1, Count, ...) sorts all.
  void Sort(std::uint16_t left, std::uint16_t right, TSortMethod method);

  // The most entries Count can hold.
  static constexpr std::uint16_t kMaxEntries = 65535;

  std::uint16_t Count = 0;
  // Entries[1..Count] are in use; Entries[0] is an empty slot so that indices
  // count from 1. The array grows as entries are added.
  std::vector<PQuickSortRec> Entries;
};

}  // namespace corvix
