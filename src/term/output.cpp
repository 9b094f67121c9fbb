// The screen object: cursor and attribute model, the screen image and the one
// output buffer, turned into ANSI/VT100 sequences.
#include "term/output.h"

#include <cerrno>
#include <cstring>

#include "support/fd_io.h"
#include "support/string_utils.h"
#include "term/cp437.h"
#include "term/screen_diff.h"
#include "term/terminal_restore.h"

namespace corvix {
namespace {

constexpr char kEsc = 27;
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

ShortString Csi(const ShortString& params, char final) {
  ShortString s = ShortString::Of(kEsc) + "[" + params;
  s += final;
  return s;
}

std::uint8_t Clamp(std::uint8_t v, std::uint8_t lo, std::uint8_t hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

TOutputLinux::TOutputLinux(bool active, int outFd, int termFd, bool utf8Output,
                           TScreenModesRec modes)
    : Active(active), OutFd(outFd), TermFd(termFd), Utf8Output(utf8Output), Modes(modes) {
  SetRawMode(true);
  SendEnter();
  SetScreenOnTerminal(true);
  ClearScreen();
}

TOutputLinux::~TOutputLinux() {
  BufFlush();
  SetRawMode(false);
  if (haveSaved_) DisarmTerminalRestore(TermFd);
}

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
  if (diff_) diff_->ForgetPen();
}

// ---- Attribute and cursor. ----

ShortString TOutputLinux::AttrToAnsi(std::uint8_t Attr) const { return AttrToAnsi(TextAttr, Attr); }

ShortString TOutputLinux::AttrToAnsi(std::uint8_t From, std::uint8_t Attr) const {
  return SgrChange(From, Attr, {Modes.Colors, Modes.TrueColor});
}

void TOutputLinux::SetTextAttr(std::uint8_t Attr) {
  if (Attr == TextAttr) return;
  if (diff_) {
    TextAttr = Attr;
    return;
  }
  BufAddStr(AttrToAnsi(Attr));
  TextAttr = Attr;
}

void TOutputLinux::CursorXY(std::uint8_t X, std::uint8_t Y) {
  // The bound is the 25 visible rows whatever the window or screen size.
  X = Clamp(X, 1, kScreenCols);
  Y = Clamp(Y, 1, kScreenRows);
  CursorX = X;
  CursorY = Y;
  if (diff_) {
    diff_->MoveTo(X, Y);
    return;
  }
  BufAddStr(Csi(Int2Str(Y) + ";" + Int2Str(X), 'H'));
}

void TOutputLinux::SetCursorX(std::uint8_t X) { CursorXY(X, CursorY); }
void TOutputLinux::SetCursorY(std::uint8_t Y) { CursorXY(CursorX, Y); }

// ---- Clearing, window, size. ----

void TOutputLinux::ClearScreen() {
  const TCharInfo fill{TextAttr, ' '};
  if (WinTop == 1 && WinBot == kScreenRows) {
    if (diff_) {
      for (std::uint8_t r = 1; r <= kScreenRows; ++r) diff_->EraseRow(r, TextAttr);
    } else {
      BufAddStr(Csi("2", 'J'));
    }
    for (auto& row : Buffer) row.fill(fill);
  } else {
    for (int r = WinTop; r <= WinBot; ++r) {
      if (diff_) {
        // The terminal takes a row outside the screen as its nearest edge.
        diff_->EraseRow(
            static_cast<std::uint8_t>(Clamp(static_cast<std::uint8_t>(r), 1, kScreenRows)),
            TextAttr);
      } else {
        BufAddStr(Csi(Int2Str(r) + ";1", 'H') + Csi("", 'K'));
      }
      // A window reaching outside the image's 50 rows has no rows to fill there.
      if (r >= 1 && r <= kImageRows) Buffer[static_cast<std::size_t>(r - 1)].fill(fill);
    }
  }
  CursorXY(1, WinTop);
}

void TOutputLinux::ClearEOL() {
  if (diff_) {
    diff_->EraseToEol(TextAttr);
    return;
  }
  BufAddStr(Csi("", 'K'));
}

void TOutputLinux::SetWindow(std::uint8_t /*X1*/, std::uint8_t Y1, std::uint8_t /*X2*/,
                             std::uint8_t Y2, bool Home) {
  WinTop = Y1;
  WinBot = Y2;
  const bool modelled = Y1 >= 1 && Y1 < Y2 && Y2 <= kScreenRows;
  if (diff_ && modelled) {
    // The terminal takes the region and puts its cursor home; what was drawn
    // before goes first, so the renderer knows the region it works in.
    SendChanges();
    diff_->RegionTop = Y1;
    diff_->RegionBot = Y2;
    diff_->MoveTo(1, 1);
  }
  const bool unmodelled = diff_ && !modelled;
  if (unmodelled) BeginUnmodelled();
  BufAddStr(Csi(Int2Str(Y1) + ";" + Int2Str(Y2), 'r'));
  if (diff_) diff_->ForgetPen();
  if (unmodelled) EndUnmodelled();
  if (Home || CursorY < Y1 || CursorY > Y2) CursorXY(1, Y1);
}

void TOutputLinux::SetScreenSize(std::uint8_t Lines) {
  BeginUnmodelled();
  WinBot = Lines;
  ScreenSize = Lines;
  BufFlush();
  RawWriteStr(Csi("8;" + Int2Str(Lines) + ";80", 't'));
  SetWindow(1, 1, kScreenCols, Lines, false);
  EndUnmodelled();
}

// ---- Writing. ----

void TOutputLinux::WriteChar(char Ch) {
  if (diff_) {
    ChangesChar(Ch);
  } else {
    BufAddChar(Ch);
  }
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
      if (diff_) {
        diff_->Print(cell.Ch, cell.Attr);
        continue;
      }
      SetTextAttr(cell.Attr);
      BufAddChar(cell.Ch);
    }
  }
  SetTextAttr(Image.CursorA);
  CursorXY(Image.CursorX, Image.CursorY);
}

void TOutputLinux::Repaint() {
  Hidden = false;
  if (diff_) {
    // The next flush clears the terminal and draws every cell again.
    MarkTerminalUnknown();
    if (Modes.HideCursor) BufAddStr(CursorVisible ? "\x1b[?25h" : "\x1b[?25l");
    return;
  }
  TConsoleImageRec image;
  GetScreenImage(image);
  // A terminal larger than the image is cleared outside it as well.
  BufAddStr(ResetSgr() + Csi("2", 'J'));
  TextAttr = kDefaultAttr;
  PutScreenImage(image);
  if (Modes.HideCursor) BufAddStr(CursorVisible ? "\x1b[?25h" : "\x1b[?25l");
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

void TOutputLinux::SetCursorVisible(bool On) {
  if (!Modes.HideCursor || On == CursorVisible) return;
  BufAddStr(On ? "\x1b[?25h" : "\x1b[?25l");
  CursorVisible = On;
}

void TOutputLinux::LeaveScreen(bool ClearFirst) {
  Hidden = false;
  BufFlush();
  ShortString text = ClearFirst ? ShortString("\x1b[0m\x1b[2J\x1b[1;1H") : ShortString();
  text += LeaveText();
  if (Active) WriteAll(text.data(), text.size());
  TextAttr = kDefaultAttr;
  CursorVisible = true;
  Left = true;
  SetScreenOnTerminal(false);
}

ShortString TOutputLinux::ResetSgr() const { return SgrReset({Modes.Colors, Modes.TrueColor}); }

ShortString TOutputLinux::EnterText() const {
  // The alternate screen comes first: entering it saves the cursor with the
  // pen and character set in force, and leaving it restores them, so what
  // the program sets must come after it to be undone on the way out. On the
  // Linux console ESC "(U" selects the direct character-ROM mapping so that
  // bytes 128-255 show the PC glyphs; a UTF-8 terminal gets its normal
  // character set, ESC "(B", since it is sent the glyphs themselves. The
  // reset makes the terminal's attribute match TextAttr = 7.
  ShortString text = Modes.AltScreen ? "\x1b[?1049h" : "";
  text += ShortString::Of(kEsc) + (Utf8Output ? "(B" : "(U") + ResetSgr();
  if (Modes.HideCursor) text += "\x1b[?25l";
  return text;
}

ShortString TOutputLinux::LeaveText() const {
  // The main screen first (it puts back the pen saved on entering), then the
  // terminal's own default attribute, named by no colour, and its cursor.
  ShortString text = Modes.AltScreen ? "\x1b[?1049l" : "";
  text += "\x1b[0m\x1b(B";
  if (Modes.HideCursor) text += "\x1b[?25h";
  return text;
}

// ---- Terminal modes. ----

void TOutputLinux::SetRawMode(bool On) {
  if (!On) {
    if (haveSaved_ && ::tcsetattr(TermFd, TCSANOW, &SavedTermios) == 0) RawMode = false;
    return;
  }
  if (!haveSaved_) {
    // Taken once only: a second call must not take the raw copy for the
    // settings to go back to.
    if (::tcgetattr(TermFd, &SavedTermios) != 0) return;  // not a terminal
    haveSaved_ = true;
    ArmTerminalRestore(TermFd, SavedTermios, OutFd);
  }
  struct termios raw = SavedTermios;
  raw.c_iflag &=
      ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // What a resume after a stop puts back, in a signal handler.
  SetTerminalScreenModes(raw, EnterText().View(), LeaveText().View());
  if (::tcsetattr(TermFd, TCSANOW, &raw) == 0) RawMode = true;
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
  if (Modes.AltScreen) Repaint();
  MarkTerminalUnknown();
}

// ---- Redraw mode. ----

void TOutputLinux::SetRedrawMode(TRedrawMode Mode) {
  fullWanted_ = Mode == TRedrawMode::Full;
  ApplyRedrawMode();
}

void TOutputLinux::ApplyRedrawMode() {
  if (fullWanted_ && TermRows >= kScreenRows) {
    SendChanges();
    diff_.reset();
    return;
  }
  const std::uint8_t firstRow = TermRows >= kScreenRows ? 1 : kScreenRows - TermRows + 1;
  if (diff_ && diff_->FirstRow == firstRow) return;
  if (!diff_) {
    diff_ = std::make_unique<TScreenDiff>(
        [this](std::uint8_t from, std::uint8_t to) { return AttrToAnsi(from, to); }, Utf8Output);
    diff_->ResetText = ResetSgr().Str();
  }
  diff_->FirstRow = firstRow;
  MarkTerminalUnknown();
}

TRedrawMode TOutputLinux::RedrawMode() const {
  return diff_ || paused_ ? TRedrawMode::Changes : TRedrawMode::Full;
}

void TOutputLinux::MarkTerminalUnknown() {
  if (!diff_) return;
  diff_->TakeImage(Buffer, CursorX, CursorY);
  // A window the terminal would not take leaves the whole screen as region.
  const bool valid = WinTop >= 1 && WinTop < WinBot && WinBot <= kScreenRows;
  diff_->RegionTop = valid ? WinTop : 1;
  diff_->RegionBot = valid ? WinBot : kScreenRows;
  diff_->MarkUnknown();
}

void TOutputLinux::SendChanges() {
  if (!diff_ || rendering_ || Left) return;
  if (direct_) {
    // Control bytes went out as they came; what they did is not known.
    direct_ = false;
    MarkTerminalUnknown();
  }
  rendering_ = true;
  std::string out;
  diff_->Utf8 = Utf8Output;
  diff_->Render(TextAttr, out);
  for (char c : out) BufAddChar(c);
  rendering_ = false;
}

void TOutputLinux::ChangesChar(char Ch) {
  const auto b = static_cast<unsigned char>(Ch);
  const bool control = (b < 32 || b == 127) && Ch != 8 && Ch != 10 && Ch != 13;
  if (!direct_ && !control) {
    switch (Ch) {
      case 8:
        diff_->Backspace();
        return;
      case 10:
        if (diff_->LineFeed(TextAttr)) return;
        break;  // not modelled: sent as it is, like a control byte
      case 13:
        diff_->CarriageReturn();
        return;
      default:
        diff_->Print(Ch, TextAttr);
        return;
    }
  }
  if (!direct_) {
    SendChanges();
    direct_ = true;
  }
  BufAddChar(Ch);
}

void TOutputLinux::BeginUnmodelled() {
  if (!diff_) return;
  SendChanges();
  paused_ = std::move(diff_);
}

void TOutputLinux::EndUnmodelled() {
  if (!paused_) return;
  diff_ = std::move(paused_);
  MarkTerminalUnknown();
}

void TOutputLinux::SendEnter() {
  Left = false;
  const ShortString text = EnterText();
  if (Active) WriteAll(text.data(), text.size());
  if (diff_) diff_->ForgetPen();
  TextAttr = kDefaultAttr;
  if (Modes.HideCursor) CursorVisible = false;
}

}  // namespace corvix
