// The bytes a scripted run sends to the terminal, compared with a recording.
// How the output is cut into write() calls may change; the stream may not.
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

// The recording lives beside this file. Setting CORVIX_UPDATE_GOLDEN=1 when
// running the test writes it anew instead of comparing.
std::string GoldenPath() {
  return (std::filesystem::path(__FILE__).parent_path() / "golden" / "scripted_run.bin").string();
}

// Sixty bases, so that Page Down, End and the search move through pages.
std::string SixtyBases() {
  std::string list;
  for (int i = 1; i <= 60; ++i) {
    const std::string tag = i % 7 == 0 ? "LINUX." + std::to_string(i) : "AREA." + std::to_string(i);
    list += std::to_string(i * 3) + "\t" + tag + "\tDiscussion number " + std::to_string(i) + "\n";
  }
  return list;
}

// Where the temporary directory's name shows, a fixed name of the same length
// takes its place, so that the recording does not depend on it.
std::string WithFixedRoot(std::string bytes, const std::string& root) {
  const std::string fixed = "/tmp/corvix-e2e-ROOTNM";
  for (std::size_t p = bytes.find(root); p != std::string::npos;
       p = bytes.find(root, p + fixed.size())) {
    bytes.replace(p, root.size(), fixed);
  }
  return bytes;
}

// The recording holds the drawing only. Since it was made the program also
// leaves its screen mode (attribute, character set, cursor) before each child
// process and at the end, and hides the cursor where nothing is typed: these
// sequences are counted and taken out before the comparison.
// So is the reset of the modes a child may change (scroll region and the
// like), sent on the way in and, cursor kept, on the way out.
constexpr char kLeaveText[] = "\x1b[0m\x1b(B\x1b[?25h";
constexpr char kModeReset[] = "\x1b[r\x1b[?6l\x1b[4l\x1b[?7h\x1b[?1l\x1b>\x0f";
std::string WithoutScreenModes(std::string bytes, int& leaves) {
  leaves = 0;
  const std::string keptCursor =
      "\x1b"
      "7" +
      std::string(kModeReset) +
      "\x1b"
      "8";
  for (std::string_view seq :
       {std::string_view(keptCursor), std::string_view(kModeReset), std::string_view(kLeaveText),
        std::string_view("\x1b[?25l"), std::string_view("\x1b[?25h")}) {
    for (std::size_t p; (p = bytes.find(seq)) != std::string::npos;) {
      bytes.erase(p, seq.size());
      if (seq == kLeaveText) ++leaves;
    }
  }
  return bytes;
}

using ByteStreamTest = HostFixture;

// On the Linux console, with bold colours, as the recording was made.
TEST_F(ByteStreamTest, ScriptedRunSendsTheRecordedBytes) {
  WriteCatalogue(SixtyBases());
  WriteConfig(DefaultConfig(
      "charset = cp437\ncolors = bold\nredraw = full\n"));  // as recorded, not from the locale
  // The confirmation shows the end of the file's absolute path: a name of
  // more than 19 characters keeps the temporary directory out of it.
  WriteFile(workDir_ + "/the-message-to-all.txt", "Hello all,\nthis is the message.\n");
  PtySession& run = StartWith({"TERM=linux"}, {"the-message-to-all.txt"});
  ASSERT_TRUE(OpenBaseList(run));
  for (const char* key : {kDown, kDown, "\x1b[6~", kTab, "l", "i", "\x01", kTab, "\x08", "\x19",
                          "\x1b[4~", kTab, "\x1b[5~", kDown, "\x1b[1~", kTab, "\x1b[A"}) {
    run.Send(key);
  }
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("Message Info"));
  run.Send("s");
  run.Send(kEnter);
  run.SendEscape();
  ASSERT_TRUE(run.WaitForText("Verify the list of bases"));
  run.Send(kDown);
  run.Send(kEnter);
  ASSERT_EQ(run.WaitExit(), 0);
  EXPECT_EQ(ReadFile(hostDir_ + "/calls.log").size(), 4 * (hostDir_.size() + 15));

  EXPECT_NE(run.Raw().find(std::string("\x1b[2J\x1b[1;1H") + kLeaveText), std::string::npos)
      << "the screen is cleared, then left, at the end";
  EXPECT_EQ(run.Raw().rfind("\x1b(U\x1b[0m\x1b[?25l\x1b[2J", 0), 0u)
      << "the cursor is hidden at once";
  int leaves = 0;
  const std::string bytes = WithoutScreenModes(WithFixedRoot(run.Raw(), root_), leaves);
  EXPECT_GE(leaves, 1);
  if (std::getenv("CORVIX_UPDATE_GOLDEN") != nullptr) {
    WriteFile(GoldenPath(), bytes);
    GTEST_SKIP() << "recording written to " << GoldenPath();
  }
  ASSERT_TRUE(Exists(GoldenPath()));
  const std::string golden = ReadFile(GoldenPath());
  ASSERT_EQ(bytes.size(), golden.size());
  // The first difference, with a little context, rather than two long dumps.
  std::size_t at = 0;
  while (at < bytes.size() && bytes[at] == golden[at]) ++at;
  EXPECT_EQ(at, bytes.size()) << "first difference at byte " << at << ": got \""
                              << bytes.substr(at, 40) << "\", recorded \"" << golden.substr(at, 40)
                              << "\"";
}

}  // namespace
}  // namespace corvix::e2e
