// The runs for scripts, without a screen or terminal: unattended posting
// (corvixmass --post FILE --bases LIST --subject TEXT ...), whose progress
// lines and summary go to standard output, errors and failed bases to
// standard error, with an exit status that tells how it went; and
// --list-bases.
#pragma once

#include <string>
#include <vector>

namespace corvix {

struct TOptionsRec;
struct TCatalogueEntryRec;

// The base numbers LIST names, in canonical decimal, checked against the
// catalogue Bases: a number (which must be there), a range "100-199" (every
// base of the catalogue in it), @NAME (the numbers of that saved selection;
// one saved from another catalogue only with Force) and an echo-tag pattern
// with '*' and '?' ("LINUX*", letters without regard to case). A range or
// pattern that names no base is an error too. Empty entries are skipped.
// False with the reason in Error.
[[nodiscard]] bool ExpandBaseList(const std::string& list,
                                  const std::vector<TCatalogueEntryRec>& bases, bool force,
                                  std::vector<std::string>& numbers, std::string& error);

// The whole unattended run, after the start-up checks of the configuration;
// returns the exit status: 0 posted (or nothing to do: a dry run, or the
// question answered no), 3 a posting failed, was stopped or was not started,
// 1 an error before posting (nothing was posted) or one that ended the run.
// With Quiet, standard output stays empty when every base is ok.
int RunUnattended(const TOptionsRec& options);

// --list-bases [PATTERN]: one line per matching base of the catalogue on
// standard output; the exit status (1 when the catalogue cannot be read).
int ListBases(const TOptionsRec& options);

}  // namespace corvix
