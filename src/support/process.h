// A plain child run: a command line through /bin/sh -c, waited for. The
// program's own children (the editor, the host utility) need more than this
// (the terminal handed over or withheld, signals passed on, output captured)
// and are started by their own components in the app layer.
#pragma once

#include <string>

namespace corvix {

// Runs Cmd through "/bin/sh -c" and waits for it. SIGINT and SIGQUIT are
// ignored in this process while the child runs and restored afterwards; the
// child gets their default actions back. Returns the wait status, or -1 when
// the child could not be started. Callers flush their screen output first.
int RunShell(const std::string& cmd);

}  // namespace corvix
