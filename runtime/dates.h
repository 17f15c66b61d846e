// Automation dates: a DATE is a double, whole days since 30.12.1899 with the
// time of day as the fraction; for dates before 30.12.1899 the fraction counts
// forward from the day's midnight too (-1.25 is 29.12.1899 06:00).
// Date parts are read with the time rounded to the nearest second.
//
// Two parsers read date texts:
//  - lenient, the system's own (VarDateFromStr in the user's locale): CDate,
//    IsDate, DateValue and TimeValue. It completes and reorders what it can
//    ("31.12." takes this year, "2024-12-31" and "02/29/2000" are read,
//    "12.13.2024" becomes 13 December because no month 13 exists). Use it where
//    a text is converted the way the runtime converts it (conversions, dates that
//    a member built itself, IsLeapYear's "02/29/yyyy" text).
//  - strict, our own (parse_date_strict): day, month and year in the locale's
//    order, each in range, nothing reordered or completed, an optional time with
//    hours 0-23 and minutes and seconds 0-59. Use it where a member checks that a
//    text is a valid date (isValidDate, isValidTime, the day counts of a month):
//    there "12.13.2024" and "31.02.2024" are not dates.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// First day of the week (the runtime's vbUseSystemDayOfWeek 0, vbSunday 1 ... vbSaturday 7).
enum DayOfWeek : int { UseSystemDayOfWeek = 0, Sunday = 1, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };
// First week of the year (vbUseSystem 0, vbFirstJan1 1, vbFirstFourDays 2, vbFirstFullWeek 3).
enum WeekOfYear : int { UseSystemWeek = 0, FirstJan1 = 1, FirstFourDays = 2, FirstFullWeek = 3 };

// Valid automation dates: 1.1.100 to 31.12.9999.
constexpr DATE MinDate = -657434.0;
constexpr DATE MaxDate = 2958465.99999999;

DATE Now();     // the local date and time (to the millisecond)
DATE Date();    // today at 00:00:00
DATE Time();    // the time of day on 30.12.1899
double Timer(); // seconds since midnight, with hundredths

// DateSerial: months and days outside their ranges roll over (month 13 is January of
// the next year, day 0 the last day of the previous month); a two-digit year 0-29
// is 2000-2029, 30-99 is 1930-1999; 5 outside the valid range.
DATE DateSerial(long year, long month, long day);
// TimeSerial: hours, minutes and seconds roll over likewise (may leave the day: 25:00 is 31.12.1899 01:00).
DATE TimeSerial(long hour, long minute, long second);
DATE DateValue(std::wstring_view text);  // the date part of a text (lenient parser); 13 when unreadable
DATE TimeValue(std::wstring_view text);  // the time part of a text (lenient parser); 13 when unreadable

// The strict parser (see above): nullopt when the text is no valid date and/or time.
std::optional<DATE> parse_date_strict(std::wstring_view text);
// The lenient parser without raising: nullopt where CDate would raise 13.
std::optional<DATE> parse_date(std::wstring_view text);

int Year(DATE d);
int Month(DATE d);
int Day(DATE d);
int Hour(DATE d);
int Minute(DATE d);
int Second(DATE d);
// Weekday: 1 for the first day of the week (Sunday by default) ... 7.
int Weekday(DATE d, DayOfWeek first = Sunday);
// The locale's name of a weekday (1 = the first day of the week) or of a month (1-12); 5 outside.
std::wstring WeekdayName(int weekday, bool abbreviate = false, DayOfWeek first = UseSystemDayOfWeek);
std::wstring MonthName(int month, bool abbreviate = false);

// Intervals of DateAdd, DateDiff and DatePart: "yyyy" year, "q" quarter, "m" month,
// "y" day of year, "d" day, "w" weekday, "ww" week, "h" hour, "n" minute, "s" second
// (any case); 5 for another.
// DateAdd: the number is truncated to a whole number (Fix); months, quarters and
// years keep the day, clipped to the month's last day; 5 when the result leaves
// the valid range.
DATE DateAdd(std::wstring_view interval, double number, DATE d);
// DateDiff: the number of interval boundaries crossed from d1 to d2 (negative when d2 is earlier).
long long DateDiff(std::wstring_view interval, DATE d1, DATE d2, DayOfWeek first_day = Sunday,
                   WeekOfYear first_week = FirstJan1);
long DatePart(std::wstring_view interval, DATE d, DayOfWeek first_day = Sunday, WeekOfYear first_week = FirstJan1);

// Date parts and back, without rounding: the whole day and the time of day as a fraction.
double date_part(DATE d);  // the whole day (toward zero)
double time_part(DATE d);  // the time of day, 0 <= t < 1

}  // namespace qm
