// Attribute bytes as SGR sequences in the bold, explicit and PC colour modes.
#include "term/sgr.h"

#include <cstring>

#include "support/string_utils.h"

namespace corvix {
namespace {

// ANSI colour digit for each PC colour number 0-7.
constexpr char kAnsiDigits[] = "04261537";

// The colours the Pc mode sends, as 256-colour index and as 24-bit RGB.
// They are the PC palette's own except where a text the screens draw would
// fall under a contrast ratio of 4.5:1 (WCAG 2, from relative luminance):
// dark grey is #808080 rather than #555555, still a grey well below light
// grey, and a bright text on the light grey bar gets a darker grey bar.
// Ratios of the pairs the screens use (256-colour / RGB):
//   light grey on black (7: plain text, the shading)       8.83 / 9.04
//   dark grey on black (8: rows, help line, values, frames) 5.32 / 5.32
//   light cyan on black (11: titles, the count)            17.23 / 17.13
//   yellow on black (14), white on black (15: marked rows) 19.72 / 21.00
//   black on light grey (0x70: the bar, selected NO/OK)     8.83 / 9.04
//   yellow on the bar (0x7E: the bar on a marked base)      4.93 / 4.92
//   white on the bar (0x7F: selected YES, fields, hot key)  5.25 / 5.25
struct TPcColorRec {
  std::uint8_t Index;
  std::uint32_t Rgb;
};
// PC colour order: black, blue, green, cyan, red, magenta, brown, light
// grey, then the bright eight.
constexpr TPcColorRec kPcColors[16] = {
    {16, 0x000000},  {19, 0x0000AA},  {34, 0x00AA00},  {37, 0x00AAAA},
    {124, 0xAA0000}, {127, 0xAA00AA}, {130, 0xAA5500}, {248, 0xAAAAAA},
    {244, 0x808080}, {63, 0x5555FF},  {83, 0x55FF55},  {87, 0x55FFFF},
    {203, 0xFF5555}, {207, 0xFF55FF}, {227, 0xFFFF55}, {231, 0xFFFFFF}};
// The light grey background behind a bright text: no light background
// carries yellow or white at 4.5:1, so the bar is a mid grey there (in the
// explicit colours the terminal's dark grey, SGR 100).
constexpr int kBrightOnBar = 16;
constexpr TPcColorRec kBrightOnBarColor = {242, 0x6C6C6C};

const TPcColorRec& PcEntry(int c) { return c == kBrightOnBar ? kBrightOnBarColor : kPcColors[c]; }

// The dark blue, red, magenta and brown reach 1.6:1 to 4:1 as text on black.
// No screen of the program writes in them, but pipe colour codes in base
// names and in the message do: as a text colour they are sent lighter, in
// the same hue (5.9, 5.7, 4.9 and 5.5:1 on black). As backgrounds they stay.
const TPcColorRec& PcText(int c) {
  static constexpr TPcColorRec kBlue = {68, 0x5F87D7}, kRed = {167, 0xD75F5F},
                               kMagenta = {164, 0xD700D7}, kBrown = {166, 0xD75F00};
  switch (c) {
    case 1:
      return kBlue;
    case 4:
      return kRed;
    case 5:
      return kMagenta;
    case 6:
      return kBrown;
    default:
      return PcEntry(c);
  }
}

// The background sent for attribute Attr: colour 0-7 or kBrightOnBar.
int Background(std::uint8_t attr) {
  const int bg = (attr >> 4) & 7;
  return bg == 7 && (attr & 15) > 8 ? kBrightOnBar : bg;
}

// "38;..." (foreground) or "48;..." (background) for PC colour C.
ShortString PcColor(char which, int c, bool trueColor) {
  ShortString s = ShortString::Of(which) + "8;";
  const TPcColorRec& entry = which == '3' ? PcText(c) : PcEntry(c);
  if (!trueColor) return s + "5;" + Int2Str(entry.Index);
  const std::uint32_t rgb = entry.Rgb;
  return s + "2;" + Int2Str(static_cast<std::int32_t>(rgb >> 16)) + ";" +
         Int2Str(static_cast<std::int32_t>((rgb >> 8) & 0xFF)) + ";" +
         Int2Str(static_cast<std::int32_t>(rgb & 0xFF));
}

ShortString Sgr(const ShortString& params) { return ShortString::Of('\x1b') + "[" + params + "m"; }

// Without colour an attribute shows as bold (a bright foreground other
// than dark grey: marked rows, titles, white text), reverse video (any
// background: the bar, the selected button, fields) and blink. Two
// attributes that look the same send nothing.
ShortString MonoParams(std::uint8_t attr) {
  ShortString p = "0";
  if ((attr & 15) > 8) p += ";1";
  if ((attr & 0x80) != 0) p += ";5";
  if ((attr & 0x70) != 0) p += ";7";
  return p;
}

ShortString MonoChange(std::uint8_t from, std::uint8_t to) {
  const ShortString params = MonoParams(to);
  if (params == MonoParams(from)) return {};
  return Sgr(params);
}

bool EndsWith(const char* text, const char* tail) {
  const std::size_t n = std::strlen(text), m = std::strlen(tail);
  return n >= m && std::strcmp(text + n - m, tail) == 0;
}

}  // namespace

namespace {

void AddParam(ShortString& params, const ShortString& param) {
  if (!params.empty()) params += ';';
  params += param;
}

// The change in the colour modes that name every colour: bright foregrounds
// are colours of their own, so only blink needs a reset to go off; after
// one, both colours are named again.
ShortString ColorChange(std::uint8_t from, std::uint8_t to, TColorsRec colors) {
  const int fg = to & 15;
  const int bg = to >> 4;  // bit 3 of the high nibble is blink
  const int oldFg = from & 15;
  const int oldBg = from >> 4;
  ShortString params;
  const bool pc = colors.Mode == kColorsPc;
  const bool reset = (oldBg & 8) != 0 && (bg & 8) == 0;
  if (reset) AddParam(params, "0");
  if ((bg & 8) != 0 && (reset || (oldBg & 8) == 0)) AddParam(params, "5");
  if (reset || fg != oldFg)
    AddParam(params, pc ? PcColor('3', fg, colors.TrueColor)
                        : ShortString::Of(fg > 7 ? '9' : '3') + kAnsiDigits[fg & 7]);
  // The background sent depends on the foreground as well.
  const int back = Background(to);
  if (reset || back != Background(from)) {
    AddParam(params, pc                     ? PcColor('4', back, colors.TrueColor)
                     : back == kBrightOnBar ? ShortString("100")
                                            : ShortString::Of('4') + kAnsiDigits[back]);
  }
  return Sgr(params);
}

// The change with bold colours: bright and blink can only be switched off by
// a full reset, and a foreground of 7 is reached by one as well.
ShortString BoldChange(std::uint8_t from, std::uint8_t to) {
  const int fg = to & 15;
  const int bg = to >> 4;  // bit 3 of the high nibble is blink
  int oldFg = from & 15;
  int oldBg = from >> 4;
  ShortString params;
  if (oldFg != 7 || fg == 7 || (oldFg > 7 && fg < 8) || (oldBg > 7 && bg < 8)) {
    AddParam(params, "0");
    oldFg = 7;
    oldBg = 0;
  }
  if (fg > 7 && oldFg < 8) {
    AddParam(params, "1");
    oldFg |= 8;
  }
  if ((bg & 8) != (oldBg & 8)) {
    AddParam(params, "5");
    oldBg |= 8;
  }
  if (fg != oldFg) AddParam(params, ShortString::Of('3') + kAnsiDigits[fg & 7]);
  if (bg != oldBg) AddParam(params, ShortString::Of('4') + kAnsiDigits[bg & 7]);
  return Sgr(params);
}

}  // namespace

ShortString SgrChange(std::uint8_t from, std::uint8_t to, TColorsRec colors) {
  if (to == from) return {};
  if (colors.Mode == kColorsMono) return MonoChange(from, to);
  if (colors.Mode != kColorsBold) return ColorChange(from, to, colors);
  return BoldChange(from, to);
}

std::uint8_t BlankLook(std::uint8_t attr, TColorsRec colors) {
  const auto look = static_cast<std::uint8_t>(attr & 0xF0);
  switch (colors.Mode) {
    case kColorsBold:
      return look;
    case kColorsMono:  // bold may brighten a reversed blank
      return (attr & 15) > 8 ? look | 1 : look;
    default:
      return Background(attr) == kBrightOnBar ? look | 1 : look;
  }
}

ShortString SgrReset(TColorsRec colors) {
  switch (colors.Mode) {
    case kColorsExplicit:
      return "\x1b[0;37;40m";
    case kColorsMono:
      return "\x1b[0m";
    case kColorsPc:
      return Sgr("0;" + PcColor('3', 7, colors.TrueColor) + ";" +
                 PcColor('4', 0, colors.TrueColor));
    default:
      return "\x1b[0m";
  }
}

bool IsLinuxConsole(const char* term) {
  return term != nullptr && std::strncmp(term, "linux", 5) == 0;
}

TColorsRec ColorsFor(std::string_view setting, const char* term, const char* colorTerm,
                     const char* noColor) {
  const bool trueColor = colorTerm != nullptr && (std::strcmp(colorTerm, "truecolor") == 0 ||
                                                  std::strcmp(colorTerm, "24bit") == 0);
  const ShortString v = LowerStr(ShortString(setting));
  if (v == ShortString("bold")) return {kColorsBold, trueColor};
  if (v == ShortString("explicit")) return {kColorsExplicit, trueColor};
  if (v == ShortString("pc")) return {kColorsPc, trueColor};
  if (v == ShortString("mono")) return {kColorsMono, trueColor};
  // The no-colour convention: any value but an empty one; the operator's
  // own setting above still wins.
  if (noColor != nullptr) return {kColorsMono, trueColor};
  if (trueColor || (term != nullptr && EndsWith(term, "256color"))) return {kColorsPc, trueColor};
  if (IsLinuxConsole(term)) return {kColorsBold, trueColor};
  return {kColorsExplicit, trueColor};
}

}  // namespace corvix
