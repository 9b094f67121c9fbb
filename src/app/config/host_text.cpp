// Converting From, To and Subject to the host's character set.
#include "app/config/host_text.h"

#include <cstdio>

#include "support/string_utils.h"
#include "term/cp437.h"

namespace corvix {

std::string HostTextProblem(std::string_view name, std::string_view text, bool hostUtf8,
                            std::string& out) {
  if (hostUtf8) {
    out = std::string(text);
    return "";
  }
  TCp437TextRec converted = Cp437FromText(text);
  if (converted.Lacking == 0) {
    out = std::move(converted.Text);
    return "";
  }
  out.clear();
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(converted.Lacking));
  // The character itself is shown as given (UTF-8), masked when it is one of
  // the C1 controls.
  return std::string(name) + " holds '" + ShownText(converted.LackingUtf8, true) + "' (" + code +
         "), which code page 437 lacks";
}

std::string HostFromScreen(std::string_view text, bool hostUtf8) {
  return hostUtf8 ? Utf8FromCp437(text) : std::string(text);
}

}  // namespace corvix
