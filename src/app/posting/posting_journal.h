// What a posting run leaves for the next one: the selection "rest" of the
// bases it did not post, and the review at start-up of a run that was cut
// short (killed while a utility ran, or between two bases).
#pragma once

#include <string>
#include <vector>

#include "app/config/session.h"
#include "app/posting/posting_job.h"

namespace corvix {

// Saves every base of Bases as "rest", with a note naming this process, the
// time, the message's hash, the host directory and the message file: as long
// as the note stays, the run is under way or was cut short. Failures are
// ignored here; the end of the run tells them.
void SaveRestPending(const TPostingJobRec& job, const std::vector<TPostedRec>& bases);

// Saves the bases not posted ok as "rest" (without the note), or removes
// "rest" when every base went ok; a base that may have been posted
// (kInterrupted) is left out. Sets Session.RestCount to the bases saved and
// Session.RestHint to the line that tells how to post them, or
// Session.RestFailure.
// Never throws: it runs while an error may be unwinding the loop.
void SaveRestAfterRun(const TPostingJobRec& job, const std::vector<TPostedRec>& bases) noexcept;

// Reads posted.log for bases whose "started" entry has no later entry of the
// same host directory and base number. Such a base was being posted by a run
// that died: unless its host directory is locked (a posting, or the orphaned
// utility of the dead run, is still at work there; a later run reports it),
// it is told, and closed with an "interrupted" entry so that it is told only
// once. A "rest" still noted as under way by a process no longer alive is
// finished: the bases the dead run posted ok or may have posted are taken
// out. Returns the texts to tell, one per interrupted base, then the "Not
// posted" line of a finished "rest".
std::vector<std::string> ReviewLastPostings();

// True when the last review left something for later because a host
// directory was locked; the next call returns false until a review finds
// one locked again.
bool TakeReviewDeferred();

// Prints Session.StartNotices on standard error, one "corvixmass: " line
// each, and clears them.
void TellStartNotices();

}  // namespace corvix
