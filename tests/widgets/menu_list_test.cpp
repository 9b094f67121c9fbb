// Pick list: navigation, incremental search and its display, exit keys,
// marking, the position mark and entries beyond the design capacity.
#include "widgets/menu_list.h"

#include <string>
#include <vector>

#include "testkit/screen_fixture.h"

namespace corvix {
namespace {

class MenuListTest : public testkit::ScreenTest {
 protected:
  // Box (10, 5)-(40, 12): six rows 6..11, row width 29, position bar in
  // column 40, search display from (12, 12).
  void Run() { list.Open(10, 5, 40, 12); }
  void AddNumbered(int count) {
    for (int i = 1; i <= count; ++i) list.Add("entry " + std::to_string(i), 0);
  }
  void TraceCurrent() {
    list.OnStatus = [this](std::uint16_t current, const ShortString&) { seen.push_back(current); };
  }
  TMenuList list;
  std::vector<int> seen;  // the current entry before each key
};

TEST_F(MenuListTest, NavigationKeysMoveHighlightAndScroll) {
  struct Case {
    int count;
    std::vector<std::uint8_t> scans;
    std::int32_t current, first;
  };
  const std::uint8_t D = kScanDown, U = kScanUp, PD = kScanPgDn, PU = kScanPgUp, E = kScanEnd;
  for (const Case& k :
       {Case{20, {D, D, D, D, D, D}, 7, 2}, Case{20, {D, D, D, D, D, D, U, U, U, U, U, U}, 1, 1},
        Case{20, {U}, 1, 1}, Case{20, {PD, PD, PD}, 19, 15}, Case{20, {PD, PD, PD, PD}, 20, 15},
        Case{20, {kScanRight, kScanRight}, 13, 13}, Case{20, {E, PU}, 14, 9},
        Case{20, {E, kScanLeft, kScanLeft, kScanLeft}, 2, 1}, Case{20, {E, kScanHome}, 1, 1},
        Case{3, {PD}, 3, 1},  // a short list jumps to its last entry
        Case{0, {D, E, PD}, 1, 1}}) {
    SCOPED_TRACE(testing::PrintToString(k.scans));
    list.Clear();
    list.Current = list.FirstVisible = 1;
    AddNumbered(k.count);
    for (std::uint8_t scan : k.scans) Key(scan);
    Keys("\r");
    Run();
    EXPECT_EQ(list.LastKey, kKeyEnter);
    EXPECT_EQ(list.Current, k.current);
    EXPECT_EQ(list.FirstVisible, k.first);
  }
}

TEST_F(MenuListTest, EachSearchStartsAfterTheCurrentEntryAndWrapsOnce) {
  for (const char* text : {"one", "cab", "tree", "four", "slab", "six"}) list.Add(text, 0);
  TraceCurrent();
  // 'a' finds 2, 'b' (text "AB") finds 5, Ctrl-A wraps to 2, Backspace
  // searches "A" after 2 and finds 5, Backspace twice more changes nothing.
  Keys("ab\x01\x08\x08\x08\r");
  Run();
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 5, 2, 5, 5, 5}));
}

TEST_F(MenuListTest, SearchDisplayShowsTheLast15InLowerCaseAndIsErased) {
  AddNumbered(3);
  std::vector<std::string> shown;
  list.OnStatus = [&](std::uint16_t, const ShortString&) {
    shown.push_back(RowText(12).substr(11, 17));
  };
  Keys("ABCDEFGHIJklmnopqrst");
  Key(kScanDown);  // not a search key: the display is erased after it
  Keys("\r");
  Run();
  ASSERT_EQ(shown.size(), 22u);
  const std::string edge(17, '\xDC');  // bottom edge of the default frame
  EXPECT_EQ(shown[0], edge);
  EXPECT_EQ(shown[1], "[a]" + std::string(14, '\xDC'));
  EXPECT_EQ(shown[20], "[fghijklmnopqrst]");
  EXPECT_EQ(shown[21], edge);
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

TEST_F(MenuListTest, MarkKeyTogglesAndSkipsUnmarkableEntries) {
  for (auto [text, mark] : {std::pair{"a", 0}, {"b", 0}, {"never", 2}, {"d", 1}})
    list.Add(text, mark);
  list.Marking = true;
  list.ExitKeys = "\r\t";
  // Tab marks 1 and moves to 2; Up; Tab unmarks 1, Tab marks 2; the last Tab
  // meets the never-markable entry and acts as the exit key it also is.
  Keys("\t");
  Key(kScanUp);
  Keys("\t\t\t");
  Run();
  EXPECT_EQ(list.LastKey, kKeyTab);
  EXPECT_EQ(list.Current, 3);
  EXPECT_EQ(list.MarkedCount, 2);
  EXPECT_EQ(std::string() + CharAt(11, 6) + CharAt(11, 7) + CharAt(11, 8) + CharAt(11, 9), " * *");
}

TEST_F(MenuListTest, EntriesBeyondTheCapacityAndBadNumbersStayInside) {
  AddNumbered(10003);
  list.Current = 9;
  list.DrawOnly = true;  // lays out and returns without reading keys
  Run();
  EXPECT_EQ(list.FirstVisible, 4);
  list.DrawOnly = false;
  Key(kScanEnd);
  Keys("\r");
  Run();
  EXPECT_EQ(list.Current, 10003);
  EXPECT_EQ(RowText(11).substr(10, 13), " entry 10003 ");
  EXPECT_EQ(AttrAt(11, 11), 0x1F);
  EXPECT_EQ(RowText(10).substr(39, 1) + RowText(11).substr(39, 1), "\xB0\xB2");  // position mark
  ShortString text;
  bool marked = true;
  list.GetEntry(10003, text, marked);
  EXPECT_EQ(text, ShortString("entry 10003"));
  for (std::int32_t bad : {0, -1, 10004}) {
    list.GetEntry(bad, text, marked);
    EXPECT_TRUE(text.empty() && !marked);
    list.Delete(bad);
  }
  EXPECT_EQ(list.Count, 10003);

  list.Clear();
  list.Add("b", 0);
  list.FirstVisible = 0;  // a first row below 1 draws blank, reading no entry 0
  list.Redraw();
  EXPECT_EQ(RowText(6).substr(10, 29), std::string(29, ' '));
  EXPECT_EQ(RowText(7).substr(10, 3), " b ");
}

}  // namespace
}  // namespace corvix
