// LB_CB: the selected items of multi-selection list boxes, and the item data of
// list and combo boxes.
#include <algorithm>

#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"

namespace qm {

using lbcb::Items;

namespace {

// Arrays handed back hold no elements (rather than no array at all) when there is
// nothing to hand back, also after a failure.
HRESULT with_empty_array(HRESULT hr, SAFEARRAY** result, VARTYPE vt) {
    if (SUCCEEDED(hr) && result && !*result) *result = SafeArray(vt, 0).detach();
    return hr;
}

std::vector<long> selected_indexes(const Items& items) {
    std::vector<long> out;
    for (long i = 0, n = items.count(); i < n; ++i)
        if (items.selected(i)) out.push_back(i);
    return out;
}

std::vector<std::wstring> selected_texts(const Items& items) {
    std::vector<std::wstring> out;
    for (long i = 0, n = items.count(); i < n; ++i)
        if (items.selected(i)) out.push_back(items.text(i));
    return out;
}

void remove_selected(const Items& items) {
    for (long i = items.count() - 1; i >= 0; --i)
        if (items.selected(i)) items.remove(i);
}

}  // namespace

HRESULT LB_CB::LB_GetSelectedItems(IDispatch* ListBox, long* ErrorNumber, SAFEARRAY** result) {
    const HRESULT hr = trapped(Trap{Source::LB_CB, L"LB_GetSelectedItems", ErrorNumber}, result,
                               static_cast<SAFEARRAY*>(nullptr),
                               [&] { return long_array(selected_indexes(Items(ListBox))).detach(); });
    return with_empty_array(hr, result, VT_I4);
}

HRESULT LB_CB::LB_GetSelectedItemsText(IDispatch* ListBox, long* ErrorNumber, SAFEARRAY** result) {
    const HRESULT hr =
        trapped(Trap{Source::LB_CB, L"LB_GetSelectedItemsText", ErrorNumber}, result, static_cast<SAFEARRAY*>(nullptr),
                [&] { return string_array(selected_texts(Items(ListBox))).detach(); });
    return with_empty_array(hr, result, VT_BSTR);
}

HRESULT LB_CB::LB_RemoveSelectedItems(IDispatch* ListBox, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_RemoveSelectedItems"}, result, ErrorNumberResult{}, [&]() -> long {
        remove_selected(Items(ListBox));
        return 0;
    });
}

HRESULT LB_CB::LB_SelectAll(IDispatch* LB, lbSELECTALLINFO lbSelect, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (!late::is_list_box(LB)) return false;
        if (lbSelect != lbSelectAll && lbSelect != lbDeSelectAll && lbSelect != lbSelectChange) return false;
        const Items items(LB);
        for (long i = 0, n = items.count(); i < n; ++i)
            items.set_selected(i, lbSelect == lbSelectAll ? true : lbSelect == lbDeSelectAll ? false : !items.selected(i));
        return true;
    });
}

// The target gets the texts of the selected items (without their data) in place
// of its own.
HRESULT LB_CB::LB_CopySelectedToLBCB(IDispatch* LB, IDispatch* LBCB, VARIANT_BOOL RemoveSelected, long* ErrorNumber,
                                     VARIANT_BOOL* result) {
    return trapped(Trap{Source::LB_CB, L"LB_CopySelectedToLBCB", ErrorNumber}, result, false, [&] {
        if (!late::is_list_box(LB)) return false;
        const Items source(LB), target(LBCB);
        const std::vector<std::wstring> texts = selected_texts(source);
        target.clear();
        for (const std::wstring& t : texts) target.add(t);
        if (RemoveSelected != VARIANT_FALSE) remove_selected(source);
        return true;
    });
}

HRESULT LB_CB::LB_CopySelectedToArray(IDispatch* LB, VARIANT_BOOL RemoveSelected, SAFEARRAY** result) {
    const HRESULT hr = untrapped(result, [&]() -> SAFEARRAY* {
        if (!late::is_list_box(LB)) return nullptr;
        const Items source(LB);
        SafeArray texts = string_array(selected_texts(source));
        if (RemoveSelected != VARIANT_FALSE) remove_selected(source);
        return texts.detach();
    });
    return with_empty_array(hr, result, VT_BSTR);
}

HRESULT LB_CB::ItemData_Find(IDispatch* LBCB, long ItemData, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"ItemData_Find", ErrorNumber}, result, -2L, [&]() -> long {
        const Items items(LBCB);
        for (long i = 0, n = items.count(); i < n; ++i)
            if (items.data(i) == ItemData) return i;
        return -1;
    });
}

HRESULT LB_CB::ItemData_Exist(IDispatch* LBCB, long ItemData, long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        long local = 0;
        long* error_number = ErrorNumber ? ErrorNumber : &local;
        long found = -1;
        check(ItemData_Find(LBCB, ItemData, error_number, &found));
        return found >= 0 && *error_number == 0;
    });
}

HRESULT LB_CB::ItemData_Count(IDispatch* LBCB, long ItemData, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"ItemData_Count", ErrorNumber}, result, -2L, [&] {
        const Items items(LBCB);
        long count = 0;
        for (long i = 0, n = items.count(); i < n; ++i)
            if (items.data(i) == ItemData) ++count;
        return count;
    });
}

namespace {

// The greatest (or smallest) item data; 0 for an empty box.
long data_extreme(IDispatch* box, bool greatest) {
    const Items items(box);
    const long n = items.count();
    long value = n > 0 ? items.data(0) : 0;
    for (long i = 1; i < n; ++i) {
        const long d = items.data(i);
        if (greatest ? d > value : d < value) value = d;
    }
    return value;
}

}  // namespace

HRESULT LB_CB::ItemData_GetMaxValue(IDispatch* LBCB, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"ItemData_GetMaxValue", ErrorNumber}, result, -2L,
                   [&] { return data_extreme(LBCB, true); });
}

HRESULT LB_CB::ItemData_GetMinValue(IDispatch* LBCB, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"ItemData_GetMinValue", ErrorNumber}, result, -2L,
                   [&] { return data_extreme(LBCB, false); });
}

HRESULT LB_CB::ItemData_ToArray(IDispatch* LBCB, long* ErrorNumber, VARIANT* result) {
    return trapped(Trap{Source::LB_CB, L"ItemData_ToArray", ErrorNumber}, result, Variant(), [&] {
        const Items items(LBCB);
        std::vector<long> data(static_cast<size_t>(std::max(items.count(), 0L)));
        for (size_t i = 0; i < data.size(); ++i) data[i] = items.data(static_cast<long>(i));
        return data.empty() ? Variant() : long_array(data).to_variant();
    });
}

// -1 for the start means the first item, for the end the last one.
HRESULT LB_CB::ItemData_Fill(IDispatch* LBCB, long ItemData, long StartIndex, long EndIndex, long* result) {
    return trapped(Trap{Source::LB_CB, L"ItemData_Fill"}, result, ErrorNumberResult{}, [&]() -> long {
        const Items items(LBCB);
        const long first = StartIndex == -1 ? 0 : StartIndex;
        const long last = EndIndex == -1 ? items.count() - 1 : EndIndex;
        for (long i = first; i <= last; ++i) items.set_data(i, ItemData);
        return 0;
    });
}

}  // namespace qm
