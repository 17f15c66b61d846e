#include "runtime/compare.h"

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
}  // namespace

int compare(const VARIANT& arg_a, const VARIANT& arg_b, CompareMode mode) {
    const VARIANT& a = deref(arg_a);
    const VARIANT& b = deref(arg_b);
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
