// TBar: a scrolling list of text lines with a highlight bar, per-item marks,
// a type-ahead search line, an optional "more" indicator and a position bar.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "support/short_string.h"

namespace corvix {

// Callbacks receive the current Cursor. On an empty list (or after End on one)
// that may be -1 or another value that names no item: check it with IsItem
// before using it (the item accessors already treat such an index as no item).
using TBarIndexProc = std::function<void(std::int32_t index)>;
using TBarKeyProc = std::function<void(std::uint8_t key, std::int32_t index)>;

// Results of TBar::Run.
inline constexpr std::int32_t barEnter = -999;
inline constexpr std::int32_t barEscape = -998;
inline constexpr std::int32_t barBackspace = -997;  // extended mode only
inline constexpr std::int32_t barLeft = -996;
inline constexpr std::int32_t barRight = -995;
inline constexpr std::int32_t barPlus = -994;   // extended mode only
inline constexpr std::int32_t barMinus = -993;  // extended mode only
inline constexpr std::int32_t barStar = -992;   // extended mode only
inline constexpr std::int32_t barSlash = -991;  // extended mode only

class TBar {
 public:
  TBar() = default;  // every field below starts at its default

  std::int32_t Cursor = 0;                // index (from 0) of the highlighted item
  ShortString BarColor = "|23|00";        // prefix of the highlighted, unmarked row
  ShortString NormalColor = "|07|16";     // prefix of other unmarked rows
  std::int32_t Count = 0;                 // number of items; -1 after Clear until the next Add
  ShortString MoreColor = "|08|16";       // prefix of the more indicator
  bool ExtKeys = false;                   // extended key mode: + - * / Backspace end the run, no search
  ShortString SearchText;                 // what the operator has typed, upper case
  bool ScrollBar = false;                 // draw the position bar in the last column
  char TrackChar = static_cast<char>(176);  // light shade
  char ThumbChar = static_cast<char>(178);  // dark shade
  std::uint8_t TrackAttr = 8;
  std::uint8_t ThumbAttr = 15;
  ShortString BarMarkColor = "|17|14";     // prefix of the highlighted, marked row
  ShortString NormalMarkColor = "|16|14";  // prefix of other marked rows
  std::uint8_t SearchX = 0;                // column of the search line; 0: none is drawn
  std::uint8_t SearchY = 0;                // row of the search line
  std::uint8_t SearchAttr = 7;
  std::int32_t SearchFrom = 0;             // index at which the next search starts
  std::uint8_t MoreX = 1;                  // position of the more indicator
  std::uint8_t MoreY = 1;
  bool ShowMore = false;                   // draw the more indicator
  TBarIndexProc OnMove;                    // after the highlighted row is drawn
  TBarIndexProc OnEnter;                   // when Enter ends the run
  TBarKeyProc OnKey;                       // for every key (extended keys: their code)

  // Index of the item on the first row. Set by Run (it belongs to one run);
  // readable by callbacks and after the run.
  std::int32_t Top = 0;

  // ---- Items. ----
  // Each item is a line of text (what the row shows), a caller's value
  // attached to it (Data, empty when added) and a mark (false when added).
  // They are stored compactly, the texts packed one after another in one
  // block, since a list can hold tens of thousands of lines (a host's
  // catalogue). Items are read and changed through the accessors below, by
  // index from 0. Texts and values are short strings: cut at 255 characters.
  // An index that names no item reads as an empty, unmarked item, and the
  // setters ignore it.

  // Appends an item with empty Data, unmarked; Count becomes the item count.
  void Add(const ShortString& text);
  // Appends an item with Data attached, unmarked.
  void Add(std::string_view text, std::string_view data);
  // Makes room for Items more items holding TextBytes bytes of text and data
  // in all, so that loading a known number of lines allocates once.
  void Reserve(std::size_t items, std::size_t textBytes);
  // Number of items held (0 after Clear, where Count is -1).
  std::int32_t ItemCount() const { return static_cast<std::int32_t>(items_.size()); }
  bool IsItem(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < items_.size();
  }
  ShortString Text(std::int32_t index) const { return ShortString(TextView(index)); }
  ShortString Data(std::int32_t index) const { return ShortString(DataView(index)); }
  // The bytes of the text and the value, without a copy; valid until the next
  // Add, SetData or Clear.
  std::string_view TextView(std::int32_t index) const;
  std::string_view DataView(std::int32_t index) const;
  bool Marked(std::int32_t index) const { return IsItem(index) && items_[Slot(index)].Marked; }
  void SetMarked(std::int32_t index, bool marked);
  void SetData(std::int32_t index, const ShortString& data);

  // Empties the list; Count becomes -1 (not 0) and Cursor 0.
  void Clear();
  // Orders the items by Text in ascending byte order, moving whole items.
  // Stable: items with equal texts keep their order.
  void Sort();
  // Shows the list in the Width x Height rectangle at column X, row Y with item
  // Start highlighted and handles keys until one ends the run; returns one of
  // the bar... results above.
  std::int32_t Run(std::uint8_t x, std::uint8_t y, std::uint8_t width, std::uint8_t height,
                   std::int32_t start);

 private:
  // Where one item's bytes lie in text_: its text, then its value right after it.
  struct ItemRec {
    std::uint32_t At = 0;
    std::uint8_t TextLength = 0;
    std::uint8_t DataLength = 0;
    bool Marked = false;
  };
  static std::size_t Slot(std::int32_t index) { return static_cast<std::size_t>(index); }
  void Append(std::string_view text, std::string_view data, bool marked);

  std::vector<ItemRec> items_;
  std::vector<char> text_;  // every item's text and value, packed

  void DrawRow(std::int32_t index, bool highlighted);
  void DrawHighlight();
  void DrawAll();
  void DrawMore();
  void DrawPositionBar();
  void DrawSearchLine(const ShortString& text);
  void Search();
  void HandleExtended(std::uint8_t code, std::int32_t& result);
  void HandleOrdinary(std::uint8_t key, std::int32_t& result);

  // Geometry of the current run.
  std::uint8_t x_ = 1;
  std::uint8_t y_ = 1;
  std::uint8_t width_ = 0;
  std::uint8_t height_ = 0;
  std::uint8_t moreState_ = 0;  // more-indicator state last drawn in this run
};

}  // namespace corvix
