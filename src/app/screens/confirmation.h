// The confirmation screen: the marked bases beside the " Message " box, and
// Enter there starts the posting.
#pragma once

#include <cstdint>
#include <string>

#include "app/config/session.h"
#include "support/short_string.h"

namespace corvix {

// Lists the marked bases beside the " Message " box (the message file, its
// length, From, To and Subject). Escape: kLeft, nothing posted. Enter posts
// to every marked base in list order: PostMarkedBases' outcome.
[[nodiscard]] TRunOutcome ConfirmAndPost();

// The " Message " box at columns 56-79, rows 2-9, left on screen.
void DrawMessageDetails();

// Lines of the regular file at Path (a last line without LF counts); -1 when
// it cannot be read or is no regular file.
std::int64_t CountLines(const std::string& path);

// Name when it fits Width, else "..." and its last Width - 3 characters.
ShortString TailOfName(const std::string& name, std::size_t width);

}  // namespace corvix
