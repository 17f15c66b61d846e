// INI: single entries through the system's private-profile functions.
#include <string>

#include "files/ini.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr wchar_t kCrLf[] = L"\r\n";

std::string file(BSTR s) { return profile_file(text_of(s)); }
std::string ansi(BSTR s) { return profile_text(text_of(s)); }

std::wstring_view token_of(const BSTR* token) { return token ? text_of(*token) : std::wstring_view(); }

}  // namespace

// A bare file name lives in the Windows folder; any other is made absolute.
std::string profile_file(std::wstring_view path) {
    const std::wstring p(path);
    check_plain_path(p);
    size_t full = 0;
    if (p.find_first_of(L"\\/:") == std::wstring::npos) {
        full = GetWindowsDirectoryW(nullptr, 0) + p.size();  // the folder, its backslash, the name
    } else {
        const DWORD n = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
        full = n ? n - 1 : p.size();
    }
    if (full > limit::kPath) raise(err::BadFileNameOrNumber);
    return profile_text(p);
}

std::string profile_text(std::wstring_view text) {
    std::string ansi = to_ansi(text);
    check_ansi_text(ansi);
    return ansi;
}

// At most 254 characters of the value; "" when file, section or key is missing.
// A default no entry can hold (an entry ends at its line's end) tells a missing
// key from an empty one.
bool read_ini_entry(std::wstring_view path, std::wstring_view section, std::wstring_view key, std::wstring& value) {
    static constexpr char kAbsent[] = "\n";
    const std::string file = profile_file(path), s = profile_text(section), k = profile_text(key);
    char buffer[255] = {};
    DWORD n = GetPrivateProfileStringA(s.c_str(), k.c_str(), kAbsent, buffer, 255, file.c_str());
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
        const std::string f = file(INIpath), s = ansi(Section), k = ansi(Abschnitt), v = profile_text(value);
        return WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), f.c_str()) != FALSE;
    });
}

HRESULT INI::RemoveSection(BSTR INIpath, BSTR Section) {
    return untrapped([&] {
        const std::string f = file(INIpath), s = ansi(Section);
        WritePrivateProfileStringA(s.c_str(), nullptr, nullptr, f.c_str());
    });
}

HRESULT INI::DeleteKey(BSTR INIpath, BSTR Section, BSTR Key) {
    return untrapped([&] {
        const std::string f = file(INIpath), s = ansi(Section), k = ansi(Key);
        WritePrivateProfileStringA(s.c_str(), k.c_str(), nullptr, f.c_str());
    });
}

}  // namespace qm
