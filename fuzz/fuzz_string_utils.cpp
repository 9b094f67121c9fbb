// Fuzzes the short-string routines on arbitrary text. Input: two parameter
// bytes (a width or count, a character), then two texts split at the first
// NUL. Each routine's result is checked against what its rule promises.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/string_utils.h"

using corvix::ShortString;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::int32_t Signed(const std::uint8_t* p) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, 4);
  return static_cast<std::int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::uint8_t width = data[0];
  const char ch = static_cast<char>(data[1]);
  const std::int32_t number = Signed(data + 2);
  const std::string rest(reinterpret_cast<const char*>(data + 6), size - 6);
  const std::size_t nul = rest.find('\0');
  const ShortString s(std::string_view(rest).substr(0, nul));
  const ShortString t(nul == std::string::npos ? std::string_view()
                                               : std::string_view(rest).substr(nul + 1));
  const std::string str = s.Str();

  // Positions and pieces, against the same operations on std::string.
  const std::uint8_t p = corvix::Pos(t, s);
  const std::size_t found = t.empty() ? std::string::npos : str.find(t.Str());
  Check(p == (found == std::string::npos ? 0 : found + 1));
  Check(corvix::Pos(ch, s) == (str.find(ch) == std::string::npos ? 0 : str.find(ch) + 1));
  const std::int32_t index = static_cast<std::int8_t>(data[2]);
  const std::int32_t count = static_cast<std::int8_t>(data[3]);
  const ShortString piece = corvix::Copy(s, index, count);
  Check(piece.size() <= s.size());
  ShortString deleted = s;
  corvix::Delete(deleted, index, count);
  Check(deleted.size() <= s.size());
  ShortString inserted = s;
  corvix::Insert(t, inserted, index);
  Check(inserted.size() == std::min<std::size_t>(s.size() + t.size(), 255));

  // Padding gives exactly the width asked for.
  Check(corvix::PadRight(s, width, ch).size() == width);
  Check(corvix::PadLeft(s, width, ch).size() == width);
  Check(corvix::PadCenter(s, width, ch).size() == width);
  const std::size_t clamped =
      number <= 0 ? 0 : (number > 255 ? 255 : static_cast<std::size_t>(number));
  Check(corvix::FillLeft(s, ch, number).size() == clamped);
  Check(corvix::FillRight(s, ch, number).size() == clamped);
  corvix::CenterLine(s);
  corvix::RightLine(s);

  // Case, search and replace.
  Check(corvix::UpperStr(s).size() == s.size());
  Check(corvix::LowerStr(s).size() == s.size());
  corvix::ContainsNoCase(t, s);
  const ShortString replaced = corvix::ReplaceAll(s, t, ShortString(std::string_view(&ch, 1)));
  Check(replaced.size() <= 255);
  corvix::TextBetween(s, t, ShortString(std::string_view(&ch, 1)));

  // Removing characters never lengthens.
  Check(corvix::RemoveChar(s, ch).size() <= s.size());
  Check(corvix::StripBoth(s, ch).size() <= s.size());
  Check(corvix::StripControl(s).size() <= s.size());
  corvix::AddSlash(s);
  corvix::StripSlash(s);

  // Numbers: the decimal text of a number reads back as that number.
  Check(corvix::Str2Int(corvix::Int2Str(number)) == number);
  ShortString grouped = corvix::RemoveChar(corvix::Int2StrComma(number), ',');
  Check(grouped == corvix::Int2Str(number));
  corvix::TwoDigits(number);
  corvix::Str2Int(s);
  corvix::Str2IntDef(t, number);
  Check(corvix::HexStr(static_cast<std::uint32_t>(number), width).size() == width);
  double real = 0;
  std::memcpy(&real, data + 2, size >= 10 ? 8 : 4);
  corvix::RealToStr(real, width);
  corvix::SizeStr(number);

  // Words.
  corvix::ExtractWord(s, width, ch);
  corvix::WordCount(s, ch);
  corvix::WordPos(width, s, ch);

  // Pipe codes.
  Check(corvix::VisibleLength(s) <= s.size());
  corvix::PipePadWidth(s, width);
  Check(corvix::StripPipeColors(s).size() <= s.size());
  Check(corvix::StripPipeAll(s).size() <= s.size());
  corvix::PipeColorCode(data[1]);
  corvix::HotkeyStr(s);
  Check(corvix::CharsToStr(rest.data(), width).size() <= std::min<std::size_t>(width, rest.size()));

  // Wrapping: a line never wider than asked (unless justified), and each
  // call takes something off a paragraph that is not empty.
  if (width > 0) {
    ShortString para = s;
    for (int guard = 0; !para.empty(); ++guard) {
      Check(guard < 256);
      const std::size_t before = para.size();
      const ShortString line = corvix::WrapLine(para, width, false);
      Check(line.size() <= width);
      Check(para.size() < before);
    }
  }
  corvix::JustifyLine(s, width);
  ShortString left = s, right;
  const std::uint8_t at = corvix::SplitAtSpace(left, right, width);
  Check(at == 0 || left.size() + right.size() + 1 == s.size());
  return 0;
}
