// LB_CB: whole lists: duplicates, replacing, copying and exchanging contents,
// order, the smallest and greatest text, comparing and joining.
#include <algorithm>
#include <unordered_map>

#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "frame/mycontrols.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/forms/globals.h"
#include "runtime/safearray.h"

namespace qm {

using lbcb::Entry;
using lbcb::Items;
using lbcb::key_of;

// The first item equal to Value stays, every later one goes; with no such item
// the whole list is searched.
HRESULT LB_CB::Kill_DoubleItem(IDispatch* LBCB, BSTR Value, VARIANT_BOOL FindExact, long* result) {
    return trapped(Trap{Source::LB_CB, L"Kill_DoubleItem"}, result, ErrorNumberResult{}, [&]() -> long {
        const bool exact = FindExact != VARIANT_FALSE;
        const std::wstring key = key_of(std::wstring(text_of(Value)), exact);
        long first = -1, find_error = 0;
        check(Find(LBCB, Bstr(key).get(), FindExact, &find_error, &first));
        if (first == -2) return -2;
        const Items items(LBCB);
        for (long i = items.count() - 1, stop = std::max(first, -1L); i > stop; --i)
            if (key_of(items.text(i), exact) == key) items.remove(i);
        return 0;
    });
}

// Each text's first item stays with its data. Inexact: every later item equal
// regardless of case goes. Exact: the later items of a text go only when the
// first of them that equals it regardless of case equals it character for
// character; then they all go, whatever their case.
HRESULT LB_CB::Kill_DoubleItems(IDispatch* LBCB, VARIANT_BOOL FindExact, long* result) {
    return trapped(Trap{Source::LB_CB, L"Kill_DoubleItems"}, result, ErrorNumberResult{}, [&]() -> long {
        long hwnd = 0;
        if (Kill_DoubleItemsFunc(*Variant(LBCB).get(), 6, hwnd) == -2) return -2;
        const Items items(LBCB);
        const std::vector<Entry> all = items.entries();
        if (all.empty()) return 0;
        const bool exact = FindExact != VARIANT_FALSE;
        // The items of each text regardless of case, in list order; `next` is the
        // first one not yet taken or removed.
        struct Group {
            std::vector<size_t> members;
            size_t next = 0;
        };
        std::unordered_map<std::wstring, Group> groups;
        groups.reserve(all.size());
        std::vector<Group*> group_of(all.size());
        for (size_t i = 0; i < all.size(); ++i) {
            Group& g = groups[LCase(all[i].text)];
            g.members.push_back(i);
            group_of[i] = &g;
        }
        std::vector<bool> removed(all.size());
        std::vector<Entry> kept;
        for (size_t i = 0; i < all.size(); ++i) {
            if (removed[i]) continue;
            kept.push_back(all[i]);
            Group& g = *group_of[i];
            ++g.next;  // the item taken was its group's first remaining one
            if (g.next == g.members.size()) continue;
            if (exact && all[g.members[g.next]].text != all[i].text) continue;
            for (; g.next < g.members.size(); ++g.next) removed[g.members[g.next]] = true;
        }
        if (kept.size() != all.size()) items.rewrite(kept);
        return 0;
    });
}

HRESULT LB_CB::Replace(IDispatch* LBCB, BSTR SearchFor, BSTR ReplaceWith, VARIANT_BOOL FindExact, long* result) {
    return trapped(Trap{Source::LB_CB, L"Replace"}, result, ErrorNumberResult{}, [&]() -> long {
        const std::wstring with(text_of(ReplaceWith));
        if (text_of(SearchFor) == with) return 0;
        const bool exact = FindExact != VARIANT_FALSE;
        const std::wstring key = key_of(std::wstring(text_of(SearchFor)), exact);
        const Items items(LBCB);
        for (long i = 0, n = items.count(); i < n; ++i)
            if (key_of(items.text(i), exact) == key) items.set_text(i, with);
        return 0;
    });
}

// The source is read whole before the target changes, so a box copied onto
// itself keeps its items.
HRESULT LB_CB::Copy(IDispatch* LBCBsource, IDispatch* LBCBtarget, VARIANT_BOOL ClearBeforCopy, long* result) {
    return trapped(Trap{Source::LB_CB, L"Copy"}, result, ErrorNumberResult{}, [&]() -> long {
        const std::vector<Entry> source = Items(LBCBsource).entries();
        const Items target(LBCBtarget);
        if (ClearBeforCopy != VARIANT_FALSE) target.clear();
        for (const Entry& e : source) target.add(e.text, e.data);
        return 0;
    });
}

// The source is cleared only after a copy that succeeded.
HRESULT LB_CB::Move(IDispatch* LBCBsource, IDispatch* LBCBtarget, long* result) {
    return trapped(Trap{Source::LB_CB, L"Move"}, result, ErrorNumberResult{}, [&]() -> long {
        if (lbcb::same_object(LBCBsource, LBCBtarget)) return 0;
        long copied = 0;
        check(Copy(LBCBsource, LBCBtarget, VARIANT_TRUE, &copied));
        if (copied == 0) Items(LBCBsource).clear();
        return copied;
    });
}

// Both boxes are read before either changes; when writing one fails, both get
// their own items back.
HRESULT LB_CB::Swap(IDispatch* LBCB1, IDispatch* LBCB2, long* result) {
    return trapped(Trap{Source::LB_CB, L"Swap"}, result, ErrorNumberResult{}, [&]() -> long {
        const Items one(LBCB1), two(LBCB2);
        const std::vector<Entry> first = one.entries(), second = two.entries();
        bool two_changed = false;
        try {
            one.rewrite(second);
            two_changed = true;
            two.rewrite(first);
        } catch (...) {
            late::skipping_errors([&] { one.rewrite(first); });
            if (two_changed) late::skipping_errors([&] { two.rewrite(second); });
            throw;
        }
        late::call(one.box(), L"Refresh");
        late::call(two.box(), L"Refresh");
        forms::do_events();
        return 0;
    });
}

HRESULT LB_CB::Invert(IDispatch* LBCB, long* result) {
    return trapped(Trap{Source::LB_CB, L"Invert"}, result, ErrorNumberResult{}, [&]() -> long {
        const Items items(LBCB);
        if (items.sorted()) return -1;
        std::vector<std::wstring> texts = items.texts();
        if (texts.empty()) return -3;
        items.clear();
        for (auto it = texts.rbegin(); it != texts.rend(); ++it) items.add(*it);
        return 0;
    });
}

HRESULT LB_CB::Shuffle(IDispatch* LBCB, long* result) {
    return trapped(Trap{Source::LB_CB, L"Shuffle"}, result, -2L, [&]() -> long {
        const Items items(LBCB);
        if (items.sorted()) return -1;
        std::vector<std::wstring> texts = items.texts();
        if (texts.empty()) return -3;
        Variant shuffled = string_array(texts).to_variant();
        long status = 0;
        check(shared<_Arry>()->Shuffle(shuffled.get(), &status));
        if (status != 0) return status;
        texts = texts_of(array_of(*shuffled.get()));
        items.clear();
        for (const std::wstring& t : texts) items.add(t);
        return 0;
    });
}

// Ascending: the box's texts by character code, item data dropped (a combo box
// is a type mismatch). Descending: the box's own order reversed, each item with
// its data.
HRESULT LB_CB::Sort(IDispatch* LBCB, SORTNFO sSort, long* result) {
    return trapped(Trap{Source::LB_CB, L"Sort"}, result, ErrorNumberResult{}, [&]() -> long {
        const Items items(LBCB);
        if (items.sorted()) return 0;
        if (sSort == soASCENDING) {
            Sort_ListBox(items.box());
        } else if (sSort == soDESCENDING) {
            const std::vector<Entry> before = items.entries();
            ComPtr<MyControls> worker = forms::make<MyControls>();
            worker->load();
            worker->set_tag(L"Sort");
            if (!worker->SortLB(items.box())) {
                late::skipping_errors([&] { worker->unload(); });
                items.rewrite(before);
                raise(err::CantPerformOperation);
            }
            std::vector<Entry> sorted = items.entries();
            std::reverse(sorted.begin(), sorted.end());
            items.rewrite(sorted);
        }
        return 0;
    });
}

namespace {

// The index of the greatest (or smallest) text by character code, the earlier
// one on a tie; -1 and "" for an empty box.
long extreme(IDispatch* box, BSTR* text, bool greatest) {
    if (!text) raise(err::InvalidCall);
    const std::vector<std::wstring> texts = Items(box).texts();
    long at = -1;
    for (size_t i = 0; i < texts.size(); ++i)
        if (at < 0 || (greatest ? texts[i] > texts[at] : texts[i] < texts[at])) at = static_cast<long>(i);
    Bstr value(at < 0 ? std::wstring() : texts[at]);
    SysFreeString(*text);
    *text = value.detach();
    return at;
}

// The failure of the extremes: -2 and an empty text.
template <class Body>
HRESULT extreme_member(const wchar_t* name, BSTR* text, long* ErrorNumber, long* result, Body&& body) {
    return trapped(Trap{Source::LB_CB, name, ErrorNumber}, result, -2L, [&]() -> long {
        try {
            return body();
        } catch (...) {
            if (text) {
                SysFreeString(*text);
                *text = SysAllocStringLen(nullptr, 0);
            }
            throw;
        }
    });
}

}  // namespace

HRESULT LB_CB::Get_MaxValue(IDispatch* LBCB, BSTR* MaxStr, long* ErrorNumber, long* result) {
    return extreme_member(L"Get_MaxValue", MaxStr, ErrorNumber, result, [&] { return extreme(LBCB, MaxStr, true); });
}

HRESULT LB_CB::Get_MinValue(IDispatch* LBCB, BSTR* MinStr, long* ErrorNumber, long* result) {
    return extreme_member(L"Get_MinValue", MinStr, ErrorNumber, result, [&] { return extreme(LBCB, MinStr, false); });
}

// ErrorNumber keeps the caller's value unless the comparison fails.
HRESULT LB_CB::Compare(IDispatch* LBCB1, IDispatch* LBCB2, VARIANT_BOOL CompareExact, long* ErrorNumber,
                       VARIANT_BOOL* result) {
    return trapped(Trap{Source::LB_CB, L"Compare"}, result, false, [&] {
        try {
            const Items one(LBCB1), two(LBCB2);
            const long n = one.count();
            if (n != two.count()) return false;
            const bool exact = CompareExact != VARIANT_FALSE;
            for (long i = 0; i < n; ++i)
                if (key_of(one.text(i), exact) != key_of(two.text(i), exact)) return false;
            return true;
        } catch (const RuntimeError& e) {
            if (ErrorNumber) *ErrorNumber = e.number();
            throw;
        }
    });
}

HRESULT LB_CB::ToString(IDispatch* LBCB, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::LB_CB, L"ToString", ErrorNumber}, result, Bstr(), [&] {
        const Items items(LBCB);
        std::wstring joined;
        for (long i = 0, n = items.count(); i < n; ++i) {
            if (i) joined += L'\0';
            joined += items.text(i);
        }
        return Bstr(joined);
    });
}

}  // namespace qm
