// The screen's cells and rows: what the screen object, its renderers and the
// change-only diff all hold, kept apart so that none of them needs another's
// header for it.
#pragma once

#include <array>
#include <cstdint>

namespace corvix {

// Attribute byte: foreground in bits 0-3 (bit 3 bright), background in bits
// 4-6, blink in bit 7, PC colour numbers. 0x1F is white on blue.
inline constexpr std::uint8_t kDefaultAttr = 7;

inline constexpr std::uint8_t kScreenCols = 80;
inline constexpr std::uint8_t kScreenRows = 25;  // visible rows
inline constexpr std::uint8_t kImageRows = 50;   // rows held by an image

// One screen cell: the attribute, then the character (one byte of the
// terminal's 8-bit code page, code page 437 for bytes 128-255).
struct TCharInfo {
  std::uint8_t Attr;
  char Ch;
};

// One row of 80 cells; column X is index X - 1.
using TConsoleLineRec = std::array<TCharInfo, kScreenCols>;
// 50 rows; row Y is index Y - 1. Rows 1-25 are the visible screen.
using TConsoleScreenRec = std::array<TConsoleLineRec, kImageRows>;

static_assert(sizeof(TCharInfo) == 2);
static_assert(sizeof(TConsoleLineRec) == 160);
static_assert(sizeof(TConsoleScreenRec) == 8000);

}  // namespace corvix
