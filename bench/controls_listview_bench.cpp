// ListVew_Sort by numbers on 10,000 rows against std::stable_sort with a numeric
// comparison of the same cells (the hosted list view is a virtual list, whose
// window has no items of its own to sort), in one run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "frame/classes.h"
#include "runtime/convert.h"
#include "runtime/forms_hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"

using namespace qm;
using namespace qm::forms;

int main() {
    CoInitialize(nullptr);
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
    const double ours = qmbench::seconds([&] { controls->ListVew_Sort(&lv, &column, &by, &r); });

    std::vector<std::wstring> reference = cells;
    const double other = qmbench::seconds([&] {
        std::vector<std::pair<double, const std::wstring*>> keyed;
        keyed.reserve(reference.size());
        for (const auto& t : reference) keyed.emplace_back(CDbl(t), &t);
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::wstring> sorted;
        sorted.reserve(keyed.size());
        for (const auto& k : keyed) sorted.push_back(*k.second);
        reference.swap(sorted);
    });
    bool same = r == 0;
    for (size_t i = 0; same && i < reference.size(); ++i) same = view.items()[i]->column_text(1) == reference[i];
    std::printf("ListVew_Sort: result %ld, order %s\n", r, same ? "the same" : "DIFFERENT");
    qmbench::report("ListVew_Sort numbers (10,000)", 1, ours, other, "stable_sort");
    controls->Release();
    form->unload();
    CoUninitialize();
    return 0;
}
