// The main routine's session flow and the end of a run.
#include "app/run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "app/config/options.h"
#include "app/config/session.h"
#include "app/config/settings.h"
#include "app/config/startup_checks.h"
#include "app/posting/posting_job.h"
#include "app/posting/posting_summary.h"
#include "app/run_scope.h"
#include "app/screens/base_select.h"
#include "app/screens/confirmation.h"
#include "app/screens/dialogs.h"
#include "app/screens/message_form.h"
#include "support/file_utils.h"
#include "support/standard_output.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/editor_handover.h"
#include "term/sgr.h"
#include "term/terminal_restore.h"
#include "widgets/light_bar.h"

namespace corvix {

void DrawBackground() {
  TextColor(7);
  ClearScreen();
  ShortString shade = RepeatChar(static_cast<char>(176), 79);
  for (std::uint8_t y = 1; y <= 25; ++y) WriteXY(1, y, 7, shade);
}

ShortString EditorFailedNotice(const ShortString& editorCmd) {
  // The notice box holds at most 76 characters; a longer command shows its
  // start, which names the program.
  constexpr std::size_t kRoom = 76 - 33;
  ShortString shown = ReplaceControl(editorCmd, '?');
  if (shown.size() > kRoom) shown = Copy(shown, 1, static_cast<std::int32_t>(kRoom - 3)) + "...";
  return "The editor could not be started: " + shown;
}

int RunExitStatus(TRunOutcome outcome) {
  switch (outcome) {
    case TRunOutcome::kError:
      return kExitError;
    case TRunOutcome::kPosted:
      return PostingExitStatus(Session.Posted);
    case TRunOutcome::kInterrupted:
      return kExitInterrupted;
    default:
      return kExitDone;
  }
}

int TellAfterPosting(int status) {
  std::fputs(Session.RestHint.c_str(), stdout);
  std::fflush(stdout);
  if (!Session.RestFailure.empty()) {
    SayProblem(Session.RestFailure + ": the bases not posted are not saved as rest");
  }
  if (!Session.LogFailure.empty()) {
    SayProblem("posted.log: " + Session.LogFailure + ": the postings above are not recorded");
    return kExitError;
  }
  return status;
}

int Shutdown(TRunOutcome outcome, const char* error) {
  // The screen is gone and the terminal restored: what was posted goes to
  // standard output, where it stays in the operator's scrollback. After an
  // error it comes first, so the operator knows which bases to leave out when
  // trying again.
  PrintStdout(PostingSummary(Session.Posted));
  FlushStdout();
  const int status = TellAfterPosting(RunExitStatus(outcome));
  if (error != nullptr) {
    SayProblem(error);
    return kExitError;
  }
  return status;
}

namespace {

// A step of the run either lets it go on (no outcome) or ends it with one.
using TStepEnd = std::optional<TRunOutcome>;

// The console in the modes the configuration and the terminal ask for, the
// background drawn.
void OpenScreen(TRunScope& scope) {
  const char* term = std::getenv("TERM");
  TScreenModesRec modes;
  const TColorsRec colors =
      ColorsFor(Session.Colors.View(), term, std::getenv("COLORTERM"), std::getenv("NO_COLOR"));
  modes.Colors = colors.Mode;
  modes.TrueColor = colors.TrueColor;
  modes.AltScreen = !IsLinuxConsole(term);
  modes.HideCursor = true;
  // Only the Linux console shows code page 437; another terminal not sent
  // UTF-8 gets the frames in its DEC line-drawing set, unless the operator
  // said that it shows code page 437 (charset = cp437).
  modes.DecGraphics = !Session.Utf8Terminal && !Session.Cp437Terminal && !IsLinuxConsole(term);
  scope.OpenConsole(Session.Utf8Terminal, modes);
  Keyboard->EscapeDelayMs = TakenNumber("main", "escape_delay");
  Screen->SetRedrawMode(Session.RedrawFull ? TRedrawMode::kFull : TRedrawMode::kChanges);
  DrawBackground();
}

// Waits for a terminal of the size the screens need, then tells what the
// last postings left unsaid (a run cut short).
TStepEnd AwaitScreenAndTellNotices() {
  // A terminal smaller than 80x20 shows a notice until it grows; Escape or
  // Ctrl-C there gives up.
  CtrlCLeaves = true;
  if (!AwaitTerminalSize()) return Interrupted() ? TRunOutcome::kInterrupted : TRunOutcome::kError;
  for (const std::string& notice : Session.StartNotices) LongNotice(notice);
  Session.StartNotices.clear();
  return std::nullopt;
}

// The message file: the one named on the command line (created when the
// operator says so), or the one picked in the file dialog.
TStepEnd ChooseMessageFile(const std::string& named) {
  // A longer argument would be cut to another path, which could then be
  // created, edited and posted in its place.
  if (named.size() > ShortString::kMaxLength) {
    MsgBox(kMsgNotice, "The path of this file is longer than 255 characters.");
    return TRunOutcome::kError;
  }
  ShortString arg(named);
  if (!arg.empty()) {
    if (FileExists(arg)) {
      Session.MsgFile = arg;
    } else if (DirExists(arg)) {
      // A directory cannot be created as the message file: the operator
      // picks the file in it instead. The dialog lists the directory it has
      // changed into, so a relative name is made absolute first.
      Session.MsgFile =
          OpenFileDialog(" Open File ", arg[0] == '/' ? arg : AddSlash(Session.StartDir) + arg);
    } else if (MsgBox(kMsgQuestion, "The file doesn't exit. Create it?")) {
      Session.MsgFile = arg;
      AppendText(Session.MsgFile, " ");
    }
  } else {
    Session.MsgFile = OpenFileDialog(" Open File ", Session.StartDir);
  }
  if (Interrupted()) return TRunOutcome::kInterrupted;
  if (Session.MsgFile.empty()) return TRunOutcome::kLeft;
  return std::nullopt;
}

// Asks whether to edit the message file and runs the editor on it if so.
TStepEnd OfferToEdit() {
  const bool edit = MsgBox(kMsgQuestion, "Edit file?");
  if (Interrupted()) return TRunOutcome::kInterrupted;
  if (!edit) return std::nullopt;
  if (Session.EditorCmd.empty()) {
    MsgBox(kMsgNotice, "You haven't specified a text editor.");
    return TRunOutcome::kError;  // the configuration stops the run
  }
  // The editor command stays as configured, options included; the file name
  // is quoted so that whatever it holds reaches the editor as one argument,
  // and absolute, so that no name ("-x", "+cmd") can be taken for an option.
  const std::string cmd =
      Session.EditorCmd.Str() + " " +
      ShellQuote(Session.StartDir.empty() ? Session.MsgFile.Str()
                                          : AbsolutePath(Session.MsgFile, Session.StartDir));
  const int status = RunChildCommand(cmd);
  // A hang-up or kill that came while the editor ran ends the run here;
  // main ends the process by it once the terminal is given back.
  if (PendingEndSignal() != 0) return TRunOutcome::kLeft;
  // Posting the file unedited would post what the operator meant to change.
  if (ShellRanNothing(status, cmd)) {
    MsgBox(kMsgNotice, EditorFailedNotice(Session.EditorCmd));
    return TRunOutcome::kError;
  }
  return std::nullopt;
}

// The base list read from the catalogue and run until the operator leaves
// it with at least one base marked.
TStepEnd ChooseBases(TRunScope& scope) {
  DrawBackground();
  DrawFrame(3, 2, 77, 22);
  LoadBaseList(scope.NewBaseList(), Session.BasesPath);
  // The marks are kept as the selection "last" whichever way the list is left.
  if (!SelectBases(*Session.BaseList))
    return Interrupted() ? TRunOutcome::kInterrupted : TRunOutcome::kLeft;

  for (std::int32_t i = 0; i < Session.BaseList->ItemCount(); ++i)
    if (Session.BaseList->Marked(i)) Session.AnySelected = true;
  if (!Session.AnySelected) {
    DrawBackground();
    MsgBox(kMsgNotice, "No BASE selected. Aborting...");
    return Interrupted() ? TRunOutcome::kInterrupted : TRunOutcome::kNothingMarked;
  }
  return std::nullopt;
}

}  // namespace

TRunOutcome RunSession(TRunScope& scope, const TOptionsRec& options) {
  // The start-up checks read the configuration into the session before the
  // screen object exists, so the very first byte sent follows its charset.
  Session.AppDir = JustPath(ProgramArg0());
  Session.StartDir = CurrentDir();
  OpenScreen(scope);
  if (const TStepEnd end = AwaitScreenAndTellNotices()) return *end;
  if (const TStepEnd end = ChooseMessageFile(options.MsgFile)) return *end;
  if (const TStepEnd end = OfferToEdit()) return *end;
  if (const TStepEnd end = ChooseBases(scope)) return *end;
  DrawBackground();
  EditMessageInfo();
  if (Interrupted()) return TRunOutcome::kInterrupted;
  const TRunOutcome outcome = ConfirmAndPost();
  return outcome == TRunOutcome::kLeft && Interrupted() ? TRunOutcome::kInterrupted : outcome;
}

}  // namespace corvix
