// Misc's calendar members, durations, date differences and stop clocks, through
// the registered class (early-bound, and late-bound where defaults matter).
#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>
#include <string>

#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/format.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::DateSerial;
using qm::TimeSerial;
using qm::Variant;
using namespace qmtest;

namespace {

class MiscDates : public ::testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.Misc");
        ASSERT_TRUE(disp);
        m = disp.query<_Misc>();
        ASSERT_TRUE(m);
    }
    std::wstring weekday(DATE d) {
        Bstr out;
        EXPECT_EQ(m->Get_WeekDay(&d, out.put()), S_OK);
        return out.str();
    }
    Variant get_date(DATE d, long output) {
        Variant out;
        auto o = static_cast<Get_Date_Output>(output);
        EXPECT_EQ(m->Get_Date(&d, &o, out.put()), S_OK);
        return out;
    }
    std::wstring to_unix(DATE d, DATE t) {
        Bstr out;
        EXPECT_EQ(m->Convert_DateToUnix(d, t, out.put()), S_OK);
        return out.str();
    }
    DATE from_unix(double seconds) {
        DATE out = -1;
        EXPECT_EQ(m->Convert_UnixToDate(seconds, &out), S_OK);
        return out;
    }
    bool leap(long year) {
        VARIANT_BOOL out = VARIANT_FALSE;
        EXPECT_EQ(m->IsLeapYear(year, &out), S_OK);
        return out != VARIANT_FALSE;
    }
    long month_days(long month, long year) {
        long out = -99;
        EXPECT_EQ(m->Get_DayOfMonthCount(month, year, &out), S_OK);
        return out;
    }
    long week(DATE d) {
        long out = -99;
        EXPECT_EQ(m->Get_WeekOfYear(d, &out), S_OK);
        return out;
    }
    bool valid_date(const wchar_t* text) {
        VARIANT_BOOL out = VARIANT_TRUE;
        EXPECT_EQ(m->isValidDate(Bstr(text).get(), &out), S_OK);
        return out != VARIANT_FALSE;
    }
    bool valid_time(const wchar_t* text) {
        VARIANT_BOOL out = VARIANT_TRUE;
        EXPECT_EQ(m->isValidTime(Bstr(text).get(), &out), S_OK);
        return out != VARIANT_FALSE;
    }
    std::wstring age(DATE d) {
        Bstr out;
        EXPECT_EQ(m->Get_Age(d, out.put()), S_OK);
        return out.str();
    }
    std::wstring time_format(double value, long type = tfSECOND, const wchar_t* format = L"hh:mm:ss",
                             long max = tfDAY) {
        CY cy = qm::CCur(value);
        auto t = static_cast<tfFORMATTYPE>(type), x = static_cast<tfFORMATTYPE>(max);
        Bstr out;
        EXPECT_EQ(m->Time_Format(cy, &t, Bstr(format).get(), &x, out.put()), S_OK);
        return out.str();
    }
    DATE second_to_time(long s) {
        DATE out = -1;
        EXPECT_EQ(m->SecondToTime(s, &out), S_OK);
        return out;
    }
    long difference(DATE a, DATE b, long unit) {
        auto u = static_cast<DateDif>(unit);
        long out = -99;
        EXPECT_EQ(m->DateDifference(a, b, &u, &out), S_OK);
        return out;
    }
    Variant clock(_Misc* on, long clock, long command) {
        auto c = static_cast<CLOCKINFO>(clock);
        auto k = static_cast<STOPCLOCKINFO>(command);
        Variant out;
        EXPECT_EQ(on->StopClock(&c, &k, out.put()), S_OK);
        return out;
    }
    ComPtr<IDispatch> disp;
    ComPtr<_Misc> m;
};

// Before 30.12.1899 the time of day counts away from zero too.
DATE at(long y, long mo, long d, long h = 0, long mi = 0, long s = 0) {
    DATE day = DateSerial(y, mo, d), time = TimeSerial(h, mi, s);
    return day < 0 ? day - time : day + time;
}

// "hh:mm:ss" as seconds of the day; -1 when the text has another form.
long clock_seconds(const std::wstring& t) {
    if (t.size() != 8 || t[2] != L':' || t[5] != L':') return -1;
    for (int i : {0, 1, 3, 4, 6, 7})
        if (!std::iswdigit(t[i])) return -1;
    return std::stol(t.substr(0, 2)) * 3600 + std::stol(t.substr(3, 2)) * 60 + std::stol(t.substr(6, 2));
}

TEST_F(MiscDates, WeekdayNamesAndDateParts) {
    EXPECT_EQ(weekday(at(2024, 1, 1)), L"Montag");
    EXPECT_EQ(weekday(at(2024, 1, 7, 23, 59, 59)), L"Sonntag");
    EXPECT_EQ(weekday(at(1800, 5, 3, 6)), L"Samstag");  // before 30.12.1899

    EXPECT_EQ(get_date(at(2024, 12, 31, 18, 30), 4).vt(), VT_EMPTY);
    Variant only = get_date(at(2024, 12, 31, 18, 30), gdoFORMAT_ONLY);
    ASSERT_EQ(only.vt(), VT_DATE);
    EXPECT_EQ(V_DATE(only.get()), at(2024, 12, 31));
    Variant early = get_date(at(1800, 5, 3, 6), gdoFORMAT_ONLY);
    EXPECT_EQ(V_DATE(early.get()), at(1800, 5, 3));
    Variant day = get_date(at(2024, 12, 31, 18), gdoGET_DAY);
    ASSERT_EQ(day.vt(), VT_I4);
    EXPECT_EQ(V_I4(day.get()), 31);
    EXPECT_EQ(V_I4(get_date(at(2024, 12, 31), gdoGET_MONTH).get()), 12);
    EXPECT_EQ(V_I4(get_date(at(205, 2, 1), gdoGET_YEAR).get()), 205);
}

TEST_F(MiscDates, UnixTimesBothWays) {
    EXPECT_EQ(to_unix(at(1970, 1, 1), TimeSerial(0, 0, 1)), L"1");
    EXPECT_EQ(to_unix(at(1969, 12, 31), TimeSerial(23, 59, 59)), L"-1");
    EXPECT_EQ(to_unix(at(2038, 1, 19), TimeSerial(3, 14, 8)), L"2147483648");  // past a Long
    // The day comes from the first argument, the time of day from the second.
    EXPECT_EQ(to_unix(at(1970, 1, 2, 13), at(2024, 6, 1, 0, 0, 5)), L"86405");
    EXPECT_EQ(to_unix(1e300, 0), L"");

    EXPECT_EQ(from_unix(86400), at(1970, 1, 2));
    EXPECT_EQ(from_unix(-1), at(1969, 12, 31, 23, 59, 59));
    EXPECT_EQ(from_unix(1e15), 0.0);  // beyond 9999: the empty date
}

TEST_F(MiscDates, LeapYearsAndMonthLengthsFromTheCalendar) {
    // Two-digit years: 0 is 2000, 4 is 2004, 99 is 1999.
    for (long year : {2000, 2024, 0, 4}) EXPECT_TRUE(leap(year)) << year;
    for (long year : {1900, 2100, 2023, 99, 100, -4, 10000}) EXPECT_FALSE(leap(year)) << year;

    // Month, year (0 is 2000), days.
    const long months[][3] = {{2, 2024, 29}, {2, 2023, 28},  {2, 1900, 28}, {4, 2024, 30},  {12, 9999, 31},
                              {2, 0, 29},    {13, 2024, 0},  {0, 2024, 0},  {1, 10000, 0}};
    for (const auto& c : months) EXPECT_EQ(month_days(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
}

TEST_F(MiscDates, IsoWeeksIgnoreTheTimeOfDay) {
    // Year, month, day, hour, week. 1.1.100 is a Friday: the last week of the year 99;
    // the afternoon of that first day lies below its midnight.
    const int weeks[][5] = {{2021, 1, 1, 0, 53}, {2021, 1, 4, 0, 1},  {2014, 12, 29, 0, 1}, {2024, 12, 31, 0, 1},
                            {2020, 12, 31, 0, 53}, {2024, 6, 15, 0, 24}, {100, 1, 1, 0, 53},  {100, 1, 4, 0, 1},
                            {100, 1, 1, 12, 53}, {9999, 12, 31, 0, 52}};
    for (const auto& c : weeks) EXPECT_EQ(week(at(c[0], c[1], c[2], c[3])), c[4]) << c[0] << "-" << c[1] << "-" << c[2];
    for (long h : {0, 11, 12, 13, 18, 23}) {
        EXPECT_EQ(week(at(2021, 1, 3, h, 59, 59)), 53) << h;
        EXPECT_EQ(week(at(2021, 1, 10, h, 30)), 1) << h;
    }
}

TEST_F(MiscDates, StrictDateAndTimeTexts) {
    // "29.02.04" is 2004; a lenient parser would swap day and month of "12.13.2024".
    for (const wchar_t* good : {L"31.12.2024", L"1.1.1", L"29.2.2024", L"29.02.04"})
        EXPECT_TRUE(valid_date(good)) << good;
    for (const wchar_t* bad : {L"29.02.03", L"2024-12-31", L"31.12.", L"1.1.12345", L"31.02.2024", L"12.13.2024",
                               L"29.02.1900", L"1.1.0", L" 1.1.2024", L"31.12.2024 10:00", L""})
        EXPECT_FALSE(valid_date(bad)) << bad;

    for (const wchar_t* good : {L"23:59:59", L"0:0:0"}) EXPECT_TRUE(valid_time(good)) << good;
    for (const wchar_t* bad : {L"12:30", L"12:60:00", L"24:00:00", L"12:30:00 ", L"1:2:3:4"})
        EXPECT_FALSE(valid_time(bad)) << bad;
}

TEST_F(MiscDates, AgeTextsAndTheLocaleDatePattern) {
    DATE today = qm::Date();
    EXPECT_EQ(age(today - 400), L"1 Year, 1 Month, 4 Days");
    EXPECT_EQ(age(today - 731), L"2 Years, 0 Month, 0 Day");
    EXPECT_EQ(age(today), L"0 Year, 0 Month, 0 Day");
    EXPECT_EQ(age(today + 10), L"-1 Year, 11 Months, 25 Days");

    wchar_t pattern[64];
    int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, pattern, 64);
    Bstr out;
    ASSERT_EQ(m->Get_CurrentDateFormat(out.put()), S_OK);
    EXPECT_EQ(out.str(), std::wstring(pattern, n - 1));
    EXPECT_NE(out.str().find(L'.'), std::wstring::npos);
}

TEST_F(MiscDates, DurationTexts) {
    EXPECT_EQ(time_format(3725), L"01:02:05");
    EXPECT_EQ(time_format(90061, tfSECOND, L"d$&h$"), L"01 Tag und 01 Stunde");
    EXPECT_EQ(time_format(90061, tfSECOND, L"d$ & h$"), L"01 Tag  und  01 Stunde");
    EXPECT_EQ(time_format(1, tfDAY, L"hh:mm:ss", tfHOUR), L"24:00:00");
    EXPECT_EQ(time_format(1, 7), L"");
    EXPECT_EQ(time_format(3725, tfSECOND, L"HH:MM:SS"), L"01:02:05");
    EXPECT_EQ(time_format(2, tfHOUR, L"h$, m$, s$"), L"02 Stunden, 00 Minuten, 00 Sekunden");
    EXPECT_EQ(time_format(400, tfDAY, L"y$ d$ - y/d", tfYEAR), L"01 Jahr 35 Tage - 1/35");
    EXPECT_EQ(time_format(3, tfSECOND, L"hh:mm:ss", tfHOUR), L"00:00:03");
    EXPECT_EQ(time_format(1.5, tfSECOND, L"s"), L"1,5");
    EXPECT_EQ(time_format(90, tfMINUTE, L"mm", tfMINUTE), L"90");
    EXPECT_EQ(time_format(123456789012.3456, tfSECOND, L"s", tfSECOND), L"123456789012,3456");  // every digit
    // An amount of seconds beyond the Currency range: trapped, "".
    EXPECT_EQ(time_format(900000000000.0, tfYEAR), L"");

    // Late-bound with every optional omitted: seconds, "hh:mm:ss", days at most.
    Variant out, value = Variant(qm::CCur(93784.0));
    ASSERT_EQ(call(disp.get(), L"Time_Format", {value.get()}, out.get()), S_OK);
    EXPECT_EQ(qm::CStr(*out.get()), L"02:03:04");
}

TEST_F(MiscDates, SecondsAsATimeOfDay) {
    EXPECT_EQ(second_to_time(0), 0.0);
    EXPECT_EQ(second_to_time(-5), 0.0);
    EXPECT_EQ(second_to_time(86400), 0.0);
    EXPECT_EQ(second_to_time(3661), TimeSerial(1, 1, 1));
    EXPECT_EQ(second_to_time(86399), TimeSerial(23, 59, 59));
}

TEST_F(MiscDates, DifferencesAreExact) {
    DATE a = at(2024, 1, 2, 12), b = at(2024, 1, 1, 10, 30);
    EXPECT_EQ(difference(a, b, ddMINUTES), 1530);
    EXPECT_EQ(difference(a, b, ddDAYS), 1);
    EXPECT_EQ(difference(a, b, ddMONTHS), 0);
    EXPECT_EQ(difference(b, a, ddMINUTES), -1530);
    EXPECT_EQ(difference(b, a, ddSECONDS), -91800);

    // The later time of day on the earlier day: 22 h 30 min, not 1 day plus 1 h 30 min.
    DATE c = at(2024, 1, 2, 10, 30), d = at(2024, 1, 1, 12);
    EXPECT_EQ(difference(c, d, ddMINUTES), 1350);
    EXPECT_EQ(difference(c, d, ddHOURS), 22);
    EXPECT_EQ(difference(c, d, ddSECONDS), 81000);
    EXPECT_EQ(difference(d, c, ddHOURS), -22);
    EXPECT_EQ(difference(c, d, ddDAYS), 1);  // calendar days

    EXPECT_EQ(difference(at(2025, 1, 1), at(2024, 1, 1) - 174, ddYEARS), 2);   // 540 days: 1.5, to even
    EXPECT_EQ(difference(at(2024, 6, 29), at(2024, 1, 1), ddYEARS), 0);        // 180 days: 0.5, to even
    EXPECT_EQ(difference(at(2024, 1, 16), at(2024, 1, 1), ddMONTHS), 0);       // 15 days: 0.5, to even
    EXPECT_EQ(difference(at(2024, 2, 15), at(2024, 1, 1), ddMONTHS), 2);       // 45 days: 1.5, to even
    EXPECT_EQ(difference(a, b, 9), 0);
    EXPECT_EQ(difference(at(100, 1, 1, 12), at(100, 1, 1), ddSECONDS), 43200);
    EXPECT_EQ(difference(at(9999, 12, 31, 23, 59, 59), at(9999, 12, 31), ddSECONDS), 86399);
    EXPECT_EQ(difference(qm::MaxDate + 0.5, 0, ddDAYS), -5);  // no Date
    EXPECT_EQ(difference(at(2100, 1, 1), at(2000, 1, 1), ddSECONDS), -6);  // overflow: minus the error number
}

TEST_F(MiscDates, StopClocks) {
    // Clock 0: the start gives the time of day, a stop the elapsed milliseconds as "0,00".
    Variant start = clock(m.get(), msMSClock, scSTART);
    ASSERT_EQ(start.vt(), VT_DATE);
    EXPECT_GE(V_DATE(start.get()), 0.0);
    EXPECT_LT(V_DATE(start.get()), 1.0);
    for (int i = 0; i < 2; ++i) {
        Variant stop = clock(m.get(), msMSClock, scSTOP);
        ASSERT_EQ(stop.vt(), VT_BSTR);
        std::wstring ms = V_BSTR(stop.get());
        ASSERT_GE(ms.size(), 4u) << ms;
        EXPECT_EQ(ms[ms.size() - 3], L',') << ms;
    }
    Variant since = clock(m.get(), msMSClock, scSTARTTIME);
    EXPECT_EQ(V_DATE(since.get()), V_DATE(start.get()));
    EXPECT_EQ(clock(m.get(), msMSClock, scCURRENTSTOPTIME).vt(), VT_EMPTY);

    // Clock 1: "hh:mm:ss" texts; a stop resets the start to the empty time.
    Variant start1 = clock(m.get(), msNORMALCLOCK, scRESET);
    ASSERT_EQ(start1.vt(), VT_DATE);
    EXPECT_EQ(V_DATE(clock(m.get(), msNORMALCLOCK, scSTARTTIME).get()), V_DATE(start1.get()));
    Variant running = clock(m.get(), msNORMALCLOCK, scCURRENTSTOPTIME);
    EXPECT_GE(clock_seconds(V_BSTR(running.get())), 0);
    EXPECT_GE(clock_seconds(V_BSTR(clock(m.get(), msNORMALCLOCK, scSTOP).get())), 0);
    EXPECT_EQ(V_DATE(clock(m.get(), msNORMALCLOCK, scSTARTTIME).get()), 0.0);
    // The second stop measures from 00:00:00: the time of day itself.
    long now = clock_seconds(qm::FormatDate(qm::Time(), L"hh:mm:ss"));
    long shown = clock_seconds(V_BSTR(clock(m.get(), msNORMALCLOCK, scSTOP).get()));
    EXPECT_LE(std::abs(shown - now) % 86398, 2);

    EXPECT_EQ(clock(m.get(), 2, scSTART).vt(), VT_EMPTY);
    EXPECT_EQ(clock(m.get(), msNORMALCLOCK, 5).vt(), VT_EMPTY);

    // Each instance has its own clocks.
    ComPtr<_Misc> other = create(L"Quillmark.Misc").query<_Misc>();
    EXPECT_EQ(V_DATE(clock(other.get(), msMSClock, scSTARTTIME).get()), 0.0);
}

}  // namespace
