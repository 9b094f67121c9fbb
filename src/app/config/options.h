// The command line of corvixmass, read once into one TOptionsRec that the
// start-up checks, the unattended run and the screens take from.
#pragma once

#include <optional>
#include <string>

namespace corvix {

// What the command line asks for.
enum class TRunMode : unsigned char {
  kScreens,    // the full-screen run, with an optional message file
  kHelp,       // -h, --help
  kVersion,    // -V, --version
  kCheck,      // --check
  kPost,       // --post FILE: unattended posting
  kListBases,  // --list-bases [PATTERN]
};

struct TOptionsRec {
  TRunMode Mode = TRunMode::kScreens;
  std::string ConfigPath;             // -c, --config FILE; empty: the places searched
  std::string MsgFile;                // the message-file operand, or --post FILE
  std::optional<std::string> Select;  // -s, --select NAME
  std::string Bases;                  // --bases LIST
  std::string Subject;                // --subject TEXT
  std::optional<std::string> From;    // --from TEXT; unset: the ini's [message] from
  std::optional<std::string> To;      // --to TEXT; unset: the ini's [message] to
  std::string Pattern;                // --list-bases PATTERN; empty: every base
  bool Yes = false;                   // -y, --yes
  bool DryRun = false;                // -n, --dry-run
  bool Quiet = false;                 // -q, --quiet
  bool Force = false;                 // --force: a selection saved from another catalogue
  bool Again = false;                 // --again: post to bases that got the same text lately
};

// Reads Argv into Options. Returns the misuse in a few words (without the
// program's name) when the command line cannot be read as one run: an unknown
// option, a missing value, an option given twice or not belonging to the run
// asked for, a second message file. Empty when the command line is good.
[[nodiscard]] std::string ParseOptions(int argc, const char* const* argv, TOptionsRec& options);

// Prints "corvixmass: MESSAGE" and the pointer to --help on standard error
// and returns kExitMisuse.
int ReportMisuse(const std::string& message);

}  // namespace corvix
