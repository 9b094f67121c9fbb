// TMenuForm: items of every kind shown and edited through keys, hot keys,
// moving between items and the ways Execute ends.
#include "widgets/menu_form.h"

#include <functional>
#include <string>

#include "testkit/screen_fixture.h"
#include "widgets/line_input.h"

namespace corvix {
namespace {

class MenuFormTest : public testkit::ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ValuePadChar = ' ';
    EndKeys = "\r";
    EndScanCodes = "";
    form_.ExitKeys = "!";  // ends a run without the pause a lone Escape needs
  }
  // The value cells of row y from column x, width w.
  std::string Cells(std::uint8_t x, std::uint8_t y, std::size_t w) {
    return RowText(y).substr(x - 1, w);
  }
  TMenuForm form_;
};

TEST_F(MenuFormTest, TextValueIsPaddedWithValuePadChar) {
  for (char pad : {' ', '.'}) {
    ValuePadChar = pad;
    ShortString text = "abc";
    form_.Clear();
    form_.AddText('F', "From", 7, 4, 20, 4, 7, 6, 40, text, "");
    Keys("!");
    EXPECT_EQ(form_.Execute(), '!');
    EXPECT_EQ(Cells(20, 4, 7), std::string("abc") + std::string(3, pad) + " ");
    EXPECT_EQ(AttrAt(20, 4), 0x71);
  }
  // The label after the run: plain, its hot letter in HotAttr.
  EXPECT_EQ(Cells(7, 4, 7), "From   ");
  EXPECT_EQ(AttrAt(7, 4), 0x7F);
  EXPECT_EQ(AttrAt(8, 4), 0x70);
}

TEST_F(MenuFormTest, ToggleCyclesThroughItsChoices) {
  struct Case {
    char pad;
    const char* choices;
    const char* shown[4];  // before any Enter, then after 1, 2 and 3
  } cases[] = {
      {' ', "Off On Auto", {"Off ", "On  ", "Auto", "Off "}},
      {'.', "Off.On.Auto", {"Off.", "On..", "Auto", "Off."}},
      {' ', "Single", {"    ", "    ", "    ", "    "}},  // no separator: nothing
  };
  for (const Case& c : cases) {
    ValuePadChar = c.pad;
    std::uint8_t value = 0;
    form_.Clear();
    form_.AddToggle('T', "Mode", 1, 2, 10, 2, 6, 4, 0, 2, c.choices, value, "");
    for (int presses = 0; presses < 4; ++presses) {
      Keys(presses == 0 ? "!" : "\r!");
      form_.Execute();
      EXPECT_EQ(Cells(10, 2, 4), c.shown[presses]) << c.choices << " " << presses;
      EXPECT_EQ(value, presses % 3);
    }
  }
}

TEST_F(MenuFormTest, BooleanAndBitItemsFlipWithoutAnEditor) {
  std::int32_t bits = 6;
  bool flag = false;
  form_.AddBit('B', "Bit", 1, 1, 10, 1, 5, 4, bits, "");
  form_.AddYesNo('Y', "Yes", 1, 2, 10, 2, 5, 3, flag, "");
  Keys("\ry!");
  form_.Execute();
  EXPECT_EQ(bits, 2);
  EXPECT_EQ(Cells(10, 1, 3), "No ");
  EXPECT_TRUE(flag);
  EXPECT_EQ(Cells(10, 2, 3), "Yes");
}

TEST_F(MenuFormTest, TextKindsEditAndShowTheirOwnWay) {
  struct Case {
    void (TMenuForm::*add)(char, const ShortString&, std::uint8_t, std::uint8_t, std::uint8_t,
                           std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, ShortString&,
                           const ShortString&);
    const char* typed;
    const char* stored;
    const char* shown;
  } cases[] = {
      {&TMenuForm::AddText, "ab", "ab", "ab    "},
      {&TMenuForm::AddPassword, "xyz", "xyz", "***   "},
      {&TMenuForm::AddUpper, "ab1", "AB1", "AB1   "},
      {&TMenuForm::AddPath, "/tmp", "/tmp/", "/tmp/ "},
      {&TMenuForm::AddPipeText, "|14Hi", "|14Hi", "Hi    "},
  };
  for (const Case& c : cases) {
    ShortString value;
    form_.Clear();
    (form_.*c.add)('V', "Value", 1, 3, 10, 3, 6, 6, 10, value, "");
    Keys("\r" + std::string(c.typed) + "\r!");
    form_.Execute();
    EXPECT_EQ(value.Str(), c.stored) << c.typed;
    EXPECT_EQ(Cells(10, 3, 6), c.shown) << c.typed;
  }

  ShortString date;
  form_.Clear();
  form_.AddDate('D', "Date", 1, 3, 10, 3, 6, date, "");
  Keys("d010203\r!");  // the hot key opens the editor as Enter does
  form_.Execute();
  EXPECT_EQ(date.Str(), "01/02/03");
}

TEST_F(MenuFormTest, NumberCharAndPickerItems) {
  std::uint8_t byteValue = 10;
  char ch = 'a';
  std::uint8_t attr = 0x1F;
  form_.AddByte('B', "Byte", 1, 1, 10, 1, 6, 5, 1, 255, byteValue, "");
  form_.AddChar('C', "Char", 1, 3, 10, 3, 6, ch, "");
  form_.AddAttr('A', "Attr", 1, 4, 10, 4, 6, attr, "");
  EXPECT_EQ(form_.Items[0]->MaxLength, 3);  // digits of 255

  Keys(
      "b\x19"
      "300\rc\b\x19\r");
  Keys("a");
  Key(kScanLeft);
  Keys("\r!");
  form_.Execute();
  EXPECT_EQ(byteValue, 255);
  EXPECT_EQ(Cells(10, 1, 5), "255  ");
  EXPECT_EQ(ch, 'a');  // an emptied field keeps the character
  EXPECT_EQ(attr, 0x1E);
  EXPECT_EQ(Cells(10, 4, 8), " Sample ");
  EXPECT_EQ(AttrAt(10, 4), 0x1E);
}

TEST_F(MenuFormTest, ModifiedIsSetByAnUnchangedEditAndClearedOnlyByClear) {
  ShortString text = "same";
  form_.AddText('T', "Text", 1, 1, 10, 1, 5, 10, 10, text, "");
  Keys("\r\r!");
  form_.Execute();
  EXPECT_EQ(text.Str(), "same");
  EXPECT_TRUE(form_.Modified);
  Keys("!");
  form_.Execute();
  EXPECT_TRUE(form_.Modified);
  form_.Clear();
  EXPECT_FALSE(form_.Modified);
}

TEST_F(MenuFormTest, HotKeys) {
  ShortString text = "x";
  bool flag = false;
  form_.AddText('A', "Alpha", 1, 1, 10, 1, 6, 5, 5, text, "");
  form_.AddYesNo('A', "Also", 1, 2, 10, 2, 6, 3, flag, "");
  form_.AddNone('S', "Save", 1, 3, 6, "");
  // Two items share 'A': both are edited in turn, the second stays current.
  Keys("az\r!");
  form_.Execute();
  EXPECT_EQ(text.Str(), "xz");
  EXPECT_TRUE(flag);
  EXPECT_EQ(form_.Current, 2);

  // An action item's hot key returns at once, and so does Enter on it.
  Keys("s");
  EXPECT_EQ(form_.Execute(), 'S');
  EXPECT_EQ(form_.Current, 3);
  EXPECT_EQ(text.Str(), "xz");
  EXPECT_TRUE(flag);
  Keys("\r");
  EXPECT_EQ(form_.Execute(), 'S');
  LoneEscape();
  EXPECT_EQ(form_.Execute(), 27);
}

TEST_F(MenuFormTest, MovingBetweenItemsAndEndingAtTheEdges) {
  bool v[4] = {};
  form_.AddYesNo('1', "One", 2, 5, 10, 5, 5, 3, v[0], "");
  form_.AddYesNo('2', "Two", 30, 5, 38, 5, 5, 3, v[1], "");
  form_.AddYesNo('3', "Six", 60, 5, 68, 5, 5, 3, v[2], "");
  form_.AddYesNo('4', "Ten", 2, 6, 10, 6, 5, 3, v[3], "");
  struct Case {
    std::uint16_t start;
    std::uint8_t scan;
    int times;
    std::uint16_t current;
  } cases[] = {
      {2, kScanRight, 1, 3}, {2, kScanRight, 2, 3}, {3, kScanLeft, 1, 2},  // nearest on the row
      {3, kScanLeft, 3, 1},  {1, kScanDown, 4, 4},  {4, kScanUp, 1, 3},   {1, kScanUp, 1, 1},
  };
  for (const Case& c : cases) {
    form_.Current = c.start;
    for (int i = 0; i < c.times; ++i) Key(c.scan);
    Keys("!");
    form_.Execute();
    EXPECT_EQ(form_.Current, c.current) << int{c.start} << " " << int{c.scan};
  }
  EXPECT_FALSE(form_.EndedAtTop);

  form_.StopAtTop = form_.StopAtBottom = true;
  form_.Current = 4;
  Key(kScanDown);
  EXPECT_EQ(form_.Execute(), kScanDown);
  EXPECT_TRUE(form_.EndedAtBottom);
  form_.Current = 1;
  Key(kScanUp);
  EXPECT_EQ(form_.Execute(), kScanUp);
  EXPECT_TRUE(form_.EndedAtTop);
  EXPECT_FALSE(form_.EndedAtBottom);  // cleared when Execute starts
  form_.ExitScanCodes = ShortString::Of(static_cast<char>(kScanF10));
  Key(kScanF10);
  EXPECT_EQ(form_.Execute(), kScanF10);
  EXPECT_TRUE(form_.EndedByScanCode);
}

TEST_F(MenuFormTest, LabelsAndHelpLine) {
  bool v = false;
  form_.AddYesNo('M', "Name", 3, 2, 10, 2, 2, 3, v, "|14Help one");
  form_.AddYesNo('Q', "Quit", 3, 3, 10, 3, 4, 3, v, "Two");
  Keys("!");
  form_.Execute();
  // The hot letter lies beyond the caption's width and is written all the same.
  EXPECT_EQ(Cells(3, 2, 3), "Nam");
  EXPECT_EQ(AttrAt(5, 2), 0x7F);
  EXPECT_EQ(Cells(5, 25, 8), "Help one");
  EXPECT_EQ(AttrAt(5, 25), 14);
}

TEST_F(MenuFormTest, LimitsKeepEveryAccessInsideTheItems) {
  bool flags[51] = {};
  for (int i = 0; i < 51; ++i) form_.AddYesNo('X', "Item", 1, 1, 10, 1, 4, 3, flags[i], "");
  EXPECT_EQ(form_.Count, 50);

  form_.Current = 99;  // beyond the items: taken as the last one
  Keys("\r!");
  form_.Execute();
  EXPECT_EQ(form_.Current, 50);
  EXPECT_TRUE(flags[49]);
  EXPECT_FALSE(flags[50]);

  TMenuForm empty;
  empty.ExitKeys = "!";
  Keys("\ra");
  Key(kScanUp);
  Keys("!");
  EXPECT_EQ(empty.Execute(), '!');
}

}  // namespace
}  // namespace corvix
