// Fuzzes the keyboard decoder with arbitrary terminal bytes and arbitrary
// pauses. The input is a run of chunks: a header byte (low 7 bits + 1 = the
// chunk's length; high bit set = a pause after it), then the chunk's bytes.
// A chunk followed by a pause is written to the pipe and every key it gives is
// read before the next chunk is written, so the decoder meets a silence there
// (an Escape or a sequence cut short at that point). Without the pause bit the
// next chunk follows at once, as one stream.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "term/input.h"
#include "term/keys.h"

namespace {

constexpr int kMaxChunks = 24;  // every pause may cost the decoder's Escape wait

void WriteAllOrDie(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w <= 0) std::abort();
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

// Reads every key the decoder can give without waiting for more input. (A 0
// alone is a valid result: a NUL byte, or a sequence that queued nothing.)
void Drain(corvix::TInput& in) {
  for (int guard = 0; guard < 100000 && in.KeyPressed(); ++guard) {
    if (in.InputEnded && in.InCount == 0 && in.KeyRead == in.KeyWrite) return;
    in.ReadKey();
    // The rings' indices must stay inside the rings whatever arrives.
    if (in.InCount < 0 || in.InCount > in.kInBufSize || in.KeyRead < 0 ||
        in.KeyRead >= in.kKeyBufSize || in.KeyWrite < 0 || in.KeyWrite >= in.kKeyBufSize)
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int fds[2];
  if (::pipe(fds) != 0) std::abort();
  corvix::TInput in(fds[0]);

  std::size_t i = 0;
  int chunks = 0;
  while (i < size && chunks < kMaxChunks) {
    const std::uint8_t header = data[i++];
    std::size_t len = (header & 0x7F) + 1u;
    if (len > size - i) len = size - i;
    WriteAllOrDie(fds[1], data + i, len);
    i += len;
    ++chunks;
    if ((header & 0x80) != 0) Drain(in);
  }
  Drain(in);

  // The terminal goes away: every further key is Escape.
  ::close(fds[1]);
  Drain(in);
  for (int n = 0; n < 3; ++n) {
    if (in.ReadKey() != corvix::kKeyEscape) std::abort();
  }
  ::close(fds[0]);
  return 0;
}
