// Directory search: the entries of one directory whose names match a wildcard
// pattern and whose attributes are allowed by an attribute mask.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "support/short_string.h"

namespace corvix {

// Attribute bits of a found entry and of a search mask.
constexpr std::uint8_t kFaReadOnly = 0x01;  // no write permission for the owner
constexpr std::uint8_t kFaHidden = 0x02;    // the name begins with '.'
constexpr std::uint8_t kFaSysFile = 0x04;   // neither a directory nor a regular file
constexpr std::uint8_t kFaVolumeId = 0x08;  // never set on this platform
constexpr std::uint8_t kFaDirectory = 0x10;
constexpr std::uint8_t kFaArchive = 0x20;  // every regular file
constexpr std::uint8_t kFaAnyFile = 0x3F;

// One found entry: the name as stored on disk, its attributes and its size.
struct TSearchRec {
  ShortString Name;
  std::uint8_t Attr = 0;
  std::int64_t Size = 0;
};

// Matches Name against Pattern byte for byte: '*' stands for any run of bytes
// (also none, also a leading '.'), '?' for exactly one byte, and every other
// byte for itself. "*.*" therefore matches only names that contain a dot.
// With IgnoreCase, ASCII letters match without regard to case.
bool PatternMatch(std::string_view pattern, std::string_view name, bool ignoreCase = false);

// Searches the directory part of Pattern (up to its last '/'; the working
// directory when there is none) for entries whose names match the rest of the
// pattern. An entry is found when every one of its hidden, system, volume and
// directory bits is also set in AttrMask; plain files are always found, so
// mask 32 gives the plain visible files and 63 every entry ("." and ".."
// included). Entries come in the order the directory lists them; a directory
// that cannot be read gives none.
std::vector<TSearchRec> FindEntries(const ShortString& pattern, std::uint8_t attrMask);

}  // namespace corvix
