// Pick list: navigation, incremental search and its display, exit keys,
// marking, the position mark and entries beyond the design capacity.
#include "widgets/menu_list.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

using testkit::ScreenTest;

class MenuListTest : public ScreenTest {
 protected:
  // Box (10, 5)-(40, 12): rows 6..11 (six visible), row width 29, the
  // position bar in column 40, the search display at (12, 12).
  void Run() { list.Open(10, 5, 40, 12); }
  void AddNumbered(int count) {
    for (int i = 1; i <= count; ++i) list.Add("entry " + std::to_string(i), 0);
  }
  // Records the current entry before every key is read.
  void TraceCurrent() {
    list.OnStatus = [this](std::uint16_t current, const ShortString&) { seen.push_back(current); };
  }

  TMenuList list;
  std::vector<int> seen;
};

TEST_F(MenuListTest, NavigationKeysMoveHighlightAndScroll) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> scans;
    std::int32_t current, first;
  };
  const std::uint8_t D = kScanDown, U = kScanUp, PD = kScanPgDn, PU = kScanPgUp;
  for (const Case& k : {Case{"down past the last row", {D, D, D, D, D, D}, 7, 2},
                        Case{"up back to the top", {D, D, D, D, D, D, U, U, U, U, U, U}, 1, 1},
                        Case{"up at the top", {U}, 1, 1},
                        Case{"page down", {PD}, 7, 7},
                        Case{"page down stops at a full last page", {PD, PD, PD}, 19, 15},
                        Case{"page down to the end", {PD, PD, PD, PD, PD}, 20, 15},
                        Case{"right pages too", {kScanRight, kScanRight}, 13, 13},
                        Case{"end", {kScanEnd}, 20, 15},
                        Case{"end then page up", {kScanEnd, PU}, 14, 9},
                        Case{"left pages up too", {kScanEnd, kScanLeft, kScanLeft, kScanLeft}, 2, 1},
                        Case{"end then home", {kScanEnd, kScanHome}, 1, 1}}) {
    SCOPED_TRACE(k.name);
    list.Clear();
    list.Current = list.FirstVisible = 1;
    AddNumbered(20);
    for (std::uint8_t scan : k.scans) Key(scan);
    Keys("\r");
    Run();
    EXPECT_EQ(list.LastKey, kKeyEnter);
    EXPECT_EQ(list.Current, k.current);
    EXPECT_EQ(list.FirstVisible, k.first);
  }
}

TEST_F(MenuListTest, RowsAndPositionMarkFollowTheHighlight) {
  AddNumbered(20);
  Key(kScanEnd);
  Keys("\r");
  Run();
  EXPECT_EQ(RowText(11).substr(10, 29), " entry 20" + std::string(20, ' '));
  EXPECT_EQ(AttrAt(11, 11), 0x1F);  // the bar
  EXPECT_EQ(RowText(6).substr(10, 9), " entry 15");
  EXPECT_EQ(AttrAt(11, 6), 0x71);
  for (std::uint8_t y = 6; y <= 10; ++y) EXPECT_EQ(CharAt(40, y), '\xB0') << int(y);
  EXPECT_EQ(CharAt(40, 11), '\xB2');

  // The mark is drawn again by the next run even though nothing moved.
  Keys("\r");
  Run();
  EXPECT_EQ(CharAt(40, 11), '\xB2');
}

TEST_F(MenuListTest, PageDownOnAShortListJumpsToTheLastEntry) {
  AddNumbered(3);
  Key(kScanPgDn);
  Keys("\r");
  Run();
  EXPECT_EQ(list.Current, 3);
  EXPECT_EQ(list.FirstVisible, 1);
  EXPECT_EQ(RowText(9).substr(10, 29), std::string(29, ' '));  // rows past the end are blank
}

TEST_F(MenuListTest, EachSearchKeyStartsAfterTheCurrentEntry) {
  for (const char* text : {"one", "cab", "tree", "four", "slab", "six"}) list.Add(text, 0);
  TraceCurrent();
  Keys("ab\r");
  Run();
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 5}));
  EXPECT_EQ(list.Current, 5);
}

TEST_F(MenuListTest, SearchWrapsOnceRepeatsAndShrinks) {
  for (const char* text : {"k1", "x", "k3", "x", "x", "k6"}) list.Add(text, 0);
  list.Current = 6;
  TraceCurrent();
  // 'k' wraps to 1, Ctrl-A moves on to 3, Backspace empties the text and
  // finds nothing, a second Backspace on the empty text does nothing.
  Keys("k\x01\x08\x08q\r");
  Run();
  EXPECT_EQ(seen, (std::vector<int>{6, 1, 3, 3, 3, 3}));
}

TEST_F(MenuListTest, SearchDisplayShowsTheLast15InLowerCaseAndIsErased) {
  AddNumbered(3);
  std::vector<std::string> shown;
  list.OnStatus = [&](std::uint16_t, const ShortString&) { shown.push_back(RowText(12).substr(11, 17)); };
  Keys("ABCDEFGHIJklmnopqrst");
  Key(kScanDown);  // not a search key: the text is erased before the next key
  Keys("\r");
  Run();
  ASSERT_EQ(shown.size(), 22u);
  const std::string edge(17, '\xDC');  // bottom edge of the default frame style
  EXPECT_EQ(shown[0], edge);
  EXPECT_EQ(shown[1], "[a]" + std::string(14, '\xDC'));
  EXPECT_EQ(shown[20], "[fghijklmnopqrst]");
  EXPECT_EQ(shown[21], edge);
  EXPECT_EQ(list.Current, 2);
}

TEST_F(MenuListTest, ExitKeysEndTheRunAndAreNeverSearchText) {
  for (const char* text : {"alpha", "x-ray", "xylophone"}) list.Add(text, 0);
  list.ExitKeys = "x\r";
  list.ExitScanCodes = ShortString::Of(static_cast<char>(kScanRight));
  Keys("\x02x");  // a control key that is no exit key is ignored
  Run();
  EXPECT_EQ(list.LastKey, 'x');
  EXPECT_EQ(list.Current, 1);

  Key(kScanDown);
  Key(kScanRight);
  Run();
  EXPECT_EQ(list.LastKey, kScanRight);
  EXPECT_EQ(list.Current, 2);
}

TEST_F(MenuListTest, EmptyListRunsUntilAnExitKey) {
  std::vector<std::string> texts;
  list.OnStatus = [&](std::uint16_t current, const ShortString& text) {
    seen.push_back(current);
    texts.push_back(text.Str());
  };
  Key(kScanDown);
  Key(kScanEnd);
  Keys("a\x01\t");
  LoneEscape();
  Run();
  EXPECT_EQ(list.LastKey, kKeyEscape);
  EXPECT_EQ(list.Current, 1);
  EXPECT_EQ(seen, std::vector<int>(6, 1));
  EXPECT_EQ(texts, std::vector<std::string>(6, ""));
  EXPECT_EQ(AttrAt(11, 6), 0x1F);  // one blank highlighted row
  EXPECT_EQ(CharAt(40, 6), '\xB0');  // and no position mark
}

TEST_F(MenuListTest, MarkKeyTogglesAndSkipsUnmarkableEntries) {
  list.Add("a", 0);
  list.Add("b", 0);
  list.Add("never", 2);
  list.Add("d", 1);
  list.Marking = true;
  list.ExitKeys = "\r\t";
  // Tab marks 1 and moves to 2; Up, Tab twice marks 1 off and 2 on; the
  // third Tab lands on the never-markable entry and ends the run.
  Keys("\t");
  Key(kScanUp);
  Keys("\t\t\t");
  Run();
  EXPECT_EQ(list.LastKey, kKeyTab);
  EXPECT_EQ(list.Current, 3);
  EXPECT_EQ(list.MarkedCount, 2);
  EXPECT_EQ(CharAt(11, 6), ' ');
  EXPECT_EQ(CharAt(11, 7), '*');
  EXPECT_EQ(AttrAt(11, 7), 0x7F);
  EXPECT_EQ(CharAt(11, 9), '*');
}

TEST_F(MenuListTest, DrawOnlyLaysOutWithoutReadingKeys) {
  AddNumbered(10);
  list.Current = 9;
  list.DrawOnly = true;
  list.LastKey = 42;
  Run();
  list.Redraw();
  EXPECT_EQ(list.FirstVisible, 4);
  EXPECT_EQ(list.LastKey, 42);
  EXPECT_EQ(RowText(11).substr(10, 9), " entry 9 ");
}

TEST_F(MenuListTest, EntryOperationsStayInsideTheList) {
  // Past the design's 10000 entries the list grows.
  AddNumbered(10003);
  Key(kScanEnd);
  Keys("\r");
  Run();
  EXPECT_EQ(list.Current, 10003);
  ShortString text;
  bool marked = true;
  list.GetEntry(10003, text, marked);
  EXPECT_EQ(text, ShortString("entry 10003"));
  for (std::int32_t bad : {0, -1, 10004}) {
    list.GetEntry(bad, text, marked);
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(marked);
    list.Delete(bad);
  }
  EXPECT_EQ(list.Count, 10003);

  list.Clear();
  list.Add("a", 1);
  list.Add("b", 1);
  list.Delete(1);
  EXPECT_EQ(list.Count, 1);
  EXPECT_EQ(list.MarkedCount, 1);
  list.GetEntry(1, text, marked);
  EXPECT_EQ(text, ShortString("b"));
  EXPECT_TRUE(marked);

  // A first row set below 1 between runs draws blank rows instead of reading
  // before the first entry.
  list.FirstVisible = 0;
  list.Redraw();
  EXPECT_EQ(RowText(6).substr(10, 29), std::string(29, ' '));
}

}  // namespace
}  // namespace corvix
