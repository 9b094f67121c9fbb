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
  // Parses text already in memory (the same rules as a file). A UTF-8 byte
  // order mark at the start is skipped.
  static TIniReader FromText(std::string_view text);
  // Reads FileName into Reader as LoadIniText does; false with the reason in
  // Error when it cannot be read.
  [[nodiscard]] static bool Load(const std::string& fileName, TIniReader& reader,
                                 std::string& error);

  // The value of Key in Section (first occurrence; quotes stripped as ReadFull
  // does), or Default; converted from UTF-8 to code page 437 first when
  // FromUtf8 is true (see Cp437FromUtf8), and only then cut at 255.
  ShortString ReadText(std::string_view section, std::string_view key,
                       const ShortString& defaultValue, bool fromUtf8) const;
  // The whole value, never cut; false when the key is absent. A value of
  // more than one character that starts and ends with the same quote
  // character (" or ') comes back without those two quotes.
  bool ReadFull(std::string_view section, std::string_view key, std::string& value) const;

  struct Entry {
    std::string Section;
    std::string Key;
    std::string Value;
  };
  // Every key = value line inside a section, in file order.
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  TIniReader() = default;
  void Parse(std::string_view text);
  const std::string* Find(std::string_view section, std::string_view key) const;

  std::vector<Entry> entries_;
};

// The largest configuration file read: far beyond any real one, small enough
// that reading it whole can never exhaust memory.
inline constexpr std::size_t kMaxIniSize = 1024 * 1024;

// Reads the configuration file FileName whole into Text. The file is opened
// without blocking, so a FIFO or device is refused at once instead of hanging;
// it must be a regular file of at most kMaxIniSize bytes. False with a short
// reason in Error ("No such file or directory", "is a directory", ...).
[[nodiscard]] bool LoadIniText(const std::string& fileName, std::string& text, std::string& error);

// The first value of Reader holding a control byte (below 32, or 127), named
// as "[section] key"; empty when there is none. Such a byte would reach the
// job file or the terminal as it stands.
[[nodiscard]] std::string ValueWithControlByte(const TIniReader& reader);

// True when Text is an optional sign followed by decimal digits whose value
// fits in a signed 32-bit integer; the value goes to Value.
[[nodiscard]] bool ParseWholeNumber(std::string_view text, std::int32_t& value);

}  // namespace corvix
