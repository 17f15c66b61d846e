// LB_CB: whole-list transformations, multi-selection and item data on boxes of
// the forms engine, through the registered class.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "lb_cb_fixture.h"
#include "recorder.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

using qmtest::Data;
using qmtest::Texts;

class ListsForm : public forms::Form {
protected:
    void design() override {
        add<forms::ListBox>(L"List1");
        add<forms::ComboBox>(L"Combo1");
        add<forms::TextBox>(L"Text1");
        add<forms::ListBox>(L"Sorted1").set_sorted(true);
        add<forms::ListBox>(L"Multi1").set_multi_select(1);
    }
};

// Items filled without data get 1, 2, 3, ...
using LbCbListsTest = qmtest::LbCbFixture<ListsForm, qmtest::ItemData::counted>;

TEST_F(LbCbListsTest, Duplicates) {
    struct Case {
        Texts items;
        bool exact;
        Texts left;
        Data data;
    } cases[] = {
        {{L"b", L"a", L"B", L"a"}, false, {L"b", L"a"}, {1, 2}},
        {{L"a", L"a", L"A"}, true, {L"a"}, {1}},  // the first match is exact: every case goes
        {{L"a", L"A", L"a"}, true, {L"a", L"A", L"a"}, {1, 2, 3}},  // each first match differs in case
    };
    for (IDispatch* b : {list(), combo()}) {
        for (const Case& c : cases) {
            fill(b, c.items);
            long r = -1;
            ASSERT_EQ(lb->Kill_DoubleItems(b, c.exact ? VARIANT_TRUE : VARIANT_FALSE, &r), S_OK);
            EXPECT_EQ(r, 0);
            EXPECT_EQ(texts(b), c.left) << c.items.size() << c.exact;
            EXPECT_EQ(data(b), c.data);
        }
    }
    long r = 0;
    EXPECT_EQ(lb->Kill_DoubleItems(text_box(), VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, -2);

    // One text: the first stays. Through late binding with the text in a variable,
    // as a script passes it: the variable keeps its case.
    fill(list(), {L"a", L"A", L"a", L"A"});
    Variant value(L"a");
    VARIANT ref = qmtest::v_ref(value), exact = *qmtest::v_bool(true).get(), out;
    VariantInit(&out);
    ASSERT_EQ(qmtest::call(disp.get(), L"Kill_DoubleItem", {Variant(list()).get(), &ref, &exact}, &out), S_OK);
    EXPECT_EQ(CLng(out), 0);
    EXPECT_EQ(texts(list()), (Texts{L"a", L"A", L"A"}));
    value = Variant(L"A");
    ASSERT_EQ(qmtest::call(disp.get(), L"Kill_DoubleItem", {Variant(list()).get(), &ref}, &out), S_OK);
    EXPECT_EQ(texts(list()), (Texts{L"a"}));
    EXPECT_EQ(CStr(value), L"A");
}

TEST_F(LbCbListsTest, ReplaceCopyMoveSwap) {
    long r = -1;
    fill(list(), {L"X", L"x", L"z"});
    EXPECT_EQ(lb->Replace(list(), Bstr(L"x").get(), Bstr(L"x").get(), VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), (Texts{L"X", L"x", L"z"}));
    EXPECT_EQ(lb->Replace(list(), Bstr(L"x").get(), Bstr(L"y").get(), VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(texts(list()), (Texts{L"y", L"y", L"z"}));
    EXPECT_EQ(data(list()), (Data{1, 2, 3}));

    // Copies carry the data; a box copied onto itself keeps its items.
    fill(list(), {L"b", L"a"}, {7, 8});
    fill(combo(), {L"old"});
    EXPECT_EQ(lb->Copy(list(), combo(), VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(texts(combo()), (Texts{L"b", L"a"}));
    EXPECT_EQ(data(combo()), (Data{7, 8}));
    EXPECT_EQ(lb->Copy(list(), list(), VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(data(list()), (Data{7, 8}));

    // A move that cannot copy keeps the source.
    EXPECT_EQ(lb->Move(list(), text_box(), &r), S_OK);
    EXPECT_EQ(r, 438);
    EXPECT_EQ(data(list()), (Data{7, 8}));
    fill(combo(), {});
    EXPECT_EQ(lb->Move(list(), combo(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), Texts{});
    EXPECT_EQ(data(combo()), (Data{7, 8}));

    // Swap: texts and data change places; a box that cannot take the other's
    // items leaves both as they were.
    fill(list(), {L"l1", L"l2"}, {1, 2});
    EXPECT_EQ(lb->Swap(list(), combo(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), (Texts{L"b", L"a"}));
    EXPECT_EQ(data(list()), (Data{7, 8}));
    EXPECT_EQ(texts(combo()), (Texts{L"l1", L"l2"}));
    EXPECT_EQ(data(combo()), (Data{1, 2}));
    for (auto [one, two] : {std::pair{list(), text_box()}, std::pair{text_box(), list()}}) {
        EXPECT_EQ(lb->Swap(one, two, &r), S_OK);
        EXPECT_EQ(r, 438);
        EXPECT_EQ(data(list()), (Data{7, 8}));
    }
    // An empty box that can be read but not cleared: the list was emptied for it
    // and gets its items back.
    qmtest::Recorder stranger({{L"ListCount", v_long(0)}, {L"hwnd", v_long(0)}});
    EXPECT_EQ(lb->Swap(list(), &stranger, &r), S_OK);
    EXPECT_EQ(r, 438);
    EXPECT_EQ(texts(list()), (Texts{L"b", L"a"}));
    EXPECT_EQ(data(list()), (Data{7, 8}));
}

TEST_F(LbCbListsTest, Order) {
    long r = 0;
    fill(list(), {L"b", L"c", L"a"}, {2, 3, 1});
    EXPECT_EQ(lb->Sort(list(), soDESCENDING, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), (Texts{L"c", L"b", L"a"}));
    EXPECT_EQ(data(list()), (Data{3, 2, 1}));
    EXPECT_EQ(lb->Sort(list(), soASCENDING, &r), S_OK);
    EXPECT_EQ(texts(list()), (Texts{L"a", L"b", L"c"}));
    EXPECT_EQ(data(list()), (Data{0, 0, 0}));
    fill(combo(), {L"b", L"a"});
    EXPECT_EQ(lb->Sort(combo(), soASCENDING, &r), S_OK);
    EXPECT_EQ(r, 13);

    EXPECT_EQ(lb->Invert(list(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), (Texts{L"c", L"b", L"a"}));
    fill(list(), {L"a", L"b", L"c", L"d"});
    EXPECT_EQ(lb->Shuffle(list(), &r), S_OK);
    EXPECT_EQ(r, 0);
    Texts shuffled = texts(list());
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, (Texts{L"a", L"b", L"c", L"d"}));
    EXPECT_EQ(data(list()), (Data{0, 0, 0, 0}));

    fill(box(L"Sorted1"), {L"b", L"a"});
    fill(combo(), {});
    for (auto member : {&_LB_CB::Invert, &_LB_CB::Shuffle}) {
        EXPECT_EQ((lb.get()->*member)(box(L"Sorted1"), &r), S_OK);
        EXPECT_EQ(r, -1);
        EXPECT_EQ(data(box(L"Sorted1")), (Data{2, 1}));
        EXPECT_EQ((lb.get()->*member)(combo(), &r), S_OK);
        EXPECT_EQ(r, -3);
    }
}

TEST_F(LbCbListsTest, ExtremesCompareAndJoin) {
    long r = 0, e = 0;
    Bstr text(L"old");
    fill(list(), {L"10", L"9", L"100"});
    EXPECT_EQ(lb->Get_MaxValue(list(), text.put(), &e, &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(text.view(), L"9");
    EXPECT_EQ(lb->Get_MaxValue(combo(), text.put(), &e, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(text.view(), L"");
    text = Bstr(L"old");
    EXPECT_EQ(lb->Get_MinValue(text_box(), text.put(), &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(e, 438);
    EXPECT_EQ(text.view(), L"");

    VARIANT_BOOL same = VARIANT_FALSE;
    e = 77;
    EXPECT_EQ(lb->Compare(combo(), box(L"Sorted1"), VARIANT_TRUE, &e, &same), S_OK);
    EXPECT_TRUE(same);
    EXPECT_EQ(e, 77);  // kept by a comparison that succeeds
    fill(combo(), {L"10", L"9", L"100"});
    fill(box(L"Sorted1"), {L"a"});
    late::put(list(), L"List", v_str(L"X"), {v_long(2)});
    late::put(combo(), L"List", v_str(L"x"), {v_long(2)});
    EXPECT_EQ(lb->Compare(list(), combo(), VARIANT_FALSE, &e, &same), S_OK);
    EXPECT_TRUE(same);
    EXPECT_EQ(lb->Compare(list(), combo(), VARIANT_TRUE, &e, &same), S_OK);
    EXPECT_FALSE(same);
    EXPECT_EQ(lb->Compare(list(), text_box(), VARIANT_TRUE, &e, &same), S_OK);
    EXPECT_FALSE(same);
    EXPECT_EQ(e, 438);

    Bstr joined;
    for (auto [items, expected] : {std::pair{Texts{L"x"}, std::wstring(L"x")},
                                   std::pair{Texts{L"a", L"b"}, std::wstring(L"a\0b", 3)}, std::pair{Texts{}, std::wstring()}}) {
        fill(list(), items);
        EXPECT_EQ(lb->ToString(list(), &e, joined.put()), S_OK);
        EXPECT_EQ(joined.view(), expected);
    }
}

TEST_F(LbCbListsTest, Selection) {
    IDispatch* multi = box(L"Multi1");
    fill(multi, {L"a", L"b", L"c", L"d"});
    late::put(multi, L"Selected", Variant(true), {v_long(1)});
    late::put(multi, L"Selected", Variant(true), {v_long(3)});
    long e = 0;
    SafeArray picked(VT_I4);
    ASSERT_EQ(lb->LB_GetSelectedItems(multi, &e, picked.put()), S_OK);
    ASSERT_EQ(picked.count(), 2);
    EXPECT_EQ(picked.lbound(), 0);
    EXPECT_EQ(picked.at<long>(0), 1);
    EXPECT_EQ(picked.at<long>(1), 3);
    SafeArray names(VT_BSTR);
    ASSERT_EQ(lb->LB_GetSelectedItemsText(multi, &e, names.put()), S_OK);
    EXPECT_EQ(texts_of(names.get()), (Texts{L"b", L"d"}));

    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(lb->LB_SelectAll(multi, static_cast<lbSELECTALLINFO>(3), &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lb->LB_SelectAll(combo(), lbSelectAll, &ok), S_OK);
    EXPECT_FALSE(ok);

    fill(combo(), {L"old"});
    EXPECT_EQ(lb->LB_CopySelectedToLBCB(multi, combo(), VARIANT_FALSE, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(texts(combo()), (Texts{L"b", L"d"}));
    EXPECT_EQ(texts(multi), (Texts{L"a", L"b", L"c", L"d"}));
    EXPECT_EQ(lb->LB_SelectAll(multi, lbSelectChange, &ok), S_OK);
    EXPECT_TRUE(ok);
    ASSERT_EQ(lb->LB_CopySelectedToArray(multi, VARIANT_TRUE, names.put()), S_OK);
    EXPECT_EQ(texts_of(names.get()), (Texts{L"a", L"c"}));
    EXPECT_EQ(texts(multi), (Texts{L"b", L"d"}));
    EXPECT_EQ(lb->LB_GetSelectedItems(multi, &e, picked.put()), S_OK);
    EXPECT_TRUE(picked.dimensioned());
    EXPECT_EQ(picked.count(), 0);
    fill(multi, {L"a", L"b", L"c", L"d", L"e"});
    for (long i : {0L, 2L, 4L}) late::put(multi, L"Selected", Variant(true), {v_long(i)});
    long removed = -1;
    EXPECT_EQ(lb->LB_RemoveSelectedItems(multi, &removed), S_OK);
    EXPECT_EQ(removed, 0);
    EXPECT_EQ(texts(multi), (Texts{L"b", L"d"}));

    // Lists past the 16-bit range.
    std::vector<std::wstring> many(40000, L"n");
    late::call(multi, L"Clear");
    for (const auto& t : many) late::call(multi, L"AddItem", {Variant(t)});
    EXPECT_EQ(lb->LB_SelectAll(multi, lbSelectAll, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(lb->LB_GetSelectedItems(multi, &e, picked.put()), S_OK);
    EXPECT_EQ(picked.count(), 40000);
    EXPECT_EQ(lb->LB_CopySelectedToLBCB(multi, list(), VARIANT_TRUE, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(CLng(late::get(list(), L"ListCount")), 40000);
    EXPECT_EQ(CLng(late::get(multi, L"ListCount")), 0);
}

TEST_F(LbCbListsTest, ItemData) {
    long r = 0, e = 0;
    fill(list(), {L"a", L"b", L"c", L"d", L"e"}, {5, -3, 9, 5, 0});
    EXPECT_EQ(lb->ItemData_Find(list(), 42, &e, &r), S_OK);
    EXPECT_EQ(r, -1);
    for (auto [data, there] : {std::pair{9L, true}, std::pair{0L, true}, std::pair{42L, false}}) {
        VARIANT_BOOL exists = there ? VARIANT_FALSE : VARIANT_TRUE;
        EXPECT_EQ(lb->ItemData_Exist(list(), data, &e, &exists), S_OK);
        EXPECT_EQ(exists != VARIANT_FALSE, there) << data;
    }
    EXPECT_EQ(lb->ItemData_Count(list(), 5, &e, &r), S_OK);
    EXPECT_EQ(r, 2);
    EXPECT_EQ(lb->ItemData_GetMaxValue(list(), &e, &r), S_OK);
    EXPECT_EQ(r, 9);
    EXPECT_EQ(lb->ItemData_GetMinValue(list(), &e, &r), S_OK);
    EXPECT_EQ(r, -3);
    Variant all;
    EXPECT_EQ(lb->ItemData_ToArray(list(), &e, all.put()), S_OK);
    ASSERT_EQ(all.vt(), VT_ARRAY | VT_I4);
    EXPECT_EQ(texts_of(array_of(*all.get())), (Texts{L"5", L"-3", L"9", L"5", L"0"}));
    EXPECT_EQ(lb->ItemData_Fill(list(), 2, 2, -1, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(data(list()), (Data{5, -3, 2, 2, 2}));
    EXPECT_EQ(lb->ItemData_Fill(list(), 1, 3, 7, &r), S_OK);
    EXPECT_EQ(r, 381);  // no item 5: the items before it were set
    EXPECT_EQ(data(list()), (Data{5, -3, 2, 1, 1}));

    // An empty box: 0 without an error, and an empty Variant.
    e = 77;
    EXPECT_EQ(lb->ItemData_GetMaxValue(combo(), &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(lb->ItemData_GetMinValue(combo(), &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(lb->ItemData_ToArray(combo(), &e, all.put()), S_OK);
    EXPECT_EQ(all.vt(), VT_EMPTY);
    EXPECT_EQ(lb->ItemData_Find(text_box(), 0, &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(e, 438);
}

}  // namespace
