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

// How long a write may wait for a terminal that does not take bytes (a
// non-blocking descriptor that is full) before the bytes are dropped.
constexpr int kWriteWaitMs = 1000;

// Appends the UTF-8 form of one code-page-437 byte to Out; returns the new end.
char* PutUtf8(char* out, unsigned char byte) {
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
  // screen's code page is turned into the terminal's encoding.
  std::array<char, kOutBufferSize * 3> encoded;
  if (Utf8Output) {
    while (size > kOutBufferSize) {  // larger blocks than the buffer go in pieces
      WriteAll(data, kOutBufferSize);
      data += kOutBufferSize;
      size -= kOutBufferSize;
    }
    char* end = encoded.data();
    for (std::size_t i = 0; i < size; ++i) end = PutUtf8(end, static_cast<unsigned char>(data[i]));
    data = encoded.data();
    size = static_cast<std::size_t>(end - encoded.data());
  } else if (std::memchr(data, kCsi8, size) != nullptr) {
    // In code page 437 byte 155 is a cent sign, but a console taking 8-bit
    // bytes reads it as the start of a control sequence: it shows as '?'.
    // The program's own sequences are 7-bit; only a cell's character gets here.
    while (size > kOutBufferSize) {
      WriteAll(data, kOutBufferSize);
      data += kOutBufferSize;
      size -= kOutBufferSize;
    }
    std::memcpy(encoded.data(), data, size);
    std::replace(encoded.begin(), encoded.begin() + static_cast<std::ptrdiff_t>(size), kCsi8, '?');
    data = encoded.data();
  }
  // Write errors are ignored: the rest of the bytes is dropped.
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
  TermRows = rows >= kScreenRows ? kScreenRows : kMinTerminalRows;
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
  SetRawMode(false);
}

void TOutputLinux::ResumeRaw() {
  SetRawMode(true);
  // The child (an editor) may have changed the character mapping and the
  // colours; send the start-up sequence again so both match our model.
  SendEnter();
  SetScreenOnTerminal(true);
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
  const std::uint8_t firstRow = TermRows >= kScreenRows ? 1 : kScreenRows - TermRows + 1;
  if (changes_ && firstRow == changesFirstRow_) return;
  // A new changes stream starts with the terminal unknown: its first flush
  // draws the whole image.
  SendChanges();
  changes_ = MakeChangesRenderer(*this, firstRow);
  changesFirstRow_ = firstRow;
  renderer_ = changes_.get();
}

TRedrawMode TOutputLinux::RedrawMode() const {
  return changes_ ? TRedrawMode::kChanges : TRedrawMode::kFull;
}

void TOutputLinux::MarkTerminalUnknown() { renderer_->ForgetScreen(); }

void TOutputLinux::SendChanges() {
  if (rendering_ || Left) return;
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

void TOutputLinux::SendEnter() {
  Left = false;
  const ShortString text = EnterText();
  if (Active) WriteAll(text.data(), text.size());
  renderer_->ForgetPen();
  TextAttr = kDefaultAttr;
  if (Terminal.Modes.HideCursor) Terminal.CursorVisible = false;
}

}  // namespace corvix
