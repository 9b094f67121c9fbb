// corvixmass: posts one message file into many message bases of the host BBS.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/run.h"
#include "app/selections.h"
#include "app/unattended.h"
#include "support/io_error.h"
#include "term/console.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(corvix::UsageText().c_str(), stdout);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("corvixmass %s\n", corvix::kVersion);
    return 0;
  }
  if (corvix::IsUnattendedPost(argc, argv)) return corvix::RunUnattended(argc, argv);
  if (!corvix::TakeSelectOption(argc, argv)) return 1;
  winsize ws{};
  if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col != 0 &&
      ws.ws_row != 0) {
    std::string problem = corvix::TerminalSizeProblem(ws.ws_col, ws.ws_row);
    if (!problem.empty()) {
      std::fprintf(stderr, "%s\n", problem.c_str());
      return 1;
    }
  }
  try {
    corvix::RunSession(argc, argv);
  } catch (const corvix::IoError& e) {
    // The terminal comes back first, so the report lands on a sane screen.
    delete corvix::Screen;
    corvix::Screen = nullptr;
    delete corvix::Keyboard;
    corvix::Keyboard = nullptr;
    std::fprintf(stderr, "corvixmass: %s\n", e.what());
    return 1;
  }
}
