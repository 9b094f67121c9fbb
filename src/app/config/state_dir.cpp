// The state directory: found from the environment, made on first use.
#include "app/config/state_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "support/io_error.h"

namespace corvix {

std::string HomeFromPasswd(const char* path, unsigned uid) {
  std::FILE* file = std::fopen(path, "re");
  if (file == nullptr) return "";
  std::string home;
  char line[1024];
  const std::string id = std::to_string(uid);
  // name:password:uid:gid:gecos:home:shell
  while (home.empty() && std::fgets(line, sizeof line, file) != nullptr) {
    std::string_view fields[7];
    std::string_view rest(line);
    if (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
    std::size_t count = 0;
    for (; count < 7; ++count) {
      const std::size_t colon = rest.find(':');
      fields[count] = rest.substr(0, colon);
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
    if (count >= 5 && fields[2] == id && fields[5].starts_with('/')) home = fields[5];
  }
  std::fclose(file);
  return home;
}

std::string StateDirPath() {
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/corvixmass/";
  const char* env = std::getenv("HOME");
  if (env != nullptr && env[0] == '/') return std::string(env) + "/.local/state/corvixmass/";
  static const std::string home = HomeFromPasswd("/etc/passwd", ::getuid());
  return home.empty() ? "" : home + "/.local/state/corvixmass/";
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

int OpenStateFile(const std::string& path, int flags, std::size_t maxSize, std::string& error) {
  if ((flags & O_ACCMODE) != O_RDONLY) flags |= O_NOFOLLOW;
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return -1;
  }
  struct stat st {};
  std::string reason;
  if (::fstat(fd, &st) != 0)
    reason = std::strerror(errno);
  else if (!S_ISREG(st.st_mode))
    reason = kNotRegularFile;
  else if (maxSize != 0 && static_cast<std::size_t>(st.st_size) > maxSize)
    reason = "larger than " + std::to_string(maxSize / 1024) + " KiB";
  if (!reason.empty()) {
    ::close(fd);
    error = path + ": " + reason;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int CreateStateTemp(const std::string& dir, const std::string& stem, std::string& tempPath,
                    std::string& error) {
  tempPath = dir + "." + stem + ".new";
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::open(tempPath.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd >= 0) return fd;
    // Left by a run that ended early, or planted: the name itself is
    // removed (a link goes, never its target) and made anew.
    if (errno != EEXIST || ::unlink(tempPath.c_str()) != 0) break;
  }
  error = tempPath + ": " + std::strerror(errno);
  return -1;
}

}  // namespace corvix
