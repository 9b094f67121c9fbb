// Unattended posting: corvixmass --post FILE --bases LIST --subject TEXT
// [--from TEXT] [--to TEXT] [--yes] [--dry-run]. No screen, no terminal
// needed: progress lines and the summary go to standard output, errors to
// standard error, and the exit status tells a script how it went.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/session.h"
#include "support/short_string.h"

namespace corvix {

class TBar;

struct TPostOptionsRec {
  std::string MsgFile;
  std::string Bases;  // comma-separated base numbers and @NAME selections
  std::string Subject;
  std::optional<std::string> From;  // unset: the ini's [message] from
  std::optional<std::string> To;    // unset: the ini's [message] to
  bool Yes = false;
  bool DryRun = false;
};

// True when the arguments ask for an unattended posting (--post anywhere).
bool IsUnattendedPost(int argc, char** argv);

// Reads the options; false with the reason in Error for an unknown option, a
// missing value, or a missing --post, --bases or --subject.
bool ParsePostOptions(int argc, char** argv, TPostOptionsRec& options, std::string& error);

// The base numbers LIST names, in canonical decimal: numbers as they are,
// @NAME as the numbers of that saved selection. Empty entries are skipped.
// False with the reason in Error for a word that is neither.
bool ExpandBaseList(const std::string& list, std::vector<std::string>& numbers, std::string& error);

// Called before each posting: N (from 1) of Total, and the base list item.
using TPostProgressProc = std::function<void(std::size_t n, std::size_t total, std::int32_t item)>;

// The posting loop over the marked items of Bases, in list order: the job
// file, the utility and the pause for each, as the screens post. Each result
// is appended to Posted as soon as it is known. Throws IoError when a job
// file cannot be written.
void PostMarked(const TBar& bases, const ShortString& msgFile, const TPostProgressProc& progress,
                std::vector<TPostedRec>& posted);

// The whole unattended run; returns the exit status: 0 posted (or nothing to
// do: a dry run, or the question answered no), 3 a posting failed, 1 an error
// before posting (nothing was posted) or a job file that could not be written.
int RunUnattended(int argc, char** argv);

}  // namespace corvix
