// Crunched screen pictures: a compact byte stream of colour changes, row
// ends, runs of spaces, runs of one character and plain characters, decoded
// into a screen image. TOutputLinux::LoadCrunched decodes and draws one.
#pragma once

#include <cstdint>

#include "term/output.h"

namespace corvix {

// Stream bytes with a meaning of their own; every byte from 32 up is a
// character, and 27-31 are ignored.
inline constexpr std::uint8_t kCrunchLastFore = 15;  // 0-15: foreground colour
inline constexpr std::uint8_t kCrunchLastBack = 23;  // 16-23: background colour
inline constexpr std::uint8_t kCrunchNextRow = 24;   // row + 1, column 1
inline constexpr std::uint8_t kCrunchSpaces = 25;    // 25, N: N + 1 spaces
inline constexpr std::uint8_t kCrunchRepeat = 26;    // 26, N, C: N + 1 times C

// Decodes Size bytes of Data into Image, which is cleared first. Decoding
// starts in attribute 7 at row 1, column 1; a row longer than 80 cells runs on
// into the next image row. Cells beyond the image's 50 rows are dropped, and
// a code cut short by the end of the stream ends the decoding. The header is
// set for drawing at columns X1..X2 from screen row Y1 down to the picture's
// last row or RowLimit (taken as at most 50), whichever comes first; the
// cursor is at the column reached and the row reached (at most RowLimit), the
// attribute the one reached.
void DecodeCrunched(const std::uint8_t* data, std::uint16_t size, std::uint8_t x2, std::uint8_t x1,
                    std::uint8_t y1, std::uint8_t rowLimit, TConsoleImageRec& image);

}  // namespace corvix
