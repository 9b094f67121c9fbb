// The command line, the table of settings against the documentation, and
// where the configuration is looked for.
#include "app/config/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/config/catalogue.h"
#include "app/config/config_search.h"
#include "app/config/settings.h"
#include "testkit/temp_dir.h"

namespace corvix {
namespace {

// The options value in one line, so a table row can say what it must be.
std::string Described(const TOptionsRec& o) {
  const char* modes[] = {"screens", "help", "version", "check", "post", "list"};
  std::string d = modes[static_cast<int>(o.Mode)];
  for (auto [name, value] : {std::pair{"config", &o.ConfigPath},
                             {"file", &o.MsgFile},
                             {"bases", &o.Bases},
                             {"subject", &o.Subject},
                             {"pattern", &o.Pattern}})
    if (!value->empty()) d += std::string(" ") + name + "=" + *value;
  if (o.Select) d += " select=" + *o.Select;
  if (o.From) d += " from=" + *o.From;
  for (auto [name, on] :
       {std::pair{"yes", o.Yes}, {"dry", o.DryRun}, {"quiet", o.Quiet}, {"force", o.Force}})
    if (on) d += std::string(" ") + name;
  return d;
}

TEST(Options, EachFormAndEachMisuse) {
  const struct {
    std::vector<const char*> Args;
    std::string Expected;  // Described(), or "!" and the misuse message
  } cases[] = {
      {{}, "screens"},
      {{""}, "screens"},  // an empty argument counts as none
      {{"m.txt", "-c", "a.ini"}, "screens config=a.ini file=m.txt"},
      {{"--config=b.ini", "-sweekly", "--force", "m"},
       "screens config=b.ini file=m select=weekly force"},
      {{"--select=w", "--", "-x"}, "screens file=-x select=w"},
      {{"-"}, "screens file=-"},
      {{"m.txt", "--check"}, "!'m.txt': --check takes no file"},
      {{"--check", "-c", "x"}, "check config=x"},
      {{"-h", "--bogus-later"}, "!unrecognized option '--bogus-later'"},
      {{"--bogus", "-h"}, "!unrecognized option '--bogus'"},
      {{"m", "-V"}, "version"},
      {{"-hV"}, "help"},
      {{"--post", "m", "--bases=7,9", "--subj", "S", "-nyq", "--from", ""},
       "post file=m bases=7,9 subject=S from= yes dry quiet"},
      {{"--post=m", "--bases", "1", "--subject", "S", "extra"},
       "!'extra': --post already names the message file"},
      {{"--post", "m", "--bases", "1"}, "!--post needs --subject TEXT"},
      {{"--post", "m", "--subject", "S"}, "!--post needs --bases LIST"},
      {{"--post", "m", "--bases", "1", "--subject", "S", "-s", "w"},
       "!option '--select' is not used with --post (name a selection in --bases as @NAME)"},
      {{"--list-bases", "LINUX"}, "list pattern=LINUX"},
      {{"--list-bases=gen"}, "list pattern=gen"},
      {{"--list-bases", "a", "b"}, "!--list-bases takes one pattern"},
      {{"--check", "--list-bases"}, "!--check and --list-bases ask for two runs"},
      {{"a", "b"}, "!a second message file 'b' after 'a'; one run posts one file"},
      {{"-x"}, "!invalid option -- 'x'"},
      {{"-c"}, "!option requires an argument -- 'c'"},
      {{"--config"}, "!option '--config' requires an argument"},
      {{"--post", "m", "--bases", "--subject", "hi"}, "!option '--bases' needs a value"},
      {{"-c", "-yq"}, "!option '--config' needs a value"},
      {{"--post", "m", "--bases", "1", "--subject", "-- x", "--from", "-z"},
       "post file=m bases=1 subject=-- x from=-z"},
      {{"--config="}, "!option '--config' needs the name of a configuration file"},
      {{"--yes=1"}, "!option '--yes' doesn't allow an argument"},
      {{"--=x"}, "!unrecognized option '--'"},
      {{"--s", "x"}, "!option '--s' is ambiguous; possibilities: '--select' '--subject'"},
      {{"-s", "a", "--select", "b"}, "!option '--select' given more than once"},
      {{"-q", "m"}, "!option '--quiet' is used only with --post"},
      {{"--again", "m"}, "!option '--again' is used only with --post"},
      {{"--force"}, "!option '--force' is used only with --select or --post"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv{"corvixmass"};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    TOptionsRec options;
    const std::string misuse = ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
    EXPECT_EQ(misuse.empty() ? Described(options) : "!" + misuse, c.Expected)
        << (c.Args.empty() ? "" : c.Args[0]);
  }
}

// A file of doc/: beside this source, whose path the compiler may have been
// given relative to the build directory, so the working directory's parents
// are tried as well.
std::string ReadDoc(const char* name) {
  namespace fs = std::filesystem;
  fs::path doc = fs::path(__FILE__).parent_path() / "../../../doc" / name;
  for (fs::path dir = fs::current_path(); !fs::exists(doc) && dir != dir.parent_path();
       dir = dir.parent_path())
    doc = dir / "doc" / name;
  std::ifstream in(doc);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The manual page names every setting in its section's list, and the example
// configuration shows every one (set, or commented out) and no other.
TEST(Settings, TheManualPageAndTheExampleCoverTheTable) {
  const std::string page = ReadDoc("corvixmass.1"), example = ReadDoc("corvixmass.ini");
  ASSERT_FALSE(page.empty());
  ASSERT_FALSE(example.empty());
  for (const TSettingRec& s : Settings()) {
    const std::string section = std::string("[") + s.Section + "]";
    const std::size_t at = page.find(".SS " + section);
    ASSERT_NE(at, std::string::npos) << section;
    const std::string part = page.substr(at, page.find(".S", at + 4) - at);
    EXPECT_TRUE(std::regex_search(
        part, std::regex("\n\\.BR? ([^\n]*\" )?" + std::string(s.Key) + "( |\n)")))
        << s.Key;
    // Each key commented out with its default: the example changes nothing.
    const std::string body = example.substr(example.find("\n" + section));
    const std::string line =
        std::string("\n; ") + s.Key + " =" + (*s.Default != '\0' ? " " : "") + s.Default + "\n";
    EXPECT_NE(body.substr(0, body.find("\n[", 1)).find(line), std::string::npos) << line;
  }
  EXPECT_FALSE(std::regex_search(example, std::regex("\n\\w+ *=")));
  std::smatch m;
  std::string rest = example, section;
  while (std::regex_search(rest, m, std::regex("\n(\\[(\\w+)\\]|;? ?(\\w+) =[ \n])"))) {
    if (m[2].matched) section = m[2];
    if (m[3].matched) {
      EXPECT_NE(FindSetting(section, m[3].str()), nullptr) << m[3];
    }
    rest = m.suffix();
  }
}

TEST(Catalogue, PatternsOfScriptsMatchAsDocumented) {
  for (auto [pattern, text, match] : {std::tuple{"LINUX*", "linux.misc", true},
                                      {"L?NUX", "LINUX", true},
                                      {"*.7", "A.B.7", true},
                                      {"*", "", true},
                                      {"LINUX", "LINUX.7", false},
                                      {"?", "", false},
                                      {"a*b*c", "aXbYbZ", false}}) {
    EXPECT_EQ(WildcardMatch(pattern, text), match) << pattern << " " << text;
  }
  const TCatalogueEntryRec base{120, "RETRO", "Old Computers"};
  for (auto [pattern, match] :
       {std::pair{"", true}, {"12", true}, {"retro", true}, {"D COMP", true}, {"linux", false}}) {
    EXPECT_EQ(BaseMatches(base, pattern), match) << pattern;
  }
  EXPECT_EQ(ListedBaseLine({7, "T\x01", "Gr\x81n"}, true), "7\tT?\tGr\xC3\xBCn\n");
}

TEST(ConfigSearch, FirstFoundWinsAndANamedFileIsTheOnlyOne) {
  testkit::TempDir tmp;
  const std::string root = tmp.Path(), xdg = root + "xdg", home = root + "home";
  const std::string beside = root + "app/corvixmass.ini",
                    inXdg = xdg + "/corvixmass/corvixmass.ini",
                    inHome = home + "/.config/corvixmass/corvixmass.ini";
  for (const std::string& f : {beside, inXdg, inHome}) {
    std::filesystem::create_directories(std::filesystem::path(f).parent_path());
    std::ofstream(f) << "[main]\n";
  }
  TConfigPlacesRec places{"", "", root + "app/", xdg.c_str(), home.c_str()};
  EXPECT_EQ(FindConfiguration(places).Path, beside);
  std::filesystem::remove(beside);
  TConfigSearchRec found = FindConfiguration(places);
  EXPECT_EQ(found.Path, inXdg);
  EXPECT_EQ(found.Looked, (std::vector<std::string>{beside, inXdg}));
  places.XdgConfigHome = nullptr;
  EXPECT_EQ(FindConfiguration(places).Path, inHome);
  places.Home = root.c_str();  // nothing there, and (on a test machine) nothing in /etc
  found = FindConfiguration(places);
  if (!std::filesystem::exists("/etc/corvixmass/corvixmass.ini")) {
    EXPECT_EQ(found.Path, "");
    EXPECT_EQ(NoConfigurationMessage(found),
              "no configuration file: looked for " + beside + ", " + root +
                  "/.config/corvixmass/corvixmass.ini and /etc/corvixmass/corvixmass.ini "
                  "(--config FILE names one)");
  }
  // A named file is used even when missing: a mistyped name is reported.
  places.EnvConfig = "/nonexistent/env.ini";
  EXPECT_EQ(FindConfiguration(places).Looked, std::vector<std::string>{"/nonexistent/env.ini"});
  places.ConfigOption = "given.ini";
  EXPECT_EQ(FindConfiguration(places).Path, "given.ini");
}

}  // namespace
}  // namespace corvix
