// Code page 437 and Unicode: the 128 code points of bytes 128-255.
#pragma once

namespace corvix {

// kCp437High[b - 128] is the Unicode code point of code-page-437 byte b.
extern const char16_t kCp437High[128];

// The code-page-437 byte of code point Cp, or -1 when the code page has none.
int UnicodeToCp437(char32_t cp);

}  // namespace corvix
