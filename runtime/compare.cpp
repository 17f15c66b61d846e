#include "runtime/compare.h"

#include <cmath>

#include "runtime/bstr.h"
#include "runtime/convert.h"
#include "runtime/errors.h"
#include "runtime/variant.h"

namespace qm {

namespace {

bool is_text(const VARIANT& v, std::wstring_view& out) {
    if (V_VT(&v) == VT_BSTR) return out = text_of(V_BSTR(&v)), true;
    if (V_VT(&v) == (VT_BSTR | VT_BYREF)) return out = text_of(*V_BSTRREF(&v)), true;
    return false;
}

template <class T>
int order(T a, T b) {
    return a == b ? 0 : a < b ? -1 : 1;
}

// Two floating-point values by value; false (no answer) when either is not a
// number, which the system's comparison orders in its own way.
template <class T>
bool float_order(T a, T b, int& out) {
    if (std::isnan(a) || std::isnan(b)) return false;
    out = order(a, b);
    return true;
}

// Two values of the same plain type, as the system's comparison orders them
// (Booleans as their values, True = -1 before False = 0); false when the pair
// is left to the system.
bool same_type_order(const VARIANT& a, const VARIANT& b, CompareMode mode, int& out) {
    switch (V_VT(&a)) {
    case VT_BSTR:
        if (mode != CompareMode::Binary) return false;
        out = binary_compare(text_of(V_BSTR(&a)), text_of(V_BSTR(&b)));
        return true;
    case VT_I2:
    case VT_BOOL: out = order(V_I2(&a), V_I2(&b)); return true;
    case VT_I4: out = order(V_I4(&a), V_I4(&b)); return true;
    case VT_UI1: out = order(V_UI1(&a), V_UI1(&b)); return true;
    case VT_I8: out = order(V_I8(&a), V_I8(&b)); return true;
    case VT_CY: out = order(V_CY(&a).int64, V_CY(&b).int64); return true;
    case VT_R4: return float_order(V_R4(&a), V_R4(&b), out);
    case VT_R8: return float_order(V_R8(&a), V_R8(&b), out);
    case VT_DATE: return float_order(V_DATE(&a), V_DATE(&b), out);
    default: return false;
    }
}

}  // namespace

int compare(const VARIANT& arg_a, const VARIANT& arg_b, CompareMode mode) {
    const VARIANT& a = deref(arg_a);
    const VARIANT& b = deref(arg_b);
    int same = 0;
    if (V_VT(&a) == V_VT(&b) && same_type_order(a, b, mode, same)) return same;
    std::wstring_view ta, tb;
    bool sa = is_text(a, ta), sb = is_text(b, tb);
    // Two texts, or a text and Empty (which counts as ""): by character code or by the locale.
    if ((sa || V_VT(&a) == VT_EMPTY) && (sb || V_VT(&b) == VT_EMPTY) && (sa || sb)) return StrComp(ta, tb, mode);
    bool na = V_VT(&a) == VT_NULL, nb = V_VT(&b) == VT_NULL;
    if (na || nb) return na == nb ? 0 : na ? -1 : 1;
    ULONG flags = mode == CompareMode::Text ? NORM_IGNORECASE : 0;
    HRESULT hr = VarCmp(const_cast<VARIANT*>(&a), const_cast<VARIANT*>(&b), locale(), flags);
    if (FAILED(hr)) {
        if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_BADVARTYPE) raise(err::TypeMismatch);
        check(hr);
    }
    return hr == VARCMP_LT ? -1 : hr == VARCMP_GT ? 1 : 0;
}

}  // namespace qm
