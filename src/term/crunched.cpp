// The crunched screen loader: decoding the stream into an image and drawing
// that image through the screen object.
#include "term/crunched.h"

#include <algorithm>
#include <cstring>

namespace corvix {

void DecodeCrunched(const std::uint8_t* data, std::uint16_t size, std::uint8_t x2, std::uint8_t x1,
                    std::uint8_t y1, std::uint8_t rowLimit, TConsoleImageRec& image) {
  std::memset(&image, 0, sizeof image);
  // The image holds 50 rows; a taller screen (SetScreenSize) must not push the
  // last row past them, or the whole picture would be refused when drawn.
  rowLimit = std::min(rowLimit, kImageRows);
  std::uint8_t attr = kDefaultAttr;
  std::size_t row = 1;
  std::size_t col = 1;
  constexpr std::size_t kCells = std::size_t{kImageRows} * kScreenCols;
  // The column is not bounded by 80: the image is addressed as one run of
  // cells, so an overlong row continues in the next image row.
  auto put = [&](char ch) {
    const std::size_t index = (row - 1) * kScreenCols + (col - 1);
    if (row <= kImageRows && index < kCells) {
      image.Data[index / kScreenCols][index % kScreenCols] = TCharInfo{attr, ch};
    }
    ++col;
  };

  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t b = data[i];
    if (b <= kCrunchLastFore) {
      attr = static_cast<std::uint8_t>(b + (attr & 0x70));
      ++i;
    } else if (b <= kCrunchLastBack) {
      attr = static_cast<std::uint8_t>((b - 16) * 16 + (attr & 15));
      ++i;
    } else if (b == kCrunchNextRow) {
      ++row;
      col = 1;
      ++i;
    } else if (b == kCrunchSpaces) {
      if (i + 1 >= size) break;
      for (int n = 0; n <= data[i + 1]; ++n) put(' ');
      i += 2;
    } else if (b == kCrunchRepeat) {
      if (i + 2 >= size) break;
      for (int n = 0; n <= data[i + 1]; ++n) put(static_cast<char>(data[i + 2]));
      i += 3;
    } else if (b < 32) {
      ++i;  // 27-31 carry no meaning
    } else {
      put(static_cast<char>(b));
      ++i;
    }
  }

  // The picture's rows stand on screen rows Y1 onward, so its last screen
  // row is Y1 + rows - 1, cut at the screen's last row. (Taking the row count
  // itself as the last screen row would lose the bottom Y1 - 1 rows of any
  // picture not drawn from row 1.) The cursor is left at the column and row
  // reached, counted within the picture; the column is kept as a byte, like
  // every screen column, so a run past column 255 wraps round.
  const std::size_t lastRow = std::min<std::size_t>(y1 + row - 1, rowLimit);
  image.CursorX = static_cast<std::uint8_t>(col);
  image.CursorY = static_cast<std::uint8_t>(std::min<std::size_t>(row, rowLimit));
  image.CursorA = attr;
  image.X1 = x1;
  image.X2 = x2;
  image.Y1 = y1;
  image.Y2 = static_cast<std::uint8_t>(lastRow);
}

void TOutputLinux::LoadCrunched(const std::uint8_t* data, std::uint16_t size, std::uint8_t x2,
                                std::uint8_t x1, std::uint8_t y1) {
  TConsoleImageRec image;
  DecodeCrunched(data, size, x2, x1, y1, ScreenSize, image);
  PutScreenImage(image);
}

}  // namespace corvix
