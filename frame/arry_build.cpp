// Arry: new arrays built from an array (texts, reversed, converted) and the
// random order of Shuffle.
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "frame/arry.h"
#include "frame/arry_internal.h"
#include "runtime/contract.h"
#include "runtime/convert.h"

namespace qm {

using arry::Elements;
using arry::variable;

namespace {

// The element type that a ConvertType selects; VT_EMPTY for a value outside the enumeration.
VARTYPE target_type(long type) {
    switch (type) {
    case coLong: return VT_I4;
    case coVarriant: return VT_VARIANT;
    case coString: return VT_BSTR;
    case coByte: return VT_UI1;
    case coSingle: return VT_R4;
    case coDate: return VT_DATE;
    case coInteger: return VT_I2;
    case coCurrency: return VT_CY;
    case coDouble: return VT_R8;
    default: return VT_EMPTY;
    }
}

// Uniform random numbers for Shuffle, seeded once per thread.
int seed_marker;
std::mt19937_64& generator() {
    thread_local std::mt19937_64 g = [] {
        std::seed_seq seed{static_cast<unsigned long long>(std::chrono::high_resolution_clock::now().time_since_epoch().count()),
                           static_cast<unsigned long long>(GetCurrentProcessId()),
                           static_cast<unsigned long long>(GetCurrentThreadId()),
                           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&seed_marker))};
        return std::mt19937_64(seed);
    }();
    return g;
}

}  // namespace

HRESULT Arry::ToString(VARIANT* sArray, long* ErrorNumber, VARIANT* result) {
    return trapped(Trap{Source::Array, L"ToString", ErrorNumber}, result, Variant{}, [&] {
        const Elements e(variable(sArray));
        SafeArray out(VT_BSTR, e.count(), e.lbound());
        for (long i : e.indices()) out.set_text(i, e.text(i));
        return std::move(out).to_variant();
    });
}

// The texts from the last element down to the first, as a 0-based String array.
HRESULT Arry::Array_Invert(VARIANT* sArray, long* ErrorNumber, VARIANT* result) {
    return trapped(Trap{Source::Array, L"Array_Invert", ErrorNumber}, result, Variant{}, [&] {
        const Elements e(variable(sArray));
        SafeArray out(VT_BSTR, e.count());
        for (long k = 0; k < e.count(); ++k) out.set_text(k, e.text(e.ubound() - k));
        return std::move(out).to_variant();
    });
}

HRESULT Arry::Convert(VARIANT* sArray, ConvertType* TypeOutput, long* ErrorNumber, VARIANT* result) {
    return trapped(Trap{Source::Array, L"Convert", ErrorNumber}, result, Variant{}, [&] {
        const VARIANT& source = variable(sArray);
        const VARTYPE to = target_type(TypeOutput ? static_cast<long>(*TypeOutput) : 0);
        if (to == VT_EMPTY) return Variant{};
        if (!IsArray(source)) raise(err::TypeMismatch);
        const SAFEARRAY* sa = array_of(source);
        if (!sa) raise(err::SubscriptOutOfRange);
        return convert_array(sa, to).to_variant();
    });
}

// Every order of the elements is equally likely (Fisher-Yates); the element
// types and the bounds stay as they were.
HRESULT Arry::Shuffle(VARIANT* sArray, long* result) {
    return trapped(Trap{Source::Array, L"Shuffle"}, result, ErrorNumberResult{}, [&]() -> long {
        VARIANT& target = variable(sArray);
        SafeArray copy = array_copy(target);
        if (!copy.dimensioned() || copy.dims() != 1) raise(err::SubscriptOutOfRange);
        {
            SAFEARRAY* sa = copy.get();
            check(SafeArrayLock(sa));
            auto* data = static_cast<unsigned char*>(sa->pvData);
            const size_t size = sa->cbElements;
            std::vector<unsigned char> tmp(size);
            auto& g = generator();
            for (long long i = static_cast<long long>(sa->rgsabound[0].cElements) - 1; i > 0; --i) {
                const long long j = std::uniform_int_distribution<long long>(0, i)(g);
                if (j == i) continue;
                std::memcpy(tmp.data(), data + i * size, size);
                std::memcpy(data + i * size, data + j * size, size);
                std::memcpy(data + j * size, tmp.data(), size);
            }
            SafeArrayUnlock(sa);
        }
        assign_array(target, std::move(copy));
        return 0;
    });
}

}  // namespace qm
