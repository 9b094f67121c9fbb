// String utilities: padding and cutting, numbers, words, pipe codes, wrapping.
#include "support/string_utils.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace corvix {
namespace {

const char k255 = static_cast<char>(255);

TEST(Padding, CutsOnTheRightAndFillsToWidth) {
  EXPECT_EQ(PadRight("abc", 5, '.'), ShortString("abc.."));
  EXPECT_EQ(PadRight("abcdef", 3, '.'), ShortString("abc"));
  EXPECT_EQ(PadRight("abc", 0, '.'), ShortString(""));
  EXPECT_EQ(PadLeft("7", 2, '0'), ShortString("07"));
  EXPECT_EQ(PadLeft("12345", 3, ' '), ShortString("123"));
  EXPECT_EQ(PadCenter("ab", 7, '*'), ShortString("**ab***"));
  EXPECT_EQ(PadCenter("abcdef", 4, '*'), ShortString("abcd"));
  EXPECT_EQ(PadRight("", 255, 'x').size(), 255u);
}

TEST(Padding, SignedWidthFamilyMatchesAndStaysInRange) {
  EXPECT_EQ(FillRight("", '-', 4), ShortString("----"));
  EXPECT_EQ(FillLeft("12345", ' ', 3), ShortString("123"));
  EXPECT_EQ(FillLeft("ab", '0', 4), PadLeft("ab", 4, '0'));
  EXPECT_EQ(FillLeft("ab", ' ', 0), ShortString(""));
  EXPECT_EQ(FillRight("ab", ' ', -3), ShortString(""));
  EXPECT_EQ(FillRight("ab", '.', 1000), ShortString("ab") + RepeatChar('.', 253));
  EXPECT_EQ(CenterLine("abcd"), RepeatChar(' ', 38) + "abcd");
  EXPECT_EQ(RightLine("abc"), RepeatChar(' ', 77) + "abc");
  EXPECT_EQ(RepeatChar('x', 0), ShortString(""));
}

TEST(Case, MapsAsciiLettersOnly) {
  EXPECT_EQ(UpperStr("abz\x80\xe9{"), ShortString("ABZ\x80\xe9{"));
  EXPECT_EQ(LowerStr("AZ@[\xc9"), ShortString("az@[\xc9"));
  EXPECT_EQ(PosNoCase("BC", "abcd"), 2);
  EXPECT_EQ(PosNoCase("", "abcd"), 0);
  EXPECT_TRUE(ContainsNoCase("yyyy", "Year YYYY"));
}

TEST(ReplaceAll, ReplacesIgnoringCaseAndSearchesFromTheStartAgain) {
  EXPECT_EQ(ReplaceAll("Year yyyy", "YYYY", "2024"), ShortString("Year 2024"));
  EXPECT_EQ(ReplaceAll("banana", "a", "aa"), ShortString("banana"));
  EXPECT_EQ(ReplaceAll("banana", "", "x"), ShortString("banana"));
  // Each new "ab" formed by a replacement is found again.
  EXPECT_EQ(ReplaceAll("aaab", "ab", "b"), ShortString("b"));
  // Growth is cut at 255.
  EXPECT_EQ(ReplaceAll(RepeatChar('x', 200), "x", "yy"), RepeatChar('y', 255));
}

TEST(Searching, TextBetweenAndPositions) {
  EXPECT_EQ(TextBetween("<[abc]>", "[", "]"), ShortString("abc"));
  EXPECT_EQ(TextBetween("x]y[", "[", "]"), ShortString(""));
  EXPECT_EQ(TextBetween("abc", "[", "]"), ShortString("not found"));
  EXPECT_EQ(TextBetween("abc", "", "c"), ShortString("not found"));
  EXPECT_EQ(Pos('c', "abc"), 3);
  EXPECT_EQ(Pos("abcd", "abc"), 0);
  ShortString s = "abc";
  Delete(s, 0, 5);
  Delete(s, 3, 99);
  EXPECT_EQ(s, ShortString("ab"));
  Insert("xy", s, 99);
  EXPECT_EQ(s, ShortString("abxy"));
  EXPECT_EQ(Copy("abc", -4, 2), ShortString("ab"));
  EXPECT_EQ(Copy("abc", 4, 2), ShortString(""));
}

TEST(Removing, StripsRunsAndCharacters) {
  EXPECT_EQ(StripLeading("xxaxx", 'x'), ShortString("axx"));
  EXPECT_EQ(StripTrailing("xxaxx", 'x'), ShortString("xxa"));
  EXPECT_EQ(StripTrailing("xxx", 'x'), ShortString(""));
  EXPECT_EQ(StripBoth("  a b  ", ' '), ShortString("a b"));
  EXPECT_EQ(RemoveChar("a-b--c", '-'), ShortString("abc"));
  EXPECT_EQ(StripControl("a\tb\x01\x1f\xb0"), ShortString("ab\xb0"));
  // Escapes, line breaks and DEL become the stand-in; CP437 bytes stay.
  EXPECT_EQ(ReplaceControl(ShortString(std::string_view("\x1b[2J\r\n\x7f \x00\xb0\xff", 11)), '?'),
            ShortString("?[2J??? ?\xb0\xff"));
  EXPECT_EQ(AddSlash("/home/bbs"), ShortString("/home/bbs/"));
  EXPECT_EQ(AddSlash("/home/bbs/"), ShortString("/home/bbs/"));
  EXPECT_EQ(AddSlash(""), ShortString("/"));
  EXPECT_EQ(StripSlash("/a//"), ShortString("/a/"));
  EXPECT_EQ(StripSlash("/a"), ShortString("/a"));
}

TEST(Numbers, ToText) {
  EXPECT_EQ(Int2Str(0), ShortString("0"));
  EXPECT_EQ(Int2Str(INT32_MIN), ShortString("-2147483648"));
  struct Case {
    std::int32_t n;
    const char* two;
    const char* comma;
  };
  const Case cases[] = {
      {0, "00", "0"},
      {7, "07", "7"},
      {59, "59", "59"},
      {-5, "-5", "-5"},
      {100, "10", "100"},
      {999, "99", "999"},
      {1000, "10", "1,000"},
      {12345, "12", "12,345"},
      {1234567, "12", "1,234,567"},
      {-123, "-1", "-123"},
      {-1234567, "-1", "-1,234,567"},
      {INT32_MIN, "-2", "-2,147,483,648"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TwoDigits(c.n), ShortString(c.two)) << c.n;
    EXPECT_EQ(Int2StrComma(c.n), ShortString(c.comma)) << c.n;
  }
  EXPECT_EQ(HexStr(255, 4), ShortString("00ff"));
  EXPECT_EQ(HexStr(0x1234, 2), ShortString("34"));
  EXPECT_EQ(ByteHex(0xAB), ShortString("ab"));
  EXPECT_EQ(ByteHex(0), ShortString("00"));
  EXPECT_EQ(RealToStr(3.14159, 2), ShortString("      3.14"));
  EXPECT_EQ(RealToStr(-1234567.5, 3), ShortString("-1234567.500"));
  EXPECT_EQ(YesNoStr(false), ShortString("No "));
}

TEST(Numbers, SizeStrPicksTheLargestBand) {
  struct {
    std::int32_t size;
    const char* text;
  } cases[] = {
      {999, "  999b"},        {1000, "    1K"},       {123456, "  123K"},
      {1000000, " 1000K"},    {1000001, "    1M"},    {1234567, "    1M"},  // above a million
      {1000000000, " 1000M"}, {1000000001, "    1G"}, {2000000000, "    2G"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeStr(c.size).Str(), c.text) << c.size;
}

TEST(Str2Int, BasesSignsAndFailures) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {" 42", 42},
      {"\t-7", -7},
      {"+5", 5},
      {"$1F", 31},
      {"x1f", 31},
      {"0X10", 16},
      {"-$10", -16},
      {"%101", 5},
      {"&17", 15},
      {"010", 10},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"$FFFFFFFF", -1},
      // Failures give 0.
      {"", 0},
      {"4x", 0},
      {"42 ", 0},
      {"-", 0},
      {"$", 0},
      {"0x", 0},
      {"%102", 0},
      {"&8", 0},
      {"$1G", 0},
      {"- 5", 0},
      {"2147483648", 0},
      {"$100000000", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Str2Int(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(Str2IntDef("abc", 5), 0);
}

TEST(Words, ExtractWord) {
  struct Case {
    const char* s;
    std::uint8_t n;
    char delim;
    const char* word;
  };
  const Case cases[] = {
      {"alpha beta  gamma", 3, ' ', "gamma"},
      {"  alpha beta", 1, ' ', "alpha"},
      {"single", 1, ' ', ""},
      {"a,b", 5, ',', ""},
      {"a,b", 0, ',', "a"},
      {"a,,b", 2, ',', ""},
      {"a,,b", 3, ',', "b"},
      {"one,two,", 3, ',', ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractWord(c.s, c.n, c.delim), ShortString(c.word)) << c.s << " #" << int(c.n);
  }
}

TEST(Words, CountAndPosition) {
  EXPECT_EQ(WordCount("", ' '), 0);
  EXPECT_EQ(WordCount("   ", ' '), 0);
  EXPECT_EQ(WordCount("  one two", ' '), 2);
  EXPECT_EQ(WordCount("a   b ", ' '), 3);
  EXPECT_EQ(WordCount("a,,b", ','), 3);
  EXPECT_EQ(WordCount(RepeatChar(',', 255), ','), 255);  // 256 words: held at 255, not 0
  EXPECT_EQ(WordPos(2, "a  b", ' '), 4);
  EXPECT_EQ(WordPos(3, "a,,b,c", ','), 6);
  EXPECT_EQ(WordPos(0, "abc", ' '), 1);
  EXPECT_EQ(WordPos(5, "a b", ' '), 3);
}

TEST(PipeCodes, LengthPaddingAndStripping) {
  EXPECT_EQ(VisibleLength("|07Hi|15!"), 3);
  EXPECT_EQ(VisibleLength("|XYab"), 2);
  EXPECT_EQ(VisibleLength("ab|0"), 4);
  EXPECT_EQ(PipePadWidth("|07Hi", 10), 13);
  EXPECT_EQ(PipePadWidth(RepeatChar('|', 255), 255), 254);  // 510 modulo 256
  EXPECT_EQ(StripPipeColors("|07A|99B|00C"), ShortString("A|99BC"));
  EXPECT_EQ(StripPipeColors("|23x|24y|1"), ShortString("x|24y|1"));
  EXPECT_EQ(StripPipeAll("a|07b|9"), ShortString("ab"));
  EXPECT_EQ(PipeColorCode(7), ShortString("|07"));
  EXPECT_EQ(PipeColorCode(15), ShortString("|15"));
  EXPECT_EQ(PipeColorCode(16), ShortString("|07"));
  EXPECT_EQ(HotkeyStr("Quit"), ShortString("|00|23\xddQ\xde|07|16uit"));
  EXPECT_EQ(HotkeyStr(""), ShortString("|00|23\xdd\xde|07|16"));
  const char buf[6] = {'a', 'b', '\0', 'c', 'd', 'e'};
  EXPECT_EQ(CharsToStr(buf, 6), ShortString("ab"));
  EXPECT_EQ(CharsToStr("abcdef", 3), ShortString("abc"));
}

TEST(Wrapping, WrapLineTakesOneLineOffTheParagraph) {
  ShortString para = "the quick brown fox";
  EXPECT_EQ(WrapLine(para, 10, false), ShortString("the quick "));
  EXPECT_EQ(para, ShortString("brown fox"));
  EXPECT_EQ(WrapLine(para, 10, false), ShortString("brown fox"));
  EXPECT_EQ(para, ShortString(""));
  para = "abcdefghij";
  EXPECT_EQ(WrapLine(para, 4, false), ShortString("abcd"));
  EXPECT_EQ(para, ShortString("efghij"));
  para = "ab cd ef";
  EXPECT_EQ(WrapLine(para, 7, true), ShortString("ab") + ' ' + k255 + k255 + "cd");
}

TEST(Wrapping, JustifyLineInsertsAfterSpacesFromTheFirstPeriod) {
  std::string twoFill = std::string("ab ") + k255 + k255 + "cd";
  EXPECT_EQ(JustifyLine("  ab cd ", 7), ShortString(twoFill));
  EXPECT_EQ(JustifyLine("a b. c d", 9), ShortString(std::string("a b. ") + k255 + "c d"));
  EXPECT_EQ(JustifyLine("abcd", 9), ShortString("abcd"));
  // Already wider than the width: returned as it is, not walked for ever.
  EXPECT_EQ(JustifyLine("ab cd ef", 5), ShortString("ab cd ef"));
}

TEST(Wrapping, SplitAtSpaceCutsBeforeTheWidth) {
  ShortString s = "hello world foo", rest = "old";
  EXPECT_EQ(SplitAtSpace(s, rest, 12), 6);
  EXPECT_EQ(s, ShortString("hello"));
  EXPECT_EQ(rest, ShortString("world foo"));
  s = "short one";
  rest = "old";
  EXPECT_EQ(SplitAtSpace(s, rest, 20), 0);
  EXPECT_EQ(s, ShortString("short one"));
  EXPECT_EQ(rest, ShortString(""));
}

TEST(TrimBlanks, DropsEveryBlankKindAtBothEndsOnly) {
  EXPECT_EQ(TrimBlanks(" \t7 8\r\n"), "7 8");
  EXPECT_EQ(TrimBlanks(" \f\v "), "");
}

}  // namespace
TEST(ShownText, MasksControlsAndTheC1ControlsOfTheCharset) {
  struct Row {
    std::string_view In;
    bool Utf8;
    std::string_view Out;
  } rows[] = {
      {"a\x1b[2Jb\x7f\t", false, "a?[2Jb??"},
      {"\x9b"
       "31m\x80\xa0\x82",
       false, "?31m?\xa0?"},  // C1 bytes; 0xA0 stays
      {"\xc2\x9b"
       "1m\xc3\xa9\x9b\xe2\x95",
       true, "?1m\xc3\xa9???"},  // U+009B, broken bytes
  };
  for (const Row& r : rows) EXPECT_EQ(ShownText(r.In, r.Utf8), r.Out) << r.In;
  // On the screen bytes from 128 are code-page-437 characters.
  EXPECT_EQ(ShownText("\x1b]0;\x82\x9b\x07", TShownOn::kScreen), "?]0;\x82\x9b?");
  EXPECT_EQ(PadMarked("abcdef", 4), ShortString("abc" + std::string(1, kCutMark)));
  EXPECT_EQ(PadMarked("ab", 4), ShortString("ab  "));
  EXPECT_EQ(CutText("abc\xc3\xa9", 4, true), "abc");
  EXPECT_EQ(CutText("abc\xc3\xa9", 4, false), "abc\xc3");
  EXPECT_EQ(CutText("abc", 4, true), "abc");
}

}  // namespace corvix
