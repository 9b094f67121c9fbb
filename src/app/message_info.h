// The two screens before posting: the message details form and the
// confirmation list, which on Enter runs the posting loop.
#pragma once

namespace corvix {

// Runs the From/To/Subject form until a field has been edited and the
// subject is not empty.
void EditMessageInfo();

// Lists the marked bases; Escape calls Shutdown, Enter posts to every marked
// base in list order and returns.
void ConfirmAndPost();

// Posts to every marked base of the session's base list with the progress
// box on screen, the results going to Session.Posted. A job that cannot be
// posted as asked (see CheckPostingJob) posts nothing: a notice says why and
// the run ends through Shutdown with status 1.
void PostMarkedBases();

}  // namespace corvix
