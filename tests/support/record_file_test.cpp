// TFileRec: record counting, checked reads and writes, and the insert that
// replaces the file only once its new contents are complete.
#include "support/record_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "support/io_error.h"
#include "testkit/temp_dir.h"

namespace corvix {
namespace {

class RecordFile : public ::testing::Test {
 protected:
  void Put(const std::string& bytes) { dir_.Put("bases.dat", bytes); }
  std::string Get() { return dir_.Get("bases.dat"); }
  int Entries() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}));
  }
  static std::string Read(TFileRec& f, std::int32_t index) {
    std::string buf(static_cast<std::size_t>(f.RecSize), '\0');
    f.ReadRecord(buf.data(), index);
    return buf;
  }
  testkit::TempDir dir_;
  const std::string path_ = dir_ / "bases.dat";
  // Records of four bytes: "AAAA", "BBBB", ...
  const std::string A = "AAAA", B = "BBBB", C = "CCCC", N = "nnnn";
};

TEST_F(RecordFile, CountsWholeRecordsAndReadsOnlyThose) {
  EXPECT_THROW(TFileRec(path_, 768, false), IoError);  // missing
  for (auto [bytes, records] : {std::pair{0, 0}, {767, 0}, {1536, 2}, {1600, 2}}) {
    Put(std::string(static_cast<std::size_t>(bytes), 'x'));
    EXPECT_EQ(TFileRec(path_, 768, false).RecordCount(), records) << bytes;
  }
  Put(A + B + "CC");
  TFileRec f(path_, 4, false);
  EXPECT_EQ(Read(f, 1), B);
  EXPECT_THROW(Read(f, 2), IoError);  // a partial last record is not read
  f.AppendRecord(N.data());           // and an appended record starts on the record grid
  EXPECT_EQ(Read(f, 2), N);
  EXPECT_THROW(f.WriteRecord(N.data(), 4), IoError);  // would leave a gap
}

TEST_F(RecordFile, ReadRecordsReadsWholeRunsOnly) {
  Put(A + B + C + "nn");
  TFileRec f = TFileRec::OpenReadOnly(path_, 4);
  struct Case {
    std::int32_t first, count;
    bool ok;
    std::string read;  // the bytes read; the rest of the buffer stays untouched
  };
  for (const Case& c :
       {Case{0, 3, true, A + B + C}, Case{1, 2, true, B + C}, Case{2, 1, true, C},
        Case{0, 0, true, ""}, Case{2, 2, false, ""},  // the partial last record is not a record
        Case{4, 1, false, ""}, Case{-1, 1, false, ""}, Case{0, -1, false, ""}}) {
    SCOPED_TRACE(std::to_string(c.first) + "+" + std::to_string(c.count));
    std::string buf(16, '-');
    if (!c.ok) {
      EXPECT_THROW(f.ReadRecords(buf.data(), c.first, c.count), IoError);
      continue;
    }
    f.ReadRecords(buf.data(), c.first, c.count);
    EXPECT_EQ(buf, c.read + std::string(16 - c.read.size(), '-'));
  }
}

TEST_F(RecordFile, ReadOnlyOpeningReadsButNeverWrites) {
  EXPECT_THROW(TFileRec::OpenReadOnly(path_, 4), IoError);  // missing
  Put(A + B);
  TFileRec f = TFileRec::OpenReadOnly(path_, 4);
  EXPECT_EQ(f.RecordCount(), 2);
  EXPECT_EQ(Read(f, 1), B);
  EXPECT_THROW(f.WriteRecord(N.data(), 0), IoError);
  EXPECT_THROW(f.InsertRecord(N.data(), 0), IoError);  // nor replaces the file
  EXPECT_EQ(Get(), A + B);
}

TEST_F(RecordFile, InsertPlacesTheRecordAfterIndex) {
  struct {
    std::string before;
    std::int32_t index;
    std::string after;
  } cases[] = {{A + B, 0, A + N + B},
               {A + B, 1, A + B + N},
               {A + B + "pp", 0, A + N + B + "pp"},
               {A + B, -1, N + A + B},
               {"", -1, N}};  // -1: before every record
  for (const auto& c : cases) {
    Put(c.before);
    TFileRec f(path_, 4, false);
    f.InsertRecord(N.data(), c.index);
    EXPECT_EQ(Get(), c.after);
    EXPECT_EQ(Read(f, c.index + 1), N);  // the object reads the new file
    EXPECT_EQ(Entries(), 1);             // no temporary file left
  }
}

TEST_F(RecordFile, FailedInsertLeavesTheFileAsItWas) {
  Put(A + B + C);
  TFileRec f(path_, 4, false);
  EXPECT_THROW(f.InsertRecord(N.data(), 3), IoError);  // past the last record
  // A file size limit lets the original stand but stops the longer new file
  // before it is complete, as a full disk would.
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit saved{}, small{};
  getrlimit(RLIMIT_FSIZE, &saved);
  small = saved;
  small.rlim_cur = 14;
  setrlimit(RLIMIT_FSIZE, &small);
  int err = 0;  // checked only once the limit is lifted again
  try {
    f.InsertRecord(N.data(), 0);
  } catch (const IoError& e) {
    err = e.Errno();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_EQ(err, EFBIG);
  EXPECT_EQ(Get(), A + B + C);
  EXPECT_EQ(Entries(), 1);
  EXPECT_EQ(Read(f, 2), C);
}

TEST_F(RecordFile, ReadsTheLastRecordOfTheLargestCatalogue) {
  constexpr std::int32_t kRecords = 65535, kSize = 768;
  std::string last(kSize, '\0');
  for (std::size_t i = 0; i < last.size(); ++i) last[i] = static_cast<char>('a' + i % 26);
  int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);  // sparse: one record written
  ASSERT_EQ(pwrite(fd, last.data(), kSize, off_t{kRecords - 1} * kSize), kSize);
  close(fd);
  TFileRec f(path_, kSize, false);
  EXPECT_EQ(f.RecordCount(), kRecords);
  EXPECT_EQ(Read(f, kRecords - 1), last);
  EXPECT_THROW(Read(f, kRecords), IoError);
}

}  // namespace
}  // namespace corvix
