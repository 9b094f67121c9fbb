// What the program does before it touches the terminal: --help, --version,
// the terminal size check; and the summary it prints after the screen is gone.
#pragma once

#include <string>
#include <vector>

#include "app/session.h"
#include "support/version.h"

namespace corvix {

// The usage text printed by --help.
std::string UsageText();

// The echo tag shown in a base list line (columns 5-16, blanks trimmed).
std::string EchoTagOfLine(const ShortString& line);

// The exit statuses of a run.
inline constexpr int kExitDone = 0;    // every marked base posted with status 0, or cancelled
inline constexpr int kExitError = 1;   // an error ended the run
inline constexpr int kExitFailed = 3;  // a base failed, was stopped or was not started

// How the posting to one base ended: "ok", "exit status N" (with "(not
// found)" for 127 and "(not executable)" for 126), "signal N", "stopped" or
// "not started".
std::string PostedResultText(const TPostedRec& base);

// One line per marked base (number, echo tag, result, and for a failed base
// the utility's last output line) and a total line; empty when posting never
// started.
std::string PostingSummary(const std::vector<TPostedRec>& posted);

// kExitDone when every base ended with status 0 (or there are none),
// kExitFailed otherwise.
int PostingExitStatus(const std::vector<TPostedRec>& posted);

// The status a run that ended with Outcome exits with: kExitError after an
// error, what the postings give once they ran, kExitDone otherwise.
int RunExitStatus(TRunOutcome outcome);

}  // namespace corvix
