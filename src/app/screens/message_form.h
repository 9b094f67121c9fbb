// The message-details form: From, To and Subject, asked before the
// confirmation list.
#pragma once

namespace corvix {

// The notice for Escape on the form before any field was edited.
inline constexpr char kAcceptFieldNotice[] =
    "Press ENTER on a field to accept it, then ESC when ready.";

// Runs the From/To/Subject form until a field has been edited and the
// subject is not empty. Escape before that brings a notice that says what
// is missing, then the form again.
void EditMessageInfo();

}  // namespace corvix
