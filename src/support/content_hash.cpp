// The message fingerprint kept in posted.log.
#include "support/content_hash.h"

#include <cstdint>

namespace corvix {

std::string ContentHash(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) out[static_cast<std::size_t>(i)] = kHex[hash & 15];
  return out;
}

}  // namespace corvix
