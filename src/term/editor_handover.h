// Runs a command line through the shell with the terminal as the operator had
// it before the program started, then returns to the program's screen mode.
#pragma once

#include <string>

namespace corvix {

// Runs Cmd through /bin/sh -c on the terminal and waits for it. The child's
// process group is put in front of the terminal first, then the terminal's
// original settings come back (pending screen output flushed) and the child
// runs; when it ends, raw mode comes back before the program's own group is
// in front again. So no key typed around the hand-over signals the program.
// HUP, INT, QUIT or TERM sent to the program meanwhile is passed on to the
// child, which is waited for (a bounded time), and stays pending
// (PendingEndSignal) for the caller to end the program by. Returns the wait
// status (-1 when the child could not be started).
[[nodiscard]] int RunChildCommand(const std::string& cmd);

// True when the wait status of RunChildCommand(Cmd) says the shell ran
// nothing: the command was not found (127) or cannot be run (126), or the
// shell could not read it (2, with a syntax error that the shell confirms
// on a second reading that runs nothing).
[[nodiscard]] bool ShellRanNothing(int status, const std::string& cmd);

// Quotes Text for the shell as one word: single quotes, an embedded ' written as '\''.
std::string ShellQuote(std::string_view text);

}  // namespace corvix
