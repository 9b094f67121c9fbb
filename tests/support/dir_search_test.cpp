// Directory search: byte-for-byte pattern matching and the attribute mask.
#include "support/dir_search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "testkit/temp_dir.h"

namespace corvix {
namespace {

TEST(PatternMatch, WildcardsAreStarAndQuestionMarkOnly) {
  struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.*", "readme", false},    {"*.*", "msg.txt", true},   {"*", ".profile", true},
      {"*.TXT", "msg.txt", false}, {"m?g.*", "mg.txt", false}, {"a*b*c", "axxbyyc", true},
      {"*ab", "aab", true},  // the star gives back bytes it took
      {"[ab]", "a", false},  // brackets are not special
  };
  for (const auto& c : cases)
    EXPECT_EQ(PatternMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

TEST(FindEntries, MaskSelectsTheKindsOfEntries) {
  testkit::TempDir d;
  const std::string& dir = d.Path();
  d.Put("msg.txt", "12345");
  d.Put("readme", "1");
  d.Put(".hidden", "12");
  d.Put("ro.dat", "123");
  chmod((dir + "ro.dat").c_str(), 0444);
  std::filesystem::create_directory(dir + "sub.d");
  auto find = [&](const std::string& pattern, std::uint8_t mask) {
    std::map<std::string, std::pair<int, std::int64_t>> out;
    for (const TSearchRec& r : FindEntries(dir + pattern, mask))
      out[r.Name.Str()] = {r.Attr, r.Size};
    return out;
  };
  using M = std::map<std::string, std::pair<int, std::int64_t>>;
  const M files{{"msg.txt", {kFaArchive, 5}},
                {"readme", {kFaArchive, 1}},
                {"ro.dat", {kFaArchive | kFaReadOnly, 3}}};
  EXPECT_EQ(find("*", kFaArchive), files);
  M all = files;
  all.insert({{".", {kFaDirectory, 0}},
              {"..", {kFaDirectory, 0}},
              {"sub.d", {kFaDirectory, 0}},
              {".hidden", {kFaArchive | kFaHidden, 2}}});
  EXPECT_EQ(find("*", kFaAnyFile), all);
  EXPECT_EQ(find("*.*", kFaArchive).size(), 2u);
  EXPECT_TRUE(find("sub.d", kFaArchive).empty());  // a plain name still needs its kind in the mask
  EXPECT_EQ(find("sub.d", kFaAnyFile).size(), 1u);
}

}  // namespace
}  // namespace corvix
