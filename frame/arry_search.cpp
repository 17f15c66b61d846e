// Arry: search, counting and comparison of arrays.
#include "frame/arry.h"
#include "frame/arry_internal.h"
#include "runtime/compare.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/strings.h"

namespace qm {

using arry::Elements;
using arry::flag;
using arry::key_of;
using arry::number;
using arry::variable;

namespace {

// The range of a walk: from start (the lower bound when below 0) to end (the
// upper bound when below 0). Indices outside the array raise 9 when visited.
struct Range {
    long first, last;
};
Range range_of(const Elements& e, long start, long end) {
    return {start < 0 ? e.lbound() : start, end < 0 ? e.ubound() : end};
}

long count_equal(const Elements& e, std::wstring_view item, bool exact, long stop_at) {
    const std::wstring key = key_of(std::wstring(item), exact);
    long found = 0;
    for (long i : e.indices()) {
        if (found >= stop_at) break;
        if (key_of(e.text(i), exact) == key) ++found;
    }
    return found;
}

void store_text(BSTR* out, const std::wstring& text) {
    if (!out) return;
    Bstr b(text);
    SysFreeString(*out);
    *out = b.detach();
}

}  // namespace

HRESULT Arry::Find(VARIANT sArray, VARIANT ToFind, VARIANT* StartIndex, long* EndIndex, VARIANT_BOOL* FindExact,
                   long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Array, L"Find", ErrorNumber}, result, -2L, [&]() -> long {
        const Elements e(sArray);
        const bool exact = flag(FindExact, false);
        // The caller's ToFind is read, never lower-cased in place.
        const std::wstring key = key_of(arry::text_of_value(ToFind), exact);
        long start = -1;
        if (StartIndex && V_VT(&deref(*StartIndex)) != VT_ERROR) start = CLng(*StartIndex);
        const Range r = range_of(e, start, number(EndIndex, -1));
        for (long i : indices(r.first, r.last))
            if (key_of(e.text(i), exact) == key) return i;
        return -1;
    });
}

HRESULT Arry::FindPhrase(VARIANT* sArray, BSTR Find, long* StartIndex, long* EndIndex, VARIANT_BOOL* FindAtStart,
                         VARIANT_BOOL* FindExact, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Array, L"FindPhrase", ErrorNumber}, result, -2L, [&]() -> long {
        const Elements e(variable(sArray));
        const bool exact = flag(FindExact, true), at_start = flag(FindAtStart, false);
        const std::wstring key = key_of(std::wstring(text_of(Find)), exact);
        const Range r = range_of(e, number(StartIndex, -1), number(EndIndex, -1));
        for (long i : indices(r.first, r.last)) {
            const long p = InStr(key_of(e.text(i), exact), key);
            if (at_start ? p == 1 : p >= 1) return i;
        }
        return -1;
    });
}

HRESULT Arry::Exist(VARIANT* sArray, BSTR Value, VARIANT_BOOL* FindExact, long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        VARIANT list;
        VariantInit(&list);
        if (sArray) list = *sArray;  // borrowed: Find only reads it
        Variant value{std::wstring_view(text_of(Value))};
        VARIANT_BOOL exact = flag(FindExact, false) ? VARIANT_TRUE : VARIANT_FALSE;
        long index = -1;
        check(Find(list, *value.get(), nullptr, nullptr, &exact, ErrorNumber, &index));
        return index >= 0;
    });
}

HRESULT Arry::CountItem(VARIANT* sArray, BSTR Item, VARIANT_BOOL* FindExact, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Array, L"CountItem", ErrorNumber}, result, -1L, [&] {
        return count_equal(Elements(variable(sArray)), text_of(Item), flag(FindExact, true), LONG_MAX);
    });
}

HRESULT Arry::IsDouble(VARIANT* sArray, BSTR Value, VARIANT_BOOL* FindExact, long* ErrorNumber,
                       VARIANT_BOOL* result) {
    return trapped(Trap{Source::Array, L"IsDouble", ErrorNumber}, result, false, [&] {
        return count_equal(Elements(variable(sArray)), text_of(Value), flag(FindExact, true), 2) >= 2;
    });
}

HRESULT Arry::Compare(VARIANT* sArray1, VARIANT* sArray2, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Array, L"Compare", ErrorNumber}, result, false, [&] {
        const Elements a(variable(sArray1)), b(variable(sArray2));
        if (a.lbound() != b.lbound() || a.ubound() != b.ubound()) return false;
        for (long i : a.indices())
            if (!equal(a.at(i), b.at(i))) return false;
        return true;
    });
}

// The element with the greatest text in binary order; ties keep the first. Value
// is emptied first, so that it holds no stale text when the array is refused.
HRESULT Arry::Get_MaxValue(VARIANT* sArray, BSTR* Value, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Array, L"Get_MaxValue", ErrorNumber}, result, -2L, [&] {
        store_text(Value, {});
        const Elements e(variable(sArray));
        std::wstring best;
        long index = e.lbound();
        for (long i : e.indices()) {
            std::wstring t = e.text(i);
            if (t > best) best = std::move(t), index = i;
        }
        store_text(Value, best);
        return index;
    });
}

// The element with the smallest text in binary order ("10" before "9").
HRESULT Arry::Get_MinValue(VARIANT* sArray, BSTR* Value, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Array, L"Get_MinValue", ErrorNumber}, result, -2L, [&] {
        const Elements e(variable(sArray));
        long index = e.lbound();
        std::wstring best = e.text(index);
        for (long i : indices(e.lbound() + 1LL, e.ubound())) {
            std::wstring t = e.text(i);
            if (t < best) best = std::move(t), index = i;
        }
        store_text(Value, best);
        return index;
    });
}

}  // namespace qm
