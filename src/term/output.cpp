// The screen object: cursor and attribute model, the screen image and the one
// output buffer, turned into ANSI/VT100 sequences.
#include "term/output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/fd_io.h"
#include "support/string_utils.h"
#include "term/cp437.h"
#include "term/renderer.h"
#include "term/terminal_restore.h"

namespace corvix {
namespace {

// A terminal whose descriptor is non-blocking (another program sharing it
// may have made it so) and full is waited for as a blocking one would be:
// bytes dropped there would cut a sequence in two and could lose the way out
// of the program's screen (the alternate screen left on, the cursor hidden).
constexpr int kWriteWaitMs = -1;

// Appends the UTF-8 form of one code-page-437 byte to Out; returns the new end.
char* PutUtf8(char* out, unsigned char byte) {
  if (byte == static_cast<unsigned char>(kCutMark))
    return std::copy_n("\xE2\x80\xA6", 3, out);  // …
  if (byte < 0x80) {
    *out++ = static_cast<char>(byte);
    return out;
  }
  const char16_t cp = kCp437High[byte - 0x80];
  if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
  } else {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  return out;
}

// Appends the DEC or ASCII form of one byte to Out (see Cp437Narrow),
// switching the terminal's G0 set to line drawing (ESC "(0") and back
// (ESC "(B") where needed; Dec says which set is in force.
char* PutNarrow(char* out, unsigned char byte, bool& dec) {
  const TNarrowRec n = Cp437Narrow(byte);
  if (n.Dec != dec) {
    dec = n.Dec;
    *out++ = '\x1b';
    *out++ = '(';
    *out++ = dec ? '0' : 'B';
  }
  *out++ = n.Ch;
  return out;
}

// The 8-bit control sequence introducer.
constexpr char kCsi8 = static_cast<char>(0x9B);

std::uint8_t Clamp(std::uint8_t v, std::uint8_t lo, std::uint8_t hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

TOutputLinux::TOutputLinux(bool active, int outFd, int termFd, bool utf8Output,
                           TScreenModesRec modes)
    : Terminal(termFd, outFd, utf8Output, modes),
      Active(active),
      OutFd(outFd),
      TermFd(termFd),
      Utf8Output(utf8Output),
      full_(MakeFullRenderer(*this)),
      renderer_(full_.get()) {
  SetRawMode(true);
  SendEnter();
  SetScreenOnTerminal(true);
  ClearScreen();
}

TOutputLinux::~TOutputLinux() { BufFlush(); }

// ---- Buffer and raw output. ----

void TOutputLinux::WriteAll(const char* data, std::size_t size) const {
  // The one place where bytes leave the process, so the one place where the
  // screen's code page is turned into the terminal's encoding. A byte may
  // become up to four (ESC "(0" and the character), and every block ends in
  // the normal set, so a cut between two writes never leaves line drawing on.
  std::array<char, kOutBufferSize * 4 + 3> coded;
  const bool narrow = !Utf8Output && Terminal.Modes.DecGraphics;
  if (Utf8Output || narrow) {
    while (size > kOutBufferSize) {  // larger blocks than the buffer go in pieces
      WriteAll(data, kOutBufferSize);
      data += kOutBufferSize;
      size -= kOutBufferSize;
    }
    char* end = coded.data();
    bool dec = false;
    for (std::size_t i = 0; i < size; ++i) {
      const auto b = static_cast<unsigned char>(data[i]);
      end = narrow ? PutNarrow(end, b, dec) : PutUtf8(end, b);
    }
    if (dec) end = std::copy_n("\x1b(B", 3, end);
    data = coded.data();
    size = static_cast<std::size_t>(end - coded.data());
  } else if (std::memchr(data, kCsi8, size) != nullptr || std::memchr(data, kCutMark, size)) {
    // In code page 437 byte 155 is a cent sign, but a console taking 8-bit
    // bytes reads it as the start of a control sequence: it shows as '?'.
    // The program's own sequences are 7-bit; only a cell's character gets here.
    // The cut mark goes as '>', as code page 437 has no ellipsis.
    while (size > kOutBufferSize) {
      WriteAll(data, kOutBufferSize);
      data += kOutBufferSize;
      size -= kOutBufferSize;
    }
    std::memcpy(coded.data(), data, size);
    const auto last = coded.begin() + static_cast<std::ptrdiff_t>(size);
    std::replace(coded.begin(), last, kCsi8, '?');
    std::replace(coded.begin(), last, kCutMark, '>');
    data = coded.data();
  }
  // Write errors other than a full descriptor are ignored: the rest of the
  // bytes is dropped.
  WriteFully(OutFd, data, size, kWriteWaitMs);
}

void TOutputLinux::BufAddChar(char ch) {
  if (OutBufPos >= kOutBufferSize) {
    // Only an inactive object gets here (an active one is flushed when full):
    // it never writes, so what it collects is discarded.
    OutBufPos = 0;
  }
  OutBuffer[OutBufPos++] = ch;
  if (OutBufPos == kOutBufferSize) {
    // A full buffer only leaves: what was drawn meanwhile goes at the next
    // flush, never into the middle of a sequence being added.
    const bool rendering = rendering_;
    rendering_ = true;
    BufFlush();
    rendering_ = rendering;
  }
}

void TOutputLinux::BufAddStr(const ShortString& s) {
  for (char c : s) BufAddChar(c);
}

void TOutputLinux::BufFlush() {
  if (Left) OutBufPos = 0;  // the screen was left: nothing drawn may follow
  SendChanges();
  if (Hidden) OutBufPos = 0;  // the too-small notice stays; Repaint sends it all
  if (OutBufPos > 0 && Active) {
    WriteAll(OutBuffer.data(), OutBufPos);
    OutBufPos = 0;
  }
}

void TOutputLinux::RawWriteStr(const ShortString& s) {
  if (Active && !Hidden && !Left) WriteAll(s.data(), s.size());
  renderer_->ForgetPen();
}

void TOutputLinux::Send() {
  for (char c : pending_) BufAddChar(c);
  pending_.clear();
}

// ---- Attribute and cursor. ----

ShortString TOutputLinux::AttrToAnsi(std::uint8_t attr) const { return AttrToAnsi(TextAttr, attr); }

ShortString TOutputLinux::AttrToAnsi(std::uint8_t from, std::uint8_t attr) const {
  return SgrChange(from, attr, Terminal.Colors());
}

void TOutputLinux::SetTextAttr(std::uint8_t attr) {
  if (attr == TextAttr) return;
  renderer_->SetAttr(TextAttr, attr, pending_);
  Send();
  TextAttr = attr;
}

void TOutputLinux::CursorXY(std::uint8_t x, std::uint8_t y) {
  // The bound is the 25 visible rows whatever the window or screen size.
  x = Clamp(x, 1, kScreenCols);
  y = Clamp(y, 1, kScreenRows);
  CursorX = x;
  CursorY = y;
  renderer_->MoveTo(x, y, pending_);
  Send();
}

void TOutputLinux::SetCursorX(std::uint8_t x) { CursorXY(x, CursorY); }
void TOutputLinux::SetCursorY(std::uint8_t y) { CursorXY(CursorX, y); }

// ---- Clearing, window, size. ----

void TOutputLinux::ClearScreen() {
  const TCharInfo fill{TextAttr, ' '};
  if (WinTop == 1 && WinBot == kScreenRows) {
    renderer_->ClearScreen(TextAttr, pending_);
    for (auto& row : Buffer) row.fill(fill);
  } else {
    for (int r = WinTop; r <= WinBot; ++r) {
      renderer_->ClearRow(r, TextAttr, pending_);
      // A window reaching outside the image's 50 rows has no rows to fill there.
      if (r >= 1 && r <= kImageRows) Buffer[static_cast<std::size_t>(r - 1)].fill(fill);
    }
  }
  Send();
  CursorXY(1, WinTop);
}

void TOutputLinux::ClearEOL() {
  renderer_->ClearToEol(TextAttr, pending_);
  Send();
}

void TOutputLinux::SetWindow(std::uint8_t /*x1*/, std::uint8_t y1, std::uint8_t /*x2*/,
                             std::uint8_t y2, bool home) {
  WinTop = y1;
  WinBot = y2;
  renderer_->SetRegion(y1, y2, pending_);
  Send();
  if (home || CursorY < y1 || CursorY > y2) CursorXY(1, y1);
}

void TOutputLinux::SetScreenSize(std::uint8_t lines) {
  BeginUnmodelled();
  WinBot = lines;
  ScreenSize = lines;
  BufFlush();
  RawWriteStr("\x1b[8;" + Int2Str(lines) + ";80t");
  SetWindow(1, 1, kScreenCols, lines, false);
  EndUnmodelled();
}

// ---- Writing. ----

void TOutputLinux::WriteChar(char ch) {
  renderer_->WriteChar(ch, TextAttr, pending_);
  Send();
  switch (ch) {
    case 8:
      if (CursorX > 1) --CursorX;
      break;
    case 10:
      if (CursorY < WinBot) ++CursorY;
      break;
    case 13:
      CursorX = 1;
      break;
    default:
      // The cursor row can only leave the image through a window bottom set
      // beyond row 50 (or public fields set by hand); such a cell is not kept.
      if (CursorY >= 1 && CursorY <= kImageRows && CursorX >= 1 && CursorX <= kScreenCols) {
        Buffer[CursorY - 1][CursorX - 1] = TCharInfo{TextAttr, ch};
      }
      if (CursorX < kScreenCols) {
        ++CursorX;
      } else {
        CursorX = 1;
        if (CursorY < WinBot) ++CursorY;
      }
      break;
  }
}

void TOutputLinux::WriteStr(const ShortString& s) {
  for (char c : s) WriteChar(c);
}

void TOutputLinux::WriteLine(const ShortString& s) {
  for (char c : s) WriteChar(c);
  WriteChar(13);
  WriteChar(10);
}

void TOutputLinux::WriteXY(std::uint8_t x, std::uint8_t y, std::uint8_t attr,
                           const ShortString& s) {
  const std::uint8_t oldAttr = TextAttr;
  const std::uint8_t oldX = CursorX;
  const std::uint8_t oldY = CursorY;
  CursorXY(x, y);
  SetTextAttr(attr);
  WriteStr(s);
  SetTextAttr(oldAttr);
  CursorXY(oldX, oldY);
}

void TOutputLinux::WritePipeStr(const ShortString& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] != PipeChar) {
      WriteChar(s[i]);
      ++i;
      continue;
    }
    const std::size_t codeLen = s.size() - i - 1 < 2 ? s.size() - i - 1 : 2;
    const ShortString code(s.View().substr(i + 1, codeLen));
    const auto v = static_cast<std::uint8_t>(Str2Int(code));
    const bool isColour = code == ShortString("00") ||
                          (v >= 1 && v <= 23 && !code.empty() && code[0] != '&' && code[0] != '$');
    if (!isColour) {
      WriteChar(s[i]);  // the pipe as ordinary text; the walk goes on after it
      ++i;
      continue;
    }
    i += 1 + codeLen;
    if (v < 16) {
      SetTextAttr(static_cast<std::uint8_t>(v + (TextAttr & 0x70)));
    } else {
      SetTextAttr(static_cast<std::uint8_t>((TextAttr & 15) + 16 * (v - 16)));
    }
  }
}

// ---- The image. ----

// A cell outside the image reads as a space in the default attribute rather
// than as whatever memory lies beside it.
char TOutputLinux::ReadCharXY(std::uint8_t x, std::uint8_t y) const {
  if (x < 1 || x > kScreenCols || y < 1 || y > kImageRows) return ' ';
  return Buffer[y - 1][x - 1].Ch;
}

std::uint8_t TOutputLinux::ReadAttrXY(std::uint8_t x, std::uint8_t y) const {
  if (x < 1 || x > kScreenCols || y < 1 || y > kImageRows) return kDefaultAttr;
  return Buffer[y - 1][x - 1].Attr;
}

void TOutputLinux::GetScreenImage(TConsoleImageRec& image) const {
  std::memset(&image, 0, sizeof image);
  for (std::size_t r = 0; r < kScreenRows; ++r) image.Data[r] = Buffer[r];
  image.CursorX = CursorX;
  image.CursorY = CursorY;
  image.CursorA = TextAttr;
  image.X1 = 1;
  image.X2 = kScreenCols;
  image.Y1 = 1;
  image.Y2 = kScreenRows;
}

void TOutputLinux::PutScreenImage(const TConsoleImageRec& image) {
  // An image that was never taken (all zero) or whose rectangle lies outside
  // the screen would index outside the image: there is nothing to draw.
  if (image.X1 < 1 || image.X1 > image.X2 || image.X2 > kScreenCols || image.Y1 < 1 ||
      image.Y1 > image.Y2 || image.Y2 > kImageRows) {
    return;
  }
  const std::size_t width = image.X2 - image.X1 + 1;
  const std::size_t rows = image.Y2 - image.Y1 + 1;
  for (std::size_t i = 0; i < rows; ++i) {
    const auto y = static_cast<std::uint8_t>(image.Y1 + i);
    CursorXY(image.X1, y);
    for (std::size_t j = 0; j < width; ++j) {
      const TCharInfo cell = image.Data[i][j];
      Buffer[y - 1][image.X1 - 1 + j] = cell;
      SetTextAttr(cell.Attr);
      renderer_->PutCell(cell.Ch, cell.Attr, pending_);
      Send();
    }
  }
  SetTextAttr(image.CursorA);
  CursorXY(image.CursorX, image.CursorY);
}

void TOutputLinux::Repaint() {
  Hidden = false;
  renderer_->Repaint(pending_);
  pending_ += Terminal.CursorText().View();
  Send();
}

void TOutputLinux::ShowTooSmall(const ShortString& notice) {
  Hidden = true;
  OutBufPos = 0;
  const ShortString text = "\x1b[0m\x1b[2J\x1b[1;1H" + notice;
  if (Active && !Left) WriteAll(text.data(), text.size());
}

void TOutputLinux::SetTerminalRows(int rows) {
  TermRows = static_cast<std::uint8_t>(
      rows >= kScreenRows ? kScreenRows : (rows < kMinTerminalRows ? kMinTerminalRows : rows));
  ApplyRedrawMode();
}

void TOutputLinux::SetCursorVisible(bool on) { BufAddStr(Terminal.SetCursorVisible(on)); }

void TOutputLinux::LeaveScreen(bool clearFirst) {
  Hidden = false;
  BufFlush();
  ShortString text = clearFirst ? ShortString("\x1b[0m\x1b[2J\x1b[1;1H") : ShortString();
  text += LeaveText();
  if (Active) WriteAll(text.data(), text.size());
  TextAttr = kDefaultAttr;
  Terminal.CursorVisible = true;
  Left = true;
  SetScreenOnTerminal(false);
}

void TOutputLinux::SuspendRaw() {
  LeaveScreen(false);
  RestoreTerminalSize();
  SetRawMode(false);
}

void TOutputLinux::ResumeRaw() {
  RegrowTerminal();
  SetRawMode(true);
  // The child (an editor) may have changed the character mapping, the
  // colours and the modes (scroll region, origin, keypad); send the start-up
  // sequence again so all of them match our model. The handlers learn first
  // that the screen is back, so that a signal arriving right after the enter
  // text still sends the leave text.
  SetScreenOnTerminal(true);
  SendEnter(true);
  // The start-up sequence made the whole screen the scroll region again.
  if (WinTop != 1 || WinBot != kScreenRows) {
    renderer_->SetRegion(WinTop, WinBot, pending_);
    Send();
  }
  // The child may have drawn on the screen (or left the alternate one).
  if (Terminal.Modes.AltScreen) Repaint();
  MarkTerminalUnknown();
}

// ---- Redraw mode. ----

void TOutputLinux::SetRedrawMode(TRedrawMode mode) {
  fullWanted_ = mode == TRedrawMode::kFull;
  ApplyRedrawMode();
}

void TOutputLinux::ApplyRedrawMode() {
  if (fullWanted_ && TermRows >= kScreenRows) {
    SendChanges();
    changes_.reset();
    renderer_ = full_.get();
    return;
  }
  if (!changes_) {
    // A new changes stream starts with the terminal unknown: its first flush
    // draws the whole image.
    SendChanges();
    changes_ = MakeChangesRenderer(*this, 1);
    changesFirstRow_ = 1;
    changesWindowBot_ = kScreenRows - 1;
    renderer_ = changes_.get();
  }
  FollowFocus();
}

void TOutputLinux::FollowFocus() {
  std::uint8_t first = 1;
  if (TermRows < kScreenRows) {
    // The window keeps its place while the focus is in it, and moves as
    // little as brings the focus back into it; it starts below row 1, which
    // holds only the background. Row 25 is always shown.
    const int window = TermRows - 1;
    const bool hides = Terminal.Modes.HideCursor;
    int focus = 0;
    int focusBot = 0;
    if (hides && Terminal.CursorVisible) {
      focus = CursorY;  // text is typed there
    } else if (FocusRow != 0) {
      focus = FocusRow;
      focusBot = FocusBot;
    } else if (!hides) {
      focus = CursorY;
    }
    int top = changesFirstRow_ == 1 && changesWindowBot_ == kScreenRows - 1 ? 2 : changesFirstRow_;
    if (focus >= 1 && focus < kScreenRows) {
      // The rows that go with the focus come into view first, then the
      // focus itself, which wins where the window cannot hold both.
      const int bot = std::min(std::max(focus, focusBot), kScreenRows - 1);
      if (bot > top + window - 1) top = bot - window + 1;
      if (focus < top) top = focus;
    }
    first = static_cast<std::uint8_t>(std::clamp(top, 1, kScreenRows - window));
  }
  const auto windowBot = static_cast<std::uint8_t>(first + TermRows - 2);
  if (first == changesFirstRow_ && windowBot == changesWindowBot_) return;
  // The next flush draws the new window, what was drawn for the old one
  // included.
  changesFirstRow_ = first;
  changesWindowBot_ = windowBot;
  changes_->ShowRows(first, windowBot);
}

void TOutputLinux::MarkTerminalUnknown() { renderer_->ForgetScreen(); }

void TOutputLinux::SendChanges() {
  if (rendering_ || Left) return;
  if (changes_ && renderer_ == changes_.get() && TermRows < kScreenRows) FollowFocus();
  rendering_ = true;
  renderer_->Flush(TextAttr, pending_);
  Send();
  rendering_ = false;
}

void TOutputLinux::BeginUnmodelled() {
  SendChanges();
  renderer_ = full_.get();
}

void TOutputLinux::EndUnmodelled() {
  if (!changes_) return;
  renderer_ = changes_.get();
  MarkTerminalUnknown();
}

void TOutputLinux::SendEnter(bool resetModes) {
  Left = false;
  const ShortString text = EnterText(resetModes);
  if (Active) WriteAll(text.data(), text.size());
  renderer_->ForgetPen();
  TextAttr = kDefaultAttr;
  if (Terminal.Modes.HideCursor) Terminal.CursorVisible = false;
}

}  // namespace corvix
