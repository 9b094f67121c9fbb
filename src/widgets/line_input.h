// Line input: field editors that read a value in place on the screen. EditLine
// is a one-line editor with horizontal scrolling and four input modes; the
// other editors and prompts build on the same module-wide settings.
#pragma once

#include <cstdint>
#include <functional>

#include "support/short_string.h"

namespace corvix {

// Input modes of EditLine.
inline constexpr std::uint8_t kEditNumeric = 0;  // '-' and digits
inline constexpr std::uint8_t kEditText = 1;     // everything as typed
inline constexpr std::uint8_t kEditUpper = 2;    // letters made upper case
inline constexpr std::uint8_t kEditDate = 3;     // mm/dd/yy with automatic slashes

// The longest text any EditLine call holds, whatever MaxLength says.
inline constexpr std::uint8_t kEditMaxText = 80;

// Settings: set by whoever runs an editor next (the form, the file-open
// dialog), read by every editor of this module, and never put back.
extern ShortString EndKeys;       // ordinary keys that end an edit; starts as Enter alone
extern ShortString EndScanCodes;  // extended codes (after the 0) that end an edit; starts empty
extern std::uint8_t FieldAttr;    // attribute of the field's text; starts 0x1F
extern char PadChar;          // fills the field right of the text; starts 176 (CP437 light shade)
extern std::uint8_t PadAttr;  // attribute of the pad characters; starts 0x17

// Results: written by every editor when it returns, read by its caller.
extern std::uint8_t EndKey;  // key or extended code that ended the last edit; 0 when none did
extern bool EditChanged;     // the last edit changed its value

// Called by EditLine with true when a typed character cannot be held (the
// key kScanNoGlyph: code page 437 lacks it), so the screen owning the field
// can say why nothing was taken, and with false when that edit ends, so it
// can take the words back. Set and unset by that screen; unset, the key is
// ignored.
using TNoGlyphProc = std::function<void(bool refused)>;
extern TNoGlyphProc OnNoGlyph;

// Edits Default in a FieldWidth-wide field at (x, y) and returns the text
// (at most 80 characters). Sets EndKey and EditChanged; FieldAttr stays the
// screen's current attribute afterwards.
ShortString EditLine(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                     std::uint8_t maxLength, std::uint8_t mode, const ShortString& defaultText);

// EditLine with its own field attribute, pad attribute and pad character in
// place of FieldAttr, PadAttr and PadChar (which are left as they were).
ShortString EditLineColored(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                            std::uint8_t maxLength, std::uint8_t mode, std::uint8_t fieldAttr,
                            std::uint8_t padAttr, char padChar, const ShortString& defaultText);

// Integer editor: EditLine in numeric mode on the number's text; the result
// (0 for text that is no number) is clamped into low .. high.
std::int32_t EditNumber(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                        std::uint8_t maxLength, std::int32_t low, std::int32_t high,
                        std::int32_t defaultValue);

// "No " / "Yes" at (x, y); Space, Left and Right toggle, Enter or an end key accepts.
bool EditYesNo(std::uint8_t x, std::uint8_t y, bool defaultValue);

// One character at (x, y); any key from 32 up replaces it, Escape puts the
// default back, an end key (ordinary or extended) ends.
char EditChar(std::uint8_t x, std::uint8_t y, char defaultValue);

// Shows Text padded to width and waits for Enter or an end key; true (also in
// EditChanged) when Enter ended it.
bool WaitEnter(std::uint8_t x, std::uint8_t y, std::uint8_t width, const ShortString& text);

// " Yes " and " No " side by side at (x, y), the chosen one in hiAttr and the
// other in attr; Left chooses Yes, Right No, Space toggles, Enter accepts.
bool AskYesNo(std::uint8_t x, std::uint8_t y, std::uint8_t attr, std::uint8_t hiAttr,
              bool defaultValue);

// Reads keys, upper-cased, until one of keys; writes it at the cursor when
// echo is set and returns it. Extended keys are read whole and ignored.
char WaitKeyOf(const ShortString& keys, bool echo);

// A simple editor that only appends and removes at the end: typed characters
// found in allowed are appended below maxLength, Backspace removes the last,
// Ctrl-Y clears. Ends on an end key; Escape always ends and returns Default.
ShortString EditFiltered(std::uint8_t x, std::uint8_t y, std::uint8_t fieldWidth,
                         std::uint8_t maxLength, const ShortString& allowed,
                         const ShortString& defaultText);

}  // namespace corvix
