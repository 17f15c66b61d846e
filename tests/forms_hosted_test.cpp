// The forms engine's hosted controls and the members forms and controls share
// with them (ScaleX/ScaleY, ToolTipText), on real windows, driven late-bound.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>
#include <richedit.h>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/hosted.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;
using qmtest::error_of;

namespace {

IDispatch* disp(Object& o) { return static_cast<IDispatch*>(&o); }
Variant M() { return Variant(qmtest::v_missing()); }
Variant V(int v) { return Variant(static_cast<long>(v)); }
Variant V(const wchar_t* s) { return Variant(s); }
std::wstring str(const Variant& v) { return CStr(*v.get()); }
long lng(const Variant& v) { return CLng(*v.get()); }
ComPtr<IDispatch> obj(const Variant& v) { return late::object(*v.get()); }

class HostForm : public Form {
public:
    HostForm() {
        set_name(L"frmHost");
        w_ = 7200;
        h_ = 5400;
    }
};

class HostedTest : public testing::Test {
protected:
    void SetUp() override {
        form = make<HostForm>();
        form->show();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    // A control placed at run time by its type name, as a host does.
    IDispatch* add(const wchar_t* type, const wchar_t* name) {
        ComPtr<Control> c = new_control(type);
        if (!c) throw std::runtime_error("no such control");
        form->add_control(c, name);
        return static_cast<IDispatch*>(c.get());
    }
    static HWND hwnd_of(IDispatch* d) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(lng(late::get(d, L"hWnd")))); }
    ComPtr<HostForm> form;
};

HWND tips_of(HWND form) {
    struct Find {
        HWND owner, found;
    } f{form, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) CALLBACK -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (std::wstring(cls) == L"tooltips_class32" && GetWindow(w, GW_OWNER) == f->owner) f->found = w;
            return !f->found;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

}  // namespace

TEST_F(HostedTest, ScaleXAndScaleYConvertBetweenModes) {
    IDispatch* f = disp(*form.get());
    struct Case {
        const wchar_t* member;
        float value;
        long from, to;
        float expected;
    } cases[] = {
        {L"ScaleX", 2540, 8, 1, 1440},  {L"ScaleY", 1440, 1, 5, 1},     {L"ScaleX", 1, 5, 2, 72},
        {L"ScaleY", 10, 7, 6, 100},     {L"ScaleX", 240, 1, 4, 2},      {L"ScaleY", 240, 1, 4, 1},
        {L"ScaleX", 3 * twips_per_pixel_x(), 1, 3, 3},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(CSng(*late::get(f, c.member, {Variant(c.value), V(c.from), V(c.to)}).get()), c.expected, 0.01f)
            << c.value;
    // From HiMetric to the form's ScaleMode by default.
    late::put(f, L"ScaleMode", V(3));
    EXPECT_NEAR(CSng(*late::get(f, L"ScaleX", {Variant(2540.0f)}).get()), 1440 / twips_per_pixel_x(), 0.01f);
    // Mode 0 is the object's own user scale.
    auto& pic = form->add<PictureBox>(L"Picture1");
    pic.set_border_style(0);
    pic.move(0, nullptr, nullptr, nullptr);
    IDispatch* pb = disp(pic);
    late::put(pb, L"ScaleWidth", V(100));
    float client = static_cast<float>(pic.surface()->scale_x(100, 0, 1));
    EXPECT_NEAR(CSng(*late::get(pb, L"ScaleX", {V(50), V(0), V(1)}).get()), client / 2, 0.01f);
    EXPECT_EQ(error_of([&] { late::get(f, L"ScaleX", {V(1), V(9), V(1)}); }), 5);
}

TEST_F(HostedTest, ToolTipTextGoesToOneTooltipWindowOfTheForm) {
    auto& text = form->add<TextBox>(L"Text1");
    auto& label = form->add<Label>(L"Label1");
    EXPECT_FALSE(late::has_member(disp(form->add<Shape>(L"Shape1")), L"ToolTipText"));
    late::put(disp(text), L"ToolTipText", V(L"Enter a name"));
    late::put(disp(label), L"ToolTipText", V(L"Label tip"));
    HWND tips = tips_of(form->hwnd());
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
    wchar_t buf[256] = {};
    TOOLINFOW ti{sizeof(ti), TTF_IDISHWND, form->hwnd(), reinterpret_cast<UINT_PTR>(text.hwnd())};
    ti.lpszText = buf;
    SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(buf, L"Enter a name");
    EXPECT_EQ(str(late::get(disp(text), L"ToolTipText")), L"Enter a name");

    // A second tip updates the tool; "" removes it; a recreated window keeps its tip.
    late::put(disp(text), L"ToolTipText", V(L"Second"));
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
    late::put(disp(label), L"ToolTipText", V(L""));
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
    text.set_multi_line(true);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
    ti.uId = reinterpret_cast<UINT_PTR>(text.hwnd());
    buf[0] = 0;
    SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(buf, L"Second");
    EXPECT_EQ(tips_of(form->hwnd()), tips);
}

TEST_F(HostedTest, TreeViewNodesPathsSortingAndStates) {
    IDispatch* tree = add(L"TreeView", L"Tree1");
    EXPECT_EQ(late::type_name(tree), L"TreeView");
    ComPtr<IDispatch> nodes = obj(late::get(tree, L"Nodes"));
    ComPtr<IDispatch> root = obj(late::call(nodes.get(), L"Add", {M(), M(), V(L"r"), V(L"Root")}));
    ComPtr<IDispatch> mid = obj(late::call(nodes.get(), L"Add", {V(L"r"), V(4), V(L"m"), V(L"Mid")}));
    late::call(nodes.get(), L"Add", {V(2), V(4), V(L""), V(L"zeta")});
    late::call(nodes.get(), L"Add", {V(2), V(4), V(L""), V(L"Alpha")});  // two keyless nodes are fine
    ComPtr<IDispatch> leaf = obj(late::call(nodes.get(), L"Add", {V(L"m"), V(4), V(L"k"), V(L"beta")}));
    late::put(tree, L"PathSeparator", V(L"/"));
    EXPECT_EQ(str(late::get(leaf.get(), L"FullPath")), L"Root/Mid/beta");
    EXPECT_EQ(lng(late::get(nodes.get(), L"Count")), 5);
    for (long i = 1; i <= 5; ++i) EXPECT_EQ(lng(late::get(obj(late::get(nodes.get(), L"Item", {V(i)})).get(), L"Index")), i);
    Variant parent = late::get(root.get(), L"Parent");  // Nothing for a root
    EXPECT_EQ(parent.vt(), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(parent.get()), nullptr);
    try {
        late::call(nodes.get(), L"Add", {M(), M(), V(L"m"), V(L"dup")});
        ADD_FAILURE() << "a duplicate key was taken";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 35602);
        EXPECT_EQ(e.description(), L"Key is not unique in collection");
    }
    EXPECT_EQ(error_of([&] { late::call(nodes.get(), L"Add", {V(L"nokey"), V(4), V(L"x"), V(L"x")}); }), 35601);
    EXPECT_EQ(error_of([&] { late::call(nodes.get(), L"Add", {V(42), V(4), V(L"x"), V(L"x")}); }), 35601);
    EXPECT_EQ(error_of([&] { late::get(nodes.get(), L"Item", {V(6)}); }), 35600);

    // Sorted keeps the children in text order, in the window too.
    HWND h = hwnd_of(tree);
    auto child_texts = [&](IDispatch* n) {
        std::wstring all;
        HTREEITEM parent = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        if (str(late::get(n, L"Text")) == L"Mid") parent = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
        for (HTREEITEM c = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent))); c;
             c = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)))) {
            wchar_t buf[64] = {};
            TVITEMW it{TVIF_TEXT, c};
            it.pszText = buf;
            it.cchTextMax = 64;
            SendMessageW(h, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
            all += std::wstring(buf) + L",";
        }
        return all;
    };
    EXPECT_EQ(child_texts(mid.get()), L"zeta,Alpha,beta,");
    late::put(mid.get(), L"Sorted", Variant(true));
    EXPECT_EQ(child_texts(mid.get()), L"Alpha,beta,zeta,");
    late::call(nodes.get(), L"Add", {V(L"m"), V(4), V(L""), V(L"Gamma")});
    EXPECT_EQ(child_texts(mid.get()), L"Alpha,beta,Gamma,zeta,");

    // Expanded and Selected as the window holds them.
    late::put(root.get(), L"Expanded", Variant(true));
    late::put(mid.get(), L"Selected", Variant(true));
    TVITEMW it{TVIF_STATE};
    it.stateMask = TVIS_EXPANDED | TVIS_SELECTED;
    it.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageW(h, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_TRUE(it.state & TVIS_EXPANDED);
    it.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_CARET, 0));
    it.mask = TVIF_TEXT;
    wchar_t buf[64] = {};
    it.pszText = buf;
    it.cchTextMax = 64;
    SendMessageW(h, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_STREQ(buf, L"Mid");
    EXPECT_TRUE(CBool(*late::get(mid.get(), L"Selected").get()));

    // Parent moves a node with its children; a cycle is refused and changes nothing.
    EXPECT_EQ(error_of([&] { late::put_ref(root.get(), L"Parent", leaf.get()); }), 35614);
    EXPECT_EQ(str(late::get(leaf.get(), L"FullPath")), L"Root/Mid/beta");
    ComPtr<IDispatch> other = obj(late::call(nodes.get(), L"Add", {M(), M(), V(L"o"), V(L"Other")}));
    late::put_ref(mid.get(), L"Parent", other.get());
    EXPECT_EQ(str(late::get(leaf.get(), L"FullPath")), L"Other/Mid/beta");
    EXPECT_EQ(lng(late::get(leaf.get(), L"Index")), 5);
    EXPECT_TRUE(CBool(*late::get(mid.get(), L"Selected").get()));
    late::call(nodes.get(), L"Clear");
    EXPECT_EQ(SendMessageW(h, TVM_GETCOUNT, 0, 0), 0);
}

TEST_F(HostedTest, ListViewColumnsSubItemsAndSorting) {
    IDispatch* lv = add(L"ListView", L"List1");
    ComPtr<IDispatch> cols = obj(late::get(lv, L"ColumnHeaders"));
    ComPtr<IDispatch> items = obj(late::get(lv, L"ListItems"));
    for (const wchar_t* c : {L"Name", L"Size", L"Kind"}) late::call(cols.get(), L"Add", {M(), M(), V(c)});
    const wchar_t* rows[][3] = {{L"b", L"10", L"x"}, {L"C", L"9", L"y"}, {L"a", L"10", L"z"}, {L"ä", L"1", L"w"}};
    for (auto& r : rows) {
        ComPtr<IDispatch> item = obj(late::call(items.get(), L"Add", {M(), M(), V(r[0])}));
        late::put(item.get(), L"SubItems", V(r[1]), {V(1)});
        late::put(item.get(), L"SubItems", V(r[2]), {V(2)});
    }
    EXPECT_EQ(error_of([&] { late::get(obj(late::get(items.get(), L"Item", {V(1)})).get(), L"SubItems", {V(3)}); }), 380);
    EXPECT_EQ(error_of([&] { late::put(lv, L"SortKey", V(-1)); }), 380);

    // A width-0 sort column added and removed leaves the other sub-items alone.
    late::call(cols.get(), L"Add", {M(), M(), V(L"Dummy"), V(0)});
    late::put(obj(late::get(items.get(), L"Item", {V(1)})).get(), L"SubItems", V(L"sort"), {V(3)});
    late::call(cols.get(), L"Remove", {V(4)});
    EXPECT_EQ(lng(late::get(cols.get(), L"Count")), 3);
    EXPECT_EQ(str(late::get(obj(late::get(items.get(), L"Item", {V(1)})).get(), L"SubItems", {V(2)})), L"x");

    HWND h = hwnd_of(lv);
    auto column = [&](int sub) {
        std::wstring all;
        for (int i = 0, n = static_cast<int>(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0)); i < n; ++i) {
            wchar_t buf[64] = {};
            LVITEMW it{};
            it.iSubItem = sub;
            it.pszText = buf;
            it.cchTextMax = 64;
            SendMessageW(h, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&it));
            all += std::wstring(buf) + L",";
        }
        return all;
    };
    EXPECT_EQ(column(0), L"b,C,a,ä,");
    late::put(lv, L"Sorted", Variant(true));
    EXPECT_EQ(column(0), L"a,ä,b,C,");  // case-insensitive, locale order
    late::put(lv, L"SortKey", V(1));
    EXPECT_EQ(column(1), L"1,10,10,9,");  // texts, stable
    EXPECT_EQ(column(0), L"ä,a,b,C,");
    late::put(lv, L"SortOrder", V(1));
    EXPECT_EQ(column(1), L"9,10,10,1,");
    EXPECT_EQ(column(2), L"y,z,x,w,");
}

TEST_F(HostedTest, RichTextBoxColoursIndentsAndPrints) {
    IDispatch* rt = add(L"RichTextBox", L"Rich1");
    HWND h = hwnd_of(rt);
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    EXPECT_STREQ(cls, L"RichEdit20W");
    EXPECT_FALSE(late::is_type(rt, L"TextBox"));
    late::put(rt, L"Text", V(L"red and plain"));
    late::put(rt, L"SelStart", V(0));
    late::put(rt, L"SelLength", V(3));
    late::put(rt, L"SelColor", V(0x0000FF));
    EXPECT_EQ(str(late::get(rt, L"SelText")), L"red");
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    SendMessageW(h, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    EXPECT_TRUE(cf.dwMask & CFM_COLOR);
    EXPECT_EQ(cf.crTextColor, 0x0000FFu);
    EXPECT_EQ(lng(late::get(rt, L"SelColor")), 0x0000FF);
    late::put(rt, L"SelLength", V(6));  // red and black: mixed
    EXPECT_EQ(late::get(rt, L"SelColor").vt(), VT_NULL);

    // On an empty selection the colour is the typing colour.
    late::put(rt, L"SelStart", V(13));
    late::put(rt, L"SelColor", V(0x00FF00));
    late::put(rt, L"SelText", V(L"!"));
    late::put(rt, L"SelStart", V(13));
    late::put(rt, L"SelLength", V(1));
    EXPECT_EQ(lng(late::get(rt, L"SelColor")), 0x00FF00);

    late::put(rt, L"SelIndent", V(720));
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof(pf);
    SendMessageW(h, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    EXPECT_EQ(pf.dxStartIndent, 720);
    EXPECT_NEAR(CSng(*late::get(rt, L"SelIndent").get()), 720, 0.5f);

    // SelPrint formats the range into a metafile through EM_FORMATRANGE, which this
    // Wine's rich edit control answers without drawing: the call succeeds, the
    // metafile stays empty.
    HDC ref = GetDC(nullptr);
    HDC dc = CreateEnhMetaFileW(ref, nullptr, nullptr, nullptr);
    ReleaseDC(nullptr, ref);
    late::put(rt, L"SelLength", V(0));
    late::call(rt, L"SelPrint", {V(static_cast<long>(reinterpret_cast<LONG_PTR>(dc))), Variant(false)});
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    int texts = 0;
    EnumEnhMetaFile(
        nullptr, emf,
        [](HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM p) CALLBACK -> int {
            if (r->iType == EMR_EXTTEXTOUTW || r->iType == EMR_EXTTEXTOUTA || r->iType == EMR_POLYTEXTOUTW)
                ++*reinterpret_cast<int*>(p);
            return 1;
        },
        &texts, nullptr);
    DeleteEnhMetaFile(emf);
    EXPECT_EQ(texts, 0);
}

TEST_F(HostedTest, StatusBarPanelsAndProgressBar) {
    IDispatch* sb = add(L"StatusBar", L"Status1");
    HWND h = hwnd_of(sb);
    ComPtr<IDispatch> panels = obj(late::get(sb, L"Panels"));
    EXPECT_EQ(lng(late::get(panels.get(), L"Count")), 1);
    late::put(obj(late::get(panels.get(), L"Item", {V(1)})).get(), L"Width", V(1500));
    ComPtr<IDispatch> second = obj(late::call(panels.get(), L"Add", {M(), V(L"p2"), V(L"Ready")}));
    late::put(second.get(), L"Width", V(3000));
    RECT r{};
    ASSERT_TRUE(SendMessageW(h, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&r)));
    EXPECT_NEAR(r.right, lroundf(4500 / twips_per_pixel_x()), 1);
    EXPECT_NEAR(r.left, lroundf(1500 / twips_per_pixel_x()), 3);
    wchar_t buf[64] = {};
    SendMessageW(h, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ(buf, L"Ready");
    EXPECT_EQ(str(late::get(obj(late::get(panels.get(), L"Item", {V(L"p2")})).get(), L"Text")), L"Ready");
    EXPECT_EQ(error_of([&] { late::get(panels.get(), L"Item", {V(3)}); }), 35600);
    // Aligned to the bottom of the form.
    RECT client, bar;
    GetClientRect(form->hwnd(), &client);
    GetWindowRect(h, &bar);
    MapWindowPoints(nullptr, form->hwnd(), reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.bottom, client.bottom);

    IDispatch* pb = add(L"ProgressBar", L"Progress1");
    late::put(pb, L"Max", V(200));
    late::put(pb, L"Value", V(150));
    EXPECT_EQ(SendMessageW(hwnd_of(pb), PBM_GETPOS, 0, 0), 150);
    EXPECT_EQ(error_of([&] { late::put(pb, L"Value", V(201)); }), 380);
    EXPECT_EQ(error_of([&] { late::put(pb, L"Min", V(200)); }), 380);
}

namespace {
// An object of another runtime: only its window handle is known.
class ForeignBox final : public IDispatch {
public:
    explicit ForeignBox(HWND h) : h_(h) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid != IID_IUnknown && riid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (_wcsicmp(names[0], L"hWnd")) return DISP_E_UNKNOWNNAME;
        return ids[0] = 1, S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* r, EXCEPINFO*, UINT*) override {
        V_VT(r) = VT_I4;
        V_I4(r) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(h_));
        return S_OK;
    }

private:
    HWND h_;
};
}  // namespace

TEST_F(HostedTest, DriveListBoxListsDrivesAndIsNoListBox) {
    IDispatch* drives = add(L"DriveListBox", L"Drive1");
    std::vector<std::wstring> list;
    for (long i = 0, n = lng(late::get(drives, L"ListCount")); i < n; ++i) list.push_back(str(late::get(drives, L"List", {V(i)})));
    ASSERT_FALSE(list.empty());
    EXPECT_TRUE(std::any_of(list.begin(), list.end(), [](const std::wstring& d) { return d.rfind(L"c:", 0) == 0; }));
    late::put(drives, L"Drive", V(L"q"));
    EXPECT_EQ(str(late::get(drives, L"Drive")).substr(0, 2), L"q:");
    HWND h = hwnd_of(drives);
    EXPECT_EQ(SendMessageW(h, CB_GETCURSEL, 0, 0), lng(late::get(drives, L"ListIndex")));
    DWORD mask = GetLogicalDrives();
    wchar_t missing = 0;
    for (int i = 25; i >= 0 && !missing; --i)
        if (!(mask & (1u << i))) missing = static_cast<wchar_t>(L'a' + i);
    ASSERT_NE(missing, 0);
    std::wstring bad{missing, L':'};
    EXPECT_EQ(error_of([&] { late::put(drives, L"Drive", V(bad.c_str())); }), 68);
    EXPECT_EQ(str(late::get(drives, L"Drive")).substr(0, 2), L"q:");

    // Neither a list box nor a combo box, here or as a bare window of another runtime.
    EXPECT_FALSE(late::is_list_box(drives));
    EXPECT_FALSE(late::is_combo_box(drives));
    HWND bare = CreateWindowExW(0, L"ThunderRT6DriveListBox", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100,
                                form->hwnd(), nullptr, nullptr, nullptr);
    ASSERT_NE(bare, nullptr);
    ForeignBox foreign(bare), foreign_list(form->add<ListBox>(L"List1").hwnd());
    EXPECT_FALSE(late::is_list_box(&foreign));
    EXPECT_FALSE(late::is_combo_box(&foreign));
    EXPECT_TRUE(late::is_list_box(&foreign_list));
    DestroyWindow(bare);
}

TEST_F(HostedTest, WebBrowserActivatesInPlaceAndForwardsNames) {
    IDispatch* wb = add(L"WebBrowser", L"Web1");
    auto& ctl = dynamic_cast<WebBrowser&>(*object_of(wb));
    ASSERT_NE(ctl.browser(), nullptr);
    HWND inner = ctl.browser_window();
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(GetParent(inner), ctl.hwnd());
    RECT outer_r, inner_r;
    GetWindowRect(ctl.hwnd(), &outer_r);
    GetWindowRect(inner, &inner_r);
    EXPECT_TRUE(inner_r.left >= outer_r.left && inner_r.right <= outer_r.right && inner_r.bottom <= outer_r.bottom);
    late::put(wb, L"Width", V(3000));  // the extender's own geometry; the browser follows
    GetWindowRect(inner, &inner_r);
    EXPECT_EQ(inner_r.right - inner_r.left, lroundf(3000 / twips_per_pixel_x()));
    EXPECT_EQ(str(late::get(wb, L"Name")), L"Web1");
    EXPECT_EQ(late::type_name(obj(late::get(wb, L"Parent")).get()), L"Form");

    // What Wine's browser object (no HTML engine here) gives after Navigate "about:blank".
    late::call(wb, L"Navigate", {V(L"about:blank")});
    for (int i = 0; i < 20; ++i) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        Sleep(25);
    }
    EXPECT_EQ(str(late::get(wb, L"LocationURL")), L"about:blank");
    EXPECT_FALSE(CBool(*late::get(wb, L"Busy").get()));
    EXPECT_EQ(lng(late::get(wb, L"ReadyState")), 1);  // READYSTATE_LOADING: the page never completes
    Variant doc = late::get(wb, L"Document");
    EXPECT_EQ(doc.vt(), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(doc.get()), nullptr);  // no document
    // ExecWB's failure comes back as the browser gave it.
    LPOLESTR name = const_cast<LPOLESTR>(L"ExecWB");
    DISPID id;
    ASSERT_EQ(wb->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    VARIANT args[2];
    V_VT(&args[0]) = VT_I4, V_I4(&args[0]) = 0;   // OLECMDEXECOPT_DODEFAULT
    V_VT(&args[1]) = VT_I4, V_I4(&args[1]) = 17;  // OLECMDID_SELECTALL
    DISPPARAMS params{args, nullptr, 2, 0};
    EXCEPINFO ex{};
    EXPECT_EQ(wb->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &ex, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(ex.scode, E_UNEXPECTED);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrHelpFile);
    EXPECT_EQ(error_of([&] { late::call(wb, L"NoSuchMember"); }), 438);
}
