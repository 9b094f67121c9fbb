// Attribute bytes as SGR sequences: the three ways of naming the PC colours
// to a terminal, and the sequence that takes it from one attribute to another.
#pragma once

#include <cstdint>
#include <string_view>

#include "support/short_string.h"

namespace corvix {

// How an attribute becomes SGR parameters.
// Bold: bright foregrounds are bold (1) with 30-37, and 7 is the terminal's
// plain reset, as the Linux console shows them.
// Explicit: bright foregrounds are 90-97 and bold is never sent, and every
// colour change names the foreground and background it needs, so no cell
// depends on the terminal's own default colours or on how it shows bold.
// Pc: as explicit, but every colour is the PC palette's own (light grey
// #AAAAAA, dark grey #555555 ...), by 256-colour index or as 24-bit RGB,
// since many terminals paint colours 7 and 8 far lighter or darker; where
// a pair the screens draw would be hard to read, a lighter or darker shade.
// Mono: no colour at all; bold, reverse video and blink show the attribute.
enum TColorMode : std::uint8_t { kColorsBold, kColorsExplicit, kColorsPc, kColorsMono };

// The colours as one terminal is told them: the mode, and for Pc whether
// the terminal takes 24-bit RGB (otherwise 256-colour indexes are sent).
struct TColorsRec {
  TColorMode Mode = kColorsBold;
  bool TrueColor = false;
};

// The SGR sequence that takes the terminal from attribute From to To; empty
// when they are equal; only what differs is sent. Blink (and, with bold
// colours, bright) is only ever turned off by a reset.
ShortString SgrChange(std::uint8_t from, std::uint8_t to, TColorsRec colors);

// What a blank cell in attribute Attr shows, as a key: blanks whose keys are
// equal look the same. The background and blink, and where the mode sends
// another background for a bright text, or bold without colour, that too.
std::uint8_t BlankLook(std::uint8_t attr, TColorsRec colors);

// The SGR sequence that sets attribute 7 from any state: a plain reset with
// bold colours, a reset naming light grey on black otherwise.
ShortString SgrReset(TColorsRec colors);

// True when TERM (Term, may be null) names the Linux console: "linux" or
// "linux-...". Bold shows as bright there, and it has no alternate screen.
bool IsLinuxConsole(const char* term);

// The colours for the colors setting (any case; "bold", "explicit", "pc",
// "mono") on the terminal named by Term and ColorTerm (the environment's
// TERM and COLORTERM, null when unset). A missing or unknown setting takes
// mono when NoColor (the environment's NO_COLOR) is set, to any value, else
// the terminal's default: pc where 256 or 24-bit colours are known to work,
// bold on the Linux console, explicit elsewhere.
TColorsRec ColorsFor(std::string_view setting, const char* term, const char* colorTerm,
                     const char* noColor = nullptr);

}  // namespace corvix
