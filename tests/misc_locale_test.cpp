// Misc's monetary settings, language names, installed fonts and time zone.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "frame/misc.h"
#include "frame/misc_internal.h"
#include "frame/shared.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using namespace qmtest;

namespace {

const wchar_t kFontKey[] = L"Software\\QuillmarkTest\\misc_fonts";

class MiscLocale : public ::testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.Misc");
        ASSERT_TRUE(disp);
        m = disp.query<_Misc>();
        ASSERT_TRUE(m);
    }
    ComPtr<IDispatch> disp;
    ComPtr<_Misc> m;
};

TEST_F(MiscLocale, MonetarySettingsOfTheGermanLocaleEarlyAndLateBound) {
    LocaleInfoType info{};
    ASSERT_EQ(m->Get_LocaleInfo(&info), S_OK);
    const std::vector<std::wstring> got = {qm::text_of(info.liCurrency).data(),   qm::text_of(info.liIntlSymbol).data(),
                                           qm::text_of(info.liMonDecimalSep).data(), qm::text_of(info.liCurrDigits).data(),
                                           qm::text_of(info.liMonThousAndSep).data(), qm::text_of(info.liMonGroupIng).data()};
    EXPECT_EQ(got, (std::vector<std::wstring>{L"\u20AC", L"EUR", L",", L"2", L".", L"3;0"}));
    for (BSTR s : {info.liCurrency, info.liIntlSymbol, info.liMonDecimalSep, info.liCurrDigits, info.liMonThousAndSep,
                   info.liMonGroupIng})
        SysFreeString(s);

    Variant late;
    ASSERT_EQ(call(disp.get(), L"Get_LocaleInfo", {}, late.put()), S_OK);
    ASSERT_EQ(late.vt(), VT_RECORD);
    auto* record = static_cast<LocaleInfoType*>(V_RECORD(late.get()));
    EXPECT_EQ(qm::text_of(record->liCurrency), L"\u20AC");
    EXPECT_EQ(qm::text_of(record->liMonGroupIng), L"3;0");
}

TEST_F(MiscLocale, LanguagesEachNameOnceAtItsFirstIdentifierInLoopOrder) {
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(m->Get_AllLanguages(&sa), S_OK);
    SafeArray list = SafeArray::attach(sa, VT_BSTR);
    ASSERT_GT(list.count(), 10);
    EXPECT_EQ(list.lbound(), 0);
    const std::wregex entry(LR"(&H([0-9A-F]{4})   (.+))");
    std::set<std::wstring> names;
    long previous = -1;
    std::vector<std::wstring> german;
    for (long i = 0; i <= list.ubound(); ++i) {
        std::wstring text(list.text(i));
        std::wsmatch parts;
        ASSERT_TRUE(std::regex_match(text, parts, entry)) << i;
        long id = std::stol(parts[1].str(), nullptr, 16);
        long order = (id & 0x3FF) * 17 + (id >> 10);  // primary language outer, sublanguage inner
        EXPECT_GT(order, previous) << i;
        previous = order;
        EXPECT_TRUE(names.insert(qm::LCase(parts[2].str())).second) << "twice: " << parts[2].str();
        german.push_back(parts[2].str());
    }
    // The system's name of 0x0407 appears once, at the first identifier that has it.
    wchar_t name[256];
    DWORD n = VerLanguageNameW(0x0407, name, 256);
    ASSERT_GT(n, 0u);
    std::wstring expected;
    for (DWORD p = 0; p <= 255 && expected.empty(); ++p)
        for (DWORD u = 0; u <= 16 && expected.empty(); ++u) {
            wchar_t other[256];
            DWORD k = VerLanguageNameW(u * 1024 + p, other, 256);
            if (k && CompareStringOrdinal(other, static_cast<int>(k), name, static_cast<int>(n), TRUE) == CSTR_EQUAL) {
                wchar_t hex[8];
                swprintf(hex, 8, L"%04X", u * 1024 + p);
                expected = L"&H" + std::wstring(hex) + L"   " + std::wstring(other, k);
            }
        }
    long hits = 0;
    for (long i = 0; i <= list.ubound(); ++i) hits += list.text(i) == expected;
    EXPECT_EQ(hits, 1) << expected;
}

TEST_F(MiscLocale, FontWalkSizesResolvesAndSurvivesLongNames) {
    const std::wstring big = scratch() + L"font_big.bin";
    write_bytes(big, std::string(10240000, 'x'));
    // A file that exists under the Windows folder's Fonts, named bare.
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    WIN32_FIND_DATAW found{};
    HANDLE h = FindFirstFileW((std::wstring(windows) + L"\\Fonts\\*.*").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    while (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ASSERT_TRUE(FindNextFileW(h, &found));
    FindClose(h);
    const std::wstring bare = found.cFileName;

    RegDeleteTreeW(HKEY_CURRENT_USER, kFontKey);
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kFontKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring long_name = std::wstring(300, L'L') + L" (TrueType)";
    const std::vector<std::pair<std::wstring, std::wstring>> values = {
        {L"Missing (TrueType)", scratch() + L"no_such_font.ttf"},
        {long_name, big},
        {L"Bare (TrueType)", bare},
        {L"After (TrueType)", L"no_such_font_either.ttf"},
    };
    for (auto& [name, data] : values)
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    std::vector<qm::misc::FontEntry> fonts = qm::misc::registered_fonts(HKEY_CURRENT_USER_, kFontKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kFontKey);
    DeleteFileW(big.c_str());
    ASSERT_EQ(fonts.size(), values.size());
    for (auto& f : fonts) {
        if (f.name == values[0].first) {
            EXPECT_EQ(f.file, values[0].second);
            EXPECT_EQ(f.size, L"");
        } else if (f.name == long_name) {
            EXPECT_EQ(f.file, big);
            EXPECT_EQ(f.size, L"10.000 KB");
        } else if (f.name == values[2].first) {
            EXPECT_EQ(f.file, bare);
            EXPECT_TRUE(f.size.size() > 3 && f.size.ends_with(L" KB")) << f.size;
        } else {
            EXPECT_EQ(f.name, values[3].first);
            EXPECT_EQ(f.size, L"");
        }
    }
    EXPECT_TRUE(qm::misc::registered_fonts(HKEY_CURRENT_USER_, kFontKey).empty());  // no key: no fonts

    // The member lists the system's fonts as records, early and late bound.
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(m->Get_SystemFonts(&sa), S_OK);
    SafeArray list = SafeArray::attach(sa, VT_RECORD);
    for (long i = 0; i < list.count(); ++i) EXPECT_GT(SysStringLen(list.at<FONTINFO>(i).Filename), 0u) << i;
    Variant late;
    ASSERT_EQ(call(disp.get(), L"Get_SystemFonts", {}, late.put()), S_OK);
    EXPECT_EQ(late.vt(), VT_ARRAY | VT_RECORD);
}

TEST_F(MiscLocale, TimeZoneIsTheCurrentZonesDisplayNameOrAReportedError) {
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    GetDynamicTimeZoneInformation(&zone);
    wchar_t display[256] = {};
    DWORD size = sizeof(display);
    RegGetValueW(HKEY_LOCAL_MACHINE,
                 (std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\") + zone.TimeZoneKeyName)
                     .c_str(),
                 L"Display", RRF_RT_REG_SZ, nullptr, display, &size);
    long error = -1;
    Bstr name;
    ASSERT_EQ(m->Get_TimeZoneInformation(&error, name.put()), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.str(), display);

    // A namespace that does not exist: "", the error number and a log entry.
    ErrorLog errors(ErrorLog::linked);
    _Misc* local = qm::shared<_Misc>();
    qm::wmi::set_namespace_override(L"root\\QuillmarkMissing");
    Bstr none(L"x");
    ASSERT_EQ(local->Get_TimeZoneInformation(&error, none.put()), S_OK);
    qm::wmi::set_namespace_override(L"");
    EXPECT_NE(error, 0);
    EXPECT_EQ(none.str(), L"");
    EXPECT_TRUE(errors.has("Get_TimeZoneInformation")) << errors.text();
}

}  // namespace
