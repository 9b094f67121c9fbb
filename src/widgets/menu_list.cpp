// TMenuList: drawing, key loop, incremental search and entry management of
// the single-choice pick list.
#include "widgets/menu_list.h"

#include <algorithm>
#include <utility>

#include "support/string_utils.h"
#include "term/console.h"
#include "term/keys.h"

namespace corvix {

namespace {

constexpr char kThumbTrack = static_cast<char>(0xB0);  // light shade: the bar
constexpr char kThumbMark = static_cast<char>(0xB2);   // dark shade: the position
constexpr std::uint8_t kKeySearchAgain = 1;            // Ctrl-A
constexpr std::uint8_t kKeyEndSearch = 25;             // Ctrl-Y
constexpr std::size_t kSearchShown = 15;
constexpr std::uint8_t kSearchWidth = 17;

std::uint8_t Byte(std::int32_t value) {
  return static_cast<std::uint8_t>(std::clamp<std::int32_t>(value, 0, 255));
}

bool Contains(const ShortString& set, std::uint8_t key) {
  return set.View().find(static_cast<char>(key)) != std::string_view::npos;
}

}  // namespace

void DefaultSearchDisplay(TMenuList& list, const ShortString& search) {
  const char edge = FrameChar(list.Window.FrameStyle, kFrameBottom);
  ShortString shown;
  if (!search.empty()) {
    std::string_view tail = search.View();
    if (tail.size() > kSearchShown) tail.remove_prefix(tail.size() - kSearchShown);
    shown = "[" + LowerStr(ShortString(tail)) + "]";
  }
  WriteXY(list.SearchCol, list.SearchRow, list.SearchAttr, PadRight(shown, kSearchWidth, edge));
}

TMenuList::TMenuList() = default;

// The window is freed with the list and deliberately not closed: a caller that
// wants the screen back calls Close first.
TMenuList::~TMenuList() = default;

void TMenuList::Add(const ShortString& text, std::uint8_t mark) {
  // The vector grows past the design's 10000 entries instead of overrunning a
  // fixed array.
  Items.resize(static_cast<std::size_t>(std::max<std::int32_t>(Count, 0)));
  Items.push_back(TMenuListBoxRec{text, mark});
  Count = static_cast<std::int32_t>(Items.size());
  if (mark == 1) ++MarkedCount;
}

void TMenuList::Clear() {
  Items.clear();
  Count = 0;
  MarkedCount = 0;
}

void TMenuList::Delete(std::int32_t n) {
  if (!HasEntry(n)) return;
  if (Items[n - 1].Mark == 1 && MarkedCount > 0) --MarkedCount;
  Items.erase(Items.begin() + (n - 1));
  Count = static_cast<std::int32_t>(Items.size());
}

void TMenuList::GetEntry(std::int32_t n, ShortString& text, bool& marked) const {
  if (HasEntry(n)) {
    text = Items[n - 1].Text;
    marked = Items[n - 1].Mark == 1;
  } else {
    text.clear();
    marked = false;
  }
}

void TMenuList::DrawRow(std::uint8_t column, std::uint8_t row, std::int32_t n, bool highlighted) {
  const std::uint8_t attr = highlighted ? BarAttr : RowAttr;
  const std::uint8_t width = Byte(RowWidth);
  ShortString text;
  if (!HasEntry(n)) {
    text = RepeatChar(' ', width);
  } else {
    const ShortString row = " " + Items[n - 1].Text + " ";
    switch (RowAlign) {
      case 0:
        text = PadRight(row, width, ' ');
        // A text cut short shows the mark in its last column.
        if (CutMark != 0 && width > 1 &&
            row.View().find_first_not_of(' ', width) != std::string_view::npos)
          text[width - 1] = CutMark;
        break;
      case 1:
        text = PadLeft(row, width, ' ');
        break;
      case 2:
        text = PadCenter(row, width, ' ');
        break;
      default:
        text = row;
        break;
    }
  }
  WriteXY(column, row, attr, text);
  if (Marking) {
    const bool marked = HasEntry(n) && Items[n - 1].Mark == 1;
    WriteXY(MarkColumn, row, MarkAttr, ShortString::Of(marked ? MarkChar : ' '));
  }
}

// Draws entry n on its row when it is on screen.
void TMenuList::DrawEntry(std::int32_t n, bool highlighted) {
  if (n < FirstVisible || n >= FirstVisible + VisibleRows) return;
  DrawRow(Byte(Left + 1), Byte(Top + 1 + (n - FirstVisible)), n, highlighted);
}

void TMenuList::Redraw() {
  for (std::int32_t i = 0; i < VisibleRows; ++i) {
    DrawRow(Byte(Left + 1), Byte(Top + 1 + i), FirstVisible + i, Current == FirstVisible + i);
  }
  UpdateThumb();
}

void TMenuList::UpdateThumb() {
  if (!ShowScrollBar || Count <= 0 || VisibleRows <= 0) return;
  std::int64_t p = static_cast<std::int64_t>(Current) * VisibleRows / Count;
  if (Current >= Count) p = VisibleRows - 1;
  if (p < 0 || Current == 1) p = 0;
  const std::uint8_t row = Byte(Top + 1 + static_cast<std::int32_t>(p));
  if (row == ThumbRow) return;
  const std::uint8_t column = Byte(Left + RowWidth + 1);
  if (ThumbRow > 0) WriteXY(column, ThumbRow, Window.DarkAttr, ShortString::Of(kThumbTrack));
  WriteXY(column, row, Window.DarkAttr, ShortString::Of(kThumbMark));
  ThumbRow = row;
}

// Moves the highlight one entry down: a two-row repaint while the next entry
// is on screen, a scroll by one otherwise.
void TMenuList::MoveDown() {
  if (Current >= Count) return;
  if (Current < FirstVisible + VisibleRows - 1) {
    DrawEntry(Current, false);
    ++Current;
    DrawEntry(Current, true);
    UpdateThumb();
  } else {
    ++Current;
    ++FirstVisible;
    Redraw();
  }
}

void TMenuList::MoveUp() {
  if (Current <= 1) return;
  if (FirstVisible >= Current) {
    --Current;
    --FirstVisible;
    Redraw();
  } else {
    DrawEntry(Current, false);
    --Current;
    DrawEntry(Current, true);
    UpdateThumb();
  }
}

void TMenuList::ShowSearch(const ShortString& search) {
  if (OnSearch) OnSearch(*this, search);
}

void TMenuList::ClearSearch() {
  if (search_.empty()) return;
  search_.clear();
  typed_.clear();
  ShowSearch(search_);
}

// Searches with the current text, which then stays for the next key.
void TMenuList::SearchOn() {
  Search(search_);
  keepSearch_ = true;
}

// Finds the next entry after the current one whose upper-cased text contains
// search, wrapping round once; the current entry itself is never tested, so
// repeating a search walks through the matches.
void TMenuList::Search(const ShortString& search) {
  const std::int32_t oldFirst = FirstVisible;
  const std::int32_t oldCurrent = Current;
  ShowSearch(search);
  if (search.empty() || Count <= 0) return;

  std::int32_t found = 0;
  auto scan = [&](std::int32_t from, std::int32_t to) {
    for (std::int32_t i = from; i <= to && found == 0; ++i) {
      if (i != oldCurrent && HasEntry(i) &&
          UpperStr(Items[i - 1].Text).View().find(search.View()) != std::string_view::npos) {
        found = i;
      }
    }
  };
  scan(oldCurrent + 1, Count);
  if (found == 0) scan(1, oldCurrent - 1);
  if (found == 0) return;

  Current = found;
  if (Current < FirstVisible) {
    FirstVisible = Current;
  } else if (VisibleRows > 0 && Current > FirstVisible + VisibleRows - 1) {
    FirstVisible = Current - VisibleRows + 1;
  }
  if (FirstVisible == oldFirst) {
    if (Current != oldCurrent) {
      DrawEntry(oldCurrent, false);
      DrawEntry(Current, true);
      UpdateThumb();
    }
  } else {
    Redraw();
  }
}

void TMenuList::Close() {
  if (!NoFrame) Window.Close();
}

// Opens the frame, fills in the search display's place and fits Current,
// FirstVisible and the row geometry to the frame X1, Y1, X2, Y2.
void TMenuList::Layout(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2) {
  if (!NoFrame) Window.Open(x1, y1, x2, y2);
  if (SearchCol == 0) SearchCol = Byte(x1 + 2);
  if (SearchRow == 0) SearchRow = y2;
  if (SearchAttr == 0) SearchAttr = Window.HighCornerAttr;

  Left = x1;
  Top = y1;
  if (Current < FirstVisible || Current < 1 || Current > Count || FirstVisible < 1 ||
      FirstVisible > Count) {
    Current = 1;
    FirstVisible = 1;
  }
  // A frame without interior gives zero rows or columns, never a negative count.
  RowWidth = std::max(x2 - x1 - 1, 0);
  VisibleRows = std::max(y2 - y1 - 1, 0);
  MarkColumn = Byte(x1 + 1);
  if (VisibleRows > 0) {
    while (FirstVisible + VisibleRows - 1 < Current) ++FirstVisible;
  }
}

// The position bar's track in the frame's right edge; the mark is drawn anew.
void TMenuList::DrawScrollTrack() {
  const std::uint8_t column = Byte(Left + RowWidth + 1);
  for (std::int32_t i = 1; i <= VisibleRows; ++i) {
    WriteXY(column, Byte(Top + i), Window.DarkAttr, ShortString::Of(kThumbTrack));
  }
  ThumbRow = 0;
}

void TMenuList::Open(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2) {
  Layout(x1, y1, x2, y2);
  if (ShowScrollBar) DrawScrollTrack();
  if (DrawOnly) return;

  Redraw();
  search_.clear();
  typed_.clear();
  SearchTyped.clear();
  keepSearch_ = false;
  for (;;) {
    // The search text lives as long as keys keep extending or repeating it.
    if (keepSearch_) {
      keepSearch_ = false;
    } else {
      ClearSearch();
    }
    if (OnStatus) {
      OnStatus(static_cast<std::uint16_t>(Current),
               HasEntry(Current) ? Items[Current - 1].Text : ShortString());
    }
    SetFocusRow(Byte(Top + 1 + (Current - FirstVisible)));
    const std::uint8_t key = ReadKey();
    const bool ended = key != 0 ? HandleOrdinary(key) : HandleExtended(ReadKey());
    if (ended) return;
  }
}

// An ordinary key: the mark key, an exit key, or the search keys. True when
// the key ends the run.
bool TMenuList::HandleOrdinary(std::uint8_t key) {
  if (Marking && key == MarkKey && HasEntry(Current) && Items[Current - 1].Mark != 2) {
    ToggleMark();
  } else if (Contains(ExitKeys, key)) {
    SearchTyped = typed_;
    ClearSearch();
    LastKey = key;
    return true;
  } else if (key == kKeySearchAgain) {
    SearchOn();
  } else if (key == kKeyEndSearch) {
    // Ends the search: the next pass of the loop erases it.
  } else if (key == kKeyBackspace) {
    if (!search_.empty()) {
      search_.SetLength(search_.size() - 1);
      typed_.SetLength(search_.size());
      SearchOn();
    }
  } else if (key >= 32) {
    search_ += UpperStr(ShortString::Of(static_cast<char>(key)));
    typed_ += static_cast<char>(key);
    SearchOn();
  }
  return false;
}

// An extended key: an exit code or a move. True when the key ends the run.
bool TMenuList::HandleExtended(std::uint8_t code) {
  if (Contains(ExitScanCodes, code)) {
    SearchTyped = typed_;
    ClearSearch();
    LastKey = code;
    return true;
  }
  switch (code) {
    case kScanHome:
      MoveHome();
      break;
    case kScanUp:
      MoveUp();
      break;
    case kScanDown:
      MoveDown();
      break;
    case kScanPgUp:
    case kScanLeft:
      PageUp();
      break;
    case kScanPgDn:
    case kScanRight:
      PageDown();
      break;
    case kScanEnd:
      MoveEnd();
      break;
    default:
      break;
  }
  return false;
}

// Marks or unmarks the current entry, then moves on as Down does.
void TMenuList::ToggleMark() {
  TMenuListBoxRec& entry = Items[Current - 1];
  if (entry.Mark == 1) {
    entry.Mark = 0;
    if (MarkedCount > 0) --MarkedCount;
  } else {
    entry.Mark = 1;
    ++MarkedCount;
  }
  DrawEntry(Current, true);
  MoveDown();
}

void TMenuList::MoveHome() {
  if (Current <= 1) return;
  Current = 1;
  FirstVisible = 1;
  Redraw();
}

void TMenuList::PageUp() {
  if (FirstVisible <= 1 && Current <= 1) return;
  Current = std::max(Current - VisibleRows, 1);
  FirstVisible = std::max(FirstVisible - VisibleRows, 1);
  Redraw();
}

void TMenuList::PageDown() {
  if (Current >= Count) return;
  if (Count <= VisibleRows) {
    Current = Count;
  } else {
    Current = std::min(Current + VisibleRows, Count);
    FirstVisible += VisibleRows;
    if (FirstVisible + VisibleRows > Count) FirstVisible = Count - VisibleRows + 1;
  }
  Redraw();
}

void TMenuList::MoveEnd() {
  if (Current >= Count) return;
  if (Count > VisibleRows) FirstVisible = Count - VisibleRows + 1;
  Current = Count;
  Redraw();
}

}  // namespace corvix
