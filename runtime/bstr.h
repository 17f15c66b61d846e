// Bstr: an owned automation string (length-prefixed UTF-16, may hold NULs).
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/errors.h"

namespace qm {

// The longest text the runtime makes: 2^30 - 1 characters, so that its length in
// bytes (LenB) is a Long as well. A longer one is out of string space (14).
constexpr long long kMaxTextLength = (1LL << 30) - 1;

class Bstr {
public:
    Bstr() noexcept = default;
    Bstr(std::wstring_view text) : s_(alloc(text)) {}
    Bstr(const wchar_t* text) : Bstr(std::wstring_view(text ? text : L"")) {}
    Bstr(const std::wstring& text) : Bstr(std::wstring_view(text)) {}
    Bstr(const Bstr& other) : s_(other.s_ ? alloc(other.view()) : nullptr) {}
    Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    Bstr& operator=(Bstr other) noexcept {
        std::swap(s_, other.s_);
        return *this;
    }
    ~Bstr() { SysFreeString(s_); }

    // Takes ownership of a BSTR made elsewhere.
    static Bstr attach(BSTR s) noexcept {
        Bstr b;
        b.s_ = s;
        return b;
    }
    // A copy of a BSTR the caller keeps.
    static Bstr copy(BSTR s) { return Bstr(view_of(s)); }

    BSTR get() const noexcept { return s_; }
    BSTR detach() noexcept { return std::exchange(s_, nullptr); }
    // Frees the current string and returns the address for an out-parameter.
    BSTR* put() noexcept {
        SysFreeString(std::exchange(s_, nullptr));
        return &s_;
    }

    // The address for an in/out parameter: the callee reads the text and may
    // free it and put another in its place, which this object then owns.
    BSTR* in_out() noexcept { return &s_; }

    UINT length() const noexcept { return SysStringLen(s_); }
    bool empty() const noexcept { return length() == 0; }
    std::wstring_view view() const noexcept { return view_of(s_); }
    std::wstring str() const { return std::wstring(view()); }

    static std::wstring_view view_of(BSTR s) noexcept { return s ? std::wstring_view(s, SysStringLen(s)) : std::wstring_view(); }

private:
    static BSTR alloc(std::wstring_view text) {
        if (text.size() > static_cast<size_t>(kMaxTextLength)) throw RuntimeError(err::OutOfStringSpace);
        BSTR s = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!s) throw std::bad_alloc();
        return s;
    }
    BSTR s_ = nullptr;
};

// A BSTR argument seen as text (a NULL BSTR is the empty text).
inline std::wstring_view text_of(BSTR s) noexcept { return Bstr::view_of(s); }

}  // namespace qm
