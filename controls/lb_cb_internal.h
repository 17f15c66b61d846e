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

}  // namespace qm::lbcb
