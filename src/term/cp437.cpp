// The code-page-437 to Unicode table, used where bytes leave the process for
// a UTF-8 terminal and where UTF-8 keys come in.
#include "term/cp437.h"

#include "support/string_utils.h"

namespace corvix {

// Unicode code points of code page 437's bytes 128-255, for terminals that
// take UTF-8 (Utf8Output). Bytes below 128 are sent as they are.
const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

TNarrowRec Cp437Narrow(unsigned char b) {
  // Bytes 128-255 in rows of sixteen; a '1' in kDec takes the character
  // from the DEC set ('q' the line, 'x' the bar, 'l' 'k' 'm' 'j' the
  // corners, 'a' the shade, '{' pi, 'f' the degree sign ...).
  static constexpr char kChars[] =
      "CueaaaaceeeiiiAA"
      "EaAooouuyOUc}YPf"
      "aiounNao?--%%!<>"
      "aa#xuuukkuxkjjjk"
      "mvwtqnttmlvwtqnv"
      "vwwmmllnnjl#####"
      "aBG{SsutFOOd8fen"
      "=gzy^v/~f~~vn2* ";
  static constexpr char kDec[] =
      "0000000000000000"
      "0000000000001000"
      "0000000000000000"
      "1101111111111111"
      "1111111111111111"
      "1111111111100000"
      "0001000000000000"
      "0111000011100000";
  static_assert(sizeof kChars == 129 && sizeof kDec == 129);
  if (b == static_cast<unsigned char>(kCutMark)) return {'>', false};
  if (b < 0x80) return {static_cast<char>(b), false};
  return {kChars[b - 0x80], kDec[b - 0x80] == '1'};
}

int UnicodeToCp437(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  for (int i = 0; i < 128; ++i)
    if (kCp437High[i] == cp) return 0x80 + i;
  return -1;
}

namespace {

// The length (1-4) of the well-formed UTF-8 character at the start of Text,
// its code point in Cp; 0 when Text starts with no such character.
std::size_t DecodeUtf8(std::string_view text, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[0]);
  // Sequence length and the smallest code point it may carry (overlong
  // forms and surrogates are not well formed).
  std::size_t more = 0;
  char32_t least = 0;
  cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1, cp = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2, cp = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3, cp = lead & 0x07, least = 0x10000;
  }
  std::size_t n = 0;
  while (n < more && 1 + n < text.size() &&
         (static_cast<unsigned char>(text[1 + n]) & 0xC0) == 0x80) {
    cp = (cp << 6) | (static_cast<unsigned char>(text[1 + n]) & 0x3F);
    ++n;
  }
  if (more == 0 || n < more || cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return 1 + more;
}

}  // namespace

bool IsUtf8Text(std::string_view text) {
  bool beyondAscii = false;
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(text.substr(i), cp);
    if (length == 0) return false;
    beyondAscii = true;
    i += length;
  }
  return beyondAscii;
}

TCp437TextRec Cp437FromText(std::string_view text) {
  TCp437TextRec result;
  if (!IsUtf8Text(text)) {
    result.Text = std::string(text);
    return result;
  }
  result.WasUtf8 = true;
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = static_cast<unsigned char>(text[i]);
    const std::size_t length = cp < 0x80 ? 1 : DecodeUtf8(text.substr(i), cp);
    const int b = UnicodeToCp437(cp);
    if (b < 0) {
      result.Text.clear();
      result.Lacking = cp;
      result.LackingUtf8 = std::string(text.substr(i, length));
      return result;
    }
    result.Text += static_cast<char>(b);
    i += length;
  }
  return result;
}

std::string Cp437FromUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(text.substr(i), cp);
    if (length == 0) {
      out += text[i++];
      continue;
    }
    const int b = UnicodeToCp437(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
    i += length;
  }
  return out;
}

std::string Utf8FromCp437(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
      continue;
    }
    const char16_t cp = kCp437High[c - 0x80];
    if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

}  // namespace corvix
