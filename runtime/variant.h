// Variant: an owned automation VARIANT.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "runtime/bstr.h"
#include "runtime/errors.h"

namespace qm {

class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    Variant(const VARIANT& other) {
        VariantInit(&v_);
        check(VariantCopy(&v_, const_cast<VARIANT*>(&other)));
    }
    Variant(const Variant& other) : Variant(other.v_) {}
    Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    Variant& operator=(Variant other) noexcept {
        std::swap(v_, other.v_);
        return *this;
    }
    ~Variant() { VariantClear(&v_); }

    // Values of the automation types (Long, Integer, Byte, Double, Single, Boolean, Currency, String).
    explicit Variant(long v) noexcept : Variant() { V_VT(&v_) = VT_I4, V_I4(&v_) = v; }
    explicit Variant(int v) noexcept : Variant(static_cast<long>(v)) {}
    explicit Variant(short v) noexcept : Variant() { V_VT(&v_) = VT_I2, V_I2(&v_) = v; }
    explicit Variant(BYTE v) noexcept : Variant() { V_VT(&v_) = VT_UI1, V_UI1(&v_) = v; }
    explicit Variant(double v) noexcept : Variant() { V_VT(&v_) = VT_R8, V_R8(&v_) = v; }
    explicit Variant(float v) noexcept : Variant() { V_VT(&v_) = VT_R4, V_R4(&v_) = v; }
    explicit Variant(bool v) noexcept : Variant() { V_VT(&v_) = VT_BOOL, V_BOOL(&v_) = v ? VARIANT_TRUE : VARIANT_FALSE; }
    // An object reference (Nothing for nullptr); the Variant holds its own reference.
    explicit Variant(IDispatch* object) noexcept : Variant() {
        V_VT(&v_) = VT_DISPATCH, V_DISPATCH(&v_) = object;
        if (object) object->AddRef();
    }
    // Any other pointer would silently become the Boolean True.
    template <class T>
        requires(!std::is_same_v<std::remove_cv_t<T>, wchar_t> && !std::is_base_of_v<IDispatch, T>)
    explicit Variant(T*) = delete;
    explicit Variant(CY v) noexcept : Variant() { V_VT(&v_) = VT_CY, V_CY(&v_) = v; }
    explicit Variant(std::wstring_view text) : Variant() {
        Bstr b(text);
        V_VT(&v_) = VT_BSTR, V_BSTR(&v_) = b.detach();
    }
    explicit Variant(const wchar_t* text) : Variant(std::wstring_view(text ? text : L"")) {}
    explicit Variant(const std::wstring& text) : Variant(std::wstring_view(text)) {}
    explicit Variant(Bstr text) noexcept : Variant() {
        V_VT(&v_) = VT_BSTR, V_BSTR(&v_) = text.detach();
        if (!V_BSTR(&v_)) V_BSTR(&v_) = SysAllocStringLen(nullptr, 0);
    }
    // A Date (DATE is a double: whole days since 30.12.1899, time of day as the fraction).
    static Variant date(DATE d) noexcept {
        Variant r;
        V_VT(&r.v_) = VT_DATE, V_DATE(&r.v_) = d;
        return r;
    }
    static Variant null() noexcept {
        Variant r;
        V_VT(&r.v_) = VT_NULL;
        return r;
    }
    // What a client passes for an omitted optional argument.
    static Variant missing() noexcept {
        Variant r;
        V_VT(&r.v_) = VT_ERROR, V_ERROR(&r.v_) = DISP_E_PARAMNOTFOUND;
        return r;
    }
    // Takes ownership of an array: VT_ARRAY | its element type; a null array is an
    // undimensioned array of element type vt.
    static Variant array(SAFEARRAY* owned, VARTYPE vt = VT_VARIANT) noexcept {
        Variant r;
        if (owned) SafeArrayGetVartype(owned, &vt);
        V_VT(&r.v_) = VT_ARRAY | vt, V_ARRAY(&r.v_) = owned;
        return r;
    }

    // Takes over the contents of a VARIANT (which is left empty).
    static Variant take(VARIANT& v) noexcept {
        Variant r;
        r.v_ = v;
        VariantInit(&v);
        return r;
    }

    VARTYPE vt() const noexcept { return V_VT(&v_); }
    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    operator const VARIANT&() const noexcept { return v_; }
    VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }
    // Moves the value out into a caller-owned VARIANT.
    void detach(VARIANT* out) noexcept {
        *out = v_;
        VariantInit(&v_);
    }

private:
    VARIANT v_;
};

// The value a VARIANT argument stands for: follows VT_BYREF|VT_VARIANT (how script
// engines pass variables) to the variable it points at.
inline const VARIANT& deref(const VARIANT& v) noexcept {
    const VARIANT* p = &v;
    while (V_VT(p) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(p)) p = V_VARIANTREF(p);
    return *p;
}
inline VARIANT& deref(VARIANT& v) noexcept { return const_cast<VARIANT&>(deref(static_cast<const VARIANT&>(v))); }

}  // namespace qm
