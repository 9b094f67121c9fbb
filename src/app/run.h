// The run from start to exit: screens in a fixed order, one orderly way out.
#pragma once

namespace corvix {

// Fills the screen with the light shade (79 columns on every row) in grey.
void DrawBackground();

// Reads the configuration file (Session.IniPath; when empty, corvixmass.ini
// beside the executable) into the session record.
void ReadConfiguration();

// The whole session: from the screen set-up to Shutdown (which does not
// return). Throws IoError when a checked file operation fails.
[[noreturn]] void RunSession(int argc, char** argv);

}  // namespace corvix
