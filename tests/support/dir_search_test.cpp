// Directory search: byte-for-byte pattern matching and the attribute mask.
#include "support/dir_search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace corvix {
namespace {

namespace fs = std::filesystem;

TEST(PatternMatch, WildcardsAreStarAndQuestionMarkOnly) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.*", "readme", false},  // "*.*" needs a dot
      {"*.*", "msg.txt", true},
      {"*.*", ".profile", true},
      {"*", ".profile", true},   // a leading dot is an ordinary byte
      {"*", "", true},
      {"*.TXT", "msg.txt", false},  // byte for byte: case counts
      {"m?g.*", "msg.txt", true},
      {"m?g.*", "mg.txt", false},
      {"a*b*c", "axxbyyc", true},
      {"a*b*c", "axxbyy", false},
      {"*ab", "aab", true},      // the star must give back bytes it took
      {"[ab]", "a", false},      // brackets are not special
      {"[ab]", "[ab]", true},
      {"\xE9*", "\xE9t\xE9", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.name);
    EXPECT_EQ(PatternMatch(c.pattern, c.name), c.match);
  }
}

class DirSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/corvix-search-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
    std::ofstream(dir_ + "msg.txt") << "12345";
    std::ofstream(dir_ + "readme") << "1";
    std::ofstream(dir_ + ".hidden") << "12";
    std::ofstream(dir_ + "locked.dat") << "123";
    chmod((dir_ + "locked.dat").c_str(), 0444);
    fs::create_directory(dir_ + "sub.d");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Name -> attributes of what a search found.
  std::map<std::string, int> Find(const std::string& pattern, std::uint8_t mask) {
    std::map<std::string, int> out;
    for (const TSearchRec& r : FindEntries(dir_ + pattern, mask)) out[r.Name.Str()] = r.Attr;
    return out;
  }
  std::string dir_;
};

TEST_F(DirSearch, MaskSelectsTheKindsOfEntries) {
  using M = std::map<std::string, int>;
  EXPECT_EQ(Find("*", kFaArchive),
            (M{{"msg.txt", kFaArchive}, {"readme", kFaArchive}, {"locked.dat", kFaArchive | kFaReadOnly}}));
  EXPECT_EQ(Find("*", kFaAnyFile),
            (M{{".", kFaDirectory},
               {"..", kFaDirectory},
               {".hidden", kFaArchive | kFaHidden},
               {"msg.txt", kFaArchive},
               {"readme", kFaArchive},
               {"locked.dat", kFaArchive | kFaReadOnly},
               {"sub.d", kFaDirectory}}));
  EXPECT_EQ(Find("*.*", kFaArchive), (M{{"msg.txt", kFaArchive}, {"locked.dat", kFaArchive | kFaReadOnly}}));
}

TEST_F(DirSearch, GivesSizesAndQueriesPlainNamesDirectly) {
  auto one = FindEntries(dir_ + "msg.txt", kFaAnyFile);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].Name.Str(), "msg.txt");
  EXPECT_EQ(one[0].Size, 5);
  EXPECT_TRUE(FindEntries(dir_ + "sub.d", kFaArchive).empty());  // a directory needs its bit
  EXPECT_EQ(FindEntries(dir_ + "sub.d", kFaAnyFile).size(), 1u);
  EXPECT_TRUE(FindEntries(dir_ + "missing", kFaAnyFile).empty());
  EXPECT_TRUE(FindEntries(dir_ + "nodir/*", kFaAnyFile).empty());
  EXPECT_TRUE(FindEntries(dir_, kFaAnyFile).empty());  // no name pattern at all
}

TEST_F(DirSearch, PatternWithoutDirectorySearchesTheWorkingDirectory) {
  std::string saved = fs::current_path();
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  auto found = FindEntries("*.txt", kFaAnyFile);
  ASSERT_EQ(chdir(saved.c_str()), 0);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Name.Str(), "msg.txt");
}

}  // namespace
}  // namespace corvix
