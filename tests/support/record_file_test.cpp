// TFileRec: record counting, checked reads and writes, and the insert that
// replaces the file only once its new contents are complete.
#include "support/record_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/io_error.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;

class RecordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/corvix-rec-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
    path_ = dir_ + "bases.dat";
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string Get() {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static std::string Rec(char c) { return std::string(4, c); }  // records of 4 bytes
  std::string ReadAt(TFileRec& f, std::int32_t index) {
    std::string buf(static_cast<std::size_t>(f.RecSize), '\0');
    f.ReadRecord(buf.data(), index);
    return buf;
  }
  std::string dir_, path_;
};

TEST_F(RecordFile, CountsOnlyWholeRecords) {
  struct Case {
    std::size_t bytes;
    std::int32_t records;
  } cases[] = {{0, 0}, {767, 0}, {768, 1}, {1536, 2}, {1600, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    Put(std::string(c.bytes, 'x'));
    TFileRec f(path_, 768, false);
    EXPECT_EQ(f.RecordCount(), c.records);
    EXPECT_EQ(f.FileSizeBytes(), static_cast<std::int32_t>(c.bytes));
  }
}

TEST_F(RecordFile, ReadsWholeRecordsAndFailsOnAPartialOne) {
  Put(Rec('A') + Rec('B') + "CC");
  TFileRec f(path_, 4, false);
  EXPECT_EQ(ReadAt(f, 1), Rec('B'));
  EXPECT_EQ(ReadAt(f, 0), Rec('A'));
  EXPECT_THROW(ReadAt(f, 2), IoError);  // only two of its four bytes exist
  EXPECT_THROW(ReadAt(f, 3), IoError);
  EXPECT_THROW(ReadAt(f, -1), IoError);
}

TEST_F(RecordFile, OpeningChecksTheFile) {
  try {
    TFileRec f(path_, 4, false);
    FAIL() << "a missing file opened";
  } catch (const IoError& e) {
    EXPECT_EQ(e.FileName(), path_);
    EXPECT_EQ(e.Errno(), ENOENT);
  }
  Put("old contents");
  TFileRec f(path_, 4, true);  // CreateNew truncates
  EXPECT_EQ(f.RecordCount(), 0);
  EXPECT_THROW(ReadAt(f, 0), IoError);
}

TEST_F(RecordFile, WritesAndAppendsInPlace) {
  {
    TFileRec f(path_, 4, true);
    f.AppendRecord(Rec('A').data());
    f.AppendRecord(Rec('C').data());
    f.WriteRecord(Rec('B').data(), 1);  // overwrite
    f.WriteRecord(Rec('D').data(), 2);  // extend at the end
    EXPECT_THROW(f.WriteRecord(Rec('X').data(), 4), IoError);  // would leave a gap
    EXPECT_EQ(f.RecordCount(), 3);
  }
  EXPECT_EQ(Get(), Rec('A') + Rec('B') + Rec('D'));

  // After a partial last record the new record starts on the record grid.
  Put(Rec('A') + "pp");
  TFileRec f(path_, 4, false);
  f.AppendRecord(Rec('N').data());
  EXPECT_EQ(f.RecordCount(), 2);
  EXPECT_EQ(ReadAt(f, 1), Rec('N'));
}

TEST_F(RecordFile, InsertPlacesTheRecordAfterIndex) {
  struct Case {
    std::string before;
    std::int32_t index;
    std::string after;
  } cases[] = {
      {Rec('A') + Rec('B'), 0, Rec('A') + Rec('n') + Rec('B')},
      {Rec('A') + Rec('B'), 1, Rec('A') + Rec('B') + Rec('n')},
      {Rec('A') + Rec('B') + "pp", 0, Rec('A') + Rec('n') + Rec('B') + "pp"},  // the tail is kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    Put(c.before);
    TFileRec f(path_, 4, false);
    f.InsertRecord(Rec('n').data(), c.index);
    EXPECT_EQ(Get(), c.after);
    EXPECT_EQ(ReadAt(f, c.index + 1), Rec('n'));  // the object sees the new file
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);  // no temporary left
}

TEST_F(RecordFile, FailedInsertLeavesTheFileAsItWas) {
  const std::string original = Rec('A') + Rec('B') + Rec('C');
  Put(original);
  TFileRec f(path_, 4, false);
  EXPECT_THROW(f.InsertRecord(Rec('n').data(), 3), IoError);  // past the last record
  EXPECT_EQ(Get(), original);

  // A file size limit lets the original stand but stops the new, longer file
  // before it is complete: the write fails as it would on a full disk.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = original.size() + 2;
  setrlimit(RLIMIT_FSIZE, &small);
  int err = 0;  // checked only after the limit is lifted again
  try {
    f.InsertRecord(Rec('n').data(), 0);
  } catch (const IoError& e) {
    err = e.Errno();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_EQ(err, EFBIG);
  EXPECT_EQ(Get(), original);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);
  EXPECT_EQ(ReadAt(f, 2), Rec('C'));  // and the object still reads it
}

TEST_F(RecordFile, ReadsTheLastRecordOfTheLargestCatalogue) {
  constexpr std::int32_t kRecords = 65535, kSize = 768;
  std::string last(kSize, '\0');
  for (std::size_t i = 0; i < last.size(); ++i) last[i] = static_cast<char>('a' + i % 26);
  {
    // Sparse: only the last record is written, the rest is a hole.
    int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, last.data(), last.size(), off_t{kRecords - 1} * kSize), kSize);
    close(fd);
  }
  TFileRec f(path_, kSize, false);
  EXPECT_EQ(f.RecordCount(), kRecords);
  EXPECT_EQ(ReadAt(f, kRecords - 1), last);
  EXPECT_EQ(ReadAt(f, kRecords - 2), std::string(kSize, '\0'));
  EXPECT_THROW(ReadAt(f, kRecords), IoError);
}

}  // namespace
}  // namespace corvix
