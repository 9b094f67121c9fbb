// The configuration reader's rules: trimming, comments, sections, quotes, integers.
#include "app/ini_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace corvix {
namespace {

TEST(IniReader, ReadsSectionsAndKeysWithoutRegardToCaseAndTrimsBlanks) {
  TIniReader ini = TIniReader::FromText(
      "  ; a comment\n"
      "[Main]\r\n"
      "   Editor  =  vi -n  \r\n"
      "ignored line without equals\n"
      "[ corvix ]\n"
      "DIR=/bbs/host=2\n"
      "dir = second occurrence\n");
  EXPECT_EQ(ini.ReadString("main", "editor", "x"), ShortString("vi -n"));
  EXPECT_EQ(ini.ReadString("CORVIX", "dir", "x"), ShortString("/bbs/host=2"));
  EXPECT_EQ(ini.ReadString("main", "dir", "default"), ShortString("default"));
  EXPECT_EQ(ini.ReadString("nosuch", "editor", "d"), ShortString("d"));
}

TEST(IniReader, StripsOneMatchingPairOfQuotes) {
  TIniReader ini = TIniReader::FromText(
      "[m]\na=\"quoted value\"\nb='single'\nc=\"mixed'\nd=\"\ne=''\nf=\"a\"b\"\n");
  EXPECT_EQ(ini.ReadString("m", "a", ""), ShortString("quoted value"));
  EXPECT_EQ(ini.ReadString("m", "b", ""), ShortString("single"));
  EXPECT_EQ(ini.ReadString("m", "c", ""), ShortString("\"mixed'"));
  EXPECT_EQ(ini.ReadString("m", "d", ""), ShortString("\""));  // one character: kept
  EXPECT_EQ(ini.ReadString("m", "e", "x"), ShortString(""));
  EXPECT_EQ(ini.ReadString("m", "f", ""), ShortString("a\"b"));
}

TEST(IniReader, IntegersFallBackToTheDefaultWhenNotAWholeNumber) {
  TIniReader ini = TIniReader::FromText(
      "[main]\nd1=250\nd2=-7\nd3=12ms\nd4=\nd5=99999999999\nd6=65636\nd7=+3\nd8=2147483647\n");
  EXPECT_EQ(ini.ReadInteger("main", "d1", 100), 250);
  EXPECT_EQ(ini.ReadInteger("main", "d2", 100), -7);
  EXPECT_EQ(ini.ReadInteger("main", "d3", 100), 100);
  EXPECT_EQ(ini.ReadInteger("main", "d4", 100), 100);
  EXPECT_EQ(ini.ReadInteger("main", "d5", 100), 100);
  EXPECT_EQ(ini.ReadInteger("main", "d6", 100), 65636);
  EXPECT_EQ(ini.ReadInteger("main", "d7", 100), 3);
  EXPECT_EQ(ini.ReadInteger("main", "d8", 100), 2147483647);
  EXPECT_EQ(ini.ReadInteger("main", "missing", 100), 100);
}

TEST(IniReader, HostileLinesNeitherCrashNorLeakIntoOtherSections) {
  std::string longValue(10000, 'v');
  TIniReader ini = TIniReader::FromText(
      "key=before any section\n"
      "[main\n"  // no closing bracket: starts no section
      "editor=" + longValue + "\n"
      "[message]\nsubject=ok\n");
  EXPECT_EQ(ini.ReadString("main", "editor", "none"), ShortString("none"));
  EXPECT_EQ(ini.ReadString("", "key", "none"), ShortString("none"));
  EXPECT_EQ(ini.ReadString("message", "subject", ""), ShortString("ok"));
  TIniReader big = TIniReader::FromText("[main]\neditor=" + longValue + "\n");
  EXPECT_EQ(big.ReadString("main", "editor", "").size(), 255u);
}

TEST(IniReader, MissingFileGivesDefaults) {
  TIniReader ini("/nonexistent/corvixmass.ini");
  EXPECT_EQ(ini.ReadInteger("main", "delay", 100), 100);
  EXPECT_TRUE(ini.ReadString("corvix", "mbases", "").empty());
}

}  // namespace
}  // namespace corvix
