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

// The whole unattended run, after the start-up checks of the configuration;
// returns the exit status: 0 posted (or nothing to do: a dry run, or the
// question answered no), 3 a posting failed, was stopped or was not started,
// 1 an error before posting (nothing was posted) or one that ended the run.
int RunUnattended(int argc, char** argv);

}  // namespace corvix
