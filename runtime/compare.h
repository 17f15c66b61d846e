// Comparison of Variants as the runtime compares them: numbers (and Dates,
// Booleans, Currency) by value, two texts by character code (Binary) or
// case-insensitively in the user's locale (Text), a number and a text as the
// system's VarCmp orders them. Empty counts as 0 or "", Null sorts first.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "runtime/strings.h"

namespace qm {

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
