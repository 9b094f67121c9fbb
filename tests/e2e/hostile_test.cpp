// Hostile input files end to end: catalogues, configuration files and
// directories built to break the program. Each run must end the way a normal
// run ends (or with the notice meant for it), with the terminal restored.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

constexpr std::size_t kRecSize = 768;

// One catalogue record: the base number, then the name and the echo tag as
// length-prefixed texts at offsets 2 and 585. NameLen and TagLen, when given,
// are written as the length bytes whatever the texts hold.
std::string Record(unsigned number, const std::string& tag, const std::string& name, int nameLen = -1,
                   int tagLen = -1) {
  std::string r(kRecSize, '\0');
  r[0] = static_cast<char>(number & 0xFF);
  r[1] = static_cast<char>(number >> 8);
  r[2] = static_cast<char>(nameLen < 0 ? name.size() : static_cast<std::size_t>(nameLen));
  r.replace(3, name.size(), name);
  r[585] = static_cast<char>(tagLen < 0 ? tag.size() : static_cast<std::size_t>(tagLen));
  r.replace(586, tag.size(), tag);
  return r;
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Line 15 of a job file: the base number handed to the utility.
std::string BaseOf(const std::string& job) {
  const std::string key = "  file1_baseidx = ";
  std::size_t at = job.find(key);
  if (at == std::string::npos) return "<no base line>";
  at += key.size();
  return job.substr(at, job.find('\n', at) - at);
}

std::string LineOf(const std::string& job, const std::string& key) {
  std::size_t at = job.find("  " + key);
  if (at == std::string::npos) return "<no " + key + " line>";
  return job.substr(at, job.find('\n', at) - at);
}

class HostileTest : public HostFixture {
 protected:
  void WriteRawCatalogue(const std::string& bytes) { WriteFile(hostDir_ + "/mbases.dat", bytes); }

  // From the base list on: mark the highlighted base after Downs presses of
  // Down, accept the prefilled message details and post.
  void MarkAndPost(PtySession& run, int downs) {
    for (int i = 0; i < downs; ++i) run.Send(kDown);
    run.Send(kTab);
    run.Send(kEnter);
    ASSERT_TRUE(run.WaitForText("Message Info"));
    run.Send("f");  // open From for editing, leave it unchanged
    run.Send(kEnter);
    run.SendEscape();
    ASSERT_TRUE(run.WaitForText("Press ESC to Abort."));
    run.Send(kEnter);
  }

  void ExpectCleanEnd(PtySession& run) {
    EXPECT_EQ(ExitCode(run.WaitExit()), 0);
    EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
  }
};

// ---- The catalogue ----

TEST_F(HostileTest, PartialLastRecordIsIgnored) {
  WriteRawCatalogue(Record(7, "LINUX.7", "Linux help") + Record(20, "RETRO", "Retro computing") +
                    Record(99, "PARTIAL", "Half a record").substr(0, 300));
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Retro computing"));
  EXPECT_EQ(run.ScreenText().find("Half a record"), std::string::npos);
  // Down past the last whole record stays on it.
  MarkAndPost(run, 3);
  ExpectCleanEnd(run);
  EXPECT_EQ(BaseOf(ReadFile(hostDir_ + "/received-1.ini")), "20");
  EXPECT_FALSE(Exists(hostDir_ + "/received-2.ini"));
}

TEST_F(HostileTest, LengthBytesClaiming255AreCutAtTheRecordEnd) {
  // Name and tag claim 255 characters; the tag has only 182 bytes left.
  const std::string tag(182, 'T');
  const std::string name(255, 'N');
  WriteRawCatalogue(Record(42, tag, name, 255, 255) + std::string(kRecSize, '\xff') +
                    Record(5, "LAST", "Last base"));
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Last base"));
  EXPECT_NE(run.ScreenText().find("42  TTTTTTTTTTTT NNNNNNNNNN"), std::string::npos);
  EXPECT_NE(run.ScreenText().find("6553"), std::string::npos);  // the all-0xFF record
  MarkAndPost(run, 0);
  ExpectCleanEnd(run);
  EXPECT_EQ(BaseOf(ReadFile(hostDir_ + "/received-1.ini")), "42");
}

TEST_F(HostileTest, NamesWithPipeCodesAndControlBytesStayOnTheirRows) {
  WriteRawCatalogue(Record(1, "PIPES", "|14Yellow|[U|[U|[R|[Rmoved") +
                    Record(2, "ENDPIPE", "ends in a pipe |") + Record(3, "ENDCODE", "ends in a code |1") +
                    Record(4, "TITLE", "esc\x1b]0;pwned\x07title") +
                    Record(5, "CLEAR", "clear\x1b[2Jscreen") + Record(6, "BREAKS", "cr\rlf\nbs\x08tab\t.") +
                    Record(7, "\x1b[31mTAG", "after"));
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  // The first name moves the cursor up onto the frame's title, so the wait
  // is for the footer, which a clear-screen sequence would wipe.
  ASSERT_TRUE(run.WaitForText("Press TAB to select base(s)"));
  run.Settle();
  // No byte of a name reaches the terminal as a control sequence.
  EXPECT_EQ(run.Raw().find("\x1b]0;pwned"), std::string::npos);
  EXPECT_EQ(run.Raw().find("\x1b[2Jscreen"), std::string::npos);
  EXPECT_EQ(run.Raw().find("\x1b[31mTAG"), std::string::npos);
  // The control bytes show as stand-ins on their own rows, so the list and
  // its title stay where they belong.
  EXPECT_NE(run.ScreenText().find("Press TAB to select base(s)"), std::string::npos);
  EXPECT_NE(run.Row(2).find("moved"), std::string::npos);  // "|[U" acts: two rows up
  EXPECT_NE(run.ScreenText().find("esc?]0;pwned?title"), std::string::npos);
  EXPECT_NE(run.ScreenText().find("cr?lf?bs?tab?."), std::string::npos);
  EXPECT_NE(run.ScreenText().find("ends in a pipe |"), std::string::npos);
  MarkAndPost(run, 5);
  ExpectCleanEnd(run);
  EXPECT_EQ(BaseOf(ReadFile(hostDir_ + "/received-1.ini")), "6");
}

TEST_F(HostileTest, ANameOfColourCodesOnlyStillFillsItsRow) {
  // 240 bytes of codes and no visible character: drawn into a row where a
  // long visible name stood before, it must cover that name completely.
  std::string catalogue;
  for (unsigned n = 1; n <= 17; ++n)
    catalogue += Record(n, "TAG", "visible name of base " + std::to_string(n) + std::string(40, '='));
  std::string codes;
  for (int i = 0; i < 80; ++i) codes += "|14";
  catalogue += Record(18, "CODES", codes);
  WriteRawCatalogue(catalogue);
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("visible name of base 17"));
  for (int i = 0; i < 17; ++i) run.Send(kDown);  // the list scrolls by one row
  run.Settle();
  EXPECT_NE(run.Row(19).find("visible name of base 17"), std::string::npos);
  EXPECT_EQ(run.Row(20).find("visible"), std::string::npos) << run.Row(20);
  EXPECT_EQ(run.Row(20).find("="), std::string::npos) << run.Row(20);
  run.SendEscape();
  ExpectCleanEnd(run);
}

// ---- The configuration file ----

TEST_F(HostileTest, ConfigurationWithTenThousandCharacterLines) {
  const std::string longText(10000, 'x');
  WriteConfig("; " + longText + "\n[" + longText + "]\nfrom = " + longText + "\n" +
              DefaultConfig() + "[message]\n" + longText + " = " + longText + "\n");
  // The subject comes last so that its value is the long one.
  std::string config = ReadFile(appDir_ + "/corvixmass.ini");
  config.replace(config.find("subject = News"), 14, "subject = " + longText);
  WriteConfig(config);
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  MarkAndPost(run, 0);
  ExpectCleanEnd(run);
  const std::string job = ReadFile(hostDir_ + "/received-1.ini");
  // A job-file line is a short string: 18 characters of key and 237 of value.
  EXPECT_EQ(LineOf(job, "file1_subj"), "  file1_subj    = " + std::string(237, 'x'));
  // The section with the long name holds no key of [message].
  EXPECT_EQ(LineOf(job, "file1_from"), "  file1_from    = The Sysop");
}

TEST_F(HostileTest, SectionWithoutClosingBracketStartsNoSection) {
  WriteConfig("[main]\ndelay = 0\n[corvix]\nmbases = " + hostDir_ + "/mbases.dat\ndir = " + hostDir_ +
              "\n[message\nfrom = Nobody\nsubject = Lost\n");
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  run.Send(kTab);
  run.Send(kEnter);
  // The keys below "[message" belong to no message section: no subject yet.
  ASSERT_TRUE(GiveSubjectAfterNotice(run, "Found"));
  run.Send(kEnter);
  ExpectCleanEnd(run);
  const std::string job = ReadFile(hostDir_ + "/received-1.ini");
  EXPECT_EQ(LineOf(job, "file1_from"), "  file1_from    = ");
  EXPECT_EQ(LineOf(job, "file1_subj"), "  file1_subj    = Found");
}

TEST_F(HostileTest, DelayBeyondThirtyTwoBitsFallsBackToTheDefault) {
  // Wrapped into 32 bits and cut to 16, this value would pause about a
  // minute per base; as no whole number of the range it is the default 100.
  std::string config = DefaultConfig();
  config.replace(config.find("delay = 0"), 9, "delay = 99999999999");
  WriteConfig(config);
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  MarkAndPost(run, 0);
  ExpectCleanEnd(run);
  EXPECT_EQ(BaseOf(ReadFile(hostDir_ + "/received-1.ini")), "7");
}

// ---- The file-open dialog ----

TEST_F(HostileTest, AFileWhosePathPassesTheLengthLimitIsNotChosen) {
  // A 254-character name is valid on disk; with the directory in front the
  // full path would be cut at 255 and name another file.
  WriteFile(workDir_ + "/" + std::string(250, 'x') + ".txt", "text\n");
  PtySession& run = Start({});
  ASSERT_TRUE(run.WaitForText("message.txt"));
  run.Send(kDown);
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("The path of this file is longer than 255 characters."));
  run.Send(kEnter);
  run.Settle();
  run.SendEscape();  // still in the dialog: leaving it chooses nothing
  ExpectCleanEnd(run);
  EXPECT_EQ(run.Raw().find("Edit file?"), std::string::npos);
}

class HostileDirectoryTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    for (const char* name : {"a\nb.txt", "q\"u'o`te.txt", "\x80\xe9\xff.txt"})
      WriteFile(workDir_ + "/" + name, "text\n");
    mkdir((workDir_ + "/dir\nwith\x1b[2Jbreak").c_str(), 0755);
    for (int i = 0; i < 20000; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/f%05d.dat", i);
      int fd = ::open((workDir_ + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      ASSERT_GE(fd, 0);
      ::close(fd);
    }
  }
};

TEST_F(HostileDirectoryTest, ListsTwentyThousandFilesAndOddNamesSafely) {
  PtySession& run = Start({});
  ASSERT_TRUE(run.WaitForText("Open File"));
  // 20,004 files with a dot; the count is cut to the seven columns it has.
  ASSERT_TRUE(run.WaitForText("(20,004", 20000));
  run.Settle();
  EXPECT_NE(run.ScreenText().find("a?b.txt"), std::string::npos);
  EXPECT_NE(run.ScreenText().find("dir?with?[2Jbreak"), std::string::npos);
  EXPECT_EQ(run.Raw().find("with\x1b[2J"), std::string::npos);
  // The last file in byte order is the one named with bytes 128-255.
  run.Send("\x1bOF");  // End
  run.Send(kEnter);
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  MarkAndPost(run, 0);
  ExpectCleanEnd(run);
  EXPECT_EQ(LineOf(ReadFile(hostDir_ + "/received-1.ini"), "file1_name"),
            "  file1_name    = " + workDir_ + "/\x80\xe9\xff.txt");
}

TEST_F(HostileDirectoryTest, AFileNameWithANewlineIsNeverPosted) {
  PtySession& run = Start({});
  ASSERT_TRUE(run.WaitForText("(20,004", 20000));
  run.Send(kEnter);  // the first file in byte order: "a\nb.txt"
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  run.Send("n");
  ASSERT_TRUE(run.WaitForText("Select Message Base(s)"));
  MarkAndPost(run, 0);
  ASSERT_TRUE(run.WaitForText("The message file name holds a line break. Nothing was posted."));
  run.Send(kEnter);
  EXPECT_EQ(ExitCode(run.WaitExit()), 1);  // refused: an error ended the run
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
  EXPECT_FALSE(Exists(hostDir_ + "/received-1.ini"));
  EXPECT_FALSE(Exists(hostDir_ + "/aupload.ini"));
}

}  // namespace
}  // namespace corvix::e2e
