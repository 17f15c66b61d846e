// Misc: the user's monetary settings, the language names Windows knows, the
// installed fonts with their files, and the time zone's name.
#include <windows.h>

#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "files/filebase.h"
#include "files/registry_key.h"
#include "frame/misc.h"
#include "frame/misc_internal.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/format.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"

namespace qm {

namespace {

constexpr GUID kFontInfo = {0x2725FB50, 0x925B, 0x47CB, {0x91, 0x42, 0x00, 0x1B, 0xC0, 0x11, 0x1D, 0xD4}};

// One item of the user's default locale; "" when Windows has none.
BSTR locale_item(LCTYPE item) {
    wchar_t buffer[100] = {};
    int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, 99);
    return Bstr(n > 0 ? std::wstring_view(buffer) : std::wstring_view()).detach();
}

// The file's size as the list shows it: whole kilobytes with the locale's group
// separators and " KB"; "" when the file is not there.
std::wstring size_text(const std::wstring& path) {
    long error = 0;
    VARIANT_BOOL exists = VARIANT_FALSE;
    check(shared<_File>()->Exist(Bstr(path).get(), &error, &exists));
    if (!exists) return {};
    double kilobytes = static_cast<double>(FileLen(path)) / 1024.0;
    return Format(kilobytes, L"###,###,###,##0") + L" KB";
}

}  // namespace

namespace misc {

std::vector<FontEntry> registered_fonts(RegRoot root, const std::wstring& key) {
    std::vector<FontEntry> fonts;
    Bstr windows;
    SystemDirectory which = sdSystem_Windows;
    check(shared<_System>()->SystemDirectory(&which, windows.put()));
    VARIANT_BOOL nt = VARIANT_TRUE;
    check(shared<_System>()->isWindowsNT(&nt));

    reg::Key fonts_key;
    if (!fonts_key.open(root, key.c_str(), KEY_QUERY_VALUE)) return fonts;
    // Value names may be as long as the registry allows (16,383 characters).
    std::vector<wchar_t> name(16384);
    Bstr key_text(key);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(fonts_key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (!nt && length == 0) continue;
        FontEntry font;
        font.name.assign(name.data(), length);
        Variant data;
        check(shared<_Registry>()->ValueGet(root, key_text.get(), Bstr(font.name).get(), nullptr, data.put()));
        font.file = data.vt() == VT_BSTR ? std::wstring(text_of(V_BSTR(data.get()))) : std::wstring();
        std::wstring path = font.file.find(L'\\') != std::wstring::npos
                                ? font.file
                                : AddBackslash(text_of(windows.get())) + L"Fonts\\" + font.file;
        if (!font.file.empty()) font.size = size_text(path);
        fonts.push_back(std::move(font));
    }
    return fonts;
}

std::wstring time_zone_name() {
    // The display name of the zone Windows runs in, from its registry entry.
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    if (GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID || !zone.TimeZoneKeyName[0]) return {};
    std::wstring key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\";
    key += zone.TimeZoneKeyName;
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Display", RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return {};
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Display", RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
        ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), size / sizeof(wchar_t)));
    return text;
}

}  // namespace misc

HRESULT Misc::Get_LocaleInfo(LocaleInfoType* result) {
    if (!result) return E_POINTER;
    *result = LocaleInfoType{};
    return untrapped([&] {
        LocaleInfoType info{};
        info.liCurrency = locale_item(LOCALE_SCURRENCY);
        info.liIntlSymbol = locale_item(LOCALE_SINTLSYMBOL);
        info.liMonDecimalSep = locale_item(LOCALE_SMONDECIMALSEP);
        info.liCurrDigits = locale_item(LOCALE_ICURRDIGITS);
        info.liMonThousAndSep = locale_item(LOCALE_SMONTHOUSANDSEP);
        info.liMonGroupIng = locale_item(LOCALE_SMONGROUPING);
        *result = info;
    });
}

HRESULT Misc::Get_AllLanguages(SAFEARRAY** result) {
    return untrapped(result, [] {
        std::vector<std::wstring> entries;
        std::unordered_set<std::wstring> seen;  // the names so far, compared without case
        for (DWORD primary = 0; primary <= 255; ++primary) {
            for (DWORD sub = 0; sub <= 16; ++sub) {
                DWORD id = sub * 1024 + primary;
                wchar_t name[256];
                DWORD n = VerLanguageNameW(id, name, 256);
                if (n == 0) continue;
                std::wstring text(name, std::min<DWORD>(n, 255));
                if (!seen.insert(LCase(text)).second) continue;
                wchar_t hex[8];
                std::swprintf(hex, 8, L"%04X", static_cast<unsigned>(id));
                entries.push_back(L"&H" + std::wstring(hex) + L"   " + text);
            }
        }
        return string_array(entries).detach();
    });
}

HRESULT Misc::Get_SystemFonts(SAFEARRAY** result) {
    return untrapped(result, [] {
        VARIANT_BOOL nt = VARIANT_TRUE;
        check(shared<_System>()->isWindowsNT(&nt));
        const wchar_t* key = nt ? L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
                                : L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
        std::vector<misc::FontEntry> fonts = misc::registered_fonts(HKEY_LOCAL_MACHINE_, key);
        SafeArray list = SafeArray::records(kFontInfo, static_cast<long>(fonts.size()));
        for (size_t i = 0; i < fonts.size(); ++i) {
            FONTINFO& f = list.at<FONTINFO>(static_cast<long>(i));
            f.RegsiteredFontName = Bstr(fonts[i].name).detach();
            f.Filename = Bstr(fonts[i].file).detach();
            f.FileSize = Bstr(fonts[i].size).detach();
        }
        return list.detach();
    });
}

HRESULT Misc::Get_TimeZoneInformation(long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Misc, L"Get_TimeZoneInformation", ErrorNumber}, result, Bstr(), [&] {
        auto services = wmi::bind(L"winmgmts:\\\\.\\root\\CIMV2");
        Variant query, language, flags;
        V_VT(query.get()) = VT_BSTR;
        V_BSTR(query.get()) = Bstr(L"SELECT * FROM Win32_TimeZone").detach();
        V_VT(language.get()) = VT_BSTR;
        V_BSTR(language.get()) = Bstr(L"WQL").detach();
        V_VT(flags.get()) = VT_I4;
        V_I4(flags.get()) = 48;  // return at once, forward only
        Variant set = wmi::call(services.get(), L"ExecQuery", {query, language, flags});
        if (set.vt() != VT_DISPATCH || !V_DISPATCH(set.get())) raise(err::ObjectRequired);
        std::wstring caption;
        bool any = false;
        for (auto& zone : wmi::items(V_DISPATCH(set.get()))) {
            caption = wmi::text(zone.get(), L"Caption");
            any = true;
        }
        // A platform whose WMI lists no zone: the name Windows itself keeps for it.
        if (!any) caption = misc::time_zone_name();
        return Bstr(caption);
    });
}

}  // namespace qm
