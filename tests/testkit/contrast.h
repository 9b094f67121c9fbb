// Contrast of two colours as WCAG 2 defines it, and the RGB value a
// 256-colour index names on xterm, for checking the colours a screen sends.
#pragma once

#include <cmath>
#include <cstdint>

namespace corvix::testkit {

inline double RelativeLuminance(std::uint32_t rgb) {
  auto channel = [](std::uint32_t v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel((rgb >> 16) & 255) + 0.7152 * channel((rgb >> 8) & 255) +
         0.0722 * channel(rgb & 255);
}

// From 1 (the same luminance) to 21 (black and white).
inline double ContrastRatio(std::uint32_t a, std::uint32_t b) {
  double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

// Indexes 16-231 are the 6x6x6 cube, 232-255 the grey ramp; the first 16
// are the terminal's own and are never sent by the PC colours.
inline std::uint32_t Xterm256Rgb(int index) {
  static const std::uint32_t kLevels[6] = {0, 95, 135, 175, 215, 255};
  if (index >= 232) return (8 + 10 * (index - 232)) * 0x010101u;
  if (index < 16) return index == 15 ? 0xFFFFFF : 0;
  const int i = index - 16;
  return (kLevels[i / 36] << 16) | (kLevels[(i / 6) % 6] << 8) | kLevels[i % 6];
}

}  // namespace corvix::testkit
