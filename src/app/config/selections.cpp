// Named selections in the state directory, and --select.
#include "app/config/selections.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/config/session.h"
#include "app/config/settings.h"
#include "app/config/state_dir.h"
#include "support/catalogue.h"
#include "support/fd_io.h"
#include "support/file_utils.h"
#include "support/io_error.h"
#include "support/process.h"
#include "support/string_utils.h"
#include "widgets/light_bar.h"

namespace corvix {

namespace {

constexpr char kSelectionsSub[] = "selections/";
constexpr std::size_t kMaxNameLength = 64;
// Far beyond the 65,536 base numbers a selection can hold.
constexpr std::size_t kMaxSelectionSize = 1024 * 1024;

// Puts what was written into Dir (a rename, a removal) on the disk.
bool SyncDir(const std::string& dir, std::string& error) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    error = dir + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd);
  return true;
}

}  // namespace

bool ValidSelectionName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || name[0] == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
  });
}

std::vector<std::string> MarkedBaseNumbers(const TBar& list) {
  std::vector<std::string> out;
  for (std::int32_t i = 0; i < list.ItemCount(); ++i) {
    if (list.Marked(i)) out.emplace_back(list.DataView(i));
  }
  return out;
}

bool SaveSelection(const std::string& name, const std::vector<std::string>& numbers,
                   std::string& error, const std::vector<std::string>& notes,
                   const std::string& catalogueGiven) {
  if (!ValidSelectionName(name)) {
    error = "\"" + name + "\" is not a valid selection name";
    return false;
  }
  const std::string dir = EnsureStateDir(kSelectionsSub, error);
  if (dir.empty()) return false;
  const std::string catalogue = catalogueGiven.empty() ? SelectionCatalogue() : catalogueGiven;
  std::string text = catalogue.empty() ? "" : "# catalogue: " + catalogue + "\n";
  for (const std::string& note : notes) text += "# " + note + "\n";
  for (const std::string& n : numbers) text += n + "\n";
  // Written beside the old file under a name no selection can have, then
  // renamed over it: a failed write leaves the old selection as it was.
  const std::string path = dir + name;
  // Two runs saving at once ("last", "rest") would share the temporary
  // name, and one would remove the other's file: they take turns.
  const TFd turn(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (turn.Valid())
    while (::flock(turn.Get(), LOCK_EX) != 0 && errno == EINTR) {
    }
  std::string temp;
  const int fd = CreateStateTemp(dir, name, temp, error);
  if (fd < 0) return false;
  try {
    // On the disk before the rename: a power cut must leave the old
    // selection or the whole new one, never an empty file under its name.
    if (WriteFully(fd, text.data(), text.size()) != text.size() || ::fsync(fd) != 0) {
      const int e = errno;
      ::close(fd);
      throw IoError(temp, e);
    }
    WriteAndClose(fd, temp, "");
  } catch (const IoError& e) {
    ::unlink(temp.c_str());
    error = e.what();
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    error = path + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  return SyncDir(dir, error);
}

bool RemoveSelection(const std::string& name, std::string& error) {
  if (!ValidSelectionName(name)) {
    error = "\"" + name + "\" is not a valid selection name";
    return false;
  }
  const std::string dir = StateDirPath() + kSelectionsSub;
  if (::unlink((dir + name).c_str()) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;
    error = dir + name + ": " + std::strerror(errno);
    return false;
  }
  return SyncDir(dir, error);
}

bool LoadSelection(const std::string& name, std::vector<std::string>& numbers, std::string& error,
                   std::string* catalogue, std::vector<std::string>* notes) {
  numbers.clear();
  if (catalogue != nullptr) catalogue->clear();
  if (notes != nullptr) notes->clear();
  if (!ValidSelectionName(name)) {
    error = "\"" + name + "\" is not a valid selection name";
    return false;
  }
  const std::string path = StateDirPath() + kSelectionsSub + name;
  // A FIFO there would hang the run, /dev/zero would fill the memory: only
  // a regular file of sensible size is read.
  const int fd = OpenStateFile(path, O_RDONLY, kMaxSelectionSize, error);
  if (fd < 0) {
    error = "selection \"" + name + "\": " + error;
    return false;
  }
  std::string text;
  char buf[4096];
  for (;;) {
    const std::size_t n = ReadFully(fd, buf, sizeof buf);
    text.append(buf, n);
    if (n < sizeof buf || text.size() > kMaxSelectionSize) break;
  }
  const int readErrno = errno;
  ::close(fd);
  if (readErrno != 0) {
    error = path + ": " + std::strerror(readErrno);
    return false;
  }
  std::size_t lineNo = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    ++lineNo;
    const std::string line(TrimBlanks(std::string_view(text).substr(at, end - at)));
    at = end + 1;
    if (line.empty()) continue;
    if (line[0] == '#') {
      constexpr std::string_view kCatalogueLine = "# catalogue: ";
      if (line.starts_with(kCatalogueLine)) {
        if (catalogue != nullptr) *catalogue = line.substr(kCatalogueLine.size());
      } else if (notes != nullptr && line.starts_with("# ")) {
        notes->push_back(line.substr(2));
      }
      continue;
    }
    const auto number = ParseBaseNumber(line);
    if (!number) {
      error = path + ", line " + std::to_string(lineNo) + ": \"" + line + "\" is not a base number";
      numbers.clear();
      return false;
    }
    numbers.push_back(std::to_string(*number));
  }
  return true;
}

bool SelectionExists(const std::string& name) {
  return ValidSelectionName(name) &&
         ::access((StateDirPath() + kSelectionsSub + name).c_str(), F_OK) == 0;
}

std::vector<std::string> SelectionNames() {
  std::vector<std::string> names;
  const std::string dir = StateDirPath();
  if (dir.empty()) return names;
  DIR* d = ::opendir((dir + kSelectionsSub).c_str());
  if (d == nullptr) return names;
  while (const dirent* e = ::readdir(d)) {
    if (ValidSelectionName(e->d_name)) names.emplace_back(e->d_name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  // The marks of the last run are the likeliest to be wanted again, then
  // what it left unposted.
  std::stable_partition(names.begin(), names.end(),
                        [](const std::string& n) { return n == kRestSelection; });
  std::stable_partition(names.begin(), names.end(),
                        [](const std::string& n) { return n == kLastSelection; });
  return names;
}

std::int32_t MarkSelection(TBar& list, const std::vector<std::string>& numbers) {
  std::bitset<65536> wanted;
  for (const std::string& n : numbers) {
    if (const auto number = ParseBaseNumber(n)) wanted.set(*number);
  }
  std::int32_t marked = 0;
  for (std::int32_t i = 0; i < list.ItemCount(); ++i) {
    const auto number = ParseBaseNumber(list.DataView(i));
    const bool mark = number && wanted.test(*number);
    list.SetMarked(i, mark);
    marked += mark ? 1 : 0;
  }
  return marked;
}

std::string SelectionCatalogue() {
  std::string path = Session.BasesPath.Str();
  if (path.empty() || path[0] == '/') return path;
  std::string dir = Session.StartDir.Str();
  if (dir.empty()) dir = CurrentDir();
  return dir + (!dir.empty() && dir.back() == '/' ? "" : "/") + path;
}

std::string OtherCatalogueProblem(const std::string& name, const std::string& recorded) {
  const std::string current = SelectionCatalogue();
  if (recorded.empty() || recorded == current) return "";
  return "selection \"" + name + "\" was saved from the catalogue " + recorded + ", not " + current;
}

bool TakeStartSelection(const std::string& name, bool force) {
  std::string error, catalogue;
  std::vector<std::string> numbers;
  if (!LoadSelection(name, numbers, error, &catalogue)) {
    SayProblem(error);
    return false;
  }
  error = OtherCatalogueProblem(name, catalogue);
  if (!error.empty() && !force) {
    SayProblem(error + " (--force marks its numbers anyway)");
    return false;
  }
  Session.StartMarks = std::move(numbers);
  return true;
}

}  // namespace corvix
