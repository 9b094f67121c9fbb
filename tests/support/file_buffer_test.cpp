// TFileBuffer: the open types, reads across the window, and exactly when
// written bytes reach the disk.
#include "support/file_buffer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

namespace corvix {
namespace {

namespace fs = std::filesystem;

class FileBuffer : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/corvix-buf-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
    path_ = dir_ + "data.bin";
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  // What is on the disk now, read past the buffer.
  std::string Disk() {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Write(TFileBuffer& b, const std::string& s) {
    EXPECT_TRUE(b.WriteBlock(s.data(), static_cast<std::int32_t>(s.size())));
  }
  std::string dir_, path_;
};

TEST_F(FileBuffer, OpenTypes) {
  TFileBuffer b(8);
  EXPECT_FALSE(b.Open(path_, 1, fmOpen, kModeReadWriteShared));
  EXPECT_FALSE(b.IsOpen);
  EXPECT_EQ(b.Buffer, nullptr);
  EXPECT_FALSE(fs::exists(path_));

  ASSERT_TRUE(b.Open(path_, 1, fmOpenCreate, kModeReadWriteShared));
  EXPECT_TRUE(fs::exists(path_));
  EXPECT_TRUE(b.Eof());
  EXPECT_EQ(b.FileSize(), 0);
  b.Close();

  Put("old");
  ASSERT_TRUE(b.Open(path_, 1, fmOpenAppend, kModeReadWriteShared));
  EXPECT_EQ(b.FilePos(), 3);
  Write(b, "new");
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(Disk(), "oldnew");

  ASSERT_TRUE(b.Open(path_, 1, fmCreate, kModeReadWriteShared));
  EXPECT_EQ(Disk(), "");
}

TEST_F(FileBuffer, ReadsAcrossTheWindow) {
  Put("0123456789ABCDEFGHIJ");
  TFileBuffer b(8);
  ASSERT_TRUE(b.Open(path_, 4, fmOpen, kModeRead));
  std::string all;
  while (!b.Eof()) all += b.ReadChar();
  EXPECT_EQ(all, "0123456789ABCDEFGHIJ");
  EXPECT_EQ(b.ReadChar(), '\0');  // nothing left: no stale buffer byte
  EXPECT_EQ(b.FilePos(), 20);

  char buf[16] = {};
  std::int32_t got = -1;
  b.Seek(15);
  b.ReadBlock(buf, 10, got);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(got)), "FGHIJ");
  b.Seek(0);
  b.ReadBlock(buf, 12, got);  // at most one buffer per read
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(got)), "01234567");
  b.SeekRecord(2);
  EXPECT_EQ(b.FilePos(), 8);
  EXPECT_EQ(b.RecordPos(), 2);
  EXPECT_EQ(b.RecordCount(), 5);
}

TEST_F(FileBuffer, WrittenBytesReachTheDiskAtTheFlushPoints) {
  TFileBuffer b(8);
  ASSERT_TRUE(b.Open(path_, 1, fmCreate, kModeReadWriteShared));
  Write(b, "abcde");
  EXPECT_EQ(Disk(), "");
  Write(b, "fghij");  // overflow: the full buffer goes out, "ij" stays
  EXPECT_EQ(Disk(), "abcdefgh");
  EXPECT_EQ(b.FilePos(), 10);
  b.Seek(9);  // inside the window: no I/O
  Write(b, "J");
  EXPECT_EQ(Disk(), "abcdefgh");
  b.Seek(0);  // outside: the dirty window is written back first
  EXPECT_EQ(Disk(), "abcdefghiJ");
  Write(b, "XY");
  EXPECT_EQ(Disk(), "abcdefghiJ");
  EXPECT_EQ(b.FileSize(), 10);  // flushes
  EXPECT_EQ(Disk(), "XYcdefghiJ");
  b.Seek(10);
  Write(b, "k");
  EXPECT_EQ(Disk(), "XYcdefghiJ");
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(Disk(), "XYcdefghiJk");
}

TEST_F(FileBuffer, ABlockLargerThanTheBufferGoesThroughInSeveralFlushes) {
  TFileBuffer b(16);
  ASSERT_TRUE(b.Open(path_, 1, fmCreate, kModeReadWriteShared));
  std::string block;
  for (int i = 0; i < 100; ++i) block += static_cast<char>('!' + i % 90);
  Write(b, "012");
  Write(b, block);
  // 3 + 13 fill the first buffer, then five more full buffers; 7 bytes wait.
  EXPECT_EQ(Disk(), ("012" + block).substr(0, 96));
  EXPECT_EQ(b.FilePos(), 103);
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(Disk(), "012" + block);
}

TEST_F(FileBuffer, ReadingAfterAnOverflowInTheMiddleReadsTheFile) {
  Put("ABCDEFGHIJKLMNOPQRSTUVWX");
  TFileBuffer b(8);
  ASSERT_TRUE(b.Open(path_, 1, fmOpen, kModeReadWriteShared));
  b.Seek(4);
  Write(b, "123456");  // "1234" fill the window, "56" start the next one
  EXPECT_EQ(b.ReadChar(), 'K');
  char buf[3];
  std::int32_t got = 0;
  b.ReadBlock(buf, 3, got);
  EXPECT_EQ(std::string(buf, 3), "LMN");
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(Disk(), "ABCD123456KLMNOPQRSTUVWX");
}

TEST_F(FileBuffer, AFailedFlushIsReported) {
  Put("abc");
  TFileBuffer b(4);
  ASSERT_TRUE(b.Open(path_, 1, fmOpen, kModeRead));
  EXPECT_FALSE(b.WriteBlock("123456", 6));
  EXPECT_EQ(FileIoResult, EBADF);
  EXPECT_FALSE(b.Close());
  EXPECT_FALSE(b.IsOpen);
  EXPECT_EQ(Disk(), "abc");
}

TEST_F(FileBuffer, RetryingPrimitivesReportTheirResult) {
  TBinFile f;
  f.Name = path_;
  EXPECT_FALSE(ResetRetry(f, 4, kModeRead));
  EXPECT_EQ(FileIoResult, ENOENT);
  ASSERT_TRUE(RewriteRetry(f, 4, kModeReadWrite));
  EXPECT_TRUE(WriteOneRetry(f, "abcd"));
  std::int32_t written = 0;
  EXPECT_TRUE(WriteRetry(f, "ef", 0, written));
  EXPECT_EQ(written, 0);
  ASSERT_EQ(write(f.Fd, "ef", 2), 2);  // a partial record at the end
  ASSERT_TRUE(SeekRetry(f, 0));
  char rec[4];
  EXPECT_TRUE(ReadOneRetry(f, rec));
  EXPECT_FALSE(ReadOneRetry(f, rec));
  EXPECT_EQ(FileIoResult, EIO);
  EXPECT_TRUE(CloseFile(f));
}

}  // namespace
}  // namespace corvix
