// TMenuList: a scrolling single-choice list of short texts inside a TMenuBox,
// with incremental search, optional marks and configurable exit keys.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "support/short_string.h"
#include "widgets/menu_box.h"

namespace corvix {

class TMenuList;

// One entry. Mark: 0 unmarked, 1 marked, 2 never markable.
struct TMenuListBoxRec {
  ShortString Text;
  std::uint8_t Mark = 0;
};

// Called before every key is read with the current entry number and its text
// (empty text when the list has no entries).
using TMenuListStatusProc = std::function<void(std::uint16_t current, const ShortString& text)>;
// Shows the search text (upper case); an empty text asks it to erase the display.
using TMenuListSearchProc = std::function<void(TMenuList& list, const ShortString& search)>;

// The default search display: "[" + the last 15 characters in lower case + "]"
// padded with the frame's bottom-edge character to 17 columns at
// (SearchCol, SearchRow) in SearchAttr; 17 bottom-edge characters when empty.
void DefaultSearchDisplay(TMenuList& list, const ShortString& search);

class TMenuList {
 public:
  // The design's capacity; the list grows past it rather than refusing.
  static constexpr std::int32_t kDesignCapacity = 10000;

  TMenuList();
  ~TMenuList();
  TMenuList(const TMenuList&) = delete;
  TMenuList& operator=(const TMenuList&) = delete;

  std::vector<TMenuListBoxRec> Items;  // entry N (1-based) is Items[N - 1]
  TMenuBox Window;                     // the frame; callers set title and colours
  std::uint8_t BarAttr = 0x1F;
  std::uint8_t RowAttr = 0x71;
  bool ShowScrollBar = true;
  std::uint8_t RowAlign = 0;  // 0 left, 1 right, 2 centred, other: unpadded
  // Left-aligned rows whose text goes on past the row end in this; 0: none.
  char CutMark = 0;
  ShortString ExitKeys = ShortString("\r\x1b");
  ShortString ExitScanCodes;
  std::uint8_t LastKey = 0;  // the key or extended code that ended the run
  // The search text as typed (not in upper case) when that key came; empty
  // when no search was running then.
  ShortString SearchTyped;
  std::int32_t Current = 1;
  std::int32_t FirstVisible = 1;
  bool NoFrame = false;
  std::int32_t Count = 0;
  bool Marking = false;
  char MarkChar = '*';
  std::uint8_t MarkKey = 9;
  std::uint8_t MarkColumn = 0;
  std::uint8_t MarkAttr = 0x7F;
  std::uint16_t MarkedCount = 0;
  TMenuListStatusProc OnStatus;
  std::int32_t RowWidth = 0;
  std::int32_t VisibleRows = 0;
  std::uint8_t Left = 0;
  std::uint8_t Top = 0;
  bool DrawOnly = false;
  std::uint8_t ThumbRow = 0;  // row of the position mark; 0 = none drawn
  TMenuListSearchProc OnSearch = DefaultSearchDisplay;
  std::uint8_t SearchCol = 0;  // 0: Open fills in the place and attribute
  std::uint8_t SearchRow = 0;
  std::uint8_t SearchAttr = 0;

  void Add(const ShortString& text, std::uint8_t mark);
  void Clear();
  void Delete(std::int32_t n);
  void GetEntry(std::int32_t n, ShortString& text, bool& marked) const;
  // Lays out, draws and runs the key loop until an exit key (unless DrawOnly).
  void Open(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2);
  void Redraw();
  void Close();

 private:
  // Layout and drawing.
  void Layout(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2);
  void DrawScrollTrack();
  void DrawRow(std::uint8_t column, std::uint8_t row, std::int32_t n, bool highlighted);
  void DrawEntry(std::int32_t n, bool highlighted);
  void UpdateThumb();
  // One handler per key group; each returns true when the key ends the run.
  bool HandleOrdinary(std::uint8_t key);
  bool HandleExtended(std::uint8_t code);
  // Marking and moves.
  void ToggleMark();
  void MoveDown();
  void MoveUp();
  void MoveHome();
  void MoveEnd();
  void PageUp();
  void PageDown();
  // Incremental search: the text typed so far, kept while keys extend it.
  void Search(const ShortString& search);
  void SearchOn();
  void ShowSearch(const ShortString& search);
  void ClearSearch();
  ShortString search_;
  ShortString typed_;  // search_ as typed
  bool keepSearch_ = false;
  // True when n names a stored entry; every index into Items goes through it.
  bool HasEntry(std::int32_t n) const {
    return n >= 1 && n <= Count && n <= static_cast<std::int32_t>(Items.size());
  }
};

}  // namespace corvix
