// The unattended run: options, checks before anything is posted, the question,
// the posting loop with progress lines, the summary and the exit status.
#include "app/unattended.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "app/config/catalogue.h"
#include "app/config/options.h"
#include "app/config/selections.h"
#include "app/config/session.h"
#include "app/config/startup_checks.h"
#include "app/posting/posting_job.h"
#include "app/posting/posting_summary.h"
#include "app/screens/base_select.h"
#include "support/file_utils.h"
#include "support/io_error.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/cp437.h"
#include "term/terminal_restore.h"
#include "widgets/light_bar.h"

namespace corvix {
namespace {

// A line for the terminal: names, paths and the utility's words in it come
// from outside, and none of their bytes may act on the terminal.
std::string Shown(std::string_view text) { return ShownText(text, Session.Utf8Terminal); }

int Fail(const std::string& why) {
  std::fprintf(stderr, "corvixmass: %s\n", Shown(why).c_str());
  return kExitError;
}

// The most bases the question lists before it counts the rest.
constexpr std::int32_t kAskListMax = 20;

// The number 0..65535 in Text as canonical decimal, or "" when Text is not one.
std::string CanonicalNumber(std::string_view text) {
  if (text.empty() || text.size() > 5) return "";
  long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return "";
    n = n * 10 + (c - '0');
  }
  return n <= 65535 ? std::to_string(n) : "";
}

// True when the operator answers yes on the terminal. The marked bases are
// listed first, as --list-bases prints them, so that the answer is given
// knowing where the message goes. Catalogue holds the list's bases in order.
bool AskToPost(const std::string& file, const TBar& bases,
               const std::vector<TCatalogueEntryRec>& catalogue) {
  std::string question;
  std::int32_t listed = 0;
  for (std::int32_t i = 0; i < bases.ItemCount(); ++i) {
    if (!bases.Marked(i) || static_cast<std::size_t>(i) >= catalogue.size()) continue;
    if (++listed > kAskListMax) break;
    question += ListedBaseLine(catalogue[static_cast<std::size_t>(i)], Session.Utf8Terminal);
  }
  if (bases.MarkedCount() > kAskListMax)
    question += "... and " + std::to_string(bases.MarkedCount() - kAskListMax) + " more\n";
  question +=
      "Post " + Shown(file) + " to " + std::to_string(bases.MarkedCount()) + " bases? [y/N] ";
  std::fputs(question.c_str(), stdout);
  std::fflush(stdout);
  // Read through stdio, not a stream: the stream library would bring its
  // locale machinery into the program, a quarter of its size, for one line.
  std::string answer;
  int c = 0;
  while ((c = std::getc(stdin)) != EOF && c != '\n') answer += static_cast<char>(c);
  if (c == EOF && answer.empty()) return false;
  answer = std::string(TrimBlanks(answer));
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes";
}

// One progress line per base on standard output; a posting log that cannot
// be written is said once on standard error.
class TPrintedProgress : public TPostingObserver {
 public:
  explicit TPrintedProgress(bool quiet) : quiet_(quiet) {}
  void BaseStarting(int n, int m, const TPostedRec& base) override {
    if (quiet_) return;
    std::printf("[%d/%d] posting to base %s (%s)\n", n, m, base.BaseNumber.Str().c_str(),
                ShownText(EchoTagOfLine(base.Line), false).c_str());
    std::fflush(stdout);
  }
  void LogProblem(const std::string& text) override {
    std::fprintf(stderr, "corvixmass: %s\n", Shown(text).c_str());
  }

 private:
  bool quiet_;
};

// The summary on standard output (with Quiet, only the failed bases' lines
// and the total, and nothing at all when every base is ok), and each failed
// base once more on standard error, where cron and scripts look for trouble.
void PrintOutcome(const std::vector<TPostedRec>& posted, bool quiet) {
  const std::string summary = PostingSummary(posted);
  std::string out;
  std::size_t at = 0;
  for (std::size_t i = 0; at < summary.size(); ++i) {
    const std::size_t newline = summary.find('\n', at);
    const std::size_t end = newline == std::string::npos ? summary.size() : newline + 1;
    const std::string line = summary.substr(at, end - at);
    at = end;
    const bool failed = i < posted.size() && PostingExitStatus({posted[i]}) != kExitDone;
    if (failed) {
      std::string result = PostedResultText(posted[i]);
      if (!posted[i].LastLine.empty()) result += ": " + posted[i].LastLine;
      std::fprintf(stderr, "corvixmass: base %s (%s): %s\n", posted[i].BaseNumber.Str().c_str(),
                   ShownText(EchoTagOfLine(posted[i].Line), false).c_str(), Shown(result).c_str());
    }
    if (!quiet || failed || (i >= posted.size() && PostingExitStatus(posted) != kExitDone))
      out += line;
  }
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
}

// Reads the configuration into the session for a run without screens.
ShortString PrepareSession() {
  Session.AppDir = JustPath(ProgramArg0());
  char cwd[PATH_MAX];
  const ShortString here =
      ::getcwd(cwd, sizeof cwd) != nullptr ? ShortString(cwd) : ShortString("");
  Session.StartDir = here;
  ReadConfiguration();
  return here;
}

// The numbers of the catalogue's bases for which Take is true; an error
// naming Word when there are none.
template <typename Pred>
bool AddMatching(const std::vector<TCatalogueEntryRec>& bases, const std::string& word,
                 std::vector<std::string>& numbers, std::string& error, Pred take) {
  const std::size_t before = numbers.size();
  for (const TCatalogueEntryRec& b : bases)
    if (take(b)) numbers.push_back(std::to_string(b.Number));
  if (numbers.size() > before) return true;
  error = "\"" + word + "\" in --bases names no base of the catalogue " + Session.BasesPath.Str();
  return false;
}

}  // namespace

bool ExpandBaseList(const std::string& list, const std::vector<TCatalogueEntryRec>& bases,
                    bool force, std::vector<std::string>& numbers, std::string& error) {
  numbers.clear();
  std::size_t at = 0;
  while (at <= list.size()) {
    std::size_t comma = list.find(',', at);
    if (comma == std::string::npos) comma = list.size();
    const std::string word = std::string(TrimBlanks(std::string_view(list).substr(at, comma - at)));
    at = comma + 1;
    if (word.empty()) continue;
    if (word[0] == '@') {
      std::vector<std::string> saved;
      std::string catalogue;
      if (!LoadSelection(word.substr(1), saved, error, &catalogue)) return false;
      error = OtherCatalogueProblem(word.substr(1), catalogue);
      if (!error.empty() && !force) {
        error += " (--force posts to its numbers anyway)";
        return false;
      }
      error.clear();
      numbers.insert(numbers.end(), saved.begin(), saved.end());
      continue;
    }
    if (const std::string number = CanonicalNumber(word); !number.empty()) {
      numbers.push_back(number);
      continue;
    }
    const std::size_t dash = word.find('-');
    const std::string low = dash == std::string::npos
                                ? ""
                                : CanonicalNumber(std::string(TrimBlanks(word.substr(0, dash))));
    const std::string high = dash == std::string::npos
                                 ? ""
                                 : CanonicalNumber(std::string(TrimBlanks(word.substr(dash + 1))));
    if (!low.empty() && !high.empty()) {
      const long from = std::stol(low), to = std::stol(high);
      if (from > to) {
        error = "\"" + word + "\" in --bases is a range that ends before it starts";
        return false;
      }
      if (!AddMatching(bases, word, numbers, error, [&](const TCatalogueEntryRec& b) {
            return b.Number >= from && b.Number <= to;
          }))
        return false;
      continue;
    }
    // Anything else is an echo tag, with or without wildcards.
    if (!AddMatching(bases, word, numbers, error,
                     [&](const TCatalogueEntryRec& b) { return WildcardMatch(word, b.Tag); }))
      return false;
  }
  return true;
}

int ListBases(const TOptionsRec& options) {
  PrepareSession();
  std::vector<TCatalogueEntryRec> bases;
  try {
    bases = ReadCatalogue(Session.BasesPath);
  } catch (const IoError& e) {
    return Fail(std::string(e.what()) + " (the catalogue, [corvix] mbases)");
  }
  // The pattern is matched against the names as stored, in code page 437.
  const std::string pattern =
      Session.Utf8Terminal ? Cp437FromUtf8(options.Pattern) : options.Pattern;
  std::string out;
  for (const TCatalogueEntryRec& base : bases)
    if (BaseMatches(base, pattern)) out += ListedBaseLine(base, Session.Utf8Terminal);
  std::fputs(out.c_str(), stdout);
  return std::fflush(stdout) == 0 ? kExitDone : kExitError;
}

int RunUnattended(const TOptionsRec& commandLine) {
  TOptionsRec options = commandLine;
  std::string error;
  // The configuration was checked and Session.IniPath set by the start-up checks.
  const ShortString here = PrepareSession();
  // The job file is written in code page 437: with a UTF-8 charset the
  // command line's texts are converted as the ini's and typed keys are.
  if (Session.Utf8Terminal) {
    options.Subject = Cp437FromUtf8(options.Subject);
    if (options.From) *options.From = Cp437FromUtf8(*options.From);
    if (options.To) *options.To = Cp437FromUtf8(*options.To);
  }
  if (options.From) Session.MsgFrom = ShortString(*options.From);
  if (options.To) Session.MsgTo = ShortString(*options.To);
  Session.MsgSubject = ShortString(options.Subject);

  // Everything is checked before the first job file is written.
  if (options.Subject.empty()) return Fail("the subject is empty");
  const std::pair<const char*, std::string> given[] = {{"--subject", options.Subject},
                                                       {"--from", options.From.value_or("")},
                                                       {"--to", options.To.value_or("")}};
  for (const auto& [name, value] : given) {
    if (value.find_first_of("\r\n") != std::string::npos)
      return Fail(std::string(name) + " holds a line break");
    // A longer value would be cut in the job file: the utility would post another text.
    if (value.size() > kJobValueRoom) {
      return Fail(std::string(name) + " is longer than the job file holds (" +
                  std::to_string(kJobValueRoom) + " characters)");
    }
  }
  if (options.MsgFile.size() > ShortString::kMaxLength || !FileExists(ShortString(options.MsgFile)))
    return Fail(options.MsgFile + ": no such message file");
  const std::string absolute = AbsolutePath(options.MsgFile, here);
  if (absolute.size() > kJobValueRoom)
    return Fail(absolute + ": the name is too long for the job file");
  const ShortString msgFile(absolute);
  if (!Session.HostDir.empty()) Session.HostDir = AbsolutePath(Session.HostDir, here);
  const ShortString bad =
      ValueWithLineBreak({msgFile, "0", Session.MsgFrom, Session.MsgTo, Session.MsgSubject});
  if (!bad.empty()) return Fail("the " + bad.Str() + " holds a line break");

  std::vector<std::string> numbers;
  TBar bases;
  std::vector<TCatalogueEntryRec> catalogue;
  try {
    LoadBaseList(bases, Session.BasesPath);
    catalogue = ReadCatalogue(Session.BasesPath);
    if (!ExpandBaseList(options.Bases, catalogue, options.Force, numbers, error))
      return Fail(error);
  } catch (const IoError& e) {
    return Fail(std::string(e.what()) + " (the catalogue, [corvix] mbases)");
  }
  for (const std::string& number : numbers) {
    bool found = false;
    for (std::int32_t i = 0; i < bases.ItemCount(); ++i) {
      if (bases.DataView(i) == number) {
        bases.SetMarked(i, true);
        found = true;
      }
    }
    if (!found)
      return Fail("base " + number + " is not in the catalogue " + Session.BasesPath.Str());
  }
  if (bases.MarkedCount() == 0) return Fail("--bases names no base");

  if (options.DryRun) {
    for (std::int32_t i = 0; i < bases.ItemCount(); ++i) {
      if (!bases.Marked(i)) continue;
      std::printf("--- base %s (%s): %s would hold ---\n", bases.Data(i).Str().c_str(),
                  ShownText(EchoTagOfLine(bases.Text(i)), false).c_str(),
                  Shown(JobFilePath(Session.HostDir)).c_str());
      const TJobRec job{msgFile, bases.Data(i), Session.MsgFrom, Session.MsgTo, Session.MsgSubject};
      // Line by line: the job file's line ends stay, what is in its values is masked.
      const std::string text = BuildJobFile(job);
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);  // code page 437, as posted
        std::printf("%s\n", Shown(Session.Utf8Terminal ? Utf8FromCp437(line) : line).c_str());
        at = end + 1;
      }
    }
    std::printf("Dry run: nothing was posted to the %d bases.\n", bases.MarkedCount());
    return kExitDone;
  }
  if (!options.Yes) {
    if (!::isatty(STDIN_FILENO))
      return Fail("not posting without --yes: standard input is not a terminal to ask on");
    if (!AskToPost(options.MsgFile, bases, catalogue)) {
      std::printf("Nothing was posted.\n");
      return kExitDone;
    }
  }

  // The same loop as the screens: the lock on the host directory, the job
  // file renamed into place, the utility without the terminal, the posting
  // log and the pause. An ending signal is passed on to the running utility.
  Session.Posted.clear();
  for (std::int32_t i = 0; i < bases.ItemCount(); ++i) {
    if (bases.Marked(i))
      Session.Posted.push_back({bases.Data(i), bases.Text(i), TPostOutcome::kNotStarted, -1, ""});
  }
  TPostingJobRec job{.HostDir = Session.HostDir.Str(),
                     .MsgFile = msgFile,
                     .From = Session.MsgFrom,
                     .To = Session.MsgTo,
                     .Subject = Session.MsgSubject,
                     .PostDelay = Session.PostDelay,
                     .Hash = ""};
  const std::string problem = CheckPostingJob(here, job, Session.Posted);
  if (!problem.empty()) return Fail(problem);
  InstallEndingHandlers();
  try {
    TPrintedProgress progress(options.Quiet);
    RunPostingJob(job, Session.Posted, progress);
  } catch (const IoError& e) {
    PrintOutcome(Session.Posted, options.Quiet);
    return Fail(e.what());
  }
  PrintOutcome(Session.Posted, options.Quiet);
  return PostingExitStatus(Session.Posted);
}

}  // namespace corvix
