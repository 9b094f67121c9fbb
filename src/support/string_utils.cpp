// String utilities. Every routine works on stack copies of short strings and
// takes no heap memory: they run for every row drawn on screen.
#include "support/string_utils.h"

#include <cstdio>

namespace corvix {

char UpperChar(char ch) {
  return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
}

bool IsControlByte(char c) { return static_cast<unsigned char>(c) < 32 || c == 127; }

namespace {

constexpr std::int32_t kMax = static_cast<std::int32_t>(ShortString::kMaxLength);

// Value of a digit character, or 99 for anything that is not a digit.
int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'z') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'Z') return ch - 'A' + 10;
  return 99;
}

// S with everything up to and including the first Delim deleted; with a space
// as delimiter the whole run of spaces there goes as well.
void DeleteThroughDelimiter(ShortString& s, std::uint8_t at, char delim) {
  std::size_t end = at;  // 1-based position of the delimiter = count to delete
  if (delim == ' ') {
    while (end < s.size() && s[end] == ' ') ++end;
  }
  Delete(s, 1, static_cast<std::int32_t>(end));
}

}  // namespace

// --- Basic 1-based string operations ---

std::uint8_t Pos(const ShortString& sub, const ShortString& s) {
  if (sub.empty() || sub.size() > s.size()) return 0;
  std::size_t last = s.size() - sub.size();
  for (std::size_t i = 0; i <= last; ++i) {
    if (s.View().substr(i, sub.size()) == sub.View()) return static_cast<std::uint8_t>(i + 1);
  }
  return 0;
}

std::uint8_t Pos(char ch, const ShortString& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == ch) return static_cast<std::uint8_t>(i + 1);
  }
  return 0;
}

ShortString Copy(const ShortString& s, std::int32_t index, std::int32_t count) {
  const std::int32_t len = static_cast<std::int32_t>(s.size());
  if (index < 1) index = 1;
  if (count <= 0 || index > len) return {};
  if (count > len - index + 1) count = len - index + 1;
  return ShortString(
      s.View().substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count)));
}

void Delete(ShortString& s, std::int32_t index, std::int32_t count) {
  const std::int32_t len = static_cast<std::int32_t>(s.size());
  if (index < 1 || index > len || count <= 0) return;
  if (count > len - index + 1) count = len - index + 1;
  ShortString r = Copy(s, 1, index - 1);
  r += Copy(s, index + count, len);
  s = r;
}

void Insert(const ShortString& src, ShortString& s, std::int32_t index) {
  const std::int32_t len = static_cast<std::int32_t>(s.size());
  if (index < 1) index = 1;
  if (index > len) index = len + 1;
  ShortString r = Copy(s, 1, index - 1);
  r += src;
  r += Copy(s, index, len);
  s = r;
}

// --- Padding and cutting ---

ShortString PadRight(const ShortString& s, std::uint8_t width, char fill) {
  if (s.size() >= width) return Copy(s, 1, width);
  ShortString r = s;
  while (r.size() < width) r += fill;
  return r;
}

ShortString PadLeft(const ShortString& s, std::uint8_t width, char fill) {
  if (s.size() >= width) return Copy(s, 1, width);
  return ShortString::Of(fill, width - s.size()) + s;
}

ShortString PadCenter(const ShortString& s, std::uint8_t width, char fill) {
  if (s.size() >= width) return Copy(s, 1, width);
  std::size_t spare = width - s.size();
  std::size_t left = spare / 2;
  return ShortString::Of(fill, left) + s + ShortString::Of(fill, spare - left);
}

// The signed width would let a caller ask for more than a short string holds;
// it is held to 255 so the result never overruns.
ShortString FillLeft(const ShortString& s, char fill, std::int32_t width) {
  if (width <= 0) return {};
  return PadLeft(s, static_cast<std::uint8_t>(width > kMax ? kMax : width), fill);
}

ShortString FillRight(const ShortString& s, char fill, std::int32_t width) {
  if (width <= 0) return {};
  return PadRight(s, static_cast<std::uint8_t>(width > kMax ? kMax : width), fill);
}

ShortString RepeatChar(char ch, std::uint8_t count) { return ShortString::Of(ch, count); }

ShortString CenterLine(const ShortString& s) {
  const std::int32_t len = static_cast<std::int32_t>(s.size());
  if (len >= 80) return s;
  return FillLeft(s, ' ', len + (80 - len) / 2);
}

ShortString RightLine(const ShortString& s) { return FillLeft(s, ' ', 80); }

// --- Case and searching ---

ShortString UpperStr(const ShortString& s) {
  ShortString r = s;
  for (char& c : r) c = UpperChar(c);
  return r;
}

ShortString LowerStr(const ShortString& s) {
  ShortString r = s;
  for (char& c : r) c = LowerChar(c);
  return r;
}

char LowerChar(char ch) {
  return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}

std::uint8_t PosNoCase(const ShortString& sub, const ShortString& s) {
  return Pos(UpperStr(sub), UpperStr(s));
}

bool ContainsNoCase(const ShortString& sub, const ShortString& s) { return PosNoCase(sub, s) > 0; }

ShortString ReplaceAll(const ShortString& s, const ShortString& find, const ShortString& repl) {
  // A replacement that holds the search text would be found again forever.
  if (find.empty() || PosNoCase(find, repl) > 0) return s;
  // Every search starts again at the front, so a replacement can form a new
  // match with its neighbours. Some pairs of texts could keep doing that
  // without end once the 255 cut holds the length; the cap ends such a run
  // long after any real cascade (at most about 255 x 255 steps) is done.
  constexpr int kMaxReplacements = 70000;
  ShortString r = s;
  const ShortString upperFind = UpperStr(find);
  for (int n = 0; n < kMaxReplacements; ++n) {
    std::uint8_t p = Pos(upperFind, UpperStr(r));
    if (p == 0) break;
    Delete(r, p, static_cast<std::int32_t>(find.size()));
    Insert(repl, r, p);
  }
  return r;
}

ShortString TextBetween(const ShortString& s, const ShortString& startMark,
                        const ShortString& endMark) {
  std::int32_t p1 = Pos(startMark, s);
  std::int32_t p2 = Pos(endMark, s);
  if (p1 == 0 || p2 == 0) return "not found";
  std::int32_t from = p1 + static_cast<std::int32_t>(startMark.size());
  return Copy(s, from, p2 - from);
}

// --- Removing characters ---

ShortString RemoveChar(const ShortString& s, char ch) {
  ShortString r;
  for (char c : s) {
    if (c != ch) r += c;
  }
  return r;
}

ShortString StripLeading(const ShortString& s, char ch) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ch) ++i;
  return ShortString(s.View().substr(i));
}

ShortString StripTrailing(const ShortString& s, char ch) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ch) --n;
  return ShortString(s.View().substr(0, n));
}

ShortString StripBoth(const ShortString& s, char ch) {
  return StripTrailing(StripLeading(s, ch), ch);
}

std::string_view TrimBlanks(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

ShortString StripControl(const ShortString& s) {
  ShortString r;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s.Byte(i) >= 32) r += s[i];
  }
  return r;
}

ShortString ReplaceControl(const ShortString& s, char ch) {
  ShortString r = s;
  for (char& c : r)
    if (IsControlByte(c)) c = ch;
  return r;
}

std::string ReplaceControl(std::string text, char ch) {
  for (char& c : text)
    if (IsControlByte(c)) c = ch;
  return text;
}

// --- Paths ---

ShortString AddSlash(const ShortString& path) {
  if (!path.empty() && path[path.size() - 1] == '/') return path;
  return path + '/';
}

ShortString StripSlash(const ShortString& path) {
  if (!path.empty() && path[path.size() - 1] == '/') {
    return Copy(path, 1, static_cast<std::int32_t>(path.size()) - 1);
  }
  return path;
}

// --- Numbers ---

ShortString Int2Str(std::int32_t n) {
  char buf[16];
  int len = std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(n));
  return ShortString(std::string_view(buf, static_cast<std::size_t>(len)));
}

ShortString TwoDigits(std::int32_t n) {
  ShortString s = Int2Str(n);
  if (s.size() == 1) return "0" + s;
  return Copy(s, 1, 2);
}

// A negative number has its digits grouped like the positive one and the
// sign put in front, so -123 gives '-123' rather than '-,123'.
ShortString Int2StrComma(std::int32_t n) {
  std::int64_t magnitude = n < 0 ? -static_cast<std::int64_t>(n) : n;
  char buf[24];
  int len = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(magnitude));
  ShortString s(std::string_view(buf, static_cast<std::size_t>(len)));
  for (std::int32_t i = len - 2; i > 1; i -= 3) Insert(",", s, i);
  return n < 0 ? "-" + s : s;
}

namespace {

// The base a number's prefix names ('$', 'x', "0x": 16, '%': 2, '&': 8),
// 10 without one; At moves past the prefix.
int NumberBase(const ShortString& s, std::size_t& at) {
  if (at >= s.size()) return 10;
  const char c = s[at];
  if (c == '0' && at + 1 < s.size() && (s[at + 1] == 'x' || s[at + 1] == 'X')) {
    at += 2;
    return 16;
  }
  const int base = c == '$' || c == 'x' || c == 'X' ? 16 : c == '%' ? 2 : c == '&' ? 8 : 10;
  if (base != 10) ++at;
  return base;
}

}  // namespace

// Decimal numbers must fit the signed range. Numbers written with a base
// prefix may use the full 32 bits ('$FFFFFFFF' is -1), as bit patterns are
// commonly written that way.
std::int32_t Str2Int(const ShortString& s) {
  std::size_t i = 0;
  const std::size_t len = s.size();
  while (i < len && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < len && (s[i] == '-' || s[i] == '+')) {
    negative = s[i] == '-';
    ++i;
  }
  const int base = NumberBase(s, i);
  if (i >= len) return 0;  // no digits at all
  const std::uint64_t limit =
      base == 10 ? (negative ? 2147483648ULL : 2147483647ULL) : 0xFFFFFFFFULL;
  std::uint64_t value = 0;
  for (; i < len; ++i) {
    int d = DigitValue(s[i]);
    if (d >= base) return 0;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    if (value > limit) return 0;
  }
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  if (negative) bits = 0U - bits;
  return static_cast<std::int32_t>(bits);
}

std::int32_t Str2IntDef(const ShortString& s, std::int32_t /*defaultValue*/) { return Str2Int(s); }

// Fewer digits than the value needs keep its lowest digits.
ShortString HexStr(std::uint32_t value, std::uint8_t digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  ShortString r = ShortString::Of('0', digits);
  for (std::size_t i = digits; i > 0 && value != 0; --i) {
    r[i - 1] = kHex[value & 0xF];
    value >>= 4;
  }
  return r;
}

ShortString ByteHex(std::uint8_t b) { return HexStr(b, 2); }

ShortString RealToStr(double value, std::uint8_t decimals) {
  // A double in fixed point can need over 300 integer digits; the buffer
  // holds more than a short string and snprintf cuts safely beyond it.
  char buf[1024];
  int len = std::snprintf(buf, sizeof buf, "%10.*f", static_cast<int>(decimals), value);
  if (len < 0) return {};
  std::size_t n =
      static_cast<std::size_t>(len) < sizeof buf ? static_cast<std::size_t>(len) : sizeof buf - 1;
  return ShortString(std::string_view(buf, n));
}

// The quotient is rounded by RealToStr, whose 10-column field is trimmed
// before it is fitted to 5 columns: cutting the padded field would keep only
// its leading blanks. A size of exactly 1000 shows as '    1K'.
ShortString SizeStr(std::int32_t size) {
  if (size < 1000) return PadLeft(Int2Str(size), 5, ' ') + "b";
  double divisor = 1000.0;
  char unit = 'K';
  // The M and G bands start above a whole million and billion: 1,000,000 is
  // still "1000K".
  if (size > 1000000000) {
    divisor = 1000000000.0;
    unit = 'G';
  } else if (size > 1000000) {
    divisor = 1000000.0;
    unit = 'M';
  }
  ShortString q = StripLeading(RealToStr(size / divisor, 0), ' ');
  return PadLeft(q, 5, ' ') + unit;
}

ShortString YesNoStr(bool flag) { return flag ? "Yes" : "No "; }

ShortString IfStr(bool flag, const ShortString& a, const ShortString& b) { return flag ? a : b; }

// --- Words ---

// Word N (N of 0 or 1 is the first). Text without the delimiter has no words
// at all; with a space as delimiter leading spaces are ignored and a run of
// spaces separates like one. Other delimiters are not merged: two adjacent
// commas hold an empty word.
ShortString ExtractWord(const ShortString& s, std::uint8_t n, char delim) {
  if (Pos(delim, s) == 0) return {};
  ShortString r = delim == ' ' ? StripLeading(s, ' ') : s;
  for (int k = 1; k < n; ++k) {
    std::uint8_t p = Pos(delim, r);
    if (p == 0) return {};
    DeleteThroughDelimiter(r, p, delim);
  }
  std::uint8_t p = Pos(delim, r);
  return p == 0 ? r : Copy(r, 1, p - 1);
}

// Trailing delimiters count as one more (empty) word. A text of 255
// delimiters holds 256 words; the byte result stays at 255 rather than
// wrapping round to 0.
std::uint8_t WordCount(const ShortString& s, char delim) {
  ShortString r = delim == ' ' ? StripLeading(s, ' ') : s;
  if (r.empty()) return 0;
  std::uint8_t count = 1;
  for (std::uint8_t p = Pos(delim, r); p != 0; p = Pos(delim, r)) {
    if (count < 255) ++count;
    std::int32_t runEnd = p;
    if (delim == ' ') {
      while (runEnd < static_cast<std::int32_t>(r.size()) &&
             r[static_cast<std::size_t>(runEnd)] == ' ')
        ++runEnd;
    }
    Delete(r, p, runEnd - p + 1);
  }
  return count;
}

// Here every delimiter, not only the space, merges with the ones after it.
std::uint8_t WordPos(std::uint8_t n, const ShortString& s, char delim) {
  std::int32_t position = 1;
  ShortString r = s;
  for (int skipped = 0; skipped + 1 < n; ++skipped) {
    std::uint8_t p = Pos(delim, r);
    if (p == 0) break;
    std::int32_t cut = p;
    while (cut < static_cast<std::int32_t>(r.size()) && r[static_cast<std::size_t>(cut)] == delim)
      ++cut;
    Delete(r, 1, cut);
    position += cut;
  }
  return static_cast<std::uint8_t>(position);
}

// --- Pipe colour codes ---

std::uint8_t VisibleLength(const ShortString& s) {
  std::size_t visible = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == '|' && i + 2 < s.size()) {
      i += 3;
    } else if (s[i] == '|') {
      // A '|' too near the end to start a code ends the scan; it and what
      // follows it are all shown.
      visible += s.size() - i;
      break;
    } else {
      ++visible;
      ++i;
    }
  }
  return static_cast<std::uint8_t>(visible);
}

std::uint8_t PipePadWidth(const ShortString& s, std::uint8_t width) {
  return static_cast<std::uint8_t>(width + s.size() - VisibleLength(s));
}

ShortString StripPipeColors(const ShortString& s) {
  ShortString r;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == '|' && i + 2 < s.size()) {
      ShortString code(s.View().substr(i + 1, 2));
      std::int32_t value = Str2Int(code);
      if (!(code == ShortString("00") || (value >= 1 && value <= 23))) {
        r += s.View().substr(i, 3);
      }
      i += 3;
    } else {
      r += s[i];
      ++i;
    }
  }
  return r;
}

ShortString StripPipeAll(const ShortString& s) {
  ShortString r;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == '|') {
      i += 3;
    } else {
      r += s[i];
      ++i;
    }
  }
  return r;
}

ShortString PipeColorCode(std::uint8_t color) {
  if (color > 15) color = 7;
  return "|" + TwoDigits(color);
}

// An empty text has no first character to frame; the frame is then empty.
ShortString HotkeyStr(const ShortString& s) {
  ShortString r = "|00|23";
  r += static_cast<char>(221);
  if (!s.empty()) r += s[0];
  r += static_cast<char>(222);
  r += "|07|16";
  r += Copy(s, 2, kMax);
  return r;
}

// --- Fixed character arrays ---

ShortString CharsToStr(const char* buffer, std::uint8_t count) {
  if (buffer == nullptr) return {};
  std::size_t n = 0;
  while (n < count && buffer[n] != '\0') ++n;
  return ShortString(std::string_view(buffer, n));
}

// --- Line wrapping ---

ShortString WrapLine(ShortString& para, std::uint8_t width, bool justify) {
  if (para.size() <= width) {
    ShortString line = para;
    para.clear();
    return line;
  }
  std::int32_t headLength = width;
  for (std::int32_t i = width; i >= 1; --i) {
    if (para[static_cast<std::size_t>(i - 1)] == ' ') {
      headLength = i;
      break;
    }
  }
  ShortString head = Copy(para, 1, headLength);
  Delete(para, 1, headLength);
  return justify ? JustifyLine(head, width) : head;
}

// Inserting only ever widens the line; a line already wider than Width is
// returned as it is instead of being walked for ever.
ShortString JustifyLine(const ShortString& line, std::uint8_t width) {
  ShortString r = StripLeading(line, ' ');
  if (!r.empty() && r[r.size() - 1] == ' ') r.SetLength(r.size() - 1);
  if (r.size() >= width || r.empty() || Pos(' ', r) == 0) return r;
  std::size_t p = Pos('.', r);
  if (p == 0 || p == r.size()) p = 1;
  while (r.size() < width) {
    if (r[p - 1] == ' ')
      Insert(ShortString::Of(static_cast<char>(255)), r, static_cast<std::int32_t>(p + 1));
    p = p % r.size() + 1;
  }
  return r;
}

std::uint8_t SplitAtSpace(ShortString& s, ShortString& rest, std::uint8_t width) {
  rest.clear();
  if (s.empty() || s.size() < width || Pos(' ', s) == 0) return 0;
  for (std::int32_t i = static_cast<std::int32_t>(s.size()); i >= 1; --i) {
    if (i < width && s[static_cast<std::size_t>(i - 1)] == ' ') {
      rest = Copy(s, i + 1, kMax);
      s = Copy(s, 1, i - 1);
      return static_cast<std::uint8_t>(i);
    }
  }
  return 0;
}

namespace {

// The length of the well-formed UTF-8 character starting Text, or 0.
std::size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t n = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (n == 0 || text.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

std::string ShownText(std::string_view text, TShownOn on) {
  const bool utf8 = on == TShownOn::kUtf8;
  const bool high = on == TShownOn::kScreen;  // bytes 128-255 are characters
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 32 || c == 127 || (!utf8 && !high && c >= 0x80 && c <= 0x9F)) {
      out += '?';
      ++i;
    } else if (!utf8 || c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      // A character whole; a broken sequence or a C1 control (U+0080-U+009F,
      // C2 80-9F) is one '?'.
      const std::size_t n = Utf8Length(text.substr(i));
      const bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
      if (n == 0 || c1)
        out += '?';
      else
        out.append(text.substr(i, n));
      i += n == 0 ? 1 : n;
    }
  }
  return out;
}

ShortString PadMarked(const ShortString& s, std::uint8_t width) {
  ShortString r = PadRight(s, width, ' ');
  if (s.size() > width && width > 0) r[width - 1] = kCutMark;
  return r;
}

std::string_view CutText(std::string_view text, std::size_t max, bool utf8) {
  if (text.size() <= max) return text;
  std::size_t end = max;
  // Back to the start of the character that would be split.
  if (utf8)
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace corvix
