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

std::wstring file(BSTR s) { return profile_file(text_of(s)); }
std::wstring name(BSTR s) { return profile_text(text_of(s)); }

std::wstring_view token_of(const BSTR* token) { return token ? text_of(*token) : std::wstring_view(); }

}  // namespace

// A bare file name lives in the Windows folder; any other is made absolute.
std::wstring profile_file(std::wstring_view path) {
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
    return p;
}

std::wstring profile_text(std::wstring_view text) {
    check_name(text, limit::kAnsiText);
    return std::wstring(text);
}

// At most 254 characters of the value; "" when file, section or key is missing.
// A default no entry can hold (an entry ends at its line's end) tells a missing
// key from an empty one.
bool read_ini_entry(std::wstring_view path, std::wstring_view section, std::wstring_view key, std::wstring& value) {
    static constexpr wchar_t kAbsent[] = L"\n";
    const std::wstring file = profile_file(path), s = profile_text(section), k = profile_text(key);
    wchar_t buffer[255] = {};
    DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), kAbsent, buffer, 255, file.c_str());
    std::wstring_view read(buffer, n);
    if (read == kAbsent) return false;
    value = read;
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
// The file stays in the ANSI code page for the programs that read it: a text the
// code page holds only as a look-alike (or "?") is not written at all.
HRESULT INI::Write_INI(BSTR INIpath, BSTR Section, BSTR Abschnitt, BSTR Value, BSTR* ReplacevbCrlf,
                       VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring value(text_of(Value));
        std::wstring_view token = token_of(ReplacevbCrlf);
        if (!token.empty()) value = Replace(value, kCrLf, token);
        const std::wstring f = file(INIpath), s = name(Section), k = name(Abschnitt), v = profile_text(value);
        if (!holds_exactly(s) || !holds_exactly(k) || !holds_exactly(v)) return false;
        return WritePrivateProfileStringW(s.c_str(), k.c_str(), v.c_str(), f.c_str()) != FALSE;
    });
}

HRESULT INI::RemoveSection(BSTR INIpath, BSTR Section) {
    return untrapped([&] {
        const std::wstring f = file(INIpath), s = name(Section);
        WritePrivateProfileStringW(s.c_str(), nullptr, nullptr, f.c_str());
    });
}

HRESULT INI::DeleteKey(BSTR INIpath, BSTR Section, BSTR Key) {
    return untrapped([&] {
        const std::wstring f = file(INIpath), s = name(Section), k = name(Key);
        WritePrivateProfileStringW(s.c_str(), k.c_str(), nullptr, f.c_str());
    });
}

}  // namespace qm
