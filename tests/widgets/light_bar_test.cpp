// Light-bar list: navigation, rows and marks, the more indicator, the position
// bar, type-ahead search, extended mode, sorting and lists that hold no item
// for the index a key or callback would use.
#include "widgets/light_bar.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

using testkit::ScreenTest;

// Items 5, 12 and 20 contain "gen" in different cases; no other item has a G.
ShortString ItemText(int i) {
  if (i == 5) return "General chat";
  if (i == 12) return "Regional GENEALOGY";
  if (i == 20) return "HydroGen";
  return "Base " + std::to_string(100 + i);
}

class LightBarTest : public ScreenTest {
 protected:
  // The list sits at column 4, row 4, 30 columns wide, 17 rows high (rows 4-20).
  void Fill(int count) {
    for (int i = 0; i < count; ++i) bar.Add(ItemText(i));
  }
  std::int32_t Run(std::int32_t start = 0, std::uint8_t height = 17) {
    return bar.Run(4, 4, 30, height, start);
  }
  std::string Row(std::uint8_t y) { return RowText(y).substr(3, 30); }
  static std::string Padded(const ShortString& s) { return PadTo(s.Str(), 30); }
  static std::string PadTo(std::string s, std::size_t n) { return s.append(n - s.size(), ' '); }

  TBar bar;
};

TEST_F(LightBarTest, NavigationKeysMoveCursorAndTop) {
  struct Case {
    const char* name;
    std::int32_t start;
    std::vector<std::uint8_t> scans;
    std::int32_t top, cursor;
  };
  const std::uint8_t D = kScanDown, U = kScanUp, PD = kScanPgDn, PU = kScanPgUp;
  for (const Case& k : {Case{"page down", 0, {PD}, 17, 17}, Case{"page down twice", 0, {PD, PD}, 13, 29},
                        Case{"end", 0, {kScanEnd}, 13, 29}, Case{"end, home", 0, {kScanEnd, kScanHome}, 0, 0},
                        Case{"down past the last row", 0, std::vector<std::uint8_t>(17, D), 1, 17},
                        Case{"up at the top", 0, {U}, 0, 0}, Case{"up scrolls", 1, {U, U}, 0, 0},
                        Case{"page up short of the top", 20, {PU}, 0, 0},
                        Case{"page up by a page", 0, {PD, D, D, D, PU}, 0, 3},
                        Case{"down at the last item", 29, {D}, 13, 29},
                        Case{"start within the last page", 20, {}, 13, 20},
                        Case{"start beyond the end", 30, {}, 0, 0}, Case{"negative start", -3, {}, 0, 0}}) {
    SCOPED_TRACE(k.name);
    bar.Clear();
    Fill(30);
    for (std::uint8_t scan : k.scans) Key(scan);
    Keys("\r");
    EXPECT_EQ(Run(k.start), barEnter);
    EXPECT_EQ(bar.Top, k.top);
    EXPECT_EQ(bar.Cursor, k.cursor);
  }
}

TEST_F(LightBarTest, PageDownShowsTheLastItemsAndBlankRows) {
  Fill(30);
  Key(kScanPgDn);
  Keys("\r");
  Run();
  for (int r = 0; r < 13; ++r) EXPECT_EQ(Row(4 + r), Padded(ItemText(17 + r))) << r;
  for (int r = 13; r < 17; ++r) EXPECT_EQ(Row(4 + r), std::string(30, ' ')) << r;
  EXPECT_EQ(AttrAt(4, 4), 0x70);   // the light bar on item 17: |23|00
  EXPECT_EQ(AttrAt(33, 5), 0x07);  // a plain row: |07|16
}

TEST_F(LightBarTest, MarksColourTheirRowsAndCallbacksGetKeyCodes) {
  Fill(3);
  std::vector<int> keys;
  bar.OnKey = [&](std::uint8_t key, std::int32_t index) {
    keys.push_back(key);
    if (key == kKeyTab) bar.Items[index].Marked = !bar.Items[index].Marked;
  };
  Keys("\t");
  Key(kScanDown);
  Keys("\r");
  Run();
  EXPECT_EQ(keys, (std::vector<int>{kKeyTab, kScanDown, kKeyEnter}));
  EXPECT_EQ(AttrAt(4, 4), 0x0E);  // marked, plain: |16|14
  bar.OnKey = nullptr;
  Keys("\r");
  Run();
  EXPECT_EQ(AttrAt(4, 4), 0x1E);  // marked, highlighted: |17|14
}

TEST_F(LightBarTest, MoreIndicatorShowsWhatIsHidden) {
  struct Case {
    const char* name;
    std::int32_t count, start;
    std::vector<std::uint8_t> scans;
    std::string shown;  // cells 37-43 of row 22
  };
  const std::string up = "\xF4", down = "\xF5";
  for (const Case& k : {Case{"at the top", 30, 0, {}, " " + down + " more"},
                        Case{"after end", 30, 0, {kScanEnd}, up + "  more"},
                        Case{"top 1", 30, 1, {}, up + down + " more"},
                        Case{"scrolled back to the top", 30, 1, {kScanUp}, " " + down + " more"},
                        Case{"nothing hidden: never drawn", 5, 0, {kScanEnd}, std::string(7, ' ')}}) {
    SCOPED_TRACE(k.name);
    WriteXY(37, 22, 7, "       ");
    bar.Clear();
    Fill(k.count);
    bar.ShowMore = true;
    bar.MoreX = 37;
    bar.MoreY = 22;
    for (std::uint8_t scan : k.scans) Key(scan);
    Keys("\r");
    Run(k.start);
    EXPECT_EQ(RowText(22).substr(36, 7), k.shown);
    if (k.count == 30) {
      EXPECT_EQ(AttrAt(39, 22), 0x08);  // |08|16
    }
  }
}

TEST_F(LightBarTest, PositionBarThumbFollowsTheCursor) {
  Fill(30);
  bar.ScrollBar = true;
  // The bar is drawn before each key is read; the key callback sees it.
  std::string column, attrs;
  bar.OnKey = [&](std::uint8_t, std::int32_t) {
    for (std::uint8_t y = 4; y <= 20; ++y) {
      column += CharAt(33, y);
      attrs += static_cast<char>('0' + AttrAt(33, y) / 8);  // 1 for 8, 2 for 15
    }
  };
  for (auto [start, thumbRow] : {std::pair{0, 0}, {29, 16}, {10, 17 * 10 / 30}}) {
    column.clear();
    attrs.clear();
    Keys("\r");
    Run(start);
    std::string expected(17, '\xB0'), expectedAttrs(17, '1');
    expected[thumbRow] = '\xB2';
    expectedAttrs[thumbRow] = '0' + 15 / 8;
    EXPECT_EQ(column, expected) << start;
    EXPECT_EQ(attrs, expectedAttrs) << start;
  }
}

TEST_F(LightBarTest, SearchMovesFoundItemToTheFirstRowWithoutWrapping) {
  Fill(30);
  bar.SearchX = 12;
  bar.SearchY = 21;
  // Each run starts on the item the last one ended on.
  struct Step {
    std::string keys;
    std::int32_t cursor, top;
    const char* shown;
  };
  for (const Step& s : {Step{"gEn", 5, 5, "GEN"}, Step{"\x01", 12, 12, "GEN"}, Step{"\x01", 20, 20, "GEN"},
                        Step{"\x01", 20, 13, "GEN"},  // nothing after item 20: no wrap
                        Step{"\x08", 5, 5, "GE "}, Step{"\x19", 5, 5, "   "}, Step{"\x08", 5, 5, " "}}) {
    SCOPED_TRACE(s.keys);
    Keys(s.keys + "\r");
    Run(bar.Cursor);
    EXPECT_EQ(bar.Cursor, s.cursor);
    EXPECT_EQ(bar.Top, s.top);
    EXPECT_EQ(RowText(21).substr(11, 3), PadTo(s.shown, 3));
  }
  EXPECT_EQ(bar.SearchText, ShortString(""));
  // Item 20 found: rows 4-13 hold items 20-29 and the rows below stay blank.
  Keys("hyd\r");
  Run();
  EXPECT_EQ(Row(13), Padded(ItemText(29)));
  EXPECT_EQ(Row(14), std::string(30, ' '));
}

TEST_F(LightBarTest, ExtendedModeEndsOnOperatorKeysAndDoesNotSearch) {
  Fill(30);
  bar.ExtKeys = true;
  std::string seen;
  bar.OnKey = [&](std::uint8_t key, std::int32_t) { seen += static_cast<char>(key); };
  for (auto [key, result] : {std::pair{'+', barPlus}, {'-', barMinus}, {'*', barStar},
                             {'/', barSlash}, {'\x08', barBackspace}}) {
    Keys(std::string("gen") + key);
    EXPECT_EQ(Run(), result) << key;
  }
  EXPECT_EQ(bar.SearchText, ShortString(""));
  EXPECT_EQ(bar.Cursor, 0);
  seen.clear();
  Key(kScanPgUp);
  Key(kScanPgDn);
  Key(kScanRight);
  EXPECT_EQ(Run(), barRight);
  EXPECT_EQ(seen, "[I]QM");
}

TEST_F(LightBarTest, EmptyAndClearedListsNeverIndexAnItem) {
  std::vector<std::int32_t> moved, entered, keyed;
  bar.OnMove = [&](std::int32_t i) { moved.push_back(i); };
  bar.OnEnter = [&](std::int32_t i) { entered.push_back(i); };
  bar.OnKey = [&](std::uint8_t, std::int32_t i) {
    keyed.push_back(i);
    if (i >= 0 && i < static_cast<std::int32_t>(bar.Items.size())) bar.Items[i].Marked = true;
  };
  WriteXY(4, 3, 7, "above");
  bar.ScrollBar = true;
  Keys("\r");
  EXPECT_EQ(Run(), barEnter);
  EXPECT_EQ(entered, std::vector<std::int32_t>{0});
  for (std::uint8_t scan : {kScanEnd, kScanDown, kScanUp, kScanPgDn, kScanPgUp, kScanEnd}) Key(scan);
  Keys("a\x01\x08\r");
  EXPECT_EQ(Run(), barEnter);
  EXPECT_EQ(bar.Cursor, -1);  // End on an empty list
  EXPECT_EQ(entered.back(), -1);
  EXPECT_TRUE(moved.empty());
  for (std::uint8_t y = 4; y <= 20; ++y) EXPECT_EQ(Row(y), std::string(30, ' '));
  EXPECT_EQ(RowText(3).substr(3, 5), "above");

  // After Clear, Count is -1 and Enter does nothing; Left still ends the run.
  Fill(2);
  bar.Clear();
  EXPECT_EQ(bar.Count, -1);
  Keys("\r");
  Key(kScanEnd);
  Key(kScanLeft);
  EXPECT_EQ(Run(), barLeft);
  EXPECT_EQ(bar.Cursor, -2);
  EXPECT_TRUE(moved.empty());
}

TEST_F(LightBarTest, RowsStayInsideTheirRectangle) {
  // Pipe codes after the cut must not pull more text into the row, and a
  // plain "|" takes a column; a colour code inside the text acts.
  bar.Add(ShortString(std::string(40, 'x')) + "|14|15|07");
  bar.Add("a|Usb" + std::string(40, 'y'));
  bar.Add("|14Hi");
  Key(kScanDown);
  Keys("\r");
  Run();
  EXPECT_EQ(RowText(4).substr(3, 31), std::string(30, 'x') + " ");
  EXPECT_EQ(RowText(5).substr(3, 31), "a|Usb" + std::string(25, 'y') + " ");
  EXPECT_EQ(Row(6), Padded("Hi"));
  EXPECT_EQ(AttrAt(4, 6), 0x0E);
  // With no rows, nothing is drawn above the list, not even the position bar.
  bar.ScrollBar = true;
  WriteXY(33, 3, 7, "-");
  Key(kScanEnd);
  Keys("\r");
  Run(0, 0);
  EXPECT_EQ(CharAt(33, 3), '-');
}

TEST(LightBarSort, OrdersByByteValueAndKeepsEqualTextsInOrder) {
  TBar bar;
  for (const char* t : {"b", "a", "\x82", "B", "a"}) {
    bar.Add(t);
    bar.Items.back().Data = std::to_string(bar.Count);
  }
  bar.Sort();
  std::string order;
  for (const TBItem& item : bar.Items) order += item.Text.Str() + item.Data.Str() + " ";
  EXPECT_EQ(order, "B4 a2 a5 b1 \x82" "3 ");
}

}  // namespace
}  // namespace corvix
