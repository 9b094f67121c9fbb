// The catalogue's bases as the program shows and finds them, for the
// helpers scripts use (--list-bases, the words of --bases), and the echo tag
// of a base list line. The record itself is read by support/catalogue.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/config/session.h"
#include "support/catalogue.h"
#include "support/short_string.h"

namespace corvix {

class TBar;

// True when Pattern occurs in the base's number, echo tag or name, letters
// matched without regard to case, as the base list's search finds lines. An
// empty pattern matches every base.
bool BaseMatches(const TCatalogueEntryRec& base, std::string_view pattern);

// True when Text matches the shell-style Pattern ('*' any run, '?' any one
// byte), letters without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view text);

// The line --list-bases prints: number, echo tag and name separated by tabs,
// control bytes shown as '?', in UTF-8 when Utf8 (else the bytes as stored).
std::string ListedBaseLine(const TCatalogueEntryRec& base, bool utf8);

// The echo tag shown in a base list line of the catalogue loaded (the 12
// columns after the number's Session.BaseIdWidth, blanks trimmed).
std::string EchoTagOfLine(const ShortString& line);

// The whole echo tag of base list item Index: the line shows a long tag cut,
// and the list keeps the whole one as the item's hidden search text.
std::string EchoTagOfItem(const TBar& list, std::int32_t index);

// The whole echo tag of a posted base.
std::string EchoTagOfPosted(const TPostedRec& base);

}  // namespace corvix
