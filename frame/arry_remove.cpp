// Arry: removing elements by index, by value, empty texts and duplicates.
// The remaining elements become a 0-based array of Variants in their order, or an
// undimensioned array when none remain. Removing by index or value changes
// nothing when nothing matches; RemoveDouble always rebuilds the array.
#include <unordered_set>
#include <vector>

#include "frame/arry.h"
#include "frame/arry_internal.h"
#include "runtime/contract.h"
#include "runtime/convert.h"

namespace qm {

using arry::Elements;
using arry::flag;
using arry::key_of;
using arry::variable;

namespace {

// Keeps the elements for which keep(index) is true; returns the number removed.
// Unless rebuild is set, an array that loses nothing stays as it was.
template <class Keep>
long remove_unless(VARIANT& target, Keep&& keep, bool rebuild = false) {
    SafeArray rest;
    long removed = 0;
    {
        const Elements e(target);
        std::vector<long> kept;
        kept.reserve(static_cast<size_t>(e.count()));
        for (long i : e.indices()) {
            if (keep(e, i)) kept.push_back(i);
            else ++removed;
        }
        if (removed == 0 && !rebuild) return 0;
        rest = kept.empty() ? SafeArray(array_type(target)) : arry::variant_copy(e, kept);
    }
    assign_array(target, std::move(rest));
    return removed;
}

}  // namespace

HRESULT Arry::DeleteIndex(VARIANT* sArray, long Index, long* result) {
    return trapped(Trap{Source::Array, L"DeleteIndex"}, result, ErrorNumberResult{}, [&]() -> long {
        VARIANT& target = variable(sArray);
        {
            const Elements e(target);
            if (Index < e.lbound() || Index > e.ubound()) raise(err::SubscriptOutOfRange);
        }
        remove_unless(target, [&](const Elements&, long i) { return i != Index; });
        return 0;
    });
}

HRESULT Arry::RemoveIndex(VARIANT* sArray, long Index, long* result) { return DeleteIndex(sArray, Index, result); }

HRESULT Arry::DeleteValue(VARIANT* sArray, VARIANT Value, VARIANT_BOOL* DeleteAll, long* result) {
    return trapped(Trap{Source::Array, L"DeleteValue"}, result, ErrorNumberResult{}, [&]() -> long {
        const std::wstring key = arry::text_of_value(Value);
        const bool all = flag(DeleteAll, false);
        bool done = false;
        remove_unless(variable(sArray), [&](const Elements& e, long i) {
            if (done || e.text(i) != key) return true;
            done = !all;
            return false;
        });
        return 0;
    });
}

HRESULT Arry::RemoveValue(VARIANT* sArray, BSTR Value, VARIANT_BOOL* FindExact, long* result) {
    return trapped(Trap{Source::Array, L"RemoveValue"}, result, ErrorNumberResult{}, [&]() -> long {
        VARIANT& target = variable(sArray);
        // Nothing to do for a value that is no array or an array without elements.
        if (!arry::dimensioned(target)) return 0;
        const bool exact = flag(FindExact, true);
        const std::wstring key = key_of(std::wstring(text_of(Value)), exact);
        remove_unless(target, [&](const Elements& e, long i) { return key_of(e.text(i), exact) != key; });
        return 0;
    });
}

HRESULT Arry::RemoveEmpty(VARIANT* sArray, long* result) {
    VARIANT_BOOL exact = VARIANT_TRUE;
    return RemoveValue(sArray, Bstr(L"").get(), &exact, result);
}

// The first occurrence of each text survives, in the order of the array.
HRESULT Arry::RemoveDouble(VARIANT* sArray, VARIANT_BOOL* FindExact, long* result) {
    return trapped(Trap{Source::Array, L"RemoveDouble"}, result, ErrorNumberResult{}, [&]() -> long {
        const bool exact = flag(FindExact, true);
        std::unordered_set<std::wstring> seen;
        remove_unless(variable(sArray),
                      [&](const Elements& e, long i) { return seen.insert(key_of(e.text(i), exact)).second; },
                      true);
        return 0;
    });
}

}  // namespace qm
