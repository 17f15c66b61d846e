// INI: single entries through the system's private-profile functions.
#include <string>

#include "files/ini.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr wchar_t kCrLf[] = L"\r\n";

std::string ansi(BSTR s) { return to_ansi(text_of(s)); }

std::wstring_view token_of(const BSTR* token) { return token ? text_of(*token) : std::wstring_view(); }

}  // namespace

// At most 254 characters of the value; "" when file, section or key is missing.
// A default no entry can hold (an entry ends at its line's end) tells a missing
// key from an empty one.
bool read_ini_entry(std::wstring_view path, std::wstring_view section, std::wstring_view key, std::wstring& value) {
    static constexpr char kAbsent[] = "\n";
    char buffer[255] = {};
    DWORD n = GetPrivateProfileStringA(to_ansi(section).c_str(), to_ansi(key).c_str(), kAbsent, buffer, 255,
                                       to_ansi(path).c_str());
    std::string_view read(buffer, n);
    if (read == kAbsent) return false;
    value = from_ansi(read);
    return true;
}

HRESULT INI::Read_INI(BSTR INIpath, BSTR Section, BSTR Key, BSTR* ReplacevbCrlf, BSTR* result) {
    return untrapped(result, [&] {
        std::wstring value;
        read_ini_entry(text_of(INIpath), text_of(Section), text_of(Key), value);
        std::wstring_view token = token_of(ReplacevbCrlf);
        if (!token.empty()) value = Replace(value, token, kCrLf);
        return Bstr(value);
    });
}

// Line breaks in Value become the token first, so that the entry stays on one line.
HRESULT INI::Write_INI(BSTR INIpath, BSTR Section, BSTR Abschnitt, BSTR Value, BSTR* ReplacevbCrlf,
                       VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring value(text_of(Value));
        std::wstring_view token = token_of(ReplacevbCrlf);
        if (!token.empty()) value = Replace(value, kCrLf, token);
        return WritePrivateProfileStringA(ansi(Section).c_str(), ansi(Abschnitt).c_str(), to_ansi(value).c_str(),
                                          ansi(INIpath).c_str()) != FALSE;
    });
}

HRESULT INI::RemoveSection(BSTR INIpath, BSTR Section) {
    return untrapped([&] {
        WritePrivateProfileStringA(ansi(Section).c_str(), nullptr, nullptr, ansi(INIpath).c_str());
    });
}

HRESULT INI::DeleteKey(BSTR INIpath, BSTR Section, BSTR Key) {
    return untrapped([&] {
        WritePrivateProfileStringA(ansi(Section).c_str(), ansi(Key).c_str(), nullptr, ansi(INIpath).c_str());
    });
}

}  // namespace qm
