// Controls: a list view sorted by one column as text, numbers or dates. The list
// view sorts text only: numbers and dates get a sortable text key in a hidden
// column, which goes again on every path. A list view of our own forms engine is
// ordered in place by the same keys, without a late-bound call per row.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/forms_globals.h"
#include "runtime/forms_hosted.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

// Numbers first, ordered by value as 20 digits of an order-keeping image of the
// double; then every cell that is no number, in text order.
std::wstring number_key(const std::wstring& cell) {
    if (!IsNumeric(cell)) return L"1" + cell;
    double v = CDbl(cell);
    if (v == 0) v = 0;  // -0 sorts with 0
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    bits = (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
    std::wstring key(21, L'0');
    for (size_t i = 20; bits; --i, bits /= 10) key[i] = static_cast<wchar_t>(L'0' + bits % 10);
    return key;
}

std::wstring date_key(const std::wstring& cell) {
    return FormatDate(CDate(cell), L"yyyy.mm.dd hh:mm:ss", Sunday, FirstJan1);
}

int compare_texts(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(locale(), NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) - CSTR_EQUAL;
}

// A cell's place in a number or date sort: numbers (or dates) first by value, then
// the cells that are no numbers in text order.
struct SortKey {
    bool text = false;
    double value = 0;
    std::wstring date;
    const std::wstring* cell = nullptr;
};

bool before(const SortKey& a, const SortKey& b) {
    if (a.text != b.text) return b.text;
    if (a.text) return compare_texts(*a.cell, *b.cell) < 0;
    if (!a.date.empty()) return a.date < b.date;
    return a.value < b.value;
}

// The same sort on the engine's own list view: the keys are computed from its
// cells, the items put in their order, and the view left with the SortKey,
// SortOrder and Sorted the hidden column would have left.
long sort_hosted(forms::ListView& view, long column, long by) {
    view.set_sort_key(column - 1);
    const long key_column = static_cast<long>(view.columns().size());
    long order = 0;
    bool dates = false;
    switch (by) {
    case lsSortByNumDEScending: order = 1; [[fallthrough]];
    case lsSortByNumASCending: break;
    case lsSortByDateDEScending: order = 1; [[fallthrough]];
    case lsSortByDateASCending: dates = true; break;
    case lsSortDEScending: order = 1; [[fallthrough]];
    case lsSortASCending:
        view.set_sort_order(order);
        view.set_sorted(true);
        return 0;
    default:
        return 0;
    }
    const auto& items = view.items();
    if (!items.empty() && column - 1 > key_column) raise(err::InvalidPropertyValue);  // no such sub-item
    std::vector<SortKey> keys(items.size());
    for (size_t i = keys.size(); i-- > 0;) {
        SortKey& k = keys[i];
        k.cell = &items[i]->column_text(column - 1);
        if (dates) {
            k.date = date_key(*k.cell);
        } else {
            k.text = FAILED(VarR8FromStr(const_cast<wchar_t*>(k.cell->c_str()), locale(), 0, &k.value));
            if (k.value == 0) k.value = 0;  // -0 sorts with 0
        }
    }
    std::vector<size_t> places(keys.size());
    for (size_t i = 0; i < places.size(); ++i) places[i] = i;
    if (order == 0)
        std::stable_sort(places.begin(), places.end(), [&](size_t a, size_t b) { return before(keys[a], keys[b]); });
    else
        std::stable_sort(places.begin(), places.end(), [&](size_t a, size_t b) { return before(keys[b], keys[a]); });
    view.arrange(places, key_column, order);
    view.refresh();
    forms::do_events();
    return 0;
}

}  // namespace

HRESULT Controls::ListVew_Sort(IDispatch** ListView, long* Column, ListViewSort* SortBy, long* result) {
    return trapped(Trap{Source::Controls, L"ListVew_Sort"}, result, ErrorNumberResult{}, [&] {
        IDispatch* view = ListView ? *ListView : nullptr;
        if (!view) raise(err::ObjectNotSet);
        const long column = Column ? *Column : 0;
        const long by = SortBy ? static_cast<long>(*SortBy) : 0;
        if (auto* hosted = dynamic_cast<forms::ListView*>(forms::object_of(view))) return sort_hosted(*hosted, column, by);
        late::put(view, L"SortKey", Variant(column - 1));

        ComPtr<IDispatch> headers = late::object(*late::get(view, L"ColumnHeaders").get());
        const Variant missing = [] {
            Variant m;
            m.get()->vt = VT_ERROR;
            m.get()->scode = DISP_E_PARAMNOTFOUND;
            return m;
        }();
        late::call(headers.get(), L"Add", {missing, missing, Variant(L"Dummy"), Variant(0L)});
        const long added = CLng(*late::get(headers.get(), L"Count").get());
        const auto remove_column = [&] { late::call(headers.get(), L"Remove", {Variant(added)}); };
        try {
            const long h = added - 1;
            long order = 0;
            std::wstring (*key)(const std::wstring&) = nullptr;
            switch (by) {
            case lsSortByNumDEScending: order = 1; [[fallthrough]];
            case lsSortByNumASCending: key = number_key; break;
            case lsSortByDateDEScending: order = 1; [[fallthrough]];
            case lsSortByDateASCending: key = date_key; break;
            case lsSortDEScending: order = 1; break;
            case lsSortASCending: break;
            default:
                remove_column();
                return 0L;
            }
            if (key) {
                ComPtr<IDispatch> items = late::object(*late::get(view, L"ListItems").get());
                for (long i = CLng(*late::get(items.get(), L"Count").get()); i >= 1; --i) {
                    ComPtr<IDispatch> item = late::object(*late::get(items.get(), L"Item", {Variant(i)}).get());
                    const std::wstring cell = CStr(*(column == 1 ? late::get(item.get(), L"Text")
                                                                 : late::get(item.get(), L"SubItems", {Variant(column - 1)}))
                                                        .get());
                    late::put(item.get(), L"SubItems", Variant(key(cell)), {Variant(h)});
                }
                late::put(view, L"SortKey", Variant(h));
            }
            late::put(view, L"SortOrder", Variant(order));
            late::put(view, L"Sorted", Variant(true));
        } catch (...) {
            late::skipping_errors(remove_column);
            throw;
        }
        remove_column();
        late::call(view, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

}  // namespace qm
