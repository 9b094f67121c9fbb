// The job file byte for byte, its path and checks, the utility run, the
// posting loop and its log.
#include "app/posting/posting_job.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/config/selections.h"
#include "app/config/session.h"
#include "app/posting/posting_journal.h"
#include "app/posting/posting_log.h"
#include "app/posting/posting_summary.h"
#include "app/screens/base_select.h"
#include "support/io_error.h"
#include "support/string_utils.h"
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

// A temporary host directory with a utility script, removed afterwards.
class HostDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = dir_.Path();
    host_.pop_back();  // a host directory as the configuration names it
    setenv("XDG_STATE_HOME", (host_ + "/state").c_str(), 1);
  }
  void Utility(const std::string& script) {
    dir_.Put("corvixutil", "#!/bin/sh\n" + script);
    chmod((dir_ / "corvixutil").c_str(), 0755);
  }
  std::string Read(const std::string& name) { return dir_.Get(name); }
  TPostingJobRec Job() { return {host_, "/msg.txt", "Me", "All", "mine", 0, ""}; }
  testkit::TempDir dir_;
  std::string host_;
};

using JobFileWrite = HostDirTest;

// The job file replaces a symbolic link planted in its place (the target
// stays as it was), comes whole with mode 0644 whatever the umask, and
// leaves no file of its own behind.
TEST_F(JobFileWrite, ReplacesALinkNeverItsTargetAndLeavesNothingElse) {
  std::ofstream(host_ + "/victim") << "precious\n";
  ASSERT_EQ(symlink((host_ + "/victim").c_str(), (host_ + "/aupload.ini").c_str()), 0);
  int dirFd = open(host_.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dirFd, 0);
  mode_t old = umask(077);
  WriteJobFile(dirFd, host_, "a much longer first content\n");
  WriteJobFile(dirFd, host_, "short\n");
  umask(old);
  EXPECT_EQ(Read("victim"), "precious\n");
  EXPECT_EQ(Read("aupload.ini"), "short\n");
  struct stat st {};
  ASSERT_EQ(lstat((host_ + "/aupload.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  // aupload.ini itself a directory: the rename fails, the new file goes again.
  ASSERT_EQ(unlink((host_ + "/aupload.ini").c_str()), 0);
  ASSERT_EQ(mkdir((host_ + "/aupload.ini").c_str(), 0755), 0);
  EXPECT_THROW(WriteJobFile(dirFd, host_, "x\n"), IoError);
  close(dirFd);
  // Only the target and aupload.ini: no new file is left behind.
  EXPECT_EQ(std::system(("test $(ls -A '" + host_ + "' | wc -l) -eq 2").c_str()), 0);
}

TEST(JobFile, CheckRefusesWhatWouldPostTheWrongThing) {
  const std::string cwd = "/" + std::string(200, 'c');
  struct Case {
    std::string HostDir, MsgFile, Subject, Notice;
  } cases[] = {
      {"", "m.txt", "s", "The host directory is not set. Nothing was posted."},
      {std::string(55, 'h'), "/m", "s",
       "The host directory name is longer than 255 characters. Nothing was posted."},
      {"/bbs", std::string(37, 'm'), "s",
       "The message file name is too long for the job file. Nothing was posted."},
      {"/bbs", "/m", "a\rb", "The Subject field holds a line break. Nothing was posted."},
      {std::string(53, 'h'), std::string(35, 'm'), "s", ""},
  };
  for (const Case& c : cases) {
    TPostingJobRec job{c.HostDir, c.MsgFile, "f", "t", c.Subject, 0, ""};
    EXPECT_EQ(CheckPostingJob(cwd, job, {{"1", "", TPostOutcome::kNotStarted, -1, ""}}), c.Notice)
        << c.HostDir;
    if (c.Notice.empty()) {
      EXPECT_EQ(job.HostDir, cwd + "/" + c.HostDir);  // 255 characters fit
      EXPECT_EQ(job.MsgFile.Str(), cwd + "/" + c.MsgFile);
    }
  }
  TPostingJobRec job{"/bbs", "/m", "", "", "s", 0, ""};
  EXPECT_EQ(CheckPostingJob(cwd, job, {{"1\n2", "", TPostOutcome::kNotStarted, -1, ""}}),
            "The base number holds a line break. Nothing was posted.");
}

TEST(UtilityOutput, LastLineSkipsEmptyLinesAndShowsControlBytes) {
  EXPECT_EQ(LastOutputLine(""), "");
  EXPECT_EQ(LastOutputLine("one\ntwo\n\n"), "two");
  EXPECT_EQ(LastOutputLine("one\r\nhalf"), "half");
  EXPECT_EQ(LastOutputLine("50%\r60%\r"), "60%");
  EXPECT_EQ(LastOutputLine("x\x1b[2Jy\x7f\n"), "x?[2Jy?");
}

// A second operator holding the host directory waits us out: our utility
// starts only after their lock is gone, and reads our job, not theirs.
using PostToBaseTest = HostDirTest;
TEST_F(PostToBaseTest, WaitsForAnotherPostersLockAndRunsTheUtilityOnItsOwnJob) {
  // The utility locks its own job file: no deadlock with our lock.
  Utility("flock aupload.ini cp aupload.ini seen.ini\n");
  int other = open(host_.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  std::atomic<bool> done{false};
  TPostingJobRec job = Job();
  std::thread poster([&] {
    TUtilityWatch watch;
    PostToBase(job, "42", watch);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done);
  EXPECT_NE(access((host_ + "/seen.ini").c_str(), F_OK), 0);
  close(other);  // the other operator's utility has ended
  poster.join();
  EXPECT_NE(Read("seen.ini").find("  file1_baseidx = 42\n"), std::string::npos);
  EXPECT_NE(Read("seen.ini").find("  file1_subj    = mine\n"), std::string::npos);
}

// Stops as a script asks for them, and what the loop reports.
class ScriptedObserver : public TPostingObserver {
 public:
  // Another thread sets Stop and then writes to the wake pipe.
  int WakeFd() override { return wake[0]; }
  TStopRequest CheckStop() override {
    char drain[16];
    if (wake[0] >= 0)
      while (read(wake[0], drain, sizeof drain) > 0) {
      }
    return stop;
  }
  void BaseStarting(int n, int m, const TPostedRec& base) override {
    events +=
        "start " + std::to_string(n) + "/" + std::to_string(m) + " " + base.BaseNumber.Str() + "\n";
    if (n == stopAt) stop = stopWith;
  }
  void OutputLine(const std::string& line) override { lines.push_back(line); }
  void LogProblem(const std::string& text) override { problems.push_back(text); }
  int stopAt = 0;
  TStopRequest stopWith = TStopRequest::kNone;
  std::atomic<TStopRequest> stop{TStopRequest::kNone};
  int wake[2] = {-1, -1};
  std::string events;
  std::vector<std::string> lines;
  std::vector<std::string> problems;
};

std::vector<TPostedRec> Bases(std::initializer_list<const char*> numbers) {
  std::vector<TPostedRec> out;
  for (const char* n : numbers)
    out.push_back({n, std::string(n) + "  TAG" + n, TPostOutcome::kNotStarted, -1, ""});
  return out;
}

using PostingLoop = HostDirTest;

// The utility runs without the terminal: stdin from /dev/null, its output
// captured, its own process group. Its status counts; a stop after base 2
// lets that base finish and leaves base 3 not started; the log has all that ran.
TEST_F(PostingLoop, RunsEachBaseRecordsResultsAndStopsAfterTheCurrentBase) {
  Utility(
      "base=$(sed -n 's/^  file1_baseidx = //p' aupload.ini)\n"
      "echo \"stdin: $(cat | wc -c) tty: $(tty) group: $(cut -d' ' -f5 /proc/$$/stat)\"\n"
      "echo \"base $base done\" >&2\n"
      "exit $((base % 10))\n");
  ScriptedObserver observer;
  observer.stopAt = 2;
  observer.stopWith = TStopRequest::kAfterBase;
  std::vector<TPostedRec> bases = Bases({"10", "23", "30"});
  RunPostingJob(Job(), bases, observer);
  EXPECT_EQ(observer.events, "start 1/3 10\nstart 2/3 23\n");
  EXPECT_EQ(PostedResultText(bases[0]), "ok");
  EXPECT_EQ(PostedResultText(bases[1]), "exit status 3");
  EXPECT_EQ(bases[1].LastLine, "base 23 done");
  EXPECT_EQ(PostedResultText(bases[2]), "not started");
  ASSERT_FALSE(observer.lines.empty());
  EXPECT_EQ(observer.lines.back(), "base 23 done");
  // An entry per base that ran: the fields after the time, then the output.
  const std::string log = Read("state/corvixmass/posted.log");
  const std::string head = "\t" + host_ + "\t";
  EXPECT_NE(
      log.find(head +
               "10\tTAG10\tmine\tok\t/msg.txt\tMe\tAll\t\n    stdin: 0 tty: not a tty group: "),
      std::string::npos)
      << log;
  EXPECT_NE(log.find(head + "23\tTAG23\tmine\texit status 3\t/msg.txt\tMe\tAll\t\n"),
            std::string::npos);
  EXPECT_NE(log.find("\n    base 23 done\n"), std::string::npos);
  EXPECT_EQ(log.find("\t30\t"), std::string::npos);
  // A process group of its own, so the terminal's signals do not reach it.
  EXPECT_NE(std::stol(log.substr(log.find("group: ") + 7)), static_cast<long>(getpgrp()));
  EXPECT_TRUE(observer.problems.empty());
}

// Stopped at once: SIGTERM to the whole group, SIGKILL when that is ignored.
// A log that cannot be written is said once and stops nothing.
TEST_F(PostingLoop, StopNowEndsAUtilityThatIgnoresTermAndALogProblemIsSaidOnce) {
  Utility("trap '' TERM\necho $$ > pid\necho started\nwhile :; do sleep 0.05; done\n");
  std::ofstream(host_ + "/state") << "a file where the state directory should be\n";
  ScriptedObserver observer;
  ASSERT_EQ(pipe2(observer.wake, O_NONBLOCK | O_CLOEXEC), 0);
  std::vector<TPostedRec> bases = Bases({"1", "2"});
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    observer.stop = TStopRequest::kNow;
    EXPECT_EQ(write(observer.wake[1], "k", 1), 1);
  });
  int dirFd = open(host_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  TUtilityRunRec run = RunUtility(kUtilityCommand, dirFd, observer, 100);
  stopper.join();
  close(dirFd);
  EXPECT_TRUE(run.Stopped);
  EXPECT_TRUE(WIFSIGNALED(run.WaitStatus)) << run.WaitStatus;
  EXPECT_EQ(run.LastLine, "started");
  // The script that ignored SIGTERM is gone too, not left running.
  EXPECT_NE(kill(std::stoi(Read("pid")), 0), 0);

  Utility("echo fine\n");
  observer.stop = TStopRequest::kNone;
  RunPostingJob(Job(), bases, observer);
  close(observer.wake[0]);
  close(observer.wake[1]);
  EXPECT_EQ(PostedResultText(bases[0]), "ok");
  EXPECT_EQ(PostedResultText(bases[1]), "ok");
  ASSERT_EQ(observer.problems.size(), 1u);
  EXPECT_EQ(observer.problems[0].rfind("The posting log cannot be written: " + host_ + "/state", 0),
            0u)
      << observer.problems[0];
}

// A utility that has ended but cannot be waited for (reaped elsewhere: here
// SIGCHLD is ignored) may have posted: its base is interrupted, logged after
// its "started" entry, left out of "rest", and no later base is started.
TEST_F(PostingLoop, AUtilityThatCannotBeWaitedForStopsTheRunAsInterrupted) {
  Utility("sleep 0.2\n");
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGCHLD, &ignore, &old);
  ScriptedObserver observer;
  std::vector<TPostedRec> bases = Bases({"1", "2"});
  RunPostingJob(Job(), bases, observer);
  sigaction(SIGCHLD, &old, nullptr);
  EXPECT_EQ(PostedResultText(bases[0]), "interrupted");
  EXPECT_EQ(PostedResultText(bases[1]), "not started");
  const std::string log = Read("state/corvixmass/posted.log");
  const std::size_t started = log.find("\t1\tAG1\tmine\tstarted\t/msg.txt\tMe\tAll\t\n");
  const std::size_t ended = log.find("\t1\tAG1\tmine\tinterrupted\t/msg.txt\tMe\tAll\t\n");
  EXPECT_NE(ended, std::string::npos) << log;
  EXPECT_LT(started, ended);
  std::vector<std::string> rest;
  std::string error;
  ASSERT_TRUE(LoadSelection(kRestSelection, rest, error)) << error;
  EXPECT_EQ(rest, std::vector<std::string>{"2"});
}

// Bases started and never ended are told once each, closed with an
// "interrupted" entry; one whose host directory is locked (a posting still at
// work there) waits for a later run. A "rest" left by a dead run loses the
// bases that run posted ok or may have posted.
using Review = HostDirTest;
TEST_F(Review, TellsEachUnfinishedBaseOnceAndFinishesADeadRunsRest) {
  testkit::TempDir other;
  std::string busy = other.Path();
  busy.pop_back();
  auto line = [](const std::string& host, const std::string& base, const std::string& result) {
    return "2026-01-02T10:00:00+0000\t" + host + "\t" + base + "\tT" + base + "\tS\t" + result +
           "\t/m.txt\tMe\tAll\tH\n";
  };
  std::filesystem::create_directories(host_ + "/state/corvixmass/selections");
  std::ofstream(host_ + "/state/corvixmass/posted.log")
      << line(host_, "1", "started") << line(host_, "1", "ok") << line(host_, "2", "started")
      << line(busy, "3", "started") << line(host_, "4", "started") << "    output\n"
      << line(host_, "5", "ok") << line(host_, "6", "exit status 1");
  std::ofstream(host_ + "/state/corvixmass/selections/rest")
      << "# catalogue: /c\n# posting: 999999999\t0\t0\tH\t" + host_ + "\t/m.txt\n1\n2\n4\n5\n6\n";
  const int lock = open(busy.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  const std::string told = "The posting of /m.txt started 2026-01-0";  // in any time zone
  std::vector<std::string> notices = ReviewLastPostings();
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[0].substr(0, told.size()), told);
  EXPECT_NE(notices[0].find(" was interrupted at base 2 (T2): the utility may or may not have "
                            "posted it."),
            std::string::npos);
  EXPECT_NE(notices[1].find(" at base 4 (T4): "), std::string::npos);
  EXPECT_EQ(notices[2], "Not posted: 1 base; corvixmass --select rest /m.txt posts them.");
  EXPECT_EQ(Read("state/corvixmass/selections/rest"), "# catalogue: /c\n6\n");
  EXPECT_TRUE(ReviewLastPostings().empty());
  close(lock);
  notices = ReviewLastPostings();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find(" at base 3 (T3): "), std::string::npos);
  const std::string log = Read("state/corvixmass/posted.log");
  for (auto [host, base] : {std::pair{host_, "2"}, {host_, "4"}, {busy, "3"}})
    EXPECT_NE(log.find(line(host, base, "interrupted").substr(24)), std::string::npos) << base;
}

TEST(PostingLog, EntryHasOneLineOfFieldsThenTheOutputIndented) {
  TPostedRec base{"42", "42  LINUX.7      Linux help", TPostOutcome::kEnded, 2 << 8, "bad"};
  std::string entry =
      PostingLogEntry(0, {"/bbs", "/home/op/news.txt", "Op\tX", "All", "News\x1b[2J", "00ff"}, base,
                      "one\r\n\ttwo\nbad");
  std::string stamp = entry.substr(0, entry.find('\t'));
  EXPECT_EQ(stamp.size(), 24u) << stamp;  // 1970-01-01T00:00:00+0000
  EXPECT_EQ(stamp.substr(4, 1) + stamp.substr(10, 1), "-T");
  EXPECT_EQ(entry.substr(stamp.size()),
            "\t/bbs\t42\tLINUX.7\tNews?[2J\texit status 2\t/home/op/news.txt\tOp?X\tAll\t00ff\n"
            "    one\n    ?two\n    bad\n");
  // The first line reads back; the output lines are not entries.
  TLogLineRec read;
  ASSERT_TRUE(ParseLogLine(entry.substr(0, entry.find('\n')), read));
  EXPECT_EQ(read.When, 0);
  EXPECT_EQ(read.BaseNumber + read.Result + read.To + read.Hash, "42exit status 2All00ff");
  EXPECT_FALSE(ParseLogLine("    one", read));
  // With a UTF-8 terminal the code-page-437 texts are logged in UTF-8.
  Session.Utf8Terminal = true;
  entry = PostingLogEntry(0, {"/bbs", "/m", "Op", "All", "caf\x82", ""}, base, "");
  Session.Utf8Terminal = false;
  EXPECT_NE(entry.find("\tcaf\xc3\xa9\t"), std::string::npos) << entry;
  // A tag the list shows cut is logged whole.
  base.Line = "42  LOCAL.GENER\x7f Local";
  base.EchoTag = "LOCAL.GENERAL";
  EXPECT_NE(PostingLogEntry(0, {}, base, "").find("\t42\tLOCAL.GENERAL\t"), std::string::npos);
}

// The bases a log says got a message lately: entries of the same text and
// host directory that ended ok, or were started and never ended, read from
// the end (across read blocks) back to the first entry older than the window.
TEST(PostingLog, RecentPostingsAreOkOrStartedEntriesOfTheSameTextBackToAnOlderOne) {
  testkit::TempDir dir;
  const TLogMessageRec same{"/bbs", "/m.txt", "Op", "All", "S", "aaaa"};
  TLogMessageRec other = same, elsewhere = same;
  other.Hash = "bbbb";
  elsewhere.HostDir = "/bbs2";
  const std::time_t now = 2000000000;
  auto entry = [&](std::time_t ago, const TLogMessageRec& m, const char* base, int status,
                   const std::string& output = "") {
    const TPostedRec b{base, "1   TAG", TPostOutcome::kEnded, status << 8, ""};
    return PostingLogEntry(now - ago, m, b, output);
  };
  // The line written before a utility runs; its result line may follow.
  auto started = [&](std::time_t ago, const char* base) {
    std::string line = entry(ago, same, base, 0);
    return line.replace(line.find("\tok\t"), 4, "\tstarted\t");
  };
  const std::string log = entry(10, same, "8", 0) +  // out of order: never reached
                          entry(500, same, "1", 0) +
                          entry(100, same, "2", 0, std::string(70000, 'x')) +
                          entry(90, other, "3", 0) + entry(80, elsewhere, "4", 0) +
                          started(75, "5") + entry(70, same, "5", 1) + started(60, "6") +
                          started(55, "9") + entry(50, same, "2", 0) + entry(45, same, "9", 1);
  dir.Put("posted.log", log);
  std::vector<std::string> numbers;
  std::string error;
  ASSERT_TRUE(RecentPostings(dir / "posted.log", "/bbs", "aaaa", now - 200, numbers, error));
  EXPECT_EQ(numbers, (std::vector<std::string>{"2", "6"}));
  // No log holds no postings; a FIFO in its place is not waited on.
  EXPECT_TRUE(RecentPostings(dir / "none", "/bbs", "aaaa", 0, numbers, error));
  EXPECT_TRUE(numbers.empty());
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(RecentPostings(dir / "fifo", "/bbs", "aaaa", 0, numbers, error));
  EXPECT_NE(error.find(dir / "fifo"), std::string::npos) << error;
}

// The ID column widens for the whole catalogue when a number of five digits
// comes after lines already built; a catalogue without one keeps four.
TEST(BaseLine, AFiveDigitNumberWidensEveryLineOfItsCatalogue) {
  testkit::TempDir dir;
  const std::string path = dir / "mbases.dat";
  auto record = [](unsigned number, const std::string& tag) {
    std::string rec(kBaseRecSize, '\0');
    rec[0] = static_cast<char>(number & 0xFF);
    rec[1] = static_cast<char>(number >> 8);
    rec.replace(2, 5, "\x04Name");
    rec[585] = static_cast<char>(tag.size());
    rec.replace(586, tag.size(), tag);
    return rec;
  };
  std::ofstream(path, std::ios::binary)
      << record(7, "LOCAL.GENERAL.NEWS") + record(9999, "B") + record(65534, "C");
  TBar list;
  LoadBaseList(list, path);
  EXPECT_EQ(Session.BaseIdWidth, kWideIdWidth);
  EXPECT_EQ(list.Text(0), ShortString("7    LOCAL.GENER\x7f Name"));
  EXPECT_EQ(list.Text(1), ShortString("9999 B            Name"));
  EXPECT_EQ(list.Text(2), ShortString("65534C            Name"));
  EXPECT_EQ(EchoTagOfLine(list.Text(0)), "LOCAL.GENER" + std::string(1, kCutMark));
  list.SearchText = "GENERAL.NEWS";  // the whole tag is found
  list.MarkMatching();
  EXPECT_TRUE(list.Marked(0));

  std::ofstream(path, std::ios::binary) << record(7, "A") + record(9999, "B");
  TBar narrow;
  LoadBaseList(narrow, path);
  EXPECT_EQ(Session.BaseIdWidth, kNarrowIdWidth);
  EXPECT_EQ(narrow.Text(1), ShortString("9999B            Name"));
  Session = TSession{};
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
  std::ofstream(path, std::ios::binary) << file;

  TBar list;
  LoadBaseList(list, path);
  ASSERT_EQ(list.ItemCount(), count);
  EXPECT_EQ(list.Count, count);
  for (int i : {0, 340, 341, 682, 999}) {
    const std::string digits = std::to_string(65535 - i * 37);
    EXPECT_EQ(list.Data(i), ShortString(digits)) << i;
    // Five digits each: the number column is five wide.
    EXPECT_EQ(list.Text(i).Str(),
              digits + "TAG" + std::string(9, ' ') + " Base " + std::to_string(i))
        << i;
    EXPECT_FALSE(list.Marked(i));
  }
}

}  // namespace
}  // namespace corvix
