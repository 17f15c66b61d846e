// FlexGrid.Sort on 100,000 rows (numbers, texts) and ListView.Sorted on 20,000
// items, set through the automation face, against std::stable_sort with the same
// comparison on the same texts in one run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "runtime/convert.h"
#include "runtime/forms/hosted.h"
#include "runtime/latebind.h"

namespace {

unsigned g_seed = 2024;
unsigned next() { return (g_seed = g_seed * 1103515245u + 12345u) >> 16; }

std::vector<std::wstring> random_texts(size_t count) {
    std::vector<std::wstring> texts;
    for (size_t i = 0; i < count; ++i) {
        std::wstring t(5 + next() % 16, L'a');
        for (auto& c : t) {
            unsigned r = next() % 62;
            c = static_cast<wchar_t>(r < 26 ? L'a' + r : r < 52 ? L'A' + r - 26 : L'0' + r - 52);
        }
        texts.push_back(std::move(t));
    }
    return texts;
}

std::vector<std::wstring> random_numbers(size_t count) {
    std::vector<std::wstring> texts;
    for (size_t i = 0; i < count; ++i) texts.push_back(std::to_wstring(static_cast<long>(next() % 200000) - 100000));
    return texts;
}

using namespace qm;
using namespace qm::forms;

void grid_sort(Form& form, const char* what, long kind, const std::vector<std::wstring>& texts) {
    ComPtr<Control> c = new_control(L"FlexGrid");
    form.add_control(c, what[0] == 'n' ? L"GridN" : L"GridT");
    IDispatch* grid = static_cast<IDispatch*>(c.get());
    late::put(grid, L"Redraw", Variant(false));
    late::put(grid, L"Cols", Variant(1L));
    late::put(grid, L"FixedCols", Variant(0L));
    late::put(grid, L"Rows", Variant(static_cast<long>(texts.size() + 1)));
    auto& flex = static_cast<FlexGrid&>(*c.get());
    for (size_t i = 0; i < texts.size(); ++i) flex.set_text(static_cast<long>(i + 1), 0, texts[i]);
    late::put(grid, L"Row", Variant(1L));
    late::put(grid, L"Col", Variant(0L));
    double ours = qmbench::seconds([&] { late::put(grid, L"Sort", Variant(kind)); });
    std::vector<std::wstring> reference = texts;
    double other = qmbench::seconds([&] {
        std::stable_sort(reference.begin(), reference.end(),
                         [kind](const std::wstring& a, const std::wstring& b) { return grid_compare(kind, a, b) < 0; });
    });
    bool same = true;
    for (size_t i = 0; same && i < reference.size(); ++i) same = flex.text(static_cast<long>(i + 1), 0) == reference[i];
    std::printf("%s: order %s\n", what, same ? "the same" : "DIFFERENT");
    qmbench::report(what, 1, ours, other, "stable_sort");
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    ComPtr<Form> form = make<Form>();
    form->load();

    grid_sort(*form.get(), "numbers FlexGrid.Sort 3", 3, random_numbers(100000));
    grid_sort(*form.get(), "texts FlexGrid.Sort 5", 5, random_texts(100000));

    // ListView.Sorted: the key column's texts, case-insensitive, in the locale's order.
    ComPtr<Control> c = new_control(L"ListView");
    form->add_control(c, L"List1");
    IDispatch* lv = static_cast<IDispatch*>(c.get());
    auto& view = static_cast<ListView&>(*c.get());
    view.add_column(-1, L"", L"Name", nullptr);
    std::vector<std::wstring> texts = random_texts(20000);
    for (const auto& t : texts) view.add_item(-1, L"", t);
    double ours = qmbench::seconds([&] { late::put(lv, L"Sorted", Variant(true)); });
    std::vector<std::wstring> reference = texts;
    double other = qmbench::seconds([&] {
        std::stable_sort(reference.begin(), reference.end(), [](const std::wstring& a, const std::wstring& b) {
            return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size())) == CSTR_LESS_THAN;
        });
    });
    bool same = true;
    for (size_t i = 0; same && i < reference.size(); ++i) same = view.items()[i]->text == reference[i];
    std::printf("ListView.Sorted: order %s\n", same ? "the same" : "DIFFERENT");
    qmbench::report("ListView.Sorted (20,000)", 1, ours, other, "stable_sort");
    form->unload();
    CoUninitialize();
    return 0;
}
