// The catalogue record: base numbers as written, the record's fields, its line.
#include "support/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/string_utils.h"

namespace corvix {
namespace {

TEST(BaseNumber, TakesOneToFiveDigitsUpTo65535) {
  EXPECT_EQ(ParseBaseNumber("0"), 0);
  EXPECT_EQ(ParseBaseNumber("00042"), 42);
  EXPECT_EQ(ParseBaseNumber("65535"), 65535);
  for (const char* bad : {"", "65536", "99999", "000001", "-1", "+1", "1 ", "1a", " 7"})
    EXPECT_FALSE(ParseBaseNumber(bad)) << bad;
}

TEST(BaseRecord, WritesFieldsThatReadBackCutToTheirRoom) {
  std::uint8_t rec[kBaseRecSize];
  PutBaseRecord(rec, 40000, std::string(300, 't'), "Name");
  EXPECT_EQ(BaseNumberAt(rec), 40000);
  EXPECT_EQ(FieldAt(rec, kBaseNameOffset), "Name");
  // The tag's length byte says 182 at most: the bytes left in the record.
  EXPECT_EQ(FieldAt(rec, kEchoTagOffset), std::string(182, 't'));
}

TEST(BaseLine, LaysOutNumberTagAndNameAndNeverReadsPastTheRecord) {
  std::uint8_t rec[kBaseRecSize] = {};
  rec[0] = 7;
  const char name[] = "Linux help";
  rec[2] = sizeof name - 1;
  std::copy(name, name + sizeof name - 1, rec + 3);
  const char tag[] = "LINUX.7";
  rec[585] = sizeof tag - 1;
  std::copy(tag, tag + sizeof tag - 1, rec + 586);
  TBaseLineBuf line;
  auto text = [&](std::size_t idWidth = kNarrowIdWidth) {
    BuildBaseLine(rec, idWidth, line);
    return std::string(line.TextView());
  };
  EXPECT_EQ(text(), "7   LINUX.7      Linux help");
  EXPECT_EQ(line.DigitsView(), "7");

  rec[0] = 0xFF;
  rec[1] = 0xFF;
  rec[585] = 255;  // claims more than the 182 bytes left in the record
  std::fill(rec + 586, rec + kBaseRecSize, 'T');
  EXPECT_EQ(text(), "6553TTTTTTTTTTT\x7f Linux help");
  EXPECT_EQ(line.DigitsView(), "65535");
  EXPECT_EQ(line.TagView(), std::string(182, 'T'));
  // A tag past its 12 columns ends in the cut mark; five digits in four
  // columns, as a single record has no catalogue to widen the column.
  EXPECT_EQ(text(kWideIdWidth), "65535TTTTTTTTTTT\x7f Linux help");

  rec[2] = 255;  // the longest name: the line is cut at 255
  std::fill(rec + 3, rec + 258, 'n');
  EXPECT_EQ(text(), "6553TTTTTTTTTTT" + std::string(1, kCutMark) + " " + std::string(238, 'n'));

  // Control bytes show as '?' on both sides of each 16-byte step of the copy;
  // bytes from 128 up are characters. An empty tag leaves 12 blank columns.
  rec[2] = 34;  // the name's last byte is the literal's closing zero
  std::copy_n("\033bcdefghijklmn\177\200\001qrstuvwxyzABCD\037\377", 34, rec + 3);
  rec[585] = 5;
  std::copy_n("\tAB\177C", 5, rec + 586);
  EXPECT_EQ(text(), "6553?AB?C        ?bcdefghijklmn?\200?qrstuvwxyzABCD?\377?");
  rec[585] = 0;
  EXPECT_EQ(text().substr(0, 18), "6553             ?");
}

}  // namespace
}  // namespace corvix
