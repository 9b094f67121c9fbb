// Unattended posting (--post): no terminal, so the program runs with plain
// pipes. Job files byte for byte, exit statuses, and the checks that refuse a
// run before anything is posted.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

struct TRunRec {
  int Status = -1;  // exit status, or -1 when the program did not exit normally
  std::string Out, Err;
};

std::string Drain(int fd) {
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

// The job file the utility must receive, written from its 20-line layout.
std::string Job(const std::string& file, const std::string& base, const std::string& from,
                const std::string& to, const std::string& subject) {
  return "[General]\n\n  PostTextFiles = true\n  logfile = corvixutil.log\n  loglevel = 3\n"
         "  logtype = 1\n  maxlogfiles = 31\n  maxlogsize = 1500\n\n[PostTextFiles]\n\n"
         "  totalfiles = 1\n\n  file1_name    = " +
         file + "\n  file1_baseidx = " + base + "\n  file1_from    = " + from +
         "\n  file1_to      = " + to + "\n  file1_subj    = " + subject +
         "\n  file1_addr    = 1:1/100\n  file1_delfile = false\n";
}

class UnattendedTest : public HostFixture {
 protected:
  // Runs the copied program with Args in the work directory, standard input
  // from /dev/null, and the state directory below the test's root.
  // A null Locale keeps the test's environment; "" clears every locale
  // variable, as cron does; another value is set as LC_ALL.
  TRunRec Post(const std::vector<std::string>& args, const char* locale = nullptr) {
    int out, err;
    const pid_t pid = Launch(args, out, err, locale);
    return Finish(pid, out, err);
  }
  // Starts the program as Post does, without waiting: its pid, and its
  // output's pipes in Out and Err for Finish.
  pid_t Launch(const std::vector<std::string>& args, int& outFd, int& errFd,
               const char* locale = nullptr) {
    int out[2], err[2];
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    const std::string exe = appDir_ + "/corvixmass";
    const std::string state = root_ + "/state";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("XDG_STATE_HOME", state.c_str(), 1);
      if (locale != nullptr)
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) ::unsetenv(name);
      if (locale != nullptr && *locale != '\0') ::setenv("LC_ALL", locale, 1);
      const int null = ::open("/dev/null", O_RDONLY);
      ::dup2(null, 0);
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      if (::chdir(workDir_.c_str()) != 0) ::_exit(126);
      std::vector<char*> argv{const_cast<char*>(exe.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(exe.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    outFd = out[0];
    errFd = err[0];
    return pid;
  }
  TRunRec Finish(pid_t pid, int outFd, int errFd) {
    TRunRec run;
    run.Out = Drain(outFd);  // the outputs are small: one after the other is enough
    run.Err = Drain(errFd);
    ::close(outFd);
    ::close(errFd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }
  std::string Received(int n) {
    return ReadFile(hostDir_ + "/received-" + std::to_string(n) + ".ini");
  }
};

TEST_F(UnattendedTest, PostsEachBaseInCatalogueOrderWithTheSameJobFiles) {
  std::filesystem::create_directories(root_ + "/state/corvixmass/selections");
  WriteFile(root_ + "/state/corvixmass/selections/last", "65535\n");
  const TRunRec run = Post({"--post", "message.txt", "--bases", "@last, 7,007", "--subject",
                            "Weekly news", "--to", "Sysops", "--yes"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  const std::string file = workDir_ + "/message.txt";
  EXPECT_EQ(Received(1), Job(file, "7", "The Sysop", "Sysops", "Weekly news"));
  EXPECT_EQ(Received(2), Job(file, "65535", "The Sysop", "Sysops", "Weekly news"));
  EXPECT_FALSE(Exists(hostDir_ + "/received-3.ini"));
  EXPECT_EQ(run.Out,
            "[1/2] posting to base 7 (LINUX.7)\n[2/2] posting to base 65535 (LAST.BASE)\n"
            "    7  LINUX.7       ok\n65535  LAST.BASE     ok\nPosted to 2 bases: 2 ok.\n");
  EXPECT_EQ(run.Err, "");

  // The same text again to base 7 is refused, naming it as --list-bases
  // does, and nothing is posted; --again posts. A utility that fails makes
  // the exit status 3; the next base is still posted.
  WriteFile(hostDir_ + "/corvixutil", "#!/bin/sh\necho run >> calls.log\nexit 4\n");
  const std::vector<std::string> again = {"--post",    "message.txt", "--bases", "20,7",
                                          "--subject", "S",           "--yes"};
  const TRunRec refused = Post(again);
  EXPECT_EQ(refused.Status, 1);
  EXPECT_NE(refused.Err.find("already posted to 1 of these bases"), std::string::npos);
  EXPECT_NE(refused.Err.find("\n7\tLINUX.7\t"), std::string::npos) << refused.Err;
  EXPECT_EQ(refused.Err.find("\n20\t"), std::string::npos) << refused.Err;
  EXPECT_EQ(ReadFile(hostDir_ + "/calls.log").find("run"), std::string::npos);
  std::vector<std::string> withAgain = again;
  withAgain.push_back("--again");
  const TRunRec failed = Post(withAgain);
  EXPECT_EQ(failed.Status, 3);
  EXPECT_EQ(ReadFile(hostDir_ + "/calls.log").size(), 2 * (hostDir_.size() + 15) + 8);
  EXPECT_NE(failed.Out.find("Posted to 2 bases: 2 failed."), std::string::npos);
}

TEST_F(UnattendedTest, RefusesBeforeAnythingIsPosted) {
  const std::vector<std::string> post = {"--post", "message.txt"};
  struct Case {
    std::vector<std::string> args;
    const char* complaint;
    int status = 1;  // 2: the command line itself is misused
  };
  const Case cases[] = {
      {{"--bases", "7,8", "--subject", "S", "--yes"}, "base 8 is not in the catalogue"},
      {{"--bases", "7", "--subject", "", "--yes"}, "the subject is empty"},
      {{"--bases", "7", "--subject", "S", "--from", "a\nb", "--yes"},
       "--from holds a control character"},
      {{"--bases", "7", "--subject", "a\x1b]0;x\x07", "--yes"}, "--subject holds a control char"},
      {{"--bases", "--subject", "S", "--yes"}, "option '--bases' needs a value", 2},
      {{"--bases", "7", "--subject", "S"}, "not posting without --yes"},
      {{"--bases", "7", "--yes"}, "--post needs --subject", 2},
      {{"--bases", "7,x", "--subject", "S", "--yes"}, "\"x\" in --bases"},
      {{"--bases", "30-99,7", "--subject", "S", "--yes"}, "\"30-99\" in --bases names no base"},
      {{"--bases", "@nothing", "--subject", "S", "--yes"}, "selection \"nothing\""},
      {{"--bases", "7", "--subject", "S", "--yes", "--cc"}, "unrecognized option '--cc'", 2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = post;
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.complaint);
    const TRunRec run = Post(args);
    EXPECT_EQ(run.Status, c.status);
    EXPECT_NE(run.Err.find(c.complaint), std::string::npos) << run.Err;
  }
  const TRunRec missing = Post({"--post", "none.txt", "--bases", "7", "--subject", "S", "--yes"});
  EXPECT_EQ(missing.Status, 1);
  // A generator that failed must not post blank messages everywhere.
  WriteFile(workDir_ + "/blank.txt", " \t\r\n\n");
  const TRunRec blank = Post({"--post", "blank.txt", "--bases", "7", "--subject", "S", "--yes"});
  EXPECT_EQ(blank.Status, 1);
  EXPECT_EQ(blank.Err, "corvixmass: blank.txt is empty\n");
  EXPECT_FALSE(Exists(hostDir_ + "/calls.log"));
  EXPECT_FALSE(Exists(hostDir_ + "/aupload.ini"));
}

// The host gets the same bytes from a shell and from cron: the subject in
// code page 437 whatever the locale, and a character it lacks refused.
TEST_F(UnattendedTest, TheJobFileIsTheSameUnderAnyLocale) {
  std::string config = DefaultConfig();
  WriteConfig(config.insert(config.find("[corvix]\n") + 9, "address = 2:250/10\n"));
  const std::string file = workDir_ + "/message.txt";
  int n = 0;
  for (const char* locale : {"", "C.UTF-8", "C"}) {
    const TRunRec run = Post({"--post", "message.txt", "--bases", "7", "--subject",
                              "Caf\xC3\xA9 night", "-y", "--again"},
                             locale);
    EXPECT_EQ(run.Status, 0) << locale << run.Err;
    std::string job = Job(file, "7", "The Sysop", "All", "Caf\x82 night");
    job.replace(job.find("1:1/100"), 7, "2:250/10");
    EXPECT_EQ(Received(++n), job) << locale;
  }
  const TRunRec dash = Post({"--post", "message.txt", "--bases", "7", "--subject",
                             "Caf\xC3\xA9 \xE2\x80\x93 night", "-y"},
                            "C.UTF-8");
  EXPECT_EQ(dash.Status, 1);
  EXPECT_EQ(dash.Err,
            "corvixmass: the subject holds '\xE2\x80\x93' (U+2013), which code page 437 lacks\n");
  EXPECT_FALSE(Exists(hostDir_ + "/received-" + std::to_string(n + 1) + ".ini"));
}

TEST_F(UnattendedTest, DryRunPrintsTheJobFilesAndRunsNoUtility) {
  const TRunRec run =
      Post({"--post", "message.txt", "--bases", "20", "--subject", "S", "--dry-run"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "--- base 20 (RETRO): " + hostDir_ + "/aupload.ini would hold ---\n" +
                         Job(workDir_ + "/message.txt", "20", "The Sysop", "All", "S") +
                         "Dry run: nothing was posted to the 1 bases.\n");
  EXPECT_FALSE(Exists(hostDir_ + "/calls.log"));
  EXPECT_FALSE(Exists(hostDir_ + "/aupload.ini"));
}

// Scripts name bases by range and echo tag, list them, and a quiet run says
// only what failed.
TEST_F(UnattendedTest, RangesTagsListingAndQuietRuns) {
  WriteCatalogue("99\tLINUX.99\tOld\n100\tLINUX.100\tNew\n101\tRETRO\tRetro\n102\tAMIGA\tAmiga\n");
  TRunRec run = Post({"--post", "message.txt", "--bases", "100-102", "--subject=S", "-n"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  for (const char* base : {"100 (LINUX.100)", "101 (RETRO)", "102 (AMIGA)"})
    EXPECT_NE(run.Out.find(std::string("--- base ") + base), std::string::npos) << base;
  EXPECT_EQ(run.Out.find("--- base 99"), std::string::npos);

  run = Post({"--list-bases", "linux"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "99\tLINUX.99\tOld\n100\tLINUX.100\tNew\n");

  run = Post({"-qy", "--post", "message.txt", "--bases", "linux*", "--subject", "S"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out + run.Err, "");
  EXPECT_EQ(Received(2), Job(workDir_ + "/message.txt", "100", "The Sysop", "All", "S"));
  WriteFile(hostDir_ + "/corvixutil",
            "#!/bin/sh\ngrep -q 'baseidx = 101' aupload.ini && exit 4\n:\n");
  run = Post({"-qy", "--post", "message.txt", "--bases", "100,101", "--subject", "S", "--again"});
  EXPECT_EQ(run.Status, 3);
  EXPECT_EQ(run.Out,
            "  101  RETRO         exit status 4\nPosted to 2 bases: 1 ok, 1 failed.\n"
            "Not posted: 1 base; corvixmass --select rest " +
                workDir_ + "/message.txt posts them.\n");
  EXPECT_EQ(run.Err, "corvixmass: base 101 (RETRO): exit status 4\n");
}

// Output that cannot be written is an error, whether it fails at once (a
// long text) or only when the buffer is flushed at the end (a short one); a
// posting done meanwhile still counts as posted.
TEST_F(UnattendedTest, AFailedWriteToStandardOutputEndsWithStatusOne) {
  for (const char* args :
       {"--list-bases", "--version", "--help", "--post message.txt --bases 20 --subject W -y"}) {
    SCOPED_TRACE(args);
    const std::string run = "cd " + workDir_ + " && XDG_STATE_HOME=" + root_ + "/state " + appDir_ +
                            "/corvixmass " + args + " >/dev/full 2>" + root_ + "/err";
    const int status = std::system(run.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_EQ(ReadFile(root_ + "/err"), "corvixmass: write error: No space left on device\n");
  }
  EXPECT_EQ(Received(1), Job(workDir_ + "/message.txt", "20", "The Sysop", "All", "W"));
}

// kill -9 while the utility works: the orphan keeps the host directory
// locked, so the next run waits and every job reaches the utility once,
// unchanged while it runs. The run after the orphan tells the interrupted
// base once, and "rest" holds the bases never started.
TEST_F(UnattendedTest, AKilledRunLeavesItsUtilityTheLockAndTheNextRunTellsIt) {
  WriteFile(hostDir_ + "/corvixutil",
            "#!/bin/sh\nb=$(grep baseidx aupload.ini)\ntouch began\nsleep 0.4\n"
            "echo \"${b##* } $(grep baseidx aupload.ini | sed 's/.* //')\" >> seen.log\n");
  const std::string seen = hostDir_ + "/seen.log";
  auto killWhileTheUtilityRuns = [&] {
    std::filesystem::remove(hostDir_ + "/began");
    int out, err;
    const pid_t pid = Launch(
        {"-y", "--again", "--post", "message.txt", "--bases", "7,20,65535", "--subject", "S"}, out,
        err);
    for (int i = 0; i < 500 && !Exists(hostDir_ + "/began"); ++i) ::usleep(10000);
    ::kill(pid, SIGKILL);
    Finish(pid, out, err);
  };
  killWhileTheUtilityRuns();
  TRunRec run = Post({"-y", "--post", "message.txt", "--bases", "20", "--subject", "S"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(ReadFile(seen), "7 7\n20 20\n");
  // Told once the orphan let go; what the killed run left stays in "rest".
  EXPECT_NE(run.Err.find("interrupted at base 7 (LINUX.7)"), std::string::npos) << run.Err;
  const std::string rest = ReadFile(root_ + "/state/corvixmass/selections/rest");
  EXPECT_EQ(rest.substr(rest.find('\n') + 1), "65535\n");

  WriteFile(seen, "");
  killWhileTheUtilityRuns();
  for (int i = 0; i < 500 && ReadFile(seen).empty(); ++i) ::usleep(10000);
  const std::string file = workDir_ + "/message.txt";
  run = Post({"-y", "--again", "--post", "message.txt", "--bases", "@rest", "--subject", "S"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  ASSERT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 2) << run.Err;
  EXPECT_EQ(run.Err.find("corvixmass: The posting of " + file + " started "), 0u) << run.Err;
  EXPECT_NE(run.Err.find(" was interrupted at base 7 (LINUX.7): the utility may or may not have "
                         "posted it.\ncorvixmass: Not posted: 2 bases; corvixmass --select rest " +
                         file + " posts them.\n"),
            std::string::npos)
      << run.Err;
  EXPECT_EQ(ReadFile(seen), "7 7\n20 20\n65535 65535\n");
  EXPECT_FALSE(Exists(root_ + "/state/corvixmass/selections/rest"));
  // @rest named while the orphan still works is read once it has ended.
  WriteFile(seen, "");
  killWhileTheUtilityRuns();
  run = Post({"-y", "--again", "--post", "message.txt", "--bases", "@rest", "--subject", "S"});
  EXPECT_EQ(ReadFile(seen), "7 7\n20 20\n65535 65535\n") << run.Err;

  // The full-screen run tells it in a notice before anything else.
  WriteFile(root_ + "/state/corvixmass/posted.log",
            "2026-01-02T10:00:00+0000\t" + hostDir_ + "\t20\tRETRO\tS\tstarted\t/m.txt\t\t\t\n");
  PtySession& screen = Start({"message.txt"});
  EXPECT_TRUE(screen.WaitForText("base 20 (RETRO): the utility may or may not have posted it."));
}

// A posting log that cannot be written stops no posting, is tried for every
// base, and makes the run end with status 1 saying so; a line cut short
// before is ended first.
TEST_F(UnattendedTest, APostingLogThatCannotBeWrittenIsAFailure) {
  const std::string log = root_ + "/state/corvixmass/posted.log";
  std::filesystem::create_directories(root_ + "/state/corvixmass");
  WriteFile(log, "cut short");
  TRunRec run = Post({"-y", "--post", "message.txt", "--bases", "7", "--subject", "S"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(ReadFile(log).find("cut short\n2"), 0u);
  std::filesystem::remove(log);
  std::filesystem::create_directory(log);
  run = Post({"-y", "--post", "message.txt", "--bases", "20,65535", "--subject", "S"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(Exists(hostDir_ + "/received-3.ini"));
  // The reading before the run warns too; the failure to record is the last word.
  const std::string told =
      "\ncorvixmass: posted.log: Is a directory: the postings above are not recorded\n";
  EXPECT_EQ(run.Err.rfind(told), run.Err.size() - told.size()) << run.Err;
}

// Only a terminal can answer the question: without --yes it is asked once,
// after the bases it would post to, and yes posts. A file name that holds a
// terminal command reaches the terminal masked, in the question and in errors.
TEST_F(UnattendedTest, AsksOnceOnATerminalListingTheBases) {
  const std::string title = "t\x1b]0;x\x07.txt";
  std::filesystem::copy_file(workDir_ + "/message.txt", workDir_ + "/" + title);
  PtySession& run = Start({"--post", title, "--bases", "7,65535", "--subject", "S"});
  ASSERT_TRUE(run.WaitForText("Post t?]0;x?.txt to 2 bases? [y/N]"));
  EXPECT_NE(run.Raw().find("7\tLINUX.7\tLinux help\r\n65535\tLAST.BASE\tThe last base\r\nPost"),
            std::string::npos);
  run.Send("y\r");
  EXPECT_EQ(run.WaitExit(), 0);
  EXPECT_EQ(run.Raw().find("\x1b]0;x"), std::string::npos);
  EXPECT_EQ(Received(1), Job(workDir_ + "/" + title, "7", "The Sysop", "All", "S"));

  TRunRec missing = Post({"--post", "no\x1b]0;x\x07", "--bases", "7", "--subject", "S"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err, "corvixmass: no?]0;x?: no such message file\n");
}

// More than twenty bases: the question lists twenty and counts the rest.
TEST_F(UnattendedTest, TheQuestionListsTwentyBasesAtMost) {
  std::string catalogue;
  for (int n = 1; n <= 23; ++n)
    catalogue += std::to_string(n) + "\tT" + std::to_string(n) + "\tBase\n";
  WriteCatalogue(catalogue);
  PtySession& run = Start({"--post", "message.txt", "--bases", "1-23", "--subject", "S"});
  ASSERT_TRUE(run.WaitForText("Post message.txt to 23 bases? [y/N]"));
  EXPECT_NE(run.Raw().find("20\tT20\tBase\r\n... and 3 more\r\nPost"), std::string::npos);
  run.Send("n\r");
  EXPECT_EQ(run.WaitExit(), 0);
}

}  // namespace
}  // namespace corvix::e2e
