// Controls: flexible-grid alignment, sorting, colours, row removal, searching,
// column widths and grids filled from record sets, on the forms engine's grids
// through the registered class.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;

namespace {

Variant V(long v) { return Variant(v); }
long lng(const Variant& v) { return CLng(*v.get()); }
std::wstring str(const Variant& v) { return CStr(*v.get()); }
Bstr B(const wchar_t* s) { return Bstr(s); }

// The engine's form windows of this thread (loaded forms, the library's own included).
long thread_forms() {
    long n = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) CALLBACK {
            wchar_t name[32] = {};
            GetClassNameW(h, name, 32);
            if (std::wstring(name) == L"ThunderRT6FormDC") ++*reinterpret_cast<long*>(p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    return n;
}

// A record set of one record whose second field fails to read with error 5.
class FailingRecords final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"Recordset"; }
    const Table& table() const override {
        static const Table t({}, {
            {L"MoveFirst", [](Object& o, const Args&) { self<FailingRecords>(o).at_end = false; return Variant(); }},
            {L"MoveNext", [](Object& o, const Args&) { self<FailingRecords>(o).at_end = true; return Variant(); }},
            {L"EOF", [](Object& o, const Args&) { return var(self<FailingRecords>(o).at_end); }},
            {L"Fields", [](Object& o, const Args&) { return var(make<Fields>()); }},
        });
        return t;
    }
    bool at_end = false;

private:
    struct Field final : Object {
        long index = 0;
        const wchar_t* type_name() const noexcept override { return L"Field"; }
        const Table& table() const override {
            static const Table t({}, {
                {L"Name", [](Object& o, const Args&) { return var(L"F" + std::to_wstring(self<Field>(o).index)); }},
                {L"Value", [](Object& o, const Args&) {
                     if (self<Field>(o).index == 1) qm::raise(err::InvalidCall);
                     return var(L"v" + std::to_wstring(self<Field>(o).index));
                 }},
            }, L"Value");
            return t;
        }
    };
    struct Fields final : Object {
        const wchar_t* type_name() const noexcept override { return L"Fields"; }
        const Table& table() const override {
            static const Table t({}, {
                {L"Count", [](Object&, const Args&) { return var(3L); }},
                {L"Item", [](Object&, const Args& a) {
                     ComPtr<Field> f = make<Field>();
                     f->index = a.lng(0);
                     return var(f);
                 }},
            }, L"Item");
            return t;
        }
    };
};

// Another maker's grid: hands every call to the engine's grid, which it does not
// let itself be recognised as.
class ForeignGrid final : public IDispatch {
public:
    explicit ForeignGrid(IDispatch* inner) : inner_(inner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override {
        return inner_->GetIDsOfNames(iid, names, n, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* ex, UINT* arg) override {
        return inner_->Invoke(id, iid, lcid, flags, params, result, ex, arg);
    }

private:
    IDispatch* inner_;
};

class GridMembersTest : public testing::Test {
protected:
    void SetUp() override {
        ctl = qmtest::create(L"Quillmark.Controls").query<_Controls>();
        ASSERT_TRUE(ctl);
        form = make<Form>();
        form->show();
        ComPtr<Control> c = new_control(L"FlexGrid");
        form->add_control(c, L"Flex1");
        float zero = 0, w = 6000, h = 3000;
        c->move(0, &zero, &w, &h);
        flex = static_cast<IDispatch*>(c.get());
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    // The grid's texts, given row by row; its size follows them.
    void fill(IDispatch* g, std::vector<std::vector<const wchar_t*>> rows) {
        late::put(g, L"Rows", V(static_cast<long>(rows.size())));
        late::put(g, L"Cols", V(static_cast<long>(rows[0].size())));
        for (long r = 0; r < static_cast<long>(rows.size()); ++r)
            for (long c = 0; c < static_cast<long>(rows[0].size()); ++c)
                late::put(g, L"TextMatrix", Variant(rows[r][c]), {V(r), V(c)});
    }
    std::wstring cell(long r, long c, IDispatch* g = nullptr) {
        return str(late::get(g ? g : flex, L"TextMatrix", {V(r), V(c)}));
    }
    // A column's texts joined by "|".
    std::wstring column(IDispatch* g, long c) {
        std::wstring t;
        for (long r = 0, n = lng(late::get(g, L"Rows")); r < n; ++r) t += cell(r, c, g) + L"|";
        return t;
    }
    long rows() { return lng(late::get(flex, L"Rows")); }
    IDispatch* add(const wchar_t* type, const wchar_t* name) {
        ComPtr<Control> c = new_control(type);
        form->add_control(c, name);
        return static_cast<IDispatch*>(c.get());
    }
    ComPtr<IDispatch> recordset(std::vector<std::vector<Variant>> records) {
        ComPtr<IDispatch> host = qmtest::create(L"QuillmarkTest.FormHost");
        std::vector<Variant> rs;
        for (auto& r : records) rs.push_back(Variant(variant_array(r).to_variant()));
        SafeArray names = variant_array({Variant(L"Name"), Variant(L"Menge")});
        Variant list = rs.empty() ? Variant() : Variant(variant_array(rs).to_variant());
        return late::object(*late::call(host.get(), L"NewRecordset", {Variant(std::move(names).to_variant()), list}).get());
    }
    ComPtr<_Controls> ctl;
    ComPtr<Form> form;
    IDispatch* flex = nullptr;
    qmtest::ErrorLog errors;
};

}  // namespace

TEST_F(GridMembersTest, EnumerationsInTheTypeLibrary) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(ctl->GetTypeInfo(0, 0, info.put()), S_OK);
    ComPtr<ITypeLib> lib;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(lib.put(), &index), S_OK);
    struct {
        const wchar_t* name;
        const wchar_t* members;
    } cases[] = {
        {L"FLEXALIGMENT", L"alCENTERBOTTOM=5 alCENTERCENTER=4 alCENTERTOP=3 alGENERAL=9 alLEFTBOTTOM=2 alLEFTCENTER=1 "
                          L"alLEFTTOP=0 alRIGHTBOTTOM=8 alRIGHTCENTER=7 alRIGHTTOP=6 "},
        {L"FLEXSORT", L"flGENERICASCENDING=1 flGENERICDESCENDING=2 flSORTNONE=0 flNUMERICASCENDING=3 "
                      L"flNUMERICDECENDING=4 flSTRINGASCENDING=7 flSTRINGDESCENDING=8 flSTRINGNOCASEASCENDING=5 "
                      L"flSTRINGNOCASEDESCENDING=6 "},
    };
    for (auto k : cases) {
        ComPtr<ITypeInfo> e;
        MEMBERID id = 0;
        USHORT found = 1;
        Bstr name(k.name);
        ASSERT_EQ(lib->FindName(name.get(), 0, e.put(), &id, &found), S_OK);
        ASSERT_EQ(found, 1) << k.name;
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(e->GetTypeAttr(&attr), S_OK);
        std::wstring members;
        for (UINT i = 0; i < attr->cVars; ++i) {
            VARDESC* vd = nullptr;
            e->GetVarDesc(i, &vd);
            BSTR n = nullptr;
            e->GetDocumentation(vd->memid, &n, nullptr, nullptr, nullptr);
            members += std::wstring(n) + L"=" + std::to_wstring(V_I4(vd->lpvarValue)) + L" ";
            SysFreeString(n);
            e->ReleaseVarDesc(vd);
        }
        e->ReleaseTypeAttr(attr);
        EXPECT_EQ(members, k.members);
    }
}

TEST_F(GridMembersTest, AlignmentAndSortFollowTheGrid) {
    fill(flex, {{L"", L"", L""}, {L"", L"", L""}});
    long r = -1;
    ASSERT_EQ(ctl->Flex_SetColAligment(&flex, alRIGHTCENTER, 1, VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 0);
    std::wstring aligns;
    for (long c = 0; c < 3; ++c) aligns += std::to_wstring(lng(late::get(flex, L"ColAlignment", {V(c)})));
    EXPECT_EQ(aligns, L"979");
    ctl->Flex_SetColAligment(&flex, alCENTERTOP, -1, VARIANT_TRUE, &r);
    aligns.clear();
    for (long c = 0; c < 3; ++c) aligns += std::to_wstring(lng(late::get(flex, L"ColAlignment", {V(c)})));
    EXPECT_EQ(aligns, L"333");

    // Each kind orders the rows as the grid's own sort does; the header row and the current cell stay.
    IDispatch* other = add(L"FlexGrid", L"Flex2");
    const std::vector<std::vector<const wchar_t*>> rows = {
        {L"#", L"Wert"}, {L"1", L"10"}, {L"2", L"9"}, {L"3", L"abc"}, {L"4", L"ABC"}, {L"5", L""}, {L"6", L"100"}};
    for (long kind = 0; kind <= 8; ++kind) {
        fill(flex, rows);
        fill(other, rows);
        late::put(flex, L"Row", V(4));
        late::put(flex, L"Col", V(0));
        ASSERT_EQ(ctl->Flex_Sort(&flex, static_cast<FLEXSORT>(kind), 1, &r), S_OK);
        EXPECT_EQ(r, 0);
        late::put(other, L"Row", V(1));
        late::put(other, L"Col", V(1));
        late::put(other, L"Sort", V(kind));
        EXPECT_EQ(column(flex, 0), column(other, 0)) << kind;
        EXPECT_EQ(cell(0, 1), L"Wert");
        EXPECT_EQ(lng(late::get(flex, L"Row")) * 10 + lng(late::get(flex, L"Col")), 40) << kind;
    }
    fill(flex, {{L"#", L"Wert"}});
    ctl->Flex_Sort(&flex, flNUMERICASCENDING, 1, &r);
    EXPECT_EQ(r, 0);
    IDispatch* label = add(L"Label", L"Label1");
    ctl->Flex_Sort(&label, flNUMERICASCENDING, 1, &r);
    EXPECT_EQ(r, 438);
    EXPECT_TRUE(errors.has("Flex_Sort", 438));
}

TEST_F(GridMembersTest, RowAndColumnColours) {
    fill(flex, {{L"", L"", L""}, {L"", L"", L""}, {L"", L"", L""}, {L"", L"", L""}});
    late::put(flex, L"Row", V(3));
    late::put(flex, L"Col", V(2));
    late::put(flex, L"AllowBigSelection", Variant(false));
    late::put(flex, L"FillStyle", V(0));
    long r = -1;
    ASSERT_EQ(ctl->Flex_ColorRow(&flex, 0xFFFFFF, 0x0000FF, 2, &r), S_OK);
    EXPECT_EQ(r, 0);
    ASSERT_EQ(ctl->Flex_ColorCol(&flex, 0x000000, 0x00FF00, 1, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(lng(late::get(flex, L"Row")), 3);
    EXPECT_EQ(lng(late::get(flex, L"Col")), 2);
    EXPECT_FALSE(CBool(*late::get(flex, L"AllowBigSelection").get()));
    EXPECT_EQ(lng(late::get(flex, L"FillStyle")), 0);

    // Row 2 red in every column but the one painted green from row 1 down; row 0 untouched.
    const long red = 0x0000FF, green = 0x00FF00;
    const long expected[4][3] = {{0, 0, 0}, {0, green, 0}, {red, green, red}, {0, green, 0}};
    late::put(flex, L"Row", V(0));  // away from the cells read, so none is the current one when painted
    late::put(flex, L"Col", V(0));
    HWND h = reinterpret_cast<HWND>(static_cast<LONG_PTR>(lng(late::get(flex, L"hWnd"))));
    RECT rc;
    GetClientRect(h, &rc);
    HDC screen = GetDC(h);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    ReleaseDC(h, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    const int row_px = lroundf(240 / twips_per_pixel_y()), col_px = lroundf(960 / twips_per_pixel_x());
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 3; ++x) {
            const COLORREF pixel = GetPixel(dc, x * col_px + col_px / 2, y * row_px + row_px / 2);
            if (expected[y][x]) EXPECT_EQ(pixel, static_cast<COLORREF>(expected[y][x])) << y << "," << x;
            else EXPECT_TRUE(pixel != RGB(255, 0, 0) && pixel != RGB(0, 255, 0)) << y << "," << x;
        }
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    late::put(flex, L"FillStyle", V(0));
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 3; ++x) {
            late::put(flex, L"Row", V(y));
            late::put(flex, L"Col", V(x));
            EXPECT_EQ(lng(late::get(flex, L"CellBackColor")), expected[y][x]) << y << "," << x;
        }
}

TEST_F(GridMembersTest, RemoveKeepsTheHeaderAndNeverWipesOnABadRow) {
    fill(flex, {{L"#"}, {L"a"}, {L"b"}, {L"c"}});
    long r = -1;
    for (long row : {4L, 0L, -3L}) {
        ASSERT_EQ(ctl->Flex_Remove(&flex, row, &r), S_OK);
        EXPECT_EQ(r, 0) << row;
        EXPECT_EQ(column(flex, 0), L"#|a|b|c|") << row;
    }
    ctl->Flex_Remove(&flex, 2, &r);
    EXPECT_EQ(column(flex, 0), L"#|a|c|");
    ctl->Flex_Remove(&flex, 1, &r);
    ctl->Flex_Remove(&flex, 1, &r);  // the only data row
    EXPECT_EQ(r, 0);
    EXPECT_EQ(column(flex, 0), L"#|");
}

TEST_F(GridMembersTest, FindAndItemExist) {
    fill(flex, {{L"H0", L"H1", L"H2"}, {L"x", L"ABC", L"abcd"}, {L"y", L"abc", L"q"}, {L"z", L"Q", L"ABC"}});
    struct {
        const wchar_t* find;
        bool exact;
        long col, row;
        bool whole;
        long expected, error;
    } cases[] = {
        {L"abc", false, 1, 0, false, 1, 0},  {L"abc", true, 1, 0, false, 2, 0},    {L"abc", false, 2, 0, false, 3, 0},
        {L"q", false, -1, 2, false, 2, 0},   {L"q", true, -1, 3, false, -1, 0},   {L"H1", true, -1, 0, false, -1, 0},
        {L"ABC", true, -1, 0, true, 1, 0},   {L"abcd", true, 5, 9, true, 2, 0},   {L"nix", false, -1, 0, true, -1, 0},
        {L"y", true, 3, 0, false, -2, 381},  // a column past the last one is not read from the next row
    };
    for (auto k : cases) {
        long r = 0, e = -1;
        ASSERT_EQ(ctl->Flex_Find(&flex, B(k.find).get(), k.exact ? VARIANT_TRUE : VARIANT_FALSE, k.col, k.row,
                                 k.whole ? VARIANT_TRUE : VARIANT_FALSE, &e, &r),
                  S_OK);
        EXPECT_EQ(r, k.expected) << k.find << " " << k.col << " " << k.row;
        EXPECT_EQ(e, k.error) << k.find;
    }
    IDispatch* label = add(L"Label", L"Label1");
    long r = 0, e = 0;
    ctl->Flex_Find(&label, B(L"x").get(), VARIANT_TRUE, 0, 0, VARIANT_FALSE, &e, &r);
    EXPECT_EQ(r * 1000 + e, -2 * 1000 + 438);
    EXPECT_TRUE(errors.has("Flex_Find", 438));

    VARIANT_BOOL b = VARIANT_TRUE;
    auto yes = [](VARIANT_BOOL v) { return v == VARIANT_TRUE; };
    ctl->Flex_ItemExist(&flex, B(L"ABCD").get(), VARIANT_FALSE, &e, &b);
    EXPECT_TRUE(yes(b));
    ctl->Flex_ItemExist(&flex, B(L"ABCD").get(), VARIANT_TRUE, &e, &b);
    EXPECT_FALSE(yes(b));
    ctl->Flex_ItemExist(&flex, B(L"H0").get(), VARIANT_TRUE, &e, &b);  // the header row is no data
    EXPECT_FALSE(yes(b));
    ctl->Flex_ColItemExist(&flex, B(L"q").get(), 2, VARIANT_TRUE, &e, &b);
    EXPECT_TRUE(yes(b));
    ctl->Flex_ColItemExist(&flex, B(L"q").get(), 0, VARIANT_FALSE, &e, &b);
    EXPECT_FALSE(yes(b));
    ctl->Flex_RowItemExist(&flex, B(L"Q").get(), 3, VARIANT_TRUE, &e, &b);
    EXPECT_TRUE(yes(b));
    ctl->Flex_RowItemExist(&flex, B(L"Q").get(), 1, VARIANT_FALSE, &e, &b);
    EXPECT_FALSE(yes(b));
    for (auto member : {0, 1, 2}) {
        e = 0, b = VARIANT_TRUE;
        if (member == 0) ctl->Flex_ItemExist(&label, B(L"x").get(), VARIANT_TRUE, &e, &b);
        if (member == 1) ctl->Flex_ColItemExist(&label, B(L"x").get(), 0, VARIANT_TRUE, &e, &b);
        if (member == 2) ctl->Flex_RowItemExist(&label, B(L"x").get(), 1, VARIANT_TRUE, &e, &b);
        EXPECT_EQ(e, 438) << member;
        EXPECT_FALSE(yes(b)) << member;
    }
    EXPECT_TRUE(errors.has("Flex_ItemExist", 438));

    // Every column loses the first row holding the text, then one named column.
    ctl->Flex_DeleteValue(&flex, B(L"abc").get(), -1, VARIANT_FALSE, &r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(column(flex, 0), L"H0|y|");
    ctl->Flex_DeleteValue(&flex, B(L"q").get(), 2, VARIANT_TRUE, &r);
    EXPECT_EQ(column(flex, 0), L"H0|");
}

TEST_F(GridMembersTest, AutosizeMeasuresAsTheWorkerLabelDoes) {
    fill(flex, {{L"Kopf", L"B", L""}, {L"kurz", L"ein viel längerer Text", L"i"}, {L"Mittellang!", L"", L"W"}});
    ComPtr<IDispatch> font = late::object(*late::get(flex, L"Font").get());
    late::put(font.get(), L"Size", V(12));
    late::put(font.get(), L"Bold", Variant(true));
    // A label of the same font with AutoSize on, on a form in twips.
    IDispatch* label = add(L"Label", L"Probe");
    ComPtr<IDispatch> label_font = late::object(*late::get(label, L"Font").get());
    for (const wchar_t* p : {L"Name", L"Size", L"Bold", L"Italic"}) late::put(label_font.get(), p, late::get(font.get(), p));
    late::put(label, L"AutoSize", Variant(true));
    auto width = [&](const std::wstring& t) {
        late::put(label, L"Caption", Variant(t));
        return lng(late::get(label, L"Width"));
    };
    std::vector<long> widest(3, 0);
    for (long c = 0; c < 3; ++c)
        for (long r = 0; r < 3; ++r) widest[c] = std::max(widest[c], width(cell(r, c)));
    const long forms_before = thread_forms();
    long r = -1;
    late::put(flex, L"Redraw", Variant(false));
    ASSERT_EQ(ctl->Flex_Autosize(&flex, VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(CBool(*late::get(flex, L"Redraw").get()));
    for (long c = 0; c < 3; ++c) EXPECT_EQ(lng(late::get(flex, L"ColWidth", {V(c)})), widest[c]) << c;
    late::put(flex, L"Redraw", Variant(true));
    ctl->Flex_Autosize(&flex, VARIANT_FALSE, &r);
    EXPECT_TRUE(CBool(*late::get(flex, L"Redraw").get()));
    for (long c = 0; c < 3; ++c) EXPECT_EQ(lng(late::get(flex, L"ColWidth", {V(c)})), widest[1]) << c;
    EXPECT_EQ(thread_forms(), forms_before);
    IDispatch* not_a_grid = add(L"Label", L"Label2");
    ctl->Flex_Autosize(&not_a_grid, VARIANT_TRUE, &r);
    EXPECT_EQ(r, 438);
    EXPECT_TRUE(errors.has("Flex_Autosize", 438));
    EXPECT_EQ(thread_forms(), forms_before);

    // Far more rows than a 16-bit counter holds.
    late::put(flex, L"Cols", V(1));
    late::put(flex, L"Rows", V(40001));
    late::put(flex, L"TextMatrix", Variant(L"die letzte Zeile ist die längste"), {V(40000), V(0)});
    ctl->Flex_Autosize(&flex, VARIANT_TRUE, &r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(lng(late::get(flex, L"ColWidth", {V(0)})), width(L"die letzte Zeile ist die längste"));
}

TEST_F(GridMembersTest, FillFromARecordSet) {
    VARIANT null;
    V_VT(&null) = VT_NULL;
    ComPtr<IDispatch> rs = recordset({{Variant(L"Apfel"), Variant(3L)},
                                      {Variant(L"Birne"), Variant(null)},
                                      {Variant(L"Kiwi mit langem Namen"), Variant(12L)}});
    IDispatch* records = rs.get();
    long r = -1;
    ASSERT_EQ(ctl->Flex_ReadDatabase(&flex, &records, VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(lng(late::get(flex, L"Cols")) * 10 + rows(), 24);
    EXPECT_EQ(lng(late::get(flex, L"FixedRows")) * 10 + lng(late::get(flex, L"FixedCols")), 10);
    EXPECT_EQ(column(flex, 0), L"Name|Apfel|Birne|Kiwi mit langem Namen|");
    EXPECT_EQ(column(flex, 1), L"Menge|3||12|");
    ctl->Flex_ReadDatabase(&flex, &records, VARIANT_TRUE, &r);
    EXPECT_EQ(r, 0);
    EXPECT_GT(lng(late::get(flex, L"ColWidth", {V(0)})), lng(late::get(flex, L"ColWidth", {V(1)})));
    // A grid reached only late-bound is filled and fitted alike.
    IDispatch* inner = add(L"FlexGrid", L"Flex2");
    ForeignGrid foreign(inner);
    IDispatch* other = &foreign;
    ASSERT_EQ(ctl->Flex_ReadDatabase(&other, &records, VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(r, 0);
    for (long c = 0; c < 2; ++c) {
        EXPECT_EQ(column(inner, c), column(flex, c));
        EXPECT_EQ(lng(late::get(inner, L"ColWidth", {V(c)})), lng(late::get(flex, L"ColWidth", {V(c)})));
    }

    // An empty set clears the grid and keeps its size.
    ComPtr<IDispatch> none = recordset({});
    records = none.get();
    ctl->Flex_ReadDatabase(&flex, &records, VARIANT_FALSE, &r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(column(flex, 0) + column(flex, 1), L"||||||||");

    // A field that cannot be read ends the fill.
    ComPtr<FailingRecords> failing = make<FailingRecords>();
    records = failing.get();
    ctl->Flex_ReadDatabase(&flex, &records, VARIANT_FALSE, &r);
    EXPECT_EQ(r, 5);
    EXPECT_TRUE(errors.has("Flex_ReadDataBase", 5));
    EXPECT_EQ(cell(0, 2) + cell(1, 0) + cell(1, 2), L"F2v0");

    // The data grid binds the set; a width of 0 leaves the grid's own widths.
    IDispatch* dg = add(L"DataGrid", L"DataGrid1");
    IDispatch* plain = add(L"DataGrid", L"DataGrid2");
    records = rs.get();
    late::put_ref(plain, L"DataSource", records);
    ComPtr<IDispatch> columns = late::object(*late::get(dg, L"Columns").get());
    for (long w : {1500L, 0L}) {
        ASSERT_EQ(ctl->DataGrid_ReadDatabase(&dg, &records, w, &r), S_OK);
        EXPECT_EQ(r, 0);
        ASSERT_EQ(lng(late::get(columns.get(), L"Count")), 2);
        for (long c = 0; c < 2; ++c) {
            ComPtr<IDispatch> col = late::object(*late::get(columns.get(), L"Item", {V(c)}).get());
            EXPECT_EQ(str(late::get(col.get(), L"Caption")), c ? L"Menge" : L"Name");
            ComPtr<IDispatch> own_columns = late::object(*late::get(plain, L"Columns").get());
            ComPtr<IDispatch> own = late::object(*late::get(own_columns.get(), L"Item", {V(c)}).get());
            EXPECT_EQ(lng(late::get(col.get(), L"Width")), w ? w : lng(late::get(own.get(), L"Width"))) << w;
        }
    }
    ctl->DataGrid_ReadDatabase(&flex, &records, 0, &r);
    EXPECT_EQ(r, 438);
    EXPECT_TRUE(errors.has("DataGrid_ReadDataBase", 438));
    // Columns wider than any window: refused before the grid is bound.
    IDispatch* unbound = add(L"DataGrid", L"DataGrid3");
    for (long w : {1000000L, 2147483647L, -2147483647L}) {
        ASSERT_EQ(ctl->DataGrid_ReadDatabase(&unbound, &records, w, &r), S_OK);
        EXPECT_EQ(r, 380) << w;
        EXPECT_EQ(V_VT(late::get(unbound, L"DataSource").get()), VT_DISPATCH);
        EXPECT_EQ(V_DISPATCH(late::get(unbound, L"DataSource").get()), nullptr) << w;
    }
}
