// Arry: changing arrays (adding values and arrays).
#include <vector>

#include "frame/arry.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

// The variable behind a by-reference Variant argument.
VARIANT& variable(VARIANT* v) {
    if (!v) raise(err::InvalidCall);
    return V_VT(v) == (VT_BYREF | VT_VARIANT) ? *V_VARIANTREF(v) : *v;
}

// A 0-based Variant array of the given values.
SafeArray joined(std::initializer_list<const std::vector<Variant>*> parts) {
    std::vector<Variant> all;
    for (const auto* part : parts) all.insert(all.end(), part->begin(), part->end());
    return variant_array(all);
}

// Elements from index first to last (inclusive) of a one-dimensional array.
std::vector<Variant> slice(const SafeArray& a, long first, long last) {
    std::vector<Variant> out;
    for (long i = first; i <= last; ++i) out.push_back(a.get(i));
    return out;
}

}  // namespace

HRESULT Arry::AddArray(VARIANT* sArray1, VARIANT sArray2, arADDTO* AddTo, long Index, long* result) {
    return trapped(Trap{Source::Array, L"AddArray"}, result, ErrorNumberResult{}, [&]() -> long {
        // Nothing to add when sArray2 is no dimensioned array.
        if (!IsArray(sArray2) || !array_of(sArray2)) return 0;
        VARIANT& target = variable(sArray1);
        if (!IsArray(target)) return -3;
        const std::vector<Variant> added = elements_of(array_of(sArray2));
        SafeArray current = array_copy(target);
        const arADDTO to = AddTo ? *AddTo : arTOEND;

        auto to_end = [&] {
            if (!current.dimensioned()) {
                assign_array(target, joined({&added}));
                return;
            }
            long old_ubound = current.ubound();
            current.redim_preserve(old_ubound + static_cast<long>(added.size()));
            for (size_t k = 0; k < added.size(); ++k) current.set(old_ubound + 1 + static_cast<long>(k), *added[k].get());
            assign_array(target, std::move(current));
        };
        auto to_begin = [&] {
            if (!current.dimensioned()) {
                assign_array(target, joined({&added}));
                return;
            }
            const std::vector<Variant> old = elements_of(current.get());
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
            long ubound = current.dimensioned() ? current.ubound() : -1;
            if (Index > ubound + 1) return -4;
            if (Index == ubound + 1) {
                to_end();
            } else if (Index == 0) {
                to_begin();
            } else {
                if (Index < 0) raise(err::SubscriptOutOfRange);
                const std::vector<Variant> before = slice(current, 0, Index - 1);
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

HRESULT Arry::Add(VARIANT* TargetArray, VARIANT Value, arADDTO* AddTo, long* Index, VARIANT_BOOL* AllowDouble,
                  long* result) {
    return trapped(Trap{Source::Array, L"Add"}, result, ErrorNumberResult{}, [&]() -> long {
        VARIANT& target = variable(TargetArray);
        Variant value;
        check(VariantCopyInd(value.put(), &Value));
        if (AllowDouble && !*AllowDouble && IsArray(target) && array_of(target)) {
            std::wstring text = CStr(*value.get());
            for (const std::wstring& element : texts_of(array_of(target)))
                if (element == text) return -1;
        }
        Variant one = variant_array({value}).to_variant();
        long added = 0;
        check(AddArray(&target, *one.get(), AddTo, Index ? *Index : -1, &added));
        return added;
    });
}

}  // namespace qm
