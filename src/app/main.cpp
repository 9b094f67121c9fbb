// corvixmass: posts one message file into many message bases of the host BBS.
#include <cstdio>

#include "app/run.h"
#include "support/io_error.h"
#include "term/console.h"

int main(int argc, char** argv) {
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
