// Date and time helpers. The clock is read through the C library's local
// time; every conversion here is plain integer arithmetic on local fields.
#include "support/date_time.h"

#include <ctime>

#include "support/string_utils.h"

namespace corvix {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int32_t kJulian1970 = 2440588;

// The local time now, with the hundredths of the current second.
struct ClockReading {
  std::tm local{};
  std::int32_t hundredths = 0;
};

ClockReading ReadClock() {
  ClockReading r;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  time_t seconds = ts.tv_sec;
  localtime_r(&seconds, &r.local);
  r.hundredths = static_cast<std::int32_t>(ts.tv_nsec / 10000000);
  return r;
}

DateTime FromTm(const std::tm& t) {
  DateTime dt;
  dt.Year = static_cast<std::uint16_t>(t.tm_year + 1900);
  dt.Month = static_cast<std::uint16_t>(t.tm_mon + 1);
  dt.Day = static_cast<std::uint16_t>(t.tm_mday);
  dt.Hour = static_cast<std::uint16_t>(t.tm_hour);
  dt.Minute = static_cast<std::uint16_t>(t.tm_min);
  // A leap second (60) is shown as the last ordinary one.
  dt.Second = static_cast<std::uint16_t>(t.tm_sec > 59 ? 59 : t.tm_sec);
  return dt;
}

// Values beyond 32 bits wrap as the signed 32-bit results are defined to.
std::int32_t Wrap32(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The table conversions' leap-year rule: every year divisible by 4.
bool TableLeap(std::int64_t year) { return year % 4 == 0; }

std::int64_t TableYearSeconds(std::int64_t year) {
  return (TableLeap(year) ? 366 : 365) * kSecondsPerDay;
}

std::int64_t TableMonthDays(std::int64_t year, int month) {
  return MonthDays[static_cast<std::size_t>(month)] + ((month == 2 && TableLeap(year)) ? 1 : 0);
}

// Day number of a Gregorian date by the Fliegel and Van Flandern formula.
// It relies on division that truncates toward zero, as C++ division does.
std::int64_t FliegelDay(std::int64_t y, std::int64_t m, std::int64_t d) {
  std::int64_t a = (m - 14) / 12;
  return d - 32075 + 1461 * (y + 4800 + a) / 4 + 367 * (m - 2 - a * 12) / 12 -
         3 * ((y + 4900 + a) / 100) / 4;
}

// The inverse of FliegelDay.
void FliegelDate(std::int64_t jd, std::int64_t& y, std::int64_t& m, std::int64_t& d) {
  std::int64_t l = jd + 68569;
  std::int64_t n = 4 * l / 146097;
  l = l - (146097 * n + 3) / 4;
  std::int64_t i = 4000 * (l + 1) / 1461001;
  l = l - 1461 * i / 4 + 31;
  std::int64_t j = 80 * l / 2447;
  d = l - 2447 * j / 80;
  l = j / 11;
  m = j + 2 - 12 * l;
  y = 100 * (n - 49) + i + l;
}

// Two-digit fields joined by "/" in one of the three date formats; the year
// field is the third and fourth characters of the year.
ShortString DateFields(std::int64_t year, std::int64_t month, std::int64_t day,
                       std::uint8_t format) {
  ShortString yy = Copy(Int2Str(Wrap32(year)), 3, 2);
  ShortString mm = TwoDigits(Wrap32(month));
  ShortString dd = TwoDigits(Wrap32(day));
  switch (format) {
    case 1:
      return mm + "/" + dd + "/" + yy;
    case 2:
      return dd + "/" + mm + "/" + yy;
    case 3:
      return yy + "/" + mm + "/" + dd;
    default:
      return {};
  }
}

struct DateText {
  std::int32_t Month, Day, Year;
};

// The three numbers of a text in the form 'MM/DD/YY'.
DateText ReadDateText(const ShortString& text) {
  return {Str2Int(Copy(text, 1, 2)), Str2Int(Copy(text, 4, 2)), Str2Int(Copy(text, 7, 2))};
}

// Two columns with a leading zero; a field of three or more digits shows
// all of them rather than its first two, so long durations stay readable.
ShortString ZeroField(std::int32_t value) {
  ShortString s = Int2Str(value);
  return s.size() < 2 ? FillLeft(s, '0', 2) : s;
}

std::int32_t HundredthsInHour() {
  ClockReading c = ReadClock();
  return (c.local.tm_min % 60) * 6000 + (c.local.tm_sec % 60) * 100 + c.hundredths;
}

}  // namespace

// --- The clock ---

void CurrentDT(DateTime& dt) { dt = FromTm(ReadClock().local); }

PackedDateTime PackedNow() {
  DateTime dt;
  CurrentDT(dt);
  return PackDT(dt);
}

std::int32_t TodayJulian() {
  DateTime dt;
  CurrentDT(dt);
  return JulianDay(dt.Year, dt.Month, dt.Day);
}

std::int32_t SecondsToday() {
  DateTime dt;
  CurrentDT(dt);
  return dt.Hour * 3600 + dt.Minute * 60 + dt.Second;
}

std::int32_t MinutesToday() {
  DateTime dt;
  CurrentDT(dt);
  return dt.Hour * 60 + dt.Minute;
}

// --- Formatting ---

// The tokens are replaced one kind after the other, each wherever it stands
// and in any case, so letters of literal text can be taken as a token too.
ShortString FormatDT(const DateTime& dt, const ShortString& mask) {
  ShortString year = Copy(Int2Str(dt.Year), 1, 4);
  ShortString r = ReplaceAll(mask, "YYYY", year);
  r = ReplaceAll(r, "YY", Copy(year, 3, 2));
  r = ReplaceAll(r, "MM", TwoDigits(dt.Month));
  r = ReplaceAll(r, "DD", TwoDigits(dt.Day));
  r = ReplaceAll(r, "HH", TwoDigits(dt.Hour));
  r = ReplaceAll(r, "II", TwoDigits(dt.Minute));
  r = ReplaceAll(r, "SS", TwoDigits(dt.Second));
  // A month outside 1-12 has no name; it is shown as nothing rather than read
  // from outside the table.
  std::string_view name = (dt.Month >= 1 && dt.Month <= 12) ? MonthNames[dt.Month] : "";
  return ReplaceAll(r, "NNN", name);
}

// --- Packed date-time ---

// The year field holds 1980-2107 only; a year outside is held to that range
// instead of spilling into or wrapping within the field. Other fields are
// masked to their bits.
PackedDateTime PackDT(const DateTime& dt) {
  std::uint32_t year = dt.Year < 1980 ? 0U : (dt.Year > 2107 ? 127U : dt.Year - 1980U);
  return (year << 25) | ((dt.Month & 0xFU) << 21) | ((dt.Day & 0x1FU) << 16) |
         ((dt.Hour & 0x1FU) << 11) | ((dt.Minute & 0x3FU) << 5) | ((dt.Second / 2U) & 0x1FU);
}

DateTime UnpackDT(PackedDateTime packed) {
  DateTime dt;
  dt.Year = static_cast<std::uint16_t>((packed >> 25) + 1980);
  dt.Month = static_cast<std::uint16_t>((packed >> 21) & 0xF);
  dt.Day = static_cast<std::uint16_t>((packed >> 16) & 0x1F);
  dt.Hour = static_cast<std::uint16_t>((packed >> 11) & 0x1F);
  dt.Minute = static_cast<std::uint16_t>((packed >> 5) & 0x3F);
  dt.Second = static_cast<std::uint16_t>((packed & 0x1F) * 2);
  return dt;
}

ShortString PackedDateStr(PackedDateTime packed, std::uint8_t format) {
  DateTime dt = UnpackDT(packed);
  return DateFields(dt.Year, dt.Month, dt.Day, format);
}

ShortString PackedTimeStr(PackedDateTime packed, bool twelve) {
  return PackedTimeStrEx(packed, twelve ? 1 : 0);
}

ShortString PackedTimeStrEx(PackedDateTime packed, std::uint8_t format) {
  DateTime dt = UnpackDT(packed);
  switch (format) {
    case 0:
      return TwoDigits(dt.Hour) + ":" + TwoDigits(dt.Minute);
    case 1: {
      std::int32_t hour = dt.Hour;
      char suffix = hour < 12 ? 'a' : 'p';
      if (hour == 0) hour = 12;
      if (hour > 12) hour -= 12;
      return TwoDigits(hour) + ":" + TwoDigits(dt.Minute) + suffix;
    }
    case 2:
      return TwoDigits(dt.Hour) + ":" + TwoDigits(dt.Minute) + ":" + TwoDigits(dt.Second);
    default:
      return {};
  }
}

std::uint8_t PackedDayOfWeek(PackedDateTime packed) {
  DateTime dt = UnpackDT(packed);
  // Julian day 0 fell on a Monday, so day + 1 counts from Sunday.
  std::int64_t jd = JulianDay(dt.Year, dt.Month, dt.Day);
  return static_cast<std::uint8_t>(((jd + 1) % 7 + 7) % 7);
}

PackedDateTime DateStrPacked(const ShortString& text) {
  DateText t = ReadDateText(text);
  DateTime dt;
  dt.Year = static_cast<std::uint16_t>(t.Year < 80 ? 2000 + t.Year : 1900 + t.Year);
  dt.Month = static_cast<std::uint16_t>(t.Month);
  dt.Day = static_cast<std::uint16_t>(t.Day);
  return PackDT(dt);
}

bool ValidDateStr(const ShortString& text) {
  DateText t = ReadDateText(text);
  return t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31;
}

// --- Julian day numbers ---

std::int32_t JulianDay(std::int32_t year, std::int32_t month, std::int32_t day) {
  std::int64_t y = year, m = month;
  if (m < 3) {
    y -= 1;
    m += 12;
  }
  std::int64_t k = y / 100, a = y % 100;
  return Wrap32((146097 * k) / 4 + (1461 * a) / 4 + day + (153 * (m - 3) + 2) / 5 + 1721119);
}

void JulianToDate(std::int32_t julian, std::uint16_t& year, std::uint16_t& month,
                  std::uint16_t& day) {
  std::int64_t t = 4 * (static_cast<std::int64_t>(julian) - 1721119) - 1;
  std::int64_t k = t / 146097;
  std::int64_t r = (t % 146097) | 3;
  std::int64_t y = r / 1461;
  std::int64_t u = (((r % 1461) + 4) / 4) * 5 - 3;
  std::int64_t m = u / 153;
  std::int64_t d = ((u % 153) + 5) / 5;
  if (m > 9) {
    y += 1;
    m -= 12;
  }
  m += 3;
  year = static_cast<std::uint16_t>(y + 100 * k);
  month = static_cast<std::uint16_t>(m);
  day = static_cast<std::uint16_t>(d);
}

ShortString JulianDateStr(std::int32_t julian, std::uint8_t format) {
  std::int64_t y = 0, m = 0, d = 0;
  FliegelDate(julian, y, m, d);
  return DateFields(y, m, d, format);
}

std::int32_t DateStrJulian(const ShortString& text) {
  DateText t = ReadDateText(text);
  std::int32_t year = t.Year < 20 ? 2000 + t.Year : 1900 + t.Year;
  return Wrap32(FliegelDay(year, t.Month, t.Day));
}

std::int32_t DaysAgo(std::int32_t value, std::uint8_t mode) {
  switch (mode) {
    case 1:
      return TodayJulian() - value;
    case 2:
      return TodayJulian() - DateStrJulian(PackedDateStr(static_cast<PackedDateTime>(value), 1));
    default:
      return 0;
  }
}

// --- Timers ---

std::int32_t TimerStart(std::int32_t delay) { return HundredthsInHour() + delay; }

bool TimerUp(std::int32_t deadline) {
  std::int64_t now = HundredthsInHour();
  // A reading far below the deadline means the clock has passed the top of
  // the hour since the timer started.
  if (now < static_cast<std::int64_t>(deadline) - 65536) now += 360000;
  return now - deadline >= 0;
}

// --- Durations ---

ShortString DurationStr(std::int32_t seconds) {
  return Int2Str(seconds / 86400) + "d " + Int2Str(seconds % 86400 / 3600) + "h " +
         Int2Str(seconds % 3600 / 60) + "m " + Int2Str(seconds % 60) + "s";
}

ShortString SecsToHM(std::int32_t seconds) {
  return ZeroField(seconds / 3600) + ":" + ZeroField(seconds % 3600 / 60);
}

ShortString SecsToHMS(std::int32_t seconds) {
  return ZeroField(seconds / 3600) + ":" + ZeroField(seconds % 3600 / 60) + ":" +
         ZeroField(seconds % 60);
}

ShortString SecsToMS(std::int32_t seconds) {
  return ZeroField(seconds / 60) + ":" + ZeroField(seconds % 60);
}

ShortString Zero2(std::int32_t value) { return TwoDigits(value); }

// --- Seconds since 1970 ---

// Seconds before 1970 count back through the years before it by the same
// table, instead of yielding negative (wrapped) fields.
DateTime UnixToDT(std::int32_t seconds) {
  std::int64_t s = seconds;
  std::int64_t year = 1970;
  while (s < 0) {
    --year;
    s += TableYearSeconds(year);
  }
  while (s >= TableYearSeconds(year)) {
    s -= TableYearSeconds(year);
    ++year;
  }
  int month = 1;
  while (month < 12 && s >= TableMonthDays(year, month) * kSecondsPerDay) {
    s -= TableMonthDays(year, month) * kSecondsPerDay;
    ++month;
  }
  DateTime dt;
  dt.Year = static_cast<std::uint16_t>(year);
  dt.Month = static_cast<std::uint16_t>(month);
  dt.Day = static_cast<std::uint16_t>(s / kSecondsPerDay + 1);
  s %= kSecondsPerDay;
  dt.Hour = static_cast<std::uint16_t>(s / 3600);
  dt.Minute = static_cast<std::uint16_t>(s % 3600 / 60);
  dt.Second = static_cast<std::uint16_t>(s % 60);
  return dt;
}

// Leap days are counted for the years between 1970 and the date's year in
// either direction, so years before 1970 convert as well. Months outside
// 1-12 count no more than the whole year's months before them.
std::int32_t DTToUnix(const DateTime& dt) {
  std::int64_t days = static_cast<std::int64_t>(dt.Day) - 1;
  for (int m = 1; m < dt.Month && m <= 12; ++m) days += TableMonthDays(dt.Year, m);
  std::int64_t years = static_cast<std::int64_t>(dt.Year) - 1970;
  std::int64_t leapDays = FloorDiv(static_cast<std::int64_t>(dt.Year) - 1, 4) - FloorDiv(1969, 4);
  days += years * 365 + leapDays;
  return Wrap32(days * kSecondsPerDay + dt.Hour * 3600 + dt.Minute * 60 + dt.Second);
}

std::int32_t DTToUnixJ(const DateTime& dt) {
  std::int64_t days = static_cast<std::int64_t>(JulianDay(dt.Year, dt.Month, dt.Day)) - kJulian1970;
  return Wrap32(days * kSecondsPerDay + dt.Hour * 3600 + dt.Minute * 60 + dt.Second);
}

std::int32_t PackedToUnix(PackedDateTime packed) { return DTToUnixJ(UnpackDT(packed)); }

ShortString UnixToStr(std::int32_t seconds) {
  DateTime dt = UnixToDT(seconds);
  return Zero2(dt.Hour) + ":" + Zero2(dt.Minute) + " " + PadLeft(Int2Str(dt.Day), 2, ' ') + "-" +
         PadLeft(Int2Str(dt.Month), 2, ' ') + "-" + PadLeft(Int2Str(dt.Year), 4, ' ');
}

ShortString UnixToDateStr(std::int32_t seconds) {
  DateTime dt = UnixToDT(seconds);
  return Zero2(dt.Day) + "-" + Zero2(dt.Month) + "-" + PadLeft(Int2Str(dt.Year), 4, ' ');
}

std::string LocalTimeText(std::time_t when, const char* format) {
  char text[64];
  std::tm local{};
  localtime_r(&when, &local);
  return std::strftime(text, sizeof text, format, &local) > 0 ? text : "";
}

}  // namespace corvix
