// The main routine's session flow and the end of a run.
#include "app/run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/config/options.h"
#include "app/config/session.h"
#include "app/config/settings.h"
#include "app/config/startup_checks.h"
#include "app/posting/child_process.h"
#include "app/posting/posting_job.h"
#include "app/posting/posting_summary.h"
#include "app/run_scope.h"
#include "app/screens/base_select.h"
#include "app/screens/confirmation.h"
#include "app/screens/dialogs.h"
#include "app/screens/message_form.h"
#include "support/file_utils.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/terminal_restore.h"
#include "widgets/light_bar.h"

namespace corvix {

void DrawBackground() {
  TextColor(7);
  ClearScreen();
  ShortString shade = RepeatChar(static_cast<char>(176), 79);
  for (std::uint8_t y = 1; y <= 25; ++y) WriteXY(1, y, 7, shade);
}

namespace {

// The Linux console (TERM "linux" or "linux-..."): bold shows as bright
// there, and it has no alternate screen to keep the shell's screen on.
bool LinuxConsole() {
  const char* term = std::getenv("TERM");
  return term != nullptr && std::strncmp(term, "linux", 5) == 0;
}

}  // namespace

int RunExitStatus(TRunOutcome outcome) {
  switch (outcome) {
    case TRunOutcome::kError:
      return kExitError;
    case TRunOutcome::kPosted:
      return PostingExitStatus(Session.Posted);
    default:
      return kExitDone;
  }
}

int Shutdown(TRunOutcome outcome, const char* error) {
  // The screen is gone and the terminal restored: what was posted goes to
  // standard output, where it stays in the operator's scrollback. After an
  // error it comes first, so the operator knows which bases to leave out when
  // trying again.
  std::fputs(PostingSummary(Session.Posted).c_str(), stdout);
  std::fflush(stdout);
  if (error != nullptr) {
    std::fprintf(stderr, "corvixmass: %s\n", ShownText(error, Session.Utf8Terminal).c_str());
    return kExitError;
  }
  return RunExitStatus(outcome);
}

TRunOutcome RunSession(TRunScope& scope, const TOptionsRec& options) {
  // The configuration is read before the screen object exists, so that the
  // very first byte sent already follows its charset setting.
  Session.AppDir = JustPath(ProgramArg0());
  char cwd[PATH_MAX];
  Session.StartDir = ::getcwd(cwd, sizeof cwd) != nullptr ? ShortString(cwd) : ShortString("");
  ReadConfiguration();

  TScreenModesRec modes;
  const TColorsRec colors =
      ColorsFor(Session.Colors.View(), std::getenv("TERM"), std::getenv("COLORTERM"));
  modes.Colors = colors.Mode;
  modes.TrueColor = colors.TrueColor;
  modes.AltScreen = !LinuxConsole();
  modes.HideCursor = true;
  scope.OpenConsole(Session.Utf8Terminal, modes);
  Keyboard->EscapeDelayMs = Session.EscapeDelay;
  Screen->SetRedrawMode(Session.RedrawFull ? TRedrawMode::kFull : TRedrawMode::kChanges);
  DrawBackground();
  // A terminal smaller than 80x24 shows a notice until it grows; Escape or
  // Ctrl-C there gives up.
  if (!AwaitTerminalSize()) return TRunOutcome::kError;

  // A longer argument would be cut to another path, which could then be
  // created, edited and posted in its place.
  if (options.MsgFile.size() > ShortString::kMaxLength) {
    MsgBox(kMsgNotice, "The path of this file is longer than 255 characters.");
    return TRunOutcome::kError;
  }
  ShortString arg(options.MsgFile);
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
  if (Session.MsgFile.empty()) return TRunOutcome::kLeft;

  if (MsgBox(kMsgQuestion, "Edit file?")) {
    if (Session.EditorCmd.empty()) {
      MsgBox(kMsgNotice, "You haven't specified a text editor.");
      return TRunOutcome::kError;  // the configuration stops the run
    }
    // The editor command stays as configured, options included; the file name
    // is quoted so that whatever it holds reaches the editor as one argument,
    // and absolute, so that no name ("-x", "+cmd") can be taken for an option.
    int status = RunChildCommand(Session.EditorCmd.Str() + " " +
                                 ShellQuote(Session.StartDir.empty()
                                                ? Session.MsgFile.Str()
                                                : AbsolutePath(Session.MsgFile, Session.StartDir)));
    // A hang-up or kill that came while the editor ran ends the run here;
    // main ends the process by it once the terminal is given back.
    if (PendingEndSignal() != 0) return TRunOutcome::kLeft;
    // The shell's 126 and 127: the editor was not found or cannot be run.
    // Posting the file unedited would post what the operator meant to change.
    if (status < 0 ||
        (WIFEXITED(status) && (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127))) {
      MsgBox(kMsgNotice, "The editor could not be started.");
      return TRunOutcome::kError;
    }
  }

  DrawBackground();
  DrawFrame(3, 2, 77, 22);
  LoadBaseList(scope.NewBaseList(), Session.BasesPath);
  // The marks are kept as the selection "last" whichever way the list is left.
  if (!SelectBases(*Session.BaseList)) return TRunOutcome::kLeft;

  for (std::int32_t i = 0; i < Session.BaseList->ItemCount(); ++i)
    if (Session.BaseList->Marked(i)) Session.AnySelected = true;
  if (!Session.AnySelected) {
    DrawBackground();
    MsgBox(kMsgNotice, "No BASE selected. Aborting...");
    return TRunOutcome::kNothingMarked;
  }
  DrawBackground();
  EditMessageInfo();
  return ConfirmAndPost();
}

}  // namespace corvix
