// The command-line reader shared by corvixmass and mkcatalog.
#include "support/option_parser.h"

namespace corvix {
namespace {

std::string LongName(const TOptionSpecRec& spec) { return std::string("--") + spec.Long; }

// The option a "--name" word means: the exact name, or the only option the
// name begins. Returns the table size when there is none, with the reason.
std::size_t FindLong(std::span<const TOptionSpecRec> specs, const std::string& name,
                     std::string& error) {
  std::size_t found = specs.size();
  std::string candidates;
  for (std::size_t i = 0; i < specs.size(); ++i) {
    const std::string candidate = specs[i].Long;
    if (candidate == name) return i;
    if (candidate.compare(0, name.size(), name) != 0) continue;
    candidates += " '" + LongName(specs[i]) + "'";
    found = found == specs.size() ? i : specs.size() + 1;
  }
  if (found == specs.size())
    error = "unrecognized option '--" + name + "'";
  else if (found > specs.size())
    error = "option '--" + name + "' is ambiguous; possibilities:" + candidates;
  return found < specs.size() ? found : specs.size();
}

}  // namespace

TParsedArgsRec ParseArguments(std::span<const TOptionSpecRec> specs,
                              const std::vector<std::string>& args) {
  TParsedArgsRec out;
  std::vector<bool> seen(specs.size(), false);
  auto take = [&](std::size_t spec, bool hasValue, std::string value) {
    if (seen[spec]) {
      out.Error = "option '" + LongName(specs[spec]) + "' given more than once";
      return false;
    }
    seen[spec] = true;
    out.Options.push_back({spec, hasValue, std::move(value)});
    return true;
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      out.Operands.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word[1] == '-') {
      const std::size_t eq = word.find('=');
      const std::string name = word.substr(2, eq == std::string::npos ? eq : eq - 2);
      const std::size_t spec = FindLong(specs, name, out.Error);
      if (spec == specs.size()) return out;
      const TOptionSpecRec& s = specs[spec];
      if (eq != std::string::npos) {
        if (s.Arg == TArgKind::argNone) {
          out.Error = "option '" + LongName(s) + "' doesn't allow an argument";
          return out;
        }
        if (!take(spec, true, word.substr(eq + 1))) return out;
      } else if (s.Arg == TArgKind::argRequired) {
        if (i + 1 >= args.size()) {
          out.Error = "option '" + LongName(s) + "' requires an argument";
          return out;
        }
        if (!take(spec, true, args[++i])) return out;
      } else if (!take(spec, false, "")) {
        return out;
      }
      continue;
    }
    // A word of short options: each letter an option, until one takes a value.
    for (std::size_t at = 1; at < word.size(); ++at) {
      std::size_t spec = 0;
      while (spec < specs.size() && (specs[spec].Short == 0 || specs[spec].Short != word[at]))
        ++spec;
      if (spec == specs.size()) {
        out.Error = std::string("invalid option -- '") + word[at] + "'";
        return out;
      }
      if (specs[spec].Arg != TArgKind::argRequired) {
        if (!take(spec, false, "")) return out;
        continue;
      }
      if (at + 1 < word.size()) {
        if (!take(spec, true, word.substr(at + 1))) return out;
      } else if (i + 1 < args.size()) {
        if (!take(spec, true, args[++i])) return out;
      } else {
        out.Error = std::string("option requires an argument -- '") + word[at] + "'";
      }
      break;
    }
    if (!out.Error.empty()) return out;
  }
  return out;
}

}  // namespace corvix
