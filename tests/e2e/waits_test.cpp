// Waits that keep serving the operator, and files in the state or host
// directory that must not hang, abort or be written through.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

class WaitsTest : public HostFixture {
 protected:
  void Utility(const std::string& script) {
    WriteFile(hostDir_ + "/corvixutil", "#!/bin/sh\n" + script);
    chmod((hostDir_ + "/corvixutil").c_str(), 0755);
  }
  // From "Edit file?" to the posting of the first two bases.
  static bool PostTwoBases(PtySession& run) {
    if (!OpenBaseList(run)) return false;
    for (const char* key : {kTab, kDown, kTab, kEnter}) run.Send(key);
    if (!run.WaitForText("Message Info")) return false;
    run.Send("s");
    run.Send(kEnter);
    run.SendEscape();
    if (!run.WaitForText("Press ESC to Abort.")) return false;
    run.Send(kEnter);
    return true;
  }
};

// Another posting holds the host directory: the wait says so at once and
// Escape (or SIGTERM) ends it; neither base started, and the summary says so.
TEST_F(WaitsTest, ABusyHostDirectoryIsWaitedForWhileKeysAndSignalsAreServed) {
  const int dir = open(hostDir_.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(dir, LOCK_EX), 0);
  for (bool byEscape : {true, false}) {
    PtySession& run = Start({"message.txt"});
    ASSERT_TRUE(PostTwoBases(run));
    ASSERT_TRUE(
        run.WaitForText("Waiting for another posting to release the host directory...", 1000));
    run.Send("\x0c");  // served while waiting
    if (byEscape) run.SendEscape();
    if (!byEscape) kill(run.Pid(), SIGTERM);
    const int status = run.WaitExit();
    EXPECT_EQ(byEscape ? WIFEXITED(status) && WEXITSTATUS(status) == 3
                       : WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM,
              true)
        << status;
    const std::string raw = run.Raw();
    const std::size_t summary = raw.find(
        "    7  LINUX.7       not started\r\n"
        "   20  RETRO         not started\r\n");
    EXPECT_NE(summary, std::string::npos);
    EXPECT_EQ(raw.find("Posted to 2 bases", summary + 1), raw.rfind("Posted to 2 bases"))
        << "the summary is printed once";
  }
  close(dir);
  EXPECT_FALSE(Exists(hostDir_ + "/received-1.ini"));
}

// A FIFO as posted.log stops nothing; a 3,000-character failing line with a
// raw 8-bit CSI in it gives one line per base in the summary.
TEST_F(WaitsTest, AFifoLogStopsNothingAndLongFailingLinesStayOneLinePerBase) {
  Utility("printf 'bad\\233thing%03000d\\n' 0\nexit 1\n");
  ASSERT_EQ(system(("mkdir -p " + root_ + "/state/corvixmass").c_str()), 0);
  ASSERT_EQ(mkfifo((root_ + "/state/corvixmass/posted.log").c_str(), 0600), 0);
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(PostTwoBases(run));
  // Both bases are posted; the log's failure is told and makes the status 1.
  EXPECT_EQ(run.WaitExit(), 1 << 8);
  const std::string& raw = run.Raw();
  EXPECT_NE(raw.find("posted.log: not a regular file (a FIFO, device or socket): the postings"),
            std::string::npos);
  const std::size_t first = raw.find("    7  LINUX.7       exit status 1: bad?thing0000");
  ASSERT_NE(first, std::string::npos);
  const std::size_t second = raw.find("\r\n", first) + 2;
  EXPECT_EQ(second - first, 162u);
  EXPECT_EQ(raw.compare(second, 13, "   20  RETRO "), 0);
  EXPECT_EQ(raw.compare(raw.find("\r\n", second) + 2, 17, "Posted to 2 bases"), 0);
}

// A pasted text without its end marker is over after a pause: TAB marks.
TEST_F(WaitsTest, AnUnendedPasteEndsAfterAPause) {
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Send("\x1b[200~");
  usleep(700 * 1000);
  run.Send(kTab);
  run.Send(kEnter);
  EXPECT_TRUE(run.WaitForText("Message Info"));
}

// A selection that is a FIFO is refused at once; a link planted at the
// temporary name of a saved selection leaves its target alone.
TEST_F(WaitsTest, SelectionFilesCannotHangOrBeWrittenThrough) {
  const std::string sel = root_ + "/state/corvixmass/selections/";
  ASSERT_EQ(system(("mkdir -p " + sel).c_str()), 0);
  ASSERT_EQ(mkfifo((sel + "fifo").c_str(), 0600), 0);
  for (auto args : {std::vector<std::string>{"--select", "fifo"},
                    std::vector<std::string>{"--post", "message.txt", "--bases", "@fifo",
                                             "--subject", "S", "--yes"}}) {
    PtySession& run = Start(args);
    EXPECT_EQ(run.WaitExit(1000), 1 << 8) << args[0];
    EXPECT_NE(run.Raw().find("not a regular file"), std::string::npos) << args[0];
  }
  WriteFile(root_ + "/victim", "precious\n");
  ASSERT_EQ(symlink((root_ + "/victim").c_str(), (sel + ".keep.new").c_str()), 0);
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  run.Send(kTab);
  run.Send("\x1b[15~");
  ASSERT_TRUE(run.WaitForText("Name:"));
  run.Send("keep\r");
  ASSERT_TRUE(run.WaitForText("Saved 1 base(s) as keep."));
  EXPECT_EQ(ReadFile(root_ + "/victim"), "precious\n");
  EXPECT_EQ(ReadFile(sel + "keep"), "# catalogue: " + root_ + "/host/mbases.dat\n7\n");
}

// Control bytes in an ini value are refused before the first screen.
TEST_F(WaitsTest, ControlBytesInIniValuesAreRefused) {
  for (std::string subject : {std::string("Test\0subject", 12), std::string("Te\x1b[2Jst")}) {
    std::string config = DefaultConfig();
    config.replace(config.find("subject = News"), 14, "subject = " + subject);
    WriteConfig(config);
    PtySession& run = Start({"message.txt"});
    EXPECT_EQ(run.WaitExit(), 1 << 8);
    EXPECT_NE(run.Raw().find("[message] subject in"), std::string::npos) << run.Raw();
    EXPECT_EQ(run.Raw().find("Edit file?"), std::string::npos);
  }
}

// Ctrl-\ and Ctrl-C typed around the hand-over to the editor reach the
// editor or the program as keys, never the program as signals. The gap is
// short: enough runs that one of them types into it.
TEST_F(WaitsTest, KeysAroundTheEditorNeverSignalTheProgram) {
  WriteConfig(DefaultConfig("editor = true\n"));
  for (int i = 0; i < 60; ++i) {
    PtySession& run = Start({"message.txt"});
    ASSERT_TRUE(run.WaitForText("Edit file?"));
    run.SendNow("y");
    for (int k = 1; k < 600; ++k) {
      run.SendNow(k % 8 == 0 ? "\x03" : "\x1c");
      if (k % 2 == 0) usleep(10);
    }
    run.WaitForText("Select Message Base(s)");
    run.Settle(100);
    run.SendEscape();
    const int status = run.WaitExit(3000);  // -1: still on a screen, not signalled
    ASSERT_FALSE(status != -1 && WIFSIGNALED(status))
        << "run " << i << " signal " << WTERMSIG(status);
  }
}

}  // namespace
}  // namespace corvix::e2e
