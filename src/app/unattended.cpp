// The unattended run: options, checks before anything is posted, the question,
// the posting loop with progress lines, the summary and the exit status.
#include "app/unattended.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "app/config/catalogue.h"
#include "app/config/host_text.h"
#include "app/config/options.h"
#include "app/config/selections.h"
#include "app/config/session.h"
#include "app/config/startup_checks.h"
#include "app/posting/posting_job.h"
#include "app/posting/posting_journal.h"
#include "app/posting/posting_log.h"
#include "app/posting/posting_summary.h"
#include "app/run.h"
#include "support/catalogue.h"
#include "support/file_utils.h"
#include "support/io_error.h"
#include "support/standard_output.h"
#include "support/string_utils.h"
#include "term/console.h"
#include "term/cp437.h"
#include "term/terminal_restore.h"

namespace corvix {
namespace {

// A line for the terminal: names, paths and the utility's words in it come
// from outside, and none of their bytes may act on the terminal.
std::string Shown(std::string_view text) { return ShownText(text, Session.Utf8Terminal); }

int Fail(const std::string& why) {
  SayProblem(why);
  return kExitError;
}

// The most bases the question lists before it counts the rest.
constexpr std::int32_t kAskListMax = 20;

// True when the operator answers yes on the terminal. The marked bases are
// listed first, as --list-bases prints them, so that the answer is given
// knowing where the message goes. Marked holds a mark for each base of
// Catalogue.
bool AskToPost(const std::string& file, const std::vector<TCatalogueEntryRec>& catalogue,
               const std::vector<bool>& marked) {
  const auto count = static_cast<std::int32_t>(std::count(marked.begin(), marked.end(), true));
  std::string question;
  std::int32_t listed = 0;
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    if (!marked[i]) continue;
    if (++listed > kAskListMax) break;
    question += ListedBaseLine(catalogue[i], Session.Utf8Terminal);
  }
  if (count > kAskListMax) question += "... and " + std::to_string(count - kAskListMax) + " more\n";
  question += "Post " + Shown(file) + " to " + std::to_string(count) + " bases? [y/N] ";
  PrintStdout(question);
  // A question the operator cannot see gets no answer: nothing is posted.
  if (!FlushStdout()) return false;
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
    PrintfStdout("[%d/%d] posting to base %s (%s)\n", n, m, base.BaseNumber.Str().c_str(),
                 ShownText(EchoTagOfPosted(base), false).c_str());
    // The posting goes on when standard output fails; main tells it at the end.
    FlushStdout();
  }
  // The posting log's failure is told once, after the summary.
  void LogProblem(const std::string& /*text*/) override {}
  // Found once the host directory is free: on standard error, as at start.
  void EarlierRunCut(const std::string& text) override { SayProblem(text); }

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
      // The echo tag is the catalogue's bytes, shown as they are whatever the
      // terminal, so this line is not one for SayProblem.
      std::fprintf(stderr, "corvixmass: base %s (%s): %s\n", posted[i].BaseNumber.Str().c_str(),
                   ShownText(EchoTagOfPosted(posted[i]), false).c_str(), Shown(result).c_str());
    }
    if (!quiet || failed || (i >= posted.size() && PostingExitStatus(posted) != kExitDone))
      out += line;
  }
  PrintStdout(out);
  FlushStdout();
}

// Completes the session, whose settings the start-up checks read, for a run
// without screens.
ShortString PrepareSession() {
  Session.AppDir = JustPath(ProgramArg0());
  const ShortString here = CurrentDir();
  Session.StartDir = here;
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

// Marks (in Marked, one mark for each base of Catalogue) every base whose
// number is among Numbers, in one pass over the catalogue: a whole catalogue
// named number by number costs no more than it is long. False, naming the
// first number of Numbers that is not in the catalogue, when one is not.
bool MarkNamedBases(const std::vector<TCatalogueEntryRec>& catalogue,
                    const std::vector<std::string>& numbers, std::vector<bool>& marked,
                    std::string& error) {
  std::vector<bool> named(kMaxBaseRecords), present(kMaxBaseRecords);
  for (const std::string& number : numbers)
    if (const auto n = ParseBaseNumber(number)) named[*n] = true;
  marked.assign(catalogue.size(), false);
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    present[catalogue[i].Number] = true;
    if (named[catalogue[i].Number]) marked[i] = true;
  }
  for (const std::string& number : numbers) {
    const auto n = ParseBaseNumber(number);
    if (!n || !present[*n]) {
      error = "base " + number + " is not in the catalogue " + Session.BasesPath.Str();
      return false;
    }
  }
  return true;
}

// Base as a base to post to: its number, its base list line in IdWidth
// columns, and its whole echo tag (as the list keeps a cut one) or the tag
// its line shows.
TPostedRec PostedBase(const TCatalogueEntryRec& base, std::size_t idWidth) {
  TBaseLineBuf line;
  BuildBaseLine(base, idWidth, line);
  const ShortString text(line.TextView());
  const std::string_view whole = line.TagView();
  return {ShortString(line.DigitsView()),
          text,
          TPostOutcome::kNotStarted,
          -1,
          "",
          whole.empty() ? EchoTagOfLine(text) : std::string(whole)};
}

// Names on standard error, as --list-bases prints them, the bases of Posted
// that posted.log says got Job's message within the last repost_hours hours,
// and returns true; false when there are none. A log that cannot be read is
// said, and the posting goes on: the log is the program's record, not a
// condition of posting.
bool NamedRecentPostings(const TPostingJobRec& job, const std::vector<TPostedRec>& posted,
                         const std::vector<TCatalogueEntryRec>& catalogue) {
  std::vector<TPostedRec> already;
  std::string error;
  if (!AlreadyPostedBases(job.HostDir, job.Hash, Session.RepostHours, posted, already, error)) {
    SayProblem("warning: " + error + ": earlier postings were not looked at");
    return false;
  }
  if (already.empty()) return false;
  std::vector<std::int32_t> entryOf(kMaxBaseRecords, -1);
  for (std::size_t i = catalogue.size(); i-- > 0;)
    entryOf[catalogue[i].Number] = static_cast<std::int32_t>(i);
  SayProblem(job.MsgFile.Str() + " was already posted to " + std::to_string(already.size()) +
             " of these bases within the last " + std::to_string(Session.RepostHours) +
             " hours (--again posts it again):");
  for (const TPostedRec& base : already) {
    const auto number = ParseBaseNumber(base.BaseNumber.View());
    const std::int32_t at = number ? entryOf[*number] : -1;
    std::fputs(
        at >= 0
            ? ListedBaseLine(catalogue[static_cast<std::size_t>(at)], Session.Utf8Terminal).c_str()
            : (base.BaseNumber.Str() + "\n").c_str(),
        stderr);
  }
  return true;
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
    if (const auto number = ParseBaseNumber(word)) {
      numbers.push_back(std::to_string(*number));
      continue;
    }
    const std::size_t dash = word.find('-');
    const auto low = dash == std::string::npos
                         ? std::nullopt
                         : ParseBaseNumber(TrimBlanks(std::string_view(word).substr(0, dash)));
    const auto high = dash == std::string::npos
                          ? std::nullopt
                          : ParseBaseNumber(TrimBlanks(std::string_view(word).substr(dash + 1)));
    if (low && high) {
      const long from = *low, to = *high;
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
  // A failed write is told by main, which checks standard output at the end.
  PrintStdout(out);
  return kExitDone;
}

namespace {

// Takes --subject, --from and --to into the session over the ini's texts.
// Control bytes are refused as in the ini; then each text is converted to
// the host's set by its content, the same under any locale. The ini's
// texts, held as the screen shows them, go to the host's set from there.
// What is wrong, or "".
std::string TakeMessageFields(const TOptionsRec& options) {
  const struct {
    const char* Option;
    const char* Name;
    std::optional<std::string> Value;
    ShortString* Field;
  } texts[] = {{"--subject", "the subject", options.Subject, &Session.MsgSubject},
               {"--from", "From", options.From, &Session.MsgFrom},
               {"--to", "To", options.To, &Session.MsgTo}};
  for (const auto& text : texts) {
    std::string host = HostFromScreen(text.Field->View(), Session.Utf8Host);
    if (text.Value) {
      if (std::ranges::any_of(*text.Value, IsControlByte))
        return std::string(text.Option) +
               " holds a control character; values may hold only printable characters";
      const std::string problem = HostTextProblem(text.Name, *text.Value, Session.Utf8Host, host);
      if (!problem.empty()) return problem;
    }
    // A longer value would be cut in the job file: the utility would post another text.
    if (host.size() > kJobValueRoom) {
      return std::string(text.Option) + " is longer than the job file holds (" +
             std::to_string(kJobValueRoom) + " characters)";
    }
    *text.Field = ShortString(host);
  }
  return "";
}

// Checks the message file and the texts for the job file, and sets MsgFile
// to the file's absolute path and the host directory to an absolute one.
// What is wrong, or "".
std::string CheckMessage(const TOptionsRec& options, const ShortString& here,
                         ShortString& msgFile) {
  if (options.Subject.empty()) return "the subject is empty";
  if (options.MsgFile.size() > ShortString::kMaxLength || !FileExists(ShortString(options.MsgFile)))
    return options.MsgFile + ": no such message file";
  // A generator that failed leaves an empty file; posting it everywhere
  // would be a blank message in every base.
  if (IsBlankMessage(options.MsgFile))
    return ShownText(options.MsgFile, Session.Utf8Terminal) + " is empty";
  const std::string absolute = AbsolutePath(options.MsgFile, here);
  if (absolute.size() > kJobValueRoom) return absolute + ": the name is too long for the job file";
  msgFile = ShortString(absolute);
  if (!Session.HostDir.empty()) Session.HostDir = AbsolutePath(Session.HostDir, here);
  const ShortString bad = ValueWithLineBreak({.MsgFile = msgFile,
                                              .BaseNumber = "0",
                                              .From = Session.MsgFrom,
                                              .To = Session.MsgTo,
                                              .Subject = Session.MsgSubject});
  if (!bad.empty()) return "the " + bad.Str() + " holds a line break";
  return "";
}

// A killed run's utility held the host directory when this run began: once
// it is free, what that run left is told and its "rest" finished, before
// @rest and the bases posted lately are read.
void FinishKilledRun() {
  if (!TakeReviewDeferred()) return;
  TUtilityWatch wait;
  if (AwaitHostDir(Session.HostDir.Str(), wait)) {
    Session.StartNotices = ReviewLastPostings();
    TellStartNotices();
  }
}

// --dry-run: prints the job file each marked base would get.
int PrintDryRun(const std::vector<TCatalogueEntryRec>& catalogue, const std::vector<bool>& marked,
                std::size_t markedCount, const ShortString& msgFile) {
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    if (!marked[i]) continue;
    const TPostedRec base = PostedBase(catalogue[i], Session.BaseIdWidth);
    PrintfStdout("--- base %s (%s): %s would hold ---\n", base.BaseNumber.Str().c_str(),
                 ShownText(EchoTagOfPosted(base), false).c_str(),
                 Shown(JobFilePath(Session.HostDir)).c_str());
    const TJobRec job{.MsgFile = msgFile,
                      .BaseNumber = base.BaseNumber,
                      .From = Session.MsgFrom,
                      .To = Session.MsgTo,
                      .Subject = Session.MsgSubject,
                      .Address = Session.Address};
    // Line by line: the job file's line ends stay, what is in its values is masked.
    const std::string text = BuildJobFile(job);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      const std::string line = text.substr(at, end - at);  // the host's bytes, as posted
      PrintfStdout("%s\n", Shown(Session.Utf8Terminal ? Utf8FromCp437(line) : line).c_str());
      at = end + 1;
    }
  }
  PrintfStdout("Dry run: nothing was posted to the %zu bases.\n", markedCount);
  return kExitDone;
}

// Posts to the marked bases: the same loop as the screens: the lock on the
// host directory, the job file renamed into place, the utility without the
// terminal, the posting log and the pause. An ending signal is passed on to
// the running utility. Bases posted lately are refused first, and the
// operator is asked unless --yes is given.
int PostToBases(const TOptionsRec& options, const ShortString& here, const ShortString& msgFile,
                const std::vector<TCatalogueEntryRec>& catalogue, const std::vector<bool>& marked,
                std::size_t markedCount) {
  Session.Posted.clear();
  // Room for every base at once: a record is half a kilobyte, and growing
  // the vector step by step would copy a whole catalogue's worth twice over.
  Session.Posted.reserve(markedCount);
  for (std::size_t i = 0; i < catalogue.size(); ++i)
    if (marked[i]) Session.Posted.push_back(PostedBase(catalogue[i], Session.BaseIdWidth));
  TPostingJobRec job{.HostDir = Session.HostDir.Str(),
                     .MsgFile = msgFile,
                     .From = Session.MsgFrom,
                     .To = Session.MsgTo,
                     .Subject = Session.MsgSubject,
                     .PostDelay = Session.PostDelay,
                     .Hash = "",
                     .Address = Session.Address};
  const std::string problem = CheckPostingJob(here, job, Session.Posted);
  if (!problem.empty()) return Fail(problem);
  // Bases that got this very text lately are refused before the question:
  // a cron line run twice, or a posting repeated by hand, posts nothing.
  if (!options.Again && NamedRecentPostings(job, Session.Posted, catalogue)) {
    Session.Posted.clear();
    return kExitError;
  }
  if (!options.Yes) {
    if (!::isatty(STDIN_FILENO))
      return Fail("not posting without --yes: standard input is not a terminal to ask on");
    if (!AskToPost(options.MsgFile, catalogue, marked)) {
      Session.Posted.clear();
      PrintStdout("Nothing was posted.\n");
      return kExitDone;
    }
  }
  InstallEndingHandlers();
  try {
    TPrintedProgress progress(options.Quiet);
    RunPostingJob(job, Session.Posted, progress);
  } catch (const IoError& e) {
    PrintOutcome(Session.Posted, options.Quiet);
    static_cast<void>(TellAfterPosting(kExitError));  // the error decides the status
    SayProblem(e.what());
    return kExitError;
  }
  PrintOutcome(Session.Posted, options.Quiet);
  return TellAfterPosting(PostingExitStatus(Session.Posted));
}

}  // namespace

int RunUnattended(const TOptionsRec& options) {
  std::string error;
  // The configuration was checked and Session.IniPath set by the start-up checks.
  const ShortString here = PrepareSession();
  if (const std::string problem = TakeMessageFields(options); !problem.empty())
    return Fail(problem);
  // Everything is checked before the first job file is written.
  ShortString msgFile;
  if (const std::string problem = CheckMessage(options, here, msgFile); !problem.empty())
    return Fail(problem);
  FinishKilledRun();

  std::vector<std::string> numbers;
  std::vector<TCatalogueEntryRec> catalogue;
  std::vector<bool> marked;
  try {
    catalogue = ReadCatalogue(Session.BasesPath);
    if (!ExpandBaseList(options.Bases, catalogue, options.Force, numbers, error))
      return Fail(error);
  } catch (const IoError& e) {
    return Fail(std::string(e.what()) + " (the catalogue, [corvix] mbases)");
  }
  if (!MarkNamedBases(catalogue, numbers, marked, error)) return Fail(error);
  const auto markedCount = static_cast<std::size_t>(std::count(marked.begin(), marked.end(), true));
  if (markedCount == 0) return Fail("--bases names no base");
  Session.BaseIdWidth = BaseIdWidth(catalogue);
  if (options.DryRun) return PrintDryRun(catalogue, marked, markedCount, msgFile);
  return PostToBases(options, here, msgFile, catalogue, marked, markedCount);
}

}  // namespace corvix
