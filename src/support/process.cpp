// The spawn core: posix_spawn for a child that needs nothing but its
// descriptors, group and directory set up; a fork that holds the child back
// for one that must wait for the terminal.
#include "support/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace corvix {

void TFd::Reset(int fd) noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

namespace {

// Signals whose actions the program sets for itself; the child starts with
// the defaults (an ignored signal would stay ignored across exec).
constexpr int kResetSignals[] = {SIGINT,  SIGQUIT, SIGTERM,  SIGHUP,  SIGPIPE, SIGTSTP, SIGTTIN,
                                 SIGTTOU, SIGCHLD, SIGWINCH, SIGCONT, SIGALRM, SIGUSR1, SIGUSR2};

void ResetSignalsInChild() {
  for (int sig : kResetSignals) std::signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

pid_t Spawn(const TSpawnRec& how) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawnattr_init(&attr);
  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  if (how.OwnGroup) {
    flags |= POSIX_SPAWN_SETPGROUP;
    ::posix_spawnattr_setpgroup(&attr, 0);
  }
  ::posix_spawnattr_setflags(&attr, flags);
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kResetSignals) sigaddset(&set, sig);
  ::posix_spawnattr_setsigdefault(&attr, &set);
  sigemptyset(&set);
  ::posix_spawnattr_setsigmask(&attr, &set);
  if (how.StdinFd >= 0) ::posix_spawn_file_actions_adddup2(&actions, how.StdinFd, 0);
  if (how.OutputFd >= 0) {
    ::posix_spawn_file_actions_adddup2(&actions, how.OutputFd, 1);
    ::posix_spawn_file_actions_adddup2(&actions, how.OutputFd, 2);
  }
  if (how.DirFd >= 0) ::posix_spawn_file_actions_addfchdir_np(&actions, how.DirFd);
  // A dup2 onto itself clears the child's close-on-exec flag of that one
  // descriptor and leaves ours as it is.
  if (how.InheritFd >= 0)
    ::posix_spawn_file_actions_adddup2(&actions, how.InheritFd, how.InheritFd);
  char sh[] = "sh", dashC[] = "-c";
  std::string cmd = how.Cmd;
  char* argv[] = {sh, dashC, cmd.data(), nullptr};
  pid_t pid = -1;
  const int r = ::posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attr);
  if (r != 0) {
    errno = r;
    return -1;
  }
  return pid;
}

}  // namespace

TChildRec SpawnChild(const TSpawnRec& how) {
  TChildRec child;
  if (!how.Hold) {
    child.Pid = Spawn(how);
    return child;
  }
  int gate[2];
  if (::pipe2(gate, O_CLOEXEC) != 0) return child;
  TFd gateRead(gate[0]);
  child.Release.Reset(gate[1]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (how.OwnGroup) ::setpgid(0, 0);
    child.Release.Reset();
    // Waits until the parent closes its end (or ends): read gives 0 then.
    char byte;
    while (::read(gateRead.Get(), &byte, 1) < 0 && errno == EINTR) {
    }
    ResetSignalsInChild();
    if (how.StdinFd >= 0) ::dup2(how.StdinFd, 0);
    if (how.OutputFd >= 0) {
      ::dup2(how.OutputFd, 1);
      ::dup2(how.OutputFd, 2);
    }
    if (how.DirFd >= 0 && ::fchdir(how.DirFd) != 0) ::_exit(127);
    if (how.InheritFd >= 0) ::fcntl(how.InheritFd, F_SETFD, 0);
    ::execl("/bin/sh", "sh", "-c", how.Cmd.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Both sides set the group, so it exists whichever runs first.
  if (pid > 0 && how.OwnGroup) ::setpgid(pid, pid);
  if (pid < 0) child.Release.Reset();
  child.Pid = pid;
  return child;
}

void ReleaseChild(TChildRec& child) { child.Release.Reset(); }

int WaitChild(pid_t pid) {
  int status = -1;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

namespace {

// Reads /proc/PID/NAME whole into Buf (at most Size - 1 bytes, terminated);
// false when it cannot be read (the process is gone).
bool ReadProcFile(const std::string& pid, const char* name, char* buf, std::size_t size) {
  const std::string path = "/proc/" + pid + "/" + name;
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return false;
  const ssize_t n = ::read(fd.Get(), buf, size - 1);
  if (n < 0) return false;
  buf[n] = '\0';
  return true;
}

// True when process Pid is in Group and stopped.
bool StoppedIn(const std::string& pid, pid_t group) {
  char buf[512];
  if (!ReadProcFile(pid, "stat", buf, sizeof buf)) return false;
  // "pid (name) state ppid pgrp ...": the name may hold any byte, ')' too.
  const char* afterName = std::strrchr(buf, ')');
  char state = 0;
  int parent = 0, pgrp = 0;
  return afterName != nullptr &&
         std::sscanf(afterName + 1, " %c %d %d", &state, &parent, &pgrp) == 3 && pgrp == group &&
         state == 'T';
}

}  // namespace

bool ProcessGroupStopped(pid_t group) {
  // The leader's descendants, through each one's list of children: a few
  // files, where a look at every process of a busy host costs milliseconds.
  std::vector<std::string> pending{std::to_string(group)};
  char children[4096];
  if (ReadProcFile(pending[0], ("task/" + pending[0] + "/children").c_str(), children,
                   sizeof children)) {
    for (std::size_t looked = 0; looked < pending.size() && looked < 256; ++looked) {
      const std::string pid = pending[looked];
      if (StoppedIn(pid, group)) return true;
      if (!ReadProcFile(pid, ("task/" + pid + "/children").c_str(), children, sizeof children))
        continue;
      std::string_view rest(children);
      while (!rest.empty()) {
        const std::size_t end = std::min(rest.find_first_of(" \n"), rest.size());
        if (end > 0) pending.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
      }
    }
    return false;
  }
  // Without those lists, every process is looked at.
  DIR* dir = ::opendir("/proc");
  if (dir == nullptr) return false;
  bool stopped = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    if (StoppedIn(entry->d_name, group)) {
      stopped = true;
      break;
    }
  }
  ::closedir(dir);
  return stopped;
}

TFd ChildEndFd(pid_t pid) { return TFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))); }

}  // namespace corvix
