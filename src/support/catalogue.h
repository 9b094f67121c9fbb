// The host's catalogue of message bases: the 768-byte record's layout, its
// fields, base numbers as written by people, the record as a base list line
// and the whole catalogue as plain values. Used by the base list, the
// unattended run and the catalogue maker alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/short_string.h"

namespace corvix {

// A catalogue record: its size and where its name and echo tag begin (each
// a length byte and the characters); the base number is the first two
// bytes, low byte first.
inline constexpr std::int32_t kBaseRecSize = 768;
inline constexpr std::int32_t kBaseNameOffset = 2;
inline constexpr std::int32_t kEchoTagOffset = 585;
// Base numbers are 16 bits: a catalogue never holds more records than this.
inline constexpr std::int32_t kMaxBaseRecords = 65536;

// Columns of a base list line: the number (four, or five in a catalogue that
// holds a number of five digits), then the echo tag.
inline constexpr std::size_t kNarrowIdWidth = 4;
inline constexpr std::size_t kWideIdWidth = 5;
inline constexpr std::size_t kTagWidth = 12;

// The base number of a record.
inline std::uint16_t BaseNumberAt(const std::uint8_t* record) {
  return static_cast<std::uint16_t>(record[0] | (record[1] << 8));
}

// The length-prefixed text at Offset of a record, never read past the
// record's end.
std::string_view FieldAt(const std::uint8_t* record, std::int32_t offset);

// Fills a record: the number, and the name and echo tag cut at 255 bytes.
void PutBaseRecord(std::uint8_t (&record)[kBaseRecSize], std::uint16_t number, std::string_view tag,
                   std::string_view name);

// The base number 0..65535 written in Text (one to five digits, nothing
// else), or none.
std::optional<std::uint16_t> ParseBaseNumber(std::string_view text);

// One record's base list line and base number, built in place: tens of
// thousands of records become lines while the operator waits. The number's
// digits follow the text in the same buffer, so that a list takes both with
// one copy.
struct TBaseLineBuf {
  // The text; when the line shows the echo tag cut, a zero byte and the whole
  // tag, which the list searches but does not show; then the digits of
  // 0..65535. Room too for the blanks written past the text while it is
  // built (up to 16, before anything after the text is written).
  char Bytes[ShortString::kMaxLength + 1 + kBaseRecSize - kEchoTagOffset + 5 + 16];
  std::size_t TextLength = 0;
  std::size_t HiddenLength = 0;  // the zero byte and the tag, or none
  std::size_t DigitsLength = 0;

  std::string_view TextView() const { return {Bytes, TextLength}; }
  // The whole echo tag when the line shows it cut, else empty.
  std::string_view TagView() const {
    return HiddenLength == 0 ? std::string_view()
                             : std::string_view(Bytes + TextLength + 1, HiddenLength - 1);
  }
  std::string_view DigitsView() const { return {Bytes + TextLength + HiddenLength, DigitsLength}; }
};

// Builds the line of a whole record: the number in IdWidth columns (4, or 5
// in a catalogue that holds a number of five digits) and the echo tag in 12,
// each padded with blanks; a longer tag shows its first 11 characters and
// kCutMark. Then a blank and the name, all cut at 255. Control bytes of the
// name and the tag (below 32, and 127) show as '?'.
void BuildBaseLine(const std::uint8_t* record, std::size_t idWidth, TBaseLineBuf& line);

struct TCatalogueEntryRec {
  std::uint16_t Number = 0;
  std::string Tag;   // as stored, code page 437
  std::string Name;  // as stored, code page 437
};

// Every record of the catalogue Path, in file order. Throws IoError when it
// cannot be opened or read.
std::vector<TCatalogueEntryRec> ReadCatalogue(const ShortString& path);

// The number columns of the lines of a catalogue holding Bases.
std::size_t BaseIdWidth(const std::vector<TCatalogueEntryRec>& bases);

// The line of Base, as BuildBaseLine gives it for its record.
void BuildBaseLine(const TCatalogueEntryRec& base, std::size_t idWidth, TBaseLineBuf& line);

}  // namespace corvix
