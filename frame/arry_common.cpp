// Arry: helpers shared by the members.
#include <algorithm>
#include <cstring>

#include "frame/arry_internal.h"
#include "runtime/convert.h"
#include "runtime/errors.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"

namespace qm::arry {

VARIANT& variable(VARIANT* v) {
    if (!v) raise(err::InvalidCall);
    return deref(*v);
}

std::wstring text_of_value(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    switch (V_VT(&v)) {
    case VT_BSTR: return std::wstring(text_of(V_BSTR(&v)));
    case VT_BSTR | VT_BYREF: return std::wstring(text_of(*V_BSTRREF(&v)));
    case VT_EMPTY:
    case VT_NULL: return {};
    case VT_DISPATCH:
    case VT_UNKNOWN: return text_of_value(*late::value_of(v).get());
    default: return CStr(v);
    }
}

std::wstring key_of(std::wstring text, bool exact) { return exact ? std::move(text) : LCase(text); }

Elements::Elements(const VARIANT& arg) : sa_(nullptr) {
    const VARIANT& v = deref(arg);
    if (!(V_VT(&v) & VT_ARRAY)) raise(err::TypeMismatch);
    SAFEARRAY* sa = array_of(v);
    if (!sa || SafeArrayGetDim(sa) != 1) raise(err::SubscriptOutOfRange);
    vt_ = array_type(v);
    lbound_ = sa->rgsabound[0].lLbound;
    ubound_ = upper_bound(lbound_, sa->rgsabound[0].cElements);  // 9 before anything is locked
    check(SafeArrayLock(sa));
    sa_ = sa;
    count_ = static_cast<long>(sa->rgsabound[0].cElements);
}

Elements::~Elements() {
    if (sa_) SafeArrayUnlock(sa_);
}

VARIANT Elements::at(long index) const {
    const size_t offset = element_offset(index, lbound_, sa_->rgsabound[0].cElements);
    const void* p = static_cast<const char*>(sa_->pvData) + offset * sa_->cbElements;
    VARIANT out;
    VariantInit(&out);
    switch (vt_) {
    case VT_VARIANT: return *static_cast<const VARIANT*>(p);
    case VT_RECORD: raise(err::TypeMismatch);
    case VT_DECIMAL:
        out.decVal = *static_cast<const DECIMAL*>(p);
        break;
    default:
        std::memcpy(&V_UI1(&out), p, std::min<size_t>(sa_->cbElements, sizeof(LONGLONG)));
    }
    V_VT(&out) = vt_;
    return out;
}

SafeArray variant_copy(const Elements& from, const std::vector<long>& indices) {
    SafeArray out(VT_VARIANT, static_cast<long>(indices.size()));
    for (size_t k = 0; k < indices.size(); ++k) {
        VARIANT element = from.at(indices[k]);
        check(VariantCopy(&out.at<VARIANT>(static_cast<long>(k)), &element));
    }
    return out;
}

bool dimensioned(const VARIANT& v) noexcept { return array_of(v) != nullptr; }

}  // namespace qm::arry
