// The run from start to exit: screens in a fixed order, one orderly way out.
#pragma once

namespace corvix {

// Fills the screen with the light shade (79 columns on every row) in grey.
void DrawBackground();

struct TOptionsRec;

// Reads the configuration file Session.IniPath into the session record, each
// setting as the table of settings says.
void ReadConfiguration();

// The whole session: from the screen set-up to Shutdown (which does not
// return), with the message file Options names. Throws IoError when a
// checked file operation fails.
[[noreturn]] void RunSession(const TOptionsRec& options);

}  // namespace corvix
