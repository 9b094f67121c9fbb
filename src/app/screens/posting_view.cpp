// The progress box shown while the posting loop runs over the marked bases,
// and the keys that ask it to stop.
#include "app/screens/posting_view.h"

#include <termios.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "app/config/catalogue.h"
#include "app/config/host_text.h"
#include "app/config/session.h"
#include "app/posting/posting_job.h"
#include "app/posting/posting_log.h"
#include "app/screens/base_select.h"
#include "app/screens/dialogs.h"
#include "app/screens/help.h"
#include "support/file_utils.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/cp437.h"
#include "term/keys.h"
#include "term/terminal_restore.h"
#include "widgets/light_bar.h"
#include "widgets/menu_box.h"
#include "widgets/menu_list.h"

namespace corvix {

namespace {

// Bytes a terminal would take as controls, shown as '?'.
ShortString Printable(const ShortString& text) {
  return ShortString(ShownText(text.View(), TShownOn::kScreen));
}

// The progress box over the confirmation screen, and the keys read while
// the utility runs: Escape or Ctrl-C asks whether to stop after this base;
// once that is answered yes, a second one ends the running utility.
class TScreenPostingWatch : public TPostingObserver {
 public:
  static constexpr std::uint8_t kLeft = 5;
  static constexpr std::uint8_t kWidth = 71;

  ~TScreenPostingWatch() override {
    if (opened_) box_.Close();
  }

  int WakeFd() override { return Keyboard != nullptr ? Keyboard->InputFd : -1; }
  int EventFd() override { return TerminalEventFd(); }

  TStopRequest CheckStop() override {
    // A resize or a resume while posting is served here: the loop waits in
    // its own poll, not in a key wait.
    HandleTerminalEvents();
    // Only keys already typed are read: KeyPressed has served Ctrl-L,
    // Ctrl-Z and F1 itself, so the loop never waits here for another key.
    while (Keyboard != nullptr && KeyPressed()) {
      const std::uint8_t key = ReadKey();
      if (key == kKeyExtended) {
        ReadKey();
        continue;
      }
      if (key != kKeyEscape && key != kKeyCtrlC) continue;
      if (waiting_) {
        // Nothing of this base has begun: the run stops before it.
        stop_ = TStopRequest::kAfterBase;
      } else if (stop_ == TStopRequest::kAfterBase) {
        stop_ = TStopRequest::kNow;
      } else if (stop_ == TStopRequest::kNone &&
                 MsgBox(kMsgQuestion, "Stop posting after this base?")) {
        stop_ = TStopRequest::kAfterBase;
      }
      ShowState();
    }
    // Everything drawn reaches the terminal before the loop waits.
    FlushScreen();
    return stop_;
  }

  void BaseStarting(int n, int m, const TPostedRec& base) override {
    if (!opened_) {
      CoverConfirmation();
      ApplyDialogSettings(box_);
      box_.Title = " Posting ";
      box_.Open(3, 12, 77, 17);
      SetFocusRow(17);  // the whole box, up to its last row
      opened_ = true;
    }
    Row(14, 15,
        "Posting " + std::to_string(n) + " of " + std::to_string(m) + ": " +
            Printable(base.Line).Str());
    Row(15, 7, "");
    ShowState();
    FlushScreen();
  }

  // The screen shows code page 437; a UTF-8 terminal's utility speaks UTF-8.
  void OutputLine(const std::string& line) override {
    // Controls, C1 ones included, never reach the terminal.
    const std::string shown = ShownText(line, Session.Utf8Terminal);
    Row(15, 7, Session.Utf8Terminal ? Cp437FromUtf8(shown) : shown);
  }

  void LockWait(bool waiting) override {
    waiting_ = waiting;
    Row(15, 7, waiting ? "Waiting for another posting to release the host directory..." : "");
    FlushScreen();
  }

  void LogProblem(const std::string& text) override {
    notice_ = text;
    ShowState();
  }

  // Told before the first base, over the progress box, as at start.
  void EarlierRunCut(const std::string& text) override { LongNotice(text); }

 private:
  // Every row may hold outside text (a name, a path, the utility's words): a
  // row cut short of its text shows the cut.
  void Row(std::uint8_t y, std::uint8_t attr, const std::string& text) {
    WriteXY(kLeft, y, attr, PadMarked(Printable(ShortString(text)), kWidth));
  }

  // What the box does not cover of the confirmation screen goes: its hint
  // line, the list's frame and its shadow (row 22) below the box, and the
  // help line (the background again).
  static void CoverConfirmation() {
    WriteXY(6, 7, GetAttrAt(5, 7), PadRight("", 46, ' '));
    for (std::uint8_t y = 18; y <= 22; ++y)
      WriteXY(3, y, 7, RepeatChar(static_cast<char>(176), 77));
    // The confirmation's help line names keys that do nothing while posting.
    WriteXY(1, 25, 7, RepeatChar(static_cast<char>(176), 79));
  }

  void ShowState() {
    if (!opened_) return;
    std::string text = stop_ == TStopRequest::kNow         ? "Stopping the utility..."
                       : stop_ == TStopRequest::kAfterBase ? "Stopping after this base. "
                                                             "ESC again ends the utility."
                                                           : notice_;
    Row(16, 14, text);
  }

  THelpScope help_{kHelpPosting};
  TMenuBox box_;
  bool opened_ = false;
  bool waiting_ = false;  // the host directory is held by another posting
  TStopRequest stop_ = TStopRequest::kNone;
  std::string notice_;
};

// The bases that got this message lately, in a list under the question
// "Post again?" (NO chosen at first). A list longer than its box is shown
// first for scrolling, and Enter there goes on to the question. True to post.
bool AskPostAgain(const std::vector<TPostedRec>& already) {
  constexpr std::uint8_t kTop = 16, kBottom = 23;  // below the question's box
  const bool fits = already.size() <= static_cast<std::size_t>(kBottom - kTop - 1);
  TMenuList list;
  ApplyDialogSettings(list.Window);
  list.Window.Title = " Already posted ";
  if (!fits) list.Window.Title = " Already posted: ENTER to answer, ESC to post nothing ";
  list.BarAttr = fits ? 7 : 112;  // a list only shown has no bar
  list.RowAttr = 7;
  for (const TPostedRec& base : already) list.Add(Printable(base.Line), 0);
  list.ShowScrollBar = !fits;
  list.DrawOnly = fits;
  list.Open(3, kTop, 76, kBottom);
  if (fits) list.Redraw();  // Open only lays out a list that is not run
  const bool again = (fits || list.LastKey == kKeyEnter) &&
                     MsgBox(kMsgQuestionNo, "Already posted to " + std::to_string(already.size()) +
                                                " of these bases. Post again?");
  list.Close();
  return again;
}

}  // namespace

TRunOutcome PostMarkedBases() {
  std::vector<TPostedRec> bases = MarkedPostingList(*Session.BaseList);
  TPostingJobRec job{
      .HostDir = Session.HostDir.Str(),
      .MsgFile = Session.MsgFile,
      // The form holds the texts as the screen shows them.
      .From = ShortString(HostFromScreen(Session.MsgFrom.View(), Session.Utf8Host)),
      .To = ShortString(HostFromScreen(Session.MsgTo.View(), Session.Utf8Host)),
      .Subject = ShortString(HostFromScreen(Session.MsgSubject.View(), Session.Utf8Host)),
      .PostDelay = Session.PostDelay,
      .Hash = "",
      .Address = Session.Address};
  const std::string cwd = CurrentDir();
  ShortString here = !cwd.empty() ? ShortString(cwd) : Session.StartDir;
  std::string problem = CheckPostingJob(here, job, bases);
  if (!problem.empty()) {
    MsgBox(kMsgNotice, problem);
    return TRunOutcome::kError;
  }
  // A log that cannot be read stops nothing: the progress box says so.
  std::vector<TPostedRec> already;
  std::string logError;
  const bool logRead =
      AlreadyPostedBases(job.HostDir, job.Hash, Session.RepostHours, bases, already, logError);
  if (!already.empty() && !AskPostAgain(already)) return TRunOutcome::kLeft;
  // Up to the last question Ctrl-C leaves the run (status 130); while
  // posting it asks to stop, as Escape does.
  CtrlCLeaves = false;
  // Every marked base is in the summary from here on, as "not started" until
  // its turn: a run that ends early still reports all of them.
  Session.Posted = std::move(bases);
  {
    TScreenPostingWatch watch;
    if (!logRead) watch.LogProblem("Earlier postings were not looked at: " + logError);
    RunPostingJob(job, Session.Posted, watch);
  }
  // Keys typed at the very end belong to no screen; they must not reach the
  // shell after the program.
  if (Keyboard != nullptr) ::tcflush(Keyboard->InputFd, TCIFLUSH);
  return TRunOutcome::kPosted;
}

}  // namespace corvix
