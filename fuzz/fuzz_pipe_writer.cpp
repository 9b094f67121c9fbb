// Fuzzes the pipe-code writers: WriteXYPipe and WritePipe of the console layer
// and the screen object's WritePipeStr, on arbitrary text at arbitrary places.
// Input: X, Y, attribute, terminal width, pipe-character choice, then the
// text, taken 255 bytes at a time. The screen writes into /dev/null; the
// keyboard reads a pipe holding enough keys for every key-waiting code. The
// codes that only sleep ("DE", "DS", "DM") and the bell ("BE", which writes
// to standard output) are disarmed by lower-casing their first letter.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "term/console.h"

namespace {

int DevNull() {
  static const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  return fd;
}

void Disarm(std::string& text, char pipe) {
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] != pipe) continue;
    const char a = text[i + 1], b = text[i + 2];
    if ((a == 'D' && (b == 'E' || b == 'S' || b == 'M')) || (a == 'B' && b == 'E'))
      text[i + 1] = 'x';
  }
}

void CheckCursor(const corvix::TOutput& s) {
  if (s.CursorX < 1 || s.CursorX > corvix::kScreenCols || s.CursorY < 1 ||
      s.CursorY > corvix::kScreenRows)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::uint8_t x = data[0], y = data[1], attr = data[2];
  const char pipe = (data[4] & 7) == 0 ? static_cast<char>(data[4] >> 3) : '|';
  std::string text(reinterpret_cast<const char*>(data + 5), size - 5);
  Disarm(text, pipe);

  int keys[2];
  if (::pipe(keys) != 0) std::abort();
  // Each key-waiting code takes three bytes of text, and the text is written
  // with codes twice (WriteXYPipe and WritePipe), so this many keys always do.
  const std::string typed(2 * (text.size() / 3 + 1), 'k');
  if (::write(keys[1], typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
    std::abort();

  corvix::TOutput screen(true, DevNull(), DevNull());
  corvix::TInput keyboard(keys[0]);
  screen.PipeChar = pipe;
  corvix::Screen = &screen;
  corvix::Keyboard = &keyboard;
  corvix::BeforeInputWait = corvix::BeforeKeyWait;
  corvix::ScreenWidth = data[3];
  corvix::SavedScreen = corvix::TConsoleImageRec{};
  corvix::PausePrompt = corvix::kDefaultPausePrompt;

  for (std::size_t at = 0; at < text.size() || at == 0; at += corvix::ShortString::kMaxLength) {
    const corvix::ShortString piece(std::string_view(text).substr(at));
    // WriteXYPipe puts the cursor and the attribute back as it found them.
    const std::uint8_t cx = screen.CursorX, cy = screen.CursorY, ca = screen.TextAttr;
    corvix::WriteXYPipe(x, y, attr, piece);
    if (screen.CursorX != cx || screen.CursorY != cy || screen.TextAttr != ca) std::abort();
    corvix::WritePipe(piece);
    CheckCursor(screen);
    screen.WritePipeStr(piece);
    CheckCursor(screen);
    corvix::StripPipe(piece);
    if (text.empty()) break;
  }

  corvix::Screen = nullptr;
  corvix::Keyboard = nullptr;
  ::close(keys[0]);
  ::close(keys[1]);
  return 0;
}
