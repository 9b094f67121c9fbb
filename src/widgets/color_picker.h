// PickColor and PickFlags: the small modal pickers that the form opens for
// attribute items and letter-flag items, and FlagsText that shows a flag set.
#pragma once

#include <cstdint>

#include "support/short_string.h"

namespace corvix {

// A set of the letters A..Z: bit N (1..26) stands for the letter 64 + N.
// Bit 0 and bits 27..31 are unused.
using TMenuFormFlagsRec = std::uint32_t;

// 26 characters: the letter for each set bit, "-" for each clear one.
ShortString FlagsText(TMenuFormFlagsRec flags);

// Lets the user choose foreground and background on a grid. Enter returns the
// choice (blink clear); Escape returns attr unchanged.
std::uint8_t PickColor(std::uint8_t attr);

// Lets the user toggle letters with A..Z until Escape; every toggle sets modified.
void PickFlags(TMenuFormFlagsRec& flags, bool& modified);

}  // namespace corvix
