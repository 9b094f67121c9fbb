// What the program checks before it touches the terminal: its own options
// (--check, --config), standard input and output, the configuration file, the
// catalogue and host directory it names, and the terminal's size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvix {

// The start-up options, taken out of the command line before the rest is read.
struct TStartupOptions {
  bool Check = false;       // --check: run the checks, print what they found, exit
  std::string ConfigPath;   // --config FILE; empty: corvixmass.ini beside the executable
  bool Unattended = false;  // --post: no terminal is needed or touched
  // The first argument before "--" that looks like an option but is none of
  // the interactive run's (--help, --version, --select); empty when none.
  std::string UnknownOption;
};

// Takes --check, --config FILE and --config=FILE out of Argv (Argc shrinks),
// so that what is left (the message file) is read as before. An argument "--"
// ends the options and is taken out too. Returns a one-line message when
// --config has no file name, empty otherwise.
std::string TakeStartupOptions(int& argc, char** argv, TStartupOptions& options);

// corvixmass.ini beside the running executable (beside a link's target).
std::string DefaultConfigPath();

// The message when standard input or output is not a terminal; empty when
// both are.
std::string TerminalProblem(bool inputIsTerminal, bool outputIsTerminal);

// "utf8" when the first of LC_ALL, LC_CTYPE and LANG that is set (and not
// empty) names UTF-8 as its character set, else "cp437". Null means unset.
const char* CharsetFromLocale(const char* lcAll, const char* lcCtype, const char* lang);
// The same, read from this process's environment: the default of [main] charset.
const char* DefaultCharset();

// The message when the catalogue Path (the value of Setting in IniPath; a
// relative name counts from Cwd) is not a regular readable file of at most
// 65,536 records; empty when it is, with its whole records in Records. The
// file is opened without blocking.
std::string CatalogueProblem(const std::string& path, const std::string& cwd,
                             const std::string& setting, const std::string& iniPath,
                             std::int64_t& records);

// The message when the host directory Dir (made absolute against Cwd, the
// result in Absolute) is not a writable directory of at most 255 characters.
std::string HostDirProblem(const std::string& dir, const std::string& cwd,
                           const std::string& setting, const std::string& iniPath,
                           std::string& absolute);

// A warning when the host utility is missing from HostDir or not executable;
// empty when it is there. The run goes on either way.
std::string UtilityWarning(const std::string& hostDir);

// What CheckConfiguration found.
struct TConfigFindings {
  std::vector<std::string> Report;    // for --check: each key and value, what was found
  std::vector<std::string> Warnings;  // what does not stop the run
  std::string Problem;                // the first failure; empty when the run may go on
};

// Reads the configuration file IniPath and checks, in this order, the file
// itself, [corvix] mbases and [corvix] dir. Relative names count from Cwd.
TConfigFindings CheckConfiguration(const std::string& iniPath, const std::string& cwd);

// When the terminal on Fd is smaller than 80x25, asks it once to grow (the
// resize request of the screen object). Nothing waits for it: the run uses
// 80x24 as it is, and 25 rows once the terminal grows; a smaller terminal
// gets a notice on screen until it is made larger.
void RequestTerminalSize(int fd);

// Everything above, for main: the checks of an interactive run or of --check.
// Prints what it has to (problems to standard error, the --check report to
// standard output) and returns the exit status, or -1 to go on with the run.
// Sets the configuration path the run reads.
int CheckBeforeStart(const TStartupOptions& options);

}  // namespace corvix
