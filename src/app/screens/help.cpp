// The help texts of the screens and the box that shows them.
#include "app/screens/help.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/screens/dialog_settings.h"
#include "term/console.h"
#include "term/keys.h"
#include "widgets/menu_box.h"

namespace corvix {

const char* const kHelpFileDialog =
    "Tab             next pane: files, directories,\n"
    "                file mask, directory\n"
    "Up/Down, PgUp/PgDn, Home/End   move\n"
    "Letters         search the list\n"
    "Right / Left    files / directories pane\n"
    "Enter           take the file, enter the\n"
    "                directory, apply the field\n"
    "Escape          quit";
const char* const kHelpMessageBox =
    "A notice: any key closes it.\n"
    "A question: Y or N answers; Left, Right\n"
    "or Space choose, Enter takes the choice.";
const char* const kHelpBaseList =
    "Up/Down PgUp/PgDn Home/End   move\n"
    "Letters, digits   search (Ctrl-A: next)\n"
    "Backspace, Ctrl-Y edit, clear the search\n"
    "TAB   mark or unmark the base\n"
    "F2    mark every base matching the search\n"
    "      (every base when there is none)\n"
    "F3    unmark all      F4  invert all marks\n"
    "F5    save the marks as a named selection\n"
    "F6    mark a saved selection (\"last\": the\n"
    "      marks the list was last left with)\n"
    "F7    show only the bases matching the\n"
    "      search, or every base again\n"
    "Enter done       Escape, Ctrl-C  quit";
const char* const kHelpSaveSelection =
    "Type a name for the marked bases:\n"
    "letters, digits, '-', '_' and '.',\n"
    "not starting with '.'.\n"
    "Enter saves, Escape cancels.";
const char* const kHelpPickSelection =
    "Up/Down, PgUp/PgDn, Home/End   move\n"
    "Letters   search the names\n"
    "Enter     mark exactly this selection\n"
    "          (\"last\": the marks of the last run)\n"
    "Escape    cancel";
const char* const kHelpMessageForm =
    "F, T, S or Enter   edit From, To, Subject\n"
    "Up/Down            move between fields\n"
    "Escape             done, once a field was taken\n"
    "                   with Enter (a subject is needed)";
const char* const kHelpConfirmList =
    "Up/Down, PgUp/PgDn, Home/End   look through\n"
    "                  the bases to be posted to\n"
    "Enter   post the message to every one\n"
    "F3      preview the message as it will be posted\n"
    "Escape  quit without posting";
const char* const kHelpPreview =
    "Up/Down, PgUp/PgDn, Home/End   scroll the message\n"
    "Escape  back to the list of bases";
const char* const kHelpPosting =
    "Escape or Ctrl-C   stop after this base\n"
    "                   (asked first); again:\n"
    "                   end the running utility\n"
    "                   (while waiting for the host\n"
    "                   directory: stop at once)\n"
    "Ctrl-L   draw the screen again\n"
    "Ctrl-Z   suspend the program";

namespace {

// The text of the innermost scope. Global because the console layer's F1 hook
// is a plain function without context.
const char* current = nullptr;

void OnHelpKey() {
  if (current != nullptr) ShowHelp(current);
}

}  // namespace

THelpScope::THelpScope(const char* text) : previous_(current) {
  current = text;
  HelpKeyHook = &OnHelpKey;
}

THelpScope::~THelpScope() {
  current = previous_;
  if (current == nullptr) HelpKeyHook = nullptr;
}

void ShowHelp(const char* text) {
  std::vector<std::string_view> lines;
  for (std::string_view rest(text);;) {
    const std::size_t nl = rest.find('\n');
    lines.push_back(rest.substr(0, nl));
    if (nl == std::string_view::npos) break;
    rest.remove_prefix(nl + 1);
  }
  std::size_t width = 20;
  for (std::string_view l : lines) width = std::max(width, l.size());
  width = std::min<std::size_t>(width, 74);
  const int height = std::min<int>(static_cast<int>(lines.size()), 19);
  const int x1 = (80 - static_cast<int>(width) - 4) / 2 + 1;
  const int y1 = (25 - height - 4) / 2 + 1;

  const std::uint8_t oldX = WhereX(), oldY = WhereY(), oldAttr = GetTextAttr();
  // F1 inside the box is a key like any other: it closes the box.
  void (*hook)() = HelpKeyHook;
  HelpKeyHook = nullptr;
  TMenuBox box;
  ApplyDialogSettings(box);
  box.Title = " Help ";
  box.Open(static_cast<std::uint8_t>(x1), static_cast<std::uint8_t>(y1),
           static_cast<std::uint8_t>(x1 + width + 3), static_cast<std::uint8_t>(y1 + height + 3));
  for (int i = 0; i < height; ++i) {
    WriteXY(static_cast<std::uint8_t>(x1 + 2), static_cast<std::uint8_t>(y1 + 2 + i), 7,
            ShortString(lines[static_cast<std::size_t>(i)].substr(0, width)));
  }
  SetFocusRow(static_cast<std::uint8_t>(y1 + 2));  // the first line of the help
  if (ReadKey() == kKeyExtended) ReadKey();
  box.Close();
  HelpKeyHook = hook;
  GotoXY(oldX, oldY);
  SetTextAttr(oldAttr);
}

}  // namespace corvix
