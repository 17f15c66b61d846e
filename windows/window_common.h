// Small things the window, form and menu members share.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <vector>

namespace qm {

// Window handles as the library's interfaces carry them: 32-bit Longs. Windows
// keeps handles in 32 bits and sign-extends them, so the round trip is exact.
inline HWND hwnd_of(long handle) noexcept { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle)); }
inline long long_of(HWND handle) noexcept { return static_cast<long>(reinterpret_cast<LONG_PTR>(handle)); }

// A by-reference argument that an early-bound caller may leave out (null).
template <class T>
T arg_or(const T* argument, T fallback) noexcept {
    return argument ? *argument : fallback;
}
inline bool flag_or(const VARIANT_BOOL* argument, bool fallback) noexcept {
    return argument ? *argument != VARIANT_FALSE : fallback;
}

// A list of handles as the interfaces return it: a 0-based Long array, or no
// array at all (never dimensioned) when the list is empty.
SAFEARRAY* handle_array(const std::vector<HWND>& handles);

}  // namespace qm
