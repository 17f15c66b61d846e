// The frame's shared procedures: window handles of forms and controls, the
// process-list search, the message-loop delay, the sorts and the list messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/procedures.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;

namespace {

class BoxForm : public forms::Form {
public:
    BoxForm() { set_name(L"frmBoxes"); }

protected:
    void design() override {
        add<forms::ListBox>(L"List1");
        add<forms::ComboBox>(L"Combo1");
        add<forms::Label>(L"Label1");
    }
};

// The record PROCESSINFO of the type library.
constexpr GUID kProcessInfo = {0xED070A80, 0x265D, 0x4122, {0x98, 0x66, 0xDF, 0x0C, 0x80, 0x85, 0x26, 0x50}};

IDispatch* disp(forms::Object& o) { return static_cast<IDispatch*>(&o); }

Variant object_variant(IDispatch* d) {
    Variant v;
    V_VT(v.get()) = VT_DISPATCH;
    V_DISPATCH(v.get()) = d;
    d->AddRef();
    return v;
}

class Procedures : public testing::Test {
protected:
    void SetUp() override {
        form = forms::make<BoxForm>();
        form->load();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    IDispatch* list() { return disp(form->get<forms::ListBox>(L"List1")); }
    IDispatch* combo() { return disp(form->get<forms::ComboBox>(L"Combo1")); }
    ComPtr<BoxForm> form;
};

TEST_F(Procedures, GetHwndOfFormsControlsAndNumbers) {
    bool is_object = false;
    EXPECT_EQ(Get_hWnd(*object_variant(static_cast<IDispatch*>(form.get())).get(), is_object), static_cast<long>(reinterpret_cast<LONG_PTR>(form->hwnd())));
    EXPECT_TRUE(is_object);
    is_object = false;
    EXPECT_EQ(Get_hWnd(*qmtest::v_long(12345).get(), is_object), 12345);
    EXPECT_FALSE(is_object);  // left as the caller set it
    is_object = true;
    EXPECT_EQ(Get_hWnd(*qmtest::v_str(L"4711").get(), is_object), 4711);
    EXPECT_TRUE(is_object);
    EXPECT_EQ(Get_hWnd(*qmtest::v_str(L"abc").get(), is_object), 0);
    // A windowless label has no hwnd: its default value is no number either.
    is_object = false;
    EXPECT_EQ(Get_hWnd(*object_variant(disp(form->get<forms::Label>(L"Label1"))).get(), is_object), 0);
    EXPECT_FALSE(is_object);
}

TEST_F(Procedures, KillDoubleItemsMessagesByKind) {
    long hwnd = 0;
    Variant lb = object_variant(list()), cb = object_variant(combo());
    const long list_codes[] = {392, 390, 385, 386, 388, 418, 399, 389};
    const long combo_codes[] = {327, 334, 330, 324, 331, 344, 332, 0};
    for (long op = 1; op <= 8; ++op) {
        EXPECT_EQ(Kill_DoubleItemsFunc(*lb.get(), op, hwnd), list_codes[op - 1]) << op;
        EXPECT_EQ(Kill_DoubleItemsFunc(*cb.get(), op, hwnd), combo_codes[op - 1]) << op;
    }
    EXPECT_EQ(hwnd, static_cast<long>(reinterpret_cast<LONG_PTR>(form->get<forms::ComboBox>(L"Combo1").hwnd())));
    EXPECT_EQ(Kill_DoubleItemsFunc(*lb.get(), 9, hwnd), 0);
    // A bare handle counts by its window class.
    long list_hwnd = static_cast<long>(reinterpret_cast<LONG_PTR>(form->get<forms::ListBox>(L"List1").hwnd()));
    EXPECT_EQ(Kill_DoubleItemsFunc(*qmtest::v_long(list_hwnd).get(), 1, hwnd), 392);
    EXPECT_EQ(hwnd, list_hwnd);
    EXPECT_EQ(Kill_DoubleItemsFunc(*object_variant(static_cast<IDispatch*>(form.get())).get(), 1, hwnd), -2);
    EXPECT_EQ(Kill_DoubleItemsFunc(*qmtest::v_str(L"abc").get(), 1, hwnd), -2);
}

TEST_F(Procedures, SortListBoxByCharacterCode) {
    for (const wchar_t* item : {L"b", L"B", L"a", L"10", L"9"}) late::call(list(), L"AddItem", {Variant(item)});
    EXPECT_EQ(Sort_ListBox(list()), 0);
    std::vector<std::wstring> items;
    for (long i = 0; i < 5; ++i) items.push_back(CStr(*late::get(list(), L"List", {Variant(i)}).get()));
    EXPECT_EQ(items, (std::vector<std::wstring>{L"10", L"9", L"B", L"a", L"b"}));
    late::call(list(), L"Clear");
    EXPECT_THROW(Sort_ListBox(list()), RuntimeError);  // nothing to sort: 9
    try {
        Sort_ListBox(combo());
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::TypeMismatch);
    }
}

TEST(ProcedureSorts, QuickSortAndBubbleSort) {
    std::vector<std::wstring> texts{L"b", L"a", L"B", L"\u00E4", L"A", L"b"};
    QuickSort(texts, 0, 5);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"A", L"B", L"a", L"b", L"b", L"\u00E4"}));
    std::vector<std::wstring> many;
    for (int i = 0; i < 20000; ++i) many.push_back(std::to_wstring(i % 2 ? i : 20000 - i));
    QuickSort(many, 0, static_cast<long>(many.size()) - 1);
    EXPECT_TRUE(std::is_sorted(many.begin(), many.end()));

    // Numbers by value, and they stay numbers.
    SafeArray numbers(VT_VARIANT, 3);
    numbers.set(0, *qmtest::v_long(100).get());
    numbers.set(1, *qmtest::v_long(20).get());
    numbers.set(2, *qmtest::v_long(3).get());
    Variant list = std::move(numbers).to_variant();
    EXPECT_TRUE(BubbleSort(*list.get()));
    SafeArray sorted = SafeArray::copy(V_ARRAY(list.get()));
    const long expected[] = {3, 20, 100};
    for (long i = 0; i < 3; ++i) {
        Variant e = sorted.get(i);
        ASSERT_EQ(e.vt(), VT_I4);
        EXPECT_EQ(V_I4(e.get()), expected[i]);
    }
    // A String array behind a by-reference Variant, sorted in place.
    Variant strings = string_array({L"b", L"C", L"a"}).to_variant();
    VARIANT by_ref = qmtest::v_ref(strings);
    EXPECT_TRUE(BubbleSort(by_ref));
    EXPECT_EQ(texts_of(V_ARRAY(strings.get())), (std::vector<std::wstring>{L"C", L"a", L"b"}));
    Variant not_array = qmtest::v_long(5);
    EXPECT_FALSE(BubbleSort(*not_array.get()));
}

TEST(ProcedureSorts, PowersOfTwoAndDelay) {
    EXPECT_EQ(Get_PowerOfTwo(0), 1);
    EXPECT_EQ(Get_PowerOfTwo(10), 1024);
    EXPECT_EQ(Get_PowerOfTwo(30), 1073741824);
    EXPECT_EQ(Get_PowerOfTwo(-1), 0);
    EXPECT_THROW(Get_PowerOfTwo(31), RuntimeError);
    // The delay yields: a posted message waits through Wait_DoEvents(-1) and is
    // taken by Wait_DoEvents(0).
    MSG msg;
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 7, 0, 0);
    Wait_DoEvents(-1);
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 7, WM_USER + 7, PM_NOREMOVE));
    Wait_DoEvents(0);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 7, WM_USER + 7, PM_NOREMOVE));
}

TEST(ProcessFind, ByNameOrId) {
    ComPtr<IRecordInfo> info;
    ASSERT_EQ(GetRecordInfoFromGuids(LIBID_Quillmark, 1, 0, 0, kProcessInfo, info.put()), S_OK);
    SafeArray list = SafeArray::records(info.get(), 3);
    const wchar_t* names[] = {L"explorer.exe", L"quillmark.exe", L"C:\\x\\app.exe"};
    for (long i = 0; i < 3; ++i) {
        auto& p = list.at<PROCESSINFO>(i);
        p.EXENAME = SysAllocString(names[i]);
        p.PROCESSID = 100 + i;
        p.THREADS = 1;
    }
    std::wstring name = L"QUILLMARK.EXE";
    EXPECT_EQ(ProcessFind(list.get(), name, 0), 1);
    EXPECT_EQ(name, L"QUILLMARK.EXE");
    EXPECT_EQ(ProcessFind(list.get(), L"app.exe", 0), -1);  // whole names only
    EXPECT_EQ(ProcessFind(list.get(), L"c:\\X\\APP.exe", 0), 2);
    EXPECT_EQ(ProcessFind(list.get(), L"", 102), 2);
    EXPECT_EQ(ProcessFind(list.get(), L"", 7), -1);
    EXPECT_EQ(ProcessFind(nullptr, L"x", 0), -1);  // unallocated: reported
    SafeArray empty = SafeArray::records(info.get(), 0);
    EXPECT_EQ(ProcessFind(empty.get(), L"x", 0), -1);
}

}  // namespace
