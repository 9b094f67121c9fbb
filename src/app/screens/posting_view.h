// The two screens before posting: the message details form and the
// confirmation list, which on Enter runs the posting loop under a progress box.
#pragma once

#include <cstdint>
#include <string>

#include "app/config/session.h"
#include "support/short_string.h"

namespace corvix {

// The notice for Escape on the form before any field was edited.
inline constexpr char kAcceptFieldNotice[] =
    "Press ENTER on a field to accept it, then ESC when ready.";

// Runs the From/To/Subject form until a field has been edited and the
// subject is not empty. Escape before that brings a notice that says what
// is missing, then the form again.
void EditMessageInfo();

// Lists the marked bases beside the " Message " box (the message file, its
// length, From, To and Subject). Escape: kLeft, nothing posted. Enter posts
// to every marked base in list order: PostMarkedBases' outcome.
[[nodiscard]] TRunOutcome ConfirmAndPost();

// Posts to every marked base of the session's base list with the progress
// box on screen, the results going to Session.Posted: kPosted. A job that
// cannot be posted as asked (see CheckPostingJob) posts nothing: a notice
// says why, kError.
[[nodiscard]] TRunOutcome PostMarkedBases();

// The " Message " box at columns 56-79, rows 2-9, left on screen.
void DrawMessageDetails();

// Lines of the regular file at Path (a last line without LF counts); -1 when
// it cannot be read or is no regular file.
std::int64_t CountLines(const std::string& path);

// Name when it fits Width, else "..." and its last Width - 3 characters.
ShortString TailOfName(const std::string& name, std::size_t width);

}  // namespace corvix
