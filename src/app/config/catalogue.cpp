// Matching bases, the listed line, the echo tag of a line.
#include "app/config/catalogue.h"

#include "app/config/session.h"
#include "support/dir_search.h"
#include "support/string_utils.h"
#include "term/cp437.h"
#include "widgets/light_bar.h"

namespace corvix {
namespace {

bool ContainsNoCase(std::string_view text, std::string_view sub) {
  if (sub.size() > text.size()) return false;
  for (std::size_t at = 0; at + sub.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < sub.size() && UpperChar(text[at + i]) == UpperChar(sub[i])) ++i;
    if (i == sub.size()) return true;
  }
  return false;
}

// A field as --list-bases prints it: control bytes as '?', in UTF-8 when the
// terminal takes UTF-8 (the catalogue holds code page 437).
void AppendShown(std::string& out, std::string_view field, bool utf8) {
  out += ShownText(utf8 ? Utf8FromCp437(field) : std::string(field), utf8);
}

}  // namespace

bool BaseMatches(const TCatalogueEntryRec& base, std::string_view pattern) {
  return pattern.empty() || ContainsNoCase(std::to_string(base.Number), pattern) ||
         ContainsNoCase(base.Tag, pattern) || ContainsNoCase(base.Name, pattern);
}

bool WildcardMatch(std::string_view pattern, std::string_view text) {
  return PatternMatch(pattern, text, true);
}

std::string ListedBaseLine(const TCatalogueEntryRec& base, bool utf8) {
  std::string line = std::to_string(base.Number) + "\t";
  AppendShown(line, base.Tag, utf8);
  line += '\t';
  AppendShown(line, base.Name, utf8);
  return line + "\n";
}

std::string EchoTagOfLine(const ShortString& line) {
  const std::size_t at = Session.BaseIdWidth;
  std::string tag = line.size() > at ? line.Str().substr(at, kTagWidth) : "";
  while (!tag.empty() && tag.back() == ' ') tag.pop_back();
  return tag;
}

std::string EchoTagOfItem(const TBar& list, std::int32_t index) {
  const std::string_view hidden = list.HiddenView(index);
  return hidden.empty() ? EchoTagOfLine(list.Text(index)) : std::string(hidden);
}

std::string EchoTagOfPosted(const TPostedRec& base) {
  return base.EchoTag.empty() ? EchoTagOfLine(base.Line) : base.EchoTag.Str();
}

}  // namespace corvix
