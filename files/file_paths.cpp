// File: a path taken apart, and the system's long and short spellings of it.
#include <string>
#include <vector>

#include "files/file.h"
#include "files/filebase.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/handover.h"

namespace qm {

namespace {

// An existing folder (any path length); false for anything else, "" included.
bool is_folder(std::wstring_view path) {
    if (path.empty()) return false;
    try {
        const DWORD a = GetFileAttributesW(win32_path(path).c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    } catch (const RuntimeError&) {
        return false;
    }
}

// A path without the "\\?\" prefix that was added to it.
std::wstring plain_form(std::wstring_view path, bool prefixed) {
    if (prefixed && path.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + std::wstring(path.substr(8));
    if (prefixed && path.starts_with(L"\\\\?\\")) return std::wstring(path.substr(4));
    return std::wstring(path);
}

// GetLongPathNameW or GetShortPathNameW, however long the answer; "" on failure.
// The system takes a path longer than the plain form only with the "\\?\" prefix,
// and answers it in that form; the caller gets the spelling it gave.
template <class Fn>
Bstr system_spelling(BSTR path, Fn fn) {
    const std::wstring p(text_of(path));
    if (p.empty()) return Bstr();
    check_long_path(p);
    std::wstring asked = p;
    if (p.size() > limit::kPath) {
        asked = win32_path(p);
        if (GetFileAttributesW(asked.c_str()) == INVALID_FILE_ATTRIBUTES) return Bstr();
    }
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = fn(asked.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return Bstr();
        if (n < buffer.size()) return Bstr(plain_form(std::wstring_view(buffer.data(), n), asked != p));
        buffer.resize(n + 1);
    }
}

}  // namespace

// The text after the last "\"; "" for "", a path ending with "\" and an existing folder.
HRESULT File::Get_FileFromPath(BSTR Path, BSTR* result) {
    return untrapped(result, [&] {
        const std::wstring_view path = text_of(Path);
        if (path.empty() || path.ends_with(L'\\') || is_folder(path)) return Bstr();
        return Bstr(path.substr(static_cast<size_t>(LastBackslashPos(path))));
    });
}

// The folder part with its "\"; Path itself when it is a folder or ends with "\".
// A Path without "\" is error 5.
HRESULT File::Get_DirectoryFromPath(BSTR Path, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::File, L"Get_DirectoryFromPath", ErrorNumber}, result, Bstr(), [&] {
        const std::wstring_view path = text_of(Path);
        if (path.ends_with(L'\\') || is_folder(path)) return Bstr(path);
        const long slash = LastBackslashPos(path);
        if (slash == 0) raise(err::InvalidCall);
        return Bstr(AddBackslash(path.substr(0, static_cast<size_t>(slash - 1))));
    });
}

// The folder part of an existing file, with its "\"; "" when missing (ErrorNumber
// from Exist) or without "\".
HRESULT File::Get_Path(BSTR File, long* ErrorNumber, BSTR* result) {
    return untrapped(result, [&] {
        if (ErrorNumber) *ErrorNumber = 0;
        const std::wstring_view path = text_of(File);
        if (!exists(path, ErrorNumber)) return Bstr();
        return Bstr(path.substr(0, static_cast<size_t>(LastBackslashPos(path))));
    });
}

// "X:\" for a path with a drive colon; "" otherwise (network paths too).
HRESULT File::Get_RootFromPath(BSTR Path, BSTR* result) {
    return untrapped(result, [&] {
        const std::wstring_view path = text_of(Path);
        const size_t colon = path.find(L':');
        if (colon == std::wstring_view::npos) return Bstr();
        return Bstr(std::wstring(path.substr(0, colon + 1)) + L'\\');
    });
}

// The text from the last "." on; "" when there is none or it is the last character.
HRESULT File::Get_PrefixFromPath(BSTR Path, BSTR* result) {
    return untrapped(result, [&] {
        const std::wstring_view path = text_of(Path);
        const size_t dot = path.rfind(L'.');
        if (dot == std::wstring_view::npos || dot + 1 == path.size()) return Bstr();
        return Bstr(path.substr(dot));
    });
}

HRESULT File::Get_LongPath(BSTR Path, BSTR* result) {
    return untrapped(result, [&] { return system_spelling(Path, GetLongPathNameW); });
}

HRESULT File::Get_ShortPath(BSTR Path, BSTR* result) {
    return untrapped(result, [&] { return system_spelling(Path, GetShortPathNameW); });
}

}  // namespace qm
