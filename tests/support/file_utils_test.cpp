// File and path helpers: name splitting, the wildcard test and the whole-file
// operations, the latter in a private temporary directory.
#include "support/file_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace corvix {
namespace {

namespace fs = std::filesystem;

class FileHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/corvix-files-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ + name, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) {
    std::ifstream in(dir_ + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  ShortString At(const std::string& name) { return dir_ + name; }
  std::string dir_;
};

TEST(PathSplitting, FollowsTheLastSeparatorOrDot) {
  struct Case {
    const char* name;
    const char* path;
    const char* file;
    const char* ext;
    const char* stripped;
  } cases[] = {
      {"/home/bbs/mass", "/home/bbs/", "mass", "", "/home/bbs/mass"},
      {"mass", "", "mass", "", "mass"},
      {"/a/b.c/msg.txt", "/a/b.c/", "msg.txt", "txt", "/a/b.c/msg"},
      {"/a/b.c/readme", "/a/b.c/", "readme", "c/readme", "/a/b"},
      {".profile", "", ".profile", "profile", ""},
      {"/x\\y.z", "/x\\", "y.z", "z", "/x\\y"},
      {"x\\y.z", "", "y.z", "z", "x\\y"},  // no '/': no path, yet '\' splits the file
      {"dir/", "dir/", "", "", "dir/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JustPath(c.name).Str(), c.path);
    EXPECT_EQ(JustFile(c.name).Str(), c.file);
    EXPECT_EQ(JustExt(c.name).Str(), c.ext);
    EXPECT_EQ(StripExt(c.name).Str(), c.stripped);
  }
}

TEST(PathSplitting, ForceExtAndParentDir) {
  EXPECT_EQ(ForceExt("msg.txt", "bak").Str(), "msg.bak");
  EXPECT_EQ(ForceExt("msg", "bak").Str(), "msg.bak");
  EXPECT_EQ(ForceExt("a.b.c", "d").Str(), "a.b.d");
  EXPECT_EQ(ParentDir("/home/bbs/").Str(), "/home/");
  EXPECT_EQ(ParentDir("/home/bbs").Str(), "/home/");
  EXPECT_EQ(ParentDir("/home").Str(), "/");
  EXPECT_EQ(ParentDir("/").Str(), "/");
  EXPECT_EQ(ParentDir("msgs/").Str(), "./");  // relative: not the root
}

TEST(WildMatch, FollowsTheMaskRules) {
  struct Case {
    const char* mask;
    const char* name;
    bool ignoreCase;
    bool match;
  } cases[] = {
      {"*", "anything", false, true},
      {"*", ".hidden", false, false},
      {"*.txt", "msg.txt", false, true},
      {"*.txt", "msg.TXT", false, false},
      {"*.txt", "msg.TXT", true, true},
      {"*.txt", "a.b.txt", false, false},  // the rest is matched after the first '.'
      {"*.*", "nodot", false, true},       // no '.': the rest is matched against all of it
      {"*x", "abx", false, false},         // '*' not followed by '.' matches nothing more
      {"?", "abc", false, true},           // a lone '?' takes all that is left
      {"a?c", "abc", false, true},
      {"a?c", "abcd", false, false},
      {"abc", "ab", false, false},
      {"a", "ab", false, false},
      {"a", "", false, false},
      {"", "a", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mask) + " / " + c.name);
    EXPECT_EQ(WildMatch(c.mask, c.name, c.ignoreCase), c.match);
  }
}

TEST_F(FileHelpers, ExistenceOfFilesAndDirectories) {
  Put("f", "x");
  EXPECT_TRUE(FileExists(At("f")));
  EXPECT_FALSE(FileExists(At("missing")));
  EXPECT_FALSE(FileExists(dir_));  // a directory is not a file
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(DirExists(dir_));
  EXPECT_TRUE(DirExists(dir_ + "//"));
  EXPECT_TRUE(DirExists("/"));
  EXPECT_FALSE(DirExists(At("f")));
  EXPECT_FALSE(DirExists(""));
}

TEST_F(FileHelpers, CopyFileCopiesWholeFilesOnly) {
  Put("empty", "");
  EXPECT_TRUE(CopyFile(At("empty"), At("empty2")));
  EXPECT_TRUE(FileExists(At("empty2")));
  EXPECT_EQ(Get("empty2"), "");

  std::string big;
  for (int i = 0; i < 10000; ++i) big += static_cast<char>(i * 7);
  Put("big", big);
  Put("old", "old contents that are longer than nothing");
  EXPECT_TRUE(CopyFile(At("big"), At("old")));
  EXPECT_EQ(Get("old"), big);

  EXPECT_FALSE(CopyFile(At("missing"), At("t")));
  EXPECT_FALSE(FileExists(At("t")));
  EXPECT_FALSE(CopyFile(At("big"), At("nodir/t")));
  // Onto itself: refused, and the file keeps its bytes.
  EXPECT_FALSE(CopyFile(At("big"), At("big")));
  EXPECT_EQ(Get("big"), big);
}

TEST_F(FileHelpers, MoveAndEraseKeepTargetsOnFailure) {
  Put("a", "A");
  Put("b", "B");
  EXPECT_TRUE(MoveFile(At("a"), At("b")));
  EXPECT_EQ(Get("b"), "A");
  EXPECT_FALSE(FileExists(At("a")));
  EXPECT_FALSE(MoveFile(At("a"), At("b")));  // no source: the target survives
  EXPECT_EQ(Get("b"), "A");
  EXPECT_TRUE(MoveFile(At("b"), At("b")));
  EXPECT_EQ(Get("b"), "A");
  EXPECT_TRUE(EraseFile(At("b")));
  EXPECT_FALSE(EraseFile(At("b")));
}

TEST_F(FileHelpers, MakePathAndChangeDir) {
  EXPECT_TRUE(MakePath(At("x/y/z")));
  EXPECT_TRUE(DirExists(At("x/y/z")));
  EXPECT_TRUE(MakePath(At("x/y/z/")));
  Put("file", "");
  EXPECT_FALSE(MakePath(At("file/sub")));

  std::string saved = fs::current_path();
  EXPECT_TRUE(ChangeDir(At("x/y///")));
  EXPECT_EQ(fs::current_path(), fs::path(dir_ + "x/y"));
  EXPECT_FALSE(ChangeDir(At("nowhere")));
  EXPECT_FALSE(ChangeDir(""));
  EXPECT_EQ(fs::current_path(), fs::path(dir_ + "x/y"));
  ASSERT_TRUE(ChangeDir(saved));
}

TEST_F(FileHelpers, DirectoryQueries) {
  Put("Keep.TXT", "1");
  Put("other.txt", "22");
  Put("noext", "333");
  Put(".hidden", "4");
  fs::create_directory(dir_ + "sub");

  EXPECT_EQ(CountFiles(dir_), 4);
  EXPECT_EQ(CountFiles(dir_.substr(0, dir_.size() - 1)), 4);
  EXPECT_EQ(SizeOfFile(At("noext")), 3);
  EXPECT_EQ(SizeOfFile(At("missing")), 0);
  EXPECT_EQ(FindNoCase(At("keep.txt")).Str(), dir_ + "Keep.TXT");
  EXPECT_EQ(FindNoCase(At("none.txt")).Str(), dir_ + "none.txt");

  EraseAllExcept(dir_, "KEEP.txt");
  EXPECT_TRUE(FileExists(At("Keep.TXT")));
  EXPECT_FALSE(FileExists(At("other.txt")));
  EXPECT_FALSE(FileExists(At("noext")));
  EXPECT_TRUE(FileExists(At(".hidden")));  // mask 32 finds no hidden entries
  EXPECT_TRUE(DirExists(At("sub")));
}

TEST(ProgramPath, IsTheDirectoryOfTheRunningExecutable) {
  ShortString arg0 = ProgramArg0();
  ASSERT_FALSE(arg0.empty());
  EXPECT_EQ(arg0[0], '/');
  EXPECT_EQ(JustFile(arg0).Str(), "support_file_utils_test");
  EXPECT_EQ(ProgramPath().Str(), JustPath(arg0).Str());
  EXPECT_EQ(ProgramBase().Str(), arg0.Str());  // the name holds no '.'
}

}  // namespace
}  // namespace corvix
