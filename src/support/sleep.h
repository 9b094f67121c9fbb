// The program's one millisecond sleep.
#pragma once

#include <cstdint>

namespace corvix {

// Sleeps Ms milliseconds; a signal does not cut the pause short.
void SleepMs(std::uint32_t ms);

}  // namespace corvix
