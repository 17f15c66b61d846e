// Comparison of Variants as the runtime compares them: numbers (and Dates,
// Booleans, Currency) by value, two texts by character code (Binary) or
// case-insensitively in the user's locale (Text), a number and a text as the
// system's VarCmp orders them. Empty counts as 0 or "", Null sorts first.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string_view>

#include "runtime/strings.h"

namespace qm {

// Two texts by character code (UTF-16 code unit), a prefix first: -1, 0 or 1.
inline int binary_compare(std::wstring_view a, std::wstring_view b) noexcept {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// -1 when a < b, 0 when equal, 1 when a > b.
int compare(const VARIANT& a, const VARIANT& b, CompareMode mode = CompareMode::Binary);
inline bool equal(const VARIANT& a, const VARIANT& b, CompareMode mode = CompareMode::Binary) {
    return compare(a, b, mode) == 0;
}
// a < b, for sorting.
struct VariantLess {
    CompareMode mode = CompareMode::Binary;
    bool operator()(const VARIANT& a, const VARIANT& b) const { return compare(a, b, mode) < 0; }
};

}  // namespace qm
