// Misc: dates and calendar helpers.
//
// Everything here is computed from the calendar (proleptic Gregorian, the
// automation Date's), never by writing a date as text and reading it back: a
// lenient parser reorders what it cannot read ("12.13.2024" becomes 13 December)
// and other locales read "dd.mm.yyyy" differently.
#include <cmath>
#include <string>
#include <vector>

#include "frame/frm_date.h"
#include "frame/misc.h"
#include "frame/misc_internal.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr long long kSecondsPerDay = 86400;
constexpr long long kUnixEpochDay = 25569;  // 1.1.1970 as days since 30.12.1899

bool leap_year(long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(long year, long month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap_year(year) ? 29 : days[month - 1];
}

// A year as a date text gives it: one or two digits take the runtime's century
// window (0-29: 2000s, 30-99: 1900s); 0 when the year cannot be a date's year.
long calendar_year(long year) {
    if (year >= 0 && year <= 29) return year + 2000;
    if (year >= 30 && year <= 99) return year + 1900;
    if (year >= 100 && year <= 9999) return year;
    return 0;
}

// A part of a date or time text: 1 to max_digits decimal digits, as a number.
bool digits(std::wstring_view part, size_t max_digits, long& value) {
    if (part.empty() || part.size() > max_digits) return false;
    value = 0;
    for (wchar_t c : part) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    return true;
}

// The whole day and the second of that day (rounded to the nearest second).
struct Moment {
    long long day;  // days since 30.12.1899
    long long second;
};

Moment moment_of(DATE d) {
    // 1.1.100 and 31.12.9999 with any time of day (before 1900 the time counts down).
    if (!std::isfinite(d) || d <= MinDate - 1 || d >= std::floor(MaxDate) + 1) raise(err::InvalidCall);
    double whole = std::trunc(d);
    Moment m{static_cast<long long>(whole), std::llround(std::fabs(d - whole) * kSecondsPerDay)};
    if (m.second >= kSecondsPerDay) m.second -= kSecondsPerDay, ++m.day;
    return m;
}

}  // namespace

HRESULT Misc::Get_WeekDay(DATE* sDate, BSTR* result) {
    if (!sDate) return E_POINTER;
    // The name of the date's own weekday, whatever day the locale's week starts on.
    return trapped(Trap{Source::Misc, L"Get_WeekDay"}, result, Bstr(), [&] {
        return Bstr(WeekdayName(Weekday(*sDate, Monday), false, Monday));
    });
}

HRESULT Misc::Get_Date(DATE* sDate, Get_Date_Output* Output, VARIANT* result) {
    if (!sDate || !Output) return E_POINTER;
    return untrapped(result, [&] {
        DATE d = *sDate;
        switch (*Output) {
        case gdoFORMAT_ONLY: return Variant::date(DateSerial(Year(d), Month(d), Day(d)));
        case gdoGET_DAY: return Variant(static_cast<long>(Day(d)));
        case gdoGET_MONTH: return Variant(static_cast<long>(Month(d)));
        case gdoGET_YEAR: return Variant(static_cast<long>(Year(d)));
        default: return Variant();
        }
    });
}

HRESULT Misc::Convert_DateToUnix(DATE uDate, DATE uTime, BSTR* result) {
    // The day of uDate at the time of day of uTime, in seconds from 1.1.1970 00:00:00
    // (no time zone applied).
    return trapped(Trap{Source::Misc, L"Convert_DateToUnix"}, result, Bstr(), [&] {
        long long day = moment_of(uDate).day;
        long long second = moment_of(uTime).second;
        return Bstr(std::to_wstring((day - kUnixEpochDay) * kSecondsPerDay + second));
    });
}

HRESULT Misc::Convert_UnixToDate(double UnixDate, DATE* result) {
    return trapped(Trap{Source::Misc, L"Convert_UnixToDate"}, result, 0.0, [&] {
        return DateAdd(L"s", UnixDate, DateSerial(1970, 1, 1));
    });
}

HRESULT Misc::IsLeapYear(long Year, VARIANT_BOOL* result) {
    // Whether 29 February of that year exists; one or two digits are completed
    // as a date text's year is.
    return untrapped(result, [&] {
        long year = calendar_year(Year);
        return year != 0 && leap_year(year);
    });
}

HRESULT Misc::Get_DayOfMonthCount(long Month, long Year, long* result) {
    return misc::trapped_negative(L"Get_DayOfMonthCount", result, [&] {
        long year = calendar_year(Year);
        if (year == 0 || Month < 1 || Month > 12) return 0L;
        return static_cast<long>(days_in_month(year, Month));
    });
}

HRESULT Misc::Get_WeekOfYear(DATE sDate, long* result) {
    // ISO 8601: weeks begin on Monday and week 1 holds the year's first Thursday.
    // Only the day counts: the time of day never moves the week.
    return misc::trapped_negative(L"Get_WeekOfYear", result, [&] {
        DATE day = static_cast<DATE>(moment_of(sDate).day);
        DATE thursday = day + 4 - Weekday(day, Monday);
        // Early January of the year 100 lies in a week of the year 99, whose
        // 1 January DateSerial would read as 1999: count back 400 years instead.
        long year = qm::Year(thursday);
        DATE january1 = year < 100 ? DateSerial(year + 400, 1, 1) - 146097 : DateSerial(year, 1, 1);
        return static_cast<long>((thursday - january1) / 7) + 1;
    });
}

HRESULT Misc::isValidDate(BSTR sInput, VARIANT_BOOL* result) {
    // A real calendar date written day.month.year with 1-2, 1-2 and 1-4 digits.
    return untrapped(result, [&] {
        std::vector<std::wstring> parts = Split(text_of(sInput), L".");
        if (parts.size() != 3) return false;
        long day = 0, month = 0, year = 0;
        if (!digits(parts[0], 2, day) || !digits(parts[1], 2, month) || !digits(parts[2], 4, year)) return false;
        if (year < 1 || month < 1 || month > 12 || day < 1) return false;
        year = calendar_year(year);
        return year != 0 && day <= days_in_month(year, month);
    });
}

HRESULT Misc::isValidTime(BSTR sInput, VARIANT_BOOL* result) {
    // A time of day written hours:minutes:seconds, 1-2 digits each.
    return untrapped(result, [&] {
        std::vector<std::wstring> parts = Split(text_of(sInput), L":");
        if (parts.size() != 3) return false;
        long hour = 0, minute = 0, second = 0;
        return digits(parts[0], 2, hour) && digits(parts[1], 2, minute) && digits(parts[2], 2, second) &&
               hour <= 23 && minute <= 59 && second <= 59;
    });
}

HRESULT Misc::Get_Age(DATE sDate, BSTR* result) {
    return untrapped(result, [&] {
        try {
            double days = Round(Date() - sDate);
            double years = std::floor(days / 365.25);
            double months = std::floor((days - years * 365.25) / 30);
            double rest = std::floor(days - (years * 365.25 + months * 30));
            auto number = [](double v) { return std::to_wstring(static_cast<long long>(v)); };
            return Bstr(number(years) + (years >= 2 ? L" Years" : L" Year") + L", " + number(months) +
                        (months > 1 ? L" Months" : L" Month") + L", " + number(rest) +
                        (rest >= 2 ? L" Days" : L" Day"));
        } catch (const RuntimeError&) {
            return Bstr();
        }
    });
}

HRESULT Misc::Get_CurrentDateFormat(BSTR* result) {
    return untrapped(result, [] {
        wchar_t pattern[64];
        int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, pattern, 64);
        return n > 0 ? Bstr(std::wstring_view(pattern, n - 1)) : Bstr();
    });
}

HRESULT Misc::DatePicker(DATE* result) {
    return untrapped(result, [] {
        ComPtr<FrmDate> picker = forms::make<FrmDate>();
        picker->show(true);
        picker->unload();
        return PickedDate;
    });
}

}  // namespace qm
