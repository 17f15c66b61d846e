// The runtime value layer: conversions, texts, dates, Format, arrays, the
// collection, the random source and Variant comparison, under the German locale.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <thread>
#include <tuple>
#include <utility>

#include "runtime/ansi.h"
#include "runtime/collection.h"
#include "runtime/compare.h"
#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/format.h"
#include "runtime/random.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "support.h"

using namespace qm;
using qmtest::error_of;

namespace {

Variant str(const wchar_t* s) { return Variant(s); }

DATE dt(int y, int m, int d, int h = 0, int n = 0, int s = 0) { return DateSerial(y, m, d) + TimeSerial(h, n, s); }

}  // namespace

// --- conversions -------------------------------------------------------------------

TEST(Convert, WholeNumbersRoundHalfToEvenAndReportOverflowAndMismatch) {
    EXPECT_EQ(CLng(2.5), 2);
    EXPECT_EQ(CLng(3.5), 4);
    EXPECT_EQ(CLng(-2.5), -2);
    EXPECT_EQ(CInt(str(L"12,5")), 12);  // the German decimal comma
    EXPECT_EQ(CLng(std::wstring_view(L"13,5")), 14);
    EXPECT_EQ(CByte(254.5), 254);
    EXPECT_EQ(error_of([] { CLng(2147483648.0); }), err::Overflow);
    EXPECT_EQ(error_of([] { CInt(40000.0); }), err::Overflow);
    EXPECT_EQ(error_of([] { CByte(-1.0); }), err::Overflow);
    EXPECT_EQ(error_of([] { CLng(str(L"abc")); }), err::TypeMismatch);
    EXPECT_EQ(error_of([] { CLng(Variant::null()); }), err::InvalidUseOfNull);
    EXPECT_EQ(CLng(Variant()), 0);
    EXPECT_DOUBLE_EQ(CDbl(str(L"1.234,5")), 1234.5);
    EXPECT_EQ(CCur(1.23456).int64, 12346);
}

TEST(Convert, TextsOfNumbersDatesAndBooleansFollowTheLocale) {
    EXPECT_EQ(CStr(0.1), L"0,1");
    EXPECT_EQ(CStr(1e20), L"1E+20");
    EXPECT_EQ(CStr(1.0 / 3), L"0,333333333333333");
    EXPECT_EQ(CStr(-7L), L"-7");
    EXPECT_EQ(CStrDate(dt(2024, 12, 31, 12)), L"31.12.2024 12:00:00");
    EXPECT_EQ(CStrDate(dt(2024, 12, 31)), L"31.12.2024");  // no time at midnight
    EXPECT_EQ(CStrDate(0.25), L"06:00:00");               // no date on 30.12.1899
    EXPECT_TRUE(CBool(CStr(true)));
    EXPECT_FALSE(CBool(CStr(false)));
    EXPECT_TRUE(CBool(str(L"True")));
    EXPECT_EQ(error_of([] { CBool(str(L"vielleicht")); }), err::TypeMismatch);
    // A by-reference variable is read through.
    Variant target = str(L"42");
    VARIANT ref;
    V_VT(&ref) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&ref) = target.get();
    EXPECT_EQ(CLng(ref), 42);
    EXPECT_EQ(CStr(ref), L"42");
    EXPECT_EQ(VarType(ref), VT_BSTR);
}

TEST(Convert, ValReadsThePointFormAndStopsAtTheFirstOtherCharacter) {
    // Blanks inside are skipped; the comma ends the number in any locale; "&HFFFF",
    // four digits, is a 16-bit value.
    const std::pair<const wchar_t*, double> cases[] = {
        {L" 12.5abc", 12.5}, {L"1 2 3", 123}, {L"12,5", 12},     {L"-1.5e2x", -150},  {L"7e", 7},   {L"abc", 0},
        {L"", 0},            {L"&HFF", 255},  {L"&HFFFF", -1},   {L"&H10000", 65536}, {L"&O17", 15}};
    for (auto [text, value] : cases) EXPECT_DOUBLE_EQ(Val(text), value) << text;
}

TEST(Convert, StrHexAndOct) {
    EXPECT_EQ(Str(5L), L" 5");
    EXPECT_EQ(Str(-5L), L"-5");
    EXPECT_EQ(Str(12.25), L" 12.25");
    EXPECT_EQ(Str(0.5), L" .5");
    EXPECT_EQ(Str(-0.5), L"-.5");
    EXPECT_EQ(Hex(-1L), L"FFFFFFFF");
    EXPECT_EQ(Hex(255L), L"FF");
    EXPECT_EQ(Hex(0L), L"0");
    EXPECT_EQ(Hex(Variant(static_cast<short>(-1))), L"FFFF");
    EXPECT_EQ(Hex(Variant(255.5)), L"100");  // rounded to a Long first
    EXPECT_EQ(Oct(8L), L"10");
    EXPECT_EQ(Hex(Variant::null()), L"");
}

TEST(Convert, TypeTests) {
    EXPECT_TRUE(IsNumeric(std::wstring_view(L"12,5")));
    EXPECT_TRUE(IsNumeric(std::wstring_view(L" 1.234,5 ")));
    EXPECT_FALSE(IsNumeric(std::wstring_view(L"12a")));
    EXPECT_FALSE(IsNumeric(std::wstring_view(L"")));
    EXPECT_TRUE(IsNumeric(Variant()));
    EXPECT_FALSE(IsNumeric(Variant::date(1)));
    EXPECT_TRUE(IsDate(str(L"31.12.2024")));
    EXPECT_FALSE(IsDate(str(L"31.02.2024")));
    EXPECT_FALSE(IsDate(Variant(5L)));
    EXPECT_TRUE(IsMissing(Variant::missing()));
    EXPECT_FALSE(IsMissing(Variant()));
    EXPECT_EQ(TypeName(Variant(5L)), L"Long");
    EXPECT_EQ(TypeName(Variant()), L"Empty");
    EXPECT_EQ(TypeName(SafeArray(VT_BSTR).to_variant()), L"String()");
    VARIANT nothing;
    V_VT(&nothing) = VT_DISPATCH;
    V_DISPATCH(&nothing) = nullptr;
    EXPECT_EQ(TypeName(nothing), L"Nothing");
    EXPECT_TRUE(IsObject(nothing));
}

TEST(Convert, IntegerDivisionModAndRounding) {
    EXPECT_EQ(IntDiv(7.5, 2), 4);  // 7.5 rounds to 8 first
    EXPECT_EQ(IntDiv(-7, 2), -3);
    EXPECT_EQ(Mod(-7, 3), -1);
    EXPECT_EQ(Mod(7.5, 2), 0);
    EXPECT_EQ(error_of([] { IntDiv(1, 0.4); }), err::DivisionByZero);  // 0.4 rounds to 0
    EXPECT_EQ(error_of([] { Mod(1, 0); }), err::DivisionByZero);
    EXPECT_EQ(error_of([] { IntDiv(-2147483648.0, -1); }), err::Overflow);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_DOUBLE_EQ(Round(1024000.0 / 1048576, 2), 0.98);
    EXPECT_DOUBLE_EQ(Round(0.125, 2), 0.12);
    EXPECT_EQ(error_of([] { Round(1, -1); }), err::InvalidCall);
    EXPECT_EQ(Fix(-2.7), -2);
    EXPECT_EQ(Int(-2.7), -3);
    EXPECT_EQ(Sgn(-0.1), -1);
}

// --- texts ---------------------------------------------------------------------------

TEST(Strings, CuttingFollowsTheRuntimesBounds) {
    EXPECT_EQ(Mid(L"abcdef", 2, 3), L"bcd");
    EXPECT_EQ(Mid(L"abc", 5), L"");
    EXPECT_EQ(Mid(L"abc", 2, 100), L"bc");
    EXPECT_EQ(error_of([] { Mid(L"abc", 0); }), err::InvalidCall);
    EXPECT_EQ(Left(L"abc", 10), L"abc");
    EXPECT_EQ(Right(L"abc", 2), L"bc");
    EXPECT_EQ(error_of([] { Left(L"abc", -1); }), err::InvalidCall);
    EXPECT_EQ(Trim(L"  a b \t "), L"a b \t");  // only blanks are trimmed
    EXPECT_EQ(LTrim(L"   "), L"");
    EXPECT_EQ(Space(3), L"   ");
    EXPECT_EQ(String(2, L'x'), L"xx");
    EXPECT_EQ(StrReverse(L"abc"), L"cba");
    EXPECT_EQ(Len(L"äö"), 2);
    // Texts longer than the runtime's strings hold are refused before anything is made.
    EXPECT_EQ(error_of([] { Space(static_cast<long>(kMaxTextLength + 1)); }), err::OutOfStringSpace);
    EXPECT_EQ(error_of([] { String(LONG_MAX, L'x'); }), err::OutOfStringSpace);
    const std::wstring many(1 << 15, L'a'), long_text((1 << 15) + 1, L'b');
    EXPECT_EQ(error_of([&] { Replace(many, L"a", long_text); }), err::OutOfStringSpace);
}

TEST(Strings, SearchingBinaryAndText) {
    EXPECT_EQ(InStr(L"abcabc", L"bc"), 2);
    EXPECT_EQ(InStr(3, L"abcabc", L"bc"), 5);
    EXPECT_EQ(InStr(L"abc", L"B"), 0);
    EXPECT_EQ(InStr(L"ÄBC", L"äb", CompareMode::Text), 1);
    EXPECT_EQ(InStr(4, L"abc", L""), 4);
    EXPECT_EQ(InStr(5, L"abc", L""), 0);
    EXPECT_EQ(InStr(5, L"abc", L"a"), 0);
    EXPECT_EQ(error_of([] { InStr(0, L"abc", L"a"); }), err::InvalidCall);
    EXPECT_EQ(InStrRev(L"C:\\dir\\file.txt", L"\\"), 7);
    EXPECT_EQ(InStrRev(L"abcabc", L"bc", 4), 2);
    EXPECT_EQ(InStrRev(L"abcabc", L"BC", -1, CompareMode::Text), 5);
    EXPECT_EQ(InStrRev(L"abc", L"x"), 0);
    EXPECT_EQ(StrComp(L"a", L"B"), 1);  // by character code
    EXPECT_EQ(StrComp(L"a", L"B", CompareMode::Text), -1);
    EXPECT_EQ(StrComp(L"ä", L"Ä", CompareMode::Text), 0);
}

TEST(Strings, ReplaceSplitJoin) {
    EXPECT_EQ(Replace(L"a-b-c", L"-", L""), L"abc");
    EXPECT_EQ(Replace(L"a-b-c", L"-", L"+", 1, 1), L"a+b-c");
    EXPECT_EQ(Replace(L"a-b-c", L"-", L"", 3), L"bc");  // the text from start on
    EXPECT_EQ(Replace(L"aXbx", L"x", L"_", 1, -1, CompareMode::Text), L"a_b_");
    EXPECT_EQ(Replace(L"aaa", L"aa", L"b"), L"ba");
    EXPECT_TRUE(Split(L"", L",").empty());
    EXPECT_EQ(Split(L"a,,b", L","), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_EQ(Split(L"a\r\n", L"\r\n"), (std::vector<std::wstring>{L"a", L""}));
    EXPECT_EQ(Split(L"a,b,c", L",", 2), (std::vector<std::wstring>{L"a", L"b,c"}));
    EXPECT_EQ(Split(L"abc", L""), (std::vector<std::wstring>{L"abc"}));
    EXPECT_EQ(Split(L"aXbxc", L"x", -1, CompareMode::Text).size(), 3u);
    EXPECT_EQ(Join({L"a", L"b"}, L", "), L"a, b");
    EXPECT_EQ(Join({}, L","), L"");
}

TEST(Strings, CaseCodesAndCodePages) {
    EXPECT_EQ(LCase(L"ÄÖÜ ABC"), L"äöü abc");
    EXPECT_EQ(UCase(L"äöü"), L"ÄÖÜ");
    EXPECT_EQ(Asc(L"ä"), 228);
    EXPECT_EQ(Asc(L"€"), 128);  // Western code page
    EXPECT_EQ(AscW(L"€"), 8364);
    EXPECT_EQ(Chr(228), L"ä");
    EXPECT_EQ(Chr(0), std::wstring(1, L'\0'));
    EXPECT_EQ(ChrW(8364), L"€");
    EXPECT_EQ(error_of([] { Chr(256); }), err::InvalidCall);
    EXPECT_EQ(error_of([] { Asc(L""); }), err::InvalidCall);
    // OEM and ANSI both ways (code pages 850 and 1252 here): ä is 0x84 in OEM.
    std::wstring oem = ansi_to_oem(L"ä");
    EXPECT_EQ(to_ansi(oem), std::string("\x84"));
    EXPECT_EQ(oem_to_ansi(oem), L"ä");
    EXPECT_EQ(from_oem(to_oem(L"Größe")), L"Größe");
    EXPECT_EQ(ansi_to_oem(L""), L"");
    // Whole texts through the table, as the system converts them: runs of ASCII,
    // of Latin-1 (0xA0 to 0xFF keep their value in 1252), and blocks that hold a
    // unit of 0x80 to 0x9F or beyond 0xFF among them (850 keeps no run).
    for (UINT page : {1252u, 850u}) {
        std::wstring text;
        for (wchar_t u = 0; u < 0x200; ++u) text += u;
        for (wchar_t odd : {L'\x80', L'\x9F', L'\u20AC', L'\u0100'}) text += std::wstring(15, L'\xE4') + odd + std::wstring(16, L'\xFF');
        std::string ours(text.size(), '\0'), system(text.size(), '\0');
        ASSERT_TRUE(ansi_units(text, ours.data(), page));
        WideCharToMultiByte(page, 0, text.data(), static_cast<int>(text.size()), system.data(),
                            static_cast<int>(system.size()), nullptr, nullptr);
        EXPECT_EQ(ours, system) << page;
    }
}

TEST(Strings, ExactCodePageFormsRefuseLookAlikes) {
    // 1252 holds "ä" and "€" exactly; its best-fit table would turn the others
    // into a separator, a quote, an equals sign, another letter or "?".
    struct Case {
        const wchar_t* text;
        UINT page;
        const char* exact;  // nullptr: no exact form
    } cases[] = {{L"", 1252, ""},           {L"plain.ini", 1252, "plain.ini"}, {L"\u00e4\u20ac", 1252, "\xe4\x80"},
                 {L"a\uFF3Cb", 1252, nullptr}, {L"\uFF02", 1252, nullptr},        {L"\uFF1D", 1252, nullptr},
                 {L"k\u03A9", 1252, nullptr},  {L"\u30C7", 1252, nullptr},        {L"\xD800", 1252, nullptr},
                 {L"k\u03A9", 1253, "k\xd9"},  {L"\u30C7", CP_UTF8, "\xe3\x83\x87"}, {L"\xD800", CP_UTF8, nullptr}};
    for (const Case& c : cases) {
        const std::optional<std::string> got = to_ansi_exact(c.text, c.page);
        EXPECT_EQ(holds_exactly(c.text, c.page), c.exact != nullptr) << c.page;
        if (c.exact) {
            EXPECT_EQ(got, std::string(c.exact)) << c.page;
        } else {
            EXPECT_FALSE(got) << c.page;
        }
    }
    EXPECT_FALSE(holds_exactly(L"k\u03A9"));  // the test locale's page: 1252
}

// --- dates ---------------------------------------------------------------------------

TEST(Dates, SerialsRollOverAndSplit) {
    EXPECT_EQ(DateSerial(1899, 12, 30), 0);
    EXPECT_EQ(DateSerial(2024, 13, 1), DateSerial(2025, 1, 1));
    EXPECT_EQ(DateSerial(2024, 3, 0), DateSerial(2024, 2, 29));
    EXPECT_EQ(DateSerial(2024, 0, 1), DateSerial(2023, 12, 1));
    EXPECT_EQ(DateSerial(24, 1, 1), DateSerial(2024, 1, 1));
    EXPECT_EQ(DateSerial(99, 1, 1), DateSerial(1999, 1, 1));
    EXPECT_EQ(error_of([] { DateSerial(10000, 1, 1); }), err::InvalidCall);
    EXPECT_DOUBLE_EQ(TimeSerial(25, 0, 0), 1 + 1.0 / 24);
    DATE before = TimeSerial(-1, 0, 0);  // 29.12.1899 23:00
    EXPECT_EQ(Day(before), 29);
    EXPECT_EQ(Hour(before), 23);
    EXPECT_EQ(Year(-1.25), 1899);  // the fraction counts forward from midnight
    EXPECT_EQ(Day(-1.25), 29);
    EXPECT_EQ(Hour(-1.25), 6);
    DATE d = dt(2024, 12, 31, 23, 59, 59) + 0.9 / 86400;  // rounds to the next second: the next day
    EXPECT_EQ(Year(d), 2025);
    EXPECT_EQ(Second(d), 0);
    EXPECT_EQ(Minute(dt(2024, 1, 1, 10, 30, 15)), 30);
    EXPECT_EQ(Second(dt(2024, 1, 1, 10, 30, 15)), 15);
    EXPECT_DOUBLE_EQ(time_part(-1.25), 0.25);
    EXPECT_DOUBLE_EQ(date_part(-1.25), -1);
}

TEST(Dates, WeekdaysAndNames) {
    DATE fri = dt(2021, 1, 1);
    EXPECT_EQ(Weekday(fri), 6);
    EXPECT_EQ(Weekday(fri, Monday), 5);
    EXPECT_EQ(Weekday(0), 7);  // 30.12.1899 was a Saturday
    EXPECT_EQ(WeekdayName(1, false, Monday), L"Montag");
    EXPECT_EQ(WeekdayName(1, false, Sunday), L"Sonntag");
    EXPECT_EQ(WeekdayName(1), L"Montag");  // the German week begins on Monday
    EXPECT_EQ(MonthName(12), L"Dezember");
    EXPECT_FALSE(MonthName(3, true).empty());
    EXPECT_EQ(error_of([] { MonthName(13); }), err::InvalidCall);
}

TEST(Dates, AddDiffAndPart) {
    EXPECT_EQ(DateAdd(L"m", 1, dt(2024, 1, 31)), dt(2024, 2, 29));
    EXPECT_EQ(DateAdd(L"yyyy", 1, dt(2024, 2, 29, 12)), dt(2025, 2, 28, 12));
    EXPECT_EQ(DateAdd(L"q", -1, dt(2024, 5, 31)), dt(2024, 2, 29));
    EXPECT_EQ(DateAdd(L"s", 86400, dt(1970, 1, 1)), dt(1970, 1, 2));
    EXPECT_EQ(DateAdd(L"S", 1, dt(1970, 1, 1)), dt(1970, 1, 1, 0, 0, 1));
    EXPECT_EQ(DateAdd(L"d", 1.9, dt(2024, 1, 1)), dt(2024, 1, 2));
    EXPECT_EQ(DateAdd(L"h", 1, -1.25), -1.2916666666666667);  // 29.12.1899 07:00
    EXPECT_EQ(DateAdd(L"ww", 1, dt(2024, 12, 30)), dt(2025, 1, 6));
    EXPECT_EQ(error_of([] { DateAdd(L"x", 1, 0); }), err::InvalidCall);
    EXPECT_EQ(error_of([] { DateAdd(L"yyyy", 9000, dt(2024, 1, 1)); }), err::InvalidCall);

    EXPECT_EQ(DateDiff(L"d", dt(2024, 1, 1, 23, 59), dt(2024, 1, 2, 0, 1)), 1);
    EXPECT_EQ(DateDiff(L"d", dt(2024, 1, 2), dt(2024, 1, 1)), -1);
    EXPECT_EQ(DateDiff(L"h", dt(2024, 1, 1, 10, 59), dt(2024, 1, 1, 11, 0)), 1);
    EXPECT_EQ(DateDiff(L"m", dt(2024, 1, 31), dt(2024, 2, 1)), 1);
    EXPECT_EQ(DateDiff(L"yyyy", dt(2023, 12, 31), dt(2024, 1, 1)), 1);
    EXPECT_EQ(DateDiff(L"s", dt(1970, 1, 1), dt(1970, 1, 1, 0, 0, 1)), 1);
    EXPECT_EQ(DateDiff(L"n", dt(2024, 1, 1, 10, 30), dt(2024, 1, 2, 12, 0)), 1530);
    EXPECT_EQ(DateDiff(L"ww", dt(2024, 12, 28), dt(2024, 12, 29)), 1);  // Saturday to Sunday
    EXPECT_EQ(DateDiff(L"ww", dt(2024, 12, 28), dt(2024, 12, 29), Monday), 0);

    EXPECT_EQ(DatePart(L"yyyy", dt(2024, 12, 31)), 2024);
    EXPECT_EQ(DatePart(L"q", dt(2024, 12, 31)), 4);
    EXPECT_EQ(DatePart(L"y", dt(2024, 12, 31)), 366);
    EXPECT_EQ(DatePart(L"w", dt(2021, 1, 1), Monday), 5);
    EXPECT_EQ(DatePart(L"ww", dt(2021, 1, 1), Monday, FirstFourDays), 53);
    EXPECT_EQ(DatePart(L"ww", dt(2021, 1, 4), Monday, FirstFourDays), 1);
    EXPECT_EQ(DatePart(L"ww", dt(2024, 1, 1)), 1);
    EXPECT_EQ(DatePart(L"ww", dt(2024, 12, 31)), 53);
    EXPECT_EQ(DatePart(L"ww", dt(2021, 1, 3), Monday, FirstFullWeek), 52);
}

TEST(Dates, StrictParserRejectsWhatTheSystemParserRepairs) {
    // The system's parser swaps day and month when the month cannot be one.
    ASSERT_TRUE(parse_date(L"12.13.2024"));
    EXPECT_EQ(*parse_date(L"12.13.2024"), dt(2024, 12, 13));
    EXPECT_FALSE(parse_date_strict(L"12.13.2024"));
    EXPECT_EQ(*parse_date_strict(L"31.12.2024"), dt(2024, 12, 31));
    EXPECT_EQ(*parse_date_strict(L" 1.1.24 "), dt(2024, 1, 1));
    EXPECT_EQ(*parse_date_strict(L"29.2.2024 12:30"), dt(2024, 2, 29, 12, 30));
    EXPECT_EQ(*parse_date_strict(L"23:59:59"), TimeSerial(23, 59, 59));
    for (const wchar_t* bad : {L"31.02.2024", L"2024-12-31", L"31.12.", L"1.1.12345", L"31.12.2024x", L"12:60:00",
                               L"24:00:00", L"12.12/2024", L"", L"29.2.1900", L"0.1.2024"})
        EXPECT_FALSE(parse_date_strict(bad)) << bad;
    // The system parser reads the US form that a leap-year test builds.
    EXPECT_TRUE(parse_date(L"02/29/2000"));
    EXPECT_FALSE(parse_date(L"02/29/2023"));
    EXPECT_EQ(CDate(std::wstring_view(L"01.01.1970 00:00:01")), dt(1970, 1, 1, 0, 0, 1));
    EXPECT_EQ(error_of([] { CDate(std::wstring_view(L"kein Datum")); }), err::TypeMismatch);
    EXPECT_EQ(DateValue(L"31.12.2024 18:00"), dt(2024, 12, 31));
    EXPECT_DOUBLE_EQ(TimeValue(L"31.12.2024 18:00"), 0.75);
}

// --- Format --------------------------------------------------------------------------

TEST(Format, DatePatterns) {
    DATE d = dt(2024, 12, 31, 12, 17, 43);
    const std::pair<const wchar_t*, std::wstring> patterns[] = {
        {L"dd.mm.yyyy", L"31.12.2024"}, {L"DD", L"31"},         {L"hh:mm:ss", L"12:17:43"},
        {L"yyyy.mm.dd hh:mm:ss", L"2024.12.31 12:17:43"},      {L"mmmm", L"Dezember"},
        {L"dddd", L"Dienstag"},         {L"ddd", WeekdayName(Weekday(d), true, Sunday)},
        {L"General Date", CStrDate(d)}, {L"Long Time", L"12:17:43"}};
    for (const auto& [pattern, text] : patterns) EXPECT_EQ(FormatDate(d, pattern), text) << pattern;
    EXPECT_EQ(FormatDate(1 + 1.0 / 24, L"hh:mm:ss"), L"01:00:00");  // only the time of day shows
    EXPECT_EQ(FormatDateTime(d, DateForm::LongTime), L"12:17:43");
    EXPECT_EQ(FormatDateTime(d, DateForm::ShortDate), CStrDate(dt(2024, 12, 31)));
    EXPECT_EQ(Format(str(L"31.12.2024"), L"yyyy-mm-dd"), L"2024-12-31");
}

TEST(Format, NumberPatterns) {
    const std::tuple<long, const wchar_t*, const wchar_t*> wholes[] = {
        {5, L"00", L"05"},    {123, L"00", L"123"}, {-5, L"00", L"-05"},
        {7, L"000", L"007"},  {5, L"##00", L"05"},  {1234567, L"###,###,###,##0", L"1.234.567"},
        {0, L"###,###,###,##0", L"0"}};
    for (auto [number, pattern, text] : wholes) EXPECT_EQ(Format(number, pattern), text) << number << pattern;
    // Halves go away from zero, at 15 digits (2.345).
    const std::tuple<double, const wchar_t*, const wchar_t*> fractions[] = {
        {1234.567, L"0.00", L"1234,57"}, {2.345, L"0.00", L"2,35"},  {0.5, L"0", L"1"},
        {-0.5, L"0", L"-1"},             {0.125, L"0.00", L"0,13"},  {1234.5, L"###,###.##", L"1.234,5"},
        {1234.0, L"###,###.", L"1.234,"}, {0.5, L"0%", L"50%"}};
    for (auto [number, pattern, text] : fractions) EXPECT_EQ(Format(number, pattern), text) << number << pattern;
    EXPECT_EQ(Format(str(L"12,5"), L"0.00"), L"12,50");
    EXPECT_EQ(Format(str(L"abc"), L"0.00"), L"abc");
    EXPECT_EQ(Format(Variant::null(), L"00"), L"");
    EXPECT_EQ(Format(Variant(), L""), L"");
    EXPECT_EQ(Format(Variant(), L"00"), L"00");
    EXPECT_EQ(Format(Variant(1.5), L""), L"1,5");
}

// --- arrays --------------------------------------------------------------------------

TEST(SafeArray, UndimensionedDiffersFromEmpty) {
    SafeArray none(VT_BSTR);
    EXPECT_FALSE(none.dimensioned());
    EXPECT_EQ(error_of([&] { none.lbound(); }), err::SubscriptOutOfRange);
    Variant v = std::move(none).to_variant();
    EXPECT_EQ(v.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_TRUE(IsArray(v));
    EXPECT_EQ(array_of(v), nullptr);
    Variant copy = v;  // copies of an undimensioned array stay undimensioned
    EXPECT_EQ(copy.vt(), VT_ARRAY | VT_BSTR);

    SafeArray empty = string_array(Split(L"", L","));
    EXPECT_TRUE(empty.dimensioned());
    EXPECT_EQ(empty.lbound(), 0);
    EXPECT_EQ(empty.ubound(), -1);
    EXPECT_EQ(empty.count(), 0);
}

TEST(SafeArray, BoundsElementsAndRedim) {
    SafeArray a(VT_I4, 3, 5);
    EXPECT_EQ(a.lbound(), 5);
    EXPECT_EQ(a.ubound(), 7);
    a.at<long>(5) = 10;
    a.set(6, *str(L"12,5").get());  // converted to the element type
    EXPECT_EQ(a.at<long>(6), 12);
    EXPECT_EQ(error_of([&] { a.at<long>(4); }), err::SubscriptOutOfRange);
    EXPECT_EQ(error_of([&] { a.at<long>(8); }), err::SubscriptOutOfRange);
    EXPECT_EQ(error_of([&] { a.at<short>(5); }), err::TypeMismatch);
    EXPECT_EQ(error_of([&] { a.set(7, *str(L"x").get()); }), err::TypeMismatch);
    a.redim_preserve(9);
    EXPECT_EQ(a.lbound(), 5);
    EXPECT_EQ(a.ubound(), 9);
    EXPECT_EQ(a.at<long>(5), 10);
    EXPECT_EQ(a.at<long>(9), 0);
    a.redim_preserve(5);
    EXPECT_EQ(a.count(), 1);
    a.redim_preserve(4);  // no elements left, still dimensioned
    EXPECT_EQ(a.count(), 0);
    a.redim_preserve(5);
    EXPECT_EQ(a.at<long>(5), 0);
    a.redim(2);
    EXPECT_EQ(a.lbound(), 0);
    EXPECT_EQ(a.at<long>(1), 0);
    EXPECT_EQ(a.vartype(), VT_I4);
    a.erase();
    EXPECT_FALSE(a.dimensioned());
    a.redim_preserve(0);  // an undimensioned array is dimensioned from 0
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(a.vartype(), VT_I4);

    SafeArray s = string_array({L"a", L"b"});
    s.redim_preserve(2);
    s.set_text(2, L"c");
    EXPECT_EQ(texts_of(s.get()), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(CStr(s.get(1)), L"b");
    SAFEARRAYBOUND b{1, 0};
    SafeArrayLock(s.get());
    EXPECT_EQ(error_of([&] { s.redim_preserve(5); }), err::ArrayLocked);
    SafeArrayUnlock(s.get());
    (void)b;
}

// Index minus lower bound does not fit a Long near its limits: no index may wrap
// past the bounds check, and no walk to 2^31 - 1 may wrap round.
TEST(SafeArray, IndexArithmeticNearTheLongLimits) {
    const struct {
        long lbound, count, index, error;
    } cases[] = {
        {-3, 9, LONG_MAX, err::SubscriptOutOfRange},
        {-3, 9, LONG_MIN, err::SubscriptOutOfRange},
        {1, 1, LONG_MIN, err::SubscriptOutOfRange},
        {LONG_MIN, 2, LONG_MAX, err::SubscriptOutOfRange},
        {LONG_MIN, 2, LONG_MIN + 1, 0},
        {LONG_MAX - 2, 3, LONG_MAX, 0},
    };
    for (const auto& c : cases) {
        SafeArray a(VT_I4, c.count, c.lbound);
        EXPECT_EQ(error_of([&] { a.at<long>(c.index) = 1; }), c.error) << c.lbound << " " << c.index;
    }
    EXPECT_EQ(error_of([] { SafeArray(VT_I4, 3, LONG_MAX - 1); }), err::Overflow);  // no upper bound
    EXPECT_EQ(error_of([] { SafeArray(VT_I4, 0, LONG_MIN); }), err::Overflow);
    SafeArray top(VT_I4, 2, LONG_MAX - 1);
    EXPECT_EQ(error_of([&] { top.redim_preserve(LONG_MIN); }), err::SubscriptOutOfRange);
    long long visited = 0;
    for (long i : indices(top.lbound(), top.ubound())) visited += i == LONG_MAX;
    EXPECT_EQ(visited, 1);
}

TEST(SafeArray, BuildReadAndConvert) {
    SafeArray v = variant_array({Variant(1L), str(L"x"), Variant::date(dt(2024, 12, 31))});
    auto elems = elements_of(v.get());
    ASSERT_EQ(elems.size(), 3u);
    EXPECT_EQ(elems[1].vt(), VT_BSTR);
    EXPECT_EQ(texts_of(v.get())[2], L"31.12.2024");
    SafeArray l = long_array({3, -1});
    EXPECT_EQ(texts_of(l.get()), (std::vector<std::wstring>{L"3", L"-1"}));
    SafeArray by = byte_array(std::string("\x01\xFF", 2));
    EXPECT_EQ(by.at<BYTE>(1), 255);
    SafeArray asText = convert_array(l.get(), VT_BSTR);
    EXPECT_EQ(asText.text(1), L"-1");
    EXPECT_EQ(error_of([&] { convert_array(v.get(), VT_I4); }), err::TypeMismatch);
    SafeArray copy = v;  // deep copy
    copy.set(0, *Variant(2L).get());
    EXPECT_EQ(CLng(v.get(0)), 1);
}

TEST(SafeArray, AssignIntoByRefArgumentsKeepsTypedVariables) {
    // A String() variable passed by reference: the elements become texts.
    SAFEARRAY* typed = nullptr;
    VARIANT arg;
    V_VT(&arg) = VT_BYREF | VT_ARRAY | VT_BSTR;
    V_ARRAYREF(&arg) = &typed;
    EXPECT_TRUE(IsArray(arg));
    EXPECT_EQ(array_type(arg), VT_BSTR);
    assign_array(arg, variant_array({Variant(1L), Variant(2.5)}));
    SafeArray got = SafeArray::attach(typed);
    EXPECT_EQ(got.vartype(), VT_BSTR);
    EXPECT_EQ(got.text(1), L"2,5");
    got.detach();
    assign_array(arg, SafeArray(VT_VARIANT));  // Erase: undimensioned, still String()
    EXPECT_EQ(typed, nullptr);

    // A Variant variable (as a script passes it) takes the array as it is.
    Variant var(5L);
    VARIANT ref;
    V_VT(&ref) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&ref) = var.get();
    assign_array(ref, long_array({7}));
    EXPECT_EQ(var.vt(), VT_ARRAY | VT_I4);
    EXPECT_EQ(array_copy(ref).at<long>(0), 7);
    EXPECT_EQ(error_of([] { array_copy(Variant(1L)); }), err::TypeMismatch);
}

namespace {
struct Point {
    long X;
    long Y;
    BSTR Name;
};

// The record type ProbePoint of the dispatcher tests' type library, which the
// build puts beside the test programs (tests/probe/probe.tlb).
ComPtr<IRecordInfo> probe_point() {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring file = exe;
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"probe\\probe.tlb";
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadTypeLibEx(file.c_str(), REGKIND_NONE, lib.put()))) return {};
    GUID g = {0xCCB9DAA5, 0x7EA3, 0x48EE, {0xB6, 0x6C, 0x46, 0xE1, 0x48, 0x6A, 0xF8, 0x6C}};
    ComPtr<ITypeInfo> info;
    if (FAILED(lib->GetTypeInfoOfGuid(g, info.put()))) return {};
    ComPtr<IRecordInfo> rec;
    GetRecordInfoFromTypeInfo(info.get(), rec.put());
    return rec;
}
}  // namespace

TEST(SafeArray, RecordArrays) {
    ComPtr<IRecordInfo> rec = probe_point();
    ASSERT_TRUE(rec);
    ULONG size = 0;
    rec->GetSize(&size);
    ASSERT_EQ(size, sizeof(Point));
    SafeArray a = SafeArray::records(rec.get(), 2, 1);

    EXPECT_EQ(a.vartype(), VT_RECORD);
    a.at<Point>(2).Name = Bstr(L"zwei").detach();
    a.at<Point>(2).X = 2;
    Variant elem = a.get(2);
    EXPECT_EQ(elem.vt(), VT_RECORD);
    EXPECT_EQ(static_cast<Point*>(V_RECORD(elem.get()))->X, 2);
    a.redim_preserve(3);  // records survive ReDim Preserve
    EXPECT_EQ(text_of(a.at<Point>(2).Name), L"zwei");
    a.set(3, *elem.get());
    EXPECT_EQ(text_of(a.at<Point>(3).Name), L"zwei");
    SafeArray copy = a;
    EXPECT_EQ(copy.at<Point>(3).X, 2);
    a.erase();
    a.redim(1);  // the record type is kept while undimensioned
    EXPECT_EQ(a.at<Point>(0).X, 0);
    EXPECT_EQ(error_of([&] { a.at<long>(0); }), err::TypeMismatch);
}

// --- collection, random source, comparison -------------------------------------------

TEST(Collection, KeysAreCaseInsensitiveAndIndicesOneBased) {
    Collection c;
    c.Add(Variant(1L), L"Eins");
    c.Add(Variant(2L));
    c.Add(Variant(0L), L"null", 1);  // before the first
    EXPECT_EQ(c.Count(), 3);
    EXPECT_EQ(CLng(c.Item(1)), 0);
    EXPECT_EQ(CLng(c.Item(L"EINS")), 1);
    EXPECT_EQ(error_of([&] { c.Add(Variant(9L), L"eins"); }), err::DuplicateKey);
    EXPECT_EQ(error_of([&] { c.Item(0); }), err::SubscriptOutOfRange);
    EXPECT_EQ(error_of([&] { c.Item(4); }), err::SubscriptOutOfRange);
    EXPECT_EQ(error_of([&] { c.Item(L"zwei"); }), err::InvalidCall);
    c.Remove(L"NULL");
    EXPECT_EQ(CLng(c.Item(L"eins")), 1);
    EXPECT_EQ(CLng(c.Item(2)), 2);
    c.Add(Variant(3L), L"drei", 0, 1);  // after the first
    EXPECT_EQ(CLng(c.Item(2)), 3);
    EXPECT_TRUE(c.Exists(L"DREI"));
    c.Remove(1);
    EXPECT_FALSE(c.Exists(L"eins"));
    EXPECT_EQ(CLng(c.Item(L"drei")), 3);
}

TEST(Random, TheRuntimesGenerator) {
    float first = 0;
    std::thread([&] { first = Rnd(); }).join();  // a fresh thread starts from the runtime's seed
    EXPECT_FLOAT_EQ(first, 0.7055475f);
    EXPECT_FLOAT_EQ(Rnd(-1), 0.224007f);
    float again = Rnd(0);
    EXPECT_FLOAT_EQ(again, 0.224007f);
    Rnd(-3);
    Randomize(5);
    float a1 = Rnd(), a2 = Rnd();
    Rnd(-3);
    Randomize(5);
    EXPECT_EQ(Rnd(), a1);
    EXPECT_EQ(Rnd(), a2);
    Randomize();
    for (int i = 0; i < 1000; ++i) {
        float r = Rnd();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
    }
}

TEST(Compare, AsTheRuntimeCompares) {
    EXPECT_EQ(compare(str(L"a"), str(L"B")), 1);  // by character code
    EXPECT_EQ(compare(str(L"a"), str(L"B"), CompareMode::Text), -1);
    EXPECT_EQ(compare(str(L"10"), str(L"9")), -1);  // texts as texts
    EXPECT_EQ(compare(Variant(10L), Variant(9.5)), 1);
    EXPECT_EQ(compare(Variant(2L), Variant(2.0)), 0);
    EXPECT_EQ(compare(Variant::date(1), Variant(1.0)), 0);
    EXPECT_EQ(compare(Variant(5L), str(L"a")), -1);  // a number before a text
    EXPECT_EQ(compare(Variant(), str(L"")), 0);
    EXPECT_EQ(compare(Variant::null(), Variant(0L)), -1);
    EXPECT_TRUE(equal(str(L"ÄB"), str(L"äb"), CompareMode::Text));
    EXPECT_FALSE(equal(str(L"ÄB"), str(L"äb")));
    std::vector<Variant> v{Variant(3L), Variant(1L), Variant(2L)};
    std::sort(v.begin(), v.end(), [](const Variant& x, const Variant& y) { return compare(x, y) < 0; });
    EXPECT_EQ(CLng(v[0]), 1);
}
