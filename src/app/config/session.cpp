// The session record of this run.
#include "app/config/session.h"

#include <cstdio>

#include "support/string_utils.h"

namespace corvix {

TSession Session;

void SayProblem(std::string_view text) {
  std::fprintf(stderr, "corvixmass: %s\n", ShownText(text, Session.Utf8Terminal).c_str());
}

}  // namespace corvix
