// The change-only renderer: the wanted screen kept as a terminal would carry
// out the full stream, and the cells, cursor moves and SGR changes that bring
// the terminal's screen to it in few bytes.
#include "term/screen_diff.h"

#include <algorithm>
#include <utility>

#include "support/string_utils.h"
#include "term/cp437.h"

namespace corvix {
namespace {

constexpr int kCols = kScreenCols;
constexpr int kRows = kScreenRows;
constexpr int kPending = kCols + 1;  // curX_ while a wrap is pending in column 80
constexpr std::uint32_t kAllRows = (1u << kRows) - 1;

std::uint32_t RowBit(int y) { return 1u << (y - 1); }

// Byte 127 is the cut mark (kCutMark), which leaves the process as a
// printable character: only bytes below 32 would act instead of show.
bool IsControl(char ch) { return static_cast<unsigned char>(ch) < 32; }

bool Blank(TCharInfo c) { return c.Ch == ' '; }

std::string Csi(int n, char final) {
  std::string s = "\x1b[";
  if (n != 1) s += std::to_string(n);
  s += final;
  return s;
}

std::string Cup(int x, int y) {
  std::string s = "\x1b[";
  if (y != 1 || x != 1) s += std::to_string(y);
  if (x != 1) {
    s += ';';
    s += std::to_string(x);
  }
  s += 'H';
  return s;
}

// The scroll region sequence; it also puts the cursor home.
std::string Region(int top, int bot) {
  std::string s = "\x1b[";
  s += std::to_string(top);
  s += ';';
  s += std::to_string(bot);
  s += 'r';
  return s;
}

void Shorter(std::string& best, std::string&& candidate) {
  if (candidate.size() < best.size()) best = std::move(candidate);
}

}  // namespace

TScreenDiff::TScreenDiff(TSgrProc sgr, bool utf8) : Utf8(utf8), sgr_(std::move(sgr)) {
  for (auto& row : Want) row.fill(TCharInfo{kDefaultAttr, ' '});
  for (int a = 0; a < 256; ++a) BlankLook[static_cast<std::size_t>(a)] = a & 0xF0;
}

// A blank shows only what BlankLook keeps of its attribute; any other
// character shows its whole attribute.
bool TScreenDiff::LooksSame(TCharInfo a, TCharInfo b) const {
  if (a.Ch != b.Ch) return false;
  if (Blank(a)) return SameBlank(a.Attr, b.Attr);
  return a.Attr == b.Attr;
}

// ---- The wanted screen. ----

void TScreenDiff::ScrollRegion(std::uint8_t attr) {
  for (int r = RegionTop; r < RegionBot; ++r) {
    Want[r - 1] = Want[r];
    dirty_ |= RowBit(r);
  }
  Want[RegionBot - 1].fill(TCharInfo{attr, ' '});
  dirty_ |= RowBit(RegionBot);
}

void TScreenDiff::Print(char ch, std::uint8_t attr) {
  if (WantPending) {
    WantPending = false;
    WantX = 1;
    if (WantY == RegionBot) {
      ScrollRegion(attr);
    } else if (WantY < kRows) {
      ++WantY;
    }
  }
  Want[WantY - 1][WantX - 1] = TCharInfo{attr, ch};
  dirty_ |= RowBit(WantY);
  if (WantX < kCols) {
    ++WantX;
  } else {
    WantPending = true;
  }
}

void TScreenDiff::CarriageReturn() {
  WantX = 1;
  WantPending = false;
}

bool TScreenDiff::LineFeed(std::uint8_t attr) {
  if (WantPending) return false;  // terminals differ on whether the wrap stays pending
  if (WantY == RegionBot) {
    ScrollRegion(attr);
  } else if (WantY < kRows) {
    ++WantY;
  }
  return true;
}

void TScreenDiff::Backspace() {
  WantPending = false;
  if (WantX > 1) --WantX;
}

void TScreenDiff::MoveTo(std::uint8_t x, std::uint8_t y) {
  WantX = x;
  WantY = y;
  WantPending = false;
}

void TScreenDiff::EraseToEol(std::uint8_t attr) {
  for (int x = WantX; x <= kCols; ++x) Want[WantY - 1][x - 1] = TCharInfo{attr, ' '};
  dirty_ |= RowBit(WantY);
}

void TScreenDiff::EraseRow(std::uint8_t y, std::uint8_t attr) {
  if (y < 1 || y > kRows) return;
  Want[y - 1].fill(TCharInfo{attr, ' '});
  dirty_ |= RowBit(y);
}

void TScreenDiff::TakeImage(const TConsoleScreenRec& image, std::uint8_t x, std::uint8_t y) {
  for (int r = 0; r < kRows; ++r) Want[r] = image[r];
  dirty_ = kAllRows;
  MoveTo(x, y);
}

// ---- The terminal's screen. ----

void TScreenDiff::MarkUnknown() {
  known_ = false;
  dirty_ = kAllRows;
  ForgetPen();
}

void TScreenDiff::MoveWindow(std::uint8_t first, std::uint8_t windowBot) {
  const TScreenRowsRec before = shown_;
  const int shift = first - FirstRow;
  for (int y = first; y <= windowBot; ++y) {
    shown_[y - 1] = before[y - 1 - shift];
    dirty_ |= RowBit(y);
  }
  FirstRow = first;
  WindowBot = windowBot;
  curX_ = 0;  // the cursor's terminal row now stands for another image row
  curY_ = 0;
}

void TScreenDiff::ForgetPen() {
  curX_ = 0;
  curY_ = 0;
  pen_ = -1;
}

bool TScreenDiff::OnTerminal(int y) const {
  return (y >= FirstRow && y <= WindowBot) || y == kRows;
}

int TScreenDiff::PieceBot() const { return WindowBot >= kRows - 1 ? kRows : WindowBot; }

int TScreenDiff::TermRow(int y) const {
  if (y == kRows) return std::min<int>(WindowBot, kRows - 1) - FirstRow + 2;
  return std::clamp(y, static_cast<int>(FirstRow), static_cast<int>(WindowBot)) - FirstRow + 1;
}

std::string TScreenDiff::CupAt(int x, int y) const { return Cup(x, TermRow(y)); }

std::string TScreenDiff::RegionAt(int top, int bot) const {
  return Region(TermRow(std::max<int>(top, FirstRow)), TermRow(bot));
}

std::size_t TScreenDiff::Cost(char ch) const {
  const auto b = static_cast<unsigned char>(ch);
  if (!Utf8 || b < 0x80) return 1;
  return kCp437High[b - 0x80] < 0x800 ? 2 : 3;
}

void TScreenDiff::Pen(std::uint8_t attr, std::string& out) {
  if (pen_ == attr) return;
  if (pen_ < 0) {
    out += ResetText;
    pen_ = kDefaultAttr;
  }
  out += sgr_(static_cast<std::uint8_t>(pen_), attr).View();
  pen_ = attr;
}

// A blank needs only the right background: the pen in force serves when its
// background is that one.
void TScreenDiff::PenForBlank(std::uint8_t attr, std::string& out) {
  if (pen_ < 0 || !SameBlank(static_cast<std::uint8_t>(pen_), attr)) Pen(attr, out);
}

// The moves from the cursor's row to row Y: Vertical from where the cursor
// is, AfterCr once a carriage return has put it in column 1.
void TScreenDiff::VerticalMoves(int y, std::string& vertical, std::string& afterCr) const {
  const int dy = y - curY_;
  if (dy < 0) {
    vertical = afterCr = Csi(-dy, 'A');
    return;
  }
  if (dy == 0) return;
  // Line feeds move down without a column change in raw mode, but scroll on
  // the region's last row; after a wrap they act differently on different
  // terminals, so only a carriage return may come before.
  bool feedable = true;
  for (int r = curY_; r < y && feedable; ++r) feedable = r != RegionBot;
  vertical = afterCr = Csi(dy, 'B');
  if (feedable && static_cast<std::size_t>(dy) < vertical.size()) {
    afterCr.assign(static_cast<std::size_t>(dy), '\n');
    if (curX_ != kPending) vertical = afterCr;
  }
}

// The bytes of printing the shown cells from the cursor up to column X of
// its row again, or Limit when that is no shorter (a cell out of the pen, or
// a control byte, cannot be printed again).
std::size_t TScreenDiff::ReprintCost(int x, std::size_t limit) const {
  if (pen_ < 0) return limit;
  std::size_t cost = 0;
  for (int c = curX_; c < x && cost < limit; ++c) {
    const TCharInfo cell = shown_[curY_ - 1][c - 1];
    const bool inPen =
        cell.Attr == pen_ || (Blank(cell) && SameBlank(cell.Attr, static_cast<std::uint8_t>(pen_)));
    cost = inPen && !IsControl(cell.Ch) ? cost + Cost(cell.Ch) : limit;
  }
  return cost;
}

// The shortest way from the cursor to (X, Y): an absolute move, or a move
// down or up followed by one along the row, or, on the same row, printing
// the cells in between again when they are short and already in the pen.
void TScreenDiff::GoTo(int x, int y, std::string& out) {
  // A row not on the terminal is taken as the nearest one that is.
  if (!OnTerminal(y)) y = y < FirstRow ? FirstRow : WindowBot;
  if (curX_ == x && curY_ == y) return;
  std::string best = CupAt(x, y);
  // Relative moves up and down stop at the scroll region's margins, and
  // count terminal rows, which image rows apart from the window are not.
  const bool crossesMargin = (curY_ <= RegionBot && y > RegionBot) ||
                             (curY_ >= RegionTop && y < RegionTop) ||
                             (curY_ > PieceBot()) != (y > PieceBot());
  if (curY_ != 0 && !crossesMargin) {
    std::string vertical, afterCr;
    VerticalMoves(y, vertical, afterCr);
    // From column 1 after a carriage return, which also ends a pending wrap.
    std::string fromStart(1, '\r');
    fromStart += afterCr;
    if (x > 1) fromStart += Csi(x - 1, 'C');
    Shorter(best, std::move(fromStart));
    Shorter(best, vertical + Csi(x, 'G'));
    const int dx = x - curX_;
    if (curX_ < 1 || curX_ > kCols) {
      // A pending wrap: only the moves above start from a known column.
    } else if (dx == 0) {
      Shorter(best, std::string(vertical));
    } else if (dx < 0) {
      Shorter(best, vertical + std::string(static_cast<std::size_t>(-dx), '\b'));
      Shorter(best, vertical + Csi(-dx, 'D'));
    } else {
      Shorter(best, vertical + Csi(dx, 'C'));
      if (y == curY_ && ReprintCost(x, best.size()) < best.size()) {
        for (int c = curX_; c < x; ++c) out += shown_[y - 1][c - 1].Ch;
        curX_ = x;
        return;
      }
    }
  }
  out += best;
  curX_ = x;
  curY_ = y;
}

void TScreenDiff::Emit(int x, int y, TCharInfo cell, std::string& out) {
  GoTo(x, y, out);
  if (Blank(cell)) {
    PenForBlank(cell.Attr, out);
  } else {
    Pen(cell.Attr, out);
  }
  out += cell.Ch;
  shown_[y - 1][x - 1] = TCharInfo{static_cast<std::uint8_t>(pen_), cell.Ch};
  curX_ = x < kCols ? x + 1 : kPending;
}

int TScreenDiff::RowMatches(int y, int z) const {
  int n = 0;
  for (int x = 0; x < kCols; ++x) n += LooksSame(Want[y - 1][x], shown_[z - 1][x]) ? 1 : 0;
  return n;
}

// The best region and shift among those moving rows by up to three, and the
// cells it saves over drawing without it (only gains above kMinGain count).
// Now[y]: cells of Want row y the terminal shows right as it is; Blank[y]:
// those a blank row would show right.
TScreenDiff::TScroll TScreenDiff::BestScroll(const TRowCounts& now, const TRowCounts& blank) const {
  constexpr int kMaxShift = 3;
  constexpr int kMinGain = 48;  // cells; the scroll itself costs about 20 bytes
  TScroll best{kMinGain, 0, 0, 0};
  for (int k = -kMaxShift; k <= kMaxShift; ++k) {
    if (k == 0) continue;
    const int shift = k > 0 ? k : -k;
    // moved[y]: what Want row y gains when shown row y + k comes to it.
    std::array<int, kRows + 2> prefix{};
    for (int y = 1; y <= kRows; ++y) {
      const int from = y + k;
      const int moved = from >= 1 && from <= kRows ? RowMatches(y, from) - now[y] : -kCols;
      prefix[y] = prefix[y - 1] + moved;
    }
    // Rows that come in blank count only what they lose: blank rows are
    // cheap to erase without a scroll.
    std::array<int, kRows + 2> blankPrefix{};
    for (int y = 1; y <= kRows; ++y)
      blankPrefix[y] = blankPrefix[y - 1] + std::min(0, blank[y] - now[y]);
    // Only rows in one piece on the terminal move together.
    for (int top = FirstRow; top <= PieceBot(); ++top) {
      for (int bot = top + shift; bot <= PieceBot(); ++bot) {
        // Up (k > 0): rows top..bot-k take the rows below, bot-k+1..bot come
        // in blank. Down: rows top+k..bot take the rows above, top..top+k-1
        // come in blank.
        const int gain = k > 0 ? prefix[bot - shift] - prefix[top - 1] + blankPrefix[bot] -
                                     blankPrefix[bot - shift]
                               : prefix[bot] - prefix[top + shift - 1] +
                                     blankPrefix[top + shift - 1] - blankPrefix[top - 1];
        if (gain > best.Gain) best = {gain, k, top, bot};
      }
    }
  }
  return best;
}

// Moves the terminal's rows as Scroll says, with a scroll region and line
// feeds (up) or reverse line feeds (down); the rows that come in are blank
// in BlankAttr.
void TScreenDiff::ApplyScroll(const TScroll& scroll, std::uint8_t blankAttr, std::string& out) {
  Pen(blankAttr, out);
  out += RegionAt(scroll.Top, scroll.Bot);
  const int shift = scroll.Shift > 0 ? scroll.Shift : -scroll.Shift;
  const TCharInfo blankCell{blankAttr, ' '};
  if (scroll.Shift > 0) {
    out += CupAt(1, scroll.Bot) + std::string(static_cast<std::size_t>(shift), '\n');
    for (int y = scroll.Top; y <= scroll.Bot - shift; ++y) shown_[y - 1] = shown_[y - 1 + shift];
    for (int y = scroll.Bot - shift + 1; y <= scroll.Bot; ++y) shown_[y - 1].fill(blankCell);
  } else {
    out += CupAt(1, scroll.Top);
    for (int i = 0; i < shift; ++i) out += "\x1bM";
    for (int y = scroll.Bot; y >= scroll.Top + shift; --y) shown_[y - 1] = shown_[y - 1 - shift];
    for (int y = scroll.Top; y < scroll.Top + shift; ++y) shown_[y - 1].fill(blankCell);
  }
  for (int y = scroll.Top; y <= scroll.Bot; ++y) dirty_ |= RowBit(y);
  // Back to the region the program set; either sequence puts the cursor home.
  if (RegionTop == 1 && RegionBot == kRows) {
    out += "\x1b[r";
  } else {
    out += RegionAt(RegionTop, RegionBot);
  }
  curX_ = 1;
  curY_ = FirstRow;
}

// Rows that moved up or down together (a list scrolled by a line or two)
// are moved on the terminal instead of being drawn again, when that saves
// many cells.
void TScreenDiff::ScrollShown(std::string& out) {
  TRowCounts now{};
  int differing = 0;
  for (int y = 1; y <= kRows; ++y) {
    now[y] = (dirty_ & RowBit(y)) != 0 ? RowMatches(y, y) : kCols;
    differing += now[y] < kCols ? 1 : 0;
  }
  if (differing < 3) return;
  const std::uint8_t blankAttr = pen_ >= 0 ? static_cast<std::uint8_t>(pen_) : kDefaultAttr;
  TRowCounts blank{};
  for (int y = 1; y <= kRows; ++y) {
    for (int x = 0; x < kCols; ++x)
      blank[y] += LooksSame(Want[y - 1][x], TCharInfo{blankAttr, ' '}) ? 1 : 0;
  }
  const TScroll best = BestScroll(now, blank);
  if (best.Shift != 0) ApplyScroll(best, blankAttr, out);
}

// The attribute of the blanks most cells want (Attr when none is blank):
// the screen is cleared in it.
std::uint8_t TScreenDiff::CommonBlankAttr(std::uint8_t attr) const {
  std::array<int, 16> blanks{};
  std::array<std::uint8_t, 16> sample{};
  for (const auto& row : Want) {
    for (const TCharInfo c : row) {
      if (!Blank(c)) continue;
      ++blanks[c.Attr >> 4];
      sample[c.Attr >> 4] = c.Attr;
    }
  }
  std::size_t most = 0;
  for (std::size_t i = 1; i < blanks.size(); ++i) {
    if (blanks[i] > blanks[most]) most = i;
  }
  return blanks[most] > 0 ? sample[most] : attr;
}

// Whether clearing the screen in Fill and drawing every other cell costs
// less than drawing what differs from what the terminal shows.
bool TScreenDiff::ClearingIsCheaper(std::uint8_t fill) const {
  constexpr std::size_t kRowErase = 6;  // a move and an erase, about
  std::size_t keep = 0;
  std::size_t clear = 4;
  for (int y = FirstRow - 1; y < kRows; ++y) {
    if (!OnTerminal(y + 1)) continue;
    bool keepBlanks = false;
    bool clearBlanks = false;
    for (int x = 0; x < kCols; ++x) {
      const TCharInfo w = Want[y][x];
      if (IsControl(w.Ch)) continue;
      if (!LooksSame(w, shown_[y][x])) {
        if (Blank(w)) {
          keepBlanks = true;
        } else {
          keep += Cost(w.Ch);
        }
      }
      if (!Blank(w)) {
        clear += Cost(w.Ch);
      } else if (!SameBlank(w.Attr, fill)) {
        clearBlanks = true;
      }
    }
    keep += keepBlanks ? kRowErase : 0;
    clear += clearBlanks ? kRowErase : 0;
  }
  return clear < keep;
}

void TScreenDiff::ClearShown(std::uint8_t fill, std::string& out) {
  Pen(fill, out);
  out += "\x1b[2J";
  for (int y = FirstRow; y <= kRows; ++y)
    if (OnTerminal(y)) shown_[y - 1].fill(TCharInfo{fill, ' '});
  known_ = true;
}

// From column X of row Y, a run of blanks of one background that differs
// from what is shown: erased (to the row's end, or a count of cells) when
// that is shorter than printing it. The column after what was done, or 0
// when printing is shorter.
int TScreenDiff::EraseBlankRun(int x, int y, std::string& out) {
  const auto& want = Want[y - 1];
  auto& shown = shown_[y - 1];
  const std::uint8_t background = want[x - 1].Attr;
  int end = x;
  int last = x;
  while (end < kCols && Blank(want[end]) && SameBlank(want[end].Attr, background)) {
    ++end;
    if (!LooksSame(want[end - 1], shown[end - 1])) last = end;
  }
  const int count = last - x + 1;
  const bool toEol = end == kCols;
  const std::string ech = Csi(count, 'X');
  if (!(toEol && count > 3) && count <= static_cast<int>(ech.size()) + 3) return 0;
  GoTo(x, y, out);
  PenForBlank(want[x - 1].Attr, out);
  out += toEol ? std::string("\x1b[K") : ech;
  const int stop = toEol ? kCols : last;
  for (int c = x; c <= stop; ++c) shown[c - 1] = TCharInfo{static_cast<std::uint8_t>(pen_), ' '};
  return stop + 1;
}

// The cells of row Y that differ from what is shown.
void TScreenDiff::DrawRow(int y, std::string& out) {
  const auto& want = Want[y - 1];
  auto& shown = shown_[y - 1];
  int x = 1;
  while (x <= kCols) {
    const TCharInfo cell = want[x - 1];
    if (LooksSame(cell, shown[x - 1])) {
      ++x;
    } else if (IsControl(cell.Ch)) {
      shown[x - 1] = cell;  // a control byte would act, not show: never sent
      ++x;
    } else if (const int next = Blank(cell) ? EraseBlankRun(x, y, out) : 0; next != 0) {
      x = next;
    } else {
      Emit(x, y, cell, out);
      ++x;
    }
  }
}

void TScreenDiff::Render(std::uint8_t attr, std::string& out) {
  // Rows not on the terminal are never drawn: they count as shown.
  std::uint32_t onTerminal = 0;
  for (int y = 1; y <= kRows; ++y) {
    if (OnTerminal(y))
      onTerminal |= RowBit(y);
    else
      shown_[y - 1] = Want[y - 1];
  }
  dirty_ &= onTerminal;
  // Clearing the screen in the background most blanks want leaves only the
  // other cells to draw: that is how an unknown screen is drawn, and how a
  // known one is when it costs less than drawing what differs (which can only
  // be so when every row changed).
  bool cleared = false;
  if (!known_ || dirty_ == onTerminal) {
    const std::uint8_t fill = CommonBlankAttr(attr);
    if (!known_ || ClearingIsCheaper(fill)) {
      ClearShown(fill, out);
      dirty_ = onTerminal;
      cleared = true;
    }
  }
  if (!cleared) ScrollShown(out);
  for (int y = 1; y <= kRows; ++y) {
    if ((dirty_ & RowBit(y)) != 0) DrawRow(y, out);  // else unchanged since it last matched
  }
  dirty_ = 0;
  if (!(WantPending && curX_ == kPending && curY_ == WantY)) GoTo(WantX, WantY, out);
  Pen(attr, out);
}

}  // namespace corvix
