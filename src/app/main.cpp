// corvixmass: posts one message file into many message bases of the host BBS.
#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "app/config/options.h"
#include "app/config/selections.h"
#include "app/config/session.h"
#include "app/config/startup_checks.h"
#include "app/config/usage.h"
#include "app/posting/posting_journal.h"
#include "app/run.h"
#include "app/run_scope.h"
#include "app/unattended.h"
#include "support/io_error.h"
#include "support/standard_output.h"
#include "support/version.h"
#include "term/console.h"
#include "term/terminal_restore.h"

namespace {

// The run's exit status once standard output is known to hold everything
// printed there: a write that failed (a full disk, a closed pipe's reader
// gone, /dev/full) makes it 1 and is said on standard error, so a script
// never takes a cut list or summary for the whole.
int WithOutputChecked(int status) {
  const std::string reason = corvix::FinishStdout();
  if (reason.empty()) return status;
  corvix::SayProblem("write error: " + reason);
  return corvix::kExitError;
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is read once, here; everything after takes this value.
  corvix::TOptionsRec options;
  if (std::string misuse = corvix::ParseOptions(argc, argv, options); !misuse.empty())
    return corvix::ReportMisuse(misuse);
  if (options.Mode == corvix::TRunMode::kHelp) {
    corvix::PrintStdout(corvix::UsageText());
    return WithOutputChecked(0);
  }
  if (options.Mode == corvix::TRunMode::kVersion) {
    corvix::PrintfStdout("corvixmass %s\n", corvix::kVersion);
    return WithOutputChecked(0);
  }
  // A posting cut short by a kill or a crash is told before anything else:
  // on standard error without screens, as a notice once the screen is up.
  if (options.Mode != corvix::TRunMode::kListBases) {
    corvix::Session.StartNotices = corvix::ReviewLastPostings();
    if (options.Mode != corvix::TRunMode::kScreens) corvix::TellStartNotices();
  }
  if (const std::optional<int> status = corvix::CheckBeforeStart(options)) {
    corvix::TellStartNotices();  // the screen never came
    return WithOutputChecked(*status);
  }
  if (options.Mode == corvix::TRunMode::kListBases)
    return WithOutputChecked(corvix::ListBases(options));
  if (options.Select && !corvix::TakeStartSelection(*options.Select, options.Force)) return 1;
  int status;
  if (options.Mode == corvix::TRunMode::kPost) {
    status = corvix::RunUnattended(options);
  } else {
    // The one way out of a full-screen run: the screens return here, the
    // scope gives the terminal back as it ends (an exception unwinds it on
    // the way to the catch), then the summary and the exit status.
    corvix::TRunOutcome outcome = corvix::TRunOutcome::kError;
    const char* error = nullptr;  // a literal: nothing is allocated when memory ran out
    std::string report;
    try {
      corvix::TRunScope scope;
      outcome = corvix::RunSession(scope, options);
      // Ctrl-C typed again while the terminal goes back to its own settings
      // would end the program by a signal instead of the status asked for.
      if (outcome == corvix::TRunOutcome::kInterrupted) {
        std::signal(SIGINT, SIG_IGN);
        std::signal(SIGQUIT, SIG_IGN);
      }
      if (corvix::Screen != nullptr) corvix::ClearScreen();
    } catch (const std::bad_alloc&) {
      error = "not enough memory";
    } catch (const std::exception& e) {
      report = e.what();
      error = report.c_str();
    }
    status = corvix::Shutdown(outcome, error);
  }
  status = WithOutputChecked(status);
  // A signal that ended the posting ends the process the same way, now that
  // the summary is out and the terminal is back.
  corvix::EndByPendingSignal();
  return status;
}
