// TMenuForm: drawing labels and values, the editors of each item kind, and
// the key loop of Execute.
#include "widgets/menu_form.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "support/string_utils.h"
#include "term/console.h"
#include "term/keys.h"
#include "widgets/line_input.h"

namespace corvix {

char ValuePadChar = ' ';
const ShortString YesNoText[2] = {ShortString("No"), ShortString("Yes")};

namespace {

ShortString Cut(const ShortString& s, std::size_t max) {
  return ShortString(s.View().substr(0, max));
}

bool Contains(const ShortString& set, std::uint8_t key) {
  return set.View().find(static_cast<char>(key)) != std::string_view::npos;
}

std::uint8_t UpperKey(std::uint8_t key) {
  return key >= 'a' && key <= 'z' ? static_cast<std::uint8_t>(key - 'a' + 'A') : key;
}

// The word of a toggle's choice list for value; empty for a value below the
// first choice, rather than letting the word number wrap around.
ShortString ChoiceText(const FormItemRec& item, std::int32_t value) {
  std::int32_t word = value - item.Low + 1;
  if (word < 1 || word > 255) return ShortString();
  return ExtractWord(item.Choices, static_cast<std::uint8_t>(word), ValuePadChar);
}

}  // namespace

TMenuForm::TMenuForm() { Clear(); }

TMenuForm::~TMenuForm() { Clear(); }

void TMenuForm::Clear() {
  for (auto& item : Items) item.reset();
  Count = 0;
  Current = 1;
  Modified = false;
}

FormItemRec* TMenuForm::Add(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                            std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                            std::uint8_t captionWidth, FormItemType kind, std::uint8_t valueWidth,
                            std::uint8_t maxLength, const ShortString& help) {
  if (Count >= kMaxFormItems) return nullptr;
  auto item = std::make_unique<FormItemRec>();
  item->HotKey = hotKey;
  item->Caption = Cut(caption, kFormCaptionMax);
  item->Help = Cut(help, kFormHelpMax);
  item->CaptionCol = captionCol;
  item->CaptionRow = captionRow;
  item->CaptionWidth = captionWidth;
  item->ValueCol = valueCol;
  item->ValueRow = valueRow;
  item->ValueWidth = valueWidth;
  item->Kind = kind;
  item->MaxLength = maxLength;
  Items[Count] = std::move(item);
  return Items[Count++].get();
}

void TMenuForm::AddNone(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t captionWidth,
                        const ShortString& help) {
  Add(hotKey, caption, captionCol, captionRow, 0, 0, captionWidth, ItemNone, 0, 0, help);
}

void TMenuForm::AddText(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                        std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t maxLength,
                        ShortString& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemString, valueWidth, maxLength, help))
    item->TextRef = &value;
}

void TMenuForm::AddPipeText(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                            std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                            std::uint8_t captionWidth, std::uint8_t valueWidth,
                            std::uint8_t maxLength, ShortString& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemPipe, valueWidth, maxLength, help))
    item->TextRef = &value;
}

void TMenuForm::AddUpper(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                         std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                         std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t maxLength,
                         ShortString& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemCaps, valueWidth, maxLength, help))
    item->TextRef = &value;
}

void TMenuForm::AddPassword(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                            std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                            std::uint8_t captionWidth, std::uint8_t valueWidth,
                            std::uint8_t maxLength, ShortString& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemPass, valueWidth, maxLength, help))
    item->TextRef = &value;
}

void TMenuForm::AddPath(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                        std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t maxLength,
                        ShortString& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemPath, valueWidth, maxLength, help))
    item->TextRef = &value;
}

void TMenuForm::AddYesNo(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                         std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                         std::uint8_t captionWidth, std::uint8_t valueWidth, bool& value,
                         const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemBoolean, valueWidth, 3, help))
    item->FlagRef = &value;
}

void TMenuForm::AddBit(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                       std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                       std::uint8_t captionWidth, std::int32_t mask, std::int32_t& value,
                       const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemBits, 3, 3, help)) {
    item->High = mask;
    item->LongRef = &value;
  }
}

void TMenuForm::AddByte(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                        std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t low,
                        std::uint8_t high, std::uint8_t& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemByte, valueWidth, Int2Str(high).Length(), help)) {
    item->Low = low;
    item->High = high;
    item->ByteRef = &value;
  }
}

void TMenuForm::AddWord(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                        std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint16_t low,
                        std::uint16_t high, std::uint16_t& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemWord, valueWidth, Int2Str(high).Length(), help)) {
    item->Low = low;
    item->High = high;
    item->WordRef = &value;
  }
}

void TMenuForm::AddLong(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                        std::uint8_t captionWidth, std::uint8_t valueWidth, std::int32_t low,
                        std::int32_t high, std::int32_t& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemLong, valueWidth, Int2Str(high).Length(), help)) {
    item->Low = low;
    item->High = high;
    item->LongRef = &value;
  }
}

void TMenuForm::AddToggle(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                          std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                          std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t low,
                          std::uint8_t high, const ShortString& choices, std::uint8_t& value,
                          const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemToggle, valueWidth, high, help)) {
    item->Low = low;
    item->Choices = Cut(choices, kFormChoicesMax);
    item->ByteRef = &value;
  }
}

void TMenuForm::AddChar(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                        std::uint8_t captionWidth, char& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemChar, 1, 1, help))
    item->CharRef = &value;
}

void TMenuForm::AddAttr(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                        std::uint8_t captionWidth, std::uint8_t& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemAttr, 8, 8, help))
    item->ByteRef = &value;
}

void TMenuForm::AddFlags(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                         std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                         std::uint8_t captionWidth, TMenuFormFlagsRec& value,
                         const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemFlags, 26, 26, help))
    item->SetRef = &value;
}

void TMenuForm::AddDate(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                        std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                        std::uint8_t captionWidth, ShortString& value, const ShortString& help) {
  if (auto* item = Add(hotKey, caption, captionCol, captionRow, valueCol, valueRow, captionWidth,
                       ItemDate, 8, 8, help))
    item->TextRef = &value;
}

void TMenuForm::DrawLabel(std::uint16_t number, bool highlighted) {
  const FormItemRec& item = Item(number);
  WriteXY(item.CaptionCol, item.CaptionRow, highlighted ? LabelHiAttr : LabelAttr,
          PadRight(item.Caption, item.CaptionWidth, ' '));
  // The hot-key letter is written again in its own colour, even when it lies
  // beyond the padded width.
  std::size_t at = UpperStr(item.Caption).View().find(item.HotKey);
  if (item.HotKey != 0 && at != std::string_view::npos) {
    WriteXY(static_cast<std::uint8_t>(std::min<std::size_t>(item.CaptionCol + at, 255)),
            item.CaptionRow, highlighted ? HotHiAttr : HotAttr, ShortString::Of(item.Caption[at]));
  }
  if (highlighted && HelpWidth > 0) {
    if (OnHelp) {
      OnHelp();
    } else {
      WriteXYPipe(HelpCol, HelpRow, HelpAttr, item.Help);
    }
  }
}

namespace {

// The text of a value shown padded to its field; none for the kinds drawn
// otherwise (and for an action item, which shows no value).
std::optional<ShortString> PaddedValueText(const FormItemRec& item) {
  switch (item.Kind) {
    case ItemString:
    case ItemPath:
    case ItemDate:
    case ItemCaps:
      return *item.TextRef;
    case ItemPass:
      return ShortString::Of('*', item.TextRef->size());
    case ItemBoolean:
      return YesNoText[*item.FlagRef ? 1 : 0];
    case ItemBits:
      return YesNoText[(*item.LongRef & item.High) != 0 ? 1 : 0];
    case ItemByte:
      return Int2Str(*item.ByteRef);
    case ItemWord:
      return Int2Str(*item.WordRef);
    case ItemLong:
      return Int2Str(*item.LongRef);
    case ItemToggle:
      return ChoiceText(item, *item.ByteRef);
    default:
      return std::nullopt;
  }
}

}  // namespace

void TMenuForm::DrawValue(std::uint16_t number) {
  const FormItemRec& item = Item(number);
  if (const std::optional<ShortString> text = PaddedValueText(item)) {
    ShortString shown = PadRight(*text, item.ValueWidth, ValuePadChar);
    if (CutMark != 0 && item.ValueWidth > 0 && text->size() > item.ValueWidth)
      shown[item.ValueWidth - 1] = CutMark;
    WriteXY(item.ValueCol, item.ValueRow, ValueAttr, shown);
    return;
  }
  switch (item.Kind) {
    case ItemPipe:
      // Padded to the width it fills on screen, so a shorter value covers
      // what the editor or a longer value left in the field.
      WriteXYPipe(
          item.ValueCol, item.ValueRow, 7,
          PadRight(*item.TextRef, PipePadWidth(*item.TextRef, item.ValueWidth), ValuePadChar));
      break;
    case ItemChar:
      WriteXY(item.ValueCol, item.ValueRow, ValueAttr, ShortString::Of(*item.CharRef));
      break;
    case ItemAttr:
      WriteXY(item.ValueCol, item.ValueRow, *item.ByteRef, " Sample ");
      break;
    case ItemFlags:
      WriteXY(item.ValueCol, item.ValueRow, ValueAttr, FlagsText(*item.SetRef));
      break;
    default:
      break;
  }
}

void TMenuForm::EditItem(std::uint16_t number) {
  FormItemRec& item = Item(number);
  if (item.Kind == ItemNone) return;
  ChangeValue(item);
  DrawValue(number);
  Modified = true;
}

void TMenuForm::EditText(FormItemRec& item) {
  auto editText = [&](std::uint8_t mode) {
    return EditLine(item.ValueCol, item.ValueRow, item.ValueWidth, item.MaxLength, mode,
                    *item.TextRef);
  };
  switch (item.Kind) {
    case ItemCaps:
      *item.TextRef = editText(kEditUpper);
      break;
    case ItemDate:
      *item.TextRef = editText(kEditDate);
      break;
    case ItemPath:
      *item.TextRef = AddSlash(editText(kEditText));  // keeps one trailing '/'
      break;
    case ItemChar: {
      // An emptied field keeps the old character: there is no first one to take.
      ShortString text = EditLine(item.ValueCol, item.ValueRow, item.ValueWidth, item.MaxLength,
                                  kEditText, ShortString::Of(*item.CharRef));
      if (!text.empty()) *item.CharRef = text[0];
      break;
    }
    default:  // ItemString, ItemPass, ItemPipe
      *item.TextRef = editText(kEditText);
      break;
  }
}

void TMenuForm::ChangeValue(FormItemRec& item) {
  auto editNumber = [&](std::int32_t value) {
    return EditNumber(item.ValueCol, item.ValueRow, item.ValueWidth, item.MaxLength, item.Low,
                      item.High, value);
  };
  switch (item.Kind) {
    case ItemByte:
      *item.ByteRef = static_cast<std::uint8_t>(editNumber(*item.ByteRef));
      break;
    case ItemWord:
      *item.WordRef = static_cast<std::uint16_t>(editNumber(*item.WordRef));
      break;
    case ItemLong:
      *item.LongRef = editNumber(*item.LongRef);
      break;
    case ItemBoolean:
      *item.FlagRef = !*item.FlagRef;
      break;
    case ItemBits:
      *item.LongRef ^= item.High;
      break;
    case ItemToggle:
      if (*item.ByteRef < item.MaxLength) {
        ++*item.ByteRef;
      } else {
        *item.ByteRef = static_cast<std::uint8_t>(item.Low);
      }
      break;
    case ItemAttr:
      *item.ByteRef = PickColor(*item.ByteRef);
      break;
    case ItemFlags:
      PickFlags(*item.SetRef, Modified);
      break;
    case ItemString:
    case ItemPass:
    case ItemPipe:
    case ItemCaps:
    case ItemDate:
    case ItemPath:
    case ItemChar:
      EditText(item);
      break;
    default:
      break;
  }
}

void TMenuForm::MoveTo(std::uint16_t number) {
  DrawLabel(Current, false);
  Current = number;
  DrawLabel(Current, true);
}

// Every item's label (plain) and value, then the current item highlighted.
void TMenuForm::DrawAll() {
  for (std::uint16_t n = 1; n <= Count; ++n) {
    DrawLabel(n, false);
    DrawValue(n);
  }
  DrawLabel(Current, true);
}

std::uint8_t TMenuForm::Execute() {
  EndedByScanCode = false;
  EndedAtTop = false;
  EndedAtBottom = false;
  FieldAttr = EditAttr;
  PadAttr = EditPadAttr;
  // Current is a public field a caller may have set anywhere, and an empty
  // form has no item to highlight: keep every item access inside 1 .. Count.
  if (Count > 0) Current = std::clamp<std::uint16_t>(Current, 1, Count);
  if (Count > 0) DrawAll();

  std::uint8_t result = 0;
  for (;;) {
    if (Count > 0) SetFocusRow(Item(Current).CaptionRow);
    const std::uint8_t key = ReadKey();
    const bool ended = key != kKeyExtended ? HandleOrdinary(UpperKey(key), result)
                                           : HandleExtended(ReadKey(), result);
    if (ended) break;
  }
  if (Count > 0) DrawLabel(Current, false);
  return result;
}

// An ordinary key, upper-cased: Enter edits (or ends on an action item),
// Escape and the exit keys end, anything else is a hot key. True when the key
// ends Execute, with Result set.
bool TMenuForm::HandleOrdinary(std::uint8_t key, std::uint8_t& result) {
  if (key == kKeyEnter && Count > 0) {
    if (Item(Current).Kind == ItemNone) {
      result = static_cast<std::uint8_t>(Item(Current).HotKey);
      return true;
    }
    EditItem(Current);
    return false;
  }
  if (key == kKeyEscape || Contains(ExitKeys, key)) {
    result = key;
    return true;
  }
  return HandleHotKey(key, result);
}

// Every item with this hot key in turn becomes current and is edited; an
// action item ends Execute at once with its key.
bool TMenuForm::HandleHotKey(std::uint8_t key, std::uint8_t& result) {
  for (std::uint16_t n = 1; n <= Count; ++n) {
    if (static_cast<std::uint8_t>(Item(n).HotKey) != key) continue;
    MoveTo(n);
    if (Item(n).Kind == ItemNone) {
      result = key;
      return true;
    }
    EditItem(n);
  }
  return false;
}

// An extended key: an exit code ends; Up and Down move in item order (and
// may end at either end); Left and Right move along the current row.
bool TMenuForm::HandleExtended(std::uint8_t code, std::uint8_t& result) {
  if (Contains(ExitScanCodes, code)) {
    EndedByScanCode = true;
    result = code;
    return true;
  }
  if (Count == 0) return false;
  if (code == kScanUp) {
    if (Current > 1) {
      MoveTo(Current - 1);
    } else if (StopAtTop) {
      EndedAtTop = true;
      result = code;
      return true;
    }
  } else if (code == kScanDown) {
    if (Current < Count) {
      MoveTo(Current + 1);
    } else if (StopAtBottom) {
      EndedAtBottom = true;
      result = code;
      return true;
    }
  } else if (code == kScanLeft || code == kScanRight) {
    MoveAlongRow(code == kScanRight);
  }
  return false;
}

// The nearest item on the current item's row, to the left or to the right
// (right: only labels before column 80).
void TMenuForm::MoveAlongRow(bool right) {
  const FormItemRec& cur = Item(Current);
  std::uint16_t best = 0;
  for (std::uint16_t n = 1; n <= Count; ++n) {
    const FormItemRec& it = Item(n);
    if (it.CaptionRow != cur.CaptionRow) continue;
    const bool candidate = right ? it.CaptionCol > cur.CaptionCol && it.CaptionCol < 80
                                 : it.CaptionCol < cur.CaptionCol;
    if (!candidate) continue;
    if (best == 0 ||
        (right ? it.CaptionCol < Item(best).CaptionCol : it.CaptionCol > Item(best).CaptionCol))
      best = n;
  }
  if (best != 0) MoveTo(best);
}

}  // namespace corvix
