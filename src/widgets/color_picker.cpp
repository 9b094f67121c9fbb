// The colour and flag pickers: each opens its own box at a fixed place on the
// 80 x 25 screen, runs until its end key and puts the screen back.
#include "widgets/color_picker.h"

#include "support/string_utils.h"
#include "term/console.h"
#include "term/keys.h"
#include "widgets/menu_box.h"

namespace corvix {

namespace {

constexpr char kCell = static_cast<char>(0xFE);  // small square: one colour of the grid
constexpr std::uint8_t kFirstFlagBit = 1;
constexpr std::uint8_t kLastFlagBit = 26;

std::uint8_t Attribute(std::uint8_t fore, std::uint8_t back) {
  return static_cast<std::uint8_t>(fore + 16 * back);
}

void DrawColorPicture(const TMenuBox& box, std::uint8_t fore, std::uint8_t back) {
  for (std::uint8_t y = 8; y <= 17; ++y) WriteXY(31, y, box.FaceAttr, RepeatChar(' ', 20));
  for (std::uint8_t bg = 0; bg <= 7; ++bg) {
    for (std::uint8_t fg = 0; fg <= 15; ++fg) {
      WriteXY(static_cast<std::uint8_t>(33 + fg), static_cast<std::uint8_t>(9 + bg),
              Attribute(fg, bg), ShortString::Of(kCell));
    }
  }
  WriteXY(37, 18, Attribute(fore, back), " Sample ");

  // A five-by-three frame of half and full blocks around the chosen cell,
  // white on light grey where it is lit and dark grey where it is shaded.
  const std::uint8_t x = static_cast<std::uint8_t>(fore + 31);
  WriteXYPipe(x, static_cast<std::uint8_t>(back + 8), 15, "\xDB|23\xDF\xDF\xDF|08\xDC");
  WriteXYPipe(x, static_cast<std::uint8_t>(back + 9), 15, "\xDB|23   |08\xDB");
  WriteXYPipe(x, static_cast<std::uint8_t>(back + 10), 15, "|23\xDF|08\xDC\xDC\xDC|08\xDB");
  WriteXY(static_cast<std::uint8_t>(fore + 33), static_cast<std::uint8_t>(back + 9),
          Attribute(fore, back), ShortString::Of(kCell));
}

}  // namespace

ShortString FlagsText(TMenuFormFlagsRec flags) {
  ShortString text;
  for (std::uint8_t n = kFirstFlagBit; n <= kLastFlagBit; ++n) {
    text += (flags >> n) & 1u ? static_cast<char>(64 + n) : '-';
  }
  return text;
}

std::uint8_t PickColor(std::uint8_t attr) {
  std::uint8_t fore = attr & 15;
  std::uint8_t back = (attr >> 4) & 7;
  TMenuBox box;
  box.Title = " Select color ";
  box.Open(30, 7, 51, 18);

  std::uint8_t result = attr;
  for (;;) {
    DrawColorPicture(box, fore, back);
    const std::uint8_t key = ReadKey();
    if (key == kKeyEnter) {
      result = Attribute(fore, back);
      break;
    }
    if (key == kKeyEscape) break;
    if (key != kKeyExtended) continue;
    switch (ReadKey()) {
      case kScanUp:
        if (back > 0) --back;
        break;
      case kScanDown:
        if (back < 7) ++back;
        break;
      case kScanLeft:
        if (fore > 0) --fore;
        break;
      case kScanRight:
        if (fore < 15) ++fore;
        break;
      default:
        break;
    }
  }
  box.Close();
  return result;
}

void PickFlags(TMenuFormFlagsRec& flags, bool& modified) {
  TMenuBox box;
  box.Open(25, 11, 56, 14);
  WriteXY(28, 13, 0x71, "A-Z to toggle, ESC to Quit");
  for (;;) {
    WriteXY(28, 12, 0x70, FlagsText(flags));
    std::uint8_t key = ReadKey();
    if (key == kKeyExtended) {
      ReadKey();  // the scan code of an extended key is read and dropped
      continue;
    }
    key = static_cast<std::uint8_t>(UpperChar(static_cast<char>(key)));
    if (key == kKeyEscape) break;
    if (key >= 'A' && key <= 'Z') {
      flags ^= TMenuFormFlagsRec{1} << (key - 64);
      modified = true;
    }
  }
  box.Close();
}

}  // namespace corvix
