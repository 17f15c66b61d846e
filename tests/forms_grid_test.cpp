// The forms engine's grids on real windows, filled late-bound as a client does.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/hosted.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;
using qmtest::error_of;

namespace {

Variant V(int v) { return Variant(static_cast<long>(v)); }
Variant V(const wchar_t* s) { return Variant(s); }
long lng(const Variant& v) { return CLng(*v.get()); }
std::wstring str(const Variant& v) { return CStr(*v.get()); }

class GridForm : public Form {
public:
    GridForm() {
        set_name(L"frmGrid");
        w_ = 7200;
        h_ = 5400;
    }
};

class GridTest : public testing::Test {
protected:
    void SetUp() override {
        form = make<GridForm>();
        form->show();
        ComPtr<Control> c = new_control(L"FlexGrid");
        form->add_control(c, L"Flex1");
        c->move(0, &zero, &w, &h);
        grid = static_cast<IDispatch*>(c.get());
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    std::wstring cell(long r, long c) { return str(late::get(grid, L"TextMatrix", {V(r), V(c)})); }
    void set(long r, long c, const wchar_t* t) { late::put(grid, L"TextMatrix", V(t), {V(r), V(c)}); }
    ComPtr<GridForm> form;
    IDispatch* grid = nullptr;
    float zero = 0, w = 6000, h = 4000;
};

}  // namespace

TEST_F(GridTest, TextArrayAndTextMatrixAddressTheSameCell) {
    late::put(grid, L"Rows", V(4));
    late::put(grid, L"Cols", V(3));
    EXPECT_EQ(late::type_name(grid), L"FlexGrid");
    for (long i = 0; i < 12; ++i) late::put(grid, L"TextArray", Variant(std::to_wstring(i * 7)), {V(i)});
    struct {
        long r, c;
    } cases[] = {{0, 0}, {0, 2}, {1, 0}, {2, 1}, {3, 2}};
    for (auto k : cases) EXPECT_EQ(cell(k.r, k.c), std::to_wstring((k.r * 3 + k.c) * 7)) << k.r << "," << k.c;
    set(2, 2, L"x");
    EXPECT_EQ(str(late::get(grid, L"TextArray", {V(8)})), L"x");
    EXPECT_EQ(error_of([&] { late::get(grid, L"TextArray", {V(12)}); }), 381);
    EXPECT_EQ(error_of([&] { late::get(grid, L"TextMatrix", {V(4), V(0)}); }), 381);
    EXPECT_EQ(error_of([&] { late::get(grid, L"TextMatrix", {V(0), V(-1)}); }), 381);
    EXPECT_EQ(error_of([&] { late::put(grid, L"ColWidth", V(100), {V(3)}); }), 381);
    late::put(grid, L"ColWidth", V(500), {V(-1)});  // every column
    EXPECT_FLOAT_EQ(CSng(*late::get(grid, L"ColWidth", {V(2)}).get()), 500.0f);
    EXPECT_EQ(error_of([&] { late::put(grid, L"ColAlignment", V(10), {V(0)}); }), 380);

    // Row and Col inside the grid, and the removal rules.
    EXPECT_EQ(error_of([&] { late::put(grid, L"Row", V(4)); }), 30009);
    EXPECT_EQ(error_of([&] { late::put(grid, L"Col", V(-1)); }), 30010);
    late::put(grid, L"Row", V(3));
    late::put(grid, L"RowSel", V(1));
    late::put(grid, L"Row", V(2));  // collapses the selection
    EXPECT_EQ(lng(late::get(grid, L"RowSel")), 2);
    EXPECT_EQ(error_of([&] { late::call(grid, L"RemoveItem", {V(0)}); }), 30015);
    EXPECT_EQ(error_of([&] { late::call(grid, L"RemoveItem", {V(4)}); }), 381);
    late::call(grid, L"RemoveItem", {V(1)});
    EXPECT_EQ(lng(late::get(grid, L"Rows")), 3);
    EXPECT_EQ(cell(1, 2), L"x");
    late::call(grid, L"RemoveItem", {V(1)});
    EXPECT_EQ(error_of([&] { late::call(grid, L"RemoveItem", {V(1)}); }), 30015);  // the last data row
    late::call(grid, L"Clear");
    EXPECT_EQ(cell(0, 0), L"");
    EXPECT_EQ(lng(late::get(grid, L"Rows")), 2);
}

TEST_F(GridTest, SortKindsAreStableAndKeepTheFixedRow) {
    const wchar_t* values[] = {L"10", L"B", L"9", L"", L"b", L"a", L"10"};
    late::put(grid, L"Rows", V(8));
    late::put(grid, L"Cols", V(3));
    struct {
        long kind;
        const wchar_t* tags;
    } cases[] = {
        {1, L"3174625"}, {2, L"2564173"}, {3, L"2456317"}, {4, L"1732456"},
        {5, L"4173625"}, {6, L"2563174"}, {7, L"4173652"}, {8, L"2563174"},
    };
    for (auto k : cases) {
        set(0, 1, L"Head");
        for (long r = 1; r <= 7; ++r) {
            set(r, 1, values[r - 1]);
            set(r, 2, std::to_wstring(r).c_str());
        }
        late::put(grid, L"Row", V(1));
        late::put(grid, L"Col", V(1));
        late::put(grid, L"Sort", V(k.kind));
        std::wstring tags;
        for (long r = 1; r <= 7; ++r) tags += cell(r, 2);
        EXPECT_EQ(tags, k.tags) << "sort " << k.kind;
        EXPECT_EQ(cell(0, 1), L"Head");
    }
    // With a row range selected only that range is sorted.
    for (long r = 1; r <= 7; ++r) set(r, 1, std::to_wstring(8 - r).c_str());
    late::put(grid, L"Row", V(2));
    late::put(grid, L"RowSel", V(4));
    late::put(grid, L"Sort", V(3));
    std::wstring col;
    for (long r = 1; r <= 7; ++r) col += cell(r, 1);
    EXPECT_EQ(col, L"7456321");
    EXPECT_EQ(error_of([&] { late::put(grid, L"Sort", V(9)); }), 380);
}

TEST_F(GridTest, ColouredRowShowsInTheWindowsPixels) {
    late::put(grid, L"Rows", V(5));
    late::put(grid, L"Cols", V(3));
    // A whole row coloured through the selection, then the current cell moves away.
    late::put(grid, L"AllowBigSelection", Variant(true));
    late::put(grid, L"FillStyle", V(1));
    late::put(grid, L"Row", V(2));
    late::put(grid, L"Col", V(0));
    late::put(grid, L"RowSel", V(2));
    late::put(grid, L"ColSel", V(2));
    late::put(grid, L"CellBackColor", V(0x0000FF));
    late::put(grid, L"FillStyle", V(0));
    late::put(grid, L"Row", V(4));
    late::put(grid, L"Col", V(1));
    EXPECT_EQ(lng(late::get(grid, L"CellBackColor")), 0);
    late::put(grid, L"Row", V(2));
    EXPECT_EQ(lng(late::get(grid, L"CellBackColor")), 0x0000FF);
    late::put(grid, L"Row", V(4));

    HWND h = reinterpret_cast<HWND>(static_cast<LONG_PTR>(lng(late::get(grid, L"hWnd"))));
    RECT rc;
    GetClientRect(h, &rc);
    HDC screen = GetDC(h);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    ReleaseDC(h, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    int row = lroundf(240 / twips_per_pixel_y()), col = lroundf(960 / twips_per_pixel_x());
    for (int c = 0; c < 3; ++c) EXPECT_EQ(GetPixel(dc, c * col + col / 2, 2 * row + row / 2), RGB(255, 0, 0)) << c;
    EXPECT_NE(GetPixel(dc, col + col / 2, 3 * row + row / 2), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(dc, col + col / 2, 1 * row + row / 2), RGB(255, 0, 0));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);

    // Scrolled down five rows, the first line under the fixed row is row 6: a click selects it.
    late::put(grid, L"Rows", V(100));
    for (int i = 0; i < 5; ++i) SendMessageW(h, WM_VSCROLL, SB_LINEDOWN, 0);
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(col + col / 2, row + row / 2));
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(col + col / 2, row + row / 2));
    EXPECT_EQ(lng(late::get(grid, L"Row")), 6);
    EXPECT_EQ(lng(late::get(grid, L"Col")), 1);
}

TEST_F(GridTest, DataGridShowsTheRecordSetsColumnsAndRows) {
    // A record set of the database stand-in, filled through the form host.
    ComPtr<IDispatch> host = qmtest::create(L"QuillmarkTest.FormHost");
    ASSERT_TRUE(host);
    SafeArray names = variant_array({Variant(L"Name"), Variant(L"Qty")});
    VARIANT null_value;
    V_VT(&null_value) = VT_NULL;
    SafeArray rows = variant_array({Variant(std::move(variant_array({Variant(L"Apfel"), Variant(3L)})).to_variant()),
                                    Variant(std::move(variant_array({Variant(L"Bir'ne"), Variant(null_value)})).to_variant()),
                                    Variant(std::move(variant_array({Variant(L"Kiwi"), Variant(2.5)})).to_variant())});
    ComPtr<IDispatch> rs = late::object(*late::call(host.get(), L"NewRecordset",
                                                     {Variant(std::move(names).to_variant()), Variant(std::move(rows).to_variant())})
                                             .get());
    ComPtr<Control> c = new_control(L"DataGrid");
    form->add_control(c, L"DataGrid1");
    IDispatch* dg = static_cast<IDispatch*>(c.get());
    late::put_ref(dg, L"DataSource", rs.get());
    EXPECT_EQ(late::get(dg, L"DataSource").vt(), VT_DISPATCH);
    ComPtr<IDispatch> columns = late::object(*late::get(dg, L"Columns").get());
    ASSERT_EQ(lng(late::get(columns.get(), L"Count")), 2);
    EXPECT_EQ(str(late::get(late::object(*late::get(columns.get(), L"Item", {V(1)}).get()).get(), L"Caption")), L"Qty");
    ComPtr<IDispatch> first = late::object(*late::get(columns.get(), L"Item", {V(0)}).get());
    late::put(first.get(), L"Width", V(2000));
    EXPECT_FLOAT_EQ(CSng(*late::get(first.get(), L"Width").get()), 2000.0f);
    EXPECT_EQ(error_of([&] { late::get(columns.get(), L"Item", {V(2)}); }), 35600);

    auto& grid = static_cast<DataGrid&>(*c.get());
    ASSERT_EQ(grid.rows(), 4);
    const wchar_t* expected[4][2] = {{L"Name", L"Qty"}, {L"Apfel", L"3"}, {L"Bir'ne", L""}, {L"Kiwi", L"2,5"}};
    for (long r = 0; r < 4; ++r)
        for (long k = 0; k < 2; ++k) EXPECT_EQ(grid.text(r, k), expected[r][k]) << r << "," << k;
}
