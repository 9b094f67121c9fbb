// The one way the program runs a child: a command line through /bin/sh -c.
#pragma once

#include <string>

namespace corvix {

// Runs Cmd through "/bin/sh -c" and waits for it. SIGINT and SIGQUIT are
// ignored in this process while the child runs and restored afterwards; the
// child gets their default actions back. Returns the wait status, or -1 when
// the child could not be started. Callers flush their screen output first.
int RunShell(const std::string& cmd);

}  // namespace corvix
