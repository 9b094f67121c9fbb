// TIniReader: reads corvixmass.ini once into memory and answers look-ups of
// section and key, both matched without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/short_string.h"

namespace corvix {

class TIniReader {
 public:
  // Reads FileName whole. A missing or unreadable file gives an empty reader,
  // so every look-up yields its default.
  explicit TIniReader(const std::string& fileName);
  // Parses text already in memory (the same rules as a file).
  static TIniReader FromText(std::string_view text);

  // The value of Key in Section (first occurrence), or Default. A value of
  // more than one character that starts and ends with the same quote
  // character (" or ') comes back without those two quotes.
  ShortString ReadString(std::string_view section, std::string_view key,
                         const ShortString& defaultValue) const;
  // The value as a whole number; Default when it is missing, not a whole
  // number, or outside the signed 32-bit range.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t defaultValue) const;

 private:
  TIniReader() = default;
  void Parse(std::string_view text);
  const std::string* Find(std::string_view section, std::string_view key) const;

  struct Entry {
    std::string Section;
    std::string Key;
    std::string Value;
  };
  std::vector<Entry> entries_;
};

// True when Text is an optional sign followed by decimal digits whose value
// fits in a signed 32-bit integer; the value goes to Value.
bool ParseWholeNumber(std::string_view text, std::int32_t& value);

}  // namespace corvix
