// The texts that go into the job file (From, To, Subject) in the host's
// character set, converted by their content and never by the locale.
#pragma once

#include <string>
#include <string_view>

namespace corvix {

// Converts Text for a host that takes code page 437 (HostUtf8 false) or
// UTF-8 (true) into Out. For code page 437, a text that is well-formed UTF-8
// holding a character beyond ASCII is converted; other bytes are the host's
// own. A UTF-8 host takes every text as it is. Returns why the text cannot
// go to the host ("the subject holds '–' (U+2013), which code page 437
// lacks", Name being "the subject"), or an empty text.
[[nodiscard]] std::string HostTextProblem(std::string_view name, std::string_view text,
                                          bool hostUtf8, std::string& out);

// The host's bytes for a text held as the screen holds it (code page 437).
std::string HostFromScreen(std::string_view text, bool hostUtf8);

}  // namespace corvix
