// Puts the terminal a program found at start back on every way out: an
// orderly end, an exception that reaches std::terminate, and every signal
// that ends or stops the process; brings the program's screen back when it
// is continued, and hands a running child the signals meant to end the program.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string_view>

namespace corvix {

// Remembers Saved as the settings to put back on TermFd, and makes sure the
// handlers are in place: for every signal whose default action ends the
// process (HUP, INT, QUIT, TERM, PIPE, ALRM, USR1, USR2, VTALRM, PROF, XCPU,
// XFSZ, and the faults SEGV, BUS, FPE, ILL, ABRT) unless it is ignored (as
// under nohup), for SIGTSTP (unless ignored), SIGCONT and SIGWINCH, for
// std::terminate and for exit. An ending handler applies the settings, writes
// the leave text (below) to OutFd and then dies by the same signal with its
// default action. A later call replaces the settings remembered by an earlier one.
void ArmTerminalRestore(int termFd, const struct termios& saved, int outFd);

// Applies the remembered settings now, if any are remembered. Async-signal-safe.
void RestoreTerminal();

// Forgets the settings remembered for TermFd (after they have been applied by
// their owner); the handlers stay installed and then only re-raise.
void DisarmTerminalRestore(int termFd);

// True while settings are remembered.
bool TerminalRestoreArmed();

// ---- The program's screen on the terminal: stop, continue, resize. ----

// The longest enter or leave text kept.
inline constexpr std::size_t kMaxModeText = 128;

// Raw: the settings the program runs under. Enter: the bytes that put the
// terminal into the program's screen mode (character set, attribute reset,
// alternate screen, hidden cursor); Leave: the bytes that undo them. Texts
// longer than kMaxModeText are cut. Until this is called the leave text is
// kTerminalResetText without its line end and nothing is re-entered.
void SetTerminalScreenModes(const struct termios& raw, std::string_view enterText,
                            std::string_view leaveText);

// Whether the program's raw settings and screen are on the terminal now.
// False while a child process has the terminal and once the screen is gone:
// a stop or an ending signal then leaves the terminal's contents alone, and a
// continue does not take the terminal back.
void SetScreenOnTerminal(bool on);

// Work the handlers leave to the program's own flow, as bits.
inline constexpr int kEventResumed = 1;  // continued after a stop: raw again, repaint
inline constexpr int kEventResized = 2;  // the window size changed: repaint
// The events since the last call, cleared.
int TakeTerminalEvents();
// A descriptor that is readable while an event has come since the last
// TakeTerminalEvents (a wait polls it so that a resize or continue arriving
// just before the wait began still wakes it); -1 before the handlers are in.
int TerminalEventFd();

// ---- The terminal's size, when the program asked it to grow. ----

// Notes that the terminal on Fd, found at Rows x Columns, was asked to grow
// to GrownRows x GrownColumns, and prepares the texts that ask for either
// size, for the handlers. From then on, whenever the program gives the
// terminal back (an orderly end, an ending signal, a stop, a fault) while the
// terminal has the grown size, it asks for the size it was found at; a
// continue after a stop that did so asks for the grown size again. A
// terminal that did not grow, or was resized by hand since, is left alone.
void NoteSizeRequest(int fd, int rows, int columns, int grownRows, int grownColumns);

// The orderly way out's part of the above (and a child's, which gets the
// terminal as it was found): asks for the size the terminal was found at, if
// it grew as asked and has not been given back yet. RegrowTerminal asks for
// the grown size again after a child, if RestoreTerminalSize gave it back.
void RestoreTerminalSize();
void RegrowTerminal();

// ---- A child process running while the program waits. ----
//
// While a child is registered, the signals meant to end the program (HUP,
// INT, QUIT, TERM) do not end it at once: they are passed on to the child (to
// its whole process group when ProcessGroup is true) and remembered. INT and
// QUIT typed at the terminal are not passed on (the child, in the terminal's
// foreground group, has them already) and do not end the program, as before.
// The handlers are installed without SA_RESTART for these signals, so a
// blocking waitpid() or poll() returns EINTR when one arrives.
//
// A waiter registers its child with a TChildWait (below) and, when the wait
// is over, ends the program by EndByPendingSignal at a point of its choosing.
void SetRunningChild(pid_t pid, bool processGroup);
// For a run that never takes the terminal (unattended posting): installs the
// same handlers, so an ending signal reaches a registered child and waits for
// it; nothing of the terminal is touched.
void InstallEndingHandlers();
void ClearRunningChild();
// The ending signal received while a child ran, or 0.
int PendingEndSignal();
// Restores the terminal and ends the process by the pending signal; returns
// when none is pending.
void EndByPendingSignal();

// For a wait that is not for the child itself (a key read while a question
// is on screen and the child runs): once an ending signal is pending, lets
// the registered child end as WaitForChild does, then ends the program by
// that signal. Returns at once when none is pending.
void EndWithRunningChild();

// While on, HUP, INT and TERM arriving when no child runs do not end the
// program at once either: they are remembered as the pending signal and
// wake the event pipe, so a wait returns and the flow ends the program with
// EndByPendingSignal at a point of its choosing (after a posting is logged).
void DeferEndingSignals(bool on);

// DeferEndingSignals for the life of a scope.
struct TDeferEndingSignals {
  TDeferEndingSignals() { DeferEndingSignals(true); }
  ~TDeferEndingSignals() { DeferEndingSignals(false); }
  TDeferEndingSignals(const TDeferEndingSignals&) = delete;
  TDeferEndingSignals& operator=(const TDeferEndingSignals&) = delete;
};

// Called by EndByPendingSignal in the program's own flow (never in a
// handler), before the terminal is restored and the process ends by the
// signal: the application gives the terminal back there and prints what the
// operator must still learn (the posting summary). Set by the application;
// a pointer because the summary belongs to the application, above this layer.
extern void (*BeforeEndingBySignal)();

// How long a child may take to end after an ending signal was passed on.
inline constexpr int kChildEndGraceMs = 3000;
// Waits for Pid and returns its wait status (-1 on a wait error). Until an
// ending signal is pending the wait has no limit; from then on the child has
// kChildEndGraceMs to end before it (or its group) is sent SIGKILL.
[[nodiscard]] int WaitForChild(pid_t pid, bool processGroup);

// One child the program waits for, registered for the ending signals for
// the object's life. Create it in the parent as soon as the child is
// spawned: from then on an ending signal is passed on to the child and
// remembered (PendingEndSignal). Wait blocks until the child ends; a poll
// loop of its own tests PendingEndSignal after every poll (EINTR included)
// and, once it is not 0, stops reading keys and calls Wait, which lets the
// child end within kChildEndGraceMs and kills it after. The destructor
// unregisters the child, on every way out of the scope: let it go once the
// child is reaped, before anything else is done. The signal stays pending
// for the caller's EndByPendingSignal. A Pid of 0 or less registers nothing.
class TChildWait {
 public:
  TChildWait(pid_t pid, bool processGroup) : pid_(pid), processGroup_(processGroup) {
    if (pid_ > 0) SetRunningChild(pid_, processGroup_);
  }
  ~TChildWait() {
    if (pid_ > 0) ClearRunningChild();
  }
  TChildWait(const TChildWait&) = delete;
  TChildWait& operator=(const TChildWait&) = delete;

  // WaitForChild for this child.
  [[nodiscard]] int Wait() const { return WaitForChild(pid_, processGroup_); }

 private:
  pid_t pid_;
  bool processGroup_;
};

// The text an ending handler writes after restoring the settings when no
// screen modes are set: attribute and character set back to the terminal's
// defaults, and a fresh line.
inline constexpr char kTerminalResetText[] = "\x1b[0m\x1b(B\r\n";

}  // namespace corvix
