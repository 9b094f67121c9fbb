// The pseudo-terminal runner and its terminal emulator.
#include "pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>
#include <vterm.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

namespace corvix::e2e {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

PtySession::PtySession(const std::string& program, const std::vector<std::string>& args,
                       const std::string& cwd, const std::vector<std::string>& env, int columns,
                       int rows) {
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(rows);
  ws.ws_col = static_cast<unsigned short>(columns);
  termios tio{};
  cfmakeraw(&tio);
  // A terminal as a login shell leaves it: canonical mode, echo, signals, output post-processing.
  tio.c_iflag = ICRNL | IXON | IUTF8;
  tio.c_oflag = OPOST | ONLCR;
  tio.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN | ECHOCTL | ECHOKE;
  tio.c_cflag = CS8 | CREAD | B38400;
  tio.c_cc[VINTR] = 3;
  tio.c_cc[VQUIT] = 28;
  tio.c_cc[VERASE] = 127;
  tio.c_cc[VKILL] = 21;
  tio.c_cc[VEOF] = 4;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, B38400);
  cfsetospeed(&tio, B38400);

  // The settings are taken before the child exists: read after the fork,
  // they could already be the raw ones the program switched to.
  int slave = -1;
  if (openpty(&master_, &slave, nullptr, &tio, &ws) != 0)
    throw std::runtime_error("openpty failed");
  tcgetattr(master_, &initial_);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    close(master_);
    if (login_tty(slave) != 0) _exit(125);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(slave);
  // An 80-column terminal of 20 to 24 rows is emulated at its size; every
  // other as 80x25.
  vt_ = vterm_new(columns == 80 && rows >= 20 && rows < 25 ? rows : 25, 80);
  vterm_set_utf8(vt_, 1);
  screen_ = vterm_obtain_screen(vt_);
  vterm_screen_reset(screen_, 1);
}

PtySession::~PtySession() {
  if (!exited_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
  if (vt_ != nullptr) vterm_free(vt_);
}

void PtySession::Send(std::string_view bytes) {
  SendNow(bytes);
  // Keys arrive one burst at a time, as typed: give the program a moment so
  // that the next burst is not read as part of this one.
  Settle(40, 2000);
}

void PtySession::SendNow(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void PtySession::SendEscape() {
  Send("\x1b");
  Settle(80, 2000);
}

bool PtySession::Pump(int timeoutMs) {
  pollfd p{master_, POLLIN, 0};
  int r = poll(&p, 1, timeoutMs);
  if (r <= 0) return false;
  char buf[4096];
  ssize_t n = read(master_, buf, sizeof buf);
  if (n <= 0) return false;
  raw_.append(buf, static_cast<std::size_t>(n));
  vterm_input_write(vt_, buf, static_cast<std::size_t>(n));
  // Drain the emulator's own answers (none are expected); they are not sent back.
  char answer[256];
  while (vterm_output_read(vt_, answer, sizeof answer) > 0) {
  }
  return true;
}

bool PtySession::WaitForText(std::string_view text, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (ScreenText().find(text) != std::string::npos) return true;
    int left = MsLeft(deadline);
    if (left == 0) return false;
    if (!Pump(left)) {
      if (exited_ || waitpid(pid_, &status_, WNOHANG) == pid_) {
        exited_ = true;
        while (Pump(0)) {
        }
        return ScreenText().find(text) != std::string::npos;
      }
    }
  }
}

void PtySession::Settle(int quietMs, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (MsLeft(deadline) > 0 && Pump(quietMs)) {
  }
}

int PtySession::WaitExit(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!exited_) {
    Pump(20);
    if (waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
    if (!exited_ && MsLeft(deadline) == 0) return -1;
  }
  while (Pump(0)) {
  }
  return status_;
}

bool PtySession::GrantResizeRequest(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::size_t at = raw_.find("\x1b[8;");
    std::size_t end = at == std::string::npos ? at : raw_.find('t', at);
    if (end != std::string::npos) {
      int rows = 0, columns = 0;
      if (std::sscanf(raw_.c_str() + at, "\x1b[8;%d;%dt", &rows, &columns) != 2) return false;
      winsize ws{};
      ws.ws_row = static_cast<unsigned short>(rows);
      ws.ws_col = static_cast<unsigned short>(columns);
      return ioctl(master_, TIOCSWINSZ, &ws) == 0;
    }
    int left = MsLeft(deadline);
    if (left == 0) return false;
    if (!Pump(left) && !exited_ && waitpid(pid_, &status_, WNOHANG) == pid_) {
      exited_ = true;
      return false;
    }
  }
}

std::string PtySession::Row(int y) const {
  std::string out;
  for (int x = 1; x <= 80; ++x) {
    unsigned c = CellChar(x, y);
    AppendUtf8(out, c == 0 ? ' ' : c);
  }
  return out;
}

std::string PtySession::ScreenText() const {
  std::string out;
  for (int y = 1; y <= 25; ++y) {
    out += Row(y);
    out += '\n';
  }
  return out;
}

std::string PtySession::ScreenLook() const { return ScreenLookOf(vt_); }

std::string ScreenLookOf(VTerm* vt) {
  VTermScreen* screen = vterm_obtain_screen(vt);
  std::string out;
  VTermPos cursor{};
  vterm_state_get_cursorpos(vterm_obtain_state(vt), &cursor);
  out += std::to_string(cursor.row) + "," + std::to_string(cursor.col) + "\n";
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 80; ++x) {
      VTermScreenCell cell{};
      vterm_screen_get_cell(screen, VTermPos{y, x}, &cell);
      const unsigned ch = cell.chars[0] == 0 ? ' ' : cell.chars[0];
      AppendUtf8(out, ch);
      const bool blank = ch == ' ';
      // The terminal's own colours count as black and light grey, as the
      // program's attribute 7 takes them.
      out += static_cast<char>(
          'a' + (VTERM_COLOR_IS_DEFAULT_BG(&cell.bg) ? 0 : cell.bg.indexed.idx % 16));
      if (!blank) {
        out += static_cast<char>(
            'a' + (VTERM_COLOR_IS_DEFAULT_FG(&cell.fg) ? 7 : cell.fg.indexed.idx % 16));
        out += static_cast<char>('0' + cell.attrs.bold + 2 * cell.attrs.blink);
      }
    }
    out += '\n';
  }
  return out;
}

unsigned PtySession::CellChar(int x, int y) const {
  VTermScreenCell cell{};
  VTermPos pos{y - 1, x - 1};
  vterm_screen_get_cell(screen_, pos, &cell);
  return cell.chars[0];
}

unsigned long PtySession::CellColours(int x, int y) const {
  VTermScreenCell cell{};
  VTermPos pos{y - 1, x - 1};
  vterm_screen_get_cell(screen_, pos, &cell);
  VTermColor fg = cell.fg, bg = cell.bg;
  vterm_screen_convert_color_to_rgb(screen_, &fg);
  vterm_screen_convert_color_to_rgb(screen_, &bg);
  if (cell.attrs.reverse) std::swap(fg, bg);
  auto rgb = [](const VTermColor& c) {
    return (static_cast<unsigned long>(c.rgb.red) << 16) | (c.rgb.green << 8) | c.rgb.blue;
  };
  return (rgb(fg) << 24) | rgb(bg);
}

void PtySession::ClearEmulator() {
  Settle(50, 1000);  // what is on its way belongs to the screen being cleared
  vterm_screen_reset(screen_, 1);
}

void PtySession::Resize(int columns, int rows) {
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(rows);
  ws.ws_col = static_cast<unsigned short>(columns);
  ioctl(master_, TIOCSWINSZ, &ws);
}

void PtySession::SetDefaultColors(unsigned char fgRed, unsigned char fgGreen, unsigned char fgBlue,
                                  unsigned char bgRed, unsigned char bgGreen,
                                  unsigned char bgBlue) {
  VTermColor fg, bg;
  vterm_color_rgb(&fg, fgRed, fgGreen, fgBlue);
  vterm_color_rgb(&bg, bgRed, bgGreen, bgBlue);
  vterm_state_set_default_colors(vterm_obtain_state(vt_), &fg, &bg);
}

PtySession::CellLook PtySession::Look(int x, int y) const {
  VTermScreenCell cell{};
  VTermPos pos{y - 1, x - 1};
  vterm_screen_get_cell(screen_, pos, &cell);
  auto index = [](const VTermColor& c) {
    return VTERM_COLOR_IS_INDEXED(&c) ? int{c.indexed.idx} : -1;
  };
  return {index(cell.fg), index(cell.bg), cell.attrs.bold != 0, cell.attrs.blink != 0};
}

std::string PtySession::Pen() const {
  VTermState* state = vterm_obtain_state(vt_);
  std::string out;
  VTermValue v{};
  for (VTermAttr a : {VTERM_ATTR_BOLD, VTERM_ATTR_BLINK, VTERM_ATTR_REVERSE}) {
    vterm_state_get_penattr(state, a, &v);
    out += v.boolean ? '1' : '0';
  }
  for (VTermAttr a : {VTERM_ATTR_FOREGROUND, VTERM_ATTR_BACKGROUND}) {
    vterm_state_get_penattr(state, a, &v);
    const VTermColor& c = v.color;
    out += VTERM_COLOR_IS_DEFAULT_FG(&c) || VTERM_COLOR_IS_DEFAULT_BG(&c) ? " default"
           : VTERM_COLOR_IS_INDEXED(&c)
               ? " " + std::to_string(c.indexed.idx)
               : " rgb" + std::to_string(c.rgb.red) + "," + std::to_string(c.rgb.green) + "," +
                     std::to_string(c.rgb.blue);
  }
  return out;
}

termios PtySession::Settings() const {
  termios t{};
  tcgetattr(master_, &t);
  return t;
}

bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

}  // namespace corvix::e2e
