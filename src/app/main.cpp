// corvixmass: posts one message file into many message bases of the host BBS.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "app/command_line.h"
#include "app/options.h"
#include "app/run.h"
#include "app/run_scope.h"
#include "app/selections.h"
#include "app/startup_checks.h"
#include "app/unattended.h"
#include "support/io_error.h"
#include "term/console.h"

int main(int argc, char** argv) {
  // The command line is read once, here; everything after takes this value.
  corvix::TOptionsRec options;
  if (std::string misuse = corvix::ParseOptions(argc, argv, options); !misuse.empty())
    return corvix::ReportMisuse(misuse);
  if (options.Mode == corvix::TRunMode::modeHelp) {
    std::fputs(corvix::UsageText().c_str(), stdout);
    return 0;
  }
  if (options.Mode == corvix::TRunMode::modeVersion) {
    std::printf("corvixmass %s\n", corvix::kVersion);
    return 0;
  }
  if (int status = corvix::CheckBeforeStart(options); status >= 0) return status;
  if (options.Mode == corvix::TRunMode::modePost) return corvix::RunUnattended(options);
  if (options.Mode == corvix::TRunMode::modeListBases) return corvix::ListBases(options);
  if (options.Select && !corvix::TakeStartSelection(*options.Select, options.Force)) return 1;
  try {
    corvix::TRunScope scope;
    corvix::RunSession(options);
  } catch (const std::bad_alloc&) {
    // The scope has unwound on the way here, as below.
    std::fputs(corvix::PostingSummary(corvix::Session.Posted).c_str(), stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "corvixmass: not enough memory\n");
    return corvix::kExitError;
  } catch (const std::exception& e) {
    // The scope has unwound on the way here: the screen is cleared and the
    // terminal restored, so the report lands on a clean screen at the top.
    // What was posted before the error is reported first, so the operator
    // knows which bases to leave out when trying again.
    std::fputs(corvix::PostingSummary(corvix::Session.Posted).c_str(), stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "corvixmass: %s\n", e.what());
    return corvix::kExitError;
  }
}
