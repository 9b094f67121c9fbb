// corvixmass: posts one message file into many message bases of the host BBS.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "app/command_line.h"
#include "app/run.h"
#include "app/run_scope.h"
#include "app/selections.h"
#include "app/startup_checks.h"
#include "app/unattended.h"
#include "support/io_error.h"
#include "term/console.h"
#include "term/terminal_restore.h"

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
  options.Unattended = corvix::IsUnattendedPost(argc, argv);
  if (!options.Unattended && !corvix::TakeSelectOption(argc, argv)) return 1;
  // An option the interactive run does not know is refused rather than taken
  // for a message file to create (after "--" it is a file name).
  if (!options.Unattended && !options.UnknownOption.empty()) {
    std::fprintf(stderr, "corvixmass: unknown option %s (see corvixmass --help)\n",
                 options.UnknownOption.c_str());
    return 1;
  }
  if (int status = corvix::CheckBeforeStart(options); status >= 0) return status;
  int status;
  if (options.Unattended) {
    status = corvix::RunUnattended(argc, argv);
  } else {
    // The one way out of a full-screen run: the screens return here, the
    // scope gives the terminal back as it ends (an exception unwinds it on
    // the way to the catch), then the summary and the exit status.
    corvix::TRunOutcome outcome = corvix::TRunOutcome::kError;
    const char* error = nullptr;  // a literal: nothing is allocated when memory ran out
    std::string report;
    try {
      corvix::TRunScope scope;
      outcome = corvix::RunSession(argc, argv);
      if (corvix::Screen != nullptr) corvix::ClearScreen();
    } catch (const std::bad_alloc&) {
      error = "not enough memory";
    } catch (const std::exception& e) {
      report = e.what();
      error = report.c_str();
    }
    status = corvix::Shutdown(outcome, error);
  }
  // A signal that ended the posting ends the process the same way, now that
  // the summary is out and the terminal is back.
  corvix::EndByPendingSignal();
  return status;
}
