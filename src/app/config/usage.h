// The usage text --help prints.
#pragma once

#include <string>

namespace corvix {

// The usage text printed by --help.
std::string UsageText();

}  // namespace corvix
