// The posting view: the posting loop over the marked bases under a progress
// box, which also reads the keys that stop it.
#pragma once

#include "app/config/session.h"

namespace corvix {

// Posts to every marked base of the session's base list with the progress
// box on screen, the results going to Session.Posted: kPosted. A job that
// cannot be posted as asked (see CheckPostingJob) posts nothing: a notice
// says why, kError.
[[nodiscard]] TRunOutcome PostMarkedBases();

}  // namespace corvix
