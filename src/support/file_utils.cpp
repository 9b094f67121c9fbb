// File and path helpers over the POSIX file calls and the directory search.
#include "support/file_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "support/dir_search.h"
#include "support/fd_io.h"
#include "support/string_utils.h"

namespace corvix {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Index just past the last '/' or '\', 0 when there is none.
std::size_t AfterLastSeparator(const ShortString& name) {
  for (std::size_t i = name.size(); i > 0; --i)
    if (IsSeparator(name[i - 1])) return i;
  return 0;
}

ShortString WithoutTrailingSlashes(ShortString s) {
  while (!s.empty() && s[s.size() - 1] == '/') s.SetLength(s.size() - 1);
  return s;
}

// Dir with a '/' at its end unless it is empty (the working directory).
ShortString DirPrefix(const ShortString& dir) { return dir.empty() ? dir : AddSlash(dir); }

bool WildMatchExact(std::string_view mask, std::string_view name) {
  if (name.empty() || mask.empty()) return false;
  switch (mask[0]) {
    case '*': {
      if (name[0] == '.') return false;
      if (mask.size() == 1) return true;
      if (mask[1] != '.') return false;
      std::size_t dot = name.find('.');
      return WildMatchExact(mask.substr(2),
                            dot == std::string_view::npos ? name : name.substr(dot + 1));
    }
    case '?':
      if (mask.size() == 1) return true;
      return WildMatchExact(mask.substr(1), name.substr(1));
    default:
      if (mask[0] != name[0]) return false;
      if (mask.size() == 1) return name.size() == 1;
      return WildMatchExact(mask.substr(1), name.substr(1));
  }
}

}  // namespace

bool FileExists(const ShortString& name) {
  struct stat st {};
  if (name.empty() || stat(name.Str().c_str(), &st) != 0) return false;
  return !S_ISDIR(st.st_mode);
}

bool DirExists(const ShortString& path) {
  if (path.empty()) return false;
  std::string probe = WithoutTrailingSlashes(path).Str() + "/.";
  struct stat st {};
  return stat(probe.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

ShortString JustPath(const ShortString& name) {
  if (name.View().find('/') == std::string_view::npos) return ShortString();
  return name.View().substr(0, AfterLastSeparator(name));
}

ShortString JustFile(const ShortString& name) {
  return name.View().substr(AfterLastSeparator(name));
}

ShortString JustExt(const ShortString& name) {
  std::size_t dot = name.View().rfind('.');
  return dot == std::string_view::npos ? ShortString() : ShortString(name.View().substr(dot + 1));
}

ShortString StripExt(const ShortString& name) {
  std::size_t dot = name.View().rfind('.');
  return dot == std::string_view::npos ? name : ShortString(name.View().substr(0, dot));
}

ShortString ForceExt(const ShortString& name, const ShortString& ext) {
  std::size_t dot = name.View().rfind('.');
  if (dot == std::string_view::npos) return name + "." + ext;
  return ShortString(name.View().substr(0, dot + 1)) + ext;
}

std::string AbsolutePath(std::string_view name, std::string_view dir) {
  if (name.empty() || name[0] == '/') return std::string(name);
  return JoinPath(dir, name);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
  std::string out(dir);
  if (out.empty() || out.back() != '/') out += '/';
  return out.append(name);
}

std::string CurrentDir() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string();
}

ShortString ParentDir(const ShortString& path) {
  ShortString p = path;
  if (!p.empty() && p[p.size() - 1] == '/') p.SetLength(p.size() - 1);
  while (!p.empty() && p[p.size() - 1] != '/') p.SetLength(p.size() - 1);
  // A relative name with no directory part above it has the working directory
  // as its parent, not the root.
  if (p.empty() && !(path.size() > 0 && path[0] == '/')) return "./";
  return AddSlash(p);
}

ShortString ProgramArg0() {
  static const ShortString arg0 = [] {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || buf[0] != '/') return ShortString();
    return ShortString(std::string_view(buf, static_cast<std::size_t>(n)));
  }();
  return arg0;
}

ShortString ProgramPath() { return AddSlash(JustPath(ProgramArg0())); }

ShortString ProgramBase() { return StripExt(ProgramArg0()); }

bool EraseFile(const ShortString& name) { return unlink(name.Str().c_str()) == 0; }

bool CopyFile(const ShortString& source, const ShortString& target) {
  int in = open(source.Str().c_str(), O_RDONLY);
  if (in < 0) return false;
  // Copying a file onto itself would truncate it before reading it: refuse.
  struct stat src {
  }, dst{};
  if (fstat(in, &src) == 0 && stat(target.Str().c_str(), &dst) == 0 && src.st_dev == dst.st_dev &&
      src.st_ino == dst.st_ino) {
    close(in);
    return false;
  }
  int out = open(target.Str().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (out < 0) {
    close(in);
    return false;
  }
  char block[4096];
  bool ok = true;
  for (;;) {
    ssize_t r = read(in, block, sizeof block);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      ok = r == 0;
      break;
    }
    if (WriteFully(out, block, static_cast<std::size_t>(r)) != static_cast<std::size_t>(r)) {
      ok = false;
      break;
    }
  }
  close(in);
  // A failed close can be the first report of a failed write.
  if (close(out) != 0) ok = false;
  return ok;
}

bool MoveFile(const ShortString& source, const ShortString& target) {
  // rename replaces Target in one step, so Target survives a failed move.
  return rename(source.Str().c_str(), target.Str().c_str()) == 0;
}

bool MakePath(const ShortString& path) {
  ShortString p = AddSlash(path);
  if (DirExists(p)) return true;
  ShortString prefix;
  std::size_t start = 0;
  while (start < p.size()) {
    // A path of 255 characters has no room for the added '/': its last level
    // then runs to the end instead of to a separator.
    std::size_t slash = p.View().find('/', start);
    std::size_t end = slash == std::string_view::npos ? p.size() : slash + 1;
    prefix += p.View().substr(start, end - start);
    start = end;
    if (DirExists(prefix)) continue;
    if (mkdir(prefix.Str().c_str(), 0777) != 0 && !DirExists(prefix)) return false;
  }
  return true;
}

bool ChangeDir(const ShortString& path) {
  // An empty path names no directory; it must not become the root.
  if (path.empty()) return false;
  ShortString p = WithoutTrailingSlashes(path) + "/";
  return chdir(p.Str().c_str()) == 0;
}

void EraseAllExcept(const ShortString& dir, const ShortString& keep) {
  // An empty Dir names no directory; it must not mean "wherever we are now".
  if (dir.empty()) return;
  ShortString prefix = DirPrefix(dir);
  ShortString keepUpper = UpperStr(keep);
  for (const TSearchRec& e : FindEntries(prefix + "*", kFaArchive))
    // A file that cannot be deleted stays; the others still go.
    if (UpperStr(e.Name) != keepUpper) static_cast<void>(EraseFile(prefix + e.Name));
}

ShortString FindNoCase(const ShortString& name) {
  ShortString dir = JustPath(name);
  ShortString file = JustFile(name);
  ShortString fileUpper = UpperStr(file);
  ShortString found;
  bool any = false;
  for (const TSearchRec& e : FindEntries(dir + "*", kFaAnyFile)) {
    if (e.Name == file) return dir + e.Name;  // the exact spelling wins
    if (!any && UpperStr(e.Name) == fileUpper) {
      found = e.Name;
      any = true;
    }
  }
  return any ? dir + found : name;
}

std::int64_t SizeOfFile(const ShortString& name) {
  std::vector<TSearchRec> found = FindEntries(name, kFaAnyFile);
  return found.empty() ? 0 : found.front().Size;
}

std::int32_t CountFiles(const ShortString& dir) {
  std::int32_t n = 0;
  for (const TSearchRec& e : FindEntries(DirPrefix(dir) + "*", kFaAnyFile))
    if ((e.Attr & kFaDirectory) == 0) ++n;
  return n;
}

bool WildMatch(const ShortString& mask, const ShortString& name, bool ignoreCase) {
  if (ignoreCase) return WildMatchExact(UpperStr(mask).View(), UpperStr(name).View());
  return WildMatchExact(mask.View(), name.View());
}

}  // namespace corvix
