#include "runtime/safearray.h"

#include <cstring>

#include "runtime/convert.h"
#include "runtime/dispatch.h"

namespace qm {

namespace {

void check_array(HRESULT hr) {
    if (hr == DISP_E_BADINDEX) raise(err::SubscriptOutOfRange);
    if (hr == DISP_E_ARRAYISLOCKED) raise(err::ArrayLocked);
    check(hr);
}

VARTYPE type_of(const SAFEARRAY* sa, VARTYPE fallback) {
    VARTYPE vt = fallback;
    if (sa) SafeArrayGetVartype(const_cast<SAFEARRAY*>(sa), &vt);
    return vt;
}

ComPtr<IRecordInfo> record_of(const SAFEARRAY* sa) {
    ComPtr<IRecordInfo> r;
    if (sa && (sa->fFeatures & FADF_RECORD)) SafeArrayGetRecordInfo(const_cast<SAFEARRAY*>(sa), r.put());
    return r;
}

size_t total_elements(const SAFEARRAY* sa) {
    size_t n = 1;
    for (UINT d = 0; d < sa->cDims; ++d) n *= sa->rgsabound[d].cElements;
    return n;
}

// One dimension of count elements from lbound, its upper bound a Long (6 when not).
SAFEARRAYBOUND bound_of(long long count, long lbound) {
    if (count < 0) raise(err::SubscriptOutOfRange);
    to_long(lbound + count - 1);
    return {static_cast<ULONG>(count), lbound};
}

// The element at a flat position as a Variant (copied).
Variant element_value(const SAFEARRAY* sa, VARTYPE vt, void* p) {
    Variant out;
    if (vt == VT_RECORD) {
        ComPtr<IRecordInfo> info = record_of(sa);
        VARIANT& o = *out.put();
        void* copy = nullptr;
        if (info) check(info->RecordCreateCopy(p, &copy));
        V_VT(&o) = VT_RECORD, V_RECORD(&o) = copy, V_RECORDINFO(&o) = info.detach();
        return out;
    }
    VARIANT ref;
    VariantInit(&ref);
    V_VT(&ref) = vt | VT_BYREF;
    V_BYREF(&ref) = p;
    check(VariantCopyInd(out.put(), &ref));
    return out;
}

// Stores a value (already of the element type vt) into an element slot, freeing what it held.
void store_element(void* slot, VARTYPE vt, UINT size, Variant value) {
    VARIANT& v = *value.get();
    switch (vt) {
    case VT_VARIANT:
        VariantClear(static_cast<VARIANT*>(slot));
        value.detach(static_cast<VARIANT*>(slot));
        return;
    case VT_BSTR:
        SysFreeString(*static_cast<BSTR*>(slot));
        *static_cast<BSTR*>(slot) = V_BSTR(&v);
        V_VT(&v) = VT_EMPTY;
        return;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (IUnknown* old = *static_cast<IUnknown**>(slot)) old->Release();
        *static_cast<IUnknown**>(slot) = V_UNKNOWN(&v);
        V_VT(&v) = VT_EMPTY;
        return;
    case VT_RECORD:
        raise(err::TypeMismatch);
    default:
        std::memcpy(slot, &V_UI1(&v), size);
    }
}

Variant converted(const VARIANT& value, VARTYPE vt) { return CVar(value, vt); }

}  // namespace

SafeArray::SafeArray(VARTYPE vt, long count, long lbound) : vt_(vt) {
    if (vt == VT_RECORD) raise(err::TypeMismatch);  // use records()
    SAFEARRAYBOUND b = bound_of(count, lbound);
    sa_ = SafeArrayCreate(vt, 1, &b);
    if (!sa_) raise(err::OutOfMemory);
}

SafeArray SafeArray::records(IRecordInfo* info, long count, long lbound) {
    if (!info) raise(err::TypeMismatch);
    SAFEARRAYBOUND b = bound_of(count, lbound);
    SafeArray a(VT_RECORD);
    a.record_ = ComPtr<IRecordInfo>(info);
    a.sa_ = SafeArrayCreateEx(VT_RECORD, 1, &b, info);
    if (!a.sa_) raise(err::OutOfMemory);
    return a;
}

SafeArray SafeArray::records(REFGUID record, long count, long lbound) {
    IRecordInfo* info = dispatch::record_info(record);
    if (!info) raise(err::InternalError);
    return records(info, count, lbound);
}

SafeArray SafeArray::attach(SAFEARRAY* sa, VARTYPE vt) noexcept {
    SafeArray a(type_of(sa, vt));
    a.sa_ = sa;
    a.record_ = record_of(sa);
    return a;
}

SafeArray SafeArray::copy(const SAFEARRAY* sa, VARTYPE vt) {
    SafeArray a(type_of(sa, vt));
    a.record_ = record_of(sa);
    if (sa) check_array(SafeArrayCopy(const_cast<SAFEARRAY*>(sa), &a.sa_));
    return a;
}

SafeArray::SafeArray(const SafeArray& other) : vt_(other.vt_), record_(other.record_) {
    if (other.sa_) check_array(SafeArrayCopy(other.sa_, &sa_));
}

SafeArray::SafeArray(SafeArray&& other) noexcept
    : sa_(std::exchange(other.sa_, nullptr)), vt_(other.vt_), record_(std::move(other.record_)) {}

SafeArray& SafeArray::operator=(SafeArray other) noexcept {
    std::swap(sa_, other.sa_);
    std::swap(vt_, other.vt_);
    std::swap(record_, other.record_);
    return *this;
}

SafeArray::~SafeArray() {
    if (sa_) SafeArrayDestroy(sa_);
}

SAFEARRAY* SafeArray::detach() noexcept { return std::exchange(sa_, nullptr); }

SAFEARRAY** SafeArray::put() noexcept {
    if (sa_) SafeArrayDestroy(std::exchange(sa_, nullptr));
    return &sa_;
}

UINT SafeArray::dims() const noexcept { return sa_ ? SafeArrayGetDim(sa_) : 0; }

long SafeArray::lbound(UINT dim) const {
    if (!sa_) raise(err::SubscriptOutOfRange);
    LONG v = 0;
    check_array(SafeArrayGetLBound(sa_, dim, &v));
    return v;
}

long SafeArray::ubound(UINT dim) const {
    if (!sa_) raise(err::SubscriptOutOfRange);
    LONG lb = 0;
    check_array(SafeArrayGetLBound(sa_, dim, &lb));
    return upper_bound(lb, sa_->rgsabound[sa_->cDims - dim].cElements);  // the last dimension comes first
}

long SafeArray::count() const noexcept {
    if (!sa_ || sa_->cDims == 0) return 0;
    return static_cast<long>(sa_->rgsabound[sa_->cDims - 1].cElements);  // rgsabound lists the last dimension first
}

SafeArray SafeArray::make(long count, long lbound) const {
    if (vt_ == VT_RECORD) return records(record_.get(), count, lbound);
    return SafeArray(vt_, count, lbound);
}

void SafeArray::redim(long count, long lbound) {
    if (sa_ && sa_->cLocks) raise(err::ArrayLocked);
    *this = make(count, lbound);
}

void SafeArray::redim_preserve(long ubound) {
    if (!sa_) {
        redim(to_long(ubound + 1LL), 0);
        return;
    }
    UINT d = dims();
    long lb = lbound(d);
    const long long count = static_cast<long long>(ubound) - lb + 1;
    if (count < 0) raise(err::SubscriptOutOfRange);
    if (count > static_cast<long long>(ULONG_MAX)) raise(err::Overflow);
    if (sa_->cLocks || (sa_->fFeatures & FADF_FIXEDSIZE)) raise(err::ArrayLocked);
    SAFEARRAYBOUND b{static_cast<ULONG>(count), lb};
    check_array(SafeArrayRedim(sa_, &b));
}

void SafeArray::erase() {
    if (!sa_) return;
    check_array(SafeArrayDestroy(sa_));
    sa_ = nullptr;
}

void* SafeArray::element(long index, size_t size, VARTYPE vt) const {
    if (!sa_ || SafeArrayGetDim(sa_) != 1) raise(err::SubscriptOutOfRange);
    bool same = vt == vt_ || (vt == VT_I2 && vt_ == VT_BOOL) || (vt == VT_R8 && vt_ == VT_DATE) ||
                (vt == VT_UNKNOWN && vt_ == VT_DISPATCH);
    if (!same || size != SafeArrayGetElemsize(sa_)) raise(err::TypeMismatch);
    const size_t offset = element_offset(index, sa_->rgsabound[0].lLbound, sa_->rgsabound[0].cElements);
    return static_cast<char*>(sa_->pvData) + offset * sa_->cbElements;
}

Variant SafeArray::get(long index) const {
    void* p = element(index, sa_ ? SafeArrayGetElemsize(sa_) : 0, vt_);
    return element_value(sa_, vt_, p);
}

void SafeArray::set(long index, const VARIANT& value) {
    void* p = element(index, sa_ ? SafeArrayGetElemsize(sa_) : 0, vt_);
    if (vt_ == VT_RECORD) {
        const VARIANT& v = deref(value);
        if (V_VT(&v) != VT_RECORD || !V_RECORD(&v)) raise(err::TypeMismatch);
        check(record_->RecordCopy(V_RECORD(&v), p));
        return;
    }
    store_element(p, vt_, sa_->cbElements, converted(value, vt_));
}

std::wstring_view SafeArray::text(long index) const { return text_of(at<BSTR>(index)); }

void SafeArray::set_text(long index, std::wstring_view text) {
    BSTR& slot = at<BSTR>(index);
    Bstr b(text);
    SysFreeString(slot);
    slot = b.detach();
}

Variant SafeArray::to_variant() && { return Variant::array(detach(), vt_); }

// --- index arithmetic -------------------------------------------------------------------

size_t element_offset(long index, long lbound, unsigned long count) {
    const long long offset = static_cast<long long>(index) - lbound;
    if (offset < 0 || offset >= static_cast<long long>(count)) raise(err::SubscriptOutOfRange);
    return static_cast<size_t>(offset);
}

long upper_bound(long lbound, unsigned long count) {
    const long long ubound = static_cast<long long>(lbound) + count - 1;
    if (ubound > LONG_MAX || ubound < LONG_MIN) raise(err::SubscriptOutOfRange);
    return static_cast<long>(ubound);
}

long to_long(long long value) {
    if (value < LONG_MIN || value > LONG_MAX) raise(err::Overflow);
    return static_cast<long>(value);
}

// --- building and reading ---------------------------------------------------------------

SafeArray string_array(const std::vector<std::wstring>& items) {
    SafeArray a(VT_BSTR, static_cast<long>(items.size()));
    if (items.empty()) return a;
    // The new array's slots are null: each takes its string as it is made.
    BSTR* slots = &a.at<BSTR>(0);
    for (size_t i = 0; i < items.size(); ++i) slots[i] = Bstr(items[i]).detach();
    return a;
}

SafeArray long_array(const std::vector<long>& items) {
    SafeArray a(VT_I4, static_cast<long>(items.size()));
    if (!items.empty()) std::memcpy(&a.at<long>(0), items.data(), items.size() * sizeof(long));
    return a;
}

SafeArray byte_array(std::string_view bytes) {
    SafeArray a(VT_UI1, static_cast<long>(bytes.size()));
    if (!bytes.empty()) std::memcpy(&a.at<BYTE>(0), bytes.data(), bytes.size());
    return a;
}

SafeArray variant_array(const std::vector<Variant>& items) {
    SafeArray a(VT_VARIANT, static_cast<long>(items.size()));
    for (size_t i = 0; i < items.size(); ++i)
        check(VariantCopy(&a.at<VARIANT>(static_cast<long>(i)), const_cast<VARIANT*>(items[i].get())));
    return a;
}

std::vector<Variant> elements_of(const SAFEARRAY* sa) {
    std::vector<Variant> out;
    if (!sa) return out;
    VARTYPE vt = type_of(sa, VT_VARIANT);
    const size_t n = total_elements(sa);
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out.push_back(element_value(sa, vt, static_cast<char*>(sa->pvData) + static_cast<size_t>(i) * sa->cbElements));
    return out;
}

std::vector<std::wstring> texts_of(const SAFEARRAY* sa) {
    std::vector<std::wstring> out;
    if (!sa) return out;
    VARTYPE vt = type_of(sa, VT_VARIANT);
    const size_t n = total_elements(sa);
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        void* p = static_cast<char*>(sa->pvData) + i * sa->cbElements;
        if (vt == VT_BSTR)
            out.emplace_back(text_of(*static_cast<BSTR*>(p)));
        else
            out.push_back(CStr(*element_value(sa, vt, p).get()));
    }
    return out;
}

SafeArray convert_array(const SAFEARRAY* sa, VARTYPE to) {
    if (!sa) return SafeArray(to);
    VARTYPE from = type_of(sa, VT_VARIANT);
    if (to == VT_RECORD || from == VT_RECORD) {
        if (to == from) return SafeArray::copy(sa, to);
        raise(err::TypeMismatch);
    }
    UINT dims = SafeArrayGetDim(const_cast<SAFEARRAY*>(sa));
    std::vector<SAFEARRAYBOUND> bounds(sa->rgsabound, sa->rgsabound + dims);
    // SafeArrayCreate takes the bounds first dimension first; the descriptor holds them reversed.
    std::vector<SAFEARRAYBOUND> ordered(bounds.rbegin(), bounds.rend());
    SafeArray out = SafeArray::attach(SafeArrayCreate(to, dims, ordered.data()), to);
    if (!out.get()) raise(err::OutOfMemory);
    const size_t n = total_elements(sa);
    SAFEARRAY* dst = out.get();
    for (size_t i = 0; i < n; ++i) {
        void* p = static_cast<char*>(sa->pvData) + i * sa->cbElements;
        void* q = static_cast<char*>(dst->pvData) + i * dst->cbElements;
        store_element(q, to, dst->cbElements, converted(*element_value(sa, from, p).get(), to));
    }
    return out;
}

SAFEARRAY* array_of(const VARIANT& arg) noexcept {
    const VARIANT& v = deref(arg);
    if (!(V_VT(&v) & VT_ARRAY)) return nullptr;
    if (V_VT(&v) & VT_BYREF) return V_ARRAYREF(&v) ? *V_ARRAYREF(&v) : nullptr;
    return V_ARRAY(&v);
}

VARTYPE array_type(const VARIANT& arg) noexcept {
    const VARIANT& v = deref(arg);
    if (!(V_VT(&v) & VT_ARRAY)) return VT_EMPTY;
    return V_VT(&v) & VT_TYPEMASK;
}

SafeArray array_copy(const VARIANT& v) {
    if (!IsArray(v)) raise(err::TypeMismatch);
    return SafeArray::copy(array_of(v), array_type(v));
}

void assign_array(VARIANT& target, SafeArray value) {
    VARIANT& t = deref(target);
    if ((V_VT(&t) & (VT_BYREF | VT_ARRAY)) == (VT_BYREF | VT_ARRAY)) {
        VARTYPE fixed = V_VT(&t) & VT_TYPEMASK;
        if (value.vartype() != fixed && !(fixed == VT_VARIANT && !value.dimensioned()))
            value = convert_array(value.get(), fixed);
        SAFEARRAY** slot = V_ARRAYREF(&t);
        if (*slot) check_array(SafeArrayDestroy(*slot));
        *slot = value.detach();
        return;
    }
    check(VariantClear(&t));
    std::move(value).to_variant().detach(&t);
}

}  // namespace qm
