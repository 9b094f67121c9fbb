// The state directory: found from the environment, made on first use.
#include "app/config/state_dir.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace corvix {

std::string StateDirPath() {
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/corvixmass/";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/corvixmass/";
  return "";
}

std::string EnsureStateDir(const std::string& sub, std::string& error) {
  std::string path = StateDirPath();
  if (path.empty()) {
    error = "neither XDG_STATE_HOME nor HOME names an absolute directory";
    return "";
  }
  path += sub;
  if (!path.empty() && path.back() != '/') path += '/';
  // Each component in turn, so missing parents are made too.
  for (std::size_t at = 1; at < path.size(); ++at) {
    if (path[at] != '/') continue;
    std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      error = part + ": " + std::strerror(errno);
      return "";
    }
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = path + ": not a directory";
    return "";
  }
  return path;
}

}  // namespace corvix
