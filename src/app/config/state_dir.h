// The one directory where the program keeps files for the operator between
// runs: the posting log and the named selections.
#pragma once

#include <cstddef>
#include <string>

namespace corvix {

// $XDG_STATE_HOME/corvixmass/ when XDG_STATE_HOME is set to an absolute path,
// else HOME/.local/state/corvixmass/ with HOME from the environment or, where
// it is not set (env -i, some cron set-ups), the user's entry in /etc/passwd;
// always ends in '/'. Empty when none gives an absolute path.
std::string StateDirPath();

// The home directory of user Uid in the passwd-format file Path, or "".
// Read directly: the program is linked statically, without the library's
// user lookups.
std::string HomeFromPasswd(const char* path, unsigned uid);

// StateDirPath() + Sub (e.g. "selections/"), made with every missing parent
// (mode 0700 for what is made). Returns the path, or an empty text with the
// reason in Error when it cannot be made.
[[nodiscard]] std::string EnsureStateDir(const std::string& sub, std::string& error);

// Opens Path, a file of the state directory, with Flags (O_RDONLY, or
// O_WRONLY | O_APPEND | O_CREAT ...), never blocking (a FIFO planted there
// would wait for ever) and never following a link when it writes. It must be
// a regular file of at most MaxSize bytes (0: any size). Returns the open
// descriptor (close-on-exec, blocking again), or -1 with "Path: reason" in
// Error.
[[nodiscard]] int OpenStateFile(const std::string& path, int flags, std::size_t maxSize,
                                std::string& error);

// Creates Dir + "." + Stem + ".new" for writing, exclusively: whatever has
// that name already (a link planted there, a file left by an earlier run) is
// removed first, never written through. Returns the descriptor and the name
// in TempPath, or -1 with the reason in Error. The caller renames it over the
// final name, or removes it.
[[nodiscard]] int CreateStateTemp(const std::string& dir, const std::string& stem,
                                  std::string& tempPath, std::string& error);

}  // namespace corvix
