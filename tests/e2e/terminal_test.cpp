// Today's terminals: UTF-8 output and keys, the size check, the summary,
// --help and --version.
#include <sys/wait.h>

#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

using TerminalTest = HostFixture;

// The whole road in UTF-8 mode: box glyphs arrive as Unicode, a typed é
// reaches the job file as code-page byte 130, and the summary follows the run.
TEST_F(TerminalTest, Utf8RunShowsBoxGlyphsTakesUtf8KeysAndPrintsTheSummary) {
  WriteConfig(DefaultConfig("charset = utf8\n"));
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Settle();                              // the box may arrive in more than one write
  EXPECT_EQ(run.CellChar(1, 1), 0x2591u);    // light shade of the background
  EXPECT_EQ(run.CellChar(80, 1), 0u);        // column 80 stays blank
  EXPECT_EQ(run.CellChar(34, 10), 0x250Cu);  // the box's top-left corner,
  EXPECT_EQ(run.CellChar(34, 11), 0x2502u);  // its left edge
  EXPECT_EQ(run.CellChar(47, 15), 0x2518u);  // and its bottom-right corner
  EXPECT_EQ(run.Raw().find("\x1b(U"), std::string::npos);
  EXPECT_NE(run.Raw().find("\x1b(B"), std::string::npos);
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  run.Send(kTab);
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("Message Info"));
  run.Send("s");
  run.Send("\x19");                     // Ctrl-Y clears the field
  run.Send("Caf\xc3\xa9\xe2\x82\xac");  // é is in code page 437, the euro sign is not
  run.Send(kEnter);
  run.SendEscape();
  ASSERT_TRUE(run.WaitForText("Press ESC to Abort."));
  run.Send(kEnter);
  ASSERT_EQ(ExitCode(run.WaitExit()), 0);
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
  EXPECT_NE(ReadFile(hostDir_ + "/received-1.ini").find("  file1_subj    = Caf\x82\n"),
            std::string::npos);
  EXPECT_NE(run.Raw().find("    7  LINUX.7       ok"), std::string::npos);
  EXPECT_NE(run.Raw().find("Posted to 1 base: 1 ok."), std::string::npos);
}

TEST_F(TerminalTest, Cp437ModeSendsThePcMappingAndRawBytes) {
  WriteConfig(DefaultConfig("charset = cp437\n"));
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  // The PC mapping, then a reset, before the first drawing.
  EXPECT_LT(run.Raw().find("\x1b(U\x1b[0"), run.Raw().find("\x1b[2J"));
  EXPECT_NE(run.Raw().find(std::string(79, '\xb0')), std::string::npos);
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  run.SendEscape();
  EXPECT_EQ(ExitCode(run.WaitExit()), 0);
  EXPECT_EQ(run.Raw().find("Posted to"), std::string::npos);  // nothing posted, no summary
}

TEST_F(TerminalTest, ASmallTerminalIsAskedOnceToGrowThenWaitedFor) {
  PtySession& run = Start({"message.txt"}, 79, 25);
  ASSERT_TRUE(run.WaitForText("at least 80x20 (it is 79x25)."));
  const std::size_t request = run.Raw().find("\x1b[8;25;80t");
  EXPECT_EQ(run.Raw().find("\x1b["), request);  // before anything else
  EXPECT_EQ(run.Raw().find("\x1b[8;", request + 1), std::string::npos);
  run.Send("\x03");  // Ctrl-C gives up
  EXPECT_EQ(ExitCode(run.WaitExit()), 130);
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
}

TEST_F(TerminalTest, HelpAndVersionPrintAndExit) {
  PtySession& help = Start({"--help"}, 40, 10);
  EXPECT_EQ(ExitCode(help.WaitExit()), 0);
  EXPECT_NE(help.Raw().find("usage: corvixmass [--config FILE] [--select NAME] [MESSAGE-FILE]"),
            std::string::npos);
  EXPECT_NE(help.Raw().find("corvixmass.ini beside the executable"), std::string::npos);
  EXPECT_EQ(help.Raw().find("\x1b["), std::string::npos);
  PtySession& version = Start({"--version"});
  EXPECT_EQ(ExitCode(version.WaitExit()), 0);
  EXPECT_NE(version.Raw().find("corvixmass 1.0.0"), std::string::npos);
}

}  // namespace
}  // namespace corvix::e2e
