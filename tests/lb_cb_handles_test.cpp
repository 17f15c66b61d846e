// LB_CB: boxes reached by their window handle, on the engine's, the system's and
// another process's windows.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "lb_cb_fixture.h"
#include "qmwindows_helper.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using qmtest::Texts;
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

class LbCbHandleTest : public qmtest::LbCbFixture<HandleForm> {
protected:
    void SetUp() override {
        LbCbFixture::SetUp();
        if (HasFatalFailure()) return;
        system_list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_HASSTRINGS, 0, 0, 100, 100, form->hwnd(),
                                      nullptr, nullptr, nullptr);
        ASSERT_NE(system_list, nullptr);
        SendMessageW(system_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"x"));
    }
    long system_handle() const { return static_cast<long>(reinterpret_cast<LONG_PTR>(system_list)); }
    HWND system_list = nullptr;
};

TEST_F(LbCbHandleTest, RemoveAndClearByKind) {
    VARIANT_BOOL ok = VARIANT_FALSE;
    for (const wchar_t* name : {L"List1", L"Combo1"}) {
        fill(name, {L"a", L"b", L"c"});
        EXPECT_EQ(lb->apiRemoveItem(handle(name), 1, &ok), S_OK);
        EXPECT_TRUE(ok);
        EXPECT_EQ(texts(name), (Texts{L"a", L"c"}));
        EXPECT_EQ(lb->apiRemoveItem(handle(name), 5, &ok), S_OK);
        EXPECT_FALSE(ok);
        EXPECT_EQ(lb->apiClear(handle(name), &ok), S_OK);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(texts(name).empty());
    }
    // A drive list box is a combo box.
    ASSERT_GT(texts(L"Drive1").size(), 0u);
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

TEST_F(LbCbHandleTest, KindsCountsAndSelection) {
    BOXTYPE kind = isUNKNOWNBOXTYP;
    const std::vector<std::pair<long, BOXTYPE>> kinds = {{handle(L"List1"), isLISTBOX},
                                                         {handle(L"Combo1"), isCOMBOBOX},
                                                         {handle(L"Drive1"), isCOMBOBOX},
                                                         {system_handle(), isUNKNOWNBOXTYP},
                                                         {0, isUNKNOWNBOXTYP}};
    for (const auto& [h, expected] : kinds) {
        EXPECT_EQ(lb->Get_BoxTypeByHwnd(h, &kind), S_OK);
        EXPECT_EQ(kind, expected) << h;
    }
    long r = 0;
    EXPECT_EQ(lb->apiItemCount(handle(L"Drive1"), &r), S_OK);
    EXPECT_EQ(r, SendMessageW(window(L"Drive1"), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(lb->apiItemCount(system_handle(), &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(lb->apiListIndex(system_handle(), &r), S_OK);
    EXPECT_EQ(r, -2);
    fill(L"List1", {L"a", L"b"});
    late::put(box(L"List1"), L"ListIndex", v_long(1));
    EXPECT_EQ(lb->apiListIndex(handle(L"List1"), &r), S_OK);
    EXPECT_EQ(r, 1);
}

TEST_F(LbCbHandleTest, AddFindAndRead) {
    long r = 0, e = 0;
    fill(L"List1", {L"abc"});
    EXPECT_EQ(lb->apiAdd(handle(L"List1"), Bstr(L"Abc").get(), -1, VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(lb->apiAdd(handle(L"List1"), Bstr(L"abc").get(), -1, VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(lb->apiAdd(handle(L"List1"), Bstr(L"Zwei \u03A9").get(), 0, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(L"List1"), (Texts{L"Zwei \u03A9", L"abc", L"Abc"}));
    EXPECT_EQ(lb->apiAdd(system_handle(), Bstr(L"y").get(), -1, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(SendMessageW(system_list, LB_GETCOUNT, 0, 0), 1);

    // Exact: case counts; inexact: the box's own match, then lower-cased texts.
    fill(L"Combo1", {L"xyz", L"ABC", L"abc"});
    const struct {
        const wchar_t* find;
        VARIANT_BOOL exact;
        long expected;
    } finds[] = {{L"abc", VARIANT_TRUE, 2}, {L"Abc", VARIANT_TRUE, -1}, {L"Abc", VARIANT_FALSE, 1},
                 {L"ab", VARIANT_FALSE, -1}};
    for (const auto& f : finds) {
        Bstr find(f.find);
        EXPECT_EQ(lb->apiFind(handle(L"Combo1"), find.get(), f.exact, &e, &r), S_OK);
        EXPECT_EQ(r, f.expected) << f.find;
        EXPECT_EQ(find.str(), f.find);
    }
    EXPECT_EQ(lb->apiFind(system_handle(), Bstr(L"x").get(), VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, -2);

    Bstr text;
    EXPECT_EQ(lb->apiList(handle(L"List1"), 0, &e, text.put()), S_OK);
    EXPECT_EQ(text.str(), L"Zwei \u03A9");
    EXPECT_EQ(lb->apiList(handle(L"List1"), 99, &e, text.put()), S_OK);
    EXPECT_EQ(text.str(), L"");
    EXPECT_EQ(e, 5);

    // Into an array (none for an empty box), and into a box the caller holds.
    Variant arr = SafeArray(VT_VARIANT, 2, 3).to_variant();
    EXPECT_EQ(lb->apiReadInArray(handle(L"List1"), arr.get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(SafeArray::copy(array_of(*arr.get())).lbound(), 0);
    EXPECT_EQ(texts_of(array_of(*arr.get())), texts(L"List1"));
    fill(L"Combo1", {});
    EXPECT_EQ(lb->apiReadInArray(handle(L"Combo1"), arr.get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(array_of(*arr.get()), nullptr);
    EXPECT_EQ(lb->apiRead(handle(L"List1"), box(L"Combo1"), &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(L"Combo1"), texts(L"List1"));
}

TEST_F(LbCbHandleTest, BoxOfAnotherProcess) {
    qmtest::Helper helper(L"lbcb", L"listbox");
    const HWND list = helper.find_child(L"ThunderRT6ListBox");
    ASSERT_NE(list, nullptr);
    const long h = static_cast<long>(reinterpret_cast<LONG_PTR>(list));
    long r = 0, e = 0;
    EXPECT_EQ(lb->apiItemCount(h, &r), S_OK);
    EXPECT_EQ(r, 3);
    Bstr text;
    EXPECT_EQ(lb->apiList(h, 1, &e, text.put()), S_OK);
    EXPECT_EQ(text.str(), L"Zwei \u03A9");
    EXPECT_EQ(lb->apiFind(h, Bstr(L"zwei \u03C9").get(), VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(lb->apiRead(h, box(L"List1"), &e, &r), S_OK);
    EXPECT_EQ(texts(L"List1"), (Texts{L"eins", L"Zwei \u03A9", L"drei"}));

    // A program that stops answering does not hold the caller: error 5. Its
    // thread answers sent messages before posted ones, so the test goes on once
    // the program no longer answers.
    PostMessageW(helper.main(), WM_APP + 1, 0, 0);
    for (int i = 0; i < 50 && SendMessageTimeoutW(helper.main(), WM_NULL, 0, 0, SMTO_BLOCK, 100, nullptr); ++i) {
    }
    EXPECT_EQ(lb->apiItemCount(h, &r), static_cast<HRESULT>(0x800A0005));
    EXPECT_EQ(lb->apiList(h, 1, &e, text.put()), S_OK);
    EXPECT_EQ(e, 5);
}

}  // namespace
