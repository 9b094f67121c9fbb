// Date and time: the mask formatter, packed date-times, Julian day numbers,
// seconds since 1970 and duration texts.
#include "support/date_time.h"

#include <gtest/gtest.h>

#include "support/string_utils.h"

namespace corvix {
namespace {

DateTime Dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  DateTime dt;
  dt.Year = static_cast<std::uint16_t>(y);
  dt.Month = static_cast<std::uint16_t>(mo);
  dt.Day = static_cast<std::uint16_t>(d);
  dt.Hour = static_cast<std::uint16_t>(h);
  dt.Minute = static_cast<std::uint16_t>(mi);
  dt.Second = static_cast<std::uint16_t>(s);
  return dt;
}

void ExpectSame(const DateTime& a, const DateTime& b) {
  EXPECT_EQ(a.Year, b.Year);
  EXPECT_EQ(a.Month, b.Month);
  EXPECT_EQ(a.Day, b.Day);
  EXPECT_EQ(a.Hour, b.Hour);
  EXPECT_EQ(a.Minute, b.Minute);
  EXPECT_EQ(a.Second, b.Second);
}

TEST(FormatDT, ReplacesTokensInOrderAndInAnyCase) {
  struct Case {
    DateTime dt;
    const char* mask;
    const char* text;
  };
  const Case cases[] = {
      {Dt(2026, 12, 6, 16, 5, 9), "YYYY-MM-DD HH:II:SS", "2026-12-06 16:05:09"},
      {Dt(2026, 3, 1), "DD NNN YY", "01 Mar 26"},
      {Dt(2026, 12, 6), "dd/mm/yyyy", "06/12/2026"},
      {Dt(2026, 12, 6, 16, 5), "hh:II", "16:05"},
      {Dt(2026, 12, 6), "Time: -", "Time: -"},
      {Dt(2026, 12, 6, 16, 5, 9), "Class", "Cla09"},
      // YYYY goes first, so six y's are a full year and a short one.
      {Dt(2026, 12, 6), "yyyyyy", "202626"},
      {Dt(2026, 13, 6), "[NNN]", "[]"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDT(c.dt, c.mask), ShortString(c.text)) << c.mask;
}

TEST(Packed, PacksFieldsInTheDosLayout) {
  const PackedDateTime p = PackDT(Dt(2026, 12, 6, 16, 5, 9));
  EXPECT_EQ(p, (46u << 25) | (12u << 21) | (6u << 16) | (16u << 11) | (5u << 5) | 4u);
  ExpectSame(UnpackDT(p), Dt(2026, 12, 6, 16, 5, 8));
  EXPECT_EQ(UnpackDT(PackDT(Dt(1975, 1, 1))).Year, 1980);
  EXPECT_EQ(UnpackDT(PackDT(Dt(2200, 1, 1))).Year, 2107);
  EXPECT_EQ(PackedDateStr(p, 1), ShortString("12/06/26"));
  EXPECT_EQ(PackedDateStr(p, 2), ShortString("06/12/26"));
  EXPECT_EQ(PackedDateStr(p, 3), ShortString("26/12/06"));
  EXPECT_EQ(PackedDateStr(p, 4), ShortString(""));
  EXPECT_EQ(PackedTimeStrEx(p, 2), ShortString("16:05:08"));
  EXPECT_EQ(PackedDayOfWeek(p), 0);  // a Sunday
  EXPECT_EQ(PackedDayOfWeek(PackDT(Dt(2000, 1, 1))), 6);
  EXPECT_EQ(PackedToUnix(PackDT(Dt(2000, 2, 29, 12))), 951825600);
}

TEST(Packed, TwelveHourClock) {
  struct Case {
    int h, m;
    const char* twelve;
    const char* full;
  };
  const Case cases[] = {
      {0, 5, "12:05a", "00:05"},
      {9, 30, "09:30a", "09:30"},
      {12, 0, "12:00p", "12:00"},
      {23, 59, "11:59p", "23:59"},
  };
  for (const Case& c : cases) {
    PackedDateTime p = PackDT(Dt(2026, 1, 1, c.h, c.m));
    EXPECT_EQ(PackedTimeStr(p, true), ShortString(c.twelve));
    EXPECT_EQ(PackedTimeStr(p, false), ShortString(c.full));
  }
}

TEST(DateText, TwoDigitYearWindowsAndValidation) {
  EXPECT_EQ(DateStrJulian("01/01/19"), JulianDay(2019, 1, 1));
  EXPECT_EQ(DateStrJulian("01/01/20"), JulianDay(1920, 1, 1));
  EXPECT_EQ(DateStrJulian("12/31/99"), JulianDay(1999, 12, 31));
  ExpectSame(UnpackDT(DateStrPacked("03/04/79")), Dt(2079, 3, 4));
  ExpectSame(UnpackDT(DateStrPacked("01/01/80")), Dt(1980, 1, 1));
  EXPECT_TRUE(ValidDateStr("02/31/26"));
  EXPECT_FALSE(ValidDateStr("13/01/26"));
  EXPECT_FALSE(ValidDateStr("xx/01/26"));
  EXPECT_FALSE(ValidDateStr("01/00/26"));
}

TEST(Julian, KnownDaysAndBothAlgorithmsAgree) {
  EXPECT_EQ(JulianDay(1970, 1, 1), 2440588);
  EXPECT_EQ(JulianDay(2000, 1, 1), 2451545);
  EXPECT_EQ(JulianDay(2000, 3, 1) - JulianDay(2000, 2, 28), 2);
  EXPECT_EQ(JulianDay(1900, 3, 1) - JulianDay(1900, 2, 28), 1);
  EXPECT_EQ(JulianDateStr(2451545, 3), ShortString("00/01/01"));
  EXPECT_EQ(JulianDateStr(2451545, 9), ShortString(""));
  // Every day from 1900 to 2100: the day number and its inverse round-trip,
  // and the Fliegel and Van Flandern conversion gives the same date.
  for (std::int32_t j = JulianDay(1900, 1, 1); j <= JulianDay(2100, 12, 31); ++j) {
    std::uint16_t y = 0, m = 0, d = 0;
    JulianToDate(j, y, m, d);
    ASSERT_EQ(JulianDay(y, m, d), j);
    ASSERT_EQ(JulianDateStr(j, 3), Copy(Int2Str(y), 3, 2) + "/" + TwoDigits(m) + "/" + TwoDigits(d))
        << j;
  }
}

TEST(Unix, TableAndJulianConversionsAgree) {
  ExpectSame(UnixToDT(0), Dt(1970, 1, 1));
  ExpectSame(UnixToDT(1735689599), Dt(2024, 12, 31, 23, 59, 59));
  ExpectSame(UnixToDT(1735689600), Dt(2025, 1, 1));
  ExpectSame(UnixToDT(-1), Dt(1969, 12, 31, 23, 59, 59));
  EXPECT_EQ(DTToUnix(Dt(2000, 2, 29, 12)), 951825600);
  EXPECT_EQ(DTToUnixJ(Dt(2000, 2, 29, 12)), 951825600);
  // Every day of the signed 32-bit range at a fixed time of day.
  for (std::int64_t s = -2147483648LL + 86399; s <= 2147483647LL; s += 86400) {
    std::int32_t secs = static_cast<std::int32_t>(s);
    DateTime dt = UnixToDT(secs);
    ASSERT_EQ(DTToUnix(dt), secs) << s;
    ASSERT_EQ(DTToUnixJ(dt), secs) << s;
  }
  EXPECT_EQ(UnixToStr(951825600 + 3600 + 120), ShortString("13:02 29- 2-2000"));
  EXPECT_EQ(UnixToDateStr(0), ShortString("01-01-1970"));
}

TEST(Durations, Texts) {
  EXPECT_EQ(DurationStr(93784), ShortString("1d 2h 3m 4s"));
  EXPECT_EQ(SecsToHM(3661), ShortString("01:01"));
  EXPECT_EQ(SecsToHMS(3661), ShortString("01:01:01"));
  EXPECT_EQ(SecsToMS(59), ShortString("00:59"));
  EXPECT_EQ(SecsToHM(360000), ShortString("100:00"));
  EXPECT_EQ(SecsToMS(6000), ShortString("100:00"));
  EXPECT_EQ(Zero2(7), ShortString("07"));
  EXPECT_EQ(Zero2(123), ShortString("12"));
}

TEST(Clock, ReadingsAreConsistent) {
  DateTime now;
  CurrentDT(now);
  EXPECT_GE(now.Year, 2020);
  EXPECT_TRUE(now.Month >= 1 && now.Month <= 12 && now.Day >= 1 && now.Day <= 31);
  EXPECT_TRUE(now.Hour <= 23 && now.Minute <= 59 && now.Second <= 59);
  // The clock can pass midnight between two readings; either day is right.
  const std::int32_t before = TodayJulian();
  const std::int32_t ago = DaysAgo(before - 5, 1);
  const std::int32_t viaText = DaysAgo(static_cast<std::int32_t>(PackDT(Dt(2026, 1, 2))), 2);
  const std::int32_t after = TodayJulian();
  EXPECT_TRUE(ago == 5 || ago == 5 + after - before);
  // The text's two-digit year window reads '26' as 1926.
  const std::int32_t day1926 = JulianDay(1926, 1, 2);
  EXPECT_TRUE(viaText == before - day1926 || viaText == after - day1926);
  EXPECT_EQ(DaysAgo(123, 7), 0);
  EXPECT_TRUE(TimerUp(TimerStart(0)));
  EXPECT_FALSE(TimerUp(TimerStart(30000)));
}

}  // namespace
}  // namespace corvix
