// Misc: durations as texts, date differences and the stop clocks.
#include <cmath>
#include <cstdint>
#include <string>

#include "frame/misc.h"
#include "frame/misc_internal.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/format.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr long long kCurrencyScale = 10000;  // a Currency counts ten-thousandths
constexpr long long kSecondsPerDay = 86400;

long long checked_mul(long long a, long long b) {
    long long r;
    if (__builtin_mul_overflow(a, b, &r)) raise(err::Overflow);
    return r;
}

long long floor_div(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

CY currency(long long ten_thousandths) {
    CY c;
    c.int64 = ten_thousandths;
    return c;
}

// A time's whole seconds since 30.12.1899 00:00:00 (the time rounded to the second).
long long seconds_of(DATE d) {
    // 1.1.100 and 31.12.9999 with any time of day (before 1900 the time counts down).
    if (!std::isfinite(d) || d <= MinDate - 1 || d >= std::floor(MaxDate) + 1) raise(err::InvalidCall);
    double whole = std::trunc(d);
    return static_cast<long long>(whole) * kSecondsPerDay + std::llround(std::fabs(d - whole) * kSecondsPerDay);
}

long long counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

// A 64-bit counter value as the stop clock reads it (both halves unsigned).
double counter_value(long long c) {
    auto u = static_cast<std::uint64_t>(c);
    return static_cast<double>(u >> 32) * 4294967296.0 + static_cast<double>(u & 0xFFFFFFFFu);
}

}  // namespace

HRESULT Misc::Time_Format(CY lngInputValue, tfFORMATTYPE* sInputType, BSTR sFormat, tfFORMATTYPE* sMaxValue,
                          BSTR* result) {
    return trapped(Trap{Source::Misc, L"Time_Format"}, result, Bstr(), [&] {
        long input_type = sInputType ? *sInputType : tfSECOND;
        long max_unit = sMaxValue ? *sMaxValue : tfDAY;
        std::wstring f = LCase(text_of(sFormat));
        const wchar_t* markers[][2] = {{L"d$", L"(0)"}, {L"h$", L"(1)"}, {L"m$", L"(2)"},
                                       {L"s$", L"(3)"}, {L"y$", L"(4)"}, {L"&", L"(&)"}};
        for (auto& m : markers) f = Replace(f, m[0], m[1]);

        long long unit;
        switch (input_type) {
        case tfYEAR: unit = kSecondsPerDay * 365; break;
        case tfDAY: unit = kSecondsPerDay; break;
        case tfHOUR: unit = 3600; break;
        case tfMINUTE: unit = 60; break;
        case tfSECOND: unit = 1; break;
        default: return Bstr();
        }
        // Seconds in ten-thousandths, split from the largest unit allowed down.
        long long s = checked_mul(lngInputValue.int64, unit);
        long long years = 0, days = 0, hours = 0, minutes = 0;
        auto take = [&](long long seconds) {
            long long q = floor_div(s, seconds * kCurrencyScale);
            s -= q * seconds * kCurrencyScale;
            return q;
        };
        if (max_unit == 0) years = take(kSecondsPerDay * 365);
        if (max_unit < 2) days = take(kSecondsPerDay);
        if (max_unit < 3) hours = take(3600);
        if (max_unit < 4) minutes = take(60);
        // Every value stays a Currency, so that no digit of the seconds is lost.
        auto two = [](long long v) { return Format(*Variant(currency(v)).get(), L"00"); };
        auto plain = [](long long v) { return CStr(currency(v)); };
        const struct {
            const wchar_t *twice, *once;
            long long value;
        } tokens[] = {{L"yy", L"y", years * kCurrencyScale},     {L"dd", L"d", days * kCurrencyScale},
                      {L"hh", L"h", hours * kCurrencyScale},     {L"mm", L"m", minutes * kCurrencyScale},
                      {L"ss", L"s", s}};
        for (auto& t : tokens) {
            f = Replace(f, t.twice, two(t.value));
            f = Replace(f, t.once, plain(t.value));
        }

        auto worded = [&](long long v, const wchar_t* one, const wchar_t* many) {
            return two(v) + (v == kCurrencyScale ? one : many);
        };
        f = Replace(f, L"(0)", worded(days * kCurrencyScale, L" Tag", L" Tage"));
        f = Replace(f, L"(1)", worded(hours * kCurrencyScale, L" Stunde", L" Stunden"));
        f = Replace(f, L"(2)", worded(minutes * kCurrencyScale, L" Minute", L" Minuten"));
        f = Replace(f, L"(3)", worded(s, L" Sekunde", L" Sekunden"));
        f = Replace(f, L"(4)", worded(years * kCurrencyScale, L" Jahr", L" Jahre"));
        f = Replace(f, L"(&)", L" und ");
        return Bstr(f);
    });
}

HRESULT Misc::SecondToTime(long Second, DATE* result) {
    // A time of day: from 24 hours on there is none, and the result is 00:00:00.
    return untrapped(result, [&] {
        if (Second < 1 || Second >= kSecondsPerDay) return 0.0;
        return TimeSerial(Second / 3600, Second / 60 % 60, Second % 60);
    });
}

HRESULT Misc::DateDifference(DATE Date1, DATE Date2, DateDif* DifferenceFormat, long* result) {
    if (!DifferenceFormat) return E_POINTER;
    // Seconds, minutes and hours are the exact elapsed time from Date2 to Date1
    // (whole units, toward zero); days count calendar days, months 30 and years 360 of them.
    return misc::trapped_negative(L"DateDifference", result, [&] {
        long long elapsed = seconds_of(Date1) - seconds_of(Date2);
        long long days = static_cast<long long>(std::trunc(Date1)) - static_cast<long long>(std::trunc(Date2));
        auto as_long = [](long long v) {
            if (v < LONG_MIN || v > LONG_MAX) raise(err::Overflow);
            return static_cast<long>(v);
        };
        switch (*DifferenceFormat) {
        case ddSECONDS: return as_long(elapsed);
        case ddMINUTES: return as_long(elapsed / 60);
        case ddHOURS: return as_long(elapsed / 3600);
        case ddDAYS: return as_long(days);
        case ddMONTHS: return CLng(static_cast<double>(days) / 30);
        case ddYEARS: return CLng(static_cast<double>(days) / 360);
        default: return 0L;
        }
    });
}

HRESULT Misc::StopClock(CLOCKINFO* Clock, STOPCLOCKINFO* Command, VARIANT* result) {
    if (!Clock || !Command) return E_POINTER;
    return untrapped(result, [&] {
        StopClocks& c = clocks_;
        if (*Clock == msMSClock) {
            switch (*Command) {
            case scSTART:
            case scRESET: {
                LARGE_INTEGER f;
                QueryPerformanceFrequency(&f);
                c.frequency = f.QuadPart;
                long long first = counter(), second = counter();
                c.overhead_ms = counter_value(second - first) / counter_value(c.frequency) * 1000;
                c.start_count = counter();
                c.start_time[0] = Time();
                return Variant::date(c.start_time[0]);
            }
            case scSTOP: {
                c.stop_count = counter();
                if (c.frequency == 0) {  // stopped before any start: measures from counter value 0
                    LARGE_INTEGER f;
                    QueryPerformanceFrequency(&f);
                    c.frequency = f.QuadPart;
                }
                double elapsed = (counter_value(c.stop_count) - counter_value(c.start_count)) /
                                     counter_value(c.frequency) * 1000 -
                                 c.overhead_ms;
                return Variant(Format(elapsed, L"0.00"));
            }
            case scSTARTTIME: return Variant::date(c.start_time[0]);
            default: return Variant();
            }
        }
        if (*Clock == msNORMALCLOCK) {
            switch (*Command) {
            case scSTART:
            case scRESET: c.start_time[1] = Time(); return Variant::date(c.start_time[1]);
            case scSTOP: {
                Variant shown(FormatDate(Now() - c.start_time[1], L"hh:mm:ss"));
                c.start_time[1] = 0;
                return shown;
            }
            case scCURRENTSTOPTIME: return Variant(FormatDate(Now() - c.start_time[1], L"hh:mm:ss"));
            case scSTARTTIME: return Variant::date(c.start_time[1]);
            default: return Variant();
            }
        }
        return Variant();
    });
}

}  // namespace qm
