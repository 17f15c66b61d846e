// LB_CB: the list and combo box core on a form of the forms engine, through the
// registered class.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lb_cb_fixture.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using qmtest::Texts;
using qmtest::v_long;
using qmtest::v_str;

namespace {

class BoxForm : public forms::Form {
protected:
    void design() override {
        add<forms::ListBox>(L"List1");
        add<forms::ComboBox>(L"Combo1");
        add<forms::TextBox>(L"Text1");
        add<forms::Button>(L"Command1", forms::Button::Command);
    }
};

class LbCbTest : public qmtest::LbCbFixture<BoxForm> {
protected:
    static Variant texts_variant() { return string_array({L"keep"}).to_variant(); }
    long list_index(IDispatch* b) { return CLng(*late::get(b, L"ListIndex").get()); }
};

TEST_F(LbCbTest, FindExactAndInexactInBothKinds) {
    long r = 0, e = 0;
    for (IDispatch* box : {list(), combo()}) {
        fill(box, {L"abc", L"ABC"});
        EXPECT_EQ(lb->Find(box, Bstr(L"ABC").get(), VARIANT_TRUE, &e, &r), S_OK);
        EXPECT_EQ(r, 1);
        EXPECT_EQ(lb->Find(box, Bstr(L"ABC").get(), VARIANT_FALSE, &e, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(lb->Find(box, Bstr(L"Abc").get(), VARIANT_TRUE, &e, &r), S_OK);
        EXPECT_EQ(r, -1);
        EXPECT_EQ(lb->Find(box, Bstr(L"ab").get(), VARIANT_FALSE, &e, &r), S_OK);
        EXPECT_EQ(r, -1);  // whole texts only
    }
    EXPECT_EQ(lb->LB_Find(list(), Bstr(L"abc").get(), VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(lb->CB_Find(combo(), Bstr(L"ABC").get(), VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 1);
    // Another kind of object: -3, and the caller's ErrorNumber untouched.
    e = 77;
    EXPECT_EQ(lb->Find(text_box(), Bstr(L"abc").get(), VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, -3);
    EXPECT_EQ(e, 77);
    // A text box has no list: LB_Find and CB_Find report it.
    EXPECT_EQ(lb->LB_Find(text_box(), Bstr(L"abc").get(), VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_NE(e, 0);
    e = 0;
    EXPECT_EQ(lb->CB_Find(text_box(), Bstr(L"abc").get(), VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_NE(e, 0);
    VARIANT_BOOL there = VARIANT_FALSE;
    EXPECT_EQ(lb->ItemExist(list(), Bstr(L"ABC").get(), VARIANT_TRUE, &e, &there), S_OK);
    EXPECT_TRUE(there);
    EXPECT_EQ(lb->ItemExist(text_box(), Bstr(L"ABC").get(), VARIANT_TRUE, nullptr, &there), S_OK);
    EXPECT_FALSE(there);
}

TEST_F(LbCbTest, FindPhraseAndCount) {
    fill(list(), {L"xabc", L"abcd", L"ABx", L"ab"});
    long r = 0, e = 0;
    EXPECT_EQ(lb->FindPhrase(list(), Bstr(L"ab").get(), 1, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(lb->FindPhrase(list(), Bstr(L"ab").get(), -1, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(lb->FindPhrase(list(), Bstr(L"ab").get(), 2, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(lb->FindPhrase(list(), Bstr(L"AB").get(), 1, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 2);
    EXPECT_EQ(lb->FindPhrase(list(), Bstr(L"zz").get(), -1, VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(lb->FindPhrase(list(), Bstr(L"zz").get(), 0, VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, -1);  // no position 0: items without the text do not match either
    EXPECT_EQ(lb->FindPhrase(list(), Bstr(L"x").get(), 3, VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, 2);  // ABx, lower-cased
    EXPECT_EQ(lb->CountItem(list(), Bstr(L"AB").get(), VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, 1);
    fill(list(), {L"ab", L"AB", L"ab"});
    EXPECT_EQ(lb->CountItem(list(), Bstr(L"ab").get(), VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 2);
    EXPECT_EQ(lb->CountItem(list(), Bstr(L"ab").get(), VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, 3);
}

TEST_F(LbCbTest, AddWithItemDataIndexAndDuplicates) {
    fill(list(), {L"abc"});
    long r = 0, e = 0;
    EXPECT_EQ(lb->Add(list(), Bstr(L"abc").get(), 0, -1, VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(lb->Add(list(), Bstr(L"ABC").get(), 42, -1, VARIANT_FALSE, &e, &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(CLng(*late::get(list(), L"ItemData", {v_long(1)}).get()), 42);
    EXPECT_EQ(lb->Add(list(), Bstr(L"first").get(), 7, 0, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), (Texts{L"first", L"abc", L"ABC"}));
    EXPECT_EQ(lb->Add(list(), Bstr(L"x").get(), 0, 9, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, -2);  // no such position
    EXPECT_NE(e, 0);
}

TEST_F(LbCbTest, ArraysInAndOut) {
    long r = -1;
    IDispatch* box = list();
    SafeArray a(VT_VARIANT, 3, 5);
    a.set(5, *v_str(L"c").get());
    a.set(6, *v_long(1).get());
    a.set(7, *v_str(L"c").get());
    Variant arr = std::move(a).to_variant();
    VARIANT_BOOL allow = VARIANT_TRUE, clear = VARIANT_TRUE;
    fill(box, {L"old"});
    EXPECT_EQ(lb->AddArray(&box, arr.get(), &allow, &clear, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(box), (Texts{L"c", L"1", L"c"}));
    allow = VARIANT_FALSE, clear = VARIANT_FALSE;
    fill(box, {L"C"});
    EXPECT_EQ(lb->AddArray(&box, arr.get(), &allow, &clear, &r), S_OK);
    EXPECT_EQ(texts(box), (Texts{L"C", L"c", L"1"}));
    Variant none = SafeArray(VT_BSTR).to_variant();
    clear = VARIANT_TRUE;
    EXPECT_EQ(lb->AddArray(&box, none.get(), &allow, &clear, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(texts(box).empty());

    // A two-dimensional array ends the work quietly: nothing added, 0.
    SAFEARRAYBOUND two[2] = {{2, 0}, {2, 0}};
    Variant grid;
    V_VT(grid.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(grid.get()) = SafeArrayCreate(VT_VARIANT, 2, two);
    allow = VARIANT_TRUE;
    EXPECT_EQ(lb->AddArray(&box, grid.get(), &allow, &clear, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(texts(box).empty());
    // Another kind of object: the error number (no such member), not -2.
    IDispatch* text = text_box();
    EXPECT_EQ(lb->AddArray(&text, arr.get(), &allow, &clear, &r), S_OK);
    EXPECT_EQ(r, 438);
    Variant untouched = texts_variant();
    EXPECT_EQ(lb->ToArray(&text, untouched.get(), &allow, &r), S_OK);
    EXPECT_EQ(r, 438);
    EXPECT_EQ(texts_of(array_of(*untouched.get())), (Texts{L"keep"}));

    // Out: a 0-based Variant array; an empty box leaves no elements.
    fill(box, {L"b", L"a"});
    Variant out = SafeArray(VT_VARIANT, 2, 9).to_variant();
    VARIANT_BOOL sorted = VARIANT_FALSE;
    EXPECT_EQ(lb->ToArray(&box, out.get(), &sorted, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(SafeArray::copy(array_of(*out.get())).lbound(), 0);
    EXPECT_EQ(texts_of(array_of(*out.get())), (Texts{L"b", L"a"}));
    sorted = VARIANT_TRUE;
    EXPECT_EQ(lb->ToArray(&box, out.get(), &sorted, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts_of(array_of(*out.get())), (Texts{L"a", L"b"}));
    late::call(box, L"Clear");
    EXPECT_EQ(lb->ToArray(&box, out.get(), &sorted, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(out.vt(), VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(array_of(*out.get()), nullptr);
    // A typed String() variable keeps its type.
    fill(box, {L"z"});
    Variant strings = SafeArray(VT_BSTR).to_variant();
    VARIANT typed;
    VariantInit(&typed);
    V_VT(&typed) = VT_BYREF | VT_ARRAY | VT_BSTR;
    V_ARRAYREF(&typed) = &V_ARRAY(strings.get());
    sorted = VARIANT_FALSE;
    EXPECT_EQ(lb->ToArray(&box, &typed, &sorted, &r), S_OK);
    EXPECT_EQ(strings.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(texts_of(array_of(*strings.get())), (Texts{L"z"}));
}

TEST_F(LbCbTest, RemovingItems) {
    fill(list(), {L"X", L"", L"y", L"x", L" "});
    long r = -1;
    EXPECT_EQ(lb->RemoveItem(list(), Bstr(L"x").get(), VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), (Texts{L"", L"y", L" "}));
    EXPECT_EQ(lb->Kill_Empty(list(), &r), S_OK);
    EXPECT_EQ(texts(list()), (Texts{L"y", L" "}));
    EXPECT_EQ(lb->RemoveItem(list(), Bstr(L"Y").get(), VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(texts(list()), (Texts{L"y", L" "}));
}

TEST_F(LbCbTest, SetListIndexReportsWhatTheBoxDid) {
    fill(list(), {L"a", L"b", L"c"});
    long e = 0;
    VARIANT_BOOL ok = VARIANT_FALSE;
    Variant box;
    V_VT(box.get()) = VT_DISPATCH;
    V_DISPATCH(box.get()) = list();
    list()->AddRef();
    EXPECT_EQ(lb->Set_ListIndex(*box.get(), 0, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(list_index(list()), 0);
    EXPECT_EQ(lb->Set_ListIndex(*box.get(), 2, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(list_index(list()), 2);
    EXPECT_EQ(lb->Set_ListIndex(*box.get(), 3, &e, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lb->Set_ListIndex(*box.get(), -1, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(list_index(list()), -1);
    // A bare handle; a combo box takes its own message.
    fill(combo(), {L"a", L"b"});
    const long combo_hwnd = CLng(*late::get(combo(), L"hwnd").get());
    EXPECT_EQ(lb->Set_ListIndex(*v_long(combo_hwnd).get(), 1, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(list_index(combo()), 1);
    EXPECT_EQ(lb->Set_ListIndex(*v_long(combo_hwnd).get(), 5, &e, &ok), S_OK);
    EXPECT_FALSE(ok);
    // Not a box at all.
    const long button = CLng(*late::get(&form->get<forms::Button>(L"Command1"), L"hwnd").get());
    EXPECT_EQ(lb->Set_ListIndex(*v_long(button).get(), 0, &e, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lb->Set_ListIndex(*v_long(0).get(), 0, &e, &ok), S_OK);
    EXPECT_FALSE(ok);
}

}  // namespace
