// The screen object: an in-memory image of the 80x25 terminal screen, the
// cursor and attribute model, and the one output buffer through which every
// drawing request leaves the process as ANSI/VT100 sequences.
#pragma once

#include <unistd.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "support/short_string.h"
#include "term/cell.h"
#include "term/terminal_modes.h"

namespace corvix {

// The fewest terminal rows the program runs on. With fewer than 25, the
// terminal's last row shows image row 25 (the help line) and the rows above
// it a window of the image that keeps the focus row in view; with 24 that is
// image rows 2-25 (row 1 holds only the background on every screen).
inline constexpr std::uint8_t kMinTerminalRows = 20;
inline constexpr std::size_t kOutBufferSize = 1024;  // bytes collected before a write

// A saved screen. The rectangle X1..X2 x Y1..Y2 of the screen is stored packed
// at the top left of Data: image row i, column j (1-based) holds screen cell
// (X1 + j - 1, Y1 + i - 1). An all-zero image (never filled) covers nothing.
struct TConsoleImageRec {
  TConsoleScreenRec Data;
  std::uint8_t CursorX;
  std::uint8_t CursorY;
  std::uint8_t CursorA;  // attribute in force when the image was taken
  std::uint8_t X1;
  std::uint8_t X2;
  std::uint8_t Y1;
  std::uint8_t Y2;
};

static_assert(sizeof(TConsoleImageRec) == 8007);

class TRenderer;

// How drawing reaches the terminal. Full: every request sends its sequences
// as it is made. Changes: requests only change the images, and each flush
// sends the cells, cursor moves and attribute changes that differ from what
// the terminal shows, leaving the same screen in far fewer bytes.
enum class TRedrawMode : std::uint8_t { kChanges, kFull };

// The platform screen object. Coordinates are 1-based bytes: columns 1-80,
// rows 1-25.
//
// When bytes leave: drawing only fills the 1024-byte buffer, which is written
// out when it is full and when BufFlush is called. The program calls it
// wherever the terminal must show everything drawn so far: before it waits
// for a key (the console layer hooks the keyboard's wait), before it sleeps,
// before a child process takes the terminal (SuspendRaw) and at the end (the
// destructor). So a key's whole redraw leaves in ceil(bytes / 1024) writes,
// and the byte stream is the same as if every call had flushed. While an instance exists the
// terminal is in raw mode (when the terminal-settings descriptor is a terminal at all; otherwise
// raw mode is simply skipped and everything else works the same).
class TOutputLinux {
 public:
  // Enters raw mode on TermFd, sends ESC "(U" ESC "[0m" (ESC "(B" instead of
  // ESC "(U" with UTF-8 or DEC output) and clears the screen.
  // OutFd receives every byte; an inactive object writes nothing at all.
  // Modes add the alternate screen (before the reset) and the hidden cursor
  // to the start-up sequence and choose the colour sequences.
  explicit TOutputLinux(bool active, int outFd = STDOUT_FILENO, int termFd = STDIN_FILENO,
                        bool utf8Output = false, TScreenModesRec modes = {});
  // Flushes the buffer; Terminal then restores the settings taken at creation.
  virtual ~TOutputLinux();

  TOutputLinux(const TOutputLinux&) = delete;
  TOutputLinux& operator=(const TOutputLinux&) = delete;

  // ---- Buffer and raw output. ----

  // Appends S to the buffer, flushing each time it holds 1024 bytes.
  void BufAddStr(const ShortString& s);
  // Appends one byte to the buffer, flushing when it holds 1024 bytes.
  void BufAddChar(char ch);
  // Writes the pending bytes (when Active) and empties the buffer. Short
  // writes and interrupted writes are continued; other write errors are ignored.
  void BufFlush();
  // Writes S at once, past the buffer (which is neither used nor flushed).
  void RawWriteStr(const ShortString& s);

  // ---- Attribute and cursor. ----

  // The SGR sequence that takes the terminal from TextAttr to Attr; empty
  // when they are equal; only what differs is sent. Blink (and, with bold
  // colours, bright) is only ever turned off by a reset.
  ShortString AttrToAnsi(std::uint8_t attr) const;
  // The SGR sequence that takes the terminal from From to To in this
  // object's colour mode: every attribute change sent is made here.
  ShortString AttrToAnsi(std::uint8_t from, std::uint8_t to) const;
  // Sends AttrToAnsi(Attr) into the buffer (no flush) and stores it.
  void SetTextAttr(std::uint8_t attr);
  // Clamps to 1-80 x 1-25, sends ESC "[" Y ";" X "H", stores.
  void CursorXY(std::uint8_t x, std::uint8_t y);
  void SetCursorX(std::uint8_t x);
  void SetCursorY(std::uint8_t y);

  // ---- Clearing, window, size. ----

  // Clears the scroll window in TextAttr and homes the cursor to its top row.
  void ClearScreen();
  // Sends ESC "[K"; the image is left as it was.
  void ClearEOL();
  // Scroll window rows Y1..Y2; X1 and X2 are accepted and ignored.
  void SetWindow(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2, bool home);
  // Asks the terminal for Lines rows of 80 columns and sets the window to them.
  void SetScreenSize(std::uint8_t lines);

  // ---- Writing. ----

  // Sends one byte and mirrors it in the image: 8 moves left, 10 moves down,
  // 13 returns to column 1, any other byte fills the cell and advances,
  // wrapping after column 80. The image never scrolls.
  void WriteChar(char ch);
  // WriteChar for each byte of S.
  void WriteStr(const ShortString& s);
  // WriteChar for each byte of S, then CR and LF.
  void WriteLine(const ShortString& s);
  // S at (X, Y) in Attr; the caller's cursor and attribute are put back.
  void WriteXY(std::uint8_t x, std::uint8_t y, std::uint8_t attr, const ShortString& s);
  // S at the cursor, obeying PipeChar colour codes "00"-"23".
  void WritePipeStr(const ShortString& s);

  // ---- The image. ----

  // Character and attribute of image cell (X, Y), 1-80 x 1-50; outside the
  // image a space in attribute 7.
  char ReadCharXY(std::uint8_t x, std::uint8_t y) const;
  std::uint8_t ReadAttrXY(std::uint8_t x, std::uint8_t y) const;
  // Copies the visible 80x25 screen, the cursor and the attribute into Image.
  void GetScreenImage(TConsoleImageRec& image) const;
  // Redraws Image on the terminal and in the image, then restores its
  // attribute and cursor. An image whose rectangle is not within
  // 1 <= X1 <= X2 <= 80, 1 <= Y1 <= Y2 <= 50 (an all-zero image) draws nothing.
  void PutScreenImage(const TConsoleImageRec& image);
  // Decodes a crunched screen picture of Size bytes and draws it with
  // PutScreenImage over columns X1..X2 from row Y1 (see term/crunched.h).
  void LoadCrunched(const std::uint8_t* data, std::uint16_t size, std::uint8_t x2, std::uint8_t x1,
                    std::uint8_t y1);

  // Draws the whole visible screen again from the image, for when the
  // terminal may no longer show it (after a resume, a resize or Ctrl-L): the
  // attribute is reset first, since the terminal's is then unknown.
  // Also sends the cursor's visibility, and ends the too-small notice.
  void Repaint();
  // For a terminal smaller than 80x20: clears it and shows Notice on its
  // first row. Until the next Repaint nothing drawn is sent; the image keeps
  // all of it.
  void ShowTooSmall(const ShortString& notice);
  // The terminal's row count (20 or more; more than 25 counts as 25). On
  // fewer than 25 rows a window of the image is shown (see FocusRow), which
  // only the changes stream can do, so Full is then put off until the
  // terminal has 25 rows again. Follow it with Repaint.
  void SetTerminalRows(int rows);
  // Shows or hides the terminal's cursor (only with Terminal.Modes.HideCursor).
  void SetCursorVisible(bool on);
  // The way out of the program's screen: sends what is pending, then (with
  // ClearFirst) clears the screen in the terminal's default colours, then the
  // leave text (attribute reset, normal character set, visible cursor, main
  // screen). The terminal settings are restored by the destructor.
  void LeaveScreen(bool clearFirst);

  // ---- Redraw mode (see TRedrawMode). ----

  // Objects start in Full (see SetTerminalRows for fewer than 25 rows). Changes starts with the
  // terminal unknown, so the first flush draws the whole image once.
  void SetRedrawMode(TRedrawMode mode);
  // For when something else may have drawn on the terminal (a child process,
  // a resume, a resize): in Changes mode the next flush redraws every cell
  // from the image. Nothing to do in Full mode.
  void MarkTerminalUnknown();
  // In Changes mode, puts the bytes of what was drawn since the last flush
  // into the buffer, so that bytes added next come after them.
  void SendChanges();

  // ---- Terminal modes (see TTerminalModes). ----

  void SetRawMode(bool on) { Terminal.SetRawMode(on); }
  ShortString EnterText(bool resetModes = false) const { return Terminal.EnterText(resetModes); }
  ShortString LeaveText() const { return Terminal.LeaveText(); }
  // For running a child process on the terminal as it was at start: flushes
  // pending output, sends the leave text, asks for the terminal's size at
  // start when it grew as asked (RestoreTerminalSize) and applies the
  // settings taken at creation. ResumeRaw asks for the grown size again,
  // applies the raw copy and re-sends the start-up sequence, which the child
  // may have undone; on the alternate screen, which the child may have
  // cleared or left, it also repaints. Both are harmless when not raw.
  void SuspendRaw();
  void ResumeRaw();

  // ---- Fields, in the order the screen object has always kept them; the
  // terminal settings are kept by Terminal. ----

  TTerminalModes Terminal;  // raw settings, alternate screen, cursor, the way in and out
  std::array<char, kOutBufferSize> OutBuffer{};
  std::uint16_t OutBufPos = 0;           // bytes pending in OutBuffer
  std::uint8_t TextAttr = kDefaultAttr;  // attribute last sent to the terminal
  std::uint8_t WinTop = 1;               // scroll window rows
  std::uint8_t WinBot = kScreenRows;
  std::uint8_t CursorX = 1;
  std::uint8_t CursorY = 1;
  char PipeChar = '|';                    // introduces a colour code
  std::uint8_t ScreenSize = kScreenRows;  // terminal rows
  TConsoleScreenRec Buffer{};             // the screen image
  bool Active = false;                    // whether output reaches OutFd

  int OutFd;   // where the bytes go
  int TermFd;  // whose settings raw mode changes
  // Off: bytes 128-255 are sent as they are, for a terminal showing code
  // page 437. On: they are sent as UTF-8, for terminals that take UTF-8. Only
  // the bytes leaving the process change; the image keeps code-page bytes.
  // With Off and Terminal.Modes.DecGraphics they go as the DEC line-drawing
  // set or ASCII stand-ins (Cp437Narrow).
  bool Utf8Output = false;
  bool Hidden = false;  // the terminal is too small: drawing is not sent
  bool Left = false;    // the screen was left (LeaveScreen): nothing is sent until re-entered
  std::uint8_t TermRows = kScreenRows;  // the terminal's rows: 20 to 25
  // The row the operator works on (a highlight bar, a message box's
  // buttons), set by the widget that reads the next key; 0 for none. While
  // the cursor is shown (text is typed) its row counts instead. On a terminal
  // of fewer than 25 rows the window above the help line follows it.
  std::uint8_t FocusRow = 0;
  // The last row that goes with FocusRow (a list's search line below its
  // bar), kept in view as well where the window is tall enough; 0 for none.
  std::uint8_t FocusBot = 0;

 private:
  void WriteAll(const char* data, std::size_t size) const;
  void SendEnter(bool resetModes = false);  // the enter text, at once; the models follow it
  // Sends what a renderer request put into pending_.
  void Send();
  // Requests whose effect on the terminal is not modelled go through the
  // full stream: what was drawn goes first, the terminal is unknown after.
  void BeginUnmodelled();
  void EndUnmodelled();
  void ApplyRedrawMode();  // the stream for fullWanted_ and TermRows
  void FollowFocus();      // the changes stream's window for TermRows and the focus

  std::unique_ptr<TRenderer> full_;     // the full stream, always there
  std::unique_ptr<TRenderer> changes_;  // the changes stream, in Changes mode
  TRenderer* renderer_;                 // the stream requests go to now
  std::string pending_;                 // a request's bytes on their way to the buffer
  std::uint8_t changesFirstRow_ = 1;    // the image row changes_ shows on the terminal's first
  std::uint8_t changesWindowBot_ = kScreenRows - 1;  // and the last above the help line
  bool fullWanted_ = true;                           // the redraw mode asked for is Full
  bool rendering_ = false;  // while set, a flush sends no changes (it only writes)
};

// The name the rest of the program uses for the screen object.
class TOutput : public TOutputLinux {
 public:
  using TOutputLinux::TOutputLinux;
};

}  // namespace corvix
