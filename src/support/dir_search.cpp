// Directory search over opendir/readdir, with attributes derived from stat.
#include "support/dir_search.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/string_utils.h"

namespace corvix {

bool PatternMatch(std::string_view pattern, std::string_view name, bool ignoreCase) {
  const auto same = [ignoreCase](char a, char b) {
    if (!ignoreCase) return a == b;
    return UpperChar(a) == UpperChar(b);
  };
  // Greedy matching with one backtrack point: the last '*' seen may swallow
  // one more byte whenever the rest fails to match.
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

namespace {

bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// Fills Rec from the entry at Path; false when it cannot be queried at all.
bool Describe(const std::string& path, const ShortString& name, TSearchRec& rec) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return false;
  std::uint8_t attr = 0;
  if (S_ISDIR(st.st_mode)) {
    attr |= kFaDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attr |= kFaArchive;
  } else {
    attr |= kFaSysFile;
  }
  if ((st.st_mode & S_IWUSR) == 0) attr |= kFaReadOnly;
  if (!name.empty() && name[0] == '.' && name != ShortString(".") && name != ShortString(".."))
    attr |= kFaHidden;
  rec.Name = name;
  rec.Attr = attr;
  rec.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
  return true;
}

bool Allowed(std::uint8_t attr, std::uint8_t mask) {
  constexpr std::uint8_t kSpecial = kFaHidden | kFaSysFile | kFaVolumeId | kFaDirectory;
  return (attr & kSpecial & ~mask) == 0;
}

}  // namespace

std::vector<TSearchRec> FindEntries(const ShortString& pattern, std::uint8_t attrMask) {
  std::vector<TSearchRec> found;
  std::string_view all = pattern.View();
  std::size_t slash = all.rfind('/');
  std::string dir =
      slash == std::string_view::npos ? std::string() : std::string(all.substr(0, slash + 1));
  ShortString namePattern = slash == std::string_view::npos ? all : all.substr(slash + 1);
  if (namePattern.empty()) return found;

  TSearchRec rec;
  if (!HasWildcard(namePattern.View())) {
    // A plain name needs no listing: query it directly.
    if (Describe(dir + namePattern.Str(), namePattern, rec) && Allowed(rec.Attr, attrMask))
      found.push_back(rec);
    return found;
  }

  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return found;
  while (dirent* e = readdir(d)) {
    ShortString name(e->d_name);
    if (!PatternMatch(namePattern, name)) continue;
    if (Describe(dir + e->d_name, name, rec) && Allowed(rec.Attr, attrMask)) found.push_back(rec);
  }
  closedir(d);
  return found;
}

}  // namespace corvix
