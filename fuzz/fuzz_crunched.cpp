// Fuzzes the crunched screen loader: arbitrary streams with arbitrary sizes,
// columns, start rows and screen heights. Input: X2, X1, Y1, screen rows, two
// bytes of claimed size (never more than the bytes that follow), the stream.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "term/crunched.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::uint8_t x2 = data[0], x1 = data[1], y1 = data[2], rows = data[3];
  std::size_t claimed = static_cast<std::size_t>(data[4] | (data[5] << 8));
  const std::size_t have = size - 6;
  if (claimed > have) claimed = have;
  // A copy of exactly the claimed size, so any read past it is caught.
  auto* stream = static_cast<std::uint8_t*>(std::malloc(claimed ? claimed : 1));
  if (claimed) std::memcpy(stream, data + 6, claimed);

  corvix::TConsoleImageRec image;
  corvix::DecodeCrunched(stream, static_cast<std::uint16_t>(claimed), x2, x1, y1, rows, image);
  if (image.X1 != x1 || image.X2 != x2 || image.Y1 != y1) std::abort();
  if (image.CursorY > rows) std::abort();

  static const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  corvix::TOutput screen(true, devNull, devNull);
  screen.ScreenSize = rows;
  screen.LoadCrunched(stream, static_cast<std::uint16_t>(claimed), x2, x1, y1);
  if (screen.CursorX < 1 || screen.CursorX > corvix::kScreenCols || screen.CursorY < 1 ||
      screen.CursorY > corvix::kScreenRows)
    std::abort();
  std::free(stream);
  return 0;
}
