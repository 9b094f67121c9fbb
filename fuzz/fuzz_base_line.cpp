// Fuzzes the conversion of one catalogue record into its list line: any 768
// bytes (shorter inputs are padded with zeros), length bytes included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support/catalogue.h"
#include "support/string_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Only the record's own 768 bytes may be read: a copy of exactly that size
  // lets the address sanitizer catch a read past its end.
  auto* record = static_cast<std::uint8_t*>(std::malloc(corvix::kBaseRecSize));
  std::memset(record, 0, corvix::kBaseRecSize);
  std::memcpy(record, data, size < corvix::kBaseRecSize ? size : corvix::kBaseRecSize);

  corvix::TBaseLineBuf buf;
  corvix::BuildBaseLine(record, corvix::kNarrowIdWidth, buf);
  const struct {
    corvix::ShortString Text, Data;
  } line{corvix::ShortString(buf.TextView()), corvix::ShortString(buf.DigitsView())};
  const int number = record[0] | (record[1] << 8);
  // Data is the base number in full; the line starts with its first four
  // digits padded to four columns, then the echo tag's 12 columns and a blank.
  if (line.Data != corvix::Int2Str(number)) std::abort();
  if (line.Text.size() < 17) std::abort();
  if (corvix::Copy(line.Text, 1, 4) != corvix::PadRight(line.Data, 4, ' ')) std::abort();
  if (line.Text[16] != ' ') std::abort();
  // No control byte reaches the line: each shown byte of the tag and the name
  // is the record's own, or '?' where that is a control byte.
  auto shown = [](std::uint8_t c) { return c < 32 || c == 127 ? '?' : static_cast<char>(c); };
  // A longer tag shows its first 11 bytes and the cut mark.
  const std::size_t tagLength = record[585] < 12 ? record[585] : 12;
  for (std::size_t i = 0; i < 12; ++i) {
    const char expected = i == 11 && record[585] > 12 ? corvix::kCutMark
                          : i < tagLength             ? shown(record[586 + i])
                                                      : ' ';
    if (line.Text[4 + i] != expected) std::abort();
  }
  for (std::size_t i = 17; i < line.Text.size(); ++i)
    if (line.Text[i] != shown(record[3 + i - 17])) std::abort();
  if (line.Text.size() != 17 + (record[2] < 238 ? record[2] : 238u)) std::abort();
  std::free(record);
  return 0;
}
