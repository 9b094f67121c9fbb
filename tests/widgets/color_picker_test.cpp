// Colour and flag pickers: the chosen attribute, the flag toggles, and the
// screen put back when they end.
#include "widgets/color_picker.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

using testkit::ScreenTest;

class PickerTest : public ScreenTest {
 protected:
  std::string Screenful() const {
    std::string all;
    for (std::uint8_t y = 1; y <= 25; ++y) {
      all += RowText(y);
      for (std::uint8_t x = 1; x <= 80; ++x) all += static_cast<char>(AttrAt(x, y));
    }
    return all;
  }
};

TEST_F(PickerTest, PickColorMovesOverTheGridAndReturnsOnEnterOrEscape) {
  struct Case {
    const char* name;
    std::uint8_t start;
    std::vector<std::uint8_t> scans;
    bool escape;
    std::uint8_t result;
  };
  const std::uint8_t U = kScanUp, D = kScanDown, L = kScanLeft, R = kScanRight;
  for (const Case& k : {
           Case{"enter drops the blink bit", 0x9F, {}, false, 0x1F},
           Case{"escape keeps the blink bit", 0x9F, {}, true, 0x9F},
           Case{"escape after moving", 0x9F, {L, D}, true, 0x9F},
           Case{"right stops at foreground 15", 0x0F, {R}, false, 0x0F},
           Case{"up stops at background 0", 0x0F, {U}, false, 0x0F},
           Case{"down stops at background 7", 0x0F, {D, D, D, D, D, D, D, D, D}, false, 0x7F},
           Case{"left stops at foreground 0", 0x12, {L, L, L}, false, 0x10},
           Case{"left and up", 0x9F, {L, U}, false, 0x0E},
       }) {
    SCOPED_TRACE(k.name);
    WriteXY(30, 7, 0x1E, "backdrop under the picker");
    const std::string before = Screenful();
    for (std::uint8_t scan : k.scans) Key(scan);
    Keys("H");  // an ordinary key, not an arrow: ignored
    if (k.escape) {
      LoneEscape();
    } else {
      Keys("\r");
    }
    EXPECT_EQ(PickColor(k.start), k.result);
    EXPECT_EQ(Screenful(), before);
  }
}

TEST_F(PickerTest, PickFlagsTogglesLettersUntilEscape) {
  struct Case {
    const char* name;
    TMenuFormFlagsRec start;
    std::string keys;
    TMenuFormFlagsRec result;
    bool modified;
  };
  for (const Case& k : {Case{"c twice leaves the set empty", 0, "cc", 0, true},
                        Case{"lower and upper case", 0, "aZ", (1u << 1) | (1u << 26), true},
                        Case{"off again", 1u << 3, "C", 0, true},
                        Case{"digits and punctuation do nothing", 0, "19-[@`", 0, false}}) {
    SCOPED_TRACE(k.name);
    const std::string before = Screenful();
    TMenuFormFlagsRec flags = k.start;
    bool modified = false;
    Keys(k.keys);
    Key(kScanUp);  // extended keys are read whole and ignored
    LoneEscape();
    PickFlags(flags, modified);
    EXPECT_EQ(flags, k.result);
    EXPECT_EQ(modified, k.modified);
    EXPECT_EQ(Screenful(), before);
  }
}

TEST(FlagsText, ShowsLettersForSetBitsAndDashesOtherwise) {
  EXPECT_EQ(FlagsText(0), ShortString(std::string(26, '-')));
  EXPECT_EQ(FlagsText((1u << 1) | (1u << 3) | (1u << 26)), ShortString("A-C----------------------Z"));
  // Bit 0 and bits 27..31 stand for no letter.
  EXPECT_EQ(FlagsText(1u | 0xF8000000u), ShortString(std::string(26, '-')));
}

}  // namespace
}  // namespace corvix
