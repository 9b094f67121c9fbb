// Light-bar list: navigation, rows and marks, the more indicator, the position
// bar, type-ahead search, extended mode, and lists that hold no item
// for the index a key or callback would use.
#include "widgets/light_bar.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

// Items 5, 12 and 20 contain "gen" in different cases; no other item has a G.
ShortString ItemText(int i) {
  if (i == 5) return "General chat";
  if (i == 12) return "Regional GENEALOGY";
  if (i == 20) return "hydrogen";
  return "Base " + std::to_string(100 + i);
}
std::string Padded(std::string s, std::size_t n = 30) { return s.append(n - s.size(), ' '); }
const std::string kBlankRow(30, ' ');
using Scans = std::vector<std::uint8_t>;

// The list sits at column 4, row 4, 30 columns wide, 17 rows high (rows 4-20).
class LightBarTest : public testkit::ScreenTest {
 protected:
  void Fill(int count) {
    for (int i = 0; i < count; ++i) bar.Add(ItemText(i));
  }
  std::int32_t Run(std::int32_t start = 0, std::uint8_t height = 17) {
    return bar.Run(4, 4, 30, height, start);
  }
  void Press(const Scans& scans, const std::string& keys = "\r") {
    for (std::uint8_t s : scans) Key(s);
    Keys(keys);
  }
  std::string Row(std::uint8_t y) { return RowText(y).substr(3, 30); }
  TBar bar;
};

TEST_F(LightBarTest, NavigationKeysMoveCursorAndTop) {
  struct Case {
    const char* name;
    std::int32_t start;
    Scans scans;
    std::int32_t top, cursor;
  };
  const std::uint8_t D = kScanDown, U = kScanUp, PD = kScanPgDn, PU = kScanPgUp, E = kScanEnd;
  for (const Case& k :
       {Case{"page down", 0, {PD}, 17, 17}, Case{"twice", 0, {PD, PD}, 13, 29},
        Case{"end", 0, {E}, 13, 29}, Case{"end, home", 0, {E, kScanHome}, 0, 0},
        Case{"down past the last row", 0, Scans(17, D), 1, 17}, Case{"up scrolls", 1, {U, U}, 0, 0},
        Case{"page up to the top", 20, {PU}, 0, 0},
        Case{"page up by a page", 0, {PD, D, D, D, PU}, 0, 3},
        Case{"down at the last item", 29, {D}, 13, 29},
        Case{"start within the last page", 20, {}, 13, 20},
        Case{"start beyond the end", 30, {}, 0, 0}, Case{"negative start", -3, {}, 0, 0}}) {
    SCOPED_TRACE(k.name);
    bar.Clear();
    Fill(30);
    Press(k.scans);
    EXPECT_EQ(Run(k.start), barEnter);
    EXPECT_EQ(bar.Top, k.top);
    EXPECT_EQ(bar.Cursor, k.cursor);
  }
}

TEST_F(LightBarTest, PageDownShowsLastItemsMarksAndThePositionBar) {
  Fill(30);
  bar.ScrollBar = true;
  std::string column;  // the last column as the key callback sees it, before Enter
  bar.OnKey = [&](std::uint8_t key, std::int32_t index) {
    if (key == kKeyTab) bar.SetMarked(index, !bar.Marked(index));
    for (std::uint8_t y = 4; key == kKeyEnter && y <= 20; ++y) column += CharAt(33, y);
  };
  Press({kScanPgDn}, "\t");  // TAB on item 17, then on item 18, back up to 17
  Press({kScanDown}, "\t");
  Press({kScanUp});
  Run();
  for (int r = 0; r < 17; ++r)
    EXPECT_EQ(Row(4 + r), r < 13 ? Padded(ItemText(17 + r).Str()) : kBlankRow);
  EXPECT_EQ(AttrAt(4, 4), 0x1E);   // marked under the bar: |17|14
  EXPECT_EQ(AttrAt(4, 5), 0x0E);   // marked: |16|14
  EXPECT_EQ(AttrAt(33, 6), 0x07);  // plain: |07|16
  std::string expected(17, '\xB0');
  expected[17 * 17 / 30] = '\xB2';  // cursor 17 of 30
  EXPECT_EQ(column, expected);
}

TEST_F(LightBarTest, MoreIndicatorShowsWhatIsHidden) {
  const std::string up = "\xF4", down = "\xF5";
  for (auto [count, start, scans, shown] :
       {std::tuple{30, 0, Scans{}, " " + down + " more"},
        {30, 0, Scans{kScanEnd}, up + "  more"},
        {30, 1, Scans{}, up + down + " more"},
        {30, 1, Scans{kScanUp}, " " + down + " more"},
        {5, 0, Scans{kScanEnd}, std::string(7, ' ')}}) {  // nothing hidden: never drawn
    SCOPED_TRACE(shown);
    WriteXY(37, 22, 7, "       ");
    bar.Clear();
    Fill(count);
    bar.ShowMore = true;
    bar.MoreX = 37;
    bar.MoreY = 22;
    Press(scans);
    Run(start);
    EXPECT_EQ(RowText(22).substr(36, 7), shown);
    EXPECT_EQ(AttrAt(39, 22), count == 30 ? 0x08 : 7);  // |08|16
  }
}

TEST_F(LightBarTest, SearchMovesFoundItemToTheFirstRowWithoutWrapping) {
  Fill(30);
  bar.SearchX = 12;
  bar.SearchY = 21;
  struct Step {  // each run starts on the item the last one ended on
    std::string keys;
    std::int32_t cursor, top;
    const char* shown;
  };
  for (const Step& s :
       {Step{"gEn", 5, 5, "GEN"}, Step{"\x01", 12, 12, "GEN"}, Step{"\x01", 20, 20, "GEN"},
        Step{"\x01", 20, 13, "GEN"},  // nothing after item 20: no wrap
        Step{"\x08", 5, 5, "GE "}, Step{"\x19", 5, 5, "   "}, Step{"\x08", 5, 5, " "},
        Step{"9", 9, 9, "9"}, Step{"\x01", 19, 19, "9"}, Step{"\x01", 29, 29, "9"},
        Step{"\x01", 9, 9, "9"}}) {  // after the last item: from the first
    SCOPED_TRACE(s.keys);
    Press({}, s.keys + "\r");
    Run(bar.Cursor);
    EXPECT_EQ(bar.Cursor, s.cursor);
    EXPECT_EQ(bar.Top, s.top);
    EXPECT_EQ(RowText(21).substr(11, 3), Padded(s.shown, 3));
  }
  Press({}, "\x19hyd\r");  // item 20 on the first row, blank rows below the last item
  Run();
  EXPECT_EQ(AttrAt(4, 4), 0x70);  // the bar on an unmarked item: |23|00
  EXPECT_EQ(Row(13), Padded(ItemText(29).Str()));
  EXPECT_EQ(Row(14), kBlankRow);
}

TEST_F(LightBarTest, ExtendedModeEndsOnOperatorKeysAndDoesNotSearch) {
  Fill(30);
  bar.ExtKeys = true;
  std::string seen;
  bar.OnKey = [&](std::uint8_t key, std::int32_t) { seen += static_cast<char>(key); };
  for (auto [keys, result] : {std::pair{"g+", barPlus},
                              {"-", barMinus},
                              {"*", barStar},
                              {"/", barSlash},
                              {"\x08", barBackspace}}) {
    Press({}, keys);
    EXPECT_EQ(Run(), result) << keys;
  }
  EXPECT_EQ(bar.SearchText, ShortString(""));
  Press({kScanPgUp, kScanPgDn, kScanRight}, "");
  EXPECT_EQ(Run(), barRight);
  EXPECT_EQ(seen, "g+-*/\x08[I]QM");  // extended codes themselves, never 0
}

TEST_F(LightBarTest, EmptyAndClearedListsNeverIndexAnItem) {
  std::vector<std::int32_t> moved, entered;
  bar.OnMove = [&](std::int32_t i) { moved.push_back(i); };
  bar.OnEnter = [&](std::int32_t i) { entered.push_back(i); };
  WriteXY(1, 1, 7, "above");
  bar.ScrollBar = true;
  Press({kScanEnd, kScanDown, kScanUp, kScanPgDn, kScanPgUp, kScanEnd}, "a\x01\x08\r");
  EXPECT_EQ(Run(), barEnter);
  EXPECT_EQ(bar.Cursor, -1);  // End on an empty list
  EXPECT_EQ(entered, std::vector<std::int32_t>{-1});
  EXPECT_EQ(RowText(1).substr(0, 5), "above");  // no search line: SearchX is 0

  Fill(2);  // after Clear, Count is -1 and Enter does nothing; Left still ends the run
  bar.Clear();
  Keys("\r");
  Press({kScanEnd, kScanLeft}, "");
  EXPECT_EQ(Run(), barLeft);
  EXPECT_EQ(bar.Cursor, -2);
  EXPECT_TRUE(moved.empty());
}

// The packed item store: each item's text, value and mark stay together
// through Sort and SetData, texts and values are cut at 255, and an index
// that names no item reads as an empty, unmarked one.
TEST(LightBarItems, TextValueAndMarkStayTogether) {
  TBar bar;
  bar.Add("pear", "1");
  bar.Add(std::string(300, 'z'), std::string(300, '9'));
  bar.Add("Apple");
  bar.Add("pear", "2");
  bar.Add(
      "\xE9"
      "clair",
      "3");  // bytes above 127 sort after every letter
  bar.SetMarked(3, true);
  bar.SetData(2, "longer than before");  // moves the item's bytes
  bar.SetData(0, "");                    // fits where the old value was
  EXPECT_EQ(bar.Count, 5);
  EXPECT_EQ(bar.Text(1), ShortString(std::string(255, 'z')));
  EXPECT_EQ(bar.Data(1), ShortString(std::string(255, '9')));

  bar.Sort();
  struct Item {
    std::string text, data;
    bool marked;
  };
  const Item sorted[] = {{"Apple", "longer than before", false},
                         {"pear", "", false},
                         {"pear", "2", true},
                         {std::string(255, 'z'), std::string(255, '9'), false},
                         {"\xE9"
                          "clair",
                          "3", false}};
  for (std::int32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(bar.Text(i), ShortString(sorted[i].text));
    EXPECT_EQ(bar.Data(i), ShortString(sorted[i].data));
    EXPECT_EQ(bar.Marked(i), sorted[i].marked);
  }

  for (std::int32_t bad : {-1, 5, -2}) {
    bar.SetMarked(bad, true);
    bar.SetData(bad, "x");
    EXPECT_TRUE(bar.Text(bad).empty() && bar.Data(bad).empty() && !bar.Marked(bad));
  }
  EXPECT_EQ(bar.ItemCount(), 5);
  bar.Clear();
  EXPECT_EQ(bar.ItemCount(), 0);
  EXPECT_EQ(bar.Count, -1);
  EXPECT_TRUE(bar.Text(0).empty());
}

// A hidden text is found by the search but never shown, and stays with its
// item when the value moves or a column is widened.
TEST(LightBarItems, HiddenTextIsSearchedAndWidenedTextsKeepTheirParts) {
  TBar bar;
  bar.Add("1   LOCAL.GENER> News", "1", "LOCAL.GENERAL.NEWS");
  bar.Add("2   OTHER        Chat", "2");
  bar.Add(std::string(255, 'w'), "3");
  bar.SetData(0, "12345");  // longer: the item's bytes move
  bar.SearchText = "GENERAL.NEWS";
  bar.WidenTexts(4, ' ');
  EXPECT_EQ(bar.Text(0), ShortString("1    LOCAL.GENER> News"));
  EXPECT_EQ(bar.Data(0), ShortString("12345"));
  EXPECT_EQ(bar.Data(1), ShortString("2"));
  EXPECT_EQ(bar.Text(2), ShortString("wwww " + std::string(250, 'w')));  // still 255
  bar.MarkMatching();
  EXPECT_EQ(bar.MarkedCount(), 1);
  EXPECT_TRUE(bar.Marked(0));
}

TEST_F(LightBarTest, RowsStayInsideTheirRectangle) {
  // Pipe codes after the cut must not pull more text into the row, and a
  // plain "|" takes a column; a colour code inside the text acts.
  bar.Add(ShortString(std::string(40, 'x')) + "|14|15|07");
  bar.Add("a|Usb" + std::string(40, 'y'));
  bar.Add("|14Hi");
  bar.Add("|-1ab");  // the writer takes "-1" as colour 255: no room
  bar.Add(ShortString(std::string(25, 'x')) + "|TD");  // the date needs 10 of the 5 left
  for (std::uint8_t y = 7; y <= 8; ++y) WriteXY(4, y, 7, std::string(31, '#'));
  Press({kScanDown});
  Run();
  EXPECT_EQ(RowText(4).substr(3, 31), std::string(30, 'x') + " ");
  EXPECT_EQ(RowText(5).substr(3, 31), "a|Usb" + std::string(25, 'y') + " ");
  EXPECT_EQ(Row(6), Padded("Hi"));
  EXPECT_EQ(RowText(7).substr(3, 31), Padded("ab") + "#");
  EXPECT_EQ(RowText(8).substr(3, 31), Padded(std::string(25, 'x')) + "#");
  EXPECT_EQ(AttrAt(4, 6), 0x0E);
  Press({kScanDown, kScanDown});  // under the bar the colour codes give way to it
  Run();
  EXPECT_EQ(AttrAt(4, 6), 0x70);
  bar.ScrollBar = true;  // with no rows there is no place for the position bar either
  WriteXY(33, 3, 7, "-");
  Press({kScanEnd});
  Run(0, 0);
  EXPECT_EQ(CharAt(33, 3), '-');
}

}  // namespace
}  // namespace corvix

namespace corvix {
namespace {

// The keys' effect on the rows of a filter view, without a screen: Cursor and
// Top count shown rows, the callbacks get item indices.
TEST(LightBarView, KeysMoveThroughTheShownRows) {
  TBar bar;
  for (int i = 0; i < 30; ++i) bar.Add(ItemText(i));
  bar.Layout(4, 4, 30, 2, 12);  // two rows; item 12 highlighted
  bar.SearchText = "GEN";
  bar.SetFilter(true);  // shows items 5, 12, 20; the highlight stays on 12
  EXPECT_EQ(bar.Shown(), 3);
  EXPECT_EQ(bar.Cursor, 1);
  EXPECT_EQ(bar.CurrentItem(), 12);
  struct Step {
    std::uint8_t code;
    TBarRedraw redraw;
    std::int32_t top, cursor, item;
  };
  for (const Step& s :
       {Step{kScanDown, TBarRedraw::kRows, 1, 2, 20}, Step{kScanDown, TBarRedraw::kNone, 1, 2, 20},
        Step{kScanHome, TBarRedraw::kAll, 0, 0, 5}, Step{kScanDown, TBarRedraw::kRows, 0, 1, 12},
        Step{kScanPgDn, TBarRedraw::kAll, 1, 2, 20}, Step{kScanPgUp, TBarRedraw::kAll, 0, 0, 5},
        Step{kScanEnd, TBarRedraw::kAll, 1, 2, 20}}) {
    SCOPED_TRACE(int{s.code});
    std::int32_t result = 0;
    EXPECT_EQ(bar.ApplyExtended(s.code, result), s.redraw);
    EXPECT_EQ(bar.Top, s.top);
    EXPECT_EQ(bar.Cursor, s.cursor);
    EXPECT_EQ(bar.CurrentItem(), s.item);
  }
  // An item that does not match takes the highlight to the next shown one;
  // off again, the highlight is back on the item itself.
  bar.SetFilter(false);
  EXPECT_EQ(bar.Cursor, 20);
  bar.Layout(4, 4, 30, 2, 13);
  bar.SetFilter(true);
  EXPECT_EQ(bar.CurrentItem(), 20);
  bar.SearchText = "NOTHING";
  bar.SetFilter(true);
  EXPECT_EQ(bar.Shown(), 0);
  EXPECT_EQ(bar.CurrentItem(), -1);
  bar.MarkMatching();  // no match: nothing marked
  EXPECT_EQ(bar.MarkedCount(), 0);
  bar.InvertMarks();
  EXPECT_EQ(bar.MarkedCount(), 30);
}

}  // namespace
}  // namespace corvix
