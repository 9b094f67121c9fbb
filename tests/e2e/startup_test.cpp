// The start-up as the built programs run it: refusals before the terminal is
// touched, --check and --config, the resize request of a small terminal, a
// directory argument, and mkcatalog's input checks.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

class StartupTest : public HostFixture {
 protected:
  struct PipedRun {
    int Status;
    std::string Out, Err;
  };
  // Runs Command through the shell in the work directory with standard input
  // from /dev/null and both outputs captured: no terminal anywhere.
  PipedRun Run(const std::string& command) {
    const std::string out = root_ + "/out", err = root_ + "/err";
    int status = std::system(
        ("cd '" + workDir_ + "' && " + command + " </dev/null >'" + out + "' 2>'" + err + "'")
            .c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
  }
  void RunsOnRows(int rows);
};

TEST_F(StartupTest, WithoutATerminalTheRunIsRefusedBeforeAnythingIsDrawn) {
  PipedRun r = Run(appDir_ + "/corvixmass message.txt");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err.rfind("corvixmass: standard input and output are not a terminal;", 0), 0u);
}

TEST_F(StartupTest, CheckReportsTheConfigurationAndConfigReadsAnotherFile) {
  PipedRun good = Run(appDir_ + "/corvixmass --check");
  EXPECT_EQ(good.Status, 0) << good.Err;
  EXPECT_NE(good.Out.find("catalogue: " + hostDir_ + "/mbases.dat: 3 records\n"),
            std::string::npos);
  // A run would start, but every posting would fail.
  std::filesystem::rename(hostDir_ + "/corvixutil", hostDir_ + "/util");
  PipedRun noUtility = Run(appDir_ + "/corvixmass --check");
  EXPECT_EQ(noUtility.Status, 1);
  EXPECT_NE(noUtility.Out.find("not ok: " + hostDir_ + "/corvixutil: No such file"),
            std::string::npos)
      << noUtility.Out;
  std::filesystem::rename(hostDir_ + "/util", hostDir_ + "/corvixutil");

  // The file beside the program names no catalogue now; --config reads another.
  WriteConfig("[main]\n");
  WriteFile(workDir_ + "/other.ini", DefaultConfig());
  EXPECT_EQ(Run(appDir_ + "/corvixmass --config other.ini --check").Status, 0);
  PipedRun bad = Run(appDir_ + "/corvixmass --check");
  EXPECT_EQ(bad.Status, 1);
  EXPECT_EQ(bad.Err, "corvixmass: [corvix] mbases is not set in " + appDir_ +
                         "/corvixmass.ini: it names the host's message-base catalogue\n");
}

TEST_F(StartupTest, HelpMisuseAndTheConfigurationInTheUsersConfigDirectory) {
  PipedRun help = Run(appDir_ + "/corvixmass -h");
  EXPECT_EQ(help.Status, 0);
  EXPECT_EQ(help.Out.rfind("usage: corvixmass", 0), 0u);
  PipedRun bogus = Run(appDir_ + "/corvixmass --bogus message.txt");
  EXPECT_EQ(bogus.Status, 2);
  EXPECT_EQ(bogus.Err, "corvixmass: unrecognized option '--bogus'\nTry 'corvixmass --help'.\n");

  // Nothing beside the program: the file in $XDG_CONFIG_HOME is used.
  std::remove((appDir_ + "/corvixmass.ini").c_str());
  mkdir((root_ + "/xdg").c_str(), 0755);
  mkdir((root_ + "/xdg/corvixmass").c_str(), 0755);
  WriteFile(root_ + "/xdg/corvixmass/corvixmass.ini", DefaultConfig());
  PipedRun xdg = Run("XDG_CONFIG_HOME='" + root_ + "/xdg' " + appDir_ + "/corvixmass --check");
  EXPECT_EQ(xdg.Status, 0) << xdg.Err;
  EXPECT_NE(xdg.Out.find("looked for the configuration at: " + appDir_ + "/corvixmass.ini, " +
                         root_ + "/xdg/corvixmass/corvixmass.ini\nconfiguration: " + root_ +
                         "/xdg/corvixmass/corvixmass.ini\n"),
            std::string::npos)
      << xdg.Out;
}

// Most terminal programs open at 80x24: the program asks for one more row.
TEST_F(StartupTest, An80x24TerminalThatGrowsWhenAskedIsUsed) {
  PtySession& run = StartWith({"VISUAL=true"}, {"message.txt"}, 80, 24);
  ASSERT_TRUE(run.GrantResizeRequest());
  EXPECT_TRUE(run.WaitForText("Edit file?"));
  EXPECT_EQ(run.Raw().rfind("\x1b[8;25;80t", 0), 0u);

  // Asked for its old size on the way out (the editor gets it too), and to
  // grow again after the editor.
  run.Send("y");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  EXPECT_NE(run.Raw().find("\x1b[8;24;80t\x1b[8;25;80t"), std::string::npos);
  run.SendEscape();
  EXPECT_EQ(WEXITSTATUS(run.WaitExit()), 0);
  EXPECT_NE(run.Raw().find("\x1b[8;24;80t", run.Raw().rfind("\x1b[?1049l")), std::string::npos);
}

// One that does not grow shows screen rows 2-25 (row 1 is background only),
// with the same keys and texts: marks, a search, posting. One row less (a
// tmux pane in an 80x24 window) shows rows 2-23 and the help line below.
void StartupTest::RunsOnRows(int rows) {
  // Each run posts the same text to the same base: no question for that.
  WriteConfig(DefaultConfig("charset = utf8\nredraw = full\nrepost_hours = 0\n"));
  PtySession& run = Start({"message.txt"}, 80, rows);
  ASSERT_TRUE(OpenBaseList(run));
  run.Settle();
  EXPECT_NE(run.Row(1).find("Select Message Base(s)"), std::string::npos);
  EXPECT_EQ(run.Row(rows).rfind("Press TAB to select base(s)", 0), 0u);
  run.Send("ret");  // the search finds RETRO
  run.Send(kTab);
  run.Settle();
  EXPECT_NE(run.ScreenText().find("1 of 3 marked"), std::string::npos);
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("Message Info"));
  run.Send("s");
  run.Send(kEnter);
  run.SendEscape();
  ASSERT_TRUE(run.WaitForText("Press ESC to Abort."));
  run.Send(kEnter);
  EXPECT_EQ(WEXITSTATUS(run.WaitExit()), 0);
  EXPECT_NE(ReadFile(hostDir_ + "/received-1.ini").find("  file1_subj    = News\n"),
            std::string::npos);
  EXPECT_EQ(run.Raw().find("\x1b[25;"), std::string::npos) << "nothing sent for a 25th row";
  std::remove((hostDir_ + "/received-1.ini").c_str());  // so that the next run must post anew
}

TEST_F(StartupTest, TerminalsThatStaySmallRunOnTheirRows) {
  RunsOnRows(24);
  RunsOnRows(23);
}

// Smaller still: a notice until the terminal is large enough; Escape there
// gives up.
TEST_F(StartupTest, ASmallerTerminalShowsANoticeUntilItGrows) {
  WriteConfig(DefaultConfig("charset = utf8\n"));
  PtySession& run = Start({"message.txt"}, 70, 20);
  ASSERT_TRUE(run.WaitForText("Please make the terminal at least 80x20 (it is 70x20)."));
  run.Resize(80, 25);
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  run.SendEscape();
  EXPECT_EQ(WEXITSTATUS(run.WaitExit()), 0);

  PtySession& given = Start({"message.txt"}, 70, 20);
  ASSERT_TRUE(given.WaitForText("at least 80x20"));
  given.SendEscape();
  EXPECT_EQ(WEXITSTATUS(given.WaitExit()), 1);
  EXPECT_TRUE(SameSettings(given.InitialSettings(), given.Settings()));
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
  const std::string mkcatalog = std::string(CORVIX_MKCATALOG_EXE) + " " + hostDir_ + "/mbases.dat ";
  const std::string before = ReadFile(hostDir_ + "/mbases.dat");
  for (const char* bad : {"6x", "65536"}) {
    WriteFile(workDir_ + "/list.tsv", std::string("1\tA\ta\n# comment\n") + bad + "\tB\tb\n");
    PipedRun r = Run(mkcatalog + "list.tsv");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(
        r.Err.find("list.tsv:3: the base number \"" + std::string(bad) + "\" is not a number"),
        std::string::npos);
  }
  EXPECT_EQ(Run(mkcatalog + "--generate 65536").Status, 1);
  WriteFile(workDir_ + "/list.tsv", "1 A a\n2 B b\n");  // blanks for tabs: no base at all
  EXPECT_EQ(Run(mkcatalog + "list.tsv").Status, 1);
  EXPECT_EQ(ReadFile(hostDir_ + "/mbases.dat"), before);
  EXPECT_NE(Run(mkcatalog + "--help").Out.find("usage: mkcatalog OUTPUT [LIST]"),
            std::string::npos);
  // A base number given twice names both lines; options are never file names.
  WriteFile(workDir_ + "/list.tsv", "7\tA\ta\n9\tB\tb\n7\tC\tc\n");
  EXPECT_NE(Run(mkcatalog + "list.tsv").Err.find("list.tsv:3: base number 7 is already on line 1"),
            std::string::npos);
  EXPECT_EQ(Run(std::string(CORVIX_MKCATALOG_EXE) + " --version").Out, "mkcatalog 1.0.0\n");
  EXPECT_EQ(Run(std::string(CORVIX_MKCATALOG_EXE) + " --bogus").Status, 2);
  EXPECT_FALSE(Exists(workDir_ + "/--version") || Exists(workDir_ + "/--bogus"));
  EXPECT_EQ(ReadFile(hostDir_ + "/mbases.dat"), before);
  EXPECT_EQ(
      Run(std::string(CORVIX_MKCATALOG_EXE) + " --dump " + hostDir_ + "/mbases.dat").Out,
      "7\tLINUX.7\tLinux help\n20\tRETRO\tRetro computing\n65535\tLAST.BASE\tThe last base\n");
}

}  // namespace
}  // namespace corvix::e2e
