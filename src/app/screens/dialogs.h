// The application's small dialogs: the message box, the backdrop frame and the
// two-pane file-open dialog, all in the standard dialog settings.
#pragma once

#include <cstdint>
#include <string>

#include "app/screens/dialog_settings.h"
#include "support/short_string.h"

namespace corvix {

class TMenuBox;

inline constexpr std::uint8_t kMsgNotice = 0;      // one OK button
inline constexpr std::uint8_t kMsgQuestion = 1;    // YES and NO
inline constexpr std::uint8_t kMsgQuestionNo = 2;  // YES and NO, with NO chosen first

// Shows a centred box with Text and an OK button (notice) or a YES/NO choice
// (question, YES or NO chosen at first); true for OK or YES. Leaves screen,
// cursor and attribute as found. Text is shown as outside text is (control
// bytes as '?'), cut at 76 characters with the cut marked.
bool MsgBox(std::uint8_t kind, const ShortString& text);

// A notice too long for one line: Text wrapped at blanks into a box of up
// to eight lines of 70 columns, with an OK button. Control bytes show as '?'.
void LongNotice(const std::string& text);

// Draws an empty framed area with shadow and leaves it on screen.
void DrawFrame(std::uint8_t x1, std::uint8_t y1, std::uint8_t x2, std::uint8_t y2);

// Lets the operator choose a file from the disk, starting in StartDir. Returns
// the full path (directory + name), or "" when left with Escape. The working
// directory and the screen under the dialog are as they were on return.
[[nodiscard]] ShortString OpenFileDialog(const ShortString& title, const ShortString& startDir);

}  // namespace corvix
