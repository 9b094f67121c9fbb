// The short string cuts at 255 by construction and compares by unsigned bytes.
#include "support/short_string.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

namespace corvix {

static_assert(std::is_trivially_copyable_v<ShortString>);

TEST(ShortString, CutsAt255WhereverTextGrows) {
  ShortString s(std::string(300, 'x'));
  EXPECT_EQ(s.size(), 255u);
  s = ShortString(std::string(250, 'a'));
  s += "0123456789";
  EXPECT_EQ(s.size(), 255u);
  EXPECT_EQ(s[254], '4');
  ShortString t = s + 'z';
  EXPECT_EQ(t.size(), 255u);
  EXPECT_EQ(ShortString::Of('-', 400).size(), 255u);
}

TEST(ShortString, ComparesByUnsignedByteValue) {
  EXPECT_LT(ShortString("Z"), ShortString("a"));
  EXPECT_LT(ShortString("a"), ShortString("\x80"));
  EXPECT_LT(ShortString("ab"), ShortString("abc"));
  EXPECT_EQ(ShortString("abc"), ShortString(std::string_view("abcdef", 3)));
}

}  // namespace corvix
