// What the program does before it touches the terminal: --help, --version,
// the terminal size check; and the summary it prints after the screen is gone.
#pragma once

#include <string>
#include <vector>

#include "app/session.h"

namespace corvix {

inline constexpr char kVersion[] = "1.0.0";

// The usage text printed by --help.
std::string UsageText();

// A one-line complaint when Columns x Rows is smaller than 80x25; empty when
// the size is enough.
std::string TerminalSizeProblem(int columns, int rows);

// The echo tag shown in a base list line (columns 5-16, blanks trimmed).
std::string EchoTagOfLine(const ShortString& line);

// One line per posted base (number, echo tag, the utility's result) and a
// total line; empty when nothing was posted.
std::string PostingSummary(const std::vector<TPostedRec>& posted);

}  // namespace corvix
