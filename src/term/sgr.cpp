// Attribute bytes as SGR sequences in the bold, explicit and PC colour modes.
#include "term/sgr.h"

#include <cstring>

#include "support/string_utils.h"

namespace corvix {
namespace {

// ANSI colour digit for each PC colour number 0-7.
constexpr char kAnsiDigits[] = "04261537";

// The PC palette in PC colour order: black, blue, green, cyan, red,
// magenta, brown, light grey, then the bright eight.
constexpr std::uint8_t kPcIndex[16] = {16,  19, 34, 37, 124, 127, 130, 248,
                                       240, 63, 83, 87, 203, 207, 227, 231};
constexpr std::uint32_t kPcRgb[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA,
                                      0xAA5500, 0xAAAAAA, 0x555555, 0x5555FF, 0x55FF55, 0x55FFFF,
                                      0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

// "38;..." (foreground) or "48;..." (background) for PC colour C.
ShortString PcColor(char which, int c, bool trueColor) {
  ShortString s = ShortString::Of(which) + "8;";
  if (!trueColor) return s + "5;" + Int2Str(kPcIndex[c]);
  const std::uint32_t rgb = kPcRgb[c];
  return s + "2;" + Int2Str(static_cast<std::int32_t>(rgb >> 16)) + ";" +
         Int2Str(static_cast<std::int32_t>((rgb >> 8) & 0xFF)) + ";" +
         Int2Str(static_cast<std::int32_t>(rgb & 0xFF));
}

ShortString Sgr(const ShortString& params) { return ShortString::Of('\x1b') + "[" + params + "m"; }

bool EndsWith(const char* text, const char* tail) {
  const std::size_t n = std::strlen(text), m = std::strlen(tail);
  return n >= m && std::strcmp(text + n - m, tail) == 0;
}

}  // namespace

std::uint8_t PcColorIndex(std::uint8_t color) { return kPcIndex[color & 15]; }

ShortString SgrChange(std::uint8_t from, std::uint8_t to, TColorsRec colors) {
  if (to == from) return {};
  const int fg = to & 15;
  const int bg = to >> 4;  // bit 3 of the high nibble is blink
  int oldFg = from & 15;
  int oldBg = from >> 4;
  ShortString params;
  auto add = [&params](const ShortString& p) {
    if (!params.empty()) params += ';';
    params += p;
  };
  if (colors.Mode != kColorsBold) {
    // Bright foregrounds are colours of their own, so only blink needs a
    // reset to go off; after one, both colours are named again.
    const bool pc = colors.Mode == kColorsPc;
    const bool reset = (oldBg & 8) != 0 && (bg & 8) == 0;
    if (reset) add("0");
    if ((bg & 8) != 0 && (reset || (oldBg & 8) == 0)) add("5");
    if (reset || fg != oldFg)
      add(pc ? PcColor('3', fg, colors.TrueColor)
             : ShortString::Of(fg > 7 ? '9' : '3') + kAnsiDigits[fg & 7]);
    if (reset || (bg & 7) != (oldBg & 7))
      add(pc ? PcColor('4', bg & 7, colors.TrueColor) : ShortString::Of('4') + kAnsiDigits[bg & 7]);
    return Sgr(params);
  }
  // Bright and blink can only be switched off by a full reset, and a
  // foreground of 7 is reached by one as well.
  if (oldFg != 7 || fg == 7 || (oldFg > 7 && fg < 8) || (oldBg > 7 && bg < 8)) {
    add("0");
    oldFg = 7;
    oldBg = 0;
  }
  if (fg > 7 && oldFg < 8) {
    add("1");
    oldFg |= 8;
  }
  if ((bg & 8) != (oldBg & 8)) {
    add("5");
    oldBg |= 8;
  }
  if (fg != oldFg) add(ShortString::Of('3') + kAnsiDigits[fg & 7]);
  if (bg != oldBg) add(ShortString::Of('4') + kAnsiDigits[bg & 7]);
  return Sgr(params);
}

ShortString SgrReset(TColorsRec colors) {
  switch (colors.Mode) {
    case kColorsExplicit:
      return "\x1b[0;37;40m";
    case kColorsPc:
      return Sgr("0;" + PcColor('3', 7, colors.TrueColor) + ";" +
                 PcColor('4', 0, colors.TrueColor));
    default:
      return "\x1b[0m";
  }
}

TColorsRec ColorsFor(std::string_view setting, const char* term, const char* colorTerm) {
  const bool trueColor = colorTerm != nullptr && (std::strcmp(colorTerm, "truecolor") == 0 ||
                                                  std::strcmp(colorTerm, "24bit") == 0);
  const ShortString v = LowerStr(ShortString(setting));
  if (v == ShortString("bold")) return {kColorsBold, trueColor};
  if (v == ShortString("explicit")) return {kColorsExplicit, trueColor};
  if (v == ShortString("pc")) return {kColorsPc, trueColor};
  if (trueColor || (term != nullptr && EndsWith(term, "256color"))) return {kColorsPc, trueColor};
  if (term != nullptr && std::strncmp(term, "linux", 5) == 0) return {kColorsBold, trueColor};
  return {kColorsExplicit, trueColor};
}

}  // namespace corvix
