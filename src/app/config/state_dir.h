// The one directory where the program keeps files for the operator between
// runs: the posting log and the named selections.
#pragma once

#include <string>

namespace corvix {

// $XDG_STATE_HOME/corvixmass/ when XDG_STATE_HOME is set to an absolute path,
// else $HOME/.local/state/corvixmass/; always ends in '/'. Empty when neither
// gives an absolute path.
std::string StateDirPath();

// StateDirPath() + Sub (e.g. "selections/"), made with every missing parent
// (mode 0700 for what is made). Returns the path, or an empty text with the
// reason in Error when it cannot be made.
std::string EnsureStateDir(const std::string& sub, std::string& error);

}  // namespace corvix
