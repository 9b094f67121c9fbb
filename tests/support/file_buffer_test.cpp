// TFileBuffer: the open types, reads across the window, and exactly when
// written bytes reach the disk.
#include "support/file_buffer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>

#include "support/sleep.h"
#include "testkit/temp_dir.h"

namespace corvix {
namespace {

class FileBuffer : public ::testing::Test {
 protected:
  void Put(const std::string& bytes) { dir_.Put("data.bin", bytes); }
  std::string Disk() { return dir_.Get("data.bin"); }  // what is on the disk now, past the buffer
  static void Write(TFileBuffer& b, const std::string& s) {
    EXPECT_TRUE(b.WriteBlock(s.data(), static_cast<std::int32_t>(s.size())));
  }
  testkit::TempDir dir_;
  const std::string path_ = dir_ / "data.bin";
  TFileBuffer b{8};
};

TEST_F(FileBuffer, OpenTypes) {
  EXPECT_FALSE(b.Open(path_, 1, fmOpen, kModeReadWriteShared));
  ASSERT_TRUE(b.Open(path_, 1, fmOpenCreate, kModeReadWriteShared));
  EXPECT_TRUE(std::filesystem::exists(path_));
  EXPECT_TRUE(b.Eof());
  Put("old");
  ASSERT_TRUE(b.Open(path_, 1, fmOpenAppend, kModeReadWriteShared));
  Write(b, "new");
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(Disk(), "oldnew");
  ASSERT_TRUE(b.Open(path_, 1, fmCreate, kModeReadWriteShared));
  EXPECT_EQ(Disk(), "");
}

TEST_F(FileBuffer, ReadsAcrossTheWindow) {
  Put("0123456789ABCDEFGHIJ");
  ASSERT_TRUE(b.Open(path_, 4, fmOpen, kModeRead));
  std::string all;
  while (!b.Eof()) all += b.ReadChar();
  EXPECT_EQ(all, "0123456789ABCDEFGHIJ");
  EXPECT_EQ(b.ReadChar(), '\0');  // nothing left: no stale buffer byte
  char buf[16];
  std::int32_t got = 0;
  b.Seek(15);
  b.ReadBlock(buf, 10, got);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(got)), "FGHIJ");
  b.Seek(1);
  EXPECT_EQ(b.ReadChar(), '1');
  b.ReadBlock(buf, INT32_MAX, got);  // at most one buffer's worth, however large the count
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(got)), "23456789");
}

TEST_F(FileBuffer, WrittenBytesReachTheDiskAtTheFlushPoints) {
  ASSERT_TRUE(b.Open(path_, 1, fmCreate, kModeReadWriteShared));
  Write(b, "abcde");
  EXPECT_EQ(Disk(), "");
  Write(b, "fghij");  // overflow: the full buffer goes out, "ij" stays
  EXPECT_EQ(Disk(), "abcdefgh");
  b.Seek(9);  // inside the window: no I/O
  Write(b, "J");
  EXPECT_EQ(Disk(), "abcdefgh");
  b.Seek(0);  // outside: the dirty window is written back first
  EXPECT_EQ(Disk(), "abcdefghiJ");
  Write(b, "XY");
  EXPECT_EQ(b.FileSize(), 10);  // flushes
  EXPECT_EQ(Disk(), "XYcdefghiJ");
  b.Seek(10);
  Write(b, "k");
  EXPECT_EQ(Disk(), "XYcdefghiJ");
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(Disk(), "XYcdefghiJk");
}

TEST_F(FileBuffer, LargeAndMidFileWritesLoseNothing) {
  ASSERT_TRUE(b.Open(path_, 1, fmCreate, kModeReadWriteShared));
  std::string block;
  for (int i = 0; i < 50; ++i) block += static_cast<char>('!' + i);
  Write(b, "012");
  Write(b, block);  // 3 + 5 fill the buffer, then five more full buffers; 5 bytes wait
  EXPECT_EQ(Disk(), ("012" + block).substr(0, 48));
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(Disk(), "012" + block);

  Put("ABCDEFGHIJKLMNOPQRSTUVWX");
  ASSERT_TRUE(b.Open(path_, 1, fmOpen, kModeReadWriteShared));
  b.Seek(4);
  Write(b, "123456");            // "1234" fill the window, "56" start the next one
  EXPECT_EQ(b.ReadChar(), 'K');  // the file behind them, not the old window
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(Disk(), "ABCD123456KLMNOPQRSTUVWX");
}

TEST_F(FileBuffer, FailuresAreReported) {
  Put("abc");
  ASSERT_TRUE(b.Open(path_, 1, fmOpen, kModeRead));
  EXPECT_FALSE(b.WriteBlock("123456789", 9));  // the flush cannot write
  EXPECT_EQ(FileIoResult, EBADF);
  EXPECT_FALSE(b.Close());
  EXPECT_EQ(Disk(), "abc");
}

TEST_F(FileBuffer, RetryPrimitivesWaitOnlyOnAccessDeniedAndOpenWithTheMode) {
  static int pauses = 0;
  RetryPause = [](std::uint32_t) { ++pauses; };
  char c = 0;
  std::int32_t count = 0;
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
  TBinFile empty;  // a read that would block is not access denied: no second attempt
  empty.Fd = fds[0];
  EXPECT_FALSE(ReadRetry(empty, &c, 1, count));
  EXPECT_EQ(FileIoResult, EAGAIN);
  EXPECT_EQ(pauses, 0);
  close(fds[0]);
  close(fds[1]);

  TBinFile f;  // a file created for reading only is not written
  f.Name = ShortString(path_);
  ASSERT_TRUE(RewriteRetry(f, 1, kModeRead));
  EXPECT_FALSE(WriteRetry(f, "x", 1, count));
  EXPECT_EQ(FileIoResult, EBADF);
  EXPECT_TRUE(CloseFile(f));
  if (geteuid() != 0) {  // the superuser is never denied access
    chmod(path_.c_str(), 0);
    EXPECT_FALSE(ResetRetry(f, 1, kModeRead));
    EXPECT_EQ(FileIoResult, EACCES);
    EXPECT_EQ(pauses, 19);  // 20 attempts
  }
  RetryPause = SleepMs;
}

}  // namespace
}  // namespace corvix
