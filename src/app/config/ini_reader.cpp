// The configuration reader: trimming, comments, sections, first '=' split,
// quote stripping and whole numbers.
#include "app/config/ini_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "support/fd_io.h"
#include "support/string_utils.h"
#include "term/cp437.h"

namespace corvix {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::string ValueWithControlByte(const TIniReader& reader) {
  for (const TIniReader::Entry& e : reader.Entries())
    for (char c : e.Value)
      if (IsControlByte(c)) return "[" + e.Section + "] " + e.Key;
  return "";
}

bool ParseWholeNumber(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return false;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

bool LoadIniText(const std::string& fileName, std::string& text, std::string& error) {
  text.clear();
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = false;
  if (::fstat(fd, &st) != 0) {
    error = std::strerror(errno);
  } else if (S_ISDIR(st.st_mode)) {
    error = "is a directory, not a file";
  } else if (!S_ISREG(st.st_mode)) {
    error = "is not a regular file";
  } else if (static_cast<std::uint64_t>(st.st_size) > kMaxIniSize) {
    error = "is larger than " + std::to_string(kMaxIniSize / 1024) +
            " KiB, too large for a configuration file";
  } else {
    try {
      // One byte more than the size: a file that grew since fstat is read to
      // its limit and then refused, never cut silently.
      text.resize(static_cast<std::size_t>(st.st_size) + 1);
      std::size_t n = ReadFully(fd, text.data(), text.size());
      if (n < text.size() && errno != 0) {
        error = std::strerror(errno);
      } else if (n > kMaxIniSize) {
        error = "is too large for a configuration file";
      } else {
        text.resize(n);
        ok = true;
      }
    } catch (const std::bad_alloc&) {
      error = "not enough memory to read it";
    }
  }
  ::close(fd);
  if (!ok) text.clear();
  return ok;
}

TIniReader::TIniReader(const std::string& fileName) {
  std::string text, error;
  if (LoadIniText(fileName, text, error)) Parse(text);
}

bool TIniReader::Load(const std::string& fileName, TIniReader& reader, std::string& error) {
  std::string text;
  reader.entries_.clear();
  if (!LoadIniText(fileName, text, error)) return false;
  reader.Parse(text);
  return true;
}

TIniReader TIniReader::FromText(std::string_view text) {
  TIniReader r;
  r.Parse(text);
  return r;
}

void TIniReader::Parse(std::string_view text) {
  // Editors on some systems save UTF-8 with a byte order mark; left in place
  // it would hide the first section's header.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string section;
  bool inSection = false;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = TrimBlanks(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::size_t close = line.rfind(']');
      // A '[' with no closing bracket starts no section; the line is then
      // taken like any other line of the section it stands in.
      if (close != std::string_view::npos) {
        section.assign(TrimBlanks(line.substr(1, close - 1)));
        inSection = true;
        continue;
      }
    }
    std::size_t eq = line.find('=');
    if (!inSection || eq == std::string_view::npos) continue;
    entries_.push_back({section, std::string(TrimBlanks(line.substr(0, eq))),
                        std::string(TrimBlanks(line.substr(eq + 1)))});
  }
}

const std::string* TIniReader::Find(std::string_view section, std::string_view key) const {
  for (const Entry& e : entries_)
    if (EqualNoCase(e.Section, section) && EqualNoCase(e.Key, key)) return &e.Value;
  return nullptr;
}

bool TIniReader::ReadFull(std::string_view section, std::string_view key,
                          std::string& value) const {
  const std::string* v = Find(section, key);
  if (v == nullptr) return false;
  std::string_view s = *v;
  if (s.size() > 1 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    s = s.substr(1, s.size() - 2);
  value.assign(s);
  return true;
}

ShortString TIniReader::ReadText(std::string_view section, std::string_view key,
                                 const ShortString& defaultValue, bool fromUtf8) const {
  std::string value;
  if (!ReadFull(section, key, value)) return defaultValue;
  return ShortString(fromUtf8 ? Cp437FromUtf8(value) : value);
}

}  // namespace corvix
