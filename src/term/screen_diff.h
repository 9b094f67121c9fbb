// The change-only renderer: what the terminal should show (as the full stream
// of every request would leave it), what it shows now, and the short byte
// stream that takes it from the one to the other.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "support/short_string.h"
#include "term/cell.h"

namespace corvix {

// The 25 visible rows; row Y is index Y - 1, column X index X - 1.
using TScreenRowsRec = std::array<TConsoleLineRec, kScreenRows>;

class TScreenDiff {
 public:
  // Turns an attribute change into its SGR sequence (the screen object's own
  // rule, so that every colour mode it has applies here as well).
  using TSgrProc = std::function<ShortString(std::uint8_t from, std::uint8_t to)>;

  // Utf8: bytes 128-255 cost two or three bytes each when they leave, which
  // changes which cursor moves are shorter.
  TScreenDiff(TSgrProc sgr, bool utf8);

  // ---- What the terminal should show: the effect of each request's full
  // byte stream, as a VT100-style terminal carries it out. Change Want only
  // through these operations: they note the rows the next Render must visit.
  // ----

  TScreenRowsRec Want{};
  std::uint8_t WantX = 1;
  std::uint8_t WantY = 1;
  // A character went into column 80: the cursor stays there and the next
  // character wraps (and scrolls on the region's last row) first.
  bool WantPending = false;
  std::uint8_t RegionTop = 1;  // the terminal's scroll region
  std::uint8_t RegionBot = kScreenRows;

  void Print(char ch, std::uint8_t attr);
  void CarriageReturn();
  // False when the terminal's response is not modelled (a pending wrap).
  bool LineFeed(std::uint8_t attr);
  void Backspace();
  void MoveTo(std::uint8_t x, std::uint8_t y);
  void EraseToEol(std::uint8_t attr);
  void EraseRow(std::uint8_t y, std::uint8_t attr);
  // Want := rows 1-25 of Image, the cursor at (X, Y): what a full repaint
  // from the image leaves.
  void TakeImage(const TConsoleScreenRec& image, std::uint8_t x, std::uint8_t y);

  // ---- What the terminal shows. ----

  // Nothing of the terminal is known: the next Render clears it and draws
  // every cell.
  void MarkUnknown();
  // Shows the window First..WindowBot (of the size it has now) instead: what
  // the terminal shows stays where it is, now standing for other image rows,
  // so the next Render moves it with a scroll where that is shorter than
  // drawing every row again.
  void MoveWindow(std::uint8_t first, std::uint8_t windowBot);
  // Bytes went out past the renderer: the cursor and attribute are unknown.
  void ForgetPen();
  // Appends to Out the bytes that make the terminal show Want, with its
  // cursor at (WantX, WantY) and Attr in force. Cells holding control bytes
  // are never sent (they would act, not show).
  void Render(std::uint8_t attr, std::string& out);

  bool Utf8;
  // The rows the terminal shows: image rows FirstRow..WindowBot on its first
  // rows and, below them, image row 25 (the help line) on its last. With
  // WindowBot 24 that is FirstRow..25 in one piece (2-25 on a terminal of 24
  // rows, whose image row 1 holds only the background); on fewer rows the
  // rows between the window and row 25 are not on the terminal. Rows not
  // shown are never sent. Set both, then MarkUnknown.
  std::uint8_t FirstRow = 1;
  std::uint8_t WindowBot = kScreenRows - 1;
  // What sets the terminal's attribute to 7 from any state. A plain reset
  // gives the terminal's own default colours; with explicit colours the
  // owner names grey on black here, so no blank depends on them.
  std::string ResetText = "\x1b[0m";
  // What a blank in each attribute shows: blanks whose entries are equal
  // look the same. The background and blink (the high nibble) by default;
  // a colour mode whose background depends on the foreground tells more apart.
  std::array<std::uint8_t, 256> BlankLook{};

 private:
  bool SameBlank(std::uint8_t a, std::uint8_t b) const { return BlankLook[a] == BlankLook[b]; }
  bool LooksSame(TCharInfo a, TCharInfo b) const;
  void ScrollRegion(std::uint8_t attr);
  // A scroll of rows Top..Bot by Shift rows (up when positive).
  struct TScroll {
    int Gain, Shift, Top, Bot;
  };
  using TRowCounts = std::array<int, kScreenRows + 1>;  // per row 1-25
  int RowMatches(int y, int z) const;                   // cells of Want row y that shown row z has
  TScroll BestScroll(const TRowCounts& now, const TRowCounts& blank) const;
  void ApplyScroll(const TScroll& scroll, std::uint8_t blankAttr, std::string& out);
  void ScrollShown(std::string& out);
  std::uint8_t CommonBlankAttr(std::uint8_t attr) const;
  bool ClearingIsCheaper(std::uint8_t fill) const;
  void ClearShown(std::uint8_t fill, std::string& out);
  int EraseBlankRun(int x, int y, std::string& out);
  void DrawRow(int y, std::string& out);
  std::size_t Cost(char ch) const;
  void GoTo(int x, int y, std::string& out);
  void VerticalMoves(int y, std::string& vertical, std::string& afterCr) const;
  std::size_t ReprintCost(int x, std::size_t limit) const;
  // Whether image row Y is on the terminal, and the terminal row it is on
  // (the nearest shown row's for one that is not).
  bool OnTerminal(int y) const;
  int TermRow(int y) const;
  // The last image row of the piece that starts at FirstRow: 25 when the
  // window reaches row 24, else WindowBot (row 25 is then apart).
  int PieceBot() const;
  // Cursor position and scroll region sequences for image rows, on the
  // terminal's rows.
  std::string CupAt(int x, int y) const;
  std::string RegionAt(int top, int bot) const;
  void Pen(std::uint8_t attr, std::string& out);
  void PenForBlank(std::uint8_t attr, std::string& out);
  void Emit(int x, int y, TCharInfo cell, std::string& out);

  TSgrProc sgr_;
  TScreenRowsRec shown_{};
  bool known_ = false;
  std::uint32_t dirty_ = ~0u;  // bit Y - 1: row Y of Want changed since the last Render
  int curX_ = 0;               // 0 unknown; 81: in column 80 with a wrap pending
  int curY_ = 0;               // 0 unknown
  int pen_ = -1;               // attribute in force on the terminal; -1 unknown
};

}  // namespace corvix
