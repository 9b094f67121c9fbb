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

// Reads a command line into Out, one word at a time; Seen marks the
// options already given, which may not come again.
class TArgReader {
 public:
  TArgReader(std::span<const TOptionDefRec> table, const std::vector<std::string>& args,
             TParsedArgsRec& out)
      : table_(table), args_(args), out_(out), seen_(table.size(), false) {}

  void Read() {
    bool optionsEnded = false;
    for (i_ = 0; i_ < args_.size() && out_.Error.empty(); ++i_) {
      const std::string& word = args_[i_];
      if (optionsEnded || word.size() < 2 || word[0] != '-')
        out_.Operands.push_back(word);
      else if (word == "--")
        optionsEnded = true;
      else if (word[1] == '-')
        ReadLong(word);
      else
        ReadShorts(word);
    }
  }

 private:
  // False with the error set when the option was given before.
  bool Take(std::size_t def, bool hasValue, std::string value) {
    if (seen_[def]) {
      out_.Error = "option '" + LongName(table_[def]) + "' given more than once";
      return false;
    }
    seen_[def] = true;
    out_.Options.push_back({.Option = def, .HasValue = hasValue, .Value = std::move(value)});
    return true;
  }

  bool Fail(std::string error) {
    out_.Error = std::move(error);
    return false;
  }

  // "--name", "--name=value" or "--name value".
  bool ReadLong(const std::string& word) {
    const std::size_t eq = word.find('=');
    const std::string name = word.substr(2, eq == std::string::npos ? eq : eq - 2);
    const std::size_t def = FindLong(table_, name, out_.Error);
    if (def == table_.size()) return false;
    const TOptionDefRec& s = table_[def];
    if (eq != std::string::npos) {
      if (s.Arg == TArgKind::kNone)
        return Fail("option '" + LongName(s) + "' doesn't allow an argument");
      return Take(def, true, word.substr(eq + 1));
    }
    if (s.Arg != TArgKind::kRequired) return Take(def, false, "");
    if (i_ + 1 >= args_.size()) return Fail("option '" + LongName(s) + "' requires an argument");
    if (IsOptionWord(table_, args_[i_ + 1]))
      return Fail("option '" + LongName(s) + "' needs a value");
    return Take(def, true, args_[++i_]);
  }

  // A word of short options: each letter an option, until one takes a value.
  bool ReadShorts(const std::string& word) {
    for (std::size_t at = 1; at < word.size(); ++at) {
      std::size_t def = 0;
      while (def < table_.size() && (table_[def].Short == 0 || table_[def].Short != word[at]))
        ++def;
      if (def == table_.size()) return Fail(std::string("invalid option -- '") + word[at] + "'");
      if (table_[def].Arg != TArgKind::kRequired) {
        if (!Take(def, false, "")) return false;
        continue;
      }
      if (at + 1 < word.size()) return Take(def, true, word.substr(at + 1));
      if (i_ + 1 >= args_.size())
        return Fail(std::string("option requires an argument -- '") + word[at] + "'");
      if (IsOptionWord(table_, args_[i_ + 1]))
        return Fail("option '" + LongName(table_[def]) + "' needs a value");
      return Take(def, true, args_[++i_]);
    }
    return true;
  }

  std::span<const TOptionDefRec> table_;
  const std::vector<std::string>& args_;
  TParsedArgsRec& out_;
  std::vector<bool> seen_;
  std::size_t i_ = 0;  // the word being read
};

}  // namespace

TParsedArgsRec ParseArguments(std::span<const TOptionDefRec> table,
                              const std::vector<std::string>& args) {
  TParsedArgsRec out;
  TArgReader(table, args, out).Read();
  return out;
}

}  // namespace corvix
