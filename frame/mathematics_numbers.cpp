// Mathematics: number bases, words, factorial, digit sum and right triangles.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "frame/mathematics.h"
#include "runtime/contract.h"
#include "runtime/convert.h"

namespace qm {

namespace {

// A by-reference argument that a vtable caller may leave out (null): its default.
template <class T>
T value_or(const T* p, T fallback) {
    return p ? *p : fallback;
}

long checked_long(long long v) {
    if (v < std::numeric_limits<long>::min() || v > std::numeric_limits<long>::max()) raise(err::Overflow);
    return static_cast<long>(v);
}

}  // namespace

HRESULT Mathematics::DecToBin(LONG Dec, BSTR* result) {
    return untrapped(result, [&] {
        // Digits while the next power of two does not exceed Dec: a negative
        // number keeps its lowest bit only.
        std::wstring digits;
        double power = 1;
        int bit = 0;
        do {
            digits.insert(digits.begin(), (static_cast<unsigned long>(Dec) >> bit) & 1 ? L'1' : L'0');
            ++bit;
            power *= 2;
        } while (power <= Dec);
        return Bstr(digits);
    });
}

HRESULT Mathematics::HexToDec(BSTR Hex, LONG* result) {
    return untrapped(result, [&] { return CLng(Val(L"&H" + std::wstring(text_of(Hex)))); });
}

HRESULT Mathematics::DecToHex(LONG Dec, BSTR* result) {
    return untrapped(result, [&] { return Bstr(qm::Hex(static_cast<long>(Dec))); });
}

HRESULT Mathematics::BinToDec(LONG Bin, LONG* result) {
    return untrapped(result, [&] {
        // Each decimal digit of Bin, from the last, counts as a binary digit: a 1
        // adds its power of two, any other digit its own value.
        std::wstring text = std::to_wstring(Bin);
        long sum = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            wchar_t digit = text[text.size() - 1 - i];
            if (digit == L'-') raise(err::TypeMismatch);  // "-" alone is no number
            if (digit == L'1')
                sum += 1L << i;
            else
                sum += digit - L'0';
        }
        return sum;
    });
}

HRESULT Mathematics::Fakultaet(LONG Zahl, LONG* ErrorNumber, VARIANT* result) {
    return trapped(Trap{Source::Mathematics, L"Fakultaet", ErrorNumber}, result, Variant{}, [&] {
        Variant v;
        if (Zahl == 1) {
            V_VT(v.get()) = VT_I2;
            V_I2(v.get()) = 1;
            return v;
        }
        double product = 1;
        for (long i = 2; i <= Zahl; ++i) {
            product *= i;
            if (!std::isfinite(product)) raise(err::Overflow);
        }
        V_VT(v.get()) = VT_R8;
        V_R8(v.get()) = product;
        return v;
    });
}

HRESULT Mathematics::Quersumme(LONG Zahl, LONG* result) {
    return untrapped(result, [&] {
        long sum = 0;
        for (long z = Zahl; z != 0; z /= 10) sum += z % 10;  // C++ truncates as the runtime does
        return sum;
    });
}

HRESULT Mathematics::Pythag(VARIANT* A, VARIANT* B, VARIANT* Hyp, LONG* ErrorNumber, double* result) {
    return trapped(Trap{Source::Mathematics, L"Pythag", ErrorNumber}, result, 0.0, [&] {
        auto missing = [](const VARIANT* v) { return !v || IsMissing(*v); };
        int omitted = missing(A) + missing(B) + missing(Hyp);
        if (omitted >= 2) return -1.0;
        if (omitted == 0) return 0.0;
        double radicand;
        if (missing(Hyp))
            radicand = std::pow(CDbl(*A), 2) + std::pow(CDbl(*B), 2);
        else if (missing(A))
            radicand = std::pow(CDbl(*Hyp), 2) - std::pow(CDbl(*B), 2);
        else
            radicand = std::pow(CDbl(*Hyp), 2) - std::pow(CDbl(*A), 2);
        if (radicand < 0) raise(err::InvalidCall);
        double side = std::sqrt(radicand);
        if (!std::isfinite(side)) raise(err::Overflow);
        return side;
    });
}

// The library's word convention: LOWORD is the upper word, HiWord the lower one,
// and DWord(a, b) packs a above b, so that LOWORD(DWord(a, b)) = a.
HRESULT Mathematics::LOWORD(LONG nDWord, LONG* result) {
    return untrapped(result, [&] { return static_cast<long>((static_cast<unsigned long>(nDWord) >> 16) & 0xFFFF); });
}

HRESULT Mathematics::HiWord(LONG nDWord, LONG* result) {
    return untrapped(result, [&] { return static_cast<long>(static_cast<unsigned long>(nDWord) & 0xFFFF); });
}

HRESULT Mathematics::DWord(short nLow, short nHigh, LONG* result) {
    return untrapped(result, [&] {
        std::uint32_t packed = (std::uint32_t(std::uint16_t(nLow)) << 16) | std::uint16_t(nHigh);
        return static_cast<long>(static_cast<std::int32_t>(packed));
    });
}

HRESULT Mathematics::Incr(LONG* Var, LONG* Value) {
    if (!Var) return E_POINTER;
    return untrapped([&] { *Var = checked_long(static_cast<long long>(*Var) + value_or(Value, 1L)); });
}

HRESULT Mathematics::Decr(LONG* Var, LONG* Value) {
    if (!Var) return E_POINTER;
    return untrapped([&] { *Var = checked_long(static_cast<long long>(*Var) - value_or(Value, 1L)); });
}

HRESULT Mathematics::PI(double* result) {
    return untrapped(result, [] { return 4 * std::atan(1.0); });
}

}  // namespace qm
