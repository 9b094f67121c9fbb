// Usage, size check and the summary after a run.
#include "app/command_line.h"

#include <sys/wait.h>

#include <cstdio>

#include "support/string_utils.h"

namespace corvix {

std::string UsageText() {
  return "usage: corvixmass [--config FILE] [--select NAME] [MESSAGE-FILE]\n"
         "       corvixmass [--config FILE] --check\n"
         "       corvixmass [--config FILE] --post FILE --bases LIST --subject TEXT\n"
         "                  [--from TEXT] [--to TEXT] [--yes] [--dry-run]\n"
         "       corvixmass --help | --version\n"
         "\n"
         "Posts one plain-text message file into many message bases of the host BBS.\n"
         "Without MESSAGE-FILE a file dialog opens in the current directory; a file\n"
         "that does not exist can be created.\n"
         "\n"
         "The configuration is read from corvixmass.ini beside the executable\n"
         "(the real file when started through a link).\n"
         "\n"
         "Keys of the base list:\n"
         "  Up, Down, PgUp, PgDn, Home, End   move\n"
         "  letters and digits                 search (Backspace edits the search)\n"
         "  TAB                                mark or unmark the highlighted base\n"
         "  Enter                              done: go on to the message details\n"
         "  Escape                             quit without posting\n"
         "  F1                                 the keys of the screen (on every screen)\n"
         "  F2                                 mark every base matching the search (all\n"
         "                                     when there is none); F3 unmark all;\n"
         "                                     F4 invert all marks\n"
         "  F5 / F6                            save the marks as a named selection /\n"
         "                                     mark exactly a saved selection\n"
         "  F7                                 show only the bases matching the search,\n"
         "                                     or every base again\n"
         "\n"
         "  --select NAME  start the base list with the saved selection NAME marked\n"
         "                 (selections live in $XDG_STATE_HOME/corvixmass/selections/,\n"
         "                 by default ~/.local/state/corvixmass/selections/)\n"
         "\n"
         "Unattended posting (no screen, no terminal needed; for cron and scripts):\n"
         "  corvixmass --post FILE --bases LIST --subject TEXT [--from TEXT] [--to TEXT]\n"
         "             [--yes] [--dry-run]\n"
         "  LIST is comma-separated base numbers and @NAME selections, e.g. 7,20,@weekly.\n"
         "  From and To default to the [message] values of corvixmass.ini. A base not in\n"
         "  the catalogue, an empty subject or a value with a line break is an error\n"
         "  before anything is posted. Without --yes it asks \"Post FILE to N bases?\"\n"
         "  on a terminal and refuses otherwise; --dry-run prints each job file and posts\n"
         "  nothing. One progress line per base, then the summary, on standard output.\n"
         "  Exit status: 0 posted (or nothing to do), 3 a posting failed, 1 an error.\n"
         "\n"
         "  --help     this text\n"
         "  --version  the version\n"
         "  --check    check the configuration, the catalogue and the host directory,\n"
         "             print what was found and exit (0: a run can start, 1: it cannot)\n"
         "  --config FILE  read FILE instead of corvixmass.ini beside the executable\n"
         "\n"
         "While posting, Escape or Ctrl-C asks to stop after the current base; a\n"
         "second one ends the running host utility.\n"
         "\n"
         "Exit status:\n"
         "  0  every marked base was posted and its utility ended with status 0,\n"
         "     or the run was left before posting\n"
         "  1  an error ended the run\n"
         "  3  a base failed, was stopped or was not started\n";
}

std::string TerminalSizeProblem(int columns, int rows) {
  if (columns >= 80 && rows >= 25) return "";
  return "corvixmass needs a terminal of at least 80x25; this one is " + std::to_string(columns) +
         "x" + std::to_string(rows) + ".";
}

std::string EchoTagOfLine(const ShortString& line) {
  std::string tag = line.size() > 4 ? line.Str().substr(4, 12) : "";
  while (!tag.empty() && tag.back() == ' ') tag.pop_back();
  return tag;
}

namespace {

bool PostedOk(const TPostedRec& base) {
  return base.Outcome == TPostOutcome::kEnded && base.WaitStatus >= 0 &&
         WIFEXITED(base.WaitStatus) && WEXITSTATUS(base.WaitStatus) == 0;
}

}  // namespace

std::string PostedResultText(const TPostedRec& base) {
  if (base.Outcome == TPostOutcome::kNotStarted || base.WaitStatus < 0) return "not started";
  if (base.Outcome == TPostOutcome::kStopped) return "stopped";
  if (WIFEXITED(base.WaitStatus)) {
    int code = WEXITSTATUS(base.WaitStatus);
    if (code == 0) return "ok";
    std::string text = "exit status " + std::to_string(code);
    if (code == 127) text += " (not found)";
    if (code == 126) text += " (not executable)";
    return text;
  }
  if (WIFSIGNALED(base.WaitStatus)) return "signal " + std::to_string(WTERMSIG(base.WaitStatus));
  return "unknown";
}

std::string PostingSummary(const std::vector<TPostedRec>& posted) {
  if (posted.empty()) return "";
  std::string out;
  int ok = 0, stopped = 0, notStarted = 0;
  for (const TPostedRec& p : posted) {
    std::string result = PostedResultText(p);
    if (PostedOk(p)) {
      ++ok;
    } else if (p.Outcome == TPostOutcome::kStopped) {
      ++stopped;
    } else if (p.Outcome == TPostOutcome::kNotStarted) {
      ++notStarted;
    }
    const bool utf8 = Session.Utf8Terminal;
    char head[40];
    std::snprintf(head, sizeof head, "%5s  %-12s  ", ShownText(p.BaseNumber, false).c_str(),
                  ShownText(EchoTagOfLine(p.Line), false).c_str());
    std::string line = head + result;
    // One line per base: a long last line of the utility is cut, and nothing
    // in it can act on the terminal.
    if (!PostedOk(p) && !p.LastLine.empty()) line += ": " + ShownText(p.LastLine, utf8);
    out += CutText(line, kSummaryLineMax, utf8);
    out += '\n';
  }
  int total = static_cast<int>(posted.size());
  out += "Posted to " + std::to_string(total) + (total == 1 ? " base: " : " bases: ") +
         std::to_string(ok) + " ok, " + std::to_string(total - ok) + " failed";
  if (stopped != 0 || notStarted != 0) {
    out += " (";
    if (stopped != 0) out += std::to_string(stopped) + " stopped";
    if (stopped != 0 && notStarted != 0) out += ", ";
    if (notStarted != 0) out += std::to_string(notStarted) + " not started";
    out += ")";
  }
  out += ".\n";
  return out;
}

int PostingExitStatus(const std::vector<TPostedRec>& posted) {
  for (const TPostedRec& p : posted)
    if (!PostedOk(p)) return kExitFailed;
  return kExitDone;
}

int RunExitStatus() {
  return Session.ExitStatus != 0 ? Session.ExitStatus : PostingExitStatus(Session.Posted);
}

}  // namespace corvix
