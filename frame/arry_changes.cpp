// Arry: adding values and arrays, filling, copying and swapping arrays.
#include <vector>

#include "frame/arry.h"
#include "frame/arry_internal.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"

namespace qm {

using arry::Elements;
using arry::variable;

namespace {

// A 0-based Variant array of the given values.
SafeArray joined(std::initializer_list<const std::vector<Variant>*> parts) {
    std::vector<Variant> all;
    for (const auto* part : parts) all.insert(all.end(), part->begin(), part->end());
    return variant_array(all);
}

// Elements from index first to last (inclusive) of a one-dimensional array.
std::vector<Variant> slice(const SafeArray& a, long first, long last) {
    std::vector<Variant> out;
    for (long i : indices(first, last)) out.push_back(a.get(i));
    return out;
}

// An assignment of one Variant argument to another, prepared in full before the
// target is touched, so that a failure (an element that does not convert to a
// typed array variable) leaves the target as it was.
struct Staged {
    bool typed = false;  // the target is a typed array variable (String(), Long(), ...)
    SafeArray array;     // its new array, already of its element type
    Variant value;       // the new value of a Variant target
};

bool typed_array(const VARIANT& target) {
    return (V_VT(&target) & (VT_BYREF | VT_ARRAY)) == (VT_BYREF | VT_ARRAY);
}

Staged stage(const VARIANT& target_arg, const VARIANT& source_arg) {
    const VARIANT& target = deref(target_arg);
    const VARIANT& source = deref(source_arg);
    Staged s;
    if (typed_array(target)) {
        s.typed = true;
        s.array = array_copy(source);  // 13 for a value that is no array
        const VARTYPE fixed = V_VT(&target) & VT_TYPEMASK;
        if (s.array.vartype() != fixed) s.array = convert_array(s.array.get(), fixed);
        return s;
    }
    if (V_VT(&target) & VT_BYREF) raise(err::TypeMismatch);  // a typed scalar variable cannot take it
    check(VariantCopyInd(s.value.get(), const_cast<VARIANT*>(&source)));
    return s;
}

// Raises 10 when the target's current array is locked (it could not be replaced).
void require_unlocked(const VARIANT& target) {
    const SAFEARRAY* sa = array_of(target);
    if (sa && sa->cLocks) raise(err::ArrayLocked);
}

void commit(VARIANT& target_arg, Staged s) {
    VARIANT& target = deref(target_arg);
    if (s.typed) {
        assign_array(target, std::move(s.array));
        return;
    }
    check(VariantClear(&target));
    s.value.detach(&target);
}

}  // namespace

HRESULT Arry::Add(VARIANT* TargetArray, VARIANT Value, arADDTO* AddTo, long* Index, VARIANT_BOOL* AllowDouble,
                  long* result) {
    return trapped(Trap{Source::Array, L"Add"}, result, ErrorNumberResult{}, [&]() -> long {
        VARIANT& target = variable(TargetArray);
        Variant value;
        check(VariantCopyInd(value.put(), &Value));
        if (!arry::flag(AllowDouble, true) && IsArray(target) && array_of(target)) {
            const std::wstring text = arry::text_of_value(*value.get());
            const Elements e(target);
            for (long i : e.indices())
                if (e.text(i) == text) return -1;
        }
        Variant one = variant_array({value}).to_variant();
        long added = 0;
        check(AddArray(&target, *one.get(), AddTo, arry::number(Index, -1), &added));
        return added;
    });
}

HRESULT Arry::AddArray(VARIANT* sArray1, VARIANT sArray2, arADDTO* AddTo, long Index, long* result) {
    return trapped(Trap{Source::Array, L"AddArray"}, result, ErrorNumberResult{}, [&]() -> long {
        // Nothing to add when sArray2 is no dimensioned array.
        if (!IsArray(sArray2) || !array_of(sArray2)) return 0;
        VARIANT& target = variable(sArray1);
        if (!IsArray(target)) return -3;
        const std::vector<Variant> added = elements_of(array_of(sArray2));
        SafeArray current = array_copy(target);
        const arADDTO to = AddTo ? *AddTo : arTOEND;

        // Appended after the last element: contents, element type and lower bound kept.
        auto to_end = [&] {
            if (!current.dimensioned()) {
                assign_array(target, joined({&added}));
                return;
            }
            const long old_ubound = current.ubound();
            current.redim_preserve(to_long(old_ubound + static_cast<long long>(added.size())));
            for (size_t k = 0; k < added.size(); ++k)
                current.set(static_cast<long>(old_ubound + 1 + static_cast<long long>(k)), *added[k].get());
            assign_array(target, std::move(current));
        };
        auto to_begin = [&] {
            const std::vector<Variant> old = current.dimensioned() ? elements_of(current.get()) : std::vector<Variant>{};
            assign_array(target, joined({&added, &old}));
        };

        switch (to) {
        case arTOBEGIN:
            to_begin();
            return 0;
        case arTOEND:
            to_end();
            return 0;
        case arADDTOINDEX: {
            // Index is an index of the array as it stands, whatever its lower bound.
            const long lbound = current.dimensioned() ? current.lbound() : 0;
            const long ubound = current.dimensioned() ? current.ubound() : -1;
            if (Index > ubound + 1LL) return -4;
            if (Index == ubound + 1LL) {
                to_end();
            } else if (Index == lbound) {
                to_begin();
            } else {
                if (Index < lbound) raise(err::SubscriptOutOfRange);
                const std::vector<Variant> before = slice(current, lbound, Index - 1);
                const std::vector<Variant> after = slice(current, Index, ubound);
                assign_array(target, joined({&before, &added, &after}));
            }
            return 0;
        }
        default:
            return 0;
        }
    });
}

// Every element whose text is Found (whole, case-sensitive) becomes the text ReplaceWith.
HRESULT Arry::Replace(VARIANT* sArray, BSTR* Found, BSTR* ReplaceWith, long* result) {
    return untrapped(result, [&]() -> long {
        VARIANT& target = variable(sArray);
        if (!IsArray(target)) raise(err::TypeMismatch);
        if (!arry::dimensioned(target)) return 0;
        const std::wstring found(Found ? text_of(*Found) : std::wstring_view());
        std::vector<long> hits;
        {
            const Elements e(target);
            for (long i : e.indices())
                if (e.text(i) == found) hits.push_back(i);
        }
        if (hits.empty()) return 0;
        SafeArray copy = array_copy(target);
        const Variant with{ReplaceWith ? text_of(*ReplaceWith) : std::wstring_view()};
        for (long i : hits) copy.set(i, *with.get());
        assign_array(target, std::move(copy));
        return static_cast<long>(hits.size());
    });
}

HRESULT Arry::Fill(VARIANT* sArray, VARIANT Value, long* sStart, long* sEnd, long* result) {
    return trapped(Trap{Source::Array, L"Fill"}, result, ErrorNumberResult{}, [&]() -> long {
        VARIANT& target = variable(sArray);
        SafeArray copy = array_copy(target);
        if (!copy.dimensioned()) raise(err::SubscriptOutOfRange);
        long first = arry::number(sStart, -1), last = arry::number(sEnd, -1);
        if (first < 0 || last < 0) first = copy.lbound(), last = copy.ubound();
        // A range that leaves the array is refused before anything is stored.
        if (first <= last && (first < copy.lbound() || last > copy.ubound())) raise(err::SubscriptOutOfRange);
        const VARIANT& value = deref(Value);
        for (long i : indices(first, last)) copy.set(i, value);
        assign_array(target, std::move(copy));
        return 0;
    });
}

HRESULT Arry::Copy(VARIANT* sArray1, VARIANT* sArray2, long* result) {
    return trapped(Trap{Source::Array, L"Copy"}, result, ErrorNumberResult{}, [&]() -> long {
        VARIANT& target = variable(sArray2);
        Staged s = stage(target, variable(sArray1));
        require_unlocked(target);
        commit(target, std::move(s));
        return 0;
    });
}

// Both new values are prepared before either variable changes, so a failure
// leaves both arrays as they were; it is reported as the copy that failed.
HRESULT Arry::Array_Swap(VARIANT* Array1, VARIANT* Array2, long* result) {
    return untrapped(result, [&] {
        long failed = 0;
        check(trapped(Trap{Source::Array, L"Copy"}, &failed, ErrorNumberResult{}, [&]() -> long {
            VARIANT& a = variable(Array1);
            VARIANT& b = variable(Array2);
            Staged to_a = stage(a, b), to_b = stage(b, a);
            require_unlocked(a);
            require_unlocked(b);
            commit(a, std::move(to_a));
            commit(b, std::move(to_b));
            return 0;
        }));
        return failed;
    });
}

}  // namespace qm
