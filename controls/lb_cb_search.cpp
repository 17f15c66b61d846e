// LB_CB: finding and counting the items of list and combo boxes.
#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "runtime/contract.h"

namespace qm {

using lbcb::box_of;
using lbcb::item_text;
using lbcb::key_of;
using lbcb::list_count;

namespace {

// The box's own whole-text search (case-insensitive) from the top; with exact, the
// first item from there on whose text is Find character for character. A box of the
// other kind, or no box at all, is a type mismatch (13): its window would answer the
// message with a meaningless number.
long find_item(IDispatch* box, std::wstring_view find, bool exact, UINT find_exact_message) {
    const bool combo = find_exact_message == CB_FINDSTRINGEXACT;
    if (!(combo ? late::is_combo_box(box_of(box)) : late::is_list_box(box_of(box)))) raise(err::TypeMismatch);
    const std::wstring text(find);
    const LRESULT r = SendMessageW(lbcb::window_of(box), find_exact_message, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(text.c_str()));
    if (r < 0) return -1;
    if (!exact) return static_cast<long>(r);
    for (long i = static_cast<long>(r), n = list_count(box); i < n; ++i)
        if (item_text(box, i) == text) return i;
    return -1;
}

}  // namespace

// A list box goes to LB_Find, a combo box to CB_Find; any other object gives -3
// and leaves ErrorNumber as the caller passed it.
HRESULT LB_CB::Find(IDispatch* LBCB, BSTR sFind, VARIANT_BOOL FindExact, long* ErrorNumber, long* result) {
    return untrapped(result, [&] {
        long found = -3;
        if (LBCB && late::is_list_box(LBCB))
            check(LB_Find(LBCB, sFind, FindExact, ErrorNumber, &found));
        else if (LBCB && late::is_combo_box(LBCB))
            check(CB_Find(LBCB, sFind, FindExact, ErrorNumber, &found));
        return found;
    });
}

HRESULT LB_CB::LB_Find(IDispatch* ListBox, BSTR Find, VARIANT_BOOL FindExact, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_Find", ErrorNumber}, result, -2L, [&] {
        return find_item(ListBox, text_of(Find), FindExact != VARIANT_FALSE, LB_FINDSTRINGEXACT);
    });
}

HRESULT LB_CB::CB_Find(IDispatch* ComboBox, BSTR Find, VARIANT_BOOL FindExact, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"CB_Find", ErrorNumber}, result, -2L, [&] {
        return find_item(ComboBox, text_of(Find), FindExact != VARIANT_FALSE, CB_FINDSTRINGEXACT);
    });
}

// The first item holding Find: anywhere (FindAtPosition below 0) or starting at the
// 1-based position FindAtPosition.
HRESULT LB_CB::FindPhrase(IDispatch* LBCB, BSTR Find, long FindAtPosition, VARIANT_BOOL FindExact, long* ErrorNumber,
                          long* result) {
    return trapped(Trap{Source::LB_CB, L"FindPhrase", ErrorNumber}, result, -2L, [&]() -> long {
        IDispatch* box = box_of(LBCB);
        const bool exact = FindExact != VARIANT_FALSE;
        const std::wstring key = key_of(std::wstring(text_of(Find)), exact);
        if (FindAtPosition == 0) return -1;  // no text has a position 0
        for (long i = 0, n = list_count(box); i < n; ++i) {
            const std::wstring item = key_of(item_text(box, i), exact);
            if (FindAtPosition < 0 ? InStr(item, key) > 0 : InStr(FindAtPosition, item, key) == FindAtPosition)
                return i;
        }
        return -1;
    });
}

HRESULT LB_CB::ItemExist(IDispatch* LBCB, BSTR Value, VARIANT_BOOL FindExact, long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        long local = 0;
        long* error_number = ErrorNumber ? ErrorNumber : &local;
        long found = -1;
        check(Find(LBCB, Value, FindExact, error_number, &found));
        return found >= 0 && *error_number == 0;
    });
}

HRESULT LB_CB::CountItem(IDispatch* LBCB, BSTR Item, VARIANT_BOOL FindExact, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"CountItem", ErrorNumber}, result, -2L, [&] {
        IDispatch* box = box_of(LBCB);
        const bool exact = FindExact != VARIANT_FALSE;
        const std::wstring key = key_of(std::wstring(text_of(Item)), exact);
        long count = 0;
        for (long i = 0, n = list_count(box); i < n; ++i)
            if (key_of(item_text(box, i), exact) == key) ++count;
        return count;
    });
}

}  // namespace qm
