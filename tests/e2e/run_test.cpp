// The whole run of corvixmass in a pseudo-terminal, as an operator drives it.
#include <sys/wait.h>

#include <csignal>
#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

std::string ExpectedJob(const std::string& file, const std::string& base, const std::string& from,
                        const std::string& to, const std::string& subject) {
  return "[General]\n\n  PostTextFiles = true\n  logfile = corvixutil.log\n  loglevel = 3\n"
         "  logtype = 1\n  maxlogfiles = 31\n  maxlogsize = 1500\n\n[PostTextFiles]\n\n"
         "  totalfiles = 1\n\n"
         "  file1_name    = " +
         file +
         "\n"
         "  file1_baseidx = " +
         base +
         "\n"
         "  file1_from    = " +
         from +
         "\n"
         "  file1_to      = " +
         to +
         "\n"
         "  file1_subj    = " +
         subject +
         "\n"
         "  file1_addr    = 1:1/100\n"
         "  file1_delfile = false\n";
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

using RunTest = HostFixture;

TEST_F(RunTest, PostsToTwoMarkedBasesAndRestoresTheTerminal) {
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Settle();  // the rest of the screen may come in a later write
  // A number of five digits in the catalogue makes the column five wide.
  EXPECT_NE(run.ScreenText().find("7    LINUX.7      Linux help"), std::string::npos);
  EXPECT_NE(run.ScreenText().find("65535LAST.BASE    The last base"), std::string::npos);
  run.Send(kTab);  // mark base 7
  run.Send(kDown);
  run.Send(kDown);
  run.Send(kTab);  // mark base 65535
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("Message Info"));
  run.Send("s");  // open the subject for editing, leave it unchanged
  run.Send(kEnter);
  run.SendEscape();
  ASSERT_TRUE(run.WaitForText("Verify the list of bases"));
  run.Settle();
  EXPECT_NE(run.ScreenText().find("7    LINUX.7      Linux help"), std::string::npos);
  EXPECT_NE(run.ScreenText().find("65535LAST.BASE    The last base"), std::string::npos);
  EXPECT_EQ(run.ScreenText().find("RETRO"), std::string::npos);
  run.Send(kEnter);
  ASSERT_EQ(ExitCode(run.WaitExit()), 0);
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));

  const std::string msg = workDir_ + "/message.txt";
  EXPECT_EQ(ReadFile(hostDir_ + "/received-1.ini"),
            ExpectedJob(msg, "7", "The Sysop", "All", "News"));
  EXPECT_EQ(ReadFile(hostDir_ + "/received-2.ini"),
            ExpectedJob(msg, "65535", "The Sysop", "All", "News"));
  EXPECT_FALSE(Exists(hostDir_ + "/received-3.ini"));
  std::string call = hostDir_ + " 1:aupload.ini\n";
  EXPECT_EQ(ReadFile(hostDir_ + "/calls.log"), call + call);
}

TEST_F(RunTest, CreatesAMissingMessageFileWithOneSpaceWhenAsked) {
  PtySession& run = Start({"new.txt"});
  ASSERT_TRUE(run.WaitForText("The file doesn't exit. Create it?"));
  run.Send("y");
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  EXPECT_EQ(ReadFile(workDir_ + "/new.txt"), " \n");
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  run.SendEscape();
  EXPECT_EQ(ExitCode(run.WaitExit()), 0);
}

// Marks left with Escape come back with --select last, which F6 lists first.
TEST_F(RunTest, MarksLeftWithEscapeComeBackAsTheSelectionLast) {
  PtySession& first = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(first));
  for (const char* key : {kTab, kDown, kDown, kTab}) first.Send(key);
  first.SendEscape();
  ASSERT_EQ(ExitCode(first.WaitExit()), 0);

  WriteFile(root_ + "/state/corvixmass/selections/aaa", "20\n");
  PtySession& run = Start({"--select", "last", "message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Send("\x1b[17~");  // F6
  ASSERT_TRUE(run.WaitForText(" Selections "));
  run.Settle();
  EXPECT_TRUE(run.Row(7).find(" last ") != std::string::npos &&
              run.Row(8).find(" aaa ") != std::string::npos)
      << run.ScreenText();
  run.SendEscape();
  for (const char* key : {kEnter, "s", kEnter}) run.Send(key);
  run.SendEscape();
  ASSERT_TRUE(run.WaitForText("Press ESC to Abort."));
  run.Settle();
  const std::string screen = run.ScreenText();
  EXPECT_NE(screen.find("65535LAST.BASE"), std::string::npos);
  EXPECT_EQ(screen.find("RETRO"), std::string::npos);
  EXPECT_NE(run.Row(8).find("Subj News"), std::string::npos);  // the Message box
  run.SendEscape();
  EXPECT_EQ(ExitCode(run.WaitExit()), 0);
}

// A hang-up while the list runs ends the program by it, with the marks kept.
TEST_F(RunTest, MarksAreKeptWhenASignalEndsTheList) {
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Send(kTab);
  run.Settle();
  kill(run.Pid(), SIGHUP);
  const int status = run.WaitExit();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << status;
  EXPECT_NE(ReadFile(root_ + "/state/corvixmass/selections/last").find("\n7\n"), std::string::npos);
}

TEST_F(RunTest, NoMarkedBaseEndsWithANotice) {
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("No BASE selected. Aborting..."));
  run.Send(kEnter);
  EXPECT_EQ(ExitCode(run.WaitExit()), 0);
  EXPECT_FALSE(Exists(hostDir_ + "/aupload.ini"));
}

TEST_F(RunTest, EscapeAtConfirmationPostsNothing) {
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(MarkFirstBaseUpToConfirmation(run));
  run.SendEscape();
  EXPECT_EQ(ExitCode(run.WaitExit()), 0);
  EXPECT_FALSE(Exists(hostDir_ + "/aupload.ini"));
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
}

// Names that would be cut at 255 characters (the argument) or at the end of
// the job file's line (237 characters after "  file1_name    = ") would hand
// another file to the editor or the utility: nothing is created or posted.
TEST_F(RunTest, AMessageFileNameThatWouldBeCutIsNeitherCreatedNorPosted) {
  PtySession& tooLong = Start({std::string(300, 'x')});
  ASSERT_TRUE(tooLong.WaitForText("The path of this file is longer than 255 characters."));
  tooLong.Send(kEnter);
  EXPECT_EQ(ExitCode(tooLong.WaitExit()), 1);
  EXPECT_FALSE(Exists(workDir_ + "/" + std::string(255, 'x')));

  const std::string name = std::string(236, 'm') + ".txt";
  WriteFile(workDir_ + "/" + name, "text\n");
  PtySession& run = Start({name});
  ASSERT_TRUE(MarkFirstBaseUpToConfirmation(run));
  run.Send(kEnter);
  ASSERT_TRUE(
      run.WaitForText("The message file name is too long for the job file. Nothing was posted."));
  run.Send(kEnter);
  EXPECT_EQ(ExitCode(run.WaitExit()), 1);
  EXPECT_FALSE(Exists(hostDir_ + "/aupload.ini"));
  EXPECT_FALSE(Exists(hostDir_ + "/received-1.ini"));
}

TEST_F(RunTest, EditorReceivesAHostileFileNameAsOneArgument) {
  const std::string hostile = "a b;touch pwned $(touch pwned2) 'q'.txt";
  WriteFile(workDir_ + "/" + hostile, "text\n");
  // The editor notes its arguments and the terminal settings it was given.
  WriteFile(root_ + "/editor.sh",
            "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"$(dirname \"$0\")/editor.log\"\n"
            "stty -a > \"$(dirname \"$0\")/stty.log\"\n");
  WriteConfig(DefaultConfig("editor = sh " + root_ + "/editor.sh\n"));
  PtySession& run = Start({hostile});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("y");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  EXPECT_EQ(ReadFile(root_ + "/editor.log"), "1\n" + workDir_ + "/" + hostile + "\n");
  EXPECT_FALSE(Exists(workDir_ + "/pwned"));
  EXPECT_FALSE(Exists(workDir_ + "/pwned2"));
  // The editor ran on the terminal as the operator had it, not in raw mode.
  std::string stty = ReadFile(root_ + "/stty.log");
  EXPECT_NE(stty.find(" icanon"), std::string::npos) << stty;
  EXPECT_NE(stty.find(" echo "), std::string::npos) << stty;
  run.SendEscape();
  EXPECT_EQ(ExitCode(run.WaitExit()), 0);
}

TEST_F(RunTest, MissingCatalogueIsReportedBeforeTheTerminalIsTouched) {
  WriteConfig("[main]\ndelay = 0\n[corvix]\nmbases = " + hostDir_ +
              "/missing.dat\ndir = " + hostDir_ + "\n");
  PtySession& run = Start({"message.txt"});
  int status = run.WaitExit();
  EXPECT_EQ(ExitCode(status), 1);
  EXPECT_NE(
      run.Raw().find(hostDir_ + "/missing.dat: No such file or directory ([corvix] mbases in "),
      std::string::npos);
  EXPECT_EQ(run.Raw().find("\x1b["), std::string::npos);
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
}

}  // namespace
}  // namespace corvix::e2e
