// Controls: a list view sorted by one column as text, numbers or dates. The list
// view sorts text only: numbers and dates get a sortable text key in a hidden
// column, which goes again on every path.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "controls/controls.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/forms_globals.h"
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

}  // namespace

HRESULT Controls::ListVew_Sort(IDispatch** ListView, long* Column, ListViewSort* SortBy, long* result) {
    return trapped(Trap{Source::Controls, L"ListVew_Sort"}, result, ErrorNumberResult{}, [&] {
        IDispatch* view = ListView ? *ListView : nullptr;
        if (!view) raise(err::ObjectNotSet);
        const long column = Column ? *Column : 0;
        const long by = SortBy ? static_cast<long>(*SortBy) : 0;
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
