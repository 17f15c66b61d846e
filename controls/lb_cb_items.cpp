// LB_CB: adding and removing items, arrays to and from a box, the selected item.
#include <string_view>
#include <vector>

#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/safearray.h"

namespace qm {

using lbcb::box_of;
using lbcb::item_text;
using lbcb::key_of;
using lbcb::list_count;

HRESULT LB_CB::Add(IDispatch* LBCB, BSTR StringToAdd, long ItemData, long Index, VARIANT_BOOL AllowDouble,
                   long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"Add", ErrorNumber}, result, -2L, [&]() -> long {
        IDispatch* box = box_of(LBCB);
        if (AllowDouble == VARIANT_FALSE) {
            long found = -1, find_error = 0;
            check(Find(box, StringToAdd, VARIANT_TRUE, &find_error, &found));
            if (found >= 0) return -1;
        }
        const Variant text{text_of(StringToAdd)};
        if (Index != -1)
            late::call(box, L"AddItem", {text, Variant(Index)});
        else
            late::call(box, L"AddItem", {text});
        const Variant added = late::get(box, L"NewIndex");
        late::put(box, L"ItemData", Variant(ItemData), {added});
        return CLng(*added.get());
    });
}

// Each element from the lower to the upper bound becomes an item (or, without
// AllowDouble, each text not yet in the box). A subscript error ends the work
// quietly: what was added so far stays.
HRESULT LB_CB::AddArray(IDispatch** LBCB, VARIANT* sArray, VARIANT_BOOL* AllowDouble, VARIANT_BOOL* ClearBeforeAdding,
                        long* result) {
    return trapped(Trap{Source::LB_CB, L"AddArray"}, result, ErrorNumberResult{}, [&]() -> long {
        try {
            IDispatch* box = box_of(LBCB ? *LBCB : nullptr);
            if (!ClearBeforeAdding || *ClearBeforeAdding) late::call(box, L"Clear");
            const VARIANT& source = sArray ? deref(*sArray) : VARIANT{};
            const SAFEARRAY* sa = array_of(source);
            if (!sa) return 0;
            if (SafeArrayGetDim(const_cast<SAFEARRAY*>(sa)) != 1) raise(err::SubscriptOutOfRange);
            const bool allow_double = !AllowDouble || *AllowDouble;
            for (const Variant& element : elements_of(sa)) {
                if (allow_double) {
                    late::call(box, L"AddItem", {element});
                } else {
                    long ignored = 0, error_number = 0;
                    check(Add(box, Bstr(CStr(*element.get())).get(), 0, -1, VARIANT_FALSE, &error_number, &ignored));
                }
            }
            return 0;
        } catch (const RuntimeError& e) {
            if (e.number() == err::SubscriptOutOfRange) return 0;
            throw;
        }
    });
}

// The items in list order as a 0-based Variant array; an empty box leaves the
// array without elements.
HRESULT LB_CB::ToArray(IDispatch** LBCB, VARIANT* sArray, VARIANT_BOOL* WriteSorted, long* result) {
    return trapped(Trap{Source::LB_CB, L"ToArray"}, result, ErrorNumberResult{}, [&]() -> long {
        IDispatch* box = box_of(LBCB ? *LBCB : nullptr);
        if (!sArray) raise(err::InvalidCall);
        VARIANT& target = deref(*sArray);
        const long count = list_count(box);
        if (count <= 0) {
            const VARTYPE vt = array_type(target);
            assign_array(target, SafeArray(vt == VT_EMPTY ? static_cast<VARTYPE>(VT_VARIANT) : vt));
            return 0;
        }
        SafeArray items(VT_VARIANT, count);
        for (long i = 0; i < count; ++i) items.set(i, *late::get(box, L"List", {Variant(i)}).get());
        assign_array(target, std::move(items));
        if (WriteSorted && *WriteSorted) {
            VARIANT_BOOL by_list = VARIANT_FALSE;
            long sorted = 0;
            check(shared<_Arry>()->Sort(sArray, &by_list, &sorted));
            return sorted;
        }
        return 0;
    });
}

// Every item whose text is Value, from the last index down.
HRESULT LB_CB::RemoveItem(IDispatch* LBCB, BSTR Value, VARIANT_BOOL FindExact, long* result) {
    return trapped(Trap{Source::LB_CB, L"RemoveItem"}, result, ErrorNumberResult{}, [&]() -> long {
        IDispatch* box = box_of(LBCB);
        const bool exact = FindExact != VARIANT_FALSE;
        const std::wstring key = key_of(std::wstring(text_of(Value)), exact);
        for (long i = list_count(box) - 1; i >= 0; --i)
            if (key_of(item_text(box, i), exact) == key) late::call(box, L"RemoveItem", {Variant(i)});
        return 0;
    });
}

HRESULT LB_CB::Kill_Empty(IDispatch* LBCB, long* result) {
    return RemoveItem(LBCB, Bstr(L"").get(), VARIANT_TRUE, result);
}

// Selects item Index (-1: no item) of a list box or combo box given as a control
// or a window handle. True when the box took the index: for -1 when the selection
// was cleared, otherwise when the index named an item; False for an index out of
// range and for a window that is neither kind of box.
HRESULT LB_CB::Set_ListIndex(VARIANT LBCB, long Index, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::LB_CB, L"Set_ListIndex", ErrorNumber}, result, false, [&] {
        bool is_object = false;
        const HWND hwnd = reinterpret_cast<HWND>(static_cast<LONG_PTR>(Get_hWnd(LBCB, is_object)));
        wchar_t name[256] = {};
        if (!hwnd || !IsWindow(hwnd) || !GetClassNameW(hwnd, name, 256)) return false;
        // The system's classes and the forms runtime's ("...ListBox", "...ComboBox"),
        // and the drop-down list of a combo box ("ComboLBox").
        const std::wstring kind = LCase(name);
        auto ends_with = [&](std::wstring_view tail) {
            return kind.size() >= tail.size() && kind.compare(kind.size() - tail.size(), tail.size(), tail) == 0;
        };
        UINT message;
        if (ends_with(L"listbox") || kind == L"combolbox")
            message = LB_SETCURSEL;
        else if (ends_with(L"combobox"))
            message = CB_SETCURSEL;
        else
            return false;
        const auto reply = send_bounded(hwnd, message, static_cast<WPARAM>(Index));
        if (!reply) raise(err::InvalidCall);  // another program's box that does not answer
        if (Index == -1) return true;         // the reply to clearing is -1 by design
        return *reply != -1;
    });
}

}  // namespace qm
