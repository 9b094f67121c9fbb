// Code page 437 and Unicode: the 128 code points of bytes 128-255.
#pragma once

#include <string>
#include <string_view>

namespace corvix {

// kCp437High[b - 128] is the Unicode code point of code-page-437 byte b.
extern const char16_t kCp437High[128];

// How code-page-437 byte B (128-255) shows on a terminal that takes neither
// code page 437 nor UTF-8: the character of the DEC line-drawing set that
// looks like it (Dec true: frames, shading, a few signs) or a plain ASCII
// stand-in (an accented letter without its accent, '*' for the mark '■').
struct TNarrowRec {
  char Ch;
  bool Dec;
};
TNarrowRec Cp437Narrow(unsigned char b);

// The code-page-437 byte of code point Cp, or -1 when the code page has none.
int UnicodeToCp437(char32_t cp);

// Text converted from UTF-8 to code page 437, as typed UTF-8 keys are: each
// well-formed character becomes its code-page-437 byte, or '?' when the code
// page has none. A byte that starts no well-formed UTF-8 character is kept as
// it is (text already written in code page 437 passes unchanged).
std::string Cp437FromUtf8(std::string_view text);

// How a text for the host converts to code page 437 by its content: a text
// that is well-formed UTF-8 throughout and holds a character beyond ASCII is
// UTF-8 and is converted; any other text is taken as code page 437 already.
struct TCp437TextRec {
  std::string Text;         // the code-page-437 bytes; empty when a character is lacking
  bool WasUtf8 = false;     // the text was read as UTF-8
  char32_t Lacking = 0;     // the first character code page 437 has no byte for (0: none)
  std::string LackingUtf8;  // that character's bytes as given
};
TCp437TextRec Cp437FromText(std::string_view text);

// True when Text is well-formed UTF-8 throughout and holds a character beyond ASCII.
bool IsUtf8Text(std::string_view text);

// Code-page-437 text (typed keys, the screen's text) as UTF-8, for names that
// leave the screen for a UTF-8 system: a file name typed on the screen.
std::string Utf8FromCp437(std::string_view text);

}  // namespace corvix
