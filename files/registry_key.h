// Registry keys for the Registry class: the root numbers as handles and an
// owned key handle.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/interfaces.h"
#include "runtime/variant.h"

namespace qm::reg {

// A root number goes to the system unchanged (sign-extended, as the predefined
// handles are on 64-bit Windows).
inline HKEY root(RegRoot r) noexcept {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(r)));
}

class Key {
public:
    Key() noexcept = default;
    explicit Key(HKEY open) noexcept : h_(open) {}  // takes over an open key (or null)
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    Key(Key&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    ~Key() {
        if (h_) RegCloseKey(h_);
    }

    // Opens an existing key; false when the system refuses.
    bool open(RegRoot r, const wchar_t* path, REGSAM access) noexcept {
        return RegOpenKeyExW(root(r), path, 0, access, &h_) == ERROR_SUCCESS;
    }
    // Opens the key, creating every missing level of the path.
    bool create(RegRoot r, const wchar_t* path, REGSAM access) noexcept {
        return RegCreateKeyExW(root(r), path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &h_, nullptr) ==
               ERROR_SUCCESS;
    }
    HKEY get() const noexcept { return h_; }

private:
    HKEY h_ = nullptr;
};

// The name of a root as the registry editor writes it; "" for other numbers.
const wchar_t* root_name(RegRoot r) noexcept;

// A key path or value name as the system wants it (a NULL BSTR is "").
inline const wchar_t* path_of(BSTR s) noexcept { return s ? s : L""; }

}  // namespace qm::reg

namespace qm::reg {

// A value's type and data; false when it cannot be read.
bool query(HKEY key, const wchar_t* name, DWORD& type, std::vector<BYTE>& data);
// Text data as stored (UTF-16), without its terminating NUL.
std::wstring text_of(const std::vector<BYTE>& data);
// A byte as the character of that code in the system's ANSI code page.
wchar_t ansi_char(BYTE b) noexcept;
// A value by its stored type: text (expandable text unexpanded), a Byte array (its
// bytes also appended to returned_data as characters, when given) or a Long; Empty
// for other types and for values that cannot be read.
Variant value(HKEY key, const wchar_t* name, BSTR* returned_data = nullptr);

}  // namespace qm::reg
