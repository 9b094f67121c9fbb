// The version of corvixmass and its tools, printed by --version.
#pragma once

namespace corvix {

inline constexpr char kVersion[] = "1.0.0";

}  // namespace corvix
