// Arry: tests for arrays and their bounds. These members log nothing: they
// answer by value.
#include "frame/arry.h"
#include "frame/arry_internal.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

// The lower or upper bound of the first dimension: -1 for an undimensioned
// array, -2 (error 13) for a value that is no array.
long bound(const VARIANT* arg, bool upper, long* error_number) {
    if (error_number) *error_number = 0;
    const VARIANT& v = arg ? deref(*arg) : VARIANT{};
    if (!IsArray(v)) {
        if (error_number) *error_number = err::TypeMismatch;
        return -2;
    }
    SAFEARRAY* sa = array_of(v);
    if (!sa) return -1;
    long b = 0;
    HRESULT hr = upper ? SafeArrayGetUBound(sa, 1, &b) : SafeArrayGetLBound(sa, 1, &b);
    if (FAILED(hr)) {
        if (error_number) *error_number = err::SubscriptOutOfRange;
        return 0;
    }
    return b;
}

}  // namespace

HRESULT Arry::isArray(VARIANT* Var, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return Var && IsArray(*Var); });
}

// Dimensioned: an array whose bounds can be read, also one without elements and
// one whose lower bound is negative.
HRESULT Arry::isDIM(VARIANT* sArray, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return sArray && arry::dimensioned(*sArray); });
}

HRESULT Arry::Get_LBound(VARIANT* sArray, long* ErrorNumber, long* result) {
    return untrapped(result, [&] { return bound(sArray, false, ErrorNumber); });
}

HRESULT Arry::Get_UBound(VARIANT* sArray, long* ErrorNumber, long* result) {
    return untrapped(result, [&] { return bound(sArray, true, ErrorNumber); });
}

}  // namespace qm
