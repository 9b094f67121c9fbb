// The configuration reader's rules: trimming, comments, sections, quotes, integers.
#include "app/config/ini_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "term/cp437.h"
#include "testkit/temp_dir.h"

namespace corvix {
namespace {

// The whole number Key of [main] holds, 100 when it holds none.
std::int32_t Integer(const TIniReader& ini, std::string_view key) {
  std::string text;
  std::int32_t n = 0;
  return ini.ReadFull("main", key, text) && ParseWholeNumber(text, n) ? n : 100;
}

TEST(IniReader, ReadsSectionsAndKeysWithoutRegardToCaseAndTrimsBlanks) {
  TIniReader ini = TIniReader::FromText(
      "  ; a comment\n"
      "[Main]\r\n"
      "   Editor  =  vi -n  \r\n"
      "ignored line without equals\n"
      "[ corvix ]\n"
      "DIR=/bbs/host=2\n"
      "dir = second occurrence\n");
  EXPECT_EQ(ini.ReadText("main", "editor", "x", false), ShortString("vi -n"));
  EXPECT_EQ(ini.ReadText("CORVIX", "dir", "x", false), ShortString("/bbs/host=2"));
  EXPECT_EQ(ini.ReadText("main", "dir", "default", false), ShortString("default"));
  EXPECT_EQ(ini.ReadText("nosuch", "editor", "d", false), ShortString("d"));
}

TEST(IniReader, StripsOneMatchingPairOfQuotes) {
  TIniReader ini = TIniReader::FromText(
      "[m]\na=\"quoted value\"\nb='single'\nc=\"mixed'\nd=\"\ne=''\nf=\"a\"b\"\n");
  EXPECT_EQ(ini.ReadText("m", "a", "", false), ShortString("quoted value"));
  EXPECT_EQ(ini.ReadText("m", "b", "", false), ShortString("single"));
  EXPECT_EQ(ini.ReadText("m", "c", "", false), ShortString("\"mixed'"));
  EXPECT_EQ(ini.ReadText("m", "d", "", false), ShortString("\""));  // one character: kept
  EXPECT_EQ(ini.ReadText("m", "e", "x", false), ShortString(""));
  EXPECT_EQ(ini.ReadText("m", "f", "", false), ShortString("a\"b"));
}

TEST(IniReader, IntegersFallBackToTheDefaultWhenNotAWholeNumber) {
  TIniReader ini = TIniReader::FromText(
      "[main]\nd1=250\nd2=-7\nd3=12ms\nd4=\nd5=99999999999\nd6=65636\nd7=+3\nd8=2147483647\n");
  EXPECT_EQ(Integer(ini, "d1"), 250);
  EXPECT_EQ(Integer(ini, "d2"), -7);
  EXPECT_EQ(Integer(ini, "d3"), 100);
  EXPECT_EQ(Integer(ini, "d4"), 100);
  EXPECT_EQ(Integer(ini, "d5"), 100);
  EXPECT_EQ(Integer(ini, "d6"), 65636);
  EXPECT_EQ(Integer(ini, "d7"), 3);
  EXPECT_EQ(Integer(ini, "d8"), 2147483647);
  EXPECT_EQ(Integer(ini, "missing"), 100);
}

TEST(IniReader, HostileLinesNeitherCrashNorLeakIntoOtherSections) {
  std::string longValue(10000, 'v');
  TIniReader ini = TIniReader::FromText(
      "key=before any section\n"
      "[main\n"  // no closing bracket: starts no section
      "editor=" +
      longValue +
      "\n"
      "[message]\nsubject=ok\n");
  EXPECT_EQ(ini.ReadText("main", "editor", "none", false), ShortString("none"));
  EXPECT_EQ(ini.ReadText("", "key", "none", false), ShortString("none"));
  EXPECT_EQ(ini.ReadText("message", "subject", "", false), ShortString("ok"));
  TIniReader big = TIniReader::FromText("[main]\neditor=" + longValue + "\n");
  EXPECT_EQ(big.ReadText("main", "editor", "", false).size(), 255u);
}

TEST(IniReader, MissingFileGivesDefaults) {
  TIniReader ini("/nonexistent/corvixmass.ini");
  EXPECT_EQ(Integer(ini, "delay"), 100);
  EXPECT_TRUE(ini.ReadText("corvix", "mbases", "", false).empty());
}

TEST(IniReader, Utf8TextsConvertOnlyWhenAskedAndAreCutAfterwards) {
  TIniReader ini = TIniReader::FromText("[message]\nfrom = \"J\xC3\xB6rg\"\n");
  EXPECT_EQ(ini.ReadText("message", "from", "", false), ShortString("J\xC3\xB6rg"));
  EXPECT_EQ(ini.ReadText("message", "from", "", true), ShortString("J\x94rg"));
  // Cut at 255 only after the conversion: 200 two-byte characters fit.
  std::string twoByte;
  for (int i = 0; i < 200; ++i) twoByte += "\xC3\xA9";
  EXPECT_EQ(TIniReader::FromText("[m]\nk=" + twoByte + "\n").ReadText("m", "k", "", true),
            ShortString(std::string(200, '\x82')));
}

TEST(Cp437FromUtf8, ConvertsWellFormedCharactersAndKeepsOtherBytes) {
  struct {
    std::string In, Out;
  } cases[] = {
      {"plain ASCII", "plain ASCII"},
      {"\xC3\xA9t\xC3\xA9", "\x82t\x82"},                // é
      {"\xE2\x96\x91\xE2\x94\x80", "\xB0\xC4"},          // ░ ─
      {"\xE2\x82\xAC \xF0\x9F\x98\x80", "? ?"},          // not in the code page
      {"\x94\x82", "\x94\x82"},                          // already code page 437
      {"\xC3", "\xC3"},                                  // cut short
      {"\xC0\xAF\xED\xA0\x80", "\xC0\xAF\xED\xA0\x80"},  // overlong, surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(Cp437FromUtf8(c.In), c.Out) << c.In;
}

// A FIFO would block a plain open; a huge file would be read into memory.
TEST(IniReader, LoadRefusesWhatIsNoConfigurationFileAtOnce) {
  testkit::TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  dir.Put("big.ini", "[main]\n");
  ASSERT_EQ(truncate((dir / "big.ini").c_str(), kMaxIniSize + 1), 0);
  TIniReader ini = TIniReader::FromText("");
  std::string error;
  EXPECT_FALSE(TIniReader::Load(dir / "fifo", ini, error));
  EXPECT_EQ(error, "is not a regular file");
  EXPECT_FALSE(TIniReader::Load(dir / "big.ini", ini, error));
  EXPECT_EQ(error, "is larger than 1024 KiB, too large for a configuration file");
}

}  // namespace
}  // namespace corvix
