#include "runtime/dates.h"

#include <cmath>
#include <cwctype>

#include "runtime/convert.h"
#include "runtime/errors.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr long long kSecondsPerDay = 86400;

// Days since 30.12.1899 of a proleptic Gregorian date (month 1-12, any day count).
long long days_from_civil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468 + 25569;  // 1.1.1970 is day 25569
}

struct Civil {
    long long year;
    int month, day;
};

Civil civil_from_days(long long z) {
    z += 719468 - 25569;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<long long>(yoe) + era * 400 + (m <= 2), m, d};
}

bool leap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int month_days(long long y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

// A date as the calendar day and the second of that day (rounded to the nearest second).
struct Moment {
    long long day;  // days since 30.12.1899
    long long sec;  // 0..86399
};

Moment split(DATE d) {
    if (!std::isfinite(d)) raise(err::Overflow);
    double whole = std::trunc(d);
    long long day = static_cast<long long>(whole);
    long long sec = std::llround(std::fabs(d - whole) * kSecondsPerDay);
    if (sec >= kSecondsPerDay) sec -= kSecondsPerDay, ++day;
    return {day, sec};
}

// A continuous count of seconds (day * 86400 + second), and back.
long long seconds_of(DATE d) {
    Moment m = split(d);
    return m.day * kSecondsPerDay + m.sec;
}

DATE make_date(long long day, double time_fraction) {
    return day >= 0 ? static_cast<double>(day) + time_fraction : static_cast<double>(day) - time_fraction;
}

long long floor_div(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

DATE from_seconds(long long total) {
    long long day = floor_div(total, kSecondsPerDay);
    long long sec = total - day * kSecondsPerDay;
    return make_date(day, static_cast<double>(sec) / kSecondsPerDay);
}

DATE checked(DATE d) {
    if (!(d >= MinDate && d <= MaxDate)) raise(err::InvalidCall);
    return d;
}

int system_first_day() {  // LOCALE_IFIRSTDAYOFWEEK: 0 Monday ... 6 Sunday
    wchar_t buf[4] = {};
    GetLocaleInfoW(locale(), LOCALE_IFIRSTDAYOFWEEK, buf, 4);
    int v = buf[0] >= L'0' && buf[0] <= L'6' ? buf[0] - L'0' : 6;
    return (v + 1) % 7 + 1;
}

int first_day(DayOfWeek d) {
    if (d == UseSystemDayOfWeek) return system_first_day();
    if (d < Sunday || d > Saturday) raise(err::InvalidCall);
    return d;
}

int first_week(WeekOfYear w) {
    if (w == UseSystemWeek) {
        wchar_t buf[4] = {};
        GetLocaleInfoW(locale(), LOCALE_IFIRSTWEEKOFYEAR, buf, 4);
        return buf[0] == L'1' ? FirstFullWeek : buf[0] == L'2' ? FirstFourDays : FirstJan1;
    }
    if (w < FirstJan1 || w > FirstFullWeek) raise(err::InvalidCall);
    return w;
}

// Weekday of a day number, 1 = first (Sunday-based when first is 1).
int weekday_of(long long day, int first) {
    long long sunday_based = ((day + 6) % 7 + 7) % 7;  // 30.12.1899 (day 0) was a Saturday: 6
    return static_cast<int>((sunday_based - (first - 1) + 7) % 7) + 1;
}

long week_of_year(long long day, int fdow, int fwoy) {
    long long year = civil_from_days(day).year;
    for (int pass = 0; pass < 2; ++pass) {
        long long jan1 = days_from_civil(year, 1, 1);
        int wd = weekday_of(jan1, fdow);
        long long start = jan1 - (wd - 1);
        if (fwoy == FirstFourDays && 8 - wd < 4) start += 7;
        if (fwoy == FirstFullWeek && wd != 1) start += 7;
        if (day >= start) return static_cast<long>(floor_div(day - start, 7) + 1);
        --year;  // the day belongs to the last week of the year before
    }
    return 1;
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval interval_of(std::wstring_view s) {
    std::wstring t = LCase(s);
    if (t == L"yyyy") return Interval::Year;
    if (t == L"q") return Interval::Quarter;
    if (t == L"m") return Interval::Month;
    if (t == L"y") return Interval::DayOfYear;
    if (t == L"d") return Interval::Day;
    if (t == L"w") return Interval::Weekday;
    if (t == L"ww") return Interval::Week;
    if (t == L"h") return Interval::Hour;
    if (t == L"n") return Interval::Minute;
    if (t == L"s") return Interval::Second;
    raise(err::InvalidCall);
}

DATE add_months(DATE d, long long months) {
    Moment m = split(d);
    Civil c = civil_from_days(m.day);
    long long total = c.year * 12 + (c.month - 1) + months;
    long long y = floor_div(total, 12);
    int mo = static_cast<int>(total - y * 12) + 1;
    if (y < 100 || y > 9999) raise(err::InvalidCall);
    int day = std::min(c.day, month_days(y, mo));
    return make_date(days_from_civil(y, mo, day), static_cast<double>(m.sec) / kSecondsPerDay);
}

}  // namespace

DATE Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    long long day = days_from_civil(st.wYear, st.wMonth, st.wDay);
    return make_date(day, (st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond) / kSecondsPerDay);
}

DATE Date() { return std::trunc(Now()); }

DATE Time() {
    DATE n = Now();
    return n - std::trunc(n);
}

double Timer() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond + st.wMilliseconds / 1000.0;
}

DATE DateSerial(long year, long month, long day) {
    long long y = year;
    if (y >= 0 && y <= 29) y += 2000;
    else if (y >= 30 && y <= 99) y += 1900;
    long long total = y * 12 + (static_cast<long long>(month) - 1);
    y = floor_div(total, 12);
    int m = static_cast<int>(total - y * 12) + 1;
    if (y < -10000 || y > 20000) raise(err::InvalidCall);
    return checked(static_cast<double>(days_from_civil(y, m, 1) + day - 1));
}

DATE TimeSerial(long hour, long minute, long second) {
    long long total = static_cast<long long>(hour) * 3600 + static_cast<long long>(minute) * 60 + second;
    return checked(from_seconds(total));
}

std::optional<DATE> parse_date(std::wstring_view text) {
    Bstr b(text);
    DATE d = 0;
    if (FAILED(VarDateFromStr(b.get(), locale(), 0, &d))) return std::nullopt;
    return d;
}

DATE DateValue(std::wstring_view text) {
    auto d = parse_date(text);
    if (!d) raise(err::TypeMismatch);
    return static_cast<double>(split(*d).day);
}

DATE TimeValue(std::wstring_view text) {
    auto d = parse_date(text);
    if (!d) raise(err::TypeMismatch);
    return static_cast<double>(split(*d).sec) / kSecondsPerDay;
}

// The strict parser: [date] [time], the date as three numbers in the locale's order
// (LOCALE_IDATE: 0 month-day-year, 1 day-month-year, 2 year-month-day) separated by
// one of "." "/" "-" or the locale's separator (the same one twice); a year of one
// or two digits is completed as DateSerial does (0-29: 2000s, 30-99: 1900s); the
// time as h:m or h:m:s with hours 0-23. Nothing is reordered or completed otherwise.
std::optional<DATE> parse_date_strict(std::wstring_view text) {
    size_t i = 0;
    auto skip_blanks = [&] {
        while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    };
    // A run of 1 to max digits.
    auto number = [&](int max_digits, long& out, int& count) {
        count = 0;
        out = 0;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
            if (++count > max_digits) return false;
            out = out * 10 + (text[i++] - L'0');
        }
        return count > 0;
    };
    wchar_t locale_sep[8] = {};
    GetLocaleInfoW(locale(), LOCALE_SDATE, locale_sep, 8);
    auto is_sep = [&](wchar_t c) { return c == L'.' || c == L'/' || c == L'-' || (c && c == locale_sep[0]); };

    skip_blanks();
    // Look ahead: a date has a date separator after its first number, a time a colon.
    size_t j = i;
    while (j < text.size() && text[j] >= L'0' && text[j] <= L'9') ++j;
    bool has_date = j < text.size() && is_sep(text[j]);
    bool has_time = !has_date;
    long long day_number = 0;
    if (has_date) {
        wchar_t order[4] = {};
        GetLocaleInfoW(locale(), LOCALE_IDATE, order, 4);
        int ord = order[0] == L'0' ? 0 : order[0] == L'2' ? 2 : 1;
        long f[3];
        int digits[3];
        wchar_t sep = 0;
        for (int k = 0; k < 3; ++k) {
            bool year_field = (ord == 2 && k == 0) || (ord != 2 && k == 2);
            if (!number(year_field ? 4 : 2, f[k], digits[k])) return std::nullopt;
            if (k < 2) {
                if (i >= text.size() || !is_sep(text[i])) return std::nullopt;
                if (k == 1 && text[i] != sep) return std::nullopt;
                sep = text[i++];
            }
        }
        long y, m, d;
        int ydigits;
        if (ord == 0) m = f[0], d = f[1], y = f[2], ydigits = digits[2];
        else if (ord == 1) d = f[0], m = f[1], y = f[2], ydigits = digits[2];
        else y = f[0], m = f[1], d = f[2], ydigits = digits[0];
        if (ydigits <= 2) y += y < 30 ? 2000 : 1900;
        if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > month_days(y, m)) return std::nullopt;
        day_number = days_from_civil(y, m, d);
        size_t before = i;
        skip_blanks();
        has_time = i < text.size() && i > before;
        if (i < text.size() && !has_time) return std::nullopt;
    }
    long long sec = 0;
    if (has_time) {
        long h, mi, s = 0;
        int n;
        if (!number(2, h, n) || i >= text.size() || text[i++] != L':' || !number(2, mi, n)) return std::nullopt;
        if (i < text.size() && text[i] == L':') {
            ++i;
            if (!number(2, s, n)) return std::nullopt;
        }
        if (h > 23 || mi > 59 || s > 59) return std::nullopt;
        sec = h * 3600 + mi * 60 + s;
    }
    skip_blanks();
    if (i != text.size()) return std::nullopt;
    return make_date(day_number, static_cast<double>(sec) / kSecondsPerDay);
}

int Year(DATE d) { return static_cast<int>(civil_from_days(split(d).day).year); }
int Month(DATE d) { return civil_from_days(split(d).day).month; }
int Day(DATE d) { return civil_from_days(split(d).day).day; }
int Hour(DATE d) { return static_cast<int>(split(d).sec / 3600); }
int Minute(DATE d) { return static_cast<int>(split(d).sec / 60 % 60); }
int Second(DATE d) { return static_cast<int>(split(d).sec % 60); }

int Weekday(DATE d, DayOfWeek first) { return weekday_of(split(d).day, first_day(first)); }

std::wstring WeekdayName(int weekday, bool abbreviate, DayOfWeek first) {
    if (weekday < 1 || weekday > 7) raise(err::InvalidCall);
    int sunday_based = (weekday - 1 + first_day(first) - 1) % 7 + 1;  // 1 Sunday ... 7 Saturday
    int monday_index = sunday_based == 1 ? 6 : sunday_based - 2;      // 0 Monday ... 6 Sunday
    LCTYPE type = (abbreviate ? LOCALE_SABBREVDAYNAME1 : LOCALE_SDAYNAME1) + monday_index;
    wchar_t buf[80] = {};
    int n = GetLocaleInfoW(locale(), type, buf, 80);
    return n > 0 ? std::wstring(buf, n - 1) : std::wstring();
}

std::wstring MonthName(int month, bool abbreviate) {
    if (month < 1 || month > 12) raise(err::InvalidCall);
    LCTYPE type = (abbreviate ? LOCALE_SABBREVMONTHNAME1 : LOCALE_SMONTHNAME1) + (month - 1);
    wchar_t buf[80] = {};
    int n = GetLocaleInfoW(locale(), type, buf, 80);
    return n > 0 ? std::wstring(buf, n - 1) : std::wstring();
}

DATE DateAdd(std::wstring_view interval, double number, DATE d) {
    Interval iv = interval_of(interval);
    double n = std::trunc(number);
    if (!std::isfinite(n) || std::fabs(n) > 1e12) raise(err::InvalidCall);
    long long k = static_cast<long long>(n);
    switch (iv) {
    case Interval::Year: return checked(add_months(d, k * 12));
    case Interval::Quarter: return checked(add_months(d, k * 3));
    case Interval::Month: return checked(add_months(d, k));
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday: k *= kSecondsPerDay; break;
    case Interval::Week: k *= 7 * kSecondsPerDay; break;
    case Interval::Hour: k *= 3600; break;
    case Interval::Minute: k *= 60; break;
    case Interval::Second: break;
    }
    if (std::fabs(static_cast<double>(k)) > 1e12) raise(err::InvalidCall);
    return checked(from_seconds(seconds_of(d) + k));
}

long long DateDiff(std::wstring_view interval, DATE d1, DATE d2, DayOfWeek first_day_, WeekOfYear first_week_) {
    Interval iv = interval_of(interval);
    int fdow = first_day(first_day_);
    first_week(first_week_);
    Moment a = split(d1), b = split(d2);
    Civil ca = civil_from_days(a.day), cb = civil_from_days(b.day);
    long long sa = a.day * kSecondsPerDay + a.sec, sb = b.day * kSecondsPerDay + b.sec;
    switch (iv) {
    case Interval::Year: return cb.year - ca.year;
    case Interval::Quarter: return (cb.year * 4 + (cb.month - 1) / 3) - (ca.year * 4 + (ca.month - 1) / 3);
    case Interval::Month: return (cb.year * 12 + cb.month) - (ca.year * 12 + ca.month);
    case Interval::DayOfYear:
    case Interval::Day: return b.day - a.day;
    case Interval::Weekday: return (b.day - a.day) / 7;
    case Interval::Week: {
        long long wa = a.day - (weekday_of(a.day, fdow) - 1), wb = b.day - (weekday_of(b.day, fdow) - 1);
        return (wb - wa) / 7;
    }
    case Interval::Hour: return floor_div(sb, 3600) - floor_div(sa, 3600);
    case Interval::Minute: return floor_div(sb, 60) - floor_div(sa, 60);
    case Interval::Second: return sb - sa;
    }
    return 0;
}

long DatePart(std::wstring_view interval, DATE d, DayOfWeek first_day_, WeekOfYear first_week_) {
    Interval iv = interval_of(interval);
    int fdow = first_day(first_day_), fwoy = first_week(first_week_);
    Moment m = split(d);
    Civil c = civil_from_days(m.day);
    switch (iv) {
    case Interval::Year: return static_cast<long>(c.year);
    case Interval::Quarter: return (c.month - 1) / 3 + 1;
    case Interval::Month: return c.month;
    case Interval::DayOfYear: return static_cast<long>(m.day - days_from_civil(c.year, 1, 1) + 1);
    case Interval::Day: return c.day;
    case Interval::Weekday: return weekday_of(m.day, fdow);
    case Interval::Week: return week_of_year(m.day, fdow, fwoy);
    case Interval::Hour: return static_cast<long>(m.sec / 3600);
    case Interval::Minute: return static_cast<long>(m.sec / 60 % 60);
    case Interval::Second: return static_cast<long>(m.sec % 60);
    }
    return 0;
}

double date_part(DATE d) { return std::trunc(d); }
double time_part(DATE d) { return std::fabs(d - std::trunc(d)); }

}  // namespace qm
