// Helpers shared by the LB_CB members.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"

namespace qm::lbcb {

// The box given, 91 when there is none.
inline IDispatch* box_of(IDispatch* box) {
    if (!box) raise(err::ObjectNotSet);
    return box;
}
inline long list_count(IDispatch* box) { return CLng(*late::get(box, L"ListCount").get()); }
inline std::wstring item_text(IDispatch* box, long index) {
    return CStr(*late::get(box, L"List", {Variant(index)}).get());
}
// The text as the inexact comparisons see it: lower-cased by the locale's rules.
inline std::wstring key_of(std::wstring text, bool exact) { return exact ? std::move(text) : LCase(text); }
// The box's window (its late-bound hwnd).
inline HWND window_of(IDispatch* box) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(*late::get(box, L"hwnd").get())));
}
inline HWND hwnd_of(long handle) noexcept { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle)); }

// A box given by its window: the kind by its lower-cased class name alone. The
// system's own list and combo classes are of no kind; a drive list box is a
// combo box.
enum class BoxKind : long { Unknown = 0, List = 1, Combo = 2 };
inline BoxKind box_kind(HWND window) {
    wchar_t name[64] = {};
    if (!window || !GetClassNameW(window, name, 64)) return BoxKind::Unknown;
    const std::wstring kind = LCase(name);
    if (kind == L"thunderlistbox" || kind == L"thunderrt6listbox") return BoxKind::List;
    if (kind == L"thundercombobox" || kind == L"thunderrt6combobox" || kind == L"thunderdrivelistbox" ||
        kind == L"thunderrt6drivelistbox")
        return BoxKind::Combo;
    return BoxKind::Unknown;
}

}  // namespace qm::lbcb
