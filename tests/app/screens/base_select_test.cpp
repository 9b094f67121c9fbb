// The base list's screen: the marked count in the frame, the function keys
// for marking and the filter view, named selections and --select.
#include "app/screens/base_select.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/config/selections.h"
#include "app/config/session.h"
#include "app/screens/dialogs.h"
#include "testkit/screen_fixture.h"
#include "testkit/temp_dir.h"
#include "widgets/light_bar.h"

namespace corvix {
namespace {

// Items 5, 12 and 20 contain "gen" in some mix of case; base numbers are 100 + i.
std::string Name(int i) {
  if (i == 5) return "General chat";
  if (i == 12) return "Regional GENEALOGY";
  if (i == 20) return "hydrogen";
  return "Base " + std::to_string(i);
}

class BaseSelectTest : public testkit::ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ::setenv("XDG_STATE_HOME", state_.Path().c_str(), 1);
    DrawFrame(3, 2, 77, 22);
    for (int i = 0; i < 30; ++i)
      list.Add(std::to_string(100 + i) + " " + Name(i), std::to_string(100 + i));
    list.OnKey = [this](std::uint8_t key, std::int32_t index) { ToggleBaseMark(list, key, index); };
    list.SearchX = 12;
    list.SearchY = 21;
  }
  std::vector<int> Marked() const {
    std::vector<int> out;
    for (int i = 0; i < list.ItemCount(); ++i)
      if (list.Marked(i)) out.push_back(i);
    return out;
  }
  // The list's text column of screen row Y (rows 4-20).
  std::string Shown(std::uint8_t y) { return RowText(y).substr(3, 30); }
  std::string CountText() { return RowText(22).substr(4, 20); }

  testkit::TempDir state_;
  TBar list;
};

std::vector<int> All(int n) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(i);
  return v;
}

TEST_F(BaseSelectTest, FunctionKeysMarkInBulkAndKeepTheHighlight) {
  const std::string edge(4, '\xC4');  // the frame's bottom edge after the count
  struct Case {
    const char* name;
    std::vector<std::uint8_t> before;  // extended keys first
    std::string typed;                 // then these keys
    std::vector<std::uint8_t> after;   // then these
    std::vector<int> marked;
    std::int32_t cursor;
    std::string count;
  };
  const Case cases[] = {
      {"tab, down, tab", {}, "\t", {kScanDown}, {0}, 1, " 1 of 30 marked " + edge},
      {"F2 without search marks all",
       {kScanDown, kScanDown},
       "",
       {kScanF2},
       All(30),
       2,
       " 30 of 30 marked " + edge.substr(1)},
      {"F2 marks the matches", {}, "gen", {kScanF2}, {5, 12, 20}, 5, " 3 of 30 marked " + edge},
      {"F3 unmarks all, the edge comes back",
       {kScanF2},
       "",
       {kScanF3},
       {},
       0,
       " 0 of 30 marked " + edge},
      {"F4 inverts",
       {kScanDown},
       "\t",
       {kScanF4},
       [] {
         auto v = All(30);
         v.erase(v.begin() + 1);
         return v;
       }(),
       1,
       " 29 of 30 marked " + edge.substr(1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list.UnmarkAll();
    list.SearchText.clear();
    for (std::uint8_t k : c.before) Key(k);
    Keys(c.typed);
    for (std::uint8_t k : c.after) Key(k);
    Keys("\r");
    ASSERT_TRUE(SelectBases(list));
    EXPECT_EQ(Marked(), c.marked);
    EXPECT_EQ(list.Cursor, c.cursor);
    EXPECT_EQ(CountText(), c.count);
    EXPECT_EQ(AttrAt(6, 22), 11);
  }
}

TEST_F(BaseSelectTest, FilterShowsMatchesAndKeepsMarksAndHighlight) {
  // Filter on "gen": three rows; Down and TAB mark the second; End reaches the last.
  Keys("gen");
  Key(kScanF7);
  Key(kScanDown);
  Keys("\t");
  Key(kScanEnd);
  Keys("\r");
  ASSERT_TRUE(SelectBases(list));
  EXPECT_EQ(list.Cursor, 2);
  EXPECT_TRUE(list.Filter());
  EXPECT_EQ(Shown(4), "105 General chat              ");
  EXPECT_EQ(Shown(5), "112 Regional GENEALOGY        ");
  EXPECT_EQ(Shown(6), "120 hydrogen                  ");
  EXPECT_EQ(Shown(7), std::string(30, ' '));
  EXPECT_EQ(list.CurrentItem(), 20);
  EXPECT_EQ(Marked(), std::vector<int>{12});
  EXPECT_EQ(CountText().substr(0, 16), " 1 of 30 marked ");

  // Backspace widens the view as the text changes; F7 off shows every base
  // with the highlight on the same base.
  Keys("\x08\x08\x08");
  Keys("gen");
  Key(kScanDown);
  Key(kScanF7);
  Keys("\r");
  ASSERT_TRUE(SelectBases(list));
  EXPECT_FALSE(list.Filter());
  EXPECT_EQ(list.CurrentItem(), 12);
  EXPECT_EQ(list.Cursor, 12);
  EXPECT_EQ(Shown(static_cast<std::uint8_t>(4 + list.Cursor - list.Top)),
            "112 Regional GENEALOGY        ");
  EXPECT_EQ(Shown(static_cast<std::uint8_t>(5 + list.Cursor - list.Top)),
            "113 Base 13                   ");
  EXPECT_EQ(Marked(), std::vector<int>{12});

  // With the filter on, Ctrl-Y clears the text and shows every base again.
  Keys("\x19");
  Key(kScanF7);
  Keys("hyd\x19\r");
  ASSERT_TRUE(SelectBases(list));
  EXPECT_TRUE(list.Filter());
  EXPECT_EQ(list.Shown(), 30);
  EXPECT_EQ(list.CurrentItem(), 20);
}

TEST_F(BaseSelectTest, SelectionsAreSavedAndMarkedExactly) {
  for (int i : {3, 7, 29}) list.SetMarked(i, true);
  Session.BasesPath = "/bbs/mbases.dat";
  // A notice swallows the keys typed ahead, so each is closed by a lone
  // Escape and the next keys come after it.
  Key(kScanF5);
  Keys("weekly\r");  // saved, with a notice
  LoneEscape();
  Key(kScanF5);
  Keys(".hidden\r");  // refused with a notice
  LoneEscape();
  Key(kScanF3);
  Keys("\t");  // base 100 alone is marked now
  Key(kScanF6);
  Keys("\r\r");  // the only name, then Enter ends the list
  ASSERT_TRUE(SelectBases(list));
  std::ifstream in(state_ / "corvixmass/selections/weekly");
  std::stringstream saved;
  saved << in.rdbuf();
  EXPECT_EQ(saved.str(), "# catalogue: /bbs/mbases.dat\n103\n107\n129\n");
  std::ofstream(state_ / "corvixmass/selections/rest") << "1\n";
  EXPECT_EQ(SelectionNames(), (std::vector<std::string>{"last", "rest", "weekly"}));
  EXPECT_EQ(Marked(), (std::vector<int>{3, 7, 29}));

  // --select: the named selection, marked before the list runs; the two
  // arguments are taken out. Numbers not in the catalogue are ignored.
  // One saved from another catalogue is refused unless forced.
  std::ofstream(state_ / "corvixmass/selections/few")
      << "# catalogue: /old/mbases.dat\n101\n\n 999 \n120\r\n";
  EXPECT_FALSE(TakeStartSelection("few", false));
  ASSERT_TRUE(TakeStartSelection("few", true));
  Session.BasesPath = "";
  Keys("\r");
  ASSERT_TRUE(SelectBases(list));
  EXPECT_EQ(Marked(), (std::vector<int>{1, 20}));
  EXPECT_EQ(CountText().substr(0, 16), " 2 of 30 marked ");
}

TEST_F(BaseSelectTest, MarksAreKeptAsLastWheneverTheListIsLeftWithAMark) {
  Keys("\t" + testkit::KeySequence(kScanF5) + "last\r");  // marks 100; F5 refuses the name
  AtWait("keeps the marks of the last run", [&] {
    LoneEscape();
    Keys(testkit::KeySequence(kScanDown) + testkit::KeySequence(kScanDown) + "\t");
    LoneEscape();  // leaves the list
  });
  EXPECT_FALSE(SelectBases(list));
  std::vector<std::string> numbers;
  std::string error;
  ASSERT_TRUE(LoadSelection(kLastSelection, numbers, error)) << error;
  EXPECT_EQ(numbers, (std::vector<std::string>{"100", "102"}));
  list.UnmarkAll();  // left with nothing marked, the kept marks stay
  Keys("\r");
  EXPECT_TRUE(SelectBases(list));
  EXPECT_TRUE(LoadSelection(kLastSelection, numbers, error) && numbers.size() == 2);
}

TEST(Selections, NamesAndFilesAreChecked) {
  for (auto [name, ok] : {std::pair{"weekly", true},
                          {"a.b-c_D9", true},
                          {".x", false},
                          {"", false},
                          {"a/b", false},
                          {"..", false},
                          {"sp ace", false},
                          {"é", false}}) {
    EXPECT_EQ(ValidSelectionName(name), ok) << name;
  }
  testkit::TempDir state;
  ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
  std::string error;
  std::vector<std::string> numbers;
  EXPECT_FALSE(LoadSelection("none", numbers, error));
  EXPECT_NE(error.find("none"), std::string::npos);
  ASSERT_TRUE(SaveSelection("bad", {"1"}, error)) << error;
  std::ofstream(state / "corvixmass/selections/bad") << "1\n65536\n";
  EXPECT_FALSE(LoadSelection("bad", numbers, error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_FALSE(SaveSelection("../escape", {"1"}, error));
  // A selection that cannot be written leaves the old one as it was.
  ASSERT_TRUE(SaveSelection("keep", {"5", "6"}, error));
  std::filesystem::create_directory(state / "corvixmass/selections/.keep.new");
  EXPECT_FALSE(SaveSelection("keep", {"7"}, error));
  ASSERT_TRUE(LoadSelection("keep", numbers, error));
  EXPECT_EQ(numbers, (std::vector<std::string>{"5", "6"}));
  EXPECT_FALSE(TakeStartSelection("missing", false));
}

}  // namespace
}  // namespace corvix
