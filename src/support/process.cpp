// RunShell: fork, exec /bin/sh -c, wait. The parent ignores SIGINT and SIGQUIT
// while the child runs, so that Ctrl-C in the child does not end the program.
#include "support/process.h"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace corvix {

int RunShell(const std::string& cmd) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction oldInt {
  }, oldQuit{};
  sigaction(SIGINT, &ignore, &oldInt);
  sigaction(SIGQUIT, &ignore, &oldQuit);

  int status = -1;
  pid_t pid = fork();
  if (pid == 0) {
    struct sigaction dflt {};
    dflt.sa_handler = SIG_DFL;
    sigemptyset(&dflt.sa_mask);
    sigaction(SIGINT, &dflt, nullptr);
    sigaction(SIGQUIT, &dflt, nullptr);
    execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid > 0) {
    while (waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) {
        status = -1;
        break;
      }
    }
  }

  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGQUIT, &oldQuit, nullptr);
  return status;
}

}  // namespace corvix
