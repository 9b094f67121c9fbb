// TBar: drawing, the key loop, type-ahead search and sorting of the light-bar list.
#include "widgets/light_bar.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "support/string_utils.h"
#include "term/console.h"
#include "term/keys.h"

namespace corvix {
namespace {

constexpr char kMoreUp = static_cast<char>(244);
constexpr char kMoreDown = static_cast<char>(245);
constexpr std::uint8_t kKeyCtrlA = 1;  // find next
// Between an item's text and its hidden text: the search takes no byte below 32.
constexpr char kHiddenSeparator = '\0';

// Extended-mode stand-ins handed to OnKey for Page Up and Page Down.
constexpr std::uint8_t kExtPageUpKey = '[';
constexpr std::uint8_t kExtPageDownKey = ']';

// 'a'..'z' to upper case, every other byte unchanged: the search compares
// through this table instead of building an upper-cased copy of each text.
constexpr std::array<std::uint8_t, 256> kUpper = [] {
  std::array<std::uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    t[i] = static_cast<std::uint8_t>(i >= 'a' && i <= 'z' ? i - 'a' + 'A' : i);
  }
  return t;
}();

// True when sub occurs in the upper-cased text. An empty sub never occurs.
// Only existence matters, so each byte that upper-cases to sub's first
// character (the character itself and, for a letter, its lower case) is
// looked for with memchr in turn, and the rest compared through the table.
bool OccursInUpper(const ShortString& sub, std::string_view text) {
  const std::size_t n = sub.size();
  const std::size_t m = text.size();
  if (n == 0 || n > m) return false;
  const std::uint8_t first = sub.Byte(0);
  if (first >= 'a' && first <= 'z') return false;  // no byte upper-cases to these
  const std::uint8_t lower =
      first >= 'A' && first <= 'Z' ? static_cast<std::uint8_t>(first + ('a' - 'A')) : first;
  const char* s = text.data();
  const std::size_t starts = m - n + 1;  // positions where an occurrence can begin
  for (const std::uint8_t lead : {first, lower}) {
    for (std::size_t p = 0; p < starts; ++p) {
      const void* hit = std::memchr(s + p, lead, starts - p);
      if (hit == nullptr) break;
      p = static_cast<std::size_t>(static_cast<const char*>(hit) - s);
      std::size_t k = 1;
      while (k < n && kUpper[static_cast<std::uint8_t>(text[p + k])] == sub.Byte(k)) ++k;
      if (k == n) return true;
    }
    if (lower == first) break;
  }
  return false;
}

// True when the pipe-code writer takes "|" + code as a colour code: "00" or a
// value that is not 0 modulo 256 (as a byte, so "-1" counts as 255).
bool IsColourCode(const ShortString& code) {
  return code == ShortString("00") || static_cast<std::uint8_t>(Str2Int(code)) > 0;
}

// Screen columns the pipe-code writer gives a "|" followed by the two
// characters of code, or -1 when the writer shows the "|" as a plain character.
// Colour codes take no room; display codes take what they write (the date,
// the time, "Unix", a blank, a bar) and cursor and screen actions nothing.
// With ColourOnly the writer acts on colour codes alone.
int PipeCodeWidth(const ShortString& code, bool colourOnly) {
  if (IsColourCode(code)) return 0;
  if (colourOnly) return -1;
  static constexpr std::string_view kFamilies = "BCDOPRSTX[";
  if (kFamilies.find(code[0]) == std::string_view::npos) return -1;
  if (code == ShortString("TD")) return 10;  // dd/mm/yyyy
  if (code == ShortString("TT")) return 5;   // hh:mm
  if (code == ShortString("OS")) return 4;   // Unix
  if (code == ShortString("XX") || code == ShortString("PI")) return 1;
  return 0;
}

// Text without its colour codes (the ones FitRow kept as codes): the bar is
// one colour, and a name's own colours on its light background would not be
// readable (dark red on light grey is 1.6:1).
ShortString WithoutColourCodes(const ShortString& text) {
  ShortString out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '|' && i + 2 < text.size() &&
        IsColourCode(ShortString(text.View().substr(i + 1, 2)))) {
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
}

// A row number for WriteXY: rows past 255 stay at 255 (the screen clamps them
// to its last row) instead of wrapping round to the top of the screen.
std::uint8_t RowAt(std::uint8_t y, std::int32_t offset) {
  const std::int32_t row = y + offset;
  return static_cast<std::uint8_t>(std::clamp<std::int32_t>(row, 0, 255));
}

}  // namespace

ShortString FitRow(const ShortString& text, std::uint8_t width, std::size_t room, bool colourOnly,
                   char cutMark) {
  const std::size_t n = text.size();
  auto at = [&](std::size_t i) { return i < n ? text[i] : ' '; };
  ShortString out;
  int cols = 0;
  std::size_t i = 0;
  std::size_t lastPlainBar = ShortString::kMaxLength;  // where in out a "|" shows as itself
  std::size_t lastColumn = ShortString::kMaxLength;    // where in out the last plain character is
  while (i < n || cols < width) {
    const char c = at(i);
    if (c == '|') {
      const char code2[2] = {at(i + 1), at(i + 2)};
      const int w = PipeCodeWidth(ShortString(std::string_view(code2, 2)), colourOnly);
      if (w >= 0) {
        if (cols + w > width) break;
        if (out.size() + 3 + static_cast<std::size_t>(width - cols - w) > room) {
          i += 3;
          continue;
        }
        out += c;
        out += code2[0];
        out += code2[1];
        cols += w;
        i += 3;
        continue;
      }
    }
    if (cols + 1 > width) {
      if (cutMark != 0 && lastColumn < out.size() &&
          text.View().find_first_not_of(' ', i) != std::string_view::npos)
        out[lastColumn] = cutMark;
      break;
    }
    if (c == '|') lastPlainBar = out.size();
    lastColumn = out.size();
    out += c;
    ++cols;
    ++i;
  }
  // A display code too wide for the columns left ends the text early: blanks
  // fill the rest, so the row still covers what was drawn there before.
  while (cols < width) {
    out += ' ';
    ++cols;
  }
  // A cut row that ends on a "|" and one digit would have the writer read a
  // colour code there and leave cells unwritten: show a blank instead.
  if (lastPlainBar + 2 >= out.size() && lastPlainBar < out.size() &&
      IsColourCode(ShortString(out.View().substr(lastPlainBar + 1)))) {
    out[lastPlainBar] = ' ';
  }
  return out;
}

void TBar::Append(std::string_view text, std::string_view data, bool marked,
                  std::string_view hidden) {
  text = text.substr(0, ShortString::kMaxLength);
  data = data.substr(0, ShortString::kMaxLength);
  hidden = hidden.substr(0, ShortString::kMaxLength - 1);
  // Offsets are 32-bit: a list that would hold more than 4 GiB of text takes
  // no further item rather than point into the wrong place.
  if (text_.size() + text.size() + data.size() + hidden.size() >
      std::numeric_limits<std::uint32_t>::max())
    return;
  if (items_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return;
  ItemRec item;
  item.At = static_cast<std::uint32_t>(text_.size());
  item.TextLength = static_cast<std::uint8_t>(text.size());
  item.DataLength = static_cast<std::uint8_t>(data.size());
  item.HiddenLength = static_cast<std::uint8_t>(hidden.empty() ? 0 : hidden.size() + 1);
  item.Marked = marked;
  if (marked) ++markedCount_;
  // A caller that built all in one buffer (the hidden text after a zero
  // byte) has them copied in one go.
  const char* const end = text.data() + text.size();
  if (hidden.empty() ? end == data.data()
                     : end + 1 == hidden.data() && *end == kHiddenSeparator &&
                           hidden.data() + hidden.size() == data.data()) {
    text_.insert(text_.end(), text.data(), data.data() + data.size());
  } else {
    text_.insert(text_.end(), text.begin(), text.end());
    if (!hidden.empty()) {
      // A byte that no search text holds keeps a match from spanning both.
      text_.push_back(kHiddenSeparator);
      text_.insert(text_.end(), hidden.begin(), hidden.end());
    }
    text_.insert(text_.end(), data.begin(), data.end());
  }
  items_.push_back(item);
  Count = static_cast<std::int32_t>(items_.size());
}

void TBar::Add(const ShortString& text) { Append(text.View(), {}, false); }

void TBar::Add(std::string_view text, std::string_view data, std::string_view hidden) {
  Append(text, data, false, hidden);
}

void TBar::WidenTexts(std::size_t at, char ch) {
  bool inOrder = true;
  for (std::size_t i = 1; i < items_.size() && inOrder; ++i)
    inOrder = items_[i - 1].At < items_[i].At;
  if (!inOrder) {
    // Sorted items lie anywhere in the block: copied into a new one, in order.
    std::vector<char, TLargeBlockAllocator<char>> packed;
    packed.reserve(text_.capacity());
    for (ItemRec& item : items_) {
      const char* old = text_.data() + item.At;
      item.At = static_cast<std::uint32_t>(packed.size());
      packed.insert(packed.end(), old, old + item.TextLength + item.HiddenLength + item.DataLength);
    }
    text_.swap(packed);
  }
  // Items as Add leaves them, each after the one before: every item moves up
  // by the bytes its predecessors gain, so working from the last one back
  // writes only over bytes already moved, in the block as it is (a list being
  // loaded has room reserved, and no new block is touched page by page).
  std::size_t gained = 0;
  for (const ItemRec& item : items_)
    gained += item.TextLength > at && item.TextLength < ShortString::kMaxLength ? 1 : 0;
  text_.resize(text_.size() + gained);
  char* const base = text_.data();
  for (std::size_t i = items_.size(); i-- > 0;) {
    ItemRec& item = items_[i];
    const std::size_t length = item.TextLength;
    const bool widened = length > at;
    const bool grows = widened && length < ShortString::kMaxLength;
    if (grows) --gained;
    char* const from = base + item.At;
    char* const to = from + gained;
    const std::size_t newLength = grows ? length + 1 : length;
    // The hidden text and the value first, then the text behind the new
    // column, the column and what goes before it: each lands at or above
    // where it was, past what is still to be moved.
    std::memmove(to + newLength, from + length, item.HiddenLength + item.DataLength);
    if (widened) {
      std::memmove(to + at + 1, from + at, newLength - at - 1);
      to[at] = ch;
    }
    std::memmove(to, from, widened ? at : length);
    item.At = static_cast<std::uint32_t>(item.At + gained);
    item.TextLength = static_cast<std::uint8_t>(newLength);
  }
}

void TBar::Reserve(std::size_t items, std::size_t textBytes) {
  items_.reserve(items_.size() + items);
  text_.reserve(text_.size() + textBytes);
}

std::string_view TBar::TextView(std::int32_t index) const {
  if (!IsItem(index)) return {};
  const ItemRec& item = items_[Slot(index)];
  return std::string_view(text_.data() + item.At, item.TextLength);
}

std::string_view TBar::HiddenView(std::int32_t index) const {
  if (!IsItem(index)) return {};
  const ItemRec& item = items_[Slot(index)];
  if (item.HiddenLength == 0) return {};
  return std::string_view(text_.data() + item.At + item.TextLength + 1, item.HiddenLength - 1u);
}

std::string_view TBar::DataView(std::int32_t index) const {
  if (!IsItem(index)) return {};
  const ItemRec& item = items_[Slot(index)];
  return std::string_view(text_.data() + item.At + item.TextLength + item.HiddenLength,
                          item.DataLength);
}

void TBar::SetMarked(std::int32_t index, bool marked) {
  if (!IsItem(index)) return;
  ItemRec& item = items_[Slot(index)];
  if (item.Marked != marked) markedCount_ += marked ? 1 : -1;
  item.Marked = marked;
}

bool TBar::ItemMatches(const ItemRec& item) const {
  // The hidden text follows the text after a separator: one pass over both.
  return OccursInUpper(
      SearchText, std::string_view(text_.data() + item.At, item.TextLength + item.HiddenLength));
}

void TBar::MarkMatching() {
  const bool all = SearchText.empty();
  for (ItemRec& item : items_) {
    if (all || ItemMatches(item)) {
      item.Marked = true;
    }
  }
  markedCount_ = 0;
  for (const ItemRec& item : items_) markedCount_ += item.Marked ? 1 : 0;
}

void TBar::UnmarkAll() {
  for (ItemRec& item : items_) item.Marked = false;
  markedCount_ = 0;
}

void TBar::InvertMarks() {
  for (ItemRec& item : items_) item.Marked = !item.Marked;
  markedCount_ = ItemCount() - markedCount_;
}

void TBar::SetFilter(bool on) {
  filter_ = on;
  SearchFrom = 0;
  UpdateView();
}

void TBar::UpdateView() {
  const std::int32_t item = CurrentItem();
  const std::int32_t row = Cursor - Top;
  viewOn_ = filter_ && !SearchText.empty();
  view_.clear();
  std::int32_t cursor = std::clamp<std::int32_t>(item, 0, std::max(ItemCount() - 1, 0));
  if (viewOn_) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (ItemMatches(items_[i])) {
        view_.push_back(static_cast<std::int32_t>(i));
      }
    }
    // The highlighted item's row, or the next shown item's (the last when
    // none follows it).
    const auto at = std::lower_bound(view_.begin(), view_.end(), item);
    cursor = static_cast<std::int32_t>(at - view_.begin());
    if (cursor > 0 && cursor == Shown()) --cursor;
  }
  // The highlight keeps its screen row where the rows above and below allow.
  Cursor = cursor;
  Top = std::clamp<std::int32_t>(cursor - std::clamp<std::int32_t>(row, 0, height_), 0,
                                 std::max(Shown() - height_, 0));
  if (Top > Cursor) Top = Cursor;
}

void TBar::SetData(std::int32_t index, const ShortString& data) {
  if (!IsItem(index)) return;
  ItemRec& item = items_[Slot(index)];
  if (data.size() <= item.DataLength) {
    std::memcpy(text_.data() + item.At + item.TextLength + item.HiddenLength, data.data(),
                data.size());
    item.DataLength = static_cast<std::uint8_t>(data.size());
    return;
  }
  // A longer value does not fit behind the text: the item's bytes move to the
  // end of the block (the old ones stay unused until Clear).
  // A copy of the text and hidden text: the block may move as it grows.
  const std::string kept(text_.data() + item.At, item.TextLength + item.HiddenLength);
  if (text_.size() + kept.size() + data.size() > std::numeric_limits<std::uint32_t>::max()) return;
  item.At = static_cast<std::uint32_t>(text_.size());
  item.DataLength = static_cast<std::uint8_t>(data.size());
  text_.insert(text_.end(), kept.begin(), kept.end());
  text_.insert(text_.end(), data.begin(), data.end());
}

void TBar::Clear() {
  items_.clear();
  items_.shrink_to_fit();
  text_.clear();
  text_.shrink_to_fit();
  Count = -1;
  Cursor = 0;
  markedCount_ = 0;
  view_.clear();
  viewOn_ = false;
}

void TBar::Sort() {
  // Repeated passes that swap neighbours whose first text is greater give the
  // same order as a stable sort, which gets there without the quadratic cost.
  // Texts compare by unsigned byte, as short strings do.
  const char* base = text_.data();
  std::stable_sort(items_.begin(), items_.end(), [base](const ItemRec& a, const ItemRec& b) {
    return std::string_view(base + a.At, a.TextLength) <
           std::string_view(base + b.At, b.TextLength);
  });
  if (viewOn_) UpdateView();  // the shown items moved with the rest
}

void TBar::DrawRow(std::int32_t row, bool highlighted) {
  // Only rows of the list's rectangle are drawn, whatever Cursor or Top hold.
  if (!IsShown(row) || row < Top || row - Top >= height_) return;
  const std::int32_t index = ItemAt(row);
  const ShortString& prefix = Marked(index) ? (highlighted ? BarMarkColor : NormalMarkColor)
                                            : (highlighted ? BarColor : NormalColor);
  const ShortString shown = FitRow(Text(index), width_, ShortString::kMaxLength - prefix.size(),
                                   ColourCodesOnly, CutMark);
  WriteXYPipe(x_, RowAt(y_, row - Top), 7,
              prefix + (highlighted ? WithoutColourCodes(shown) : shown), false, ColourCodesOnly);
  DrawGutter(row - Top, Marked(index));
}

void TBar::DrawGutter(std::int32_t screenRow, bool marked) {
  if (MarkChar == 0 || x_ < 2) return;
  WriteXY(static_cast<std::uint8_t>(x_ - 1), RowAt(y_, screenRow), marked ? MarkAttr : GutterAttr,
          ShortString::Of(marked ? MarkChar : GutterChar));
}

void TBar::DrawHighlight() {
  if (!IsShown(Cursor)) return;
  DrawRow(Cursor, true);
  if (OnMove) OnMove(CurrentItem());
}

void TBar::DrawAll() {
  const ShortString blanks = ShortString::Of(' ', width_);
  for (std::int32_t r = 0; r < height_; ++r) {
    if (IsShown(Top + r)) {
      DrawRow(Top + r, false);
    } else {
      WriteXY(x_, RowAt(y_, r), 7, blanks);
      DrawGutter(r, false);
    }
  }
  DrawHighlight();
}

void TBar::DrawMore() {
  if (!ShowMore) return;
  const bool up = Top > 0;
  const bool down = Top + height_ < Shown();
  const std::uint8_t state = static_cast<std::uint8_t>((up ? 1 : 0) + (down ? 2 : 0));
  if (state == moreState_) return;
  moreState_ = state;
  GotoXY(MoreX, MoreY);
  WritePipe(MoreColor + (up ? kMoreUp : ' ') + (down ? kMoreDown : ' ') + " more");
}

void TBar::DrawPositionBar() {
  // Without a row or a column there is no place for the bar inside the list.
  if (!ScrollBar || Shown() <= 0 || width_ == 0 || height_ == 0) return;
  const std::uint8_t col = static_cast<std::uint8_t>(std::min(x_ + width_ - 1, 255));
  const ShortString track = ShortString::Of(TrackChar);
  for (std::int32_t r = 0; r < height_; ++r) WriteXY(col, RowAt(y_, r), TrackAttr, track);
  const std::int32_t count = Shown();
  std::int32_t t;
  if (Cursor == 0) {
    t = 0;
  } else if (Cursor == count - 1) {
    t = height_ - 1;
  } else {
    t = static_cast<std::int32_t>(static_cast<std::int64_t>(height_) * Cursor / count);
  }
  t = std::clamp<std::int32_t>(t, 0, height_ - 1);
  WriteXY(col, RowAt(y_, t), ThumbAttr, ShortString::Of(ThumbChar));
}

void TBar::DrawSearchLine(const ShortString& text) {
  // SearchX 0 means the caller shows no search line: nothing may land at the
  // screen's corner, where the clamped position would put it.
  if (SearchX != 0) WriteXY(SearchX, SearchY, SearchAttr, text);
}

bool TBar::Search() {
  if (Shown() <= 0 || SearchText.empty()) return false;
  const std::int32_t shown = Shown();
  for (std::int32_t row = std::max<std::int32_t>(SearchFrom, 0); row < shown; ++row) {
    if (ItemMatches(items_[Slot(ItemAt(row))])) {
      Top = Cursor = SearchFrom = row;
      DrawAll();
      return true;
    }
  }
  return false;
}

TBarRedraw TBar::KeyHomeEnd(std::uint8_t code) {
  if (code == kScanHome) {
    Top = 0;
    Cursor = 0;
  } else {
    // On an empty list this leaves Cursor at -1 (or -2 after Clear); every
    // use of Cursor as an index checks it first.
    if (Shown() > height_) Top = Shown() - height_;
    Cursor = Shown() - 1;
  }
  SearchFrom = 0;
  return TBarRedraw::kAll;
}

TBarRedraw TBar::KeyLeftRight(std::uint8_t code, std::int32_t& result) {
  result = code == kScanLeft ? barLeft : barRight;
  SearchFrom = 0;
  return TBarRedraw::kNone;
}

TBarRedraw TBar::KeyUpDown(std::uint8_t code) {
  SearchFrom = 0;
  if (code == kScanUp) {
    if (Cursor > Top) {
      --Cursor;
      return TBarRedraw::kRows;
    }
    if (Top > 0) {
      --Top;
      --Cursor;
      return TBarRedraw::kAll;
    }
    return TBarRedraw::kNone;
  }
  if (Cursor >= Shown() - 1) return TBarRedraw::kNone;
  ++Cursor;
  if (Cursor - 1 < Top + height_ - 1) return TBarRedraw::kRows;
  ++Top;
  return TBarRedraw::kAll;
}

TBarRedraw TBar::KeyPage(std::uint8_t code) {
  const std::int32_t height = height_;
  const std::int32_t shown = Shown();
  if (ExtKeys) {
    if (OnKey) OnKey(code == kScanPgUp ? kExtPageUpKey : kExtPageDownKey, CurrentItem());
    return TBarRedraw::kAll;
  }
  SearchFrom = 0;
  if (code == kScanPgUp) {
    if (Top - height >= 0) {
      Top -= height;
      Cursor -= height;
    } else {
      Top = 0;
      Cursor = 0;
    }
  } else if (shown > height) {
    if (shown - 1 > Top + height) {
      Top += height;
      Cursor = Top;
    } else {
      Top = shown - height;
      Cursor = shown - 1;
    }
  }
  return TBarRedraw::kAll;
}

TBarRedraw TBar::ApplyExtended(std::uint8_t code, std::int32_t& result) {
  switch (code) {
    case kScanHome:
    case kScanEnd:
      return KeyHomeEnd(code);
    case kScanLeft:
    case kScanRight:
      return KeyLeftRight(code, result);
    case kScanUp:
    case kScanDown:
      return KeyUpDown(code);
    case kScanPgUp:
    case kScanPgDn:
      return KeyPage(code);
    default:
      return TBarRedraw::kNone;
  }
}

void TBar::Redraw(TBarRedraw what, std::int32_t oldCursor) {
  if (what == TBarRedraw::kRows) {
    DrawRow(oldCursor, false);
    DrawHighlight();
  } else if (what == TBarRedraw::kAll) {
    DrawAll();
  }
}

void TBar::HandleExtended(std::uint8_t code, std::int32_t& result) {
  const std::int32_t oldCursor = Cursor;
  Redraw(ApplyExtended(code, result), oldCursor);
  if (OnExtended) OnExtended(code, CurrentItem());
  if (OnKey) OnKey(code, CurrentItem());
  DrawAll();
}

void TBar::HandleOrdinary(std::uint8_t key, std::int32_t& result) {
  if (key == kKeyEscape) result = barEscape;
  if (key == kKeyEnter && Count >= 0) {
    result = barEnter;
    if (OnEnter) OnEnter(CurrentItem());
  }
  if (OnKey) OnKey(key, CurrentItem());
  DrawAll();
  if (ExtKeys)
    ExtKeyResult(key, result);
  else
    EditSearch(key);
}

void TBar::ExtKeyResult(std::uint8_t key, std::int32_t& result) {
  switch (key) {
    case '+':
      result = barPlus;
      break;
    case '-':
      result = barMinus;
      break;
    case '*':
      result = barStar;
      break;
    case '/':
      result = barSlash;
      break;
    case kKeyBackspace:
      result = barBackspace;
      break;
    default:
      break;
  }
}

void TBar::EditSearch(std::uint8_t key) {
  if (key == kKeyCtrlA) {
    SearchFrom = IsShown(SearchFrom + 1) ? SearchFrom + 1 : 0;
    Search();
  } else if (key >= 32 && key <= 128) {
    SearchText += static_cast<char>(kUpper[key]);
    SearchFrom = 0;
    SearchChanged();
  } else if (key == kKeyBackspace) {
    if (!SearchText.empty()) SearchText.SetLength(SearchText.size() - 1);
    DrawSearchLine(SearchText + " ");
    SearchFrom = 0;
    SearchChanged();
  } else if (key == kKeyCtrlY) {
    if (SearchX != 0) {
      GotoXY(SearchX, SearchY);
      WriteStr(ShortString::Of(' ', SearchText.size()));
    }
    SearchText.clear();
    if (filter_) {
      UpdateView();
      DrawAll();
    }
    SearchFrom = 0;
  }
}

void TBar::SearchChanged() {
  if (!filter_) {
    Search();
    return;
  }
  // The view follows the text; the search then finds its first row (or,
  // with the text gone, nothing, and the highlight stays on its item).
  UpdateView();
  SearchFrom = 0;
  if (!Search()) DrawAll();
}

void TBar::Layout(std::uint8_t x, std::uint8_t y, std::uint8_t width, std::uint8_t height,
                  std::int32_t start) {
  x_ = x;
  y_ = y;
  width_ = width;
  height_ = height;
  moreState_ = 0;
  // A negative Start names no item; it is taken as the first, like a Start
  // past the end, so the highlight never points before the list.
  if (start < 0) start = 0;
  const std::int32_t shown = Shown();
  if (start > shown - 1) {
    Top = 0;
    Cursor = 0;
  } else if (start > shown - height) {
    Top = std::max(shown - height, 0);
    Cursor = start;
  } else {
    Top = start;
    Cursor = start;
  }
}

std::int32_t TBar::Run(std::uint8_t x, std::uint8_t y, std::uint8_t width, std::uint8_t height,
                       std::int32_t start) {
  Layout(x, y, width, height, start);
  DrawAll();

  std::int32_t result = 0;
  while (result == 0) {
    DrawMore();
    DrawSearchLine(SearchText);
    DrawPositionBar();
    SetFocusRow(RowAt(y_, Cursor - Top), SearchX != 0 ? SearchY : 0);
    const std::uint8_t key = ReadKey();
    if (key == kKeyExtended) {
      HandleExtended(ReadKey(), result);
    } else {
      HandleOrdinary(key, result);
    }
  }
  return result;
}

}  // namespace corvix
