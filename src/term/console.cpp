// The console helper layer: forwarding helpers over the global screen and
// keyboard, and the pipe-code writer with its display codes.
#include "term/console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "support/date_time.h"
#include "support/fd_io.h"
#include "support/io_error.h"
#include "support/sleep.h"
#include "support/string_utils.h"
#include "term/terminal_restore.h"

namespace corvix {

namespace {

constexpr char kBell = 7;

// The terminal's column count, read once before main runs. A width that does
// not fit the byte is held as 255; no terminal or no answer gives 80.
std::uint8_t ReadTerminalWidth() {
  winsize ws{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0) return kScreenCols;
  return static_cast<std::uint8_t>(ws.ws_col > 255 ? 255 : ws.ws_col);
}

// The new attribute for colour value V applied to Old: V below 16 sets the
// foreground and keeps the background (blink is cleared); 16 and above set the
// background to V - 16 and keep the foreground, so 24-31 add blink and larger
// values wrap round the byte.
std::uint8_t ColourCodeAttr(std::uint8_t v, std::uint8_t old) {
  if (v < 16) return static_cast<std::uint8_t>(v + (old & 0x70));
  return static_cast<std::uint8_t>((v - 16) * 16 + (old & 15));
}

ShortString Now(const char* mask) {
  DateTime dt;
  CurrentDT(dt);
  return FormatDT(dt, mask);
}

}  // namespace

TOutput* Screen = nullptr;
TInput* Keyboard = nullptr;

void FlushScreen() {
  if (Screen != nullptr) Screen->BufFlush();
}

namespace {
// Set by Ctrl-C while CtrlCLeaves is on; see Interrupted.
bool gInterrupted = false;
}  // namespace

ShortString TooSmallNotice(int columns, int rows) {
  return "Please make the terminal at least 80x20 (it is " + Int2Str(columns) + "x" +
         Int2Str(rows) + ").";
}

namespace {

// Takes the terminal's size: too small, the notice replaces the screen;
// otherwise the screen object learns its rows and, with Repaint, draws
// everything again. An unknown size counts as 80x25.
void TakeTerminalSize(bool repaint) {
  winsize ws{};
  const bool known =
      ::ioctl(Screen->OutFd, TIOCGWINSZ, &ws) == 0 && ws.ws_col != 0 && ws.ws_row != 0;
  if (known && (ws.ws_col < kScreenCols || ws.ws_row < kMinTerminalRows)) {
    Screen->ShowTooSmall(TooSmallNotice(ws.ws_col, ws.ws_row));
    return;
  }
  Screen->SetTerminalRows(known ? ws.ws_row : kScreenRows);
  if (repaint || Screen->Hidden) Screen->Repaint();
}

}  // namespace

void RefreshScreen() {
  if (Screen != nullptr) TakeTerminalSize(true);
}

bool AwaitTerminalSize() {
  while (Screen != nullptr && Screen->Hidden) {
    // The wait serves resizes (through the keyboard's wait hooks) as well.
    if (!Keyboard->KeyWait(200)) {
      HandleTerminalEvents();
      continue;
    }
    const std::uint8_t key = Keyboard->ReadKey();
    if (key == kKeyCtrlC && CtrlCLeaves) gInterrupted = true;
    if (key == kKeyEscape || key == kKeyCtrlC) return false;
    if (key == kKeyExtended) Keyboard->ReadKey();
  }
  return true;
}

void HandleTerminalEvents() {
  if (TakeTerminalEvents() != 0) RefreshScreen();
}

void ShowCursor(bool on) {
  if (Screen != nullptr) Screen->SetCursorVisible(on);
}

void SetFocusRow(std::uint8_t y, std::uint8_t bottom) {
  if (Screen == nullptr) return;
  Screen->FocusRow = y;
  Screen->FocusBot = bottom;
}

void BeforeKeyWait() {
  HandleTerminalEvents();
  FlushScreen();
}

namespace {

// A wait interrupted by a signal goes on after this; a repaint is sent at once.
void AfterInterruptedWait() {
  // A question asked while the host utility runs must not hold up an ending
  // signal until a key arrives.
  EndWithRunningChild();
  HandleTerminalEvents();
  FlushScreen();
}

}  // namespace

TConsole::TConsole(bool utf8, const TScreenModesRec& modes, int outFd, int inFd)
    : screen_(std::make_unique<TOutput>(true, outFd, inFd, utf8, modes)),
      keyboard_(std::make_unique<TInput>(inFd)) {
  keyboard_->Utf8Input = utf8;
  Screen = screen_.get();
  Keyboard = keyboard_.get();
  BeforeInputWait = BeforeKeyWait;
  InputWaitInterrupted = AfterInterruptedWait;
  TakeTerminalEvents();  // a resize before the first drawing needs no repaint
  TakeTerminalSize(false);
}

TConsole::~TConsole() { Close(std::uncaught_exceptions() > 0); }

void TConsole::Close(bool clearFirst) {
  if (screen_ == nullptr) return;
  InputWaitInterrupted = nullptr;
  screen_->LeaveScreen(clearFirst);
  RestoreTerminalSize();
  Screen = nullptr;
  Keyboard = nullptr;
  screen_.reset();  // restores the terminal settings
  keyboard_.reset();
}

std::uint8_t ScreenWidth = ReadTerminalWidth();
TConsoleImageRec SavedScreen{};
ShortString PausePrompt = kDefaultPausePrompt;

// ---- Drawing ----

void WriteXY(std::uint8_t x, std::uint8_t y, std::uint8_t attr, const ShortString& text) {
  Screen->WriteXY(x, y, attr, text);
}

namespace {
// False while WriteXYPipe draws a row that must not wait. Global because
// DisplayCode, which reads it, takes the code alone, as its callers expect.
bool gCodesWait = true;
}  // namespace

void WriteXYPipe(std::uint8_t x, std::uint8_t y, std::uint8_t attr, const ShortString& text,
                 bool waits, bool colourCodesOnly) {
  gCodesWait = waits;
  const std::uint8_t savedAttr = Screen->TextAttr;
  const std::uint8_t savedX = WhereX();
  const std::uint8_t savedY = WhereY();
  GotoXY(x, y);
  SetTextAttr(attr);

  const char pipe = Screen->PipeChar;
  const std::size_t len = text.size();
  std::size_t i = 0;
  while (i < len) {
    if (text[i] != pipe) {
      WriteStr(ShortString::Of(text[i]));
      ++i;
      continue;
    }
    // The (at most) two characters after the pipe.
    const std::size_t codeLen = len - i - 1 < 2 ? len - i - 1 : 2;
    const ShortString code(text.View().substr(i + 1, codeLen));
    const auto v = static_cast<std::uint8_t>(Str2Int(code));  // modulo 256
    if (code == ShortString("00") || v > 0) {
      SetTextAttr(ColourCodeAttr(v, Screen->TextAttr));
      i += 3;
    } else if (codeLen == 2 && !colourCodesOnly && DisplayCode(code)) {
      i += 3;
    } else {
      WriteStr(ShortString::Of(pipe));
      ++i;
    }
  }

  gCodesWait = true;
  SetTextAttr(savedAttr);
  GotoXY(savedX, savedY);
}

void WritePipe(const ShortString& text) { WriteXYPipe(WhereX(), WhereY(), 7, text); }

void WriteStr(const ShortString& text) { Screen->WriteStr(text); }

void WriteLine(const ShortString& text) { Screen->WriteLine(text); }

void ClearScreen() { Screen->ClearScreen(); }

void ClearEOL() { Screen->ClearEOL(); }

void GotoXY(std::uint8_t x, std::uint8_t y) { Screen->CursorXY(x, y); }

void GotoX(std::uint8_t x) { Screen->CursorXY(x, WhereY()); }

void GotoY(std::uint8_t y) { Screen->CursorXY(WhereX(), y); }

std::uint8_t WhereX() { return Screen->CursorX; }

std::uint8_t WhereY() { return Screen->CursorY; }

char GetCharAt(std::uint8_t x, std::uint8_t y) {
  if (x < 1 || x > kScreenCols || y < 1 || y > kScreenRows) return ' ';
  return static_cast<char>(Screen->ReadCharXY(x, y));
}

std::uint8_t GetAttrAt(std::uint8_t x, std::uint8_t y) { return Screen->ReadAttrXY(x, y); }

void SetTextAttr(std::uint8_t attr) { Screen->SetTextAttr(attr); }

std::uint8_t GetTextAttr() { return Screen->TextAttr; }

void TextColor(std::uint8_t color) {
  SetTextAttr(static_cast<std::uint8_t>(Screen->TextAttr & 0xF0));
  SetTextAttr(static_cast<std::uint8_t>((color & 15) | Screen->TextAttr));
}

void TextBackground(std::uint8_t color) {
  SetTextAttr(static_cast<std::uint8_t>(Screen->TextAttr & 15));
  SetTextAttr(static_cast<std::uint8_t>(Screen->TextAttr | (color * 16)));
}

void SaveScreen(TConsoleImageRec& image) { Screen->GetScreenImage(image); }

void RestoreScreen(const TConsoleImageRec& image) { Screen->PutScreenImage(image); }

// ---- Keys and time ----

void (*HelpKeyHook)() = nullptr;
bool CtrlCLeaves = false;

namespace {

// Takes the next key byte (waiting when none is queued) and serves it when
// it is one the console handles itself: Ctrl-L, Ctrl-Z, F1 where a screen
// has help, any key while the screen is hidden. True with Out set when the
// byte is for the caller.
bool NextKey(std::uint8_t& out) {
  if (gInterrupted) {
    Keyboard->AfterExtendedPrefix = false;
    out = kKeyEscape;
    return true;
  }
  const std::uint8_t key = Keyboard->ReadKey();
  const bool scanCode = Keyboard->AfterExtendedPrefix;
  Keyboard->AfterExtendedPrefix = !scanCode && key == kKeyExtended;
  // While the terminal is too small nothing is shown, so no key may act on
  // the hidden screen (an extended key's code is dropped with its 0).
  const bool hidden = Screen != nullptr && Screen->Hidden;
  if (scanCode) {
    out = key;
    return !hidden;
  }
  // Ctrl-L draws the screen again wherever a key is read, and Ctrl-Z
  // suspends the program as it would a cooked terminal's job; no screen
  // takes either as a key (line input takes no control characters).
  if (key == kKeyCtrlL) {
    RefreshScreen();
    return false;
  }
  if (key == kKeyCtrlZ) {
    // Only where the terminal comes back on the stop; the handler stops the
    // process and the resume repaints before the next key wait. Keys typed
    // behind it go with it: a burst of Ctrl-Z costs one stop, not one each.
    if (TerminalRestoreArmed()) {
      Keyboard->DiscardKeys();
      ::raise(SIGTSTP);
    }
    return false;
  }
  if (key == kKeyCtrlC && CtrlCLeaves) {
    gInterrupted = true;
    out = kKeyEscape;
    return true;
  }
  if (hidden) return false;
  if (key == kKeyCtrlG && HelpKeyHook != nullptr) {
    HelpKeyHook();
    return false;
  }
  // An extended key's code is queued behind its 0, so F1 is seen whole
  // here without taking the code of any other key away from the caller.
  if (Keyboard->AfterExtendedPrefix && HelpKeyHook != nullptr && Keyboard->PeekKey() == kScanF1) {
    Keyboard->PopKey();
    Keyboard->AfterExtendedPrefix = false;
    HelpKeyHook();
    return false;
  }
  out = key;
  return true;
}

}  // namespace

std::uint8_t ReadKey() {
  std::uint8_t key = 0;
  while (!NextKey(key)) {
  }
  return key;
}

bool Interrupted() { return gInterrupted; }

void ClearInterrupted() { gInterrupted = false; }

void DiscardTypedKeys() {
  Keyboard->DiscardKeys();
  Keyboard->AfterExtendedPrefix = false;
}

bool KeyPressed() {
  // After Ctrl-C no key counts as typed: a loop that empties the keyboard
  // ends, and ReadKey still returns Escape to whoever asks.
  if (gInterrupted) return false;
  // The keys NextKey serves itself are served here too, so that once this
  // says a key waits, ReadKey returns it at once.
  while (Keyboard->KeyPressed()) {
    const std::optional<std::uint8_t> next = Keyboard->PeekKey();
    if (!next) return true;  // the input has ended
    const std::uint8_t key = *next;
    const bool hidden = Screen != nullptr && Screen->Hidden;
    bool served = hidden;
    if (!Keyboard->AfterExtendedPrefix) {
      served = served || key == kKeyCtrlL || key == kKeyCtrlZ ||
               (key == kKeyCtrlG && HelpKeyHook != nullptr) ||
               (key == kKeyExtended && HelpKeyHook != nullptr && Keyboard->PeekKey(1) == kScanF1);
    }
    if (!served) return true;
    std::uint8_t unused = 0;
    NextKey(unused);
  }
  return false;
}

bool KeyWait(std::int32_t ms) { return Keyboard->KeyWait(ms); }

void Delay(std::int32_t ms) {
  HandleTerminalEvents();
  FlushScreen();  // the pause shows what was drawn before it
  SleepMs(static_cast<std::uint16_t>(ms));
}

// ---- Files ----

void AppendText(const ShortString& fileName, const ShortString& text) {
  const std::string name = fileName.Str();
  int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) ThrowIoError(name);
  std::string line = text.Str();
  line += '\n';
  WriteAndClose(fd, name, line);
}

// ---- Display codes ----

namespace {

// A display code that acts: its two letters and what it does.
struct TDisplayCodeRec {
  char Family;
  char Which;
  void (*Act)();
};

// The bell goes past the screen's buffer: what was drawn before it must
// leave first.
void RingBell() {
  FlushScreen();
  std::fputc(kBell, stdout);
  std::fflush(stdout);
}

void PauseForKey() {
  Screen->WritePipeStr(PausePrompt);
  ReadKey();
}

// Moves are clamped by the screen object, so column 0 becomes 1, etc.
void MoveX(int x) { GotoX(static_cast<std::uint8_t>(x)); }
void MoveY(int y) { GotoY(static_cast<std::uint8_t>(y)); }

constexpr TDisplayCodeRec kDisplayCodes[] = {
    {'B', 'E', RingBell},
    {'C', 'L', [] { ClearScreen(); }},
    {'C', 'P', [] { ClearEOL(); }},
    {'C', 'R', [] { WriteLine(""); }},
    {'D', 'E', [] { Delay(500); }},
    {'D', 'M', [] { Delay(70); }},
    {'D', 'S', [] { Delay(1000); }},
    {'O', 'S', [] { WriteStr("Unix"); }},
    {'P', 'I', [] { WriteStr(ShortString::Of(Screen->PipeChar)); }},
    {'P', 'M', PauseForKey},
    // One key is taken; the scan code of an extended key stays queued.
    {'P', 'A', [] { ReadKey(); }},
    {'R', 'S', [] { RestoreScreen(SavedScreen); }},
    {'S', 'S', [] { SaveScreen(SavedScreen); }},
    {'T', 'D', [] { WriteStr(Now("dd/mm/yyyy")); }},
    {'T', 'T', [] { WriteStr(Now("hh:II")); }},
    {'X', 'X', [] { WriteStr(" "); }},
    {'[', 'C', [] { MoveX(ScreenWidth / 2); }},
    {'[', 'D', [] { MoveY(WhereY() + 1); }},
    {'[', 'L', [] { MoveX(WhereX() - 1); }},
    {'[', 'R', [] { MoveX(WhereX() + 1); }},
    {'[', 'S', [] { MoveX(1); }},
    {'[', 'U', [] { MoveY(WhereY() - 1); }},
};

// The families of the codes above: their other codes are taken and do nothing.
constexpr std::string_view kDisplayCodeFamilies = "BCDOPRSTX[";

}  // namespace

bool DisplayCode(const ShortString& code) {
  if (code.size() != 2) return false;
  const char family = code[0];
  const char which = code[1];
  if (!gCodesWait && (family == 'D' || (family == 'P' && (which == 'M' || which == 'A'))))
    return true;
  if (kDisplayCodeFamilies.find(family) == std::string_view::npos) return false;
  for (const TDisplayCodeRec& known : kDisplayCodes) {
    if (known.Family == family && known.Which == which) {
      known.Act();
      break;
    }
  }
  return true;
}

// ---- Further helpers ----

void CursorBlock() { WriteLine("\x1b[?112c\x07"); }

void CursorNormal() { WriteLine("\x1b[?2c\x07"); }

bool CheckCtrlC() {
  if (!KeyPressed()) return false;
  if (ReadKey() != kKeyCtrlC) return false;
  WriteLine("Ctrl-C pressed");
  return true;
}

void WriteCell(std::uint8_t x, std::uint8_t y, char ch, std::uint8_t attr) {
  if (x < 1 || x > kScreenCols || y < 1 || y > kScreenRows) return;
  TCharInfo& cell = Screen->Buffer[y - 1][x - 1];
  cell.Ch = ch;
  cell.Attr = attr;
}

std::uint8_t GetTextColor() { return Screen->TextAttr & 15; }

std::uint8_t GetTextBackground() { return (Screen->TextAttr >> 4) & 7; }

void SetWindow(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2, bool home) {
  Screen->SetWindow(x1, y1, x2, y2, home);
}

void WriteCentered(std::uint8_t y, std::uint8_t attr, const ShortString& text) {
  const std::size_t len = text.size() > kScreenCols ? kScreenCols : text.size();
  WriteXY(static_cast<std::uint8_t>((kScreenCols - len) / 2 + 1), y, attr, text);
}

void FillBox(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2, char ch,
             std::uint8_t attr) {
  if (x1 < 1) x1 = 1;
  if (y1 < 1) y1 = 1;
  if (x2 > kScreenCols) x2 = kScreenCols;
  if (y2 > kScreenRows) y2 = kScreenRows;
  if (x1 > x2 || y1 > y2) return;
  const ShortString row = ShortString::Of(ch, static_cast<std::size_t>(x2 - x1 + 1));
  for (std::uint8_t y = y1; y <= y2; ++y) WriteXY(x1, y, attr, row);
}

void HighVideo() { SetTextAttr(static_cast<std::uint8_t>(Screen->TextAttr | 8)); }

void LowVideo() { SetTextAttr(static_cast<std::uint8_t>(Screen->TextAttr & ~8)); }

void NormVideo() { SetTextAttr(7); }

void ResetTerminal() {
  // Pending output goes first so the reset lands after it; the reset puts the
  // terminal's colours back to 7, so the attribute model follows.
  // With UTF-8 or DEC output the start-up selected the normal character set,
  // since the glyphs are sent otherwise; the ROM mapping would garble them. The
  // reset is the colour mode's own, which names light grey on black where
  // the terminal's default colours are not relied on.
  Screen->BufFlush();
  const bool normalSet = Screen->Utf8Output || Screen->Terminal.Modes.DecGraphics;
  Screen->RawWriteStr((normalSet ? "\x1b(B" : "\x1b(U") + Screen->Terminal.ResetSgr());
  Screen->TextAttr = 7;
}

ShortString StripPipe(const ShortString& text) { return StripPipeColors(text); }

ShortString FirstFileArgument(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    // A directory opens for reading too, but it is no file to read.
    const int fd = ::open(argv[i], O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    const bool isFile = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    if (isFile) return ShortString(argv[i]);
  }
  return ShortString();
}

}  // namespace corvix
