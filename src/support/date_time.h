// Date and time: the clock, a token mask formatter, the packed DOS date-time,
// Julian day numbers, seconds since 1970 and short duration texts.
// All dates and times are local; no time-zone arithmetic is done anywhere.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "support/short_string.h"

namespace corvix {

struct DateTime {
  std::uint16_t Year = 0;    // four digits, e.g. 2026
  std::uint16_t Month = 0;   // 1-12
  std::uint16_t Day = 0;     // 1-31
  std::uint16_t Hour = 0;    // 0-23
  std::uint16_t Minute = 0;  // 0-59
  std::uint16_t Second = 0;  // 0-59
};

// Packed date-time in the DOS layout: bits 0-4 second div 2, 5-10 minute,
// 11-15 hour, 16-20 day, 21-24 month, 25-31 year - 1980.
using PackedDateTime = std::uint32_t;

// Indexed by month 1-12 (entry 0 is unused).
inline constexpr std::array<std::string_view, 13> MonthNames = {
    "", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// Indexed 0 = Sunday to 6 = Saturday.
inline constexpr std::array<std::string_view, 7> DayNames = {"Sun", "Mon", "Tue", "Wed",
                                                             "Thu", "Fri", "Sat"};
// Days per month indexed by month 1-12 (entry 0 is unused); February has 29
// in a leap year.
inline constexpr std::array<std::uint8_t, 13> MonthDays = {0,  31, 28, 31, 30, 31, 30,
                                                           31, 31, 30, 31, 30, 31};

// --- The clock ---

// Fills DT with the current local date and time.
void CurrentDT(DateTime& dt);
// The current local date and time, packed.
PackedDateTime PackedNow();
// Julian day number of today.
std::int32_t TodayJulian();
// Seconds since midnight.
std::int32_t SecondsToday();
// Minutes since midnight.
std::int32_t MinutesToday();

// --- Formatting ---

// Mask with its tokens replaced (any case): YYYY, YY, MM, DD, HH, II (minute),
// SS, NNN (month name), in that order.
ShortString FormatDT(const DateTime& dt, const ShortString& mask);

// --- Packed date-time ---

// Packs DT; the year is held to 1980-2107 and the second is halved.
PackedDateTime PackDT(const DateTime& dt);
DateTime UnpackDT(PackedDateTime packed);
// The date as "MM/DD/YY" (Format 1), "DD/MM/YY" (2) or "YY/MM/DD" (3); "" otherwise.
ShortString PackedDateStr(PackedDateTime packed, std::uint8_t format);
// "HH:MM" on the 24-hour clock, or "hh:MMa"/"hh:MMp" when Twelve is set.
ShortString PackedTimeStr(PackedDateTime packed, bool twelve);
// Format 0 and 1 as PackedTimeStr, 2 gives "HH:MM:SS"; "" otherwise.
ShortString PackedTimeStrEx(PackedDateTime packed, std::uint8_t format);
// Day of the week, 0 = Sunday to 6 = Saturday.
std::uint8_t PackedDayOfWeek(PackedDateTime packed);
// "MM/DD/YY" to packed, 00:00:00; YY below 80 means 20YY, else 19YY.
PackedDateTime DateStrPacked(const ShortString& text);
// True when the month of "MM/DD/YY" is 1..12 and the day 1..31.
bool ValidDateStr(const ShortString& text);

// --- Julian day numbers (1 January 1970 is 2440588) ---

std::int32_t JulianDay(std::int32_t year, std::int32_t month, std::int32_t day);
void JulianToDate(std::int32_t julian, std::uint16_t& year, std::uint16_t& month,
                  std::uint16_t& day);
// The date of a Julian day number in the three formats of PackedDateStr.
ShortString JulianDateStr(std::int32_t julian, std::uint8_t format);
// "MM/DD/YY" to a Julian day number; YY below 20 means 20YY, else 19YY.
std::int32_t DateStrJulian(const ShortString& text);
// Mode 1: days from the Julian day number Value to today. Mode 2: days from
// the date of the packed date-time Value to today. 0 for other modes.
std::int32_t DaysAgo(std::int32_t value, std::uint8_t mode);

// --- Timers within the hour, in hundredths of a second ---

// A deadline Delay hundredths from now.
std::int32_t TimerStart(std::int32_t delay);
// True once Deadline has been reached; works for delays well below an hour.
bool TimerUp(std::int32_t deadline);

// --- Durations ---

// "1d 2h 3m 4s".
ShortString DurationStr(std::int32_t seconds);
// "HH:MM".
ShortString SecsToHM(std::int32_t seconds);
// "HH:MM:SS".
ShortString SecsToHMS(std::int32_t seconds);
// "MM:SS".
ShortString SecsToMS(std::int32_t seconds);
// The value in two columns with a leading "0" ('07').
ShortString Zero2(std::int32_t value);

// --- Seconds since 1970 (local time) ---

// Table conversions count every year divisible by 4 as a leap year.
DateTime UnixToDT(std::int32_t seconds);
std::int32_t DTToUnix(const DateTime& dt);
// Through the Julian day number, with the full Gregorian leap-year rule.
std::int32_t DTToUnixJ(const DateTime& dt);
std::int32_t PackedToUnix(PackedDateTime packed);
// "HH:MM DD-MM-YYYY" with day and month right-aligned by spaces.
ShortString UnixToStr(std::int32_t seconds);
// "DD-MM-YYYY" with leading zeros.
ShortString UnixToDateStr(std::int32_t seconds);

// When, in local time, through strftime's Format ("%Y-%m-%d %H:%M:%S").
std::string LocalTimeText(std::time_t when, const char* format);

}  // namespace corvix
