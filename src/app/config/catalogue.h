// The catalogue's bases as plain values, for the helpers scripts use
// (--list-bases, the words of --bases): number, echo tag and name; the
// record's layout and the echo tag of a base list line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/config/session.h"
#include "support/short_string.h"

namespace corvix {

class TBar;

// A catalogue record: its size and where its name and echo tag begin (each
// a length byte and the characters).
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

struct TCatalogueEntryRec {
  std::uint16_t Number = 0;
  std::string Tag;   // as stored, code page 437
  std::string Name;  // as stored, code page 437
};

// Every record of the catalogue Path, in file order. Throws IoError when it
// cannot be opened or read.
std::vector<TCatalogueEntryRec> ReadCatalogue(const ShortString& path);

// True when Pattern occurs in the base's number, echo tag or name, letters
// matched without regard to case, as the base list's search finds lines. An
// empty pattern matches every base.
bool BaseMatches(const TCatalogueEntryRec& base, std::string_view pattern);

// True when Text matches the shell-style Pattern ('*' any run, '?' any one
// byte), letters without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view text);

// The line --list-bases prints: number, echo tag and name separated by tabs,
// control bytes shown as '?', in UTF-8 when Utf8 (else the bytes as stored).
std::string ListedBaseLine(const TCatalogueEntryRec& base, bool utf8);

// The echo tag shown in a base list line of the catalogue loaded (the 12
// columns after the number's Session.BaseIdWidth, blanks trimmed).
std::string EchoTagOfLine(const ShortString& line);

// The whole echo tag of base list item Index: the line shows a long tag cut,
// and the list keeps the whole one as the item's hidden search text.
std::string EchoTagOfItem(const TBar& list, std::int32_t index);

// The whole echo tag of a posted base.
std::string EchoTagOfPosted(const TPostedRec& base);

}  // namespace corvix
