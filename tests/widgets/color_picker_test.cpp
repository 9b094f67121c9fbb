// Colour and flag pickers: the chosen attribute, the flag toggles, and the
// screen put back when they end.
#include "widgets/color_picker.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

class PickerTest : public testkit::ScreenTest {};

TEST_F(PickerTest, PickColorReturnsTheChoiceOnEnterAndTheStartOnEscape) {
  struct Case {
    std::uint8_t start;
    std::vector<std::uint8_t> scans;
    bool escape;
    std::uint8_t result;
  };
  const std::uint8_t U = kScanUp, D = kScanDown, L = kScanLeft, R = kScanRight;
  for (const Case& k :
       {Case{0x9F, {}, false, 0x1F}, Case{0x9F, {}, true, 0x9F}, Case{0x9F, {L, D}, true, 0x9F},
        Case{0x9F, {L, U, U}, false, 0x0E}, Case{0x0F, {R}, false, 0x0F},
        Case{0x0F, {D, D, D, D, D, D, D, D}, false, 0x7F}, Case{0x12, {L, L, L}, false, 0x10}}) {
    SCOPED_TRACE(testing::PrintToString(k.scans));
    WriteXY(30, 7, 0x1E, "backdrop under the picker");
    const std::string before = Snapshot();
    for (std::uint8_t scan : k.scans) Key(scan);
    Keys("H");  // the letter, not the Up arrow's scan code: ignored
    k.escape ? LoneEscape() : Keys("\r");
    EXPECT_EQ(PickColor(k.start), k.result);
    EXPECT_EQ(Snapshot(), before);
  }
}

TEST_F(PickerTest, PickFlagsTogglesLettersUntilEscape) {
  struct Case {
    TMenuFormFlagsRec start;
    std::string keys;
    TMenuFormFlagsRec result;
    bool modified;
  };
  for (const Case& k : {Case{0, "cc", 0, true}, Case{0, "aZ", (1u << 1) | (1u << 26), true},
                        Case{0, "19-[@`", 0, false}}) {
    SCOPED_TRACE(k.keys);
    const std::string before = Snapshot();
    TMenuFormFlagsRec flags = k.start;
    bool modified = false;
    Keys(k.keys);
    Key(kScanUp);  // extended keys are read whole and ignored
    LoneEscape();
    PickFlags(flags, modified);
    EXPECT_EQ(flags, k.result);
    EXPECT_EQ(modified, k.modified);
    EXPECT_EQ(Snapshot(), before);
  }
  EXPECT_EQ(FlagsText((1u << 1) | (1u << 3) | (1u << 26)),
            ShortString("A-C----------------------Z"));
  EXPECT_EQ(FlagsText(1u | 0xF8000000u),
            ShortString(std::string(26, '-')));  // bits naming no letter
}

}  // namespace
}  // namespace corvix
