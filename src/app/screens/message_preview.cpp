// The " Preview " box: From, To, Subject and the scrollable message text.
#include "app/screens/message_preview.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "app/config/session.h"
#include "app/screens/dialog_settings.h"
#include "app/screens/help.h"
#include "support/fd_io.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/cp437.h"
#include "term/keys.h"
#include "widgets/light_bar.h"
#include "widgets/menu_box.h"

namespace corvix {
namespace {

// The box covers the screen but for the background's edges; the message's
// rows lie between the three fields and the status line.
constexpr std::uint8_t kLeft = 4;
constexpr std::uint8_t kWidth = 74;
constexpr std::uint8_t kStatusRow = 23;
constexpr std::uint8_t kLabelWidth = 9;
constexpr std::size_t kValueWidth = kWidth - kLabelWidth;

// The file's bytes, at most kPreviewMaxBytes; false when it cannot be read.
bool ReadMessage(const std::string& path, std::string& text, bool& more) {
  // Not blocking on a FIFO, and only a regular file is read through.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    text.resize(kPreviewMaxBytes + 1);
    const std::size_t n = ReadFully(fd, text.data(), text.size());
    ok = n == text.size() || errno == 0;
    more = n > kPreviewMaxBytes;
    text.resize(std::min(n, kPreviewMaxBytes));
  }
  ::close(fd);
  return ok;
}

// Label and Value from row Y on; returns the row after them.
std::uint8_t DrawField(std::uint8_t y, const char* label, const ShortString& value) {
  WriteXY(kLeft, y, 15, ShortString(label));
  // The texts go into the job file as they are: shown whole, a long one over
  // as many rows as it needs, with nothing in them acting on the terminal.
  const std::string shown = ShownText(value.View(), TShownOn::kScreen);
  std::size_t at = 0;
  do {
    WriteXY(kLeft + kLabelWidth, y++, 7,
            PadRight(ShortString(shown.substr(at, kValueWidth)), kValueWidth, ' '));
    at += kValueWidth;
  } while (at < shown.size());
  return y;
}

void DrawLines(const std::vector<std::string>& lines, std::int32_t top, std::uint8_t firstRow) {
  const std::int32_t rows = kStatusRow - firstRow;
  for (std::int32_t i = 0; i < rows; ++i) {
    const auto at = static_cast<std::size_t>(top + i);
    const ShortString line(at < lines.size() ? std::string_view(lines[at]) : std::string_view());
    // Colour codes colour the text as the host's readers will see it; no
    // other pipe code acts.
    WriteXYPipe(kLeft, static_cast<std::uint8_t>(firstRow + i), 7,
                FitRow(line, kWidth, ShortString::kMaxLength, true, kCutMark), false, true);
  }
  const auto count = static_cast<std::int32_t>(lines.size());
  const std::string where = count == 0 ? "no lines"
                                       : "lines " + std::to_string(top + 1) + "-" +
                                             std::to_string(std::min(top + rows, count)) + " of " +
                                             std::to_string(count);
  WriteXY(kLeft, kStatusRow, 8,
          PadRight(ShortString(where + "   Up/Down PgUp/PgDn Home/End scroll, ESC returns"), kWidth,
                   ' '));
}

}  // namespace

std::vector<std::string> PreviewLines(const std::string& path) {
  std::string text;
  bool more = false;
  if (!ReadMessage(path, text, more)) return {"(the message file cannot be read)"};
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string_view line = std::string_view(text).substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The host takes the file's bytes as they are, in its own set: a UTF-8
    // file bound for a code page 437 host shows here as its readers will see it.
    const std::string screen = Session.Utf8Host ? Cp437FromUtf8(line) : std::string(line);
    lines.push_back(ShownText(screen, TShownOn::kScreen));
    at = end + 1;
  }
  if (more) lines.push_back("(the rest of the file is not shown)");
  return lines;
}

void ShowMessagePreview(const std::string& path) {
  THelpScope help(kHelpPreview);
  const std::vector<std::string> lines = PreviewLines(path);
  const std::uint8_t oldX = WhereX(), oldY = WhereY(), oldAttr = GetTextAttr();
  TMenuBox box;
  ApplyDialogSettings(box);
  box.Title = " Preview ";
  box.Open(2, 2, 79, 24);
  std::uint8_t y = DrawField(3, "From", Session.MsgFrom);
  y = DrawField(y, "To", Session.MsgTo);
  y = DrawField(y, "Subject", Session.MsgSubject);
  WriteXY(kLeft, y, 8, RepeatChar(static_cast<char>(196), kWidth));
  // Three values of 255 characters take twelve rows; seven are left.
  const auto firstRow = static_cast<std::uint8_t>(y + 1);
  const std::int32_t rows = kStatusRow - firstRow;
  const std::int32_t lastTop =
      std::max<std::int32_t>(static_cast<std::int32_t>(lines.size()) - rows, 0);
  // A terminal of fewer rows than the box keeps the message's lines and
  // their status line in view, the fields above giving way first.
  SetFocusRow(firstRow, kStatusRow);
  std::int32_t top = 0;
  for (;;) {
    DrawLines(lines, top, firstRow);
    const std::uint8_t key = ReadKey();
    if (key == kKeyEscape) break;
    if (key != kKeyExtended) continue;
    switch (ReadKey()) {
      case kScanUp:
        --top;
        break;
      case kScanDown:
        ++top;
        break;
      case kScanPgUp:
        top -= rows;
        break;
      case kScanPgDn:
        top += rows;
        break;
      case kScanHome:
        top = 0;
        break;
      case kScanEnd:
        top = lastTop;
        break;
      default:
        break;
    }
    top = std::clamp<std::int32_t>(top, 0, lastTop);
  }
  box.Close();
  GotoXY(oldX, oldY);
  SetTextAttr(oldAttr);
}

}  // namespace corvix
