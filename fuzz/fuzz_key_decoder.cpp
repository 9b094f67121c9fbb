// Fuzzes the key decoder with arbitrary terminal bytes and arbitrary pauses.
// The input is a run of chunks: a header byte (low 7 bits + 1 = the chunk's
// length; high bit set = a pause after it), then the chunk's bytes. A pause
// is the escape delay passing in silence (an Escape, or a sequence cut short
// there). The first byte's low bit also turns UTF-8 input on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "term/key_decoder.h"
#include "term/keys.h"

namespace {

// A step never gives more than an Escape and an extended key, and a 0 (the
// first half of an extended key) always comes with its scan code, unless the
// byte was a NUL typed as a key of its own.
void Check(const corvix::TKeyBytes& keys, bool fromNul) {
  if (keys.Count > 3) std::abort();
  if (keys.Count > 0 && keys.Bytes[keys.Count - 1] == corvix::kKeyExtended && !fromNul)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  corvix::TKeyDecoder decoder;
  decoder.Utf8Input = size > 0 && (data[0] & 1) != 0;

  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t header = data[i++];
    std::size_t len = (header & 0x7F) + 1u;
    if (len > size - i) len = size - i;
    for (std::size_t j = 0; j < len; ++j) Check(decoder.Feed(data[i + j]), data[i + j] == 0);
    i += len;
    if ((header & 0x80) != 0) {
      Check(decoder.Pause(), false);
      // After a pause only a paste may still be open, and it waits for no byte.
      if (decoder.Pending()) std::abort();
    }
  }
  // The operator stops typing: whatever was begun is over.
  Check(decoder.Pause(), false);
  if (decoder.Pending()) std::abort();
  return 0;
}
