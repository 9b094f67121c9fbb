// TMenuForm: a data-entry form of up to 50 labelled items, each bound to one
// of the caller's variables, edited in place with the editor that suits it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "support/short_string.h"
#include "widgets/color_picker.h"

namespace corvix {

// The item kinds, in this order (values 0..15).
enum FormItemType : std::uint8_t {
  ItemNone,     // an action item: no value, ends Execute with its hot key
  ItemString,   // short string, free text
  ItemBoolean,  // bool, toggled by Enter
  ItemByte,     // std::uint8_t number
  ItemWord,     // std::uint16_t number
  ItemLong,     // std::int32_t number
  ItemToggle,   // std::uint8_t choice number, cycled by Enter
  ItemPath,     // short string, kept ending in '/'
  ItemChar,     // one character
  ItemAttr,     // std::uint8_t text attribute, edited with PickColor
  ItemFlags,    // TMenuFormFlagsRec, edited with PickFlags
  ItemDate,     // short string mm/dd/yy
  ItemPass,     // short string shown as '*'
  ItemPipe,     // short string shown with its pipe colour codes applied
  ItemCaps,     // short string in upper case
  ItemBits,     // std::int32_t, one bit mask toggled by Enter
};

// The most items a form holds; further add calls are ignored.
inline constexpr std::uint16_t kMaxFormItems = 50;
// Longest caption, help text and choice list an item keeps (longer ones are cut).
inline constexpr std::uint8_t kFormCaptionMax = 60;
inline constexpr std::uint8_t kFormHelpMax = 120;
inline constexpr std::uint8_t kFormChoicesMax = 68;

// One item. Exactly one of the references is set, by kind; the caller's
// variable must outlive every Execute of the form.
struct FormItemRec {
  char HotKey = 0;  // matched against the upper-cased key, so letters are upper case
  ShortString Caption;
  ShortString Help;  // may hold pipe colour codes
  std::uint8_t CaptionCol = 0;
  std::uint8_t CaptionRow = 0;
  std::uint8_t CaptionWidth = 0;
  std::uint8_t ValueCol = 0;
  std::uint8_t ValueRow = 0;
  std::uint8_t ValueWidth = 0;
  FormItemType Kind = ItemNone;
  std::uint8_t MaxLength = 0;  // ItemToggle: the highest choice value
  std::int32_t Low = 0;        // number: lower bound; ItemToggle: first choice value
  std::int32_t High = 0;       // number: upper bound; ItemBits: the bit mask
  ShortString* TextRef = nullptr;
  bool* FlagRef = nullptr;
  std::uint8_t* ByteRef = nullptr;
  std::uint16_t* WordRef = nullptr;
  std::int32_t* LongRef = nullptr;
  char* CharRef = nullptr;
  TMenuFormFlagsRec* SetRef = nullptr;
  ShortString Choices;  // ItemToggle: the choice words, separated by ValuePadChar
};
using FormItemPTR = FormItemRec*;

// Called instead of writing an item's help text when set.
using TMenuFormHelpProc = std::function<void()>;
// Kept by the form for its callers; the form itself never calls them.
using TMenuFormDrawProc = std::function<void()>;
using TMenuFormDataProc = std::function<void()>;

// Pads shown values to their width and separates the words of a toggle's
// choices. Set by callers (the message-details screen sets '.'), read by every
// form when it draws; never put back. Starts as a space.
extern char ValuePadChar;
// How boolean and bit items show their value: [false] "No", [true] "Yes".
extern const ShortString YesNoText[2];

class TMenuForm {
 public:
  TMenuForm();
  ~TMenuForm();
  TMenuForm(const TMenuForm&) = delete;
  TMenuForm& operator=(const TMenuForm&) = delete;

  // Frees all items; Count = 0, Current = 1, Modified = false.
  void Clear();
  // Runs the form until Escape, an exit key or scan code, an action item, or
  // (when asked) a move past the first or last item; returns that key or code.
  std::uint8_t Execute();

  // ---- Add operations: each appends one item, nothing when 50 are held. ----
  void AddNone(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t captionWidth, const ShortString& help);
  void AddText(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
               std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t maxLength,
               ShortString& value, const ShortString& help);
  void AddPipeText(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                   std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                   std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t maxLength,
                   ShortString& value, const ShortString& help);
  void AddUpper(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t maxLength,
                ShortString& value, const ShortString& help);
  void AddPassword(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                   std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                   std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t maxLength,
                   ShortString& value, const ShortString& help);
  void AddPath(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
               std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t maxLength,
               ShortString& value, const ShortString& help);
  void AddYesNo(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                std::uint8_t captionWidth, std::uint8_t valueWidth, bool& value,
                const ShortString& help);
  void AddBit(char hotKey, const ShortString& caption, std::uint8_t captionCol,
              std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
              std::uint8_t captionWidth, std::int32_t mask, std::int32_t& value,
              const ShortString& help);
  void AddByte(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
               std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t low,
               std::uint8_t high, std::uint8_t& value, const ShortString& help);
  void AddWord(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
               std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint16_t low,
               std::uint16_t high, std::uint16_t& value, const ShortString& help);
  void AddLong(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
               std::uint8_t captionWidth, std::uint8_t valueWidth, std::int32_t low,
               std::int32_t high, std::int32_t& value, const ShortString& help);
  void AddToggle(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                 std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                 std::uint8_t captionWidth, std::uint8_t valueWidth, std::uint8_t low,
                 std::uint8_t high, const ShortString& choices, std::uint8_t& value,
                 const ShortString& help);
  void AddChar(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
               std::uint8_t captionWidth, char& value, const ShortString& help);
  void AddAttr(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
               std::uint8_t captionWidth, std::uint8_t& value, const ShortString& help);
  void AddFlags(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                std::uint8_t captionWidth, TMenuFormFlagsRec& value, const ShortString& help);
  void AddDate(char hotKey, const ShortString& caption, std::uint8_t captionCol,
               std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
               std::uint8_t captionWidth, ShortString& value, const ShortString& help);

  TMenuFormHelpProc OnHelp;  // called instead of writing the help text when set
  TMenuFormDrawProc OnDraw;  // kept, never called by the form
  TMenuFormDataProc OnData;  // kept, never called by the form

  // Items[0 .. Count-1] are items 1 .. Count; Current is 1-based.
  std::array<std::unique_ptr<FormItemRec>, kMaxFormItems> Items;
  std::uint16_t Count = 0;
  std::uint16_t Current = 1;
  bool Modified = false;  // an item was edited since the last Clear
  bool StopAtTop = false;
  bool StopAtBottom = false;
  bool EndedByScanCode = false;
  bool EndedAtTop = false;
  bool EndedAtBottom = false;
  ShortString ExitKeys;       // ordinary keys besides Escape that end Execute
  ShortString ExitScanCodes;  // extended codes that end Execute
  std::uint8_t HelpCol = 5;
  std::uint8_t HelpRow = 25;
  std::uint8_t HelpWidth = 75;  // 0: no help line
  std::uint8_t HelpAttr = 15;
  std::uint8_t LabelAttr = 0x70;
  std::uint8_t LabelHiAttr = 0x1B;
  std::uint8_t ValueAttr = 0x71;
  // Ends a value shown cut short of its field; 0: none.
  char CutMark = 0;
  std::uint8_t HotAttr = 0x7F;
  std::uint8_t HotHiAttr = 0x1F;
  std::uint8_t EditAttr = 0x1F;     // given to FieldAttr when Execute starts
  std::uint8_t EditPadAttr = 0x17;  // given to PadAttr when Execute starts

 private:
  FormItemRec* Add(char hotKey, const ShortString& caption, std::uint8_t captionCol,
                   std::uint8_t captionRow, std::uint8_t valueCol, std::uint8_t valueRow,
                   std::uint8_t captionWidth, FormItemType kind, std::uint8_t valueWidth,
                   std::uint8_t maxLength, const ShortString& help);
  FormItemRec& Item(std::uint16_t number) { return *Items[number - 1]; }
  // Drawing.
  void DrawAll();
  void DrawLabel(std::uint16_t number, bool highlighted);
  void DrawValue(std::uint16_t number);
  // One handler per key group; each returns true when the key ends Execute,
  // with the result it returns.
  bool HandleOrdinary(std::uint8_t key, std::uint8_t& result);
  bool HandleHotKey(std::uint8_t key, std::uint8_t& result);
  bool HandleExtended(std::uint8_t code, std::uint8_t& result);
  // Editing and moves.
  void EditItem(std::uint16_t number);
  // EditItem's steps: a value typed as text (strings, dates, paths, one
  // character), and every other kind's change.
  void EditText(FormItemRec& item);
  void ChangeValue(FormItemRec& item);
  void MoveTo(std::uint16_t number);
  void MoveAlongRow(bool right);
};

}  // namespace corvix
