// The crunched screen loader: decoding the stream into an image and drawing
// that image through the screen object.
#include "term/crunched.h"

#include <algorithm>
#include <cstring>

namespace corvix {

namespace {

// Where decoding stands: the attribute in force and the next cell, from 1.
struct TCrunchPen {
  std::uint8_t Attr = kDefaultAttr;
  std::size_t Row = 1;
  std::size_t Col = 1;
};

// Puts Ch at the pen in Image and moves the pen on. The column is not bounded
// by 80: the image is addressed as one run of cells, so an overlong row
// continues in the next image row.
void PutCell(TConsoleImageRec& image, TCrunchPen& pen, char ch) {
  constexpr std::size_t kCells = std::size_t{kImageRows} * kScreenCols;
  const std::size_t index = (pen.Row - 1) * kScreenCols + (pen.Col - 1);
  if (pen.Row <= kImageRows && index < kCells) {
    image.Data[index / kScreenCols][index % kScreenCols] = TCharInfo{pen.Attr, ch};
  }
  ++pen.Col;
}

// Decodes Size bytes of Data into Image's cells; the pen where they end.
TCrunchPen DecodeCells(const std::uint8_t* data, std::uint16_t size, TConsoleImageRec& image) {
  TCrunchPen pen;
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t b = data[i];
    if (b <= kCrunchLastFore) {
      pen.Attr = static_cast<std::uint8_t>(b + (pen.Attr & 0x70));
      ++i;
    } else if (b <= kCrunchLastBack) {
      pen.Attr = static_cast<std::uint8_t>((b - 16) * 16 + (pen.Attr & 15));
      ++i;
    } else if (b == kCrunchNextRow) {
      ++pen.Row;
      pen.Col = 1;
      ++i;
    } else if (b == kCrunchSpaces) {
      if (i + 1 >= size) break;
      for (int n = 0; n <= data[i + 1]; ++n) PutCell(image, pen, ' ');
      i += 2;
    } else if (b == kCrunchRepeat) {
      if (i + 2 >= size) break;
      for (int n = 0; n <= data[i + 1]; ++n) PutCell(image, pen, static_cast<char>(data[i + 2]));
      i += 3;
    } else if (b < 32) {
      ++i;  // 27-31 carry no meaning
    } else {
      PutCell(image, pen, static_cast<char>(b));
      ++i;
    }
  }
  return pen;
}

}  // namespace

void DecodeCrunched(const std::uint8_t* data, std::uint16_t size, std::uint8_t x2, std::uint8_t x1,
                    std::uint8_t y1, std::uint8_t rowLimit, TConsoleImageRec& image) {
  std::memset(&image, 0, sizeof image);
  // The image holds 50 rows; a taller screen (SetScreenSize) must not push the
  // last row past them, or the whole picture would be refused when drawn.
  rowLimit = std::min(rowLimit, kImageRows);
  const TCrunchPen pen = DecodeCells(data, size, image);
  const std::size_t row = pen.Row;
  const std::size_t col = pen.Col;
  const std::uint8_t attr = pen.Attr;

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
