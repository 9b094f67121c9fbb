// The command line: the table of options, and which of them each run takes.
#include "app/config/options.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "app/config/session.h"
#include "support/option_parser.h"
#include "support/string_utils.h"

namespace corvix {
namespace {

enum : std::size_t {
  optHelp,
  optVersion,
  optConfig,
  optCheck,
  optSelect,
  optPost,
  optBases,
  optSubject,
  optFrom,
  optTo,
  optYes,
  optDryRun,
  optQuiet,
  optForce,
  optListBases,
  optAgain,
  optCount
};

constexpr TOptionDefRec kOptions[optCount] = {
    {"help", 'h', TArgKind::kNone},         {"version", 'V', TArgKind::kNone},
    {"config", 'c', TArgKind::kRequired},   {"check", 0, TArgKind::kNone},
    {"select", 's', TArgKind::kRequired},   {"post", 0, TArgKind::kRequired},
    {"bases", 0, TArgKind::kRequired},      {"subject", 0, TArgKind::kRequired},
    {"from", 0, TArgKind::kRequired},       {"to", 0, TArgKind::kRequired},
    {"yes", 'y', TArgKind::kNone},          {"dry-run", 'n', TArgKind::kNone},
    {"quiet", 'q', TArgKind::kNone},        {"force", 0, TArgKind::kNone},
    {"list-bases", 0, TArgKind::kOptional}, {"again", 0, TArgKind::kNone},
};

// Where each option's value goes in TOptionsRec (at most one of the three),
// and whether only --post takes it; in the order of kOptions.
struct TOptionUseRec {
  std::string TOptionsRec::*Text = nullptr;
  std::optional<std::string> TOptionsRec::*Maybe = nullptr;
  bool TOptionsRec::*Flag = nullptr;
  bool PostOnly = false;
};

constexpr TOptionUseRec kUses[optCount] = {
    {},                                                 // help
    {},                                                 // version
    {.Text = &TOptionsRec::ConfigPath},                 // config
    {},                                                 // check
    {.Maybe = &TOptionsRec::Select},                    // select
    {.Text = &TOptionsRec::MsgFile},                    // post
    {.Text = &TOptionsRec::Bases, .PostOnly = true},    // bases
    {.Text = &TOptionsRec::Subject, .PostOnly = true},  // subject
    {.Maybe = &TOptionsRec::From, .PostOnly = true},    // from
    {.Maybe = &TOptionsRec::To, .PostOnly = true},      // to
    {.Flag = &TOptionsRec::Yes, .PostOnly = true},      // yes
    {.Flag = &TOptionsRec::DryRun, .PostOnly = true},   // dry-run
    {.Flag = &TOptionsRec::Quiet, .PostOnly = true},    // quiet
    {.Flag = &TOptionsRec::Force},                      // force
    {.Text = &TOptionsRec::Pattern},                    // list-bases
    {.Flag = &TOptionsRec::Again, .PostOnly = true},    // again
};

std::string Name(std::size_t option) { return std::string("--") + kOptions[option].Long; }

// The run the options ask for, into Options.Mode and ModeOption (optCount:
// the full-screen run); the misuse when they ask for two.
std::string ChooseMode(const bool (&given)[optCount], TOptionsRec& options,
                       std::size_t& modeOption) {
  modeOption = optCount;
  for (std::size_t m : {optCheck, optPost, optListBases}) {
    if (!given[m]) continue;
    if (modeOption != optCount) return Name(modeOption) + " and " + Name(m) + " ask for two runs";
    modeOption = m;
  }
  options.Mode = modeOption == optCheck       ? TRunMode::kCheck
                 : modeOption == optPost      ? TRunMode::kPost
                 : modeOption == optListBases ? TRunMode::kListBases
                                              : TRunMode::kScreens;
  return "";
}

// Which options each run takes; any other one given is a mistake to point
// out, not to ignore.
std::string MisplacedOption(const bool (&given)[optCount], const TOptionsRec& options,
                            std::size_t modeOption) {
  const bool post = options.Mode == TRunMode::kPost;
  if (given[optConfig] && options.ConfigPath.empty())
    return "option '--config' needs the name of a configuration file";
  for (std::size_t o = 0; o < optCount; ++o)
    if (kUses[o].PostOnly && given[o] && !post)
      return "option '" + Name(o) + "' is used only with --post";
  if (given[optSelect] && options.Mode != TRunMode::kScreens)
    return "option '--select' is not used with " + Name(modeOption) +
           (post ? " (name a selection in --bases as @NAME)" : "");
  if (given[optSelect] && options.Select->empty())
    return "option '--select' needs the name of a saved selection";
  if (given[optForce] && !post && !given[optSelect])
    return "option '--force' is used only with --select or --post";
  return "";
}

// Puts the operands into Options as the run asked for takes them; the
// misuse when they do not fit that run.
std::string TakeOperands(const std::vector<std::string>& operands, const bool (&given)[optCount],
                         TOptionsRec& options) {
  switch (options.Mode) {
    case TRunMode::kPost:
      if (options.MsgFile.empty()) return "option '--post' needs the message file";
      if (!operands.empty()) return "'" + operands[0] + "': --post already names the message file";
      if (!given[optBases]) return "--post needs --bases LIST";
      if (!given[optSubject]) return "--post needs --subject TEXT";
      return "";
    case TRunMode::kCheck:
      if (!operands.empty()) return "'" + operands[0] + "': --check takes no file";
      return "";
    case TRunMode::kListBases:
      if (operands.size() > 1 || (!operands.empty() && !options.Pattern.empty()))
        return "--list-bases takes one pattern";
      if (!operands.empty()) options.Pattern = operands[0];
      return "";
    default:
      // A shell pattern that matched two files would otherwise post the
      // first and say nothing of the second.
      if (operands.size() > 1)
        return "a second message file '" + operands[1] + "' after '" + operands[0] +
               "'; one run posts one file";
      if (!operands.empty()) options.MsgFile = operands[0];
      return "";
  }
}

}  // namespace

std::string ParseOptions(int argc, const char* const* argv, TOptionsRec& options) {
  options = TOptionsRec{};
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const TParsedArgsRec parsed = ParseArguments(kOptions, args);
  if (!parsed.Error.empty()) return parsed.Error;

  bool given[optCount] = {};
  for (const TGivenOptionRec& o : parsed.Options) {
    given[o.Option] = true;
    const TOptionUseRec& use = kUses[o.Option];
    if (use.Text != nullptr) options.*use.Text = o.Value;
    if (use.Maybe != nullptr) options.*use.Maybe = o.Value;
    if (use.Flag != nullptr) options.*use.Flag = true;
  }
  // --help and --version answer whatever else is asked.
  if (given[optHelp] || given[optVersion]) {
    options.Mode = given[optHelp] ? TRunMode::kHelp : TRunMode::kVersion;
    return "";
  }
  std::size_t modeOption = optCount;
  std::string misuse = ChooseMode(given, options, modeOption);
  if (misuse.empty()) misuse = MisplacedOption(given, options, modeOption);
  if (misuse.empty()) misuse = TakeOperands(parsed.Operands, given, options);
  return misuse;
}

int ReportMisuse(const std::string& message) {
  SayProblem(message);  // it quotes the command line, whose words may hold any byte
  std::fputs("Try 'corvixmass --help'.\n", stderr);
  return kExitMisuse;
}

}  // namespace corvix
