// Reading the catalogue into the base list and running the selection.
#include "app/screens/base_select.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "app/config/selections.h"
#include "app/config/session.h"
#include "app/screens/dialogs.h"
#include "app/screens/help.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/keys.h"
#include "term/terminal_restore.h"
#include "widgets/light_bar.h"
#include "widgets/line_input.h"
#include "widgets/menu_box.h"
#include "widgets/menu_list.h"

namespace corvix {
namespace {

// How far ahead the catalogue's records are asked into the cache while the
// lines are built.
constexpr std::int32_t kPrefetchRecords = 4;

}  // namespace

TBaseCatalogue::TBaseCatalogue(const ShortString& path)
    : records_(path, kBaseRecSize, kMaxBaseRecords) {}

std::size_t TBaseCatalogue::AddLinesTo(TBar& list) {
  TBaseLineBuf line;
  // Four columns until a number of five digits comes: then the lines so far
  // get a fifth (a blank after the number) and the rest are built with five.
  // The width changes at most once, and most catalogues never pay for it.
  std::size_t idWidth = kNarrowIdWidth;
  // A catalogue cut short under the mapping leaves BuildBaseLine by a jump:
  // it holds nothing that would need unwinding, and the list takes the line
  // only once the record has been read.
  auto visit = [&](const std::uint8_t* record, std::int32_t) {
    // The fields lie in two cache lines far apart in each record, which the
    // processor does not guess ahead by itself; a prefetch is only a hint, and
    // never faults, not even past the end of the mapping.
    const std::uint8_t* ahead = record + kPrefetchRecords * kBaseRecSize;
    __builtin_prefetch(ahead);
    __builtin_prefetch(ahead + kEchoTagOffset);
    if (idWidth == kNarrowIdWidth && BaseNumberAt(record) >= 10000) {
      list.WidenTexts(kNarrowIdWidth, ' ');
      idWidth = kWideIdWidth;
    }
    BuildBaseLine(record, idWidth, line);
    list.Add(line.TextView(), line.DigitsView(), line.TagView());
  };
  records_.Visit(0, records_.RecordCount(), visit);
  return idWidth;
}

void ToggleBaseMark(TBar& list, std::uint8_t key, std::int32_t index) {
  if (key != kKeyTab) return;
  // On an empty list the index names no item: there is nothing to mark.
  if (!list.IsItem(index)) return;
  list.SetMarked(index, !list.Marked(index));
}

void LoadBaseList(TBar& list, const ShortString& path) {
  // The catalogue is the host's and is only read: opened read-only, so an
  // operator who may read it but not write it can still post.
  TBaseCatalogue catalogue(path);
  const std::int32_t count = catalogue.RecordCount();
  list.OnKey = [&list](std::uint8_t key, std::int32_t index) { ToggleBaseMark(list, key, index); };
  list.SearchX = 12;
  list.SearchY = 21;
  list.SearchAttr = 7;
  list.MoreX = 37;
  list.MoreY = 22;
  list.ShowMore = true;
  // Room for the longest line and number of every record: the packed texts
  // then never move while they grow. Only address space is taken for room
  // that stays unused; memory pages are touched as lines are written.
  list.Reserve(static_cast<std::size_t>(count),
               static_cast<std::size_t>(count) * sizeof TBaseLineBuf::Bytes);
  Session.BaseIdWidth = catalogue.AddLinesTo(list);
  // A name is the catalogue's text: its colour codes colour it, and nothing
  // else in it may act on the screen.
  list.ColourCodesOnly = true;
  list.CutMark = kCutMark;
  list.NormalColor = "|08|16";
  list.BarColor = "|00|23";
  list.BarMarkColor = "|14|23";
  list.NormalMarkColor = "|15|16";
}

namespace {

// The count " N of M marked " in the frame's bottom edge from column 5 of row
// 22, drawn again when it changes.
class TMarkedCount {
 public:
  TMarkedCount() : edge_(GetCharAt(4, 22)), edgeAttr_(GetAttrAt(4, 22)) {}
  void Draw(const TBar& list) {
    if (list.MarkedCount() == count_ && shown_) return;
    count_ = list.MarkedCount();
    char buf[32];
    std::snprintf(buf, sizeof buf, " %d of %d marked ", list.MarkedCount(), list.ItemCount());
    const ShortString text(buf);
    WriteXY(5, 22, 11, text);
    // The longest count, " 65535 of 65535 marked ", takes 23 columns: the
    // edge is drawn again behind a shorter one, whatever was there before.
    if (text.size() < kWidth) {
      WriteXY(static_cast<std::uint8_t>(5 + text.size()), 22, edgeAttr_,
              ShortString::Of(edge_, kWidth - text.size()));
    }
    shown_ = true;
  }

 private:
  char edge_;
  std::uint8_t edgeAttr_;
  static constexpr std::size_t kWidth = 23;
  bool shown_ = false;
  std::int32_t count_ = 0;
};

// Line editor settings are shared by every editor; a prompt that changes
// them puts them back, so the message form later reads them as it would have.
class TEditorSettingsScope {
 public:
  TEditorSettingsScope()
      : endKeys_(EndKeys),
        endScanCodes_(EndScanCodes),
        fieldAttr_(FieldAttr),
        padChar_(PadChar),
        padAttr_(PadAttr) {}
  ~TEditorSettingsScope() {
    EndKeys = endKeys_;
    EndScanCodes = endScanCodes_;
    FieldAttr = fieldAttr_;
    PadChar = padChar_;
    PadAttr = padAttr_;
  }

 private:
  ShortString endKeys_, endScanCodes_;
  std::uint8_t fieldAttr_;
  char padChar_;
  std::uint8_t padAttr_;
};

// A notice; the box cuts a text longer than it can show, and marks the cut.
void Notice(const std::string& text) { MsgBox(kMsgNotice, ShortString(text)); }

// F5: asks for a name and saves the marked base numbers under it.
void SaveSelectionPrompt(const TBar& list) {
  THelpScope help(kHelpSaveSelection);
  std::string name;
  {
    TEditorSettingsScope keep;
    TMenuBox box;
    ApplyDialogSettings(box);
    box.Title = " Save Selection ";
    box.Open(18, 10, 62, 14);
    WriteXY(20, 12, 7, "Name:");
    EndKeys = ShortString("\r\x1b");
    EndScanCodes.clear();
    FieldAttr = 112;
    PadChar = ' ';
    PadAttr = 112;
    name = EditLine(26, 12, 34, 64, kEditText, "").Str();
    const bool entered = EndKey == kKeyEnter;
    box.Close();
    if (!entered) return;
  }
  if (!ValidSelectionName(name)) {
    Notice("A name is letters, digits, '-', '_' and '.', not starting with '.'.");
    return;
  }
  if (name == kLastSelection) {
    Notice("The name last keeps the marks of the last run; choose another.");
    return;
  }
  if (name == kRestSelection) {
    Notice("The name rest keeps the bases a run did not post; choose another.");
    return;
  }
  if (SelectionExists(name) &&
      !MsgBox(kMsgQuestion, ShortString("Replace the selection " + name + "?")))
    return;
  std::string error;
  if (!SaveSelection(name, MarkedBaseNumbers(list), error)) {
    Notice("Not saved: " + error);
    return;
  }
  Notice("Saved " + std::to_string(list.MarkedCount()) + " base(s) as " + name + ".");
}

// F6: offers the saved names; the chosen one is marked exactly.
void LoadSelectionPrompt(TBar& list) {
  const std::vector<std::string> names = SelectionNames();
  if (names.empty()) {
    Notice("No selection has been saved yet (F5 saves one).");
    return;
  }
  std::string chosen;
  {
    THelpScope help(kHelpPickSelection);
    TMenuList pick;
    ApplyDialogSettings(pick.Window);
    pick.Window.Title = " Selections ";
    pick.ShowScrollBar = false;
    pick.BarAttr = 112;
    pick.RowAttr = 7;
    pick.CutMark = kCutMark;  // a name may be longer than the box is wide
    for (const std::string& n : names) pick.Add(ShortString(n), 0);
    const int rows = std::min<int>(static_cast<int>(names.size()), 12);
    pick.Open(25, 6, 55, static_cast<std::uint8_t>(6 + rows + 1));
    pick.Close();
    if (pick.LastKey != kKeyEnter || pick.Count == 0) return;
    chosen = names[static_cast<std::size_t>(pick.Current - 1)];
  }
  std::vector<std::string> numbers;
  std::string error, catalogue;
  if (!LoadSelection(chosen, numbers, error, &catalogue)) {
    Notice(error);
    return;
  }
  MarkSelection(list, numbers);
  // Numbers mean other bases in another catalogue: the marks need a look.
  if (!OtherCatalogueProblem(chosen, catalogue).empty())
    Notice("This selection was saved from another catalogue: check the marks.");
}

}  // namespace

std::vector<TPostedRec> MarkedPostingList(const TBar& list) {
  std::vector<TPostedRec> bases;
  // Room for every base at once: a record is half a kilobyte, and growing
  // the vector step by step would copy a whole catalogue's worth twice over.
  bases.reserve(static_cast<std::size_t>(list.MarkedCount()));
  for (std::int32_t i = 0; i < list.ItemCount(); ++i) {
    if (list.Marked(i))
      bases.push_back({.BaseNumber = list.Data(i),
                       .Line = list.Text(i),
                       .Outcome = TPostOutcome::kNotStarted,
                       .WaitStatus = -1,
                       .LastLine = "",
                       .EchoTag = EchoTagOfItem(list, i)});
  }
  return bases;
}

void KeepLastMarks(const TBar& list, bool tellFailure) {
  if (list.MarkedCount() == 0) return;
  std::string error;
  if (!SaveSelection(kLastSelection, MarkedBaseNumbers(list), error) && tellFailure)
    Notice("The marks were not kept: " + error);
}

void BaseListFunctionKey(TBar& list, std::uint8_t code) {
  switch (code) {
    case kScanF2:
      list.MarkMatching();
      break;
    case kScanF3:
      list.UnmarkAll();
      break;
    case kScanF4:
      list.InvertMarks();
      break;
    case kScanF5:
      SaveSelectionPrompt(list);
      break;
    case kScanF6:
      LoadSelectionPrompt(list);
      break;
    case kScanF7:
      list.SetFilter(!list.Filter());
      break;
    default:
      break;
  }
}

bool SelectBases(TBar& list) {
  THelpScope help(kHelpBaseList);
  WriteXY(28, 2, 11, " Select Message Base(s) ");
  WriteXY(4, 3, 15,
          PadRight("ID", Session.BaseIdWidth, ' ') + PadRight("ECHOTAG", kTagWidth, ' ') + " " +
              PadRight("NAME", 57 - Session.BaseIdWidth, ' '));
  WriteXY(
      1, 25, 8,
      PadRight("Press TAB to select base(s), press ENTER when finished.", 69, ' ') + "F1/^G help");
  WriteXY(4, 21, 8, "Search:");
  // Without colour a marked base shows '■' in the frame's edge beside its
  // number as well as in bold; the columns of the rows stay as they are.
  if (Screen->Terminal.Modes.Colors == kColorsMono) {
    list.MarkChar = static_cast<char>(254);
    list.GutterChar = GetCharAt(3, 3);
    list.GutterAttr = GetAttrAt(3, 3);
  }
  if (Session.StartMarks) {
    MarkSelection(list, *Session.StartMarks);
    Session.StartMarks.reset();
  }
  TMarkedCount count;
  count.Draw(list);
  // The callbacks below point at this frame's locals: they are put back on
  // every way out.
  struct TRestore {
    TBar& List;
    TBarKeyProc Key, Extended;
    ~TRestore() {
      List.OnKey = Key;
      List.OnExtended = Extended;
    }
  } restore{list, list.OnKey, list.OnExtended};
  list.OnExtended = [&list](std::uint8_t code, std::int32_t) { BaseListFunctionKey(list, code); };
  list.OnKey = [&list, &count, toggle = restore.Key](std::uint8_t key, std::int32_t index) {
    if (toggle) toggle(key, index);
    count.Draw(list);
  };
  // A hang-up or kill while the list runs is taken at the next key wait, where
  // the run scope's signal end keeps the marks before the program ends by it.
  TDeferEndingSignals defer;
  std::int32_t result;
  do {
    result = list.Run(4, 4, 72, 17, 0);
  } while (result != barEnter && result != barEscape);
  KeepLastMarks(list);
  return result == barEnter;
}

}  // namespace corvix
