// The start-up as the built programs run it: refusals before the terminal is
// touched, --check and --config, the resize request of a small terminal, and
// mkcatalog's input checks.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

struct PipedRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// Runs Program with Args in Cwd with standard input from /dev/null and both
// outputs captured: no terminal anywhere.
PipedRun RunPiped(const std::string& program, const std::vector<std::string>& args,
                  const std::string& cwd) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  PipedRun r;
  // The outputs are small: standard error is read after standard output ends.
  for (auto [fd, text] : {std::pair{out[0], &r.Out}, std::pair{err[0], &r.Err}}) {
    char buf[4096];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
      text->append(buf, static_cast<std::size_t>(n));
    close(fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

using StartupTest = HostFixture;

TEST_F(StartupTest, WithoutATerminalTheRunIsRefusedBeforeAnythingIsDrawn) {
  PipedRun r = RunPiped(appDir_ + "/corvixmass", {"message.txt"}, workDir_);
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(
      r.Err,
      "corvixmass: standard input and output are not a terminal; the full-screen run needs one "
      "(--check tests the configuration without)\n");
}

TEST_F(StartupTest, CheckReportsTheConfigurationAndConfigReadsAnotherFile) {
  PipedRun good = RunPiped(appDir_ + "/corvixmass", {"--check"}, workDir_);
  EXPECT_EQ(good.Status, 0) << good.Err;
  EXPECT_NE(good.Out.find("configuration: " + appDir_ + "/corvixmass.ini\n"), std::string::npos);
  EXPECT_NE(good.Out.find("  [message] from = The Sysop\n"), std::string::npos);
  EXPECT_NE(good.Out.find("catalogue: " + hostDir_ + "/mbases.dat: 3 records\n"),
            std::string::npos);
  EXPECT_NE(good.Out.find("host directory: " + hostDir_ + " (writable)\n"), std::string::npos);
  EXPECT_NE(good.Out.find("utility: " + hostDir_ + "/corvixutil\nok\n"), std::string::npos);

  // Another file, named relative to the working directory; the first one is
  // not read at all (it names no catalogue now).
  WriteConfig("[main]\n");
  WriteFile(workDir_ + "/other.ini",
            "[corvix]\nmbase = x\nmbases = " + hostDir_ + "/mbases.dat\ndir = " + hostDir_ + "\n");
  unlink((hostDir_ + "/corvixutil").c_str());
  PipedRun other =
      RunPiped(appDir_ + "/corvixmass", {"--config", "other.ini", "--check"}, workDir_);
  EXPECT_EQ(other.Status, 0) << other.Err;
  EXPECT_NE(other.Out.find("  [corvix] mbase = x    (unknown key, ignored)\n"), std::string::npos);
  EXPECT_NE(other.Out.find("warning: " + hostDir_ + "/corvixutil: No such file or directory"),
            std::string::npos);

  PipedRun bad = RunPiped(appDir_ + "/corvixmass", {"--check"}, workDir_);
  EXPECT_EQ(bad.Status, 1);
  EXPECT_EQ(bad.Err, "corvixmass: [corvix] mbases is not set in " + appDir_ +
                         "/corvixmass.ini: it names the host's message-base catalogue\n");
}

// Most terminal programs open at 80x24: the program asks for one more row.
TEST_F(StartupTest, An80x24TerminalThatGrowsWhenAskedIsUsed) {
  PtySession& run = Start({"message.txt"}, 80, 24);
  ASSERT_TRUE(run.GrantResizeRequest());
  EXPECT_TRUE(run.WaitForText("Edit file?"));
  EXPECT_EQ(run.Raw().rfind("\x1b[8;25;80t", 0), 0u);
}

TEST_F(StartupTest, An80x24TerminalThatStaysSmallIsRefusedUntouched) {
  PtySession& run = Start({"message.txt"}, 80, 24);
  EXPECT_EQ(WEXITSTATUS(run.WaitExit()), 1);
  EXPECT_NE(run.Raw().find("this one is 80x24. The terminal did not take the request to grow"),
            std::string::npos);
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
}

// A directory cannot be created as the message file: the dialog opens there.
TEST_F(StartupTest, ADirectoryArgumentOpensTheFileDialogThere) {
  mkdir((workDir_ + "/notes").c_str(), 0755);
  WriteFile(workDir_ + "/notes/weekly.txt", "News\n");
  PtySession& run = Start({"notes"});
  ASSERT_TRUE(run.WaitForText("weekly.txt"));
  EXPECT_NE(run.Row(7).find(workDir_ + "/notes/"), std::string::npos) << run.Row(7);
  run.Send(kEnter);
  EXPECT_TRUE(run.WaitForText("Edit file?"));
  EXPECT_EQ(run.Raw().find("Create it?"), std::string::npos);
}

TEST_F(StartupTest, MkcatalogRefusesBadNumbersWithTheLineAndKeepsTheOldCatalogue) {
  const std::string catalogue = hostDir_ + "/mbases.dat";
  const std::string before = ReadFile(catalogue);
  struct {
    const char* List;
    const char* Message;
  } cases[] = {
      {"1\tA\ta\n# comment\n65536\tB\tb\n",
       "list.tsv:3: the base number \"65536\" is not a number from 0 to 65535"},
      {"x1\tA\ta\n", "list.tsv:1: the base number \"x1\" is not a number from 0 to 65535"},
      {"1\tA\ta\n-1\tB\tb\n", "list.tsv:2: the base number \"-1\" is not"},
  };
  for (const auto& c : cases) {
    WriteFile(workDir_ + "/list.tsv", c.List);
    PipedRun r = RunPiped(CORVIX_MKCATALOG_EXE, {catalogue, "list.tsv"}, workDir_);
    EXPECT_EQ(r.Status, 1) << c.List;
    EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(catalogue), before) << c.List;
  }
  PipedRun generate = RunPiped(CORVIX_MKCATALOG_EXE, {catalogue, "--generate", "65536"}, workDir_);
  EXPECT_EQ(generate.Status, 1);
  EXPECT_EQ(ReadFile(catalogue), before);
  PipedRun help = RunPiped(CORVIX_MKCATALOG_EXE, {"--help"}, workDir_);
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("usage: mkcatalog OUTPUT [LIST]"), std::string::npos);
}

}  // namespace
}  // namespace corvix::e2e
