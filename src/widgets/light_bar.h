// TBar: a scrolling list of text lines with a highlight bar, per-item marks,
// a type-ahead search line, an optional "more" indicator and a position bar.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "support/large_block.h"
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

// What the effect of a key needs drawn.
enum class TBarRedraw : std::uint8_t {
  kNone,
  kRows,  // the row that lost the highlight, then the highlighted row
  kAll,
};

// The row text for Width columns: the text with its pipe codes, padded with
// blanks or cut so that it takes exactly Width columns on screen. For texts
// that fit, this is PadRight(text, PipePadWidth(text, width), ' '). For longer
// texts the cut is made where Width columns are used up, so pipe codes after
// that point cannot pull more characters into the row and past its right edge;
// likewise a "|" that the writer shows as a character counts as one column.
// The walk reads the text as if the padding blanks already followed it, since
// they are part of what the writer sees after a "|" near the end.
// Room is the number of bytes the row may take (what the colour prefix leaves
// of a short string): a code is kept only while the bytes after it still hold
// the columns left to fill, so a text made of codes cannot use up the string
// and leave the end of the row undrawn.
// A text cut short of its last visible character shows CutMark (when not 0)
// in the last column, so that the operator sees there is more.
// (ColourOnly: only colour codes act, as ColourCodesOnly rows are drawn.)
ShortString FitRow(const ShortString& text, std::uint8_t width, std::size_t room, bool colourOnly,
                   char cutMark);

class TBar {
 public:
  TBar() = default;  // every field below starts at its default

  std::int32_t Cursor = 0;             // index (from 0) of the highlighted item
  ShortString BarColor = "|23|00";     // prefix of the highlighted, unmarked row
  ShortString NormalColor = "|07|16";  // prefix of other unmarked rows
  std::int32_t Count = 0;              // number of items; -1 after Clear until the next Add
  ShortString MoreColor = "|08|16";    // prefix of the more indicator
  bool ExtKeys = false;    // extended key mode: + - * / Backspace end the run, no search
  ShortString SearchText;  // what the operator has typed, upper case
  bool ScrollBar = false;  // draw the position bar in the last column
  char TrackChar = static_cast<char>(176);  // light shade
  char ThumbChar = static_cast<char>(178);  // dark shade
  std::uint8_t TrackAttr = 8;
  std::uint8_t ThumbAttr = 15;
  ShortString BarMarkColor = "|17|14";     // prefix of the highlighted, marked row
  ShortString NormalMarkColor = "|16|14";  // prefix of other marked rows
  std::uint8_t SearchX = 0;                // column of the search line; 0: none is drawn
  std::uint8_t SearchY = 0;                // row of the search line
  std::uint8_t SearchAttr = 7;
  // With MarkChar not 0, a marked row shows it in MarkAttr in the column
  // left of the list (X - 1), so that a mark is seen without colour; other
  // rows show GutterChar in GutterAttr there (what the frame has).
  char MarkChar = 0;
  std::uint8_t MarkAttr = 15;
  char GutterChar = ' ';
  std::uint8_t GutterAttr = 7;
  std::int32_t SearchFrom = 0;  // index at which the next search starts
  std::uint8_t MoreX = 1;       // position of the more indicator
  std::uint8_t MoreY = 1;
  bool ShowMore = false;   // draw the more indicator
  TBarIndexProc OnMove;    // after the highlighted row is drawn
  TBarIndexProc OnEnter;   // when Enter ends the run
  TBarKeyProc OnKey;       // for every key (extended keys: their code)
  TBarKeyProc OnExtended;  // for extended keys only, with their code, before OnKey
  // Rows act on their pipe colour codes only: every other "|" (the display
  // codes, which clear, move or wait) shows as itself. For texts from outside.
  bool ColourCodesOnly = false;
  // Shown in a row's last column when its text goes on past the row; 0: none.
  char CutMark = 0;

  // Index of the item on the first row. Set by Run (it belongs to one run);
  // readable by callbacks and after the run.
  std::int32_t Top = 0;

  // ---- Filter view. ----
  // With the filter on and a search text typed, the list shows only the items
  // whose text contains the search text (the search's own match), in item
  // order, and the view follows the text as it is typed. Cursor, Top and
  // SearchFrom then count rows of the view, not items: the keys, the search
  // and the drawing all work on the shown rows, while the callbacks still
  // receive the item index (CurrentItem). With the filter off, or no search
  // text, every item is shown and rows and items are the same numbers.
  bool Filter() const { return filter_; }
  // Turns the filter on or off, keeping the highlight on the same item when
  // it stays shown (else on the next shown one) and on the same screen row
  // where the list allows.
  void SetFilter(bool on);
  // Rows shown: Count without a view (so -1 after Clear), else the view's size.
  std::int32_t Shown() const { return viewOn_ ? static_cast<std::int32_t>(view_.size()) : Count; }
  // Item index shown on row Row (counted from 0 over the whole list); without
  // a view Row itself, even when it names no item; with one, -1 off the view.
  std::int32_t ItemAt(std::int32_t row) const {
    if (!viewOn_) return row;
    return row >= 0 && static_cast<std::size_t>(row) < view_.size()
               ? view_[static_cast<std::size_t>(row)]
               : -1;
  }
  // The item under the highlight, as the callbacks receive it.
  std::int32_t CurrentItem() const { return ItemAt(Cursor); }

  // ---- Marks over the whole list (shown or not). ----
  std::int32_t MarkedCount() const { return markedCount_; }
  // Marks every item that matches the search text; every item when there is none.
  void MarkMatching();
  void UnmarkAll();
  void InvertMarks();

  // ---- Items. ----
  // Each item is a line of text (what the row shows), a caller's value
  // attached to it (Data, empty when added), a hidden text searched with the
  // line but never shown (empty unless added) and a mark (false when added).
  // They are stored compactly, the texts packed one after another in one
  // block, since a list can hold tens of thousands of lines (a host's
  // catalogue). Items are read and changed through the accessors below, by
  // index from 0. Texts and values are short strings: cut at 255 characters.
  // An index that names no item reads as an empty, unmarked item, and the
  // setters ignore it.

  // Appends an item with empty Data, unmarked; Count becomes the item count.
  void Add(const ShortString& text);
  // Appends an item with Data attached, unmarked. Hidden is searched with the
  // text but never shown: the whole of a field that the text shows cut.
  void Add(std::string_view text, std::string_view data, std::string_view hidden = {});
  // Item Index's hidden text (empty when it has none).
  std::string_view HiddenView(std::int32_t index) const;
  // Inserts Ch at byte At of every text longer than At (each cut at 255
  // again): a column of the lines turned out one wider once items were in.
  void WidenTexts(std::size_t at, char ch);
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

  // ---- The steps of Run, for tests of the key logic without a screen. ----
  // Takes the rectangle of a run and puts Top and Cursor for item Start.
  void Layout(std::uint8_t x, std::uint8_t y, std::uint8_t width, std::uint8_t height,
              std::int32_t start);
  // The effect of extended key Code on Top, Cursor, SearchFrom and Result,
  // without drawing; returns what must be drawn. Page keys in extended mode
  // call OnKey with their stand-in characters here.
  TBarRedraw ApplyExtended(std::uint8_t code, std::int32_t& result);

 private:
  // Where one item's bytes lie in text_: its text, its hidden search text
  // (HiddenLength counts the separator before it, when there is one),
  // then its value.
  struct ItemRec {
    std::uint32_t At = 0;
    std::uint8_t TextLength = 0;
    std::uint8_t DataLength = 0;
    std::uint8_t HiddenLength = 0;
    bool Marked = false;
  };
  static std::size_t Slot(std::int32_t index) { return static_cast<std::size_t>(index); }
  void Append(std::string_view text, std::string_view data, bool marked,
              std::string_view hidden = {});
  // True when SearchText occurs in the item's text or hidden text.
  bool ItemMatches(const ItemRec& item) const;

  std::vector<ItemRec> items_;
  // Every item's text, hidden text and value, packed; a list reserved for tens of
  // thousands of lines gets a large block (support/large_block.h).
  std::vector<char, TLargeBlockAllocator<char>> text_;

  // Each key group's effect (see ApplyExtended).
  TBarRedraw KeyHomeEnd(std::uint8_t code);
  TBarRedraw KeyLeftRight(std::uint8_t code, std::int32_t& result);
  TBarRedraw KeyUpDown(std::uint8_t code);
  TBarRedraw KeyPage(std::uint8_t code);
  void Redraw(TBarRedraw what, std::int32_t oldCursor);
  // Rebuilds the view after the search text or the filter changed.
  void UpdateView();
  void SetViewOn(bool on);
  bool IsShown(std::int32_t row) const { return row >= 0 && row < Shown(); }

  std::vector<std::int32_t> view_;  // item indices shown, ascending, while viewOn_
  bool filter_ = false;
  bool viewOn_ = false;  // filter_ and a search text: view_ is what is shown
  std::int32_t markedCount_ = 0;

  void DrawRow(std::int32_t row, bool highlighted);
  void DrawGutter(std::int32_t screenRow, bool marked);
  void DrawHighlight();
  void DrawAll();
  void DrawMore();
  void DrawPositionBar();
  void DrawSearchLine(const ShortString& text);
  // Searches from SearchFrom; true when it found (and showed) an item.
  bool Search();
  // After typing or Backspace: the view follows the text, then the search.
  void SearchChanged();
  void HandleExtended(std::uint8_t code, std::int32_t& result);
  void HandleOrdinary(std::uint8_t key, std::int32_t& result);
  // HandleOrdinary's steps: the result of a key with ExtKeys on, and a key
  // that edits the search text with ExtKeys off.
  static void ExtKeyResult(std::uint8_t key, std::int32_t& result);
  void EditSearch(std::uint8_t key);

  // Geometry of the current run.
  std::uint8_t x_ = 1;
  std::uint8_t y_ = 1;
  std::uint8_t width_ = 0;
  std::uint8_t height_ = 0;
  std::uint8_t moreState_ = 0;  // more-indicator state last drawn in this run
};

}  // namespace corvix
