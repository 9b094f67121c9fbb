// The job file byte for byte, its path, and the line-break guard.
#include "app/posting_job.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <fstream>
#include <sstream>
#include <string>

#include "app/base_select.h"
#include "app/session.h"
#include "app/message_info.h"
#include "support/io_error.h"
#include "testkit/temp_dir.h"
#include "widgets/light_bar.h"

namespace corvix {
namespace {

TEST(JobFile, HasTwentyLfLinesWithEqualsInColumnSeventeen) {
  std::string job = BuildJobFile({"/home/sysop/news.txt", "65535", "The Sysop", "", "Hi"});
  EXPECT_EQ(job,
            "[General]\n\n  PostTextFiles = true\n  logfile = corvixutil.log\n  loglevel = 3\n"
            "  logtype = 1\n  maxlogfiles = 31\n  maxlogsize = 1500\n\n[PostTextFiles]\n\n"
            "  totalfiles = 1\n\n"
            "  file1_name    = /home/sysop/news.txt\n"
            "  file1_baseidx = 65535\n"
            "  file1_from    = The Sysop\n"
            "  file1_to      = \n"
            "  file1_subj    = Hi\n"
            "  file1_addr    = 1:1/100\n"
            "  file1_delfile = false\n");
  std::istringstream lines(job);
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    ++n;
    if (n >= 14) {
      EXPECT_EQ(line.find('='), 16u) << "line " << n;
    }
  }
  EXPECT_EQ(n, 20);
}

TEST(JobFile, ALineLongerThan255IsCut) {
  std::string job = BuildJobFile({"f", "1", "", "", std::string(300, 's')});
  std::string subjectLine = "  file1_subj    = " + std::string(255 - 18, 's') + "\n";
  EXPECT_NE(job.find(subjectLine), std::string::npos);
  EXPECT_NE(job.find(subjectLine + "  file1_addr"), std::string::npos);
}

TEST(JobFile, PathIsTheSameWithAndWithoutTrailingSlash) {
  EXPECT_EQ(JobFilePath("/bbs/host"), ShortString("/bbs/host/aupload.ini"));
  EXPECT_EQ(JobFilePath("/bbs/host/"), ShortString("/bbs/host/aupload.ini"));
  EXPECT_EQ(JobFilePath(""), ShortString("/aupload.ini"));
  // Near the 255 limit the name still comes whole: the utility reads aupload.ini.
  const std::string longDir = "/" + std::string(250, 'd');
  EXPECT_EQ(JobFilePath(longDir), longDir + "/aupload.ini");
  EXPECT_EQ(JobFilePath(longDir + "/"), longDir + "/aupload.ini");
}

TEST(JobFile, NamesTheValueThatHoldsALineBreak) {
  EXPECT_TRUE(ValueWithLineBreak({"f", "1", "a", "b", "c"}).empty());
  EXPECT_EQ(ValueWithLineBreak({"f\n", "1", "a", "b", "c"}), ShortString("message file name"));
  EXPECT_EQ(ValueWithLineBreak({"f", "1", "a", "b", "x\rfile1_delfile = true"}),
            ShortString("Subject field"));
  EXPECT_EQ(ValueWithLineBreak({"f", "1", "a", "b\n", "c"}), ShortString("To field"));
}

TEST(JobFile, WriteIsCheckedAndReplacesTheFile) {
  testkit::TempDir dir;
  std::string path = dir / "aupload.ini";
  WriteJobFile(path, "a much longer first content\n");
  WriteJobFile(path, "short\n");
  EXPECT_EQ(dir.Get("aupload.ini"), "short\n");
  EXPECT_THROW(WriteJobFile(dir / "missing/aupload.ini", "x"), IoError);
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_THROW(WriteJobFile("/dev/full", "disk full"), IoError);
  }
}

TEST(JobFile, RelativePathsAreResolvedAgainstTheStartDirectory) {
  EXPECT_EQ(AbsoluteFrom("/home/sysop", "news.txt"), ShortString("/home/sysop/news.txt"));
  EXPECT_EQ(AbsoluteFrom("/home/sysop/", "../x"), ShortString("/home/sysop/../x"));
  EXPECT_EQ(AbsoluteFrom("/home/sysop", "/abs/news.txt"), ShortString("/abs/news.txt"));
  // Not cut at 255: the caller must see that the name would not fit.
  EXPECT_EQ(AbsoluteFrom("/" + std::string(200, 'd'), std::string(100, 'n')).size(), 302u);
}

// A second operator holding the job file waits us out: our utility starts only
// after their lock is gone, and reads our job, not theirs.
TEST(PostToBase, WaitsForAnotherPostersLockAndRunsTheUtilityOnItsOwnJob) {
  testkit::TempDir dir;
  const std::string host = dir.Path().substr(0, dir.Path().size() - 1);
  {
    std::ofstream util(host + "/corvixutil");
    util << "#!/bin/sh\ncp aupload.ini seen.ini\n";
  }
  chmod((host + "/corvixutil").c_str(), 0755);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  Session.HostDir = host;
  Session.MsgSubject = "mine";

  int other = open((host + "/aupload.ini").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  std::atomic<bool> done{false};
  std::thread poster([&] {
    PostToBase("/msg.txt", "42");
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done);
  EXPECT_NE(access((host + "/seen.ini").c_str(), F_OK), 0);
  close(other);  // the other operator's utility has ended
  poster.join();
  const std::string seen = dir.Get("seen.ini");
  EXPECT_NE(seen.find("  file1_baseidx = 42\n"), std::string::npos);
  EXPECT_NE(seen.find("  file1_subj    = mine\n"), std::string::npos);
  ASSERT_EQ(chdir(cwd), 0);
}

TEST(BaseLine, LaysOutNumberTagAndNameAndNeverReadsPastTheRecord) {
  std::uint8_t rec[kBaseRecSize] = {};
  rec[0] = 7;
  const char name[] = "Linux help";
  rec[2] = sizeof name - 1;
  std::copy(name, name + sizeof name - 1, rec + 3);
  const char tag[] = "LINUX.7";
  rec[585] = sizeof tag - 1;
  std::copy(tag, tag + sizeof tag - 1, rec + 586);
  TBaseLineRec line = BaseLineFromRecord(rec);
  EXPECT_EQ(line.Text, ShortString("7   LINUX.7      Linux help"));
  EXPECT_EQ(line.Data, ShortString("7"));

  rec[0] = 0xFF;
  rec[1] = 0xFF;
  rec[585] = 255;  // claims more than the 182 bytes left in the record
  std::fill(rec + 586, rec + kBaseRecSize, 'T');
  line = BaseLineFromRecord(rec);
  EXPECT_EQ(line.Data, ShortString("65535"));
  EXPECT_EQ(line.Text, ShortString("6553TTTTTTTTTTTT Linux help"));

  rec[2] = 255;  // the longest name: the line is cut at 255
  std::fill(rec + 3, rec + 258, 'n');
  line = BaseLineFromRecord(rec);
  EXPECT_EQ(line.Text, ShortString("6553TTTTTTTTTTTT " + std::string(238, 'n')));
}

// A catalogue longer than one read block (341 records of 768 bytes), ending in
// a partial record: every whole record becomes its line, in file order.
TEST(BaseLine, LoadBaseListReadsEveryWholeRecordInOrder) {
  testkit::TempDir dir;
  const std::string path = dir / "mbases.dat";
  const int count = 1000;
  std::string file;
  for (int i = 0; i < count; ++i) {
    std::string rec(kBaseRecSize, '\0');
    const int number = 65535 - i * 37;
    rec[0] = static_cast<char>(number & 0xFF);
    rec[1] = static_cast<char>(number >> 8);
    const std::string name = "Base " + std::to_string(i);
    rec[2] = static_cast<char>(name.size());
    rec.replace(3, name.size(), name);
    rec[585] = 3;
    rec.replace(586, 3, "TAG");
    file += rec;
  }
  file += std::string(100, 'x');
  dir.Put("mbases.dat", file);

  TBar list;
  LoadBaseList(list, path);
  ASSERT_EQ(list.ItemCount(), count);
  EXPECT_EQ(list.Count, count);
  for (int i : {0, 340, 341, 682, 999}) {
    const std::string digits = std::to_string(65535 - i * 37);
    EXPECT_EQ(list.Data(i), ShortString(digits)) << i;
    // Five digits each: the number column shows the first four.
    EXPECT_EQ(list.Text(i).Str(), digits.substr(0, 4) + "TAG" + std::string(9, ' ') + " Base " + std::to_string(i))
        << i;
    EXPECT_FALSE(list.Marked(i));
  }
}

}  // namespace
}  // namespace corvix
