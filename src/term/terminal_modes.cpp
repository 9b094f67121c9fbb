// The terminal's modes: raw settings taken and given back, and the texts of
// the way into and out of the program's screen.
#include "term/terminal_modes.h"

#include "term/terminal_restore.h"

namespace corvix {

TTerminalModes::TTerminalModes(int termFd, int outFd, bool utf8, TScreenModesRec modes)
    : TermFd(termFd), OutFd(outFd), Utf8(utf8), Modes(modes) {}

TTerminalModes::~TTerminalModes() {
  SetRawMode(false);
  if (haveSaved_) DisarmTerminalRestore(TermFd);
}

void TTerminalModes::SetRawMode(bool on) {
  if (!on) {
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
  SetTerminalScreenModes(raw, EnterText(true).View(), LeaveText().View());
  if (::tcsetattr(TermFd, TCSANOW, &raw) == 0) RawMode = true;
}

namespace {

// The modes a program run on the terminal (an editor) may leave changed and
// that the screen relies on: the whole screen as scroll region, origin mode
// off, replace (not insert) mode, autowrap on, normal cursor and keypad keys,
// and G0 shifted in. The region and origin mode both put the cursor home.
constexpr char kModeReset[] = "\x1b[r\x1b[?6l\x1b[4l\x1b[?7h\x1b[?1l\x1b>\x0f";

}  // namespace

ShortString TTerminalModes::EnterText(bool resetModes) const {
  // The alternate screen comes first: entering it saves the cursor with the
  // pen and character set in force, and leaving it restores them, so what
  // the program sets must come after it to be undone on the way out. On the
  // Linux console ESC "(U" selects the direct character-ROM mapping so that
  // bytes 128-255 show the PC glyphs; a UTF-8 terminal gets its normal
  // character set, ESC "(B", since it is sent the glyphs themselves, and so
  // does a terminal sent the DEC set. The reset makes the terminal's
  // attribute match the screen object's 7.
  ShortString text = Modes.AltScreen ? "\x1b[?1049h" : "";
  if (resetModes) text += kModeReset;
  text += CharsetText();
  text += ResetSgr();
  if (Modes.HideCursor) text += "\x1b[?25l";
  return text;
}

ShortString TTerminalModes::LeaveText() const {
  // The main screen first (it puts back the pen saved on entering), then the
  // terminal's own default attribute, named by no colour, and its cursor.
  ShortString text = Modes.AltScreen ? "\x1b[?1049l" : "";
  text += "\x1b[0m\x1b(B";
  if (Modes.HideCursor) text += "\x1b[?25h";
  // The same modes for the shell, the cursor kept where it is: a scroll
  // region an editor left would otherwise make the shell scroll inside it.
  text +=
      "\x1b"
      "7";
  text += kModeReset;
  text +=
      "\x1b"
      "8";
  return text;
}

ShortString TTerminalModes::CharsetText() const {
  return Utf8 || Modes.DecGraphics ? "\x1b(B" : "\x1b(U";
}

ShortString TTerminalModes::ResetSgr() const { return SgrReset(Colors()); }

ShortString TTerminalModes::SetCursorVisible(bool on) {
  if (!Modes.HideCursor || on == CursorVisible) return {};
  CursorVisible = on;
  return on ? "\x1b[?25h" : "\x1b[?25l";
}

ShortString TTerminalModes::CursorText() const {
  if (!Modes.HideCursor) return {};
  return CursorVisible ? "\x1b[?25h" : "\x1b[?25l";
}

}  // namespace corvix
