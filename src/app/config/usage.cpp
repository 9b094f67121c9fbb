// Usage, size check and the summary after a run.
#include "app/command_line.h"

#include <sys/wait.h>

#include <cstdio>
#include <utility>

namespace corvix {

std::string UsageText() {
  return "usage: corvixmass [--config FILE] [--select NAME] [MESSAGE-FILE]\n"
         "       corvixmass [--config FILE] --check\n"
         "       corvixmass [--config FILE] --post FILE --bases LIST --subject TEXT\n"
         "                  [--from TEXT] [--to TEXT] [--yes] [--dry-run] [--quiet]\n"
         "       corvixmass [--config FILE] --list-bases [PATTERN]\n"
         "       corvixmass --help | --version\n"
         "\n"
         "Posts one plain-text message file into many message bases of the host BBS.\n"
         "Without MESSAGE-FILE a file dialog opens in the current directory; a file\n"
         "that does not exist can be created. A file named like an option follows --.\n"
         "\n"
         "The configuration is the first found of: --config FILE, $CORVIXMASS_CONFIG,\n"
         "corvixmass.ini beside the executable (the real file when started through a\n"
         "link), $XDG_CONFIG_HOME/corvixmass/corvixmass.ini (by default\n"
         "~/.config/corvixmass/corvixmass.ini), /etc/corvixmass/corvixmass.ini.\n"
         "Without [main] editor, $VISUAL, then $EDITOR, is the editor.\n"
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
         "  -s, --select NAME  start the base list with the saved selection NAME marked\n"
         "                 (selections live in $XDG_STATE_HOME/corvixmass/selections/,\n"
         "                 by default ~/.local/state/corvixmass/selections/); one saved\n"
         "                 from another catalogue is refused unless --force is given\n"
         "\n"
         "Unattended posting (no screen, no terminal needed; for cron and scripts):\n"
         "  corvixmass --post FILE --bases LIST --subject TEXT [--from TEXT] [--to TEXT]\n"
         "             [-y|--yes] [-n|--dry-run] [-q|--quiet] [--force]\n"
         "  LIST is comma-separated base numbers, ranges (100-199), echo tags with * and ?\n"
         "  (LINUX*) and @NAME selections, e.g. 7,100-120,LINUX*,@weekly.\n"
         "  From and To default to the [message] values of corvixmass.ini. A base not in\n"
         "  the catalogue, a range or tag naming none, an empty subject or a value with a\n"
         "  line break is an error before anything is posted. Without --yes it asks\n"
         "  \"Post FILE to N bases?\" on a terminal and refuses otherwise; --dry-run\n"
         "  prints each job file and posts nothing. One progress line per base, then the\n"
         "  summary, on standard output; errors and failed bases also on standard error.\n"
         "  --quiet prints nothing when every base is ok, else the failed bases and the\n"
         "  summary.\n"
         "\n"
         "  --list-bases [PATTERN]  print number, echo tag and name of each base (tabs\n"
         "             between), only those whose number, tag or name holds PATTERN\n"
         "  -h, --help     this text\n"
         "  -V, --version  the version\n"
         "  --check    check the configuration, the editor, the catalogue and the host\n"
         "             directory, print what was found and where the configuration was\n"
         "             looked for, and exit (0: a run can start, 1: it cannot)\n"
         "  -c, --config FILE  read FILE as the configuration\n"
         "Long options also take their value as --option=VALUE; short ones combine (-yq).\n"
         "\n"
         "While posting, Escape or Ctrl-C asks to stop after the current base; a\n"
         "second one ends the running host utility.\n"
         "\n"
         "Exit status:\n"
         "  0  every marked base was posted and its utility ended with status 0,\n"
         "     or the run was left before posting\n"
         "  1  an error ended the run\n"
         "  2  the command line was misused\n"
         "  3  a base failed, was stopped or was not started\n";
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
    if (!PostedOk(p) && !p.LastLine.empty()) result += ": " + p.LastLine;
    char line[600];
    std::snprintf(line, sizeof line, "%5s  %-12s  %s\n", p.BaseNumber.Str().c_str(),
                  EchoTagOfLine(p.Line).c_str(), result.c_str());
    out += line;
  }
  // Only the counts that are not zero: "2 ok, 1 not started" rather than
  // bases never started counted among the failed.
  const int total = static_cast<int>(posted.size());
  const int failed = total - ok - stopped - notStarted;
  out += "Posted to " + std::to_string(total) + (total == 1 ? " base:" : " bases:");
  const char* sep = " ";
  for (auto [count, word] : {std::pair{ok, "ok"},
                             {failed, "failed"},
                             {stopped, "stopped"},
                             {notStarted, "not started"}}) {
    if (count == 0) continue;
    out += sep + std::to_string(count) + " " + word;
    sep = ", ";
  }
  out += ".\n";
  return out;
}

int PostingExitStatus(const std::vector<TPostedRec>& posted) {
  for (const TPostedRec& p : posted)
    if (!PostedOk(p)) return kExitFailed;
  return kExitDone;
}

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

}  // namespace corvix
