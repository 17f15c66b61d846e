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
