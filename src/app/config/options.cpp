// The command line: the table of options, and which of them each run takes.
#include "app/config/options.h"

#include <cstdio>
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

std::string Name(std::size_t option) { return std::string("--") + kOptions[option].Long; }

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
    switch (o.Option) {
      case optConfig:
        options.ConfigPath = o.Value;
        break;
      case optSelect:
        options.Select = o.Value;
        break;
      case optPost:
        options.MsgFile = o.Value;
        break;
      case optBases:
        options.Bases = o.Value;
        break;
      case optSubject:
        options.Subject = o.Value;
        break;
      case optFrom:
        options.From = o.Value;
        break;
      case optTo:
        options.To = o.Value;
        break;
      case optListBases:
        options.Pattern = o.Value;
        break;
      case optYes:
        options.Yes = true;
        break;
      case optDryRun:
        options.DryRun = true;
        break;
      case optQuiet:
        options.Quiet = true;
        break;
      case optForce:
        options.Force = true;
        break;
      case optAgain:
        options.Again = true;
        break;
      default:
        break;
    }
  }
  // --help and --version answer whatever else is asked.
  if (given[optHelp]) {
    options.Mode = TRunMode::kHelp;
    return "";
  }
  if (given[optVersion]) {
    options.Mode = TRunMode::kVersion;
    return "";
  }
  std::size_t modeOption = optCount;
  for (std::size_t m : {optCheck, optPost, optListBases}) {
    if (!given[m]) continue;
    if (modeOption != optCount) return Name(modeOption) + " and " + Name(m) + " ask for two runs";
    modeOption = m;
  }
  options.Mode = modeOption == optCheck       ? TRunMode::kCheck
                 : modeOption == optPost      ? TRunMode::kPost
                 : modeOption == optListBases ? TRunMode::kListBases
                                              : TRunMode::kScreens;
  if (given[optConfig] && options.ConfigPath.empty())
    return "option '--config' needs the name of a configuration file";

  // Which options each run takes; any other one given is a mistake to point
  // out, not to ignore.
  const bool post = options.Mode == TRunMode::kPost;
  for (std::size_t o :
       {optBases, optSubject, optFrom, optTo, optYes, optDryRun, optQuiet, optAgain}) {
    if (given[o] && !post) return "option '" + Name(o) + "' is used only with --post";
  }
  if (given[optSelect] && options.Mode != TRunMode::kScreens)
    return "option '--select' is not used with " + Name(modeOption) +
           (post ? " (name a selection in --bases as @NAME)" : "");
  if (given[optSelect] && options.Select->empty())
    return "option '--select' needs the name of a saved selection";
  if (given[optForce] && !post && !given[optSelect])
    return "option '--force' is used only with --select or --post";

  const std::vector<std::string>& operands = parsed.Operands;
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

int ReportMisuse(const std::string& message) {
  // The message quotes the command line, whose words may hold any byte.
  std::fprintf(stderr, "corvixmass: %s\nTry 'corvixmass --help'.\n",
               ShownText(message, Session.Utf8Terminal).c_str());
  return kExitMisuse;
}

}  // namespace corvix
