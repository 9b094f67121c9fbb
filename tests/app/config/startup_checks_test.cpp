// The start-up checks: options, terminals, locale, configuration file,
// catalogue and host directory, each refusal's message.
#include "app/config/startup_checks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/config/host_text.h"
#include "app/config/session.h"
#include "app/config/settings.h"
#include "app/config/state_dir.h"
#include "app/posting/posting_job.h"
#include "testkit/temp_dir.h"

namespace corvix {
namespace {

TEST(StartupChecks, TerminalsAndLocale) {
  EXPECT_EQ(TerminalProblem(true, true), "");
  EXPECT_NE(TerminalProblem(false, true).find("standard input is not"), std::string::npos);
  EXPECT_NE(TerminalProblem(true, false).find("standard output is not"), std::string::npos);
  // The first variable set decides, even when it names another set.
  EXPECT_STREQ(CharsetFromLocale(nullptr, nullptr, nullptr), "cp437");
  EXPECT_STREQ(CharsetFromLocale(nullptr, nullptr, "de_DE.UTF-8"), "utf8");
  EXPECT_STREQ(CharsetFromLocale("", "en_US.utf8", "C"), "utf8");
  EXPECT_STREQ(CharsetFromLocale("C", "en_US.UTF-8", "en_US.UTF-8"), "cp437");
}

class StartupFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tmp_.Path();
    dir_.pop_back();  // without its '/', as the messages name it
    ini_ = dir_ + "/corvixmass.ini";
    mkdir((dir_ + "/host").c_str(), 0755);
    Write("mbases.dat", std::string(3 * 768 + 100, '\0'));  // a partial record is ignored
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
  }
  testkit::TempDir tmp_;
  std::string dir_, ini_;
};

TEST_F(StartupFilesTest, TheCatalogueMustBeAFileOfAtMost65536Records) {
  std::int64_t records = -1;
  EXPECT_EQ(CatalogueProblem("mbases.dat", dir_, "[corvix] mbases", ini_, records), "");
  EXPECT_EQ(records, 3);
  ASSERT_EQ(mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
  Write("huge.dat", "");
  ASSERT_EQ(truncate((dir_ + "/huge.dat").c_str(), 65537 * 768), 0);  // sparse
  struct {
    std::string Path, Message;
  } refused[] = {
      {dir_ + "/none.dat", ": No such file or directory ([corvix] mbases in " + ini_ + ")"},
      {dir_ + "/host", ": is a directory, not a catalogue file ("},
      {dir_ + "/fifo", ": is not a regular file (a FIFO, device or socket), not a catalogue ("},
      {dir_ + "/huge.dat", ": holds 65537 records of 768 bytes, more than the 65536 base numbers"},
      {std::string(256, 'a'), ": longer than 255 characters ("},
  };
  for (const auto& r : refused) {
    std::string message = CatalogueProblem(r.Path, "/", "[corvix] mbases", ini_, records);
    EXPECT_EQ(message.rfind(r.Path + r.Message, 0), 0u) << message;
  }
}

TEST_F(StartupFilesTest, TheHostDirectoryMustBeADirectoryOfAtMost255Characters) {
  std::string absolute;
  EXPECT_EQ(HostDirProblem("host", dir_, "[corvix] dir", ini_, absolute), "");
  EXPECT_EQ(absolute, dir_ + "/host");
  std::string nearLimit(255 - 4, 'd');  // fits alone, not below the working directory
  EXPECT_NE(HostDirProblem(nearLimit, dir_, "d", ini_, absolute).find("once made absolute"),
            std::string::npos);
  Write("host/corvixutil", "#!/bin/sh\n");
  EXPECT_NE(UtilityWarning(dir_ + "/host").find("not an executable file"), std::string::npos);
}

// Who may change the host directory or its utility may run code as the operator.
TEST_F(StartupFilesTest, OwnershipAndTheEditorAreWarnedOf) {
  Write("host/corvixutil", "#!/bin/sh\n");
  const std::string host = dir_ + "/host", util = host + "/corvixutil";
  const struct {
    mode_t Dir, Util;
    unsigned Uid;
    std::vector<std::string> Who;  // after "PATH: ", per path warned of
  } cases[] = {
      {0755, 0755, ::geteuid(), {}},
      {0775, 0755, ::geteuid(), {host + ": writable by its group"}},
      {0755, 0757, ::geteuid(), {util + ": writable by others"}},
  };
  for (const auto& c : cases) {
    ::chmod(host.c_str(), c.Dir);
    ::chmod(util.c_str(), c.Util);
    const std::vector<std::string> warnings = OwnershipWarnings(host, c.Uid);
    ASSERT_EQ(warnings.size(), c.Who.size());
    for (std::size_t i = 0; i < c.Who.size(); ++i)
      EXPECT_EQ(warnings[i].rfind(c.Who[i] + "; whoever can change it", 0), 0u) << warnings[i];
  }
  ::chmod(host.c_str(), 0755);
  // Owned by another user (root may own them: it can do anything anyway).
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(host.c_str(), 4242, static_cast<gid_t>(-1)), 0);
  }
  const std::vector<std::string> owned = OwnershipWarnings(host, root ? 0 : ::geteuid() + 1);
  ASSERT_FALSE(owned.empty());
  EXPECT_EQ(
      owned[0].rfind(host + ": owned by uid " + (root ? "4242" : std::to_string(::geteuid())), 0),
      0u);
  // The editor's first word is looked up in PATH; shell syntax is left to the shell.
  ::chmod(util.c_str(), 0755);
  EXPECT_TRUE(CommandFound("corvixutil -x", host.c_str()));
  EXPECT_TRUE(CommandFound(" " + util, "/nowhere"));
  EXPECT_FALSE(CommandFound("nano", host.c_str()));
  EXPECT_FALSE(CommandFound(host, "/"));  // a directory is not a program
  EXPECT_TRUE(CommandFound("TERM=vt100 nano", "/nowhere"));
  std::string source;
  EXPECT_EQ(EditorCommand("", "", "vi", source), "vi");
  EXPECT_EQ(source, "$EDITOR");
  EXPECT_EQ(EditorCommand("", "emacs", "vi", source), "emacs");
  EXPECT_EQ(EditorCommand("joe", "emacs", "vi", source), "joe");
  EXPECT_EQ(EditorCommand("", nullptr, "", source) + source, "");
  EXPECT_EQ(EditorCommand("", " \t ", "vi", source), "vi");  // blanks name no program
}

TEST_F(StartupFilesTest, ConfigurationIsCheckedInOrderAndEachRefusalNamesItsSetting) {
  const std::string head = "[main]\neditor = vi\n[corvix]\n";
  struct {
    std::string Text, Problem;  // the start of the message
  } cases[] = {
      {head + "mbases = mbases.dat\ndir = host\n", ""},
      // A byte order mark before the first section's header.
      {"\xEF\xBB\xBF[corvix]\nmbases = mbases.dat\ndir = host\n", ""},
      {head + "mbase = mbases.dat\ndir = host\n", "[corvix] mbases is not set in " + ini_},
      {head + "mbases = no\ndir = no\n",
       dir_ + "/no: No such file or directory ([corvix] mbases in "},
      {head + "mbases = mbases.dat\ndir =\n", "[corvix] dir is not set in " + ini_},
      {head + "mbases = mbases.dat\ndir = mbases.dat\n",
       dir_ + "/mbases.dat: is not a directory ("},
      // Held as a short string, a longer command would be cut and the cut one run.
      {"[main]\neditor = " + std::string(256, 'v') + "\n[corvix]\nmbases = mbases.dat\n",
       "the editor command ([main] editor in " + ini_ + ") is longer than 255 characters"},
      // A guessed address or character set would post what was not meant.
      {head + "address = 2:250\nmbases = mbases.dat\ndir = host\n",
       "[corvix] address = 2:250 in " + ini_ +
           ": not a node address of the form zone:net/node[.point]"},
      {head + "address = 0:1/2\n", "[corvix] address = 0:1/2 in "},
      {head + "address = 2:250/10.1.1\n", "[corvix] address = 2:250/10.1.1 in "},
      {head + "host_charset = latin1\n", "[corvix] host_charset = latin1 in "},
      {head + "address = 2:250/10.7\nhost_charset = UTF8\nmbases = mbases.dat\ndir = host\n", ""},
      {"[message]\nto = \xE2\x82\xAC 5\n",
       "[message] to holds '\xE2\x82\xAC' (U+20AC), which code page 437 lacks (in " + ini_ + ")"},
  };
  for (const auto& c : cases) {
    Write("corvixmass.ini", c.Text);
    TConfigFindings found = CheckConfiguration(ini_, dir_);
    if (c.Problem.empty())
      EXPECT_EQ(found.Problem, "");
    else
      EXPECT_EQ(found.Problem.rfind(c.Problem, 0), 0u) << found.Problem;
  }
  // Values the run would not take as written fail --check; the run goes on.
  Write("corvixmass.ini",
        "[main]\neditor = sh -e\ncharset = latin1\nredraw = full\nescape_delay = 5\n"
        "delay = 70000\n[corvix]\nmbases = mbases.dat\ndir = host\n");
  const TConfigFindings found = CheckConfiguration(ini_, dir_);
  EXPECT_EQ(found.Problem, "");
  EXPECT_EQ(found.Invalid,
            (std::vector<std::string>{
                "[main] delay = 70000: not a whole number from 0 to 65535; only its low 16 bits "
                "count (4464)",
                "[main] charset = latin1: not one of cp437, utf8, utf-8; the default (from the "
                "locale) is used",
                "[main] escape_delay = 5: not a whole number from 10 to 1000; 50 is used",
                dir_ + "/host/corvixutil: No such file or directory; every posting fails until "
                       "it is there"}));
  EXPECT_EQ(CheckConfiguration(dir_ + "/host", dir_).Problem,
            dir_ +
                "/host: is a directory, not a file (the configuration file; --config FILE reads "
                "another)");
}

// "Jörg" in UTF-8 reaches the job file as code page 437's byte for ö, under
// any terminal charset; a text that is not UTF-8 is taken as code page 437.
TEST_F(StartupFilesTest, Utf8TextsOfTheConfigurationReachTheJobFileInCodePage437) {
  Write("corvixmass.ini",
        "[main]\ncharset = cp437\neditor = vim \xC3\xB6\n[corvix]\naddress = 2:250/10\n"
        "[message]\nfrom = J\xC3\xB6rg\nto = J\x94rg\n");
  Session = TSession{};
  Session.IniPath = ini_;
  TakeSettings(TIniReader(ini_), Session);
  EXPECT_EQ(Session.EditorCmd, ShortString("vim \xC3\xB6"));  // a command stays as written
  std::string job =
      BuildJobFile(TJobRec{"/m.txt", "7", Session.MsgFrom, Session.MsgTo, "s", Session.Address});
  EXPECT_NE(job.find("  file1_from    = J\x94rg\n"), std::string::npos);
  EXPECT_NE(job.find("  file1_to      = J\x94rg\n"), std::string::npos);
  EXPECT_NE(job.find("  file1_addr    = 2:250/10\n"), std::string::npos);
  // Without the key the locale decides.
  Write("corvixmass.ini", "[main]\n");
  for (const char* locale : {"C.UTF-8", "C"}) {
    setenv("LC_ALL", locale, 1);
    TakeSettings(TIniReader(ini_), Session);
    EXPECT_EQ(Session.Utf8Terminal, locale[1] == '.') << locale;
  }
  unsetenv("LC_ALL");
  // A setting without a field of its own: its default before any reading,
  // a refused value gives the default, a good one is taken.
  Session = TSession{};
  EXPECT_EQ(TakenNumber("main", "escape_delay"), 50);
  for (auto [text, ms] : {std::pair{"5", 50}, {"200", 200}}) {
    Write("corvixmass.ini", std::string("[main]\nescape_delay = ") + text + "\n");
    TakeSettings(TIniReader(ini_), Session);
    EXPECT_EQ(TakenNumber("MAIN", "Escape_Delay"), ms) << text;
  }
  Session = TSession{};
}

TEST_F(StartupFilesTest, TheCatalogueIsReadForItsLooks) {
  std::vector<std::string> warnings, failures;
  CatalogueWarnings(dir_ + "/mbases.dat", warnings, failures);
  EXPECT_EQ(warnings.size(), 1u);  // every record is base 0
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_NE(failures[0].find(": 2404 bytes are not a whole number of 768-byte records"),
            std::string::npos);
  EXPECT_NE(failures[1].find(": no record has a printable name"), std::string::npos);
  EXPECT_NE(warnings[0].find(": 1 base number appears more than once (the first: 0)"),
            std::string::npos);
}

// Texts for the host by their content: UTF-8 is converted, other bytes are
// the host's own, a character the host lacks is refused.
TEST(HostText, ConvertsByContentAndRefusesWhatTheHostLacks) {
  for (auto [in, utf8Host, converted, problem] :
       {std::tuple<const char*, bool, const char*, std::string>{"Caf\xC3\xA9 \xE2\x94\x80", false,
                                                                "Caf\x82 \xC4", ""},
        {"Caf\x82", false, "Caf\x82", ""},
        {"\xC3\xA9\x82", false, "\xC3\xA9\x82", ""},  // not UTF-8 throughout: the host's own
        {"a\xE2\x80\x93", false, "", "S holds '\xE2\x80\x93' (U+2013), which code page 437 lacks"},
        {"a\xE2\x80\x93\x82", true, "a\xE2\x80\x93\x82", ""}}) {
    std::string out = "old";
    EXPECT_EQ(HostTextProblem("S", in, utf8Host, out), problem) << in;
    EXPECT_EQ(out, converted);
  }
  EXPECT_EQ(HostFromScreen("Caf\x82", true), "Caf\xC3\xA9");
}

// Without HOME (env -i) the state directory is found from the passwd entry.
TEST(StateDir, HomeComesFromThePasswdEntryOfTheUser) {
  testkit::TempDir dir;
  dir.Put("passwd",
          "root:x:0:0:root:/root:/bin/sh\nop:x:1000:1000:Op,,,:/home/op:/bin/sh\nbad:x:7\n");
  const std::string path = dir.Path() + "passwd";
  EXPECT_EQ(HomeFromPasswd(path.c_str(), 1000), "/home/op");
  EXPECT_EQ(HomeFromPasswd(path.c_str(), 7), "");
  EXPECT_EQ(HomeFromPasswd("/nonexistent", 0), "");
}

}  // namespace
}  // namespace corvix
