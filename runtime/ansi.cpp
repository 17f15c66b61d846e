#include "runtime/ansi.h"

#include <climits>

#include "runtime/errors.h"

namespace qm {

std::string to_ansi(std::wstring_view text, UINT code_page) {
    if (text.empty()) return {};
    if (text.size() > INT_MAX / 4) raise(err::OutOfMemory);
    int n = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

namespace {

UINT resolved(UINT code_page) {
    if (code_page == CP_ACP) return GetACP();
    if (code_page == CP_OEMCP) return GetOEMCP();
    return code_page;
}

bool plain_ascii(std::wstring_view text) {
    for (wchar_t c : text)
        if (c >= 0x80) return false;
    return true;
}

// Converts without best fit; false when a character has no exact form. With a
// null out only the check is made.
bool convert_exactly(std::wstring_view text, UINT code_page, std::string* out) {
    if (text.size() > INT_MAX / 4) raise(err::OutOfMemory);
    const UINT cp = resolved(code_page);
    const int size = static_cast<int>(text.size());
    // The Unicode pages take no best-fit flag: they hold every text but a lone surrogate.
    const bool unicode = cp == CP_UTF8 || cp == CP_UTF7;
    const DWORD flags = unicode ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    BOOL* used = unicode ? nullptr : &used_default;
    const int n = WideCharToMultiByte(cp, flags, text.data(), size, nullptr, 0, nullptr, used);
    if (n <= 0 || used_default) return false;
    if (out) {
        out->assign(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(cp, flags, text.data(), size, out->data(), n, nullptr, used);
    }
    return true;
}

}  // namespace

bool holds_exactly(std::wstring_view text, UINT code_page) {
    return plain_ascii(text) || convert_exactly(text, code_page, nullptr);
}

std::optional<std::string> to_ansi_exact(std::wstring_view text, UINT code_page) {
    if (plain_ascii(text)) return std::string(text.begin(), text.end());
    std::string out;
    if (!convert_exactly(text, code_page, &out)) return std::nullopt;
    return out;
}

std::wstring from_ansi(std::string_view bytes, UINT code_page) {
    if (bytes.empty()) return {};
    if (bytes.size() > INT_MAX) raise(err::OutOfMemory);
    int n = MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

}  // namespace qm

namespace qm {

std::string to_oem(std::wstring_view text) { return to_ansi(text, CP_OEMCP); }
std::wstring from_oem(std::string_view bytes) { return from_ansi(bytes, CP_OEMCP); }

// The runtime hands a text to an ANSI function as its ANSI bytes and reads the
// bytes that come back as ANSI again: OemToChar reads the bytes as OEM.
std::wstring oem_to_ansi(std::wstring_view text) { return from_oem(to_ansi(text)); }
std::wstring ansi_to_oem(std::wstring_view text) { return from_ansi(to_oem(text)); }

}  // namespace qm
