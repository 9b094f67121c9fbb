// PtySession: runs a program in a pseudo-terminal (80x25 by default) and reads what it
// draws through a real terminal emulator (libvterm, UTF-8 mode), so tests can
// assert screens as a person would see them and send keys as a terminal does.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>
#include <string_view>
#include <vector>

struct VTerm;
struct VTermScreen;

namespace corvix::e2e {

class PtySession {
 public:
  // Starts Program with Args in Cwd. Extra environment entries ("NAME=value")
  // are added to the inherited environment.
  PtySession(const std::string& program, const std::vector<std::string>& args,
             const std::string& cwd, const std::vector<std::string>& env = {}, int columns = 80,
             int rows = 25);
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // Sends bytes as typed keys.
  void Send(std::string_view bytes);
  // Writes bytes at once, without waiting for the program to take them.
  void SendNow(std::string_view bytes);
  // A lone Escape: the key followed by enough silence to tell it from a sequence.
  void SendEscape();

  // Reads output until Text shows anywhere on the screen, or TimeoutMs passes.
  bool WaitForText(std::string_view text, int timeoutMs = 5000);
  // Reads output until the program has been silent for QuietMs.
  void Settle(int quietMs = 150, int timeoutMs = 5000);
  // Waits for the program to end; its wait status, or -1 on time-out.
  int WaitExit(int timeoutMs = 10000);
  // Reads output until the program asks the terminal to resize itself
  // (ESC "[8;ROWS;COLSt"), then gives the pseudo-terminal that size, as a
  // terminal that grants the request does. False when no request came.
  bool GrantResizeRequest(int timeoutMs = 5000);

  // Row Y (1-based) as UTF-8 text, 80 cells, trailing blanks kept.
  std::string Row(int y) const;
  // The whole screen, rows joined with '\n'.
  std::string ScreenText() const;
  // The whole screen as the eye sees it: per cell the character and its
  // colours, bold and blink; a blank shows only its background. With the
  // cursor position, so that two screens compare equal when they look so.
  std::string ScreenLook() const;
  // The Unicode code point shown in cell (X, Y), 1-based.
  unsigned CellChar(int x, int y) const;
  // The colours of cell (X, Y) as foreground and background RGB, reverse video
  // applied: equal for cells drawn in the same colours.
  unsigned long CellColours(int x, int y) const;

  // Every byte the program wrote, in order.
  const std::string& Raw() const { return raw_; }
  // The pseudo-terminal's settings as they are now.
  termios Settings() const;
  // The settings the pseudo-terminal had before the program started.
  const termios& InitialSettings() const { return initial_; }
  pid_t Pid() const { return pid_; }

  // Blanks the emulator's screen, so that only a redraw can show anything.
  void ClearEmulator();
  // Gives the pseudo-terminal a new size (the program gets SIGWINCH); the
  // emulator stays 80x25.
  void Resize(int columns, int rows);
  // The colours the emulator shows where the program names none.
  void SetDefaultColors(unsigned char fgRed, unsigned char fgGreen, unsigned char fgBlue,
                        unsigned char bgRed, unsigned char bgGreen, unsigned char bgBlue);
  // What cell (X, Y) shows: palette indexes 0-15 (-1 for the emulator's
  // default colour), bold and blink.
  struct CellLook {
    int Fg, Bg;
    bool Bold, Blink;
  };
  CellLook Look(int x, int y) const;
  // The pen the emulator would write new text with: bold, blink, reverse,
  // foreground, background ("default" where none is named).
  std::string Pen() const;

 private:
  bool Pump(int timeoutMs);

  int master_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  bool exited_ = false;
  termios initial_{};
  VTerm* vt_ = nullptr;
  VTermScreen* screen_ = nullptr;
  std::string raw_;
};

// True when both settings agree on every flag and control character.
bool SameSettings(const termios& a, const termios& b);

// What an 80x25 emulator shows, as PtySession::ScreenLook gives it.
std::string ScreenLookOf(VTerm* vt);

}  // namespace corvix::e2e
