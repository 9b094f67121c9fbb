// The confirmation list beside the " Message " box, which on Enter hands the
// marked bases to the posting view.
#include "app/screens/confirmation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "app/config/session.h"
#include "app/posting/posting_job.h"
#include "app/screens/dialogs.h"
#include "app/screens/help.h"
#include "app/screens/message_preview.h"
#include "app/screens/posting_view.h"
#include "support/fd_io.h"
#include "support/file_utils.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/cp437.h"
#include "term/keys.h"
#include "widgets/light_bar.h"
#include "widgets/menu_box.h"
#include "widgets/menu_list.h"

namespace corvix {

namespace {

// Column of the " Message " box's texts and their width.
constexpr std::uint8_t kDetailsLeft = 57;
constexpr std::size_t kDetailsWidth = 22;

constexpr const char* kConfirmHelpLine =
    "Press F3 to preview the message, ENTER to post it, ESC to abort.";

}  // namespace

std::int64_t CountLines(const std::string& path) {
  // Not blocking on a FIFO, and only a regular file is read through.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  std::int64_t lines = 0;
  char last = '\n';
  char buf[65536];
  for (;;) {
    const std::size_t n = ReadFully(fd, buf, sizeof buf);
    lines += std::count(buf, buf + n, '\n');
    if (n > 0) last = buf[n - 1];
    if (n < sizeof buf) break;
  }
  const bool failed = errno != 0;
  ::close(fd);
  if (failed) return -1;
  return last == '\n' ? lines : lines + 1;
}

ShortString TailOfName(const std::string& name, std::size_t width) {
  if (name.size() <= width) return ShortString(name);
  return ShortString("...") + ShortString(std::string_view(name).substr(name.size() - (width - 3)));
}

void DrawMessageDetails() {
  TMenuBox box;  // left on screen as a backdrop, like the frame beside it
  ApplyDialogSettings(box);
  box.Title = " Message ";
  box.Open(56, 2, 79, 9);
  const std::string file = AbsolutePath(Session.MsgFile, Session.StartDir);
  auto row = [](std::uint8_t y, std::uint8_t attr, const ShortString& text) {
    WriteXY(kDetailsLeft, y, attr,
            PadMarked(ShortString(ShownText(text.View(), TShownOn::kScreen)), kDetailsWidth));
  };
  row(3, 15, TailOfName(Session.Utf8Terminal ? Cp437FromUtf8(file) : file, kDetailsWidth));
  const std::int64_t lines = CountLines(file);
  row(4, 7,
      lines < 0    ? ShortString("cannot be read")
      : lines == 1 ? ShortString("1 line")
                   : ShortString(std::to_string(lines) + " lines"));
  row(6, 7, "From " + Session.MsgFrom);
  row(7, 7, "To   " + Session.MsgTo);
  row(8, 7, "Subj " + Session.MsgSubject);
}

TRunOutcome ConfirmAndPost() {
  {
    THelpScope help(kHelpConfirmList);
    TMenuList list;
    ApplyDialogSettings(list.Window);
    list.Window.Title = ShortString(" ") +
                        ShortString(std::to_string(Session.BaseList->MarkedCount())) + " Base(s) ";
    list.ShowScrollBar = false;
    list.BarAttr = 112;
    list.RowAttr = 7;
    list.CutMark = kCutMark;
    const TBar& bases = *Session.BaseList;
    for (std::int32_t i = 0; i < bases.ItemCount(); ++i)
      if (bases.Marked(i)) list.Add(bases.Text(i), 0);
    DrawFrame(4, 2, 54, 9);
    WriteXY(5, 2, 11, " Confirm ");
    WriteXY(6, 4, 7, "Verify the list of bases you selected and");
    WriteXY(6, 5, 7, "when you are ready...");
    WriteXY(6, 7, 15, "Press ESC to Abort. ENTER to upload message...");
    DrawMessageDetails();
    // The help keys at the right end, as the base list's help line has them.
    WriteXY(1, 25, 8, PadRight(kConfirmHelpLine, 69, ' ') + "F1/^G help");
    // F3 shows the whole message over the screen; the list runs on after it.
    list.ExitScanCodes = ShortString::Of(static_cast<char>(kScanF3));
    for (;;) {
      list.Open(3, 12, 76, 21);
      if (list.LastKey != kScanF3) break;
      ShowMessagePreview(AbsolutePath(Session.MsgFile, Session.StartDir));
    }
    if (list.LastKey == kKeyEscape) return TRunOutcome::kLeft;
    // Asked last, so the list and the details stay behind the question.
    if (IsBlankMessage(AbsolutePath(Session.MsgFile, Session.StartDir)) &&
        !MsgBox(kMsgQuestionNo, "The message is empty. Post it anyway?"))
      return TRunOutcome::kLeft;
  }
  return PostMarkedBases();
}

}  // namespace corvix
