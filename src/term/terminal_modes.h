// The terminal's modes and the way in and out: raw settings, alternate
// screen, character set, cursor visibility, and the texts that enter and
// leave the program's screen (which the signal handlers also send).
#pragma once

#include <termios.h>

#include <cstdint>

#include "support/short_string.h"
#include "term/sgr.h"

namespace corvix {

// The terminal modes of a screen object beyond its drawing. The defaults send
// the drawing's sequences and nothing else.
struct TScreenModesRec {
  TColorMode Colors = kColorsBold;
  bool TrueColor = false;   // Pc colours as 24-bit RGB rather than 256-colour indexes
  bool AltScreen = false;   // draw on the terminal's alternate screen, left on every way out
  bool HideCursor = false;  // keep the cursor hidden except where text is typed
  // Bytes 128-255 go to a terminal that is not sent UTF-8 as its DEC line
  // drawing set (frames, shading) or as ASCII stand-ins, never as code page
  // 437, which only the Linux console shows.
  bool DecGraphics = false;
};

// What the program changes on the terminal and how it gives it back. It
// decides the bytes; the screen object sends them through its one write loop.
class TTerminalModes {
 public:
  // TermFd: whose settings raw mode changes; OutFd: where an ending signal's
  // handler writes the leave text. Utf8: the terminal is sent UTF-8, so it
  // keeps its normal character set.
  TTerminalModes(int termFd, int outFd, bool utf8, TScreenModesRec modes);
  // Applies the settings taken at the start, if raw mode was entered.
  ~TTerminalModes();
  TTerminalModes(const TTerminalModes&) = delete;
  TTerminalModes& operator=(const TTerminalModes&) = delete;

  // On: takes the terminal settings (once; a second call keeps the first
  // copy) and applies a raw copy of them. Off: applies the taken settings.
  // Does nothing when the descriptor is not a terminal.
  void SetRawMode(bool on);

  // The bytes that put the terminal into the program's screen mode, and the
  // bytes that take it out again: the alternate screen is entered first and
  // left first, since it saves and restores the pen. ResetModes: after
  // another program had the terminal (an editor, the shell while stopped),
  // the modes it may have changed (scroll region, origin, keypad, shifted
  // character set) are put back too; the leave text always does so.
  ShortString EnterText(bool resetModes = false) const;
  ShortString LeaveText() const;
  // The SGR sequence for attribute 7 from any state, in this colour mode.
  ShortString ResetSgr() const;
  // The character set the program draws in: ESC "(U", the Linux console's
  // PC glyphs, or ESC "(B", the normal set, for a terminal sent UTF-8 or the
  // DEC set (which the output switches to and back around line drawing).
  ShortString CharsetText() const;
  TColorsRec Colors() const { return {Modes.Colors, Modes.TrueColor}; }
  // The bytes that show or hide the cursor, when it is to change (only with
  // Modes.HideCursor); empty otherwise. The state follows.
  ShortString SetCursorVisible(bool on);
  // The bytes that give the cursor the state it has now, for a repaint.
  ShortString CursorText() const;

  struct termios SavedTermios {};  // settings taken when raw mode was entered
  int TermFd;
  int OutFd;
  bool RawMode = false;  // true while the raw copy is applied by this object
  bool Utf8;
  TScreenModesRec Modes;
  bool CursorVisible = true;  // the terminal's cursor as last set

 private:
  bool haveSaved_ = false;  // SavedTermios holds settings taken from TermFd
};

}  // namespace corvix
