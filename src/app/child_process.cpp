// Child processes (the editor, the host utility) run on the terminal as the
// operator had it, and the program's raw mode comes back when they end.
#include "app/child_process.h"

#include "support/process.h"
#include "term/console.h"

namespace corvix {

int RunChildCommand(const std::string& cmd) {
  if (Screen != nullptr) Screen->SuspendRaw();
  int status = RunShell(cmd);
  if (Screen != nullptr) Screen->ResumeRaw();
  return status;
}

std::string ShellQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  out += '\'';
  return out;
}

}  // namespace corvix
