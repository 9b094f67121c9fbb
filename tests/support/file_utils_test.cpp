// File and path helpers: name splitting, the wildcard test and the whole-file
// operations, the latter in a private temporary directory.
#include "support/file_utils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testkit/temp_dir.h"

namespace corvix {
namespace {

using testkit::TempDir;

TEST(PathSplitting, FollowsTheLastSeparatorOrDot) {
  struct {
    const char *name, *path, *file, *ext, *stripped;
  } cases[] = {
      {"/home/bbs/mass", "/home/bbs/", "mass", "", "/home/bbs/mass"},
      {"/a/b.c/readme", "/a/b.c/", "readme", "c/readme", "/a/b"},  // the dot may be in the path
      {".profile", "", ".profile", "profile", ""},
      {"x\\y.z", "", "y.z", "z", "x\\y"},  // no '/': no path, yet '\' splits off the file
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JustPath(c.name).Str(), c.path);
    EXPECT_EQ(JustFile(c.name).Str(), c.file);
    EXPECT_EQ(JustExt(c.name).Str(), c.ext);
    EXPECT_EQ(StripExt(c.name).Str(), c.stripped);
  }
  EXPECT_EQ(ForceExt("msg.txt", "bak").Str(), "msg.bak");
  EXPECT_EQ(ParentDir("/home/bbs/").Str(), "/home/");
  EXPECT_EQ(ParentDir("msgs/").Str(), "./");  // relative: not the root
  EXPECT_EQ(ParentDir("mass").Str(), "./");
}

TEST(WildMatch, FollowsTheMaskRules) {
  struct {
    const char *mask, *name;
    bool ignoreCase, match;
  } cases[] = {
      {"*", ".hidden", false, false}, {"*.txt", "a.TXT", false, false},
      {"*.txt", "a.TXT", true, true}, {"*.txt", "a.b.txt", false, false},  // after the first '.'
      {"*.*", "nodot", false, true},  {"?", "abc", false, true},
      {"a?c", "abcd", false, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WildMatch(c.mask, c.name, c.ignoreCase), c.match) << c.mask << " " << c.name;
}

TEST(FileHelpers, ExistenceCopyAndMove) {
  TempDir d;
  d.Put("empty", "");
  EXPECT_FALSE(FileExists(d.Path()));  // a directory is not a file
  EXPECT_TRUE(DirExists(d.Path() + "//"));

  std::string big;
  for (int i = 0; i < 10000; ++i) big += static_cast<char>('a' + i % 26);
  d.Put("big", big);
  d.Put("old", "older and longer contents");
  EXPECT_TRUE(CopyFile(d / "big", d / "old"));
  EXPECT_EQ(d.Get("old"), big);
  EXPECT_FALSE(CopyFile(d / "missing", d / "t"));
  EXPECT_FALSE(CopyFile(d / "big", d / "big"));  // onto itself: refused, bytes kept
  EXPECT_EQ(d.Get("big"), big);

  EXPECT_FALSE(MoveFile(d / "missing", d / "old"));  // a failed move keeps the target
  EXPECT_EQ(d.Get("old"), big);
  EXPECT_TRUE(CopyFile(d / "empty", d / "old"));  // an empty copy is complete too
  EXPECT_EQ(d.Get("old"), "");
}

TEST(FileHelpers, DirectoriesAndSearches) {
  TempDir d;
  EXPECT_TRUE(MakePath(d / "x/y/z"));
  // 255 characters leave no room for a closing '/': the last level still ends.
  const std::string full = d / "x/" + std::string(255 - (d / "x/").size(), 'n');
  EXPECT_TRUE(MakePath(full));
  EXPECT_TRUE(DirExists(full));
  EXPECT_FALSE(ChangeDir(""));  // not the root

  d.Put("Keep.TXT", "1");
  d.Put("other.txt", "22");
  d.Put(".hidden", "333");
  EXPECT_EQ(CountFiles(d.Path()), 3);
  EXPECT_EQ(FindNoCase(d / "keep.txt").Str(), d / "Keep.TXT");
  d.Put("KEEP.txt", "4");  // a name spelt exactly as asked is never another file
  for (const char* name : {"Keep.TXT", "KEEP.txt"}) EXPECT_EQ(FindNoCase(d / name).Str(), d / name);
  std::filesystem::remove(d / "KEEP.txt");
  std::string saved = std::filesystem::current_path();
  ASSERT_TRUE(ChangeDir(d.Path()));
  EraseAllExcept("", "x");  // no directory named: nothing is erased
  ASSERT_TRUE(ChangeDir(saved));
  EXPECT_TRUE(FileExists(d / "other.txt"));
  EraseAllExcept(d.Path(), "KEEP.txt");
  EXPECT_TRUE(FileExists(d / "Keep.TXT"));
  EXPECT_FALSE(FileExists(d / "other.txt"));
  EXPECT_TRUE(FileExists(d / ".hidden"));  // mask 32 finds no hidden entries
  EXPECT_TRUE(DirExists(d / "x"));
}

TEST(AbsolutePath, JoinsARelativeNameToTheDirectoryOnce) {
  EXPECT_EQ(AbsolutePath("a/b", "/x"), "/x/a/b");
  EXPECT_EQ(AbsolutePath("a", "/x/"), "/x/a");
  EXPECT_EQ(AbsolutePath("/y", "/x"), "/y");
  EXPECT_EQ(AbsolutePath("", "/x"), "");
}

TEST(AbsolutePath, RelativePathsAreResolvedAgainstTheStartDirectory) {
  EXPECT_EQ(AbsolutePath("news.txt", "/home/sysop"), "/home/sysop/news.txt");
  EXPECT_EQ(AbsolutePath("../x", "/home/sysop/"), "/home/sysop/../x");
  EXPECT_EQ(AbsolutePath("/abs/news.txt", "/home/sysop"), "/abs/news.txt");
  // Not cut at 255: the caller must see that the name would not fit.
  EXPECT_EQ(AbsolutePath(std::string(100, 'n'), "/" + std::string(200, 'd')).size(), 302u);
}

}  // namespace
}  // namespace corvix
