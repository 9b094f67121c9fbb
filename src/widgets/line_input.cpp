// Line input: EditLine with its scrolling field, and the small editors and
// prompts that share its module-wide settings.
#include "widgets/line_input.h"

#include <algorithm>

#include "support/string_utils.h"
#include "term/console.h"
#include "term/keys.h"

namespace corvix {

ShortString EndKeys = ShortString::Of(static_cast<char>(kKeyEnter));
ShortString EndScanCodes;
std::uint8_t FieldAttr = 0x1F;
char PadChar = static_cast<char>(176);
std::uint8_t PadAttr = 0x17;
std::uint8_t EndKey = 0;
bool EditChanged = false;
TNoGlyphProc OnNoGlyph;

namespace {

constexpr std::uint8_t kScanCtrlLeft = 115;
constexpr std::uint8_t kScanCtrlRight = 116;

bool Contains(const ShortString& set, std::uint8_t key) {
  return set.View().find(static_cast<char>(key)) != std::string_view::npos;
}

// Screen column for a field offset; the screen clamps anything past 80, so
// only the byte range has to be kept here.
std::uint8_t Column(std::int32_t col) { return static_cast<std::uint8_t>(std::clamp(col, 1, 255)); }

ShortString Repeat(char ch, std::int32_t count) {
  return ShortString::Of(ch, static_cast<std::size_t>(std::max(count, 0)));
}

// The state of one EditLine call. Pos, First and Col are 1-based as in the
// editor's rules: Pos is the insert position in the text, First the first
// text character shown, Col the cursor's column inside the field. Every
// counter is a signed int and every text access is range-checked, so no key
// sequence can index outside the text or write outside the field's width.
class LineEditor {
 public:
  LineEditor(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth, std::uint8_t maxLength,
             std::uint8_t mode, std::uint8_t fieldAttr, std::uint8_t padAttr, char padChar,
             const ShortString& defaultText)
      : x_(x),
        y_(y),
        width_(fieldWidth),
        maxLength_(maxLength),
        maxLen_(std::min<std::int32_t>(maxLength, kEditMaxText)),
        mode_(mode),
        fieldAttr_(fieldAttr),
        padAttr_(padAttr),
        padChar_(padChar) {
    text_ = ShortString(defaultText.View().substr(0, kEditMaxText));
    End();
  }

  ShortString Run() {
    for (;;) {
      std::uint8_t key = ReadKey();
      // Ctrl-C ends the edit as Escape would, whatever the end keys are.
      if (Interrupted()) return Finish(kKeyEscape);
      if (key == kKeyExtended) {
        std::uint8_t code = ReadKey();
        if (Extended(code)) return Finish(code);
      } else if (Ordinary(key)) {
        return Finish(key);
      }
    }
  }

 private:
  std::int32_t Length() const { return static_cast<std::int32_t>(text_.size()); }
  // The character at 1-based p; a position past the end counts as a non-space.
  bool SpaceAt(std::int32_t p) const { return p >= 1 && p <= Length() && text_[p - 1] == ' '; }

  void PlaceCursor() { GotoXY(Column(x_ + col_ - 1), y_); }

  void Redraw() {
    std::int32_t shown = std::clamp<std::int32_t>(Length() - first_ + 1, 0, width_);
    ShortString s(text_.View().substr(std::min<std::size_t>(first_ - 1, text_.size()), shown));
    WriteXY(x_, y_, fieldAttr_, s);
    WriteXY(Column(x_ + shown), y_, padAttr_, Repeat(padChar_, width_ - shown));
    PlaceCursor();
  }

  // Redraws the field from the cursor to its right edge.
  void RedrawFromCursor() {
    std::int32_t room = std::max(width_ - col_ + 1, 0);
    std::int32_t shown = std::clamp<std::int32_t>(Length() - pos_ + 1, 0, room);
    ShortString s(text_.View().substr(std::min<std::size_t>(pos_ - 1, text_.size()), shown));
    WriteXY(Column(x_ + col_ - 1), y_, fieldAttr_, s);
    WriteXY(Column(x_ + col_ - 1 + shown), y_, padAttr_, Repeat(padChar_, room - shown));
    PlaceCursor();
  }

  void ScrollLeft() {
    if (first_ <= 1) return;
    --first_;
    col_ = pos_ - first_ + 1;
    Redraw();
  }

  void ScrollRight() {
    ++first_;
    if (first_ > Length()) first_ = Length();
    if (first_ > maxLen_) first_ = maxLen_;
    // An empty text (or a maximum of 0) would leave First at 0, before the
    // text; the first shown character can never lie before the text's start.
    if (first_ < 1) first_ = 1;
    col_ = pos_ - first_ + 1;
    Redraw();
  }

  void StepLeft() {
    if (col_ == 1) ScrollLeft();
    --pos_;
    --col_;
  }

  void StepRight() {
    if (col_ == width_ && pos_ < Length()) ScrollRight();
    ++pos_;
    ++col_;
  }

  void Home() {
    pos_ = first_ = col_ = 1;
    Redraw();
  }

  void End() {
    pos_ = Length() + 1;
    first_ = std::max(Length() - width_ + 1, 1);
    col_ = pos_ - first_ + 1;
    Redraw();
  }

  bool Insert(char ch) {
    if (Length() >= maxLen_) return false;
    // The field scrolls at its last column unless its width is the maximum
    // length the caller asked for (then the text always fits); a field of 80
    // with a maximum of 255 scrolls too, although no more than 80 are taken.
    if (col_ >= width_ && width_ != maxLength_) ScrollRight();
    std::string_view v = text_.View();
    std::size_t at = static_cast<std::size_t>(pos_ - 1);
    text_ = ShortString(v.substr(0, at)) + ch + ShortString(v.substr(at));
    if (pos_ < Length()) RedrawFromCursor();
    WriteXY(Column(x_ + col_ - 1), y_, fieldAttr_, ShortString::Of(ch));
    ++pos_;
    ++col_;
    PlaceCursor();
    return true;
  }

  void DeleteAt(std::int32_t p) {
    std::string_view v = text_.View();
    std::size_t at = static_cast<std::size_t>(p - 1);
    text_ = ShortString(v.substr(0, at)) + ShortString(v.substr(at + 1));
  }

  void WordLeft() {
    if (pos_ > 1 && (SpaceAt(pos_) || SpaceAt(pos_ - 1))) {
      StepLeft();
      while (pos_ > 1 && SpaceAt(pos_)) StepLeft();
    }
    while (pos_ > 1 && !SpaceAt(pos_)) StepLeft();
    if (SpaceAt(pos_) && pos_ > 1) StepRight();
    Redraw();
  }

  void WordRight() {
    while (pos_ <= Length() && !SpaceAt(pos_)) StepRight();
    if (pos_ <= Length()) StepRight();  // stands on the space: step past it
    PlaceCursor();
  }

  // Mode filter and insertion of one typed character (32..254).
  void Typed(char ch) {
    switch (mode_) {
      case kEditNumeric:
        if (ch == '-' || (ch >= '0' && ch <= '9')) Insert(ch);
        break;
      case kEditText:
        Insert(ch);
        break;
      case kEditUpper:
        Insert(UpperChar(ch));
        break;
      case kEditDate:
        if (ch < '0' || ch > '9') break;
        // Each of the two characters is inserted on its own, so a digit
        // typed back into a full date's gap still goes in when its slash
        // no longer fits (and the other way round).
        if (pos_ == 2 || pos_ == 5) {
          Insert(ch);
          Insert('/');
        } else if (pos_ == 3 || pos_ == 6) {
          Insert('/');
          Insert(ch);
        } else {
          Insert(ch);
        }
        break;
      default:
        break;
    }
  }

  // Handles an extended key; true when it ends the edit.
  bool Extended(std::uint8_t code) {
    switch (code) {
      case kScanHome:
        if (pos_ > 1) Home();
        return false;
      case kScanEnd:
        End();
        return false;
      case kScanLeft:
        if (pos_ > 1) {
          StepLeft();
          PlaceCursor();
        }
        return false;
      case kScanRight:
        if (pos_ <= Length()) {
          StepRight();
          PlaceCursor();
        }
        return false;
      case kScanDel:
        if (pos_ <= Length()) {
          DeleteAt(pos_);
          RedrawFromCursor();
        }
        return false;
      case kScanCtrlLeft:
        WordLeft();
        return false;
      case kScanCtrlRight:
        WordRight();
        return false;
      case kScanNoGlyph:
        if (OnNoGlyph) {
          OnNoGlyph(noted_ = true);
          SetTextAttr(fieldAttr_);
          PlaceCursor();
        }
        return false;
      default:
        return Contains(EndScanCodes, code);
    }
  }

  // Handles an ordinary key; true when it ends the edit.
  bool Ordinary(std::uint8_t key) {
    if (key == kKeyBackspace) {
      if (pos_ > 1) {
        --pos_;
        DeleteAt(pos_);
        if (col_ == 1) {
          ScrollLeft();
        } else {
          --col_;
          PlaceCursor();
          RedrawFromCursor();
        }
      }
      return false;
    }
    if (key == kKeyCtrlY) {
      text_.clear();
      Home();
      return false;
    }
    if (key >= 32 && key <= 254) {
      Typed(static_cast<char>(key));
      return false;
    }
    return Contains(EndKeys, key);
  }

  ShortString Finish(std::uint8_t key) {
    if (noted_ && OnNoGlyph) OnNoGlyph(false);
    EndKey = key;
    return text_;
  }

  std::int32_t x_;
  std::uint8_t y_;
  std::int32_t width_;
  std::int32_t maxLength_;  // as the caller gave it
  std::int32_t maxLen_;     // the longest text taken: at most 80
  std::uint8_t mode_;
  std::uint8_t fieldAttr_;
  std::uint8_t padAttr_;
  char padChar_;
  ShortString text_;
  std::int32_t pos_ = 1;
  std::int32_t first_ = 1;
  std::int32_t col_ = 1;
  bool noted_ = false;  // OnNoGlyph was told of a refused key
};

ShortString RunEditor(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                      std::uint8_t maxLength, std::uint8_t mode, std::uint8_t fieldAttr,
                      std::uint8_t padAttr, char padChar, const ShortString& defaultText) {
  EditChanged = false;
  GotoXY(x, y);
  SetTextAttr(fieldAttr);
  LineEditor editor(x, y, fieldWidth, maxLength, mode, fieldAttr, padAttr, padChar, defaultText);
  ShowCursor(true);  // the cursor shows only where text is typed
  ShortString result = editor.Run();
  ShowCursor(false);
  // Compared with the caller's text itself: a default cut to 80 characters
  // comes back changed even when no key touched it.
  EditChanged = result != defaultText;
  return result;
}

// Reads one whole key: ordinary keys as (key, false), extended ones as
// (scan code, true), so a scan code is never mistaken for a typed letter.
struct Key {
  std::uint8_t Code;
  bool Extended;
};

Key ReadWholeKey() {
  std::uint8_t key = ReadKey();
  if (key != kKeyExtended) return {key, false};
  return {ReadKey(), true};
}

bool IsEndKey(const Key& k) {
  if (Interrupted()) return true;  // Ctrl-C ends every edit (the key is an Escape)
  return k.Extended ? Contains(EndScanCodes, k.Code) : Contains(EndKeys, k.Code);
}

}  // namespace

ShortString EditLine(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                     std::uint8_t maxLength, std::uint8_t mode, const ShortString& defaultText) {
  return RunEditor(x, y, fieldWidth, maxLength, mode, FieldAttr, PadAttr, PadChar, defaultText);
}

ShortString EditLineColored(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                            std::uint8_t maxLength, std::uint8_t mode, std::uint8_t fieldAttr,
                            std::uint8_t padAttr, char padChar, const ShortString& defaultText) {
  return RunEditor(x, y, fieldWidth, maxLength, mode, fieldAttr, padAttr, padChar, defaultText);
}

std::int32_t EditNumber(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                        std::uint8_t maxLength, std::int32_t low, std::int32_t high,
                        std::int32_t defaultValue) {
  ShortString text = EditLine(x, y, fieldWidth, maxLength, kEditNumeric, Int2Str(defaultValue));
  std::int32_t value = Str2Int(text);
  if (value < low) value = low;
  if (value > high) value = high;
  return value;  // EditChanged stays EditLine's: "007" for 7 is a change
}

bool EditYesNo(std::uint8_t x, std::uint8_t y, bool defaultValue) {
  bool value = defaultValue;
  for (;;) {
    WriteXY(x, y, FieldAttr, value ? "Yes" : "No ");
    GotoXY(x, y);
    Key k = ReadWholeKey();
    if ((k.Extended && (k.Code == kScanLeft || k.Code == kScanRight)) ||
        (!k.Extended && k.Code == kKeySpace)) {
      value = !value;
    } else if (!k.Extended && (k.Code == kKeyEnter || Contains(EndKeys, k.Code) || Interrupted())) {
      EndKey = k.Code;
      break;
    }
  }
  EditChanged = value != defaultValue;
  return value;
}

char EditChar(std::uint8_t x, std::uint8_t y, char defaultValue) {
  char value = defaultValue;
  for (;;) {
    WriteXY(x, y, FieldAttr, ShortString::Of(value));
    GotoXY(x, y);
    Key k = ReadWholeKey();
    if (!k.Extended && k.Code == kKeyEscape) value = defaultValue;
    if (IsEndKey(k)) {
      EndKey = k.Code;
      break;
    }
    if (!k.Extended && k.Code >= kKeySpace) value = static_cast<char>(k.Code);
  }
  WriteXY(x, y, FieldAttr, ShortString::Of(value));
  EditChanged = value != defaultValue;
  return value;
}

bool WaitEnter(std::uint8_t x, std::uint8_t y, std::uint8_t width, const ShortString& text) {
  WriteXY(x, y, FieldAttr, PadRight(text, width, ' '));
  GotoXY(x, y);
  for (;;) {
    Key k = ReadWholeKey();
    bool enter = !k.Extended && k.Code == kKeyEnter;
    if (enter || IsEndKey(k)) {
      EndKey = k.Code;
      EditChanged = enter;
      return enter;
    }
  }
}

bool AskYesNo(std::uint8_t x, std::uint8_t y, std::uint8_t attr, std::uint8_t hiAttr,
              bool defaultValue) {
  bool value = defaultValue;
  for (;;) {
    WriteXY(x, y, value ? hiAttr : attr, " Yes ");
    WriteXY(Column(x + 5), y, value ? attr : hiAttr, " No ");
    GotoXY(1, 25);
    Key k = ReadWholeKey();
    if (k.Extended && k.Code == kScanLeft) {
      value = true;
    } else if (k.Extended && k.Code == kScanRight) {
      value = false;
    } else if (!k.Extended && k.Code == kKeySpace) {
      value = !value;
    } else if (!k.Extended && k.Code == kKeyEnter) {
      break;
    } else if (Interrupted()) {
      value = defaultValue;  // Ctrl-C: the run ends, nothing is answered
      break;
    }
  }
  EndKey = kKeyEnter;
  EditChanged = value != defaultValue;
  return value;
}

char WaitKeyOf(const ShortString& keys, bool echo) {
  for (;;) {
    Key k = ReadWholeKey();
    if (k.Extended) continue;
    char ch = static_cast<char>(k.Code);
    ch = UpperChar(ch);
    if (keys.View().find(ch) == std::string_view::npos) continue;
    if (echo) WriteStr(ShortString::Of(ch));
    return ch;
  }
}

ShortString EditFiltered(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                         std::uint8_t maxLength, const ShortString& allowed,
                         const ShortString& defaultText) {
  const std::size_t limit = std::min<std::size_t>(maxLength, kEditMaxText);
  ShortString text(defaultText.View().substr(0, kEditMaxText));
  SetTextAttr(FieldAttr);
  for (;;) {
    // A text longer than the field shows its end, where the typing happens.
    std::size_t shown = std::min<std::size_t>(text.size(), fieldWidth);
    WriteXY(x, y, FieldAttr, ShortString(text.View().substr(text.size() - shown)));
    WriteXY(Column(x + static_cast<std::int32_t>(shown)), y, PadAttr,
            Repeat(PadChar, fieldWidth - static_cast<std::int32_t>(shown)));
    GotoXY(Column(x + static_cast<std::int32_t>(shown)), y);
    Key k = ReadWholeKey();
    if (!k.Extended && k.Code == kKeyEscape) {
      EndKey = kKeyEscape;
      EditChanged = false;
      return defaultText;
    }
    if (!k.Extended && k.Code == kKeyBackspace) {
      if (!text.empty()) text.SetLength(text.size() - 1);
    } else if (!k.Extended && k.Code == kKeyCtrlY) {
      text.clear();
    } else if (!k.Extended && k.Code >= kKeySpace && Contains(allowed, k.Code)) {
      if (text.size() < limit) text += static_cast<char>(k.Code);
    } else if (IsEndKey(k)) {
      EndKey = k.Code;
      break;
    }
  }
  EditChanged = text != defaultText;
  return text;
}

}  // namespace corvix
