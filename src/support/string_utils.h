// String utilities: value-in, value-out routines on short strings (padding,
// cutting, case mapping, number conversion, words, pipe colour codes, paths).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/short_string.h"

namespace corvix {

// --- Basic 1-based string operations (positions 1..length, 0 = not found) ---

// Position of the first occurrence of Sub in S; an empty Sub is never found.
std::uint8_t Pos(const ShortString& sub, const ShortString& s);
// Position of the first occurrence of Ch in S.
std::uint8_t Pos(char ch, const ShortString& s);
// Count characters of S from Index on; out-of-range parts are left out.
ShortString Copy(const ShortString& s, std::int32_t index, std::int32_t count);
// Deletes Count characters of S from Index on; out-of-range parts are ignored.
void Delete(ShortString& s, std::int32_t index, std::int32_t count);
// Inserts Src into S before Index (an index past the end appends); cut at 255.
void Insert(const ShortString& src, ShortString& s, std::int32_t index);

// --- Padding and cutting ---

// S cut to Width, or S followed by Fill up to Width.
ShortString PadRight(const ShortString& s, std::uint8_t width, char fill);
// Fill before S up to Width, or S cut to its first Width characters.
ShortString PadLeft(const ShortString& s, std::uint8_t width, char fill);
// S centred in Width (an odd leftover goes to the right), or cut on the right.
ShortString PadCenter(const ShortString& s, std::uint8_t width, char fill);
// PadLeft with the fill first and a signed width: <= 0 gives "", > 255 counts as 255.
ShortString FillLeft(const ShortString& s, char fill, std::int32_t width);
// PadRight with the fill first and a signed width: <= 0 gives "", > 255 counts as 255.
ShortString FillRight(const ShortString& s, char fill, std::int32_t width);
// Count copies of Ch.
ShortString RepeatChar(char ch, std::uint8_t count);
// Leading spaces only, so that S stands centred on an 80-column line.
ShortString CenterLine(const ShortString& s);
// S right-aligned on an 80-column line (FillLeft(S, ' ', 80)).
ShortString RightLine(const ShortString& s);

// --- Case (ASCII letters only) and searching ---

ShortString UpperStr(const ShortString& s);
ShortString LowerStr(const ShortString& s);
char LowerChar(char ch);
char UpperChar(char ch);
// Position of Sub in S, ignoring ASCII case.
std::uint8_t PosNoCase(const ShortString& sub, const ShortString& s);
bool ContainsNoCase(const ShortString& sub, const ShortString& s);
// Every occurrence of Find (ignoring case) replaced by Repl; S unchanged when
// Repl itself contains Find or Find is empty.
ShortString ReplaceAll(const ShortString& s, const ShortString& find, const ShortString& repl);
// The text between the first StartMark and the first EndMark, or "not found".
ShortString TextBetween(const ShortString& s, const ShortString& startMark,
                        const ShortString& endMark);

// --- Removing characters ---

ShortString RemoveChar(const ShortString& s, char ch);
ShortString StripLeading(const ShortString& s, char ch);
ShortString StripTrailing(const ShortString& s, char ch);
ShortString StripBoth(const ShortString& s, char ch);
// S without the blanks (space, tab, CR, LF, FF, VT) at either end. For text of
// any length read from outside: configuration lines, answers, list words.
std::string_view TrimBlanks(std::string_view s);
// True for a control byte: below 32, or 127.
bool IsControlByte(char c);
// Every character below 32 deleted.
ShortString StripControl(const ShortString& s);
// Every character below 32, and 127, replaced by Ch. Text from outside (names
// on disk, the host's catalogue) goes through this before it is drawn, so no
// byte of it can move the cursor or start a terminal control sequence.
ShortString ReplaceControl(const ShortString& s, char ch);
// The same for a text of any length (configuration values, utility output).
std::string ReplaceControl(std::string text, char ch);

// --- Paths ---

// Path with a trailing '/' (an empty path gives "/").
ShortString AddSlash(const ShortString& path);
// Path without one trailing '/'.
ShortString StripSlash(const ShortString& path);

// --- Numbers ---

ShortString Int2Str(std::int32_t n);
// Two characters: '07' for 7, the first two characters of a longer number.
ShortString TwoDigits(std::int32_t n);
// Decimal digits grouped by ',' in threes: 1234567 gives '1,234,567'.
ShortString Int2StrComma(std::int32_t n);
// Integer value of S ('$', 'x', '0x' hexadecimal, '%' binary, '&' octal);
// 0 when S is not a valid integer or does not fit 32 bits.
std::int32_t Str2Int(const ShortString& s);
// Str2Int(S); Default would apply only to a conversion that fails with a
// run-time error, and Str2Int never does.
std::int32_t Str2IntDef(const ShortString& s, std::int32_t defaultValue);
// Digits lower-case hexadecimal characters, '0'-filled on the left.
ShortString HexStr(std::uint32_t value, std::uint8_t digits);
// Two lower-case hexadecimal digits.
ShortString ByteHex(std::uint8_t b);
// Value in fixed point with Decimals decimals, right-aligned in 10 columns.
ShortString RealToStr(double value, std::uint8_t decimals);
// A size in 5 columns followed by a unit letter: b, K, M or G.
ShortString SizeStr(std::int32_t size);
// "Yes" or "No " (three characters).
ShortString YesNoStr(bool flag);
// A when Flag is set, else B.
ShortString IfStr(bool flag, const ShortString& a, const ShortString& b);

// --- Words ---

// Word number N of S separated by Delim; see string_utils.cpp for the rules.
ShortString ExtractWord(const ShortString& s, std::uint8_t n, char delim);
// Number of words of S separated by Delim.
std::uint8_t WordCount(const ShortString& s, char delim);
// Position in S at which word N begins.
std::uint8_t WordPos(std::uint8_t n, const ShortString& s, char delim);

// --- Pipe colour codes ('|' and two characters) ---

// Length of S on screen once every '|' with two characters after it is taken out.
std::uint8_t VisibleLength(const ShortString& s);
// Width to hand to PadRight so that S with its pipe codes fills Width columns.
std::uint8_t PipePadWidth(const ShortString& s, std::uint8_t width);
// S without its colour codes "|00".."|23"; other '|' sequences stay.
ShortString StripPipeColors(const ShortString& s);
// Every '|' deleted with the two characters after it.
ShortString StripPipeAll(const ShortString& s);
// "|" and the colour as two digits ('|07'); a colour above 15 gives '|07'.
ShortString PipeColorCode(std::uint8_t color);
// The first character of S framed as a highlighted hot key, then the rest.
ShortString HotkeyStr(const ShortString& s);

// --- Fixed character arrays ---

// The first Count characters of Buffer, ended early at the first NUL.
ShortString CharsToStr(const char* buffer, std::uint8_t count);

// --- Line wrapping ---

// Takes one line of at most Width characters off the front of Para (breaking
// after the last space that fits) and returns it, justified when asked.
ShortString WrapLine(ShortString& para, std::uint8_t width, bool justify);
// Widens Line to Width by inserting character 255 after its spaces.
ShortString JustifyLine(const ShortString& line, std::uint8_t width);
// Cuts S at its last space before column Width: S keeps what lies before the
// space, Rest gets what follows it; returns the space's position or 0.
std::uint8_t SplitAtSpace(ShortString& s, ShortString& rest, std::uint8_t width);

// Where a text from outside the program is shown, which decides what in it
// could act on the terminal.
enum class TShownOn : std::uint8_t {
  kBytes,   // a line of standard output or error, bytes as they are
  kUtf8,    // a line of standard output or error on a UTF-8 terminal
  kScreen,  // the screen's code-page-437 cells, which the output encodes
};

// Text as it may be shown: control bytes (below 32, 127, ESC among them)
// become '?', and the C1 controls with them - the bytes 128-159 On kBytes,
// the characters U+0080-U+009F and every byte of a broken UTF-8 sequence on
// kUtf8. On the screen bytes 128-255 are code-page-437 characters and stay.
// Every text from outside (names, paths, catalogue fields, a child's output)
// goes through here before it is shown.
std::string ShownText(std::string_view text, TShownOn on);
// ShownText on kUtf8 when Utf8, else on kBytes.
inline std::string ShownText(std::string_view text, bool utf8) {
  return ShownText(text, utf8 ? TShownOn::kUtf8 : TShownOn::kBytes);
}

// Ends a name, tag or subject shown cut short of its column. Code page 437,
// which the screen holds, has no ellipsis character, so the mark is a byte
// of its own: DEL, which never reaches a cell from outside (ShownText masks
// it) and which the program draws nowhere else. Where bytes leave the
// process it goes as '…' to a UTF-8 terminal and as '>' to any other.
inline constexpr char kCutMark = '\x7f';

// S padded with blanks to Width columns; a longer S is cut to Width with
// kCutMark in the last column, so that the cut shows.
ShortString PadMarked(const ShortString& s, std::uint8_t width);

// The longest start of Text of at most Max bytes that does not split a UTF-8
// character when Utf8 is true.
std::string_view CutText(std::string_view text, std::size_t max, bool utf8);

}  // namespace corvix
