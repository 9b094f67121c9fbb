// How each base's posting ended, as the summary after a run and the posting
// log tell it, and the exit status the postings give.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/config/session.h"

namespace corvix {

// How the posting to one base ended: "ok", "exit status N" (with "(not
// found)" for 127 and "(not executable)" for 126), "signal N", "stopped" or
// "not started".
std::string PostedResultText(const TPostedRec& base);

// The longest line of the summary; a utility's long last line is cut to fit.
inline constexpr std::size_t kSummaryLineMax = 160;

// One line per marked base (number, echo tag, result, and for a failed base
// the utility's last output line, cut so the line holds at most
// kSummaryLineMax bytes, controls shown as '?') and a total line; empty when
// posting never started.
std::string PostingSummary(const std::vector<TPostedRec>& posted);

// True when the base went ok, or its utility may have posted it (an
// interrupted wait): such a base is not posted again by "rest".
bool PostedOkOrInDoubt(const TPostedRec& base);

// The line that ends a summary when Count bases were saved as the selection
// "rest": how to post them with the same message file.
std::string RestLine(std::size_t count, const std::string& msgFile);

// kExitDone when every base ended with status 0 (or there are none),
// kExitFailed otherwise.
int PostingExitStatus(const std::vector<TPostedRec>& posted);

}  // namespace corvix
