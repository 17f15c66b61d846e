// Flex_ReadDatabase with AutoFormat on 20,000 records of 5 fields, against the
// same grid filled through its C++ interface (painted once, at the end) with
// every text measured by GetTextExtentPoint32W in the grid's font; and
// Flex_ItemExist for a missing value on that grid, against a loop of late-bound
// TextArray reads with the same comparison. One run.
#include <windows.h>

#include <algorithm>
#include <cmath>
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

constexpr long kRecords = 20000, kFields = 5;
std::vector<std::wstring> g_names;
std::vector<std::wstring> g_values;  // record by record

// An in-memory record set over g_values: MoveFirst, MoveNext, EOF, Fields.
class Records final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"Recordset"; }
    const Table& table() const override {
        static const Table t({}, {
            {L"MoveFirst", [](Object& o, const Args&) { self<Records>(o).pos = 0; return Variant(); }},
            {L"MoveNext", [](Object& o, const Args&) { ++self<Records>(o).pos; return Variant(); }},
            {L"EOF", [](Object& o, const Args&) { return var(self<Records>(o).pos >= kRecords); }},
            {L"Fields", [](Object& o, const Args&) {
                 ComPtr<Fields> f = make<Fields>();
                 f->owner = &self<Records>(o);
                 return var(f);
             }},
        });
        return t;
    }
    long pos = 0;

private:
    struct Field final : Object {
        Records* owner = nullptr;
        long index = 0;
        const wchar_t* type_name() const noexcept override { return L"Field"; }
        const Table& table() const override {
            static const Table t({}, {
                {L"Name", [](Object& o, const Args&) { return var(g_names[static_cast<size_t>(self<Field>(o).index)]); }},
                {L"Value", [](Object& o, const Args&) {
                     auto& f = self<Field>(o);
                     return var(g_values[static_cast<size_t>(f.owner->pos * kFields + f.index)]);
                 }},
            }, L"Value");
            return t;
        }
    };
    struct Fields final : Object {
        Records* owner = nullptr;
        const wchar_t* type_name() const noexcept override { return L"Fields"; }
        const Table& table() const override {
            static const Table t({}, {
                {L"Count", [](Object&, const Args&) { return var(kFields); }},
                {L"Item", [](Object& o, const Args& a) {
                     ComPtr<Field> f = make<Field>();
                     f->owner = self<Fields>(o).owner;
                     f->index = a.lng(0);
                     return var(f);
                 }},
            }, L"Item");
            return t;
        }
    };
};

}  // namespace

int main() {
    CoInitialize(nullptr);
    for (long i = 0; i < kFields; ++i) g_names.push_back(L"Feld" + std::to_wstring(i));
    unsigned seed = 2024;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (long i = 0; i < kRecords * kFields; ++i) {
        std::wstring t;
        for (unsigned n = 3 + next() % 14; n; --n) t += static_cast<wchar_t>(L'a' + next() % 26);
        g_values.push_back(i % kFields == 2 ? std::to_wstring(next()) : t);
    }

    ComPtr<Form> form = make<Form>();
    form->load();
    ComPtr<Control> c = new_control(L"FlexGrid");
    form->add_control(c, L"Flex1");
    IDispatch* flex = static_cast<IDispatch*>(c.get());
    auto& grid = static_cast<FlexGrid&>(*c.get());
    _Controls* controls = nullptr;
    find_class_by_interface(IID__Controls)->create(IID__Controls, reinterpret_cast<void**>(&controls));

    ComPtr<Records> records = make<Records>();
    IDispatch* rs = records.get();
    long r = -1;
    const double plain = qmbench::seconds([&] { controls->Flex_ReadDatabase(&flex, &rs, VARIANT_FALSE, &r); });
    const double ours = qmbench::seconds([&] { controls->Flex_ReadDatabase(&flex, &rs, VARIANT_TRUE, &r); });
    std::vector<float> widths;
    for (long k = 0; k < kFields; ++k) widths.push_back(grid.col_width(k));

    const double other = qmbench::seconds([&] {
        grid.set_redraw(false);  // the texts are painted once, at the end
        grid.clear();
        grid.set_cols_kept(kFields);
        grid.set_fixed_cols(0);
        grid.set_rows_kept(kRecords + 1);
        grid.set_fixed_rows(1);
        for (long k = 0; k < kFields; ++k) grid.set_text(0, k, g_names[static_cast<size_t>(k)]);
        for (long i = 0; i < kRecords; ++i)
            for (long k = 0; k < kFields; ++k) grid.set_text(i + 1, k, g_values[static_cast<size_t>(i * kFields + k)]);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, grid.hfont());
        for (long k = 0; k < kFields; ++k) {
            long widest = 0;
            for (long i = 0; i <= kRecords; ++i) {
                const std::wstring& t = grid.text(i, k);
                SIZE s{};
                GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &s);
                widest = std::max(widest, s.cx);
            }
            grid.set_col_width(k, static_cast<float>(widest) * twips_per_pixel_x());
        }
        SelectObject(dc, old);
        DeleteDC(dc);
        grid.set_redraw(true);
    });
    bool same = r == 0 && grid.rows() == kRecords + 1 && grid.text(kRecords, 4) == g_values.back();
    for (long k = 0; k < kFields; ++k) same = same && std::abs(widths[static_cast<size_t>(k)] - grid.col_width(k)) <= 2 * twips_per_pixel_x();
    std::printf("Flex_ReadDatabase: result %ld, grid and widths %s; the fill alone %.1f ms\n", r,
                same ? "the same" : "DIFFERENT", plain * 1e3);
    qmbench::report("Flex_ReadDatabase 20,000 x 5", 1, ours, other, "C++ fill + extents");

    Bstr missing(L"nicht vorhanden");
    VARIANT_BOOL found = VARIANT_TRUE;
    long error = 0;
    const double exist = qmbench::seconds([&] { controls->Flex_ItemExist(&flex, missing.get(), VARIANT_TRUE, &error, &found); });
    bool seen = false;
    const double loop = qmbench::seconds([&] {
        const long rows = CLng(late::get(flex, L"Rows")), cols = CLng(late::get(flex, L"Cols"));
        for (long i = cols; i < rows * cols && !seen; ++i)
            seen = CStr(late::get(flex, L"TextArray", {Variant(i)})) == missing.view();
    });
    std::printf("Flex_ItemExist: %s, loop %s\n", found ? "found" : "not found", seen ? "found" : "not found");
    qmbench::report("Flex_ItemExist 20,000 x 5", 1, exist, loop, "TextArray loop");
    controls->Release();
    form->unload();
    CoUninitialize();
    return 0;
}
