// What the program checks before it touches the terminal: its own options
// (--check, --config), standard input and output, the configuration file, the
// catalogue and host directory it names, and the terminal's size; the
// configuration they read is then taken into the session record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/config/ini_reader.h"
#include "app/config/settings.h"

namespace corvix {

struct TOptionsRec;

// The message when standard input or output is not a terminal; empty when
// both are.
[[nodiscard]] std::string TerminalProblem(bool inputIsTerminal, bool outputIsTerminal);

// The message when the catalogue Path (the value of Setting in IniPath; a
// relative name counts from Cwd) is not a regular readable file of at most
// 65,536 records; empty when it is, with its whole records in Records. The
// file is opened without blocking.
[[nodiscard]] std::string CatalogueProblem(const std::string& path, const std::string& cwd,
                                           const std::string& setting, const std::string& iniPath,
                                           std::int64_t& records);

// The message when the host directory Dir (made absolute against Cwd, the
// result in Absolute) is not a writable directory of at most 255 characters.
[[nodiscard]] std::string HostDirProblem(const std::string& dir, const std::string& cwd,
                                         const std::string& setting, const std::string& iniPath,
                                         std::string& absolute);

// A warning when the host utility is missing from HostDir or not executable;
// empty when it is there. The run goes on either way.
std::string UtilityWarning(const std::string& hostDir);

// What CheckConfiguration found.
struct TConfigFindings {
  std::vector<std::string> Report;    // for --check: each key and value, what was found
  std::vector<std::string> Warnings;  // what does not stop the run
  // What a run would get wrong though it starts: values replaced by their
  // defaults, a missing or unusable utility. --check fails on them; a run
  // says them on standard error and goes on.
  std::vector<std::string> Invalid;
  std::vector<std::string> Notes;  // the ownership warnings, also said by a run
  std::string Problem;             // the first failure; empty when the run may go on
  std::string CataloguePath;       // absolute, once [corvix] mbases passed its check
};

// How the catalogue at Path looks, read whole: repeated base numbers and
// names or echo tags with control bytes go to Warnings; a size that is not a
// whole number of records, no record with a printable name (a text file
// given as the catalogue) or a failed read go to Failures.
void CatalogueWarnings(const std::string& path, std::vector<std::string>& warnings,
                       std::vector<std::string>& failures);

// True when the first word of Command names a program that can be run: a
// path to an executable file, or a name found in Path ($PATH's value). A
// command starting with a shell word such as "VAR=x" or "exec" passes.
bool CommandFound(const std::string& command, const char* path);

// Warnings when the host directory HostDir or its corvixutil is writable by
// group or others, or owned by someone other than Uid or root: whoever can
// write them can make the program run their code with the operator's rights.
std::vector<std::string> OwnershipWarnings(const std::string& hostDir, unsigned uid);

// Reads the configuration file IniPath and checks, in this order, the file
// itself, its values, the editor, [corvix] mbases and [corvix] dir. Relative
// names count from Cwd.
TConfigFindings CheckConfiguration(const std::string& iniPath, const std::string& cwd);
// The same, keeping the file as read in Ini for the run to take its settings from.
TConfigFindings CheckConfiguration(const std::string& iniPath, const std::string& cwd,
                                   TIniReader& ini);

// When the terminal on Fd is smaller than 80x25, asks it once to grow (the
// resize request of the screen object). Nothing waits for it: the run uses
// the rows it has (from 20), and 25 once the terminal grows; a smaller
// terminal gets a notice on screen until it is made larger. A terminal that
// grew is asked for its old size again on the way out.
void RequestTerminalSize(int fd);

// Everything above, for main: the checks of an interactive run or of --check.
// Prints what it has to (problems to standard error, the --check report to
// standard output) and returns the exit status, or nothing to go on with the
// run. Finds the configuration file (Session.IniPath) and reads it, once,
// into the session for the run.
[[nodiscard]] std::optional<int> CheckBeforeStart(const TOptionsRec& options);

}  // namespace corvix
