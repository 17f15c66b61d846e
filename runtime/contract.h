// The member contract, in one place, so that a member body is just its logic.
//
//   untrapped(result, [&] { ... return value; })
//       a run-time error reaches the client as an automation error
//       (HRESULT 0x800A0000 + number, IErrorInfo with the error's text).
//
//   trapped(Trap{Source::File, L"BinCopy", ErrorNumber}, result, failure, [&] { ... })
//       ErrorNumber is 0 at entry; a run-time error sets ErrorNumber and the
//       failure value, goes to the error reporter and the member returns S_OK.
//       Pass ErrorNumberResult as the failure value for members whose result is
//       the error number itself (0 on success).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "runtime/bstr.h"
#include "runtime/errors.h"
#include "runtime/variant.h"

namespace qm {

// Object numbers passed to the error reporter.
enum class Source : long {
    Array = 1, Controls, DataBase, Desktop, Dialog, Directory, Drive, File, Forms, Grafic, Hardware, LB_CB,
    Mathematics, Menu, Misc, mString, Multimedia, Network, Office, Registry, RTF, Shell, System, Text, Window,
    clsTooltip, Ini,
    basFileBase = 101, basPModule = 102,
};

// The error reporter (defined by the frame).
void Write_ErrorLog(long object_number, const std::wstring& routine, long error_number,
                    const std::wstring& error_text, const std::wstring& extra_text);

struct Trap {
    Source source;
    const wchar_t* routine;
    long* error_number = nullptr;  // the member's ErrorNumber argument, if any
    std::wstring extra = {};       // context for the report (a path, a form name)
};

struct ErrorNumberResult {};

namespace detail {

inline void store(long* out, long v) { *out = v; }
inline void store(short* out, long v) { *out = static_cast<short>(v); }
inline void store(BYTE* out, long v) { *out = static_cast<BYTE>(v); }
inline void store(double* out, double v) { *out = v; }
inline void store(float* out, double v) { *out = static_cast<float>(v); }
inline void store(CY* out, CY v) { *out = v; }
inline void store(VARIANT_BOOL* out, bool v) { *out = v ? VARIANT_TRUE : VARIANT_FALSE; }
inline void store(BSTR* out, Bstr v) {
    SysFreeString(*out);
    *out = v.detach();
    if (!*out) *out = SysAllocStringLen(nullptr, 0);
}
inline void store(VARIANT* out, Variant v) {
    VariantClear(out);
    v.detach(out);
}
inline void store(SAFEARRAY** out, SAFEARRAY* v) {
    if (*out && *out != v) SafeArrayDestroy(*out);
    *out = v;
}
inline void store(VARIANT_BOOL* out, VARIANT_BOOL v) { *out = v; }

// Out-parameters start empty so that a failure leaves nothing undefined.
template <class R>
void clear(R* out) {
    if constexpr (std::is_same_v<R, BSTR>)
        *out = nullptr;
    else if constexpr (std::is_same_v<R, VARIANT>)
        VariantInit(out);
    else if constexpr (std::is_same_v<R, SAFEARRAY*>)
        *out = nullptr;
    else
        *out = R{};
}

template <class R, class F>
void store_failure(R* out, F&& failure, long number) {
    if constexpr (std::is_same_v<std::decay_t<F>, ErrorNumberResult>)
        store(out, number);
    else
        store(out, std::forward<F>(failure));
}

// Bodies may take the Trap (to set its extra text) or nothing.
template <class Body>
decltype(auto) run(Body& body, Trap& trap) {
    if constexpr (std::is_invocable_v<Body&, Trap&>)
        return body(trap);
    else
        return body();
}

void report(const Trap& trap, const RuntimeError& e) noexcept;
HRESULT unexpected(std::exception_ptr e) noexcept;
RuntimeError as_runtime_error(std::exception_ptr e) noexcept;

}  // namespace detail

// A member without a trap and without a result.
template <class Body>
HRESULT untrapped(Body&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (const RuntimeError& e) {
        return e.report();
    } catch (...) {
        return detail::unexpected(std::current_exception());
    }
}

// A member without a trap; body returns the result.
template <class R, class Body>
HRESULT untrapped(R* result, Body&& body) noexcept {
    if (!result) return E_POINTER;
    detail::clear(result);
    return untrapped([&] { detail::store(result, body()); });
}

// A trapped member without a result.
template <class Body>
HRESULT trapped(Trap trap, Body&& body) noexcept {
    if (trap.error_number) *trap.error_number = 0;
    try {
        detail::run(body, trap);
    } catch (...) {
        RuntimeError e = detail::as_runtime_error(std::current_exception());
        if (trap.error_number) *trap.error_number = e.number();
        detail::report(trap, e);
    }
    return S_OK;
}

// A trapped member; body(trap) returns the result, failure is the failure value
// (or ErrorNumberResult).
template <class R, class F, class Body>
HRESULT trapped(Trap trap, R* result, F&& failure, Body&& body) noexcept {
    if (!result) return E_POINTER;
    detail::clear(result);
    if (trap.error_number) *trap.error_number = 0;
    try {
        detail::store(result, detail::run(body, trap));
    } catch (...) {
        RuntimeError e = detail::as_runtime_error(std::current_exception());
        if (trap.error_number) *trap.error_number = e.number();
        try {
            detail::store_failure(result, std::forward<F>(failure), e.number());
        } catch (...) {
        }
        detail::report(trap, e);
    }
    return S_OK;
}

}  // namespace qm
