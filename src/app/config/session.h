// The session record of one run, how the run ended, the exit statuses and
// the printing of what the program has to say on standard error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/short_string.h"

namespace corvix {

class TBar;

// How the posting to one base ended.
enum class TPostOutcome : std::uint8_t {
  kNotStarted,   // its utility never ran (the run was stopped or ended before it)
  kEnded,        // the utility ended by itself: WaitStatus says how
  kStopped,      // the utility was ended on the operator's request
  kInterrupted,  // the utility ended but could not be waited for: it may have posted
};

// One marked base of this run and how its posting went, for the summary
// printed after the screen is gone and for the posting log.
struct TPostedRec {
  ShortString BaseNumber;
  ShortString Line;  // the base list line: number, echo tag, name
  TPostOutcome Outcome = TPostOutcome::kNotStarted;
  int WaitStatus = -1;   // of the host utility, when it ran
  std::string LastLine;  // the utility's last output line
  // The whole echo tag; Line shows a long one cut. Empty: read it from Line.
  ShortString EchoTag{};
};

struct TSession {
  ShortString AppDir;          // directory of the running executable, with its '/'
  ShortString StartDir;        // working directory at start-up
  std::string IniPath;         // the configuration file the search found (or --config)
  ShortString EditorCmd;       // [main] editor
  bool Utf8Terminal = false;   // [main] charset = utf8: the terminal takes UTF-8, not code page 437
  ShortString Colors;          // [main] colors as written (bold ... mono); else NO_COLOR, TERM
  std::int32_t PostDelay = 0;  // [main] delay; only the low 16 bits count
  // [main] repost_hours: a base that got the same message text this many
  // hours back is named and posting again asked first; 0 never asks.
  std::int32_t RepostHours = 0;
  bool RedrawFull = false;  // [main] redraw = full: every request's bytes, not only the changes
  ShortString BasesPath;    // [corvix] mbases: the catalogue
  ShortString HostDir;      // [corvix] dir: where the job file goes and the utility runs
  bool Utf8Host = false;    // [corvix] host_charset = utf8: the job file's texts in UTF-8
  ShortString Address;      // [corvix] address: the node address of the job file
  // [message] from, to, subject: held in code page 437 as the screen shows
  // them (the unattended run holds them in the host's set).
  ShortString MsgFrom;
  ShortString MsgTo;
  ShortString MsgSubject;
  ShortString MsgFile;  // command line or file-open dialog
  bool AnySelected = false;
  // Columns of the base number in the base list's lines: 4, or 5 when the
  // catalogue holds a number of five digits. Set when the list is loaded.
  std::size_t BaseIdWidth = 4;
  TBar* BaseList = nullptr;        // owned by the run's TRunScope, freed when main's scope ends
  std::vector<TPostedRec> Posted;  // every marked base once posting starts, in list order
  // Why posted.log could not be written this run ("" when every line was);
  // told after the run, and the exit status is then 1.
  std::string LogFailure;
  // What the last postings left unsaid (a run cut short), told before
  // anything else: a notice each on the screen.
  std::vector<std::string> StartNotices;
  // The base numbers saved as the selection "rest" at the end of the run
  // (empty: every base went ok, or nothing could be saved).
  std::size_t RestCount = 0;
  std::string RestHint;     // the summary's last line when RestCount is not 0
  std::string RestFailure;  // why "rest" could not be saved or removed
  // The base numbers --select loaded, marked (and cleared) by SelectBases
  // before the base list's first run.
  std::optional<std::vector<std::string>> StartMarks;
  // [main] charset = cp437 written in the configuration: the terminal shows
  // code page 437 (and not only the locale failed to name UTF-8).
  bool Cp437Terminal = false;
  // The value the run took for each row of the settings table, in its order
  // (see TakenSetting).
  std::vector<std::string> SettingValues;
};

// What a screen tells the run flow when the run goes no further than it, and
// what the run flow tells main.
enum class TRunOutcome : std::uint8_t {
  kPosted,         // the posting loop ran: Session.Posted says how each base went
  kLeft,           // the operator left before posting (Escape, "no")
  kNothingMarked,  // the base list was left with no base marked
  kError,          // an error ended the run; a notice has said why
  kInterrupted,    // Ctrl-C left the screens before posting
};

// The exit statuses of a run.
inline constexpr int kExitDone = 0;    // every marked base posted with status 0, or cancelled
inline constexpr int kExitError = 1;   // an error ended the run
inline constexpr int kExitMisuse = 2;  // the command line was misused
inline constexpr int kExitFailed = 3;  // a base failed, was stopped or was not started
inline constexpr int kExitInterrupted = 130;  // Ctrl-C left before posting (128 + SIGINT)

// The session of this run: set up by the start-up code, read by every screen.
// One per process and read by nearly every function of a run, so a global
// rather than a parameter threaded through each screen.
extern TSession Session;

// Prints "corvixmass: TEXT" on standard error, the one place the program's
// name is put before what it has to say. Text may name paths and values from
// outside: its control bytes are shown as '?' for the terminal in use.
void SayProblem(std::string_view text);

}  // namespace corvix
