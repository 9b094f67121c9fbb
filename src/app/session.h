// The session record of one run and the one orderly way out, Shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/short_string.h"

namespace corvix {

class TBar;

// How the posting to one base ended.
enum class TPostOutcome : std::uint8_t {
  kNotStarted,  // its utility never ran (the run was stopped or ended before it)
  kEnded,       // the utility ended by itself: WaitStatus says how
  kStopped,     // the utility was ended on the operator's request
};

// One marked base of this run and how its posting went, for the summary
// printed after the screen is gone and for the posting log.
struct TPostedRec {
  ShortString BaseNumber;
  ShortString Line;  // the base list line: number, echo tag, name
  TPostOutcome Outcome = TPostOutcome::kNotStarted;
  int WaitStatus = -1;   // of the host utility, when it ran
  std::string LastLine;  // the utility's last output line
};

struct TSession {
  ShortString AppDir;         // directory of the running executable, with its '/'
  ShortString StartDir;       // working directory at start-up
  std::string IniPath;        // the configuration file: beside the executable, or --config
  ShortString EditorCmd;      // [main] editor
  bool Utf8Terminal = false;  // [main] charset = utf8: the terminal takes UTF-8, not code page 437
  ShortString Colors;         // [main] colors as written: bold, explicit, pc; else TERM decides
  std::int32_t PostDelay = 100;   // [main] delay; only the low 16 bits count
  std::int32_t EscapeDelay = 50;  // [main] escape_delay: ms a key's bytes may lie apart (10-1000)
  bool RedrawFull = false;  // [main] redraw = full: every request's bytes, not only the changes
  ShortString BasesPath;    // [corvix] mbases: the catalogue
  ShortString HostDir;      // [corvix] dir: where the job file goes and the utility runs
  ShortString MsgFrom;      // [message] from
  ShortString MsgTo;        // [message] to
  ShortString MsgSubject;   // [message] subject
  ShortString MsgFile;      // command line or file-open dialog
  bool AnySelected = false;
  TBar* BaseList = nullptr;        // owned by the run's TRunScope; freed by Shutdown
  std::vector<TPostedRec> Posted;  // every marked base once posting starts, in list order
  int ExitStatus = 0;              // 1 once an error ended the run; otherwise the postings decide
};

// The session of this run: set up by the start-up code, read by every screen.
extern TSession Session;

// Frees the base list, clears the screen, destroys the screen and keyboard
// objects (restoring the terminal), prints the posting summary and exits with
// RunExitStatus().
[[noreturn]] void Shutdown();

}  // namespace corvix
