// Runs a command line through the shell with the terminal as the operator had
// it before the program started, then returns to the program's screen mode.
#pragma once

#include <string>

namespace corvix {

// Flushes pending screen output, puts the terminal's original settings back,
// runs Cmd through /bin/sh -c and waits for it, then re-enters raw mode.
// HUP, INT, QUIT or TERM sent to the program meanwhile is passed on to the
// child, which is waited for (a bounded time), and then ends the program.
// Returns the wait status (-1 when the child could not be started).
int RunChildCommand(const std::string& cmd);

// Quotes Text for the shell as one word: single quotes, an embedded ' written as '\''.
std::string ShellQuote(std::string_view text);

}  // namespace corvix
