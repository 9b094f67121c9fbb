// Hostile input files end to end: configuration files and file names built
// to break the program (hostile catalogues are tested on the test screen).
// Each run must end the way a normal run ends (or with the notice meant for
// it), with the terminal restored.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "host_fixture.h"

namespace corvix::e2e {
namespace {

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
  ASSERT_TRUE(OpenBaseList(run));
  MarkAndPost(run, 0);
  ExpectCleanEnd(run);
  const std::string job = ReadFile(hostDir_ + "/received-1.ini");
  // A job-file line is a short string: 18 characters of key and 237 of value.
  EXPECT_EQ(LineOf(job, "file1_subj"), "  file1_subj    = " + std::string(237, 'x'));
  // The section with the long name holds no key of [message].
  EXPECT_EQ(LineOf(job, "file1_from"), "  file1_from    = The Sysop");
}

TEST_F(HostileTest, SectionWithoutClosingBracketStartsNoSection) {
  WriteConfig("[main]\ndelay = 0\n[corvix]\nmbases = " + hostDir_ +
              "/mbases.dat\ndir = " + hostDir_ + "\n[message\nfrom = Nobody\nsubject = Lost\n");
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(OpenBaseList(run));
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
  ASSERT_TRUE(OpenBaseList(run));
  MarkAndPost(run, 0);
  ExpectCleanEnd(run);
  EXPECT_EQ(BaseOf(ReadFile(hostDir_ + "/received-1.ini")), "7");
}

TEST_F(HostileTest, CatalogueReplacedByAFifoAfterTheChecksEndsWithAnErrorNotAHang) {
  PtySession& run = Start({"message.txt"});
  ASSERT_TRUE(run.WaitForText("Edit file?"));
  const std::string catalogue = hostDir_ + "/mbases.dat";
  ASSERT_EQ(::unlink(catalogue.c_str()), 0);
  ASSERT_EQ(::mkfifo(catalogue.c_str(), 0600), 0);  // no writer will ever come
  run.Send("n");
  EXPECT_EQ(ExitCode(run.WaitExit()), 1);
  EXPECT_NE(run.Raw().find(catalogue + ": is not a regular file"), std::string::npos);
  EXPECT_TRUE(SameSettings(run.InitialSettings(), run.Settings()));
}

// ---- Odd names from the file-open dialog ----
// (How the dialog lists and shows them is tested on the test screen.)

class HostileDirectoryTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    for (const char* name : {"a\nb.txt", "\x80\xe9\xff.txt"})
      WriteFile(workDir_ + "/" + name, "text\n");
  }
};

TEST_F(HostileDirectoryTest, AFileNamedWithBytes128To255IsPostedByItsBytes) {
  PtySession& run = Start({});
  ASSERT_TRUE(run.WaitForText("Open File"));
  ASSERT_TRUE(run.WaitForText("message.txt"));
  // The last file in byte order is the one named with bytes 128-255.
  run.Send("\x1bOF");  // End
  run.Send(kEnter);
  ASSERT_TRUE(OpenBaseList(run));
  MarkAndPost(run, 0);
  ExpectCleanEnd(run);
  EXPECT_EQ(LineOf(ReadFile(hostDir_ + "/received-1.ini"), "file1_name"),
            "  file1_name    = " + workDir_ + "/\x80\xe9\xff.txt");
}

TEST_F(HostileDirectoryTest, AFileNameWithANewlineIsNeverPosted) {
  PtySession& run = Start({});
  ASSERT_TRUE(run.WaitForText("message.txt"));
  run.Send(kEnter);  // the first file in byte order: "a\nb.txt"
  ASSERT_TRUE(OpenBaseList(run));
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
