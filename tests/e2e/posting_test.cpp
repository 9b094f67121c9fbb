// Posting end to end with stand-in utilities: the progress box, stopping,
// the results and exit statuses, the job file's safety and the editor.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

class PostingTest : public HostFixture {
 protected:
  void Utility(const std::string& script) {
    WriteFile(hostDir_ + "/corvixutil", "#!/bin/sh\n" + script);
    chmod((hostDir_ + "/corvixutil").c_str(), 0755);
  }

  // From "Edit file?" to the confirmation list with all three bases marked.
  static bool MarkAllUpToConfirmation(PtySession& run) {
    if (!OpenBaseList(run)) return false;
    for (const char* key : {kTab, kDown, kTab, kDown, kTab, kEnter}) run.Send(key);
    if (!run.WaitForText("Message Info")) return false;
    run.Send("s");
    run.Send(kEnter);
    run.SendEscape();
    return run.WaitForText("Press ESC to Abort.");
  }
};

// The utility for base 20 never ends by itself. The progress box names the
// base; Escape and "yes" ask to stop after it, a second Escape ends it; base
// 65535 is not started. Keys typed meanwhile are read by the program, never
// echoed, and the utility's input is not the terminal.
TEST_F(PostingTest, ProgressStopAndASecondEscapeEndTheRunWithStatusThree) {
  Utility(
      "base=$(sed -n 's/^  file1_baseidx = //p' aupload.ini)\n"
      "echo \"stdin $(cat | wc -c)\" >> seen.log\n"
      "echo \"working on $base\"\n"
      "[ \"$base\" = 20 ] && { while [ ! -e go ]; do sleep 0.05; done; echo still on 20; sleep 30; "
      "}\n"
      "exit 0\n");
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(MarkAllUpToConfirmation(run));
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("Posting 2 of 3: 20   RETRO        Retro computing"));
  ASSERT_TRUE(run.WaitForText("working on 20"));
  // No shadow of the confirmation's list is left: row 22 looks like row 23.
  EXPECT_EQ(run.Row(22), run.Row(23));
  for (int x = 1; x <= 80; ++x) EXPECT_EQ(run.CellColours(x, 22), run.CellColours(x, 23)) << x;
  run.Send("\x0c");  // Ctrl-L repaints; the program goes on watching without another key
  WriteFile(hostDir_ + "/go", "");
  ASSERT_TRUE(run.WaitForText("still on 20"));
  run.Send("echo typed");
  run.SendEscape();
  ASSERT_TRUE(run.WaitForText("Stop posting after this base?"));
  run.Send("y");
  ASSERT_TRUE(run.WaitForText("Stopping after this base."));
  run.SendEscape();
  EXPECT_EQ(ExitCode(run.WaitExit()), 3);
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
  EXPECT_EQ(run.Raw().find("echo typed"), std::string::npos);
  EXPECT_EQ(ReadFile(hostDir_ + "/seen.log"), "stdin 0\nstdin 0\n");
  EXPECT_NE(run.Raw().find("    7  LINUX.7       ok\r\n"
                           "   20  RETRO         stopped: still on 20\r\n"
                           "65535  LAST.BASE     not started\r\n"
                           "Posted to 3 bases: 1 ok, 1 stopped, 1 not started."),
            std::string::npos);
  EXPECT_NE(ReadFile(root_ + "/state/corvixmass/posted.log")
                .find("\tRETRO\tNews\tstopped\t" + workDir_ + "/message.txt\tThe Sysop\tAll\t"),
            std::string::npos);
}

// The same text again to bases that got it is asked first, with NO chosen:
// Enter posts nothing (and is no error), "y" posts, Ctrl-C leaves with 130.
TEST_F(PostingTest, TheSameTextAgainIsAskedWithNoChosenFirst) {
  Utility("echo run >> calls.log\n");
  for (const char* answer : {"", kEnter, "y", "\x03"}) {
    PtySession& run = Start({"message.txt"});
    ASSERT_TRUE(MarkAllUpToConfirmation(run));
    run.Send(kEnter);
    if (*answer != '\0') {
      ASSERT_TRUE(run.WaitForText("Already posted to 3 of these bases. Post again?"));
      EXPECT_TRUE(run.WaitForText("Already posted \u2500"));  // the list's title
      run.Send(answer);
    }
    EXPECT_EQ(ExitCode(run.WaitExit()), *answer == '\x03' ? 130 : 0);
  }
  EXPECT_EQ(ReadFile(hostDir_ + "/calls.log"), "run\nrun\nrun\nrun\nrun\nrun\n");
}

// A planted link in place of the job file is replaced, its target untouched;
// a utility that locks its own job file finishes; its status 3 is the run's.
TEST_F(PostingTest, LinkedJobFileIsReplacedSelfLockingUtilityEndsAndItsFailureCounts) {
  WriteFile(root_ + "/victim", "precious\n");
  ASSERT_EQ(symlink((root_ + "/victim").c_str(), (hostDir_ + "/aupload.ini").c_str()), 0);
  Utility("flock aupload.ini cp aupload.ini received.ini\necho 'base refused by host'\nexit 3\n");
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(MarkFirstBaseUpToConfirmation(run));
  run.Send(kEnter);
  EXPECT_EQ(ExitCode(run.WaitExit()), 3);
  EXPECT_EQ(ReadFile(root_ + "/victim"), "precious\n");
  struct stat st {};
  ASSERT_EQ(lstat((hostDir_ + "/aupload.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_NE(ReadFile(hostDir_ + "/received.ini").find("  file1_baseidx = 7\n"), std::string::npos);
  EXPECT_NE(run.Raw().find("    7  LINUX.7       exit status 3: base refused by host\r\n"),
            std::string::npos);
}

// The host directory vanishes after the first base: the run ends with the
// error, after the summary that shows what was posted.
TEST_F(PostingTest, HostDirectoryRemovedAfterTheFirstBaseGivesTheSummaryAndStatusOne) {
  Utility("rm -rf \"$(pwd)\"\n");
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(MarkAllUpToConfirmation(run));
  run.Send(kEnter);
  EXPECT_EQ(ExitCode(run.WaitExit()), 1);
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
  const std::string summary = "    7  LINUX.7       ok\r\n   20  RETRO         not started\r\n";
  std::size_t at = run.Raw().find(summary);
  EXPECT_NE(at, std::string::npos) << run.Raw().substr(run.Raw().size() - 400);
  EXPECT_GT(run.Raw().find(hostDir_ + ": No such file or directory", at), at);
}

// Names that look like options reach the editor as absolute paths; an editor
// that cannot be started ends the run with status 1 and posts nothing.
TEST_F(PostingTest, EditorGetsAbsolutePathsAndAMissingEditorPostsNothing) {
  WriteFile(root_ + "/editor.sh",
            "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$(dirname \"$0\")/editor.log\"\n");
  WriteConfig(DefaultConfig("editor = sh " + root_ + "/editor.sh\n"));
  for (const std::string name : {"+x", "-x"}) {
    WriteFile(workDir_ + "/" + name, "text\n");
    PtySession& run = Start({"--", name});
    ASSERT_TRUE(run.WaitForText("Edit file?"));
    run.Send("y");
    ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
    run.SendEscape();
    EXPECT_EQ(ExitCode(run.WaitExit()), 0);
  }
  EXPECT_EQ(ReadFile(root_ + "/editor.log"), workDir_ + "/+x\n" + workDir_ + "/-x\n");

  // Without [main] editor, $EDITOR is run (and --select=NAME marks a saved selection).
  WriteConfig(DefaultConfig());
  std::filesystem::create_directories(root_ + "/state/corvixmass/selections");
  WriteFile(root_ + "/state/corvixmass/selections/two", "7\n20\n");
  PtySession& fromEnv =
      StartWith({"EDITOR=sh " + root_ + "/editor.sh", "VISUAL="}, {"--select=two", "message.txt"});
  ASSERT_TRUE(fromEnv.WaitForText("Edit file?"));
  fromEnv.Send("y");
  ASSERT_TRUE(fromEnv.WaitForText("2 of 3 marked"));
  fromEnv.SendEscape();
  EXPECT_EQ(ExitCode(fromEnv.WaitExit()), 0);
  EXPECT_EQ(ReadFile(root_ + "/editor.log"),
            workDir_ + "/+x\n" + workDir_ + "/-x\n" + workDir_ + "/message.txt\n");

  WriteConfig(DefaultConfig("editor = " + root_ + "/no-such-editor\n"));
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("y");
  ASSERT_TRUE(run.WaitForText("The editor could not be started: /"));
  run.Send(kEnter);
  EXPECT_EQ(ExitCode(run.WaitExit()), 1);
  EXPECT_FALSE(Exists(hostDir_ + "/aupload.ini"));
}

}  // namespace
}  // namespace corvix::e2e
