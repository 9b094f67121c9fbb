// The command-line reader shared by corvixmass and mkcatalog.
#include "support/option_parser.h"

namespace corvix {
namespace {

std::string LongName(const TOptionDefRec& def) { return std::string("--") + def.Long; }

// The option a "--name" word means: the exact name, or the only option the
// name begins. Returns the table size when there is none, with the reason.
std::size_t FindLong(std::span<const TOptionDefRec> table, const std::string& name,
                     std::string& error) {
  std::size_t found = table.size();
  std::string candidates;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::string candidate = table[i].Long;
    if (candidate == name) return i;
    if (name.empty() || candidate.compare(0, name.size(), name) != 0) continue;
    candidates += " '" + LongName(table[i]) + "'";
    found = found == table.size() ? i : table.size() + 1;
  }
  if (found == table.size())
    error = "unrecognized option '--" + name + "'";
  else if (found > table.size())
    error = "option '--" + name + "' is ambiguous; possibilities:" + candidates;
  return found < table.size() ? found : table.size();
}

// True when Word is an option of Table as written on a command line: "--name"
// (or "--name=value") naming one long option, or "-xy" made of short options.
// Such a word after an option that needs a value is a value forgotten, not
// the value: "--bases --subject hi" must not post "--subject" to base "hi".
bool IsOptionWord(std::span<const TOptionDefRec> table, const std::string& word) {
  if (word.size() < 2 || word[0] != '-') return false;
  if (word[1] == '-') {
    std::string ignored;
    return word.size() > 2 &&
           FindLong(table, word.substr(2, word.find('=') - 2), ignored) < table.size();
  }
  for (std::size_t at = 1; at < word.size(); ++at) {
    std::size_t def = 0;
    while (def < table.size() && (table[def].Short == 0 || table[def].Short != word[at])) ++def;
    if (def == table.size()) return false;
    if (table[def].Arg == TArgKind::kRequired) return true;  // the rest is its value
  }
  return true;
}

}  // namespace

TParsedArgsRec ParseArguments(std::span<const TOptionDefRec> table,
                              const std::vector<std::string>& args) {
  TParsedArgsRec out;
  std::vector<bool> seen(table.size(), false);
  auto take = [&](std::size_t def, bool hasValue, std::string value) {
    if (seen[def]) {
      out.Error = "option '" + LongName(table[def]) + "' given more than once";
      return false;
    }
    seen[def] = true;
    out.Options.push_back({.Option = def, .HasValue = hasValue, .Value = std::move(value)});
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
      const std::size_t def = FindLong(table, name, out.Error);
      if (def == table.size()) return out;
      const TOptionDefRec& s = table[def];
      if (eq != std::string::npos) {
        if (s.Arg == TArgKind::kNone) {
          out.Error = "option '" + LongName(s) + "' doesn't allow an argument";
          return out;
        }
        if (!take(def, true, word.substr(eq + 1))) return out;
      } else if (s.Arg == TArgKind::kRequired) {
        if (i + 1 >= args.size()) {
          out.Error = "option '" + LongName(s) + "' requires an argument";
          return out;
        }
        if (IsOptionWord(table, args[i + 1])) {
          out.Error = "option '" + LongName(s) + "' needs a value";
          return out;
        }
        if (!take(def, true, args[++i])) return out;
      } else if (!take(def, false, "")) {
        return out;
      }
      continue;
    }
    // A word of short options: each letter an option, until one takes a value.
    for (std::size_t at = 1; at < word.size(); ++at) {
      std::size_t def = 0;
      while (def < table.size() && (table[def].Short == 0 || table[def].Short != word[at])) ++def;
      if (def == table.size()) {
        out.Error = std::string("invalid option -- '") + word[at] + "'";
        return out;
      }
      if (table[def].Arg != TArgKind::kRequired) {
        if (!take(def, false, "")) return out;
        continue;
      }
      if (at + 1 < word.size()) {
        if (!take(def, true, word.substr(at + 1))) return out;
      } else if (i + 1 < args.size() && IsOptionWord(table, args[i + 1])) {
        out.Error = "option '" + LongName(table[def]) + "' needs a value";
      } else if (i + 1 < args.size()) {
        if (!take(def, true, args[++i])) return out;
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
