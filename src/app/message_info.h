// The two screens before posting: the message details form and the
// confirmation list, which on Enter runs the posting loop.
#pragma once

#include <string>

#include "support/short_string.h"

namespace corvix {

// Runs the From/To/Subject form until a field has been edited and the
// subject is not empty.
void EditMessageInfo();

// Lists the marked bases; Escape calls Shutdown, Enter posts to every marked
// base in list order and returns.
void ConfirmAndPost();

// The posting loop: for each marked base of the session's base list, the job
// file, the utility and the pause. A value holding a line break posts nothing:
// a notice names it and the run ends through Shutdown.
void PostMarkedBases();

// Path made absolute against Dir when it is relative; as it is otherwise.
// Never cut at 255, so a caller can tell when the result does not fit.
std::string AbsoluteFrom(const ShortString& dir, const ShortString& path);

}  // namespace corvix
