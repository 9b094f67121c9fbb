// The console helper layer: the global screen and keyboard every screen of the
// program works through, the drawing and key helpers that forward to them, and
// WriteXYPipe with its pipe colour codes and two-letter display codes.
#pragma once

#include <cstdint>
#include <memory>

#include "support/short_string.h"
#include "term/input.h"
#include "term/output.h"

namespace corvix {

// Set by the start-up code right after it creates the screen object; every
// helper below draws on it. Tests point it at their own object.
extern TOutput* Screen;
// Set by the start-up code right after it creates the keyboard object; the key
// helpers read from it. Tests point it at their own object.
extern TInput* Keyboard;
// Column count of the terminal at program start (80 when standard output is not
// a terminal). Set once before main runs; read by the "[C" display code.
extern std::uint8_t ScreenWidth;
// Image kept by the "SS" display code and redrawn by "RS". All zero at start.
extern TConsoleImageRec SavedScreen;
// Text written by the "PM" display code. Set at start; callers may change it.
extern ShortString PausePrompt;

// Writes Screen's pending output to the terminal now (nothing when Screen is
// unset). Drawing only buffers it; this runs before every wait for a key and
// every Delay, so no caller needs it for what it draws.
void FlushScreen();

// Runs right before a keyboard blocks for a key: what signals asked for is
// served, then Screen's pending output leaves. TConsole installs it as the
// keyboard's BeforeInputWait; a test or benchmark that sets Screen and
// Keyboard itself installs it too.
void BeforeKeyWait();

// Does what signals asked of the screen since the last call: after a resume,
// a resize or a Ctrl-L, the whole screen is drawn again from the image, or,
// while the terminal is smaller than 80x20, one line asks for 80x20 instead.
// Runs before every wait for a key and every Delay, and when a wait is
// interrupted by a signal.
void HandleTerminalEvents();
// The same repaint at once, whatever the signals said (Ctrl-L).
void RefreshScreen();
// The line shown instead of the screen while the terminal is smaller than
// 80x20 (Columns x Rows is its size now).
ShortString TooSmallNotice(int columns, int rows);
// For the start of a run: while the terminal is too small, waits for it to
// grow (the notice is on it). False when Escape or Ctrl-C is pressed there
// (Ctrl-C also sets Interrupted when CtrlCLeaves is on).
bool AwaitTerminalSize();
// Shows the cursor while text is typed and hides it again afterwards (on
// terminals where the program hides it at all).
void ShowCursor(bool on);
// Names the row the next key works on (a highlight bar, a message box's
// buttons): a terminal of fewer than 25 rows keeps it in view, and the rows
// down to Bottom (a list's search line) where it has room for them.
void SetFocusRow(std::uint8_t y, std::uint8_t bottom = 0);

// Owns the screen and keyboard objects of a run: creates them, points Screen
// and Keyboard at them, installs the keyboard's wait hooks (flush before a
// wait, repaint after a resume or resize), and gives the terminal back when
// it closes or unwinds. One instance at a time.
class TConsole {
 public:
  TConsole(bool utf8, const TScreenModesRec& modes, int outFd = 1, int inFd = 0);
  // Closes, clearing the screen first when an exception unwinds past it.
  ~TConsole();
  TConsole(const TConsole&) = delete;
  TConsole& operator=(const TConsole&) = delete;
  // Sends what is pending, clears the screen when asked, leaves the program's
  // screen mode, restores the terminal settings and destroys both objects.
  // Screen and Keyboard are unset afterwards. A second call does nothing.
  void Close(bool clearFirst);

 private:
  std::unique_ptr<TOutput> screen_;
  std::unique_ptr<TInput> keyboard_;
};

// The prompt PausePrompt holds at program start.
inline constexpr const char* kDefaultPausePrompt = "Press a Key to continue...";

// ---- Drawing. X = column 1-80, Y = row 1-25, Attr an attribute byte. ----

// Text at (X, Y) in Attr, no codes interpreted; cursor and attribute restored.
void WriteXY(std::uint8_t x, std::uint8_t y, std::uint8_t attr, const ShortString& text);
// Text at (X, Y) starting in Attr, obeying pipe colour codes and display codes;
// cursor and attribute are restored afterwards. With Waits false (list rows,
// drawn again at every move) the codes that pause or wait for a key (DE,
// DM, DS, PM, PA) are swallowed without waiting. With ColourCodesOnly (texts
// from outside, such as base names) only the colour codes act: every other
// pipe shows as itself.
void WriteXYPipe(std::uint8_t x, std::uint8_t y, std::uint8_t attr, const ShortString& text,
                 bool waits = true, bool colourCodesOnly = false);
// WriteXYPipe at the cursor starting in attribute 7; the cursor returns.
void WritePipe(const ShortString& text);
// Plain text at the cursor in the current attribute; the cursor advances.
void WriteStr(const ShortString& text);
// Text followed by CR and LF.
void WriteLine(const ShortString& text);
void ClearScreen();
void ClearEOL();
void GotoXY(std::uint8_t x, std::uint8_t y);
void GotoX(std::uint8_t x);
void GotoY(std::uint8_t y);
std::uint8_t WhereX();
std::uint8_t WhereY();
// Character of image cell (X, Y); a space outside 1-80 x 1-25.
char GetCharAt(std::uint8_t x, std::uint8_t y);
// Attribute of image cell (X, Y); callers pass 1-80 and 1-25.
std::uint8_t GetAttrAt(std::uint8_t x, std::uint8_t y);
void SetTextAttr(std::uint8_t attr);
std::uint8_t GetTextAttr();
// Foreground := Color and 15; background and blink stay.
void TextColor(std::uint8_t color);
// Background := Color; the foreground stays.
void TextBackground(std::uint8_t color);
void SaveScreen(TConsoleImageRec& image);
void RestoreScreen(const TConsoleImageRec& image);

// ---- Keys and time. ----

// Called by ReadKey when F1 or Ctrl-G arrives, in place of returning it: the
// key is used up and ReadKey goes on to the next one. Unset, both are returned
// like any key. Set by the application while a screen has help to show. A
// pointer because the help screens live in the application, above this layer.
// (Ctrl-G is there for terminals that keep F1 for their own help.)
extern void (*HelpKeyHook)();

// While on, Ctrl-C typed at a screen leaves the run: ReadKey takes it as the
// start of Interrupted and returns Escape in its place. Set by the run flow
// for the screens; switched off while posting, where Ctrl-C is a key.
extern bool CtrlCLeaves;
// True once Ctrl-C was typed while CtrlCLeaves was on. From then on ReadKey
// returns Escape without waiting and KeyPressed says no key waits, so every
// screen unwinds as on Escape; the run flow then ends the run. Cleared only
// by ClearInterrupted (tests).
[[nodiscard]] bool Interrupted();
void ClearInterrupted();
// Discards the keys already typed and not yet read (after a notice closes, so
// that keys typed ahead of its closing key do not act on what comes next).
void DiscardTypedKeys();

// Next key byte: an ordinary key, or 0 followed by a scan code on the next call.
std::uint8_t ReadKey();
bool KeyPressed();
// True when a key arrives within Ms milliseconds (or one is already waiting).
bool KeyWait(std::int32_t ms);
// Sleeps Ms milliseconds; the count is taken modulo 65536, as a 16-bit value.
void Delay(std::int32_t ms);

// ---- Files. ----

// Appends Text and a line feed to FileName, creating the file when it cannot
// be opened for appending. Throws IoError when creating or writing fails.
void AppendText(const ShortString& fileName, const ShortString& text);

// ---- Codes. ----

// Carries out the two-letter display code Code (e.g. "CL", "[D"). True when the
// first letter names a display-code family ("B", "C", "D", "O", "P", "R", "S",
// "T", "X", "["): the code is then consumed even when the second letter matches
// nothing. False (and nothing done) for any other first letter.
bool DisplayCode(const ShortString& code);

// ---- Further helpers, not used by the program's screens. ----

// Software-cursor shape sequences of the Linux console, sent with WriteLine.
void CursorBlock();
void CursorNormal();
// False when no key waits; otherwise takes one key and, when it is Ctrl-C (3),
// writes "Ctrl-C pressed" with WriteLine and returns true.
bool CheckCtrlC();
// Puts Ch in Attr straight into cell (X, Y) of the screen model; nothing is
// sent to the terminal. Ignored outside 1-80 x 1-25.
void WriteCell(std::uint8_t x, std::uint8_t y, char ch, std::uint8_t attr);
// Foreground (0-15) and background (0-7) of the current attribute.
std::uint8_t GetTextColor();
std::uint8_t GetTextBackground();
// Scroll window rows Y1..Y2 (X1 and X2 are ignored by the screen object).
void SetWindow(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2, bool home);
// Text on row Y in Attr, centred on the 80 columns (no codes interpreted).
void WriteCentered(std::uint8_t y, std::uint8_t attr, const ShortString& text);
// Fills the rectangle X1..X2 x Y1..Y2 with Ch in Attr; cursor and attribute restored.
void FillBox(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2, char ch,
             std::uint8_t attr);
// Bright foreground on, bright off, and the default attribute 7.
void HighVideo();
void LowVideo();
void NormVideo();
// Sends the terminal reset ESC "(U" ESC "[0m" (ESC "(B" with UTF-8 output,
// and the colour mode's reset with explicit or PC colours, as at start-up)
// and puts the attribute model back to 7.
void ResetTerminal();
// Text with its pipe colour codes removed.
ShortString StripPipe(const ShortString& text);
// First command-line argument (from argv[1] on) that names a file that can be
// opened for reading; empty when there is none.
ShortString FirstFileArgument(int argc, const char* const* argv);

}  // namespace corvix
