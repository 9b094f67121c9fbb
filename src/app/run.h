// The run from start to exit: screens in a fixed order, one orderly way out.
#pragma once

#include "app/config/session.h"

namespace corvix {

// Fills the screen with the light shade (79 columns on every row) in grey.
void DrawBackground();

struct TOptionsRec;
class TRunScope;

// The whole session with the message file Options names, from the screen
// set-up to the last screen, on a console opened on Scope (which main holds
// and which gives the terminal back when it ends). Returns how the run ended; throws
// IoError when a checked file operation fails.
[[nodiscard]] TRunOutcome RunSession(TRunScope& scope, const TOptionsRec& options);

// The notice after an editor command the shell could not run: it names the
// command (control bytes masked, a long one cut to fit the box).
ShortString EditorFailedNotice(const ShortString& editorCmd);

// The status a run that ended with Outcome exits with: kExitError after an
// error, what the postings give once they ran, kExitDone otherwise.
int RunExitStatus(TRunOutcome outcome);

// What follows the summary of a run that posted: the "Not posted" line on
// standard output, and on standard error a "rest" that could not be saved
// and a posting log that could not be written (which turns Status into
// kExitError: the postings are done but not recorded). Returns the status.
int TellAfterPosting(int status);

// The end of every run, once the screen is gone: prints the posting summary
// (and Error, when not null: an exception ended the run, to standard error)
// and returns the exit status. Only main calls it, and ends the process with it.
int Shutdown(TRunOutcome outcome, const char* error);

}  // namespace corvix
