// Variant: an owned automation VARIANT.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <new>
#include <utility>

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

}  // namespace qm
