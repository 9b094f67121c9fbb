// The message box, the backdrop frame and the file-open dialog.
#include "app/screens/dialogs.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "app/config/session.h"
#include "app/screens/help.h"
#include "support/dir_search.h"
#include "support/file_utils.h"
#include "support/quick_sort.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/cp437.h"
#include "term/keys.h"
#include "widgets/line_input.h"
#include "widgets/menu_box.h"
#include "widgets/menu_list.h"

namespace corvix {
namespace {

// Bar attributes of the file-open dialog: visible bar, and none while inactive.
constexpr std::uint8_t kBarVisible = 112;
constexpr std::uint8_t kBarHidden = 7;

ShortString WorkingDir() { return ShortString(CurrentDir()); }

bool ChangeDirTo(const ShortString& path) { return ::chdir(path.Str().c_str()) == 0; }

// The screen holds code page 437; with a UTF-8 terminal the names on disk are
// UTF-8. A name is shown converted (control bytes as '?'), and what is typed
// is converted back before it names a file, a directory or a mask.
ShortString OnScreen(const ShortString& name) {
  return ShortString(
      ShownText(Session.Utf8Terminal ? Cp437FromUtf8(name.View()) : name.Str(), TShownOn::kScreen));
}

// The longest text a message box holds: its frame then spans the screen.
constexpr std::size_t kMsgBoxTextMax = 76;
ShortString OnDisk(const ShortString& typed) {
  return Session.Utf8Terminal ? ShortString(Utf8FromCp437(typed.View())) : typed;
}

// The state of one run of the file-open dialog.
class TFileDialog {
 public:
  TFileDialog(const ShortString& title, const ShortString& startDir)
      : title_(title), path_(startDir), mask_("*.*"), savedDir_(WorkingDir()) {}

  ShortString Run();

 private:
  void DrawPathLines();
  bool Scan();
  void Rescan();  // Scan, then redraw both lists
  void DirectoriesPane();
  void EditFields();
  bool Choose(const ShortString& name);
  bool ChooseTyped(const ShortString& typed);

  ShortString title_;
  ShortString path_;
  ShortString mask_;
  ShortString savedDir_;
  TMenuBox box_;
  TMenuList files_;
  TMenuList dirs_;
  // The names as they are on disk, in list order. The lists show them with
  // control bytes as '?' (a name may hold a line break or an escape), so the
  // chosen entry is looked up here rather than taken from the list's text.
  std::vector<ShortString> fileNames_;
  std::vector<ShortString> dirNames_;
  bool done_ = false;
  ShortString result_;
};

void TFileDialog::DrawPathLines() {
  WriteXY(8, 7, 127, PadMarked(OnScreen(path_), 65));
  WriteXY(8, 21, 127, PadMarked(OnScreen(mask_), 65));
}

bool TFileDialog::Scan() {
  files_.Clear();
  dirs_.Clear();
  fileNames_.clear();
  dirNames_.clear();
  while (!path_.empty() && path_[path_.size() - 1] == '/') path_.SetLength(path_.size() - 1);
  // An empty path (what is left of "/") changes nothing and counts as success.
  bool entered = path_.empty() || ChangeDirTo(path_);
  path_ += '/';
  if (!entered) return false;
  files_.Current = 1;
  dirs_.Current = 1;
  DrawPathLines();

  TQuickSort dirNames;
  for (const TSearchRec& e : FindEntries(path_ + "*", kFaAnyFile))
    if ((e.Attr & kFaDirectory) != 0 && e.Name != ShortString(".")) dirNames.Add(e.Name, 0);
  TQuickSort fileNames;
  for (const TSearchRec& e : FindEntries(path_ + mask_, kFaAnyFile))
    if ((e.Attr & kFaDirectory) == 0) fileNames.Add(e.Name, 0);
  if (dirNames.Count > 1) dirNames.Sort(1, dirNames.Count, qAscending);
  if (fileNames.Count > 1) fileNames.Sort(1, fileNames.Count, qAscending);
  for (std::uint32_t i = 1; i <= dirNames.Count; ++i) {
    dirNames_.push_back(dirNames.Entries[i]->Name);
    dirs_.Add(OnScreen(dirNames_.back()), 0);
  }
  for (std::uint32_t i = 1; i <= fileNames.Count; ++i) {
    fileNames_.push_back(fileNames.Entries[i]->Name);
    files_.Add(OnScreen(fileNames_.back()), 0);
  }

  WriteXY(14, 9, 8, PadRight("(" + Int2StrComma(fileNames.Count) + ")", 7, ' '));
  WriteXY(53, 9, 8, PadRight("(" + Int2StrComma(dirNames.Count) + ")", 7, ' '));
  return true;
}

void TFileDialog::DirectoriesPane() {
  files_.BarAttr = kBarHidden;
  files_.Redraw();
  dirs_.DrawOnly = false;
  dirs_.ExitKeys = "\t\r\x1b";
  dirs_.ExitScanCodes = ShortString::Of(static_cast<char>(kScanLeft));
  dirs_.BarAttr = kBarVisible;
  for (bool stay = true; stay;) {
    dirs_.Open(40, 9, 72, 19);
    switch (dirs_.LastKey) {
      case kKeyEnter:
        if (dirs_.Current >= 1 && static_cast<std::size_t>(dirs_.Current) <= dirNames_.size()) {
          // A directory that cannot be entered leaves us where we are: rescan it.
          ChangeDirTo(dirNames_[static_cast<std::size_t>(dirs_.Current) - 1]);
          path_ = WorkingDir() + "/";
          Scan();
          files_.Redraw();
        }
        break;
      case kKeyEscape:
        done_ = true;
        stay = false;
        break;
      case kKeyTab:
        dirs_.BarAttr = kBarHidden;
        dirs_.Redraw();
        EditFields();
        stay = false;
        break;
      default:  // Left arrow
        stay = false;
        break;
    }
  }
  dirs_.DrawOnly = true;
  dirs_.BarAttr = kBarHidden;
  files_.BarAttr = kBarVisible;
  dirs_.Redraw();
}

void TFileDialog::Rescan() {
  Scan();
  files_.Redraw();
  dirs_.Redraw();
}

void TFileDialog::EditFields() {
  PadAttr = 15;
  bool maskField = true;
  for (;;) {
    FieldAttr = 112;
    // The fields show what the lines above them show: a control byte in a
    // directory's name reaches the terminal as '?', never as itself.
    ShortString text = OnDisk(maskField ? EditLine(8, 21, 65, 255, 1, OnScreen(mask_))
                                        : EditLine(8, 7, 65, 255, 1, OnScreen(path_)));
    if (EndKey == kKeyEscape) {
      done_ = true;
      break;
    }
    if (EndKey == kKeyTab) {
      if (!maskField) break;  // from the directory field back to the files pane
      maskField = false;
      DrawPathLines();
    } else if (EndKey == kKeyEnter) {
      if (maskField) {
        mask_ = text;
        Rescan();
      } else if (ChangeDirTo(text)) {  // a directory that cannot be entered changes nothing
        // The scan changes into Path once more: a relative name, already
        // entered, would be taken a second time from inside itself, and the
        // chosen file would name another one once the start directory is
        // back. Path gets the directory reached instead.
        path_ = text[0] == '/' ? text : WorkingDir();
        Rescan();
      }
    }
  }
  DrawPathLines();
}

// Takes Name in Path as the result; true when it was taken.
bool TFileDialog::Choose(const ShortString& name) {
  // A full path cut at 255 characters would name another file (or none),
  // which would then be edited and posted in its place.
  if (path_.size() + name.size() > ShortString::kMaxLength) {
    MsgBox(kMsgNotice, "The path of this file is longer than 255 characters.");
    return false;
  }
  result_ = path_ + name;
  return true;
}

// Enter after typing: the highlight counts only where the search took it.
// The typed name of an existing file is that file; one the search did not
// find is offered for creation as a name on the command line is, rather
// than the operator getting whichever file the highlight was on.
bool TFileDialog::ChooseTyped(const ShortString& typed) {
  const ShortString name = OnDisk(typed);
  if (path_.size() + name.size() > ShortString::kMaxLength) return Choose(name);  // refused
  const ShortString full = path_ + name;
  if (FileExists(full)) return Choose(name);
  if (files_.Current >= 1 && static_cast<std::size_t>(files_.Current) <= fileNames_.size() &&
      UpperStr(files_.Items[static_cast<std::size_t>(files_.Current) - 1].Text)
              .View()
              .find(UpperStr(typed).View()) != std::string_view::npos)
    return Choose(fileNames_[static_cast<std::size_t>(files_.Current) - 1]);
  if (DirExists(full)) {  // the name of a directory enters it
    if (ChangeDirTo(full)) {
      path_ = WorkingDir();
      Rescan();
    }
    return false;
  }
  if (Pos('/', typed) != 0) {
    MsgBox(kMsgNotice, "The name of a new file cannot hold a '/'.");
    return false;
  }
  if (!MsgBox(kMsgQuestion, "The file doesn't exit. Create it?")) return false;
  if (!Choose(name)) return false;
  AppendText(result_, " ");
  return true;
}

ShortString TFileDialog::Run() {
  files_.NoFrame = true;
  files_.ExitKeys = "\t\r\x1b";
  files_.ExitScanCodes = ShortString::Of(static_cast<char>(kScanRight));
  files_.BarAttr = kBarVisible;
  files_.RowAttr = 7;
  files_.CutMark = kCutMark;
  dirs_.NoFrame = true;
  dirs_.DrawOnly = true;
  dirs_.BarAttr = kBarHidden;
  dirs_.RowAttr = 7;
  dirs_.CutMark = kCutMark;

  ApplyDialogSettings(box_);
  box_.Title = title_;
  box_.Open(6, 5, 74, 22);
  WriteXY(8, 6, 15, "Directory");
  WriteXY(8, 9, 15, "Files");
  WriteXY(41, 9, 15, "Directories");
  WriteXY(8, 20, 15, "File Mask");
  WriteXY(8, 21, 127, RepeatChar(' ', 65));

  Scan();
  dirs_.Open(40, 9, 72, 19);
  dirs_.Redraw();

  while (!done_) {
    files_.Open(7, 9, 39, 19);
    switch (files_.LastKey) {
      case kKeyEnter:
        if (!files_.SearchTyped.empty()) {
          done_ = ChooseTyped(files_.SearchTyped);
        } else if (files_.Current >= 1 &&
                   static_cast<std::size_t>(files_.Current) <= fileNames_.size()) {
          done_ = Choose(fileNames_[static_cast<std::size_t>(files_.Current) - 1]);
        }
        break;
      case kKeyEscape:
        done_ = true;
        break;
      default:  // Tab or Right arrow
        DirectoriesPane();
        break;
    }
  }

  ChangeDirTo(savedDir_);
  box_.Close();
  return result_;
}

}  // namespace

namespace {

// Column C kept on the screen.
std::uint8_t OnScreenColumn(int c) {
  return static_cast<std::uint8_t>(c < 1 ? 1 : (c > 80 ? 80 : c));
}

// The YES and NO buttons of a question box at column X of a text Len wide,
// asked until one is chosen: the answer. Ctrl-C answers no, and the run ends.
bool AskYesNo(int x, int len, bool yes) {
  const int b = (len - 9) / 2;
  for (;;) {
    WriteXY(OnScreenColumn(x + b + 2), 14, 8, " YES ");
    WriteXY(OnScreenColumn(x + b + 7), 14, 8, " NO ");
    if (yes)
      WriteXY(OnScreenColumn(x + b + 2), 14, 127, " YES ");
    else
      WriteXY(OnScreenColumn(x + b + 7), 14, 112, " NO ");
    std::uint8_t key = ReadKey();
    if (Interrupted()) return false;
    if (key == kKeyExtended) {
      const std::uint8_t code = ReadKey();
      if (code == kScanLeft) yes = true;
      if (code == kScanRight) yes = false;
      continue;
    }
    key = static_cast<std::uint8_t>(UpperChar(static_cast<char>(key)));
    if (key == kKeyEnter) return yes;
    if (key == kKeySpace) yes = !yes;
    if (key == 'N') return false;
    if (key == 'Y') return true;
  }
}

}  // namespace

bool MsgBox(std::uint8_t kind, const ShortString& text) {
  THelpScope help(kHelpMessageBox);
  // Notices name files and paths from outside: shown as every such text is,
  // and cut, with the cut marked, where the screen ends.
  ShortString shown = OnScreen(text);
  if (shown.size() > kMsgBoxTextMax) {
    shown.SetLength(kMsgBoxTextMax - 1);
    shown += kCutMark;
  }
  bool result = true;
  std::uint8_t oldX = WhereX(), oldY = WhereY(), oldAttr = GetTextAttr();
  int len = shown.size();
  int x = (80 - (len + 2)) / 2;
  if (x < 1) x = 1;  // a text wider than the screen still gets a box that starts on it

  TMenuBox box;
  ApplyDialogSettings(box);
  box.Title = " Info ";
  box.Open(OnScreenColumn(x), 10, OnScreenColumn(x + len + 3), 15);
  WriteXY(OnScreenColumn(x + 2), 12, 7, shown);
  SetFocusRow(14);  // the buttons

  if (kind == kMsgNotice) {
    int b = (len - 4) / 2;
    WriteXY(OnScreenColumn(x + b + 2), 14, 112, " OK ");
    ReadKey();
    // Keys typed ahead of the closing one go with it: an F1 or a letter
    // right behind it must not act on the screen under the notice.
    DiscardTypedKeys();
  } else {
    result = AskYesNo(x, len, kind != kMsgQuestionNo);
  }
  box.Close();
  GotoXY(oldX, oldY);
  SetTextAttr(oldAttr);
  return result;
}

void LongNotice(const std::string& text) {
  constexpr std::size_t kWidth = 70;
  // Wrapped at blanks into lines of at most kWidth; a longer word is cut.
  const std::string shown = ShownText(text, Session.Utf8Terminal);
  const std::string cp437 = Session.Utf8Terminal ? Cp437FromUtf8(shown) : shown;
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < cp437.size() && lines.size() < 8) {
    std::size_t end = std::min(cp437.size(), at + kWidth);
    if (end < cp437.size()) {
      const std::size_t blank = cp437.rfind(' ', end);
      if (blank != std::string::npos && blank > at) end = blank;
    }
    lines.push_back(cp437.substr(at, end - at));
    at = end;
    while (at < cp437.size() && cp437[at] == ' ') ++at;
  }
  THelpScope help(kHelpMessageBox);
  const std::uint8_t oldX = WhereX(), oldY = WhereY(), oldAttr = GetTextAttr();
  const std::uint8_t height = static_cast<std::uint8_t>(lines.size());
  const std::uint8_t top = static_cast<std::uint8_t>(11 - height / 2);
  TMenuBox box;
  ApplyDialogSettings(box);
  box.Title = " Info ";
  box.Open(4, top, 77, static_cast<std::uint8_t>(top + height + 4));
  for (std::uint8_t i = 0; i < height; ++i)
    WriteXY(6, static_cast<std::uint8_t>(top + 2 + i), 7, lines[i]);
  WriteXY(39, static_cast<std::uint8_t>(top + height + 3), 112, " OK ");
  ReadKey();
  // Keys typed ahead of the closing one go with it, F1 and Ctrl-G included:
  // emptying them through KeyPressed would serve the help keys.
  DiscardTypedKeys();
  box.Close();
  GotoXY(oldX, oldY);
  SetTextAttr(oldAttr);
}

void DrawFrame(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2) {
  TMenuBox box;
  ApplyDialogSettings(box);
  box.Open(x1, y1, x2, y2);
}

ShortString OpenFileDialog(const ShortString& title, const ShortString& startDir) {
  THelpScope help(kHelpFileDialog);
  // The dialog's fields end on Tab, Enter and Escape, and that setting stays
  // for every line editor after it, whichever way the dialog is left.
  EndKeys = "\t\r\x1b";
  TFileDialog dialog(title, startDir);
  return dialog.Run();
}

}  // namespace corvix
