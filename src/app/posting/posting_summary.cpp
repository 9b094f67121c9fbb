// How each base's posting ended, as the summary after a run and the posting
// log tell it, and the exit status the postings give.
#include "app/posting/posting_summary.h"

#include <sys/wait.h>

#include <cstdio>
#include <utility>

#include "app/config/catalogue.h"
#include "support/string_utils.h"
#include "term/editor_handover.h"

namespace corvix {

namespace {

bool PostedOk(const TPostedRec& base) {
  return base.Outcome == TPostOutcome::kEnded && base.WaitStatus >= 0 &&
         WIFEXITED(base.WaitStatus) && WEXITSTATUS(base.WaitStatus) == 0;
}

// The name as the operator can paste it after the command: quoted only when
// it holds something the shell would take apart.
std::string PastableName(const std::string& name) {
  const bool plain = !name.empty() && name.find_first_not_of(
                                          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                          "0123456789/._+,:@%-") == std::string::npos;
  return plain ? name : ShellQuote(name);
}

}  // namespace

std::string PostedResultText(const TPostedRec& base) {
  if (base.Outcome == TPostOutcome::kInterrupted) return "interrupted";
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
  int ok = 0, stopped = 0, notStarted = 0, interrupted = 0;
  for (const TPostedRec& p : posted) {
    std::string result = PostedResultText(p);
    if (PostedOk(p)) {
      ++ok;
    } else if (p.Outcome == TPostOutcome::kStopped) {
      ++stopped;
    } else if (p.Outcome == TPostOutcome::kNotStarted) {
      ++notStarted;
    } else if (p.Outcome == TPostOutcome::kInterrupted) {
      ++interrupted;
    }
    const bool utf8 = Session.Utf8Terminal;
    char head[40];
    std::snprintf(head, sizeof head, "%5s  %-12s  ", ShownText(p.BaseNumber, false).c_str(),
                  ShownText(EchoTagOfPosted(p), false).c_str());
    std::string line = head + result;
    // One line per base: a long last line of the utility is cut, and nothing
    // in it can act on the terminal.
    if (!PostedOk(p) && !p.LastLine.empty()) line += ": " + ShownText(p.LastLine, utf8);
    out += CutText(line, kSummaryLineMax, utf8);
    out += '\n';
  }
  // Only the counts that are not zero: "2 ok, 1 not started" rather than
  // bases never started counted among the failed.
  const int total = static_cast<int>(posted.size());
  const int failed = total - ok - stopped - notStarted - interrupted;
  out += "Posted to " + std::to_string(total) + (total == 1 ? " base:" : " bases:");
  const char* sep = " ";
  for (auto [count, word] : {std::pair{ok, "ok"},
                             {failed, "failed"},
                             {stopped, "stopped"},
                             {notStarted, "not started"},
                             {interrupted, "interrupted"}}) {
    if (count == 0) continue;
    out += sep + std::to_string(count) + " " + word;
    sep = ", ";
  }
  out += ".\n";
  return out;
}

bool PostedOkOrInDoubt(const TPostedRec& base) {
  return PostedOk(base) || base.Outcome == TPostOutcome::kInterrupted;
}

std::string RestLine(std::size_t count, const std::string& msgFile) {
  return "Not posted: " + std::to_string(count) + (count == 1 ? " base" : " bases") +
         "; corvixmass --select rest " + PastableName(ShownText(msgFile, Session.Utf8Terminal)) +
         " posts them.\n";
}

int PostingExitStatus(const std::vector<TPostedRec>& posted) {
  for (const TPostedRec& p : posted)
    if (!PostedOk(p)) return kExitFailed;
  return kExitDone;
}

}  // namespace corvix
