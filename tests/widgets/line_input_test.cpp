// Line input: the editors driven with keys through the test keyboard, their
// results and what they leave on the screen.
#include "widgets/line_input.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

constexpr char kPad = static_cast<char>(176);
constexpr std::uint16_t kExt = 0x100;  // marks an extended key in key lists
constexpr std::uint8_t kScanCtrlLeft = 115;
constexpr std::uint8_t kScanCtrlRight = 116;

class LineInputTest : public testkit::ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    EndKeys = "\r";
    EndScanCodes = "";
    FieldAttr = 0x1F;
    PadChar = kPad;
    PadAttr = 0x17;
    EndKey = 0;
    EditChanged = false;
  }
  // Queues keys straight into the keyboard's decoded-key queue; this is the
  // only way to send Ctrl-Left and Ctrl-Right, which no sequence produces.
  void Push(const std::vector<std::uint16_t>& keys) {
    for (std::uint16_t k : keys) {
      if (k & kExt) {
        keyboard_->PushExt(static_cast<std::uint8_t>(k));
      } else {
        keyboard_->PushKey(static_cast<std::uint8_t>(k));
      }
    }
  }
};

TEST_F(LineInputTest, ModesFilterAndShapeTypedCharacters) {
  struct Case {
    std::uint8_t mode;
    const char* typed;
    const char* expected;
  } cases[] = {
      {kEditNumeric, "a-1b2.", "-12"},
      {kEditText, "aB c!", "aB c!"},
      {kEditUpper, "abZ1{", "ABZ1{"},
      {kEditDate, "123125", "12/31/25"},
      {kEditDate, "1a2", "12/"},
      {kEditDate, "12312599", "12/31/25"},
      {7, "abc", ""},
  };
  for (const Case& c : cases) {
    Keys(std::string(c.typed) + "\r");
    EXPECT_EQ(EditLine(1, 1, 10, 8, c.mode, "").Str(), c.expected) << c.typed;
    EXPECT_EQ(EndKey, 13);
  }
  // A digit typed back into a full date's gap goes in though its slash no longer fits.
  Key(kScanHome);
  Key(kScanRight);
  Key(kScanDel);
  Keys("2\r");
  EXPECT_EQ(EditLine(1, 1, 10, 8, kEditDate, "12/31/25").Str(), "12/31/25");
}

TEST_F(LineInputTest, EditingKeysMoveAndDelete) {
  const std::uint16_t home = kExt | kScanHome, end = kExt | kScanEnd, left = kExt | kScanLeft,
                      right = kExt | kScanRight, del = kExt | kScanDel, wl = kExt | kScanCtrlLeft,
                      wr = kExt | kScanCtrlRight;
  struct Case {
    std::vector<std::uint16_t> keys;
    const char* expected;
  } cases[] = {
      {{home, del}, "ello world"},
      {{left, left, left, left, left, 8}, "helloworld"},
      {{home, right, right, 'X'}, "heXllo world"},
      {{end, 8}, "hello worl"},
      {{del, right}, "hello world"},  // nothing to delete or pass at the end
      {{home, left, 8, 'X'}, "Xhello world"},
      {{wl, 'X'}, "hello Xworld"},
      {{wl, wl, 'X'}, "Xhello world"},
      {{home, wr, 'X'}, "hello Xworld"},
      {{home, wr, wr, 'X'}, "hello worldX"},
      {{left, left, wl, 'X'}, "hello Xworld"},  // from inside a word: its start
      {{25, 'a'}, "a"},
  };
  for (const Case& c : cases) {
    Push(c.keys);
    Keys("\r");
    EXPECT_EQ(EditLine(1, 1, 8, 40, kEditText, "hello world").Str(), c.expected) << c.expected;
  }
}

TEST_F(LineInputTest, LongDefaultShowsItsEndWithTheCursorPastTheField) {
  Keys("\r");
  EXPECT_EQ(EditLine(3, 2, 5, 20, kEditText, "abcdefgh").Str(), "abcdefgh");
  EXPECT_EQ(RowText(2).substr(2, 6), "defgh ");
  EXPECT_EQ(WhereX(), 8);
  EXPECT_FALSE(EditChanged);
  EXPECT_EQ(AttrAt(3, 2), 0x1F);
  EXPECT_EQ(GetTextAttr(), 0x1F);  // the field attribute stays current
}

TEST_F(LineInputTest, TypingPastTheFieldScrollsIt) {
  Keys("abcdefgh\r");
  EXPECT_EQ(EditLine(1, 1, 5, 20, kEditText, "").Str(), "abcdefgh");
  EXPECT_EQ(RowText(1).substr(0, 6), std::string("efgh") + kPad + " ");
  EXPECT_EQ(WhereX(), 5);
  EXPECT_EQ(AttrAt(5, 1), 0x17);
}

TEST_F(LineInputTest, FieldAsWideAsTheMaximumNeverScrolls) {
  Keys("abcdefg\r");
  EXPECT_EQ(EditLine(1, 1, 5, 5, kEditText, "").Str(), "abcde");
  EXPECT_EQ(RowText(1).substr(0, 6), "abcde ");
}

TEST_F(LineInputTest, A80WideFieldScrollsAtItsLastColumnUnlessItIsTheMaximum) {
  std::string typed;
  for (int i = 0; i < 80; ++i) typed += static_cast<char>('!' + i);
  struct Case {
    std::uint8_t maxLength;
    std::string shown;  // the field's 80 columns once all 80 are typed
    std::uint8_t cursor;
  } cases[] = {
      {80, typed, 80},                    // the text always fits
      {255, typed.substr(1) + kPad, 80},  // scrolled one on for the last character
  };
  for (const Case& c : cases) {
    Keys(typed + "\r");
    EXPECT_EQ(EditLine(1, 1, 80, c.maxLength, kEditText, "").Str(), typed);
    EXPECT_EQ(RowText(1), c.shown) << int{c.maxLength};
    EXPECT_EQ(WhereX(), c.cursor);
  }
}

TEST_F(LineInputTest, TextNeverGrowsPast80Characters) {
  Keys(std::string(100, 'x') + "\r");
  EXPECT_EQ(EditLine(1, 1, 20, 255, kEditText, "").size(), 80u);

  // A longer default is cut, and the cut counts as a change of the caller's text.
  const std::string longText(100, 'y');
  Keys("\r");
  EXPECT_EQ(EditLine(1, 1, 20, 255, kEditText, longText).Str(), std::string(80, 'y'));
  EXPECT_TRUE(EditChanged);
}

TEST_F(LineInputTest, ChangedFlagAndEndKeys) {
  Keys("\x19\r");
  EXPECT_EQ(EditLine(1, 1, 10, 10, kEditText, "hello").Str(), "");
  EXPECT_TRUE(EditChanged);

  Keys("x\b\r");
  EXPECT_EQ(EditLine(1, 1, 10, 10, kEditText, "hello").Str(), "hello");
  EXPECT_FALSE(EditChanged);

  // Escape ends only when it is an end key, and then returns the edited text.
  Keys("d");
  LoneEscape();
  Keys("e\r");
  EXPECT_EQ(EditLine(1, 1, 10, 10, kEditText, "abc").Str(), "abcde");
  EndKeys = "\t\r\x1b";
  Keys("d");
  LoneEscape();
  EXPECT_EQ(EditLine(1, 1, 10, 10, kEditText, "abc").Str(), "abcd");
  EXPECT_EQ(EndKey, 27);

  EndScanCodes = ShortString::Of(static_cast<char>(kScanUp));
  Key(kScanDown);  // not an end code: ignored
  Key(kScanUp);
  EditLine(1, 1, 10, 10, kEditText, "abc");
  EXPECT_EQ(EndKey, kScanUp);
}

TEST_F(LineInputTest, EditNumberClampsIntoRange) {
  struct Case {
    std::int32_t start;
    const char* keys;
    std::int32_t expected;
    bool changed;
  } cases[] = {
      {0,
       "\x19"
       "300\r",
       255, true},
      {9, "\x19\r", 1, true},
      {9, "\x19-\r", 1, true},
      {42, "\r", 42, false},
      {1,
       "\x19"
       "3000\r",
       255, true},  // max 3 digits
      // The text decides, as for every line edit: "007" for 7 is a change, an
      // untouched "300" clamped to 255 is none.
      {7,
       "\x19"
       "007\r",
       7, true},
      {7,
       "\x19"
       "7\r",
       7, false},
      {300, "\r", 255, false},
  };
  for (const Case& c : cases) {
    Keys(c.keys);
    EXPECT_EQ(EditNumber(1, 1, 5, 3, 1, 255, c.start), c.expected) << c.keys;
    EXPECT_EQ(EditChanged, c.changed) << c.keys;
  }
}

TEST_F(LineInputTest, SmallPrompts) {
  Keys(" ");
  Key(kScanRight);
  Keys(" \r");
  EXPECT_TRUE(EditYesNo(1, 1, false));
  EXPECT_TRUE(EditChanged);
  EXPECT_EQ(RowText(1).substr(0, 3), "Yes");

  Keys("bc\r");
  EXPECT_EQ(EditChar(1, 1, 'a'), 'c');
  Keys("b");
  LoneEscape();
  Keys("\r");
  EXPECT_EQ(EditChar(1, 1, 'a'), 'a');
  EXPECT_FALSE(EditChanged);

  EndKeys = "\r\t";
  Keys("x\t");
  EXPECT_FALSE(WaitEnter(1, 1, 6, "Go"));
  EXPECT_EQ(EndKey, 9);
  EXPECT_EQ(RowText(1).substr(0, 6), "Go    ");

  Key(kScanRight);
  Keys("\r");
  EXPECT_FALSE(AskYesNo(10, 3, 0x07, 0x70, true));
  EXPECT_EQ(AttrAt(15, 3), 0x70);  // " No " chosen
}

TEST_F(LineInputTest, WaitKeyOfNeverTakesAScanCodeForALetter) {
  Key(kScanUp);  // 0 then 72, which is 'H'
  Keys("xn");
  GotoXY(5, 5);
  EXPECT_EQ(WaitKeyOf("YNH", true), 'N');
  EXPECT_EQ(CharAt(5, 5), 'N');
}

}  // namespace
}  // namespace corvix
