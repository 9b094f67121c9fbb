// SleepMs: nanosleep, resumed with the time left when a signal interrupts it.
#include "support/sleep.h"

#include <cerrno>
#include <ctime>

namespace corvix {

void SleepMs(std::uint32_t ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  timespec rest{};
  while (nanosleep(&left, &rest) != 0 && errno == EINTR) left = rest;
}

}  // namespace corvix
