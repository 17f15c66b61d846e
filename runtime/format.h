// Format: values as text by a pattern, in the user's locale, as the runtime's Format does.
//
// Patterns:
//  - named: "General Date", "Long Date", "Medium Date", "Short Date", "Long Time",
//    "Medium Time", "Short Time", "General Number", "Currency", "Fixed",
//    "Standard", "Percent", "Scientific", "Yes/No", "True/False", "On/Off";
//  - dates: d dd ddd dddd ddddd (short date) dddddd (long date), m mm mmm mmmm
//    (minutes right after h/hh), yy yyyy, h hh, n nn, s ss, ttttt (long time),
//    AM/PM am/pm A/P a/p, w ww q y, ":" and "/" as the locale's separators,
//    "." "-" and blanks as they are ("dd.mm.yyyy", "hh:mm:ss", "yyyy.mm.dd hh:mm:ss");
//  - numbers: 0 # . , % E+ E- with up to four ";"-separated sections
//    ("00", "000", "0.00", "###,###,###,##0", "###,###.##");
//  - literals: "\x", "text" in double quotes; anything else stands for itself.
// An empty pattern gives CStr of the value (Null and Empty give "").
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "runtime/dates.h"

namespace qm {

// Format of any value: numbers (and numeric texts) by a number pattern, Dates (and
// date texts under a date pattern) by a date pattern; other texts come back as they are.
std::wstring Format(const VARIANT& value, std::wstring_view pattern = {}, DayOfWeek first_day = Sunday,
                    WeekOfYear first_week = FirstJan1);
std::wstring Format(double number, std::wstring_view pattern);
std::wstring Format(long number, std::wstring_view pattern);
inline std::wstring Format(int number, std::wstring_view pattern) { return Format(static_cast<long>(number), pattern); }
// A Date by a pattern (a separate name because DATE is a double).
std::wstring FormatDate(DATE d, std::wstring_view pattern, DayOfWeek first_day = Sunday,
                        WeekOfYear first_week = FirstJan1);

// FormatDateTime's named forms (vbGeneralDate 0, vbLongDate 1, vbShortDate 2, vbLongTime 3, vbShortTime 4).
enum class DateForm { General = 0, LongDate = 1, ShortDate = 2, LongTime = 3, ShortTime = 4 };
std::wstring FormatDateTime(DATE d, DateForm form = DateForm::General);

}  // namespace qm
