// LB_CB: combo boxes and list boxes as windows, on a shown form of the forms
// engine, through the registered class.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lb_cb_fixture.h"
#include "recorder.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

class WindowForm : public forms::Form {
protected:
    void design() override {
        add<forms::ComboBox>(L"Combo1");
        add<forms::ComboBox>(L"Combo2").set_style(1);
        add<forms::ComboBox>(L"Combo3").set_style(2);
        add<forms::ListBox>(L"List1");
        add<forms::TextBox>(L"Text1");
        add<forms::Button>(L"Check1", forms::Button::Check);
    }
};

Variant object_variant(IDispatch* d) {
    Variant v;
    V_VT(v.get()) = VT_DISPATCH;
    V_DISPATCH(v.get()) = d;
    d->AddRef();
    return v;
}

class LbCbWindowTest : public qmtest::LbCbFixture<WindowForm, qmtest::ItemData::zero, true> {
protected:
    std::wstring text(const wchar_t* name) { return CStr(*late::get(box(name), L"Text").get()); }
    double number(const wchar_t* name, const wchar_t* property) { return CDbl(*late::get(box(name), property).get()); }
};

TEST_F(LbCbWindowTest, DropDownStateWidthHeightAndKeys) {
    fill(L"Combo1", {L"a", L"b"});
    long e = 0, r = -1;
    VARIANT_BOOL ok = VARIANT_FALSE;
    const Variant by_object = object_variant(box(L"Combo1"));
    const Variant by_handle = v_long(static_cast<long>(reinterpret_cast<LONG_PTR>(window(L"Combo1"))));
    EXPECT_EQ(lb->CB_SetDropDownState(*by_object.get(), VARIANT_TRUE, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_NE(SendMessageW(window(L"Combo1"), CB_GETDROPPEDSTATE, 0, 0), 0);
    EXPECT_EQ(lb->CB_GetDropDownState(*by_handle.get(), &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(lb->CB_SetDropDownState(*by_handle.get(), VARIANT_FALSE, &e, &ok), S_OK);
    EXPECT_EQ(SendMessageW(window(L"Combo1"), CB_GETDROPPEDSTATE, 0, 0), 0);
    EXPECT_EQ(lb->CB_GetDropDownState(*by_object.get(), &e, &ok), S_OK);
    EXPECT_FALSE(ok);

    EXPECT_EQ(lb->CB_SetDropDownWidth(box(L"Combo1"), 300, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(SendMessageW(window(L"Combo1"), CB_GETDROPPEDWIDTH, 0, 0), 300);

    // The height asked for, at most half the screen (measured against 150 pixels).
    const long half = GetSystemMetrics(SM_CYSCREEN) / 2;
    auto dropped_height = [&](long asked) {
        EXPECT_EQ(lb->CB_SetDropDownHeight(box(L"Combo1"), asked, &r), S_OK);
        EXPECT_EQ(r, 0);
        RECT dropped{};
        SendMessageW(window(L"Combo1"), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
        return dropped.bottom - dropped.top;
    };
    const long base = dropped_height(150);
    EXPECT_EQ(dropped_height(half) - base, half - 150);
    EXPECT_EQ(dropped_height(half + 1) - base, half - 150);
    EXPECT_EQ(dropped_height(5000) - base, half - 150);

    for (const VARIANT_BOOL denied : {VARIANT_TRUE, VARIANT_FALSE}) {
        EXPECT_EQ(lb->CB_DeniedF4(*by_handle.get(), denied, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(SendMessageW(window(L"Combo1"), CB_GETEXTENDEDUI, 0, 0) != 0, denied != VARIANT_FALSE);
    }

    COMBOBOXINFO info{sizeof(info)};
    ASSERT_TRUE(GetComboBoxInfo(window(L"Combo1"), &info));
    const LONG before = GetWindowLongW(info.hwndList, GWL_EXSTYLE);
    EXPECT_EQ(lb->CB_SetAlignment(box(L"Combo1"), alRIGHT, &r), S_OK);
    EXPECT_NE(GetWindowLongW(info.hwndList, GWL_EXSTYLE) & WS_EX_RIGHT, 0);
    EXPECT_EQ(lb->CB_SetAlignment(box(L"Combo1"), alLEFT, &r), S_OK);
    EXPECT_EQ(GetWindowLongW(info.hwndList, GWL_EXSTYLE), before);
}

// A drop-down width, or a place read from the box, beyond any window: the
// member's failure before the box changes.
TEST_F(LbCbWindowTest, DropDownSizesAndPlacesBeyondAnyWindowAreRefused) {
    const HWND combo = window(L"Combo1");
    const LRESULT width = SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0);
    RECT place{};
    GetWindowRect(combo, &place);
    for (const long huge : {1000000L, 2147483647L, -2147483647L}) {
        long e = 0, r = -1;
        VARIANT_BOOL ok = VARIANT_TRUE;
        if (huge > 0) {
            EXPECT_EQ(lb->CB_SetDropDownWidth(box(L"Combo1"), huge, &e, &ok), S_OK);
            EXPECT_FALSE(ok);
            EXPECT_EQ(e, 380) << huge;
        }
        // A box of another origin whose Left (twips) lies beyond the screen.
        qmtest::Recorder foreign({{L"Left", Variant(huge)}, {L"Top", Variant(0L)}, {L"Width", Variant(1500L)},
                                  {L"hwnd", Variant(handle(L"Combo1"))}});
        EXPECT_EQ(lb->CB_SetDropDownHeight(&foreign, 100, &r), S_OK);
        EXPECT_EQ(r, 380) << huge;
        RECT now{};
        GetWindowRect(combo, &now);
        EXPECT_TRUE(EqualRect(&now, &place)) << huge;
    }
    EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0), width);
}

TEST_F(LbCbWindowTest, EditFieldLimitAndText) {
    late::put(box(L"Combo1"), L"Text", v_str(L"abcdefgh"));
    long r = -1;
    EXPECT_EQ(lb->CB_MaxLength(box(L"Combo1"), 5, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(text(L"Combo1"), L"abcde");
    EXPECT_EQ(number(L"Combo1", L"SelStart"), 5);
    const HWND edit = FindWindowExW(window(L"Combo1"), nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_CHAR, L'x', 0);
    EXPECT_EQ(text(L"Combo1"), L"abcde");
    // 0: no limit, the text kept; a negative length is refused before anything changes.
    EXPECT_EQ(lb->CB_MaxLength(box(L"Combo1"), 0, &r), S_OK);
    EXPECT_EQ(text(L"Combo1"), L"abcde");
    SendMessageW(edit, WM_CHAR, L'x', 0);
    EXPECT_EQ(text(L"Combo1"), L"abcdex");
    EXPECT_EQ(lb->CB_MaxLength(box(L"Combo1"), -1, &r), S_OK);
    EXPECT_EQ(r, 5);
    EXPECT_EQ(text(L"Combo1"), L"abcdex");
    // A simple combo box: the limit reaches its edit field, not its list.
    late::put(box(L"Combo2"), L"Text", v_str(L"abcdef"));
    EXPECT_EQ(lb->CB_MaxLength(box(L"Combo2"), 3, &r), S_OK);
    EXPECT_EQ(text(L"Combo2"), L"abc");
    EXPECT_EQ(SendMessageW(FindWindowExW(window(L"Combo2"), nullptr, L"Edit", nullptr), EM_GETLIMITTEXT, 0, 0), 3);

    long e = 0, h = 0;
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(lb->CB_GetEditHwnd(object_variant(box(L"Combo1")), &h), S_OK);
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<LONG_PTR>(h)), edit);
    EXPECT_EQ(lb->CB_SetText(object_variant(box(L"Combo1")), Bstr(L"neu \u03A9").get(), &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(text(L"Combo1"), L"neu \u03A9");
    // The limit takes; Wine's combo box answers 0 instead of 1, so no verdict on ok.
    EXPECT_EQ(lb->CB_LimitEditText(object_variant(box(L"Combo1")), 2, &ok), S_OK);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 2);
    // A drop-down list has no edit field.
    EXPECT_EQ(lb->CB_GetEditHwnd(object_variant(box(L"Combo3")), &h), S_OK);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(lb->CB_SetText(object_variant(box(L"Combo3")), Bstr(L"x").get(), &e, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lb->CB_MaxLength(box(L"Combo3"), 2, &r), S_OK);
    EXPECT_EQ(r, 0);
}

TEST_F(LbCbWindowTest, CheckBoxInTheEditField) {
    long e = 0;
    VARIANT_BOOL ok = VARIANT_TRUE;
    const double text_left = number(L"Text1", L"Left");
    EXPECT_EQ(lb->CB_SetCheckBoxToEditBox(box(L"Combo1"), box(L"Text1"), &e, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(number(L"Text1", L"Left"), text_left);
    late::put(box(L"Combo1"), L"BackColor", v_long(0x00FFEE));
    EXPECT_EQ(lb->CB_SetCheckBoxToEditBox(box(L"Combo1"), box(L"Check1"), &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    const long p = CLng(forms::screen_twips_per_pixel_x());
    const HWND edit = FindWindowExW(window(L"Combo1"), nullptr, L"Edit", nullptr);
    EXPECT_EQ(LOWORD(SendMessageW(edit, EM_GETMARGINS, 0, 0)), CLng(number(L"Check1", L"Width") / p + 4));
    EXPECT_EQ(number(L"Check1", L"Left"), number(L"Combo1", L"Left") + 4 * p);
    EXPECT_EQ(number(L"Check1", L"Top"), number(L"Combo1", L"Top") + 2 * p);
    EXPECT_EQ(number(L"Check1", L"BackColor"), 0x00FFEE);
}

TEST_F(LbCbWindowTest, ListBoxRowsExtentAndScrollBar) {
    IDispatch* list = box(L"List1");
    const HWND h = window(L"List1");
    const float ty = forms::screen_twips_per_pixel_y();
    late::put(list, L"Height", Variant(150.0 * ty));
    SendMessageW(h, LB_SETITEMHEIGHT, 0, 13);
    long e = 0, r = 0;
    EXPECT_EQ(lb->LB_ScreenRows(list, &e, &r), S_OK);
    EXPECT_EQ(r, 12);
    EXPECT_EQ(lb->LB_GetListItemHeight(object_variant(list), &e, &r), S_OK);
    EXPECT_EQ(r, 13);

    // An empty box's extent is the scroll bar alone; a wide item's needs more.
    EXPECT_EQ(lb->LB_HorizontalScrollbar(list, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(SendMessageW(h, LB_GETHORIZONTALEXTENT, 0, 0), GetSystemMetrics(SM_CXVSCROLL));
    fill(L"List1", {L"i", L"a rather long item of the list box"});
    EXPECT_EQ(lb->LB_GetMaxItemLen(list, &e, &r), S_OK);
    EXPECT_GT(r, GetSystemMetrics(SM_CXVSCROLL) + 100);

    // The parent's scale and font come back, also when measuring fails.
    late::put(form.get(), L"ScaleMode", v_long(3));
    late::put(form.get(), L"FontSize", v_long(12));
    late::put(box(L"Text1"), L"FontSize", v_long(20));
    EXPECT_EQ(lb->LB_GetMaxItemLen(box(L"Text1"), &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(e, 438);
    EXPECT_EQ(CLng(*late::get(form.get(), L"ScaleMode").get()), 3);
    EXPECT_EQ(CLng(*late::get(form.get(), L"FontSize").get()), 12);

    for (int i = 0; i < 30; ++i) late::call(list, L"AddItem", {v_str(L"row")});
    for (const VARIANT_BOOL visible : {VARIANT_FALSE, VARIANT_TRUE}) {
        EXPECT_EQ(lb->LB_ScrollBarIsVisible(list, visible, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ((GetWindowLongW(h, GWL_STYLE) & WS_VSCROLL) != 0, visible != VARIANT_FALSE);
    }
    EXPECT_EQ(lb->LB_SetTabStopWidth(list, 40), S_OK);
    EXPECT_EQ(lb->LB_AllowResize(list, VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 0);
}

TEST_F(LbCbWindowTest, ItemsUnderTheMouseAndDoubleClick) {
    IDispatch* list = box(L"List1");
    const HWND h = window(L"List1");
    fill(L"List1", {L"a", L"b", L"c"});
    late::put(list, L"Height", Variant(150.0 * forms::screen_twips_per_pixel_y()));
    SendMessageW(h, LB_SETITEMHEIGHT, 0, 13);
    const float tx = forms::screen_twips_per_pixel_x(), ty = forms::screen_twips_per_pixel_y();
    struct Case {
        float x, y;  // pixels of the list's client area
        long under, clicked;
        const wchar_t* text;
    } cases[] = {
        {5, 18, 1, 1, L"b"},     // on the second row
        {5, 100, 2, -1, L"c"},   // below the last item: the nearest one, but no click on it
        {2000, 5, -1, -1, L""},  // outside the box
    };
    for (const Case& c : cases) {
        long e = 0, r = 0;
        EXPECT_EQ(lb->LB_GetIndexUnderMouse(list, c.x * tx, c.y * ty, &e, &r), S_OK);
        EXPECT_EQ(r, c.under) << c.y;
        Bstr under;
        EXPECT_EQ(lb->LB_GetItemUnderMouse(list, c.x * tx, c.y * ty, &e, under.put()), S_OK);
        EXPECT_EQ(under.str(), c.text) << c.y;
        BSTR clicked = SysAllocString(L"kept");
        EXPECT_EQ(lb->LB_GetRightClickedItem(list, c.x * tx, c.y * ty, &clicked, &e, &r), S_OK);
        EXPECT_EQ(r, c.clicked) << c.y;
        EXPECT_EQ(std::wstring(clicked, SysStringLen(clicked)), c.clicked >= 0 ? std::wstring(c.text) : L"kept") << c.y;
        SysFreeString(clicked);
    }
    // Failures reach the caller's ErrorNumber through both members.
    const struct Failure {
        IDispatch* box;
        float y;  // pixels
        long error;
    } failures[] = {{list, 40000, 6}, {form.get(), 5, 438}};  // a y past 32,767; no Parent
    for (const Failure& f : failures) {
        long e = 0, r = 0;
        EXPECT_EQ(lb->LB_GetIndexUnderMouse(f.box, 5 * tx, f.y * ty, &e, &r), S_OK);
        EXPECT_EQ(r, -2);
        EXPECT_EQ(e, f.error);
        Bstr under;
        e = 0;
        EXPECT_EQ(lb->LB_GetItemUnderMouse(f.box, 5 * tx, f.y * ty, &e, under.put()), S_OK);
        EXPECT_EQ(under.str(), L"");
        EXPECT_EQ(e, f.error) << f.y;
    }

    // A double click on item 3: selected, and the client's event runs once.
    fill(L"List1", {L"a", L"b", L"c", L"d", L"e"});
    int clicks = 0;
    form->get<forms::ListBox>(L"List1").on.dbl_click = [&] { ++clicks; };
    EXPECT_EQ(lb->LB_DblClick(object_variant(list), 3), S_OK);
    forms::do_events();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(CLng(*late::get(list, L"ListIndex").get()), 3);
}

}  // namespace
