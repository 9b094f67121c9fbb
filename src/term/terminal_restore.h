// Puts the terminal settings a program found at start back on every way out:
// an orderly end, an exception that reaches std::terminate, and the signals
// SIGTERM, SIGHUP and SIGQUIT.
#pragma once

#include <sys/types.h>
#include <termios.h>

namespace corvix {

// Remembers Saved as the settings to put back on TermFd, and makes sure the
// handlers are in place: for SIGTERM, SIGHUP and SIGQUIT (unless the signal
// is ignored, as under nohup), for std::terminate and for exit. The signal
// handler applies the settings, writes a constant reset text to OutFd and then
// dies by the same signal with its default action. A later call replaces the
// settings remembered by an earlier one.
void ArmTerminalRestore(int termFd, const struct termios& saved, int outFd);

// Applies the remembered settings now, if any are remembered. Async-signal-safe.
void RestoreTerminal();

// Forgets the settings remembered for TermFd (after they have been applied by
// their owner); the handlers stay installed and then only re-raise.
void DisarmTerminalRestore(int termFd);

// True while settings are remembered.
bool TerminalRestoreArmed();

// ---- A child process running while the program waits. ----
// While a child is registered, the signals that end the program (HUP, INT,
// TERM) do not end it at once: they are passed on to the child (to its whole
// process group when ProcessGroup is true) and remembered, so the code waiting
// for the child can let it end, then end the program by that signal with
// EndByPendingSignal, and nothing is left running on the terminal or the job
// file. Async-signal-safe to read from a handler.
void SetRunningChild(pid_t pid, bool processGroup);
void ClearRunningChild();
// The ending signal received while a child ran, or 0.
int PendingEndSignal();
// Restores the terminal and ends the process by the pending signal; returns
// when none is pending.
void EndByPendingSignal();

// The text the signal handler writes after restoring the settings: attribute
// and character set back to the terminal's defaults, and a fresh line.
inline constexpr char kTerminalResetText[] = "\x1b[0m\x1b(B\r\n";

}  // namespace corvix
