// The session record of one run and the one orderly way out, Shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/short_string.h"

namespace corvix {

class TBar;

// One posting done in this run, for the summary printed after the screen is gone.
struct TPostedRec {
  ShortString BaseNumber;
  ShortString Line;  // the base list line: number, echo tag, name
  int WaitStatus;    // of the host utility; -1 when it could not be started
};

struct TSession {
  ShortString AppDir;       // directory of the running executable, with its '/'
  ShortString StartDir;     // working directory at start-up
  std::string IniPath;      // the configuration file: beside the executable, or --config
  ShortString EditorCmd;    // [main] editor
  bool Utf8Terminal = false;  // [main] charset = utf8: the terminal takes UTF-8, not code page 437
  bool ExplicitColors = true;  // [main] colors = explicit (default off the Linux console), or bold
  std::int32_t PostDelay = 100;  // [main] delay; only the low 16 bits count
  std::int32_t EscapeDelay = 50;  // [main] escape_delay: ms a key's bytes may lie apart (10-1000)
  bool RedrawFull = false;  // [main] redraw = full: every request's bytes, not only the changes
  ShortString BasesPath;    // [corvix] mbases: the catalogue
  ShortString HostDir;      // [corvix] dir: where the job file goes and the utility runs
  ShortString MsgFrom;      // [message] from
  ShortString MsgTo;        // [message] to
  ShortString MsgSubject;   // [message] subject
  ShortString MsgFile;      // command line or file-open dialog
  bool AnySelected = false;
  TBar* BaseList = nullptr;  // owned by the run's TRunScope; freed by Shutdown
  std::vector<TPostedRec> Posted;
};

// The session of this run: set up by the start-up code, read by every screen.
extern TSession Session;

// Frees the base list, clears the screen, destroys the screen and keyboard
// objects (restoring the terminal) and exits with status 0.
[[noreturn]] void Shutdown();

}  // namespace corvix
