// corvixmass: posts one message file into many message bases of the host BBS.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "app/command_line.h"
#include "app/run.h"
#include "app/startup_checks.h"
#include "support/io_error.h"
#include "term/console.h"

int main(int argc, char** argv) {
  corvix::TStartupOptions options;
  std::string misuse = corvix::TakeStartupOptions(argc, argv, options);
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(corvix::UsageText().c_str(), stdout);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("corvixmass %s\n", corvix::kVersion);
    return 0;
  }
  if (!misuse.empty()) {
    std::fprintf(stderr, "%s\n", misuse.c_str());
    return 1;
  }
  if (int status = corvix::CheckBeforeStart(options); status >= 0) return status;
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
  } catch (const std::bad_alloc&) {
    delete corvix::Screen;
    corvix::Screen = nullptr;
    delete corvix::Keyboard;
    corvix::Keyboard = nullptr;
    std::fprintf(stderr, "corvixmass: not enough memory\n");
    return 1;
  }
}
