// The screen object: cursor and attribute model, the screen image and the one
// output buffer, turned into ANSI/VT100 sequences.
#include "term/output.h"

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
  std::array<char, kOutBufferSize * 3> utf8;
  if (Utf8Output) {
    while (size > kOutBufferSize) {  // larger blocks than the buffer go in pieces
      WriteAll(data, kOutBufferSize);
      data += kOutBufferSize;
      size -= kOutBufferSize;
    }
    char* end = utf8.data();
    for (std::size_t i = 0; i < size; ++i) end = PutUtf8(end, static_cast<unsigned char>(data[i]));
    data = utf8.data();
    size = static_cast<std::size_t>(end - utf8.data());
  }
  // Write errors are ignored: the rest of the bytes is dropped.
  WriteFully(OutFd, data, size, kWriteWaitMs);
}

void TOutputLinux::BufAddChar(char Ch) {
  if (OutBufPos >= kOutBufferSize) {
    // Only an inactive object gets here (an active one is flushed when full):
    // it never writes, so what it collects is discarded.
    OutBufPos = 0;
  }
  OutBuffer[OutBufPos++] = Ch;
  if (OutBufPos == kOutBufferSize) {
    // A full buffer only leaves: what was drawn meanwhile goes at the next
    // flush, never into the middle of a sequence being added.
    const bool rendering = rendering_;
    rendering_ = true;
    BufFlush();
    rendering_ = rendering;
  }
}

void TOutputLinux::BufAddStr(const ShortString& S) {
  for (char c : S) BufAddChar(c);
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

void TOutputLinux::RawWriteStr(const ShortString& S) {
  if (Active && !Hidden && !Left) WriteAll(S.data(), S.size());
  renderer_->ForgetPen();
}

void TOutputLinux::Send() {
  for (char c : pending_) BufAddChar(c);
  pending_.clear();
}

// ---- Attribute and cursor. ----

ShortString TOutputLinux::AttrToAnsi(std::uint8_t Attr) const { return AttrToAnsi(TextAttr, Attr); }

ShortString TOutputLinux::AttrToAnsi(std::uint8_t From, std::uint8_t Attr) const {
  return SgrChange(From, Attr, Terminal.Colors());
}

void TOutputLinux::SetTextAttr(std::uint8_t Attr) {
  if (Attr == TextAttr) return;
  renderer_->SetAttr(TextAttr, Attr, pending_);
  Send();
  TextAttr = Attr;
}

void TOutputLinux::CursorXY(std::uint8_t X, std::uint8_t Y) {
  // The bound is the 25 visible rows whatever the window or screen size.
  X = Clamp(X, 1, kScreenCols);
  Y = Clamp(Y, 1, kScreenRows);
  CursorX = X;
  CursorY = Y;
  renderer_->MoveTo(X, Y, pending_);
  Send();
}

void TOutputLinux::SetCursorX(std::uint8_t X) { CursorXY(X, CursorY); }
void TOutputLinux::SetCursorY(std::uint8_t Y) { CursorXY(CursorX, Y); }

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

void TOutputLinux::SetWindow(std::uint8_t /*X1*/, std::uint8_t Y1, std::uint8_t /*X2*/,
                             std::uint8_t Y2, bool Home) {
  WinTop = Y1;
  WinBot = Y2;
  renderer_->SetRegion(Y1, Y2, pending_);
  Send();
  if (Home || CursorY < Y1 || CursorY > Y2) CursorXY(1, Y1);
}

void TOutputLinux::SetScreenSize(std::uint8_t Lines) {
  BeginUnmodelled();
  WinBot = Lines;
  ScreenSize = Lines;
  BufFlush();
  RawWriteStr("\x1b[8;" + Int2Str(Lines) + ";80t");
  SetWindow(1, 1, kScreenCols, Lines, false);
  EndUnmodelled();
}

// ---- Writing. ----

void TOutputLinux::WriteChar(char Ch) {
  renderer_->WriteChar(Ch, TextAttr, pending_);
  Send();
  switch (Ch) {
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
        Buffer[CursorY - 1][CursorX - 1] = TCharInfo{TextAttr, Ch};
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

void TOutputLinux::WriteStr(const ShortString& S) {
  for (char c : S) WriteChar(c);
}

void TOutputLinux::WriteLine(const ShortString& S) {
  for (char c : S) WriteChar(c);
  WriteChar(13);
  WriteChar(10);
}

void TOutputLinux::WriteXY(std::uint8_t X, std::uint8_t Y, std::uint8_t Attr,
                           const ShortString& S) {
  const std::uint8_t oldAttr = TextAttr;
  const std::uint8_t oldX = CursorX;
  const std::uint8_t oldY = CursorY;
  CursorXY(X, Y);
  SetTextAttr(Attr);
  WriteStr(S);
  SetTextAttr(oldAttr);
  CursorXY(oldX, oldY);
}

void TOutputLinux::WritePipeStr(const ShortString& S) {
  std::size_t i = 0;
  while (i < S.size()) {
    if (S[i] != PipeChar) {
      WriteChar(S[i]);
      ++i;
      continue;
    }
    const std::size_t codeLen = S.size() - i - 1 < 2 ? S.size() - i - 1 : 2;
    const ShortString code(S.View().substr(i + 1, codeLen));
    const auto v = static_cast<std::uint8_t>(Str2Int(code));
    const bool isColour = code == ShortString("00") ||
                          (v >= 1 && v <= 23 && !code.empty() && code[0] != '&' && code[0] != '$');
    if (!isColour) {
      WriteChar(S[i]);  // the pipe as ordinary text; the walk goes on after it
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
char TOutputLinux::ReadCharXY(std::uint8_t X, std::uint8_t Y) const {
  if (X < 1 || X > kScreenCols || Y < 1 || Y > kImageRows) return ' ';
  return Buffer[Y - 1][X - 1].Ch;
}

std::uint8_t TOutputLinux::ReadAttrXY(std::uint8_t X, std::uint8_t Y) const {
  if (X < 1 || X > kScreenCols || Y < 1 || Y > kImageRows) return kDefaultAttr;
  return Buffer[Y - 1][X - 1].Attr;
}

void TOutputLinux::GetScreenImage(TConsoleImageRec& Image) const {
  std::memset(&Image, 0, sizeof Image);
  for (std::size_t r = 0; r < kScreenRows; ++r) Image.Data[r] = Buffer[r];
  Image.CursorX = CursorX;
  Image.CursorY = CursorY;
  Image.CursorA = TextAttr;
  Image.X1 = 1;
  Image.X2 = kScreenCols;
  Image.Y1 = 1;
  Image.Y2 = kScreenRows;
}

void TOutputLinux::PutScreenImage(const TConsoleImageRec& Image) {
  // An image that was never taken (all zero) or whose rectangle lies outside
  // the screen would index outside the image: there is nothing to draw.
  if (Image.X1 < 1 || Image.X1 > Image.X2 || Image.X2 > kScreenCols || Image.Y1 < 1 ||
      Image.Y1 > Image.Y2 || Image.Y2 > kImageRows) {
    return;
  }
  const std::size_t width = Image.X2 - Image.X1 + 1;
  const std::size_t rows = Image.Y2 - Image.Y1 + 1;
  for (std::size_t i = 0; i < rows; ++i) {
    const auto y = static_cast<std::uint8_t>(Image.Y1 + i);
    CursorXY(Image.X1, y);
    for (std::size_t j = 0; j < width; ++j) {
      const TCharInfo cell = Image.Data[i][j];
      Buffer[y - 1][Image.X1 - 1 + j] = cell;
      SetTextAttr(cell.Attr);
      renderer_->PutCell(cell.Ch, cell.Attr, pending_);
      Send();
    }
  }
  SetTextAttr(Image.CursorA);
  CursorXY(Image.CursorX, Image.CursorY);
}

void TOutputLinux::Repaint() {
  Hidden = false;
  renderer_->Repaint(pending_);
  pending_ += Terminal.CursorText().View();
  Send();
}

void TOutputLinux::ShowTooSmall(const ShortString& Notice) {
  Hidden = true;
  OutBufPos = 0;
  const ShortString text = "\x1b[0m\x1b[2J\x1b[1;1H" + Notice;
  if (Active && !Left) WriteAll(text.data(), text.size());
}

void TOutputLinux::SetTerminalRows(int Rows) {
  TermRows = Rows >= kScreenRows ? kScreenRows : kMinTerminalRows;
  ApplyRedrawMode();
}

void TOutputLinux::SetCursorVisible(bool On) { BufAddStr(Terminal.SetCursorVisible(On)); }

void TOutputLinux::LeaveScreen(bool ClearFirst) {
  Hidden = false;
  BufFlush();
  ShortString text = ClearFirst ? ShortString("\x1b[0m\x1b[2J\x1b[1;1H") : ShortString();
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

void TOutputLinux::SetRedrawMode(TRedrawMode Mode) {
  fullWanted_ = Mode == TRedrawMode::kFull;
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
