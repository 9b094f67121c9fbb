// Fuzzes the widgets that read the operator's keys: the light-bar list, the
// pick list and the line editor, fed arbitrary terminal bytes. Input: widget
// choice, item count, four geometry bytes, a mode byte, then the key bytes.
// Items are built from the key bytes too, so names hold odd bytes and pipe
// codes. The keyboard reads a pipe whose writer is closed after the keys, so
// every widget sees Escape once the keys run out and ends.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "term/console.h"
#include "widgets/light_bar.h"
#include "widgets/line_input.h"
#include "widgets/menu_list.h"

namespace {

int DevNull() {
  static const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  return fd;
}

// Display codes that sleep or ring the bell are disarmed (they only waste
// time); the others stay, so item texts may move the cursor anywhere.
std::string Disarm(std::string text) {
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] != '|') continue;
    const char a = text[i + 1], b = text[i + 2];
    if ((a == 'D' && (b == 'E' || b == 'S' || b == 'M')) || (a == 'B' && b == 'E') ||
        (a == 'P' && (b == 'A' || b == 'M')))
      text[i + 1] = 'x';
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  const std::uint8_t which = data[0] % 3;
  // Every key redraws the visible rows; a few dozen items reach every state.
  const int count = data[1] % 48;
  // Places and sizes come from the program, not from outside; they are kept
  // near the screen (a little past its edges) so the keys get the time.
  const auto x = static_cast<std::uint8_t>(data[2] % 84),
             y = static_cast<std::uint8_t>(data[3] % 28);
  const auto w = static_cast<std::uint8_t>(data[4] % 84),
             h = static_cast<std::uint8_t>(data[5] % 28);
  const std::uint8_t mode = data[6];
  const std::string keys(reinterpret_cast<const char*>(data + 7), size - 7);

  int fds[2];
  if (::pipe(fds) != 0) std::abort();
  // A thousand keys reach every state; more only slow the search down.
  const std::size_t n = keys.size() < 1024 ? keys.size() : 1024;
  if (n > 0 && ::write(fds[1], keys.data(), n) != static_cast<ssize_t>(n)) std::abort();
  ::close(fds[1]);

  // An inactive screen keeps the whole model but sends nothing: the widgets
  // flush after every character, and the writes would dominate the run.
  corvix::TOutput screen(false, DevNull(), DevNull());
  corvix::TInput keyboard(fds[0]);
  corvix::Screen = &screen;
  corvix::Keyboard = &keyboard;
  corvix::BeforeInputWait = corvix::BeforeKeyWait;
  corvix::SavedScreen = corvix::TConsoleImageRec{};

  auto itemText = [&](int i) {
    const std::size_t from = keys.empty() ? 0 : (static_cast<std::size_t>(i) * 7) % keys.size();
    return corvix::ShortString(
        Disarm("item " + std::to_string(i) + keys.substr(from, (i * 13) % 90)));
  };

  if (which == 0) {
    corvix::TBar bar;
    bar.ExtKeys = (mode & 1) != 0;
    bar.ScrollBar = (mode & 2) != 0;
    bar.ShowMore = (mode & 4) != 0;
    bar.SearchX = (mode & 8) != 0 ? x : 0;
    bar.SearchY = y;
    bar.MoreX = w;
    bar.MoreY = h;
    for (int i = 0; i < count; ++i) bar.Add(itemText(i));
    if ((mode & 16) != 0) bar.Sort();
    // Left and Right end a run like Enter and Escape; run again until one of
    // those two, as the base selection does, but never for ever.
    for (int run = 0; run < 50; ++run) {
      const std::int32_t r = bar.Run(x, y, w, h, mode >> 5);
      if (r == corvix::barEnter || r == corvix::barEscape) break;
    }
  } else if (which == 1) {
    corvix::TMenuList list;
    list.NoFrame = (mode & 1) != 0;
    list.ShowScrollBar = (mode & 2) != 0;
    list.Marking = (mode & 4) != 0;
    list.RowAlign = static_cast<std::uint8_t>(mode >> 4);
    list.ExitScanCodes = "KM";
    for (int i = 0; i < count; ++i) list.Add(itemText(i), static_cast<std::uint8_t>(i % 3));
    for (int run = 0; run < 50; ++run) {
      list.Open(x, y, w, h);
      if (list.LastKey == 27 || list.LastKey == 13) break;
    }
    list.Close();
  } else {
    corvix::EndKeys = "\t\r\x1b";
    corvix::EndScanCodes = "HP";
    const corvix::ShortString start = itemText(count);
    for (int run = 0; run < 50; ++run) {
      corvix::EditLine(x, y, w, h, static_cast<std::uint8_t>(mode % 5), start);
      if (corvix::EndKey == 27) break;
    }
  }

  corvix::Screen = nullptr;
  corvix::Keyboard = nullptr;
  ::close(fds[0]);
  return 0;
}
