// ListVew_Sort by numbers on 10,000 rows of the engine's list view, against the
// system list view's own sort (LVM_SORTITEMSEX with a numeric comparison of the
// two cells) on the same rows in the same run. The engine's list view is a
// virtual list, whose window holds no items to sort, so the system's sort runs on
// a plain SysListView32 filled alike. A second row sets ours against
// std::stable_sort of the parsed cells, the bare work.
// Goal: ratio <= 3 against LVM_SORTITEMSEX.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "frame/classes.h"
#include "runtime/convert.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"

using namespace qm;
using namespace qm::forms;

namespace {

std::wstring cell_of(HWND list, WPARAM row) {
    wchar_t buf[64];
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = buf;
    item.cchTextMax = 64;
    LRESULT n = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return std::wstring(buf, static_cast<size_t>(n));
}

int CALLBACK by_number(LPARAM a, LPARAM b, LPARAM list) {
    HWND h = reinterpret_cast<HWND>(list);
    double x = CDbl(cell_of(h, static_cast<WPARAM>(a))), y = CDbl(cell_of(h, static_cast<WPARAM>(b)));
    return x < y ? -1 : x > y ? 1 : 0;
}

// The order the rows were made in: each item's data is its first place.
int CALLBACK by_row_made(LPARAM a, LPARAM b, LPARAM) { return a < b ? -1 : a > b ? 1 : 0; }

// A plain system list view of the same rows, in the order made.
HWND plain_list(const std::vector<std::wstring>& cells) {
    HWND plain = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 400, 300, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    for (int k = 0; k < 2; ++k) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<wchar_t*>(k ? L"Wert" : L"Name");
        col.cx = 100;
        col.iSubItem = k;
        SendMessageW(plain, LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&col));
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.lParam = static_cast<LPARAM>(i);
        item.pszText = const_cast<wchar_t*>(L"x");
        SendMessageW(plain, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<wchar_t*>(cells[i].c_str());
        SendMessageW(plain, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    }
    return plain;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    ComPtr<Form> form = make<Form>();
    form->load();
    unsigned seed = 2024;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    std::vector<std::wstring> cells;
    for (int i = 0; i < 10000; ++i)
        cells.push_back(CStr(static_cast<double>(static_cast<long>(next() % 2000000) - 1000000) / 100));

    ComPtr<Control> c = new_control(L"ListView");
    form->add_control(c, L"List1");
    IDispatch* lv = static_cast<IDispatch*>(c.get());
    auto& view = static_cast<ListView&>(*c.get());
    view.add_column(-1, L"", L"Name", nullptr);
    view.add_column(-1, L"", L"Wert", nullptr);
    for (const auto& t : cells) {
        ListItem& item = view.add_item(-1, L"", L"x");
        view.set_sub_item(item, 1, t);
    }

    _Controls* controls = nullptr;
    find_class_by_interface(IID__Controls)->create(IID__Controls, reinterpret_cast<void**>(&controls));
    long column = 2, r = -1;
    ListViewSort by = lsSortByNumASCending;
    // Each round sorts the rows as made: ours gets its cells back in the first
    // order, the system's list its rows, by the number each holds. (Wine's list
    // view passes the callback the items' places in the list it is sorting, so
    // its order comes out wrong; the work it does is the same each round.)
    qmbench::Best ours, system;
    HWND plain = plain_list(cells);
    for (qmbench::Rounds round(7, 3); round.next();) {
        view.set_sorted(false);  // as made: a sorted view sorts again when its sort key is set
        for (size_t i = 0; i < cells.size(); ++i) view.items()[i]->subs[0] = cells[i];
        SendMessageW(plain, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(by_row_made));
        ours.time([&] { controls->ListVew_Sort(&lv, &column, &by, &r); });
        system.time([&] {
            SendMessageW(plain, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(plain), reinterpret_cast<LPARAM>(by_number));
        });
    }

    std::vector<std::wstring> reference = cells;
    const double bare = qmbench::seconds([&] {
        std::vector<std::pair<double, const std::wstring*>> keyed;
        keyed.reserve(reference.size());
        for (const auto& t : reference) keyed.emplace_back(CDbl(t), &t);
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::wstring> sorted;
        sorted.reserve(keyed.size());
        for (const auto& k : keyed) sorted.push_back(*k.second);
        reference.swap(sorted);
    });
    bool same = r == 0, same_system = true;
    for (size_t i = 0; same && i < reference.size(); ++i) same = view.items()[i]->column_text(1) == reference[i];
    for (size_t i = 0; same_system && i < reference.size(); ++i)
        same_system = CDbl(cell_of(plain, i)) == CDbl(reference[i]);
    std::printf("ListVew_Sort: result %ld, order %s; system list view's order %s\n", r, same ? "the same" : "DIFFERENT",
                same_system ? "the same" : "DIFFERENT");
    qmbench::report("ListVew_Sort numbers (10,000)", 1, ours, system, "LVM_SORTITEMSEX", qmbench::at_most(3));
    qmbench::report("ListVew_Sort numbers, bare sort", 1, ours.value, bare, "stable_sort");
    DestroyWindow(plain);
    controls->Release();
    form->unload();
    CoUninitialize();
    return 0;
}
