// LB_CB: boxes reached by their window handle, on the engine's, the system's and
// another process's windows.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms.h"
#include "runtime/forms_hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

class HandleForm : public forms::Form {
protected:
    void design() override {
        add<forms::ListBox>(L"List1");
        add<forms::ComboBox>(L"Combo1");
        add<forms::DriveListBox>(L"Drive1");
    }
};

class LbCbHandleTest : public testing::Test {
protected:
    void SetUp() override {
        disp = qmtest::create(L"Quillmark.LB_CB");
        ASSERT_TRUE(disp);
        lb = disp.query<_LB_CB>();
        ASSERT_TRUE(lb);
        form = forms::make<HandleForm>();
        form->load();
        system_list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_HASSTRINGS, 0, 0, 100, 100, form->hwnd(),
                                      nullptr, nullptr, nullptr);
        ASSERT_NE(system_list, nullptr);
        SendMessageW(system_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"x"));
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    IDispatch* box(const wchar_t* name) { return &form->get<forms::Control>(name); }
    long handle(const wchar_t* name) { return CLng(*late::get(box(name), L"hwnd").get()); }
    void fill(const wchar_t* name, std::initializer_list<const wchar_t*> texts) {
        late::call(box(name), L"Clear");
        for (const wchar_t* t : texts) late::call(box(name), L"AddItem", {v_str(t)});
    }
    std::vector<std::wstring> items(const wchar_t* name) {
        std::vector<std::wstring> out;
        for (long i = 0, n = CLng(*late::get(box(name), L"ListCount").get()); i < n; ++i)
            out.push_back(CStr(*late::get(box(name), L"List", {v_long(i)}).get()));
        return out;
    }
    long system_handle() const { return static_cast<long>(reinterpret_cast<LONG_PTR>(system_list)); }
    ComPtr<IDispatch> disp;
    ComPtr<_LB_CB> lb;
    ComPtr<HandleForm> form;
    HWND system_list = nullptr;
};

TEST_F(LbCbHandleTest, RemoveAndClearByKind) {
    VARIANT_BOOL ok = VARIANT_FALSE;
    for (const wchar_t* name : {L"List1", L"Combo1"}) {
        fill(name, {L"a", L"b", L"c"});
        EXPECT_EQ(lb->apiRemoveItem(handle(name), 1, &ok), S_OK);
        EXPECT_TRUE(ok);
        EXPECT_EQ(items(name), (std::vector<std::wstring>{L"a", L"c"}));
        EXPECT_EQ(lb->apiRemoveItem(handle(name), 5, &ok), S_OK);
        EXPECT_FALSE(ok);
        EXPECT_EQ(lb->apiClear(handle(name), &ok), S_OK);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(items(name).empty());
    }
    // A drive list box is a combo box.
    ASSERT_GT(items(L"Drive1").size(), 0u);
    EXPECT_EQ(lb->apiRemoveItem(handle(L"Drive1"), 0, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(lb->apiClear(handle(L"Drive1"), &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle(L"Drive1"))), CB_GETCOUNT, 0, 0), 0);
    // The system's own list box, and no window at all: no kind, nothing sent.
    for (long h : {system_handle(), 0L}) {
        ok = VARIANT_TRUE;
        EXPECT_EQ(lb->apiRemoveItem(h, 0, &ok), S_OK);
        EXPECT_FALSE(ok);
        ok = VARIANT_TRUE;
        EXPECT_EQ(lb->apiClear(h, &ok), S_OK);
        EXPECT_FALSE(ok);
    }
    EXPECT_EQ(SendMessageW(system_list, LB_GETCOUNT, 0, 0), 1);
}

}  // namespace
