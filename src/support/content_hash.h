// A short fingerprint of a message's bytes. posted.log keeps it beside each
// base, so a later run can tell that the same text went to the same base.
#pragma once

#include <string>
#include <string_view>

namespace corvix {

// 64-bit FNV-1a over Bytes, as 16 lowercase hexadecimal digits. Not a
// cryptographic hash: it tells texts apart, it does not guard them.
std::string ContentHash(std::string_view bytes);

}  // namespace corvix
