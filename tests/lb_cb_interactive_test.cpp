// LB_CB: the in-place list editor, combo-box completion, hot tracking and
// blinking, driven from timers while the members run their message loops. The
// class runs in this program's own copy of the library, so that its worker forms
// share the forms engine with the test's form.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/lb_cb.h"
#include "frame/mycontrols.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

class EditForm : public forms::Form {
protected:
    void design() override {
        add<forms::ListBox>(L"List1");
        add<forms::ComboBox>(L"Combo1");
    }
};

// One step run from the thread's message loop after a while.
std::function<void()> g_step;
void CALLBACK run_step(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    std::function<void()> step = std::move(g_step);
    g_step = nullptr;
    if (step) step();
}
void after(UINT ms, std::function<void()> step) {
    g_step = std::move(step);
    SetTimer(nullptr, 0, ms, run_step);
}

const std::wstring kNoEdit(1, L'\0');

class LbCbInteractiveTest : public testing::Test {
protected:
    void SetUp() override {
        lb = ComPtr<_LB_CB>::attach(new qm::LB_CB());
        form = forms::make<EditForm>();
        form->show();
        fill({L"a", L"b", L"c"});
    }
    void TearDown() override {
        g_step = nullptr;
        if (form->loaded()) form->unload();
    }
    IDispatch* list() { return &form->get<forms::ListBox>(L"List1"); }
    IDispatch* combo() { return &form->get<forms::ComboBox>(L"Combo1"); }
    HWND list_window() { return form->get<forms::ListBox>(L"List1").hwnd(); }
    void fill(std::initializer_list<const wchar_t*> texts) {
        late::call(list(), L"Clear");
        for (const wchar_t* t : texts) late::call(list(), L"AddItem", {v_str(t)});
    }
    std::wstring item(long i) { return CStr(*late::get(list(), L"List", {v_long(i)}).get()); }
    void select(long i) { late::put(list(), L"ListIndex", v_long(i)); }
    // The editor's window inside the list box.
    HWND editor() { return FindWindowExW(list_window(), nullptr, nullptr, nullptr); }
    void type_and_press(const wchar_t* text, WPARAM key) {
        HWND e = editor();
        ASSERT_NE(e, nullptr);
        if (text) SetWindowTextW(e, text);
        PostMessageW(e, WM_CHAR, key, 0);
    }
    std::wstring edit(bool add_input, bool cancel_on_esc = false, long* error = nullptr) {
        Bstr out;
        long e = 0;
        EXPECT_EQ(lb->LB_ListEdit(list(), add_input ? VARIANT_TRUE : VARIANT_FALSE, 0, VARIANT_TRUE,
                                  cancel_on_esc ? VARIANT_TRUE : VARIANT_FALSE, error ? error : &e, out.put()),
                  S_OK);
        return std::wstring(out.get() ? out.get() : L"", SysStringLen(out.get()));
    }
    long worker_forms() {
        long n = 0;
        for (const auto& f : forms::forms_collection().snapshot()) n += dynamic_cast<MyControls*>(f.get()) != nullptr;
        return n;
    }
    ComPtr<_LB_CB> lb;
    ComPtr<EditForm> form;
};

TEST_F(LbCbInteractiveTest, ListEditEndsByEnterOrEsc) {
    select(-1);
    EXPECT_EQ(edit(false), kNoEdit);

    // Enter: the text typed; written into the row only when asked.
    for (bool add_input : {true, false}) {
        fill({L"a", L"b", L"c"});
        select(1);
        after(50, [&] { type_and_press(L"neu", VK_RETURN); });
        EXPECT_EQ(edit(add_input), L"neu");
        EXPECT_EQ(item(1), add_input ? L"neu" : L"b");
        EXPECT_EQ(editor(), nullptr);
        EXPECT_EQ(worker_forms(), 0);
    }
    // Esc with CancelOnESC: the starting text comes back.
    select(2);
    after(50, [&] { type_and_press(L"zzz", VK_ESCAPE); });
    EXPECT_EQ(edit(true, true), L"c");
    EXPECT_EQ(item(2), L"c");
    EXPECT_EQ(worker_forms(), 0);
}

TEST_F(LbCbInteractiveTest, ListEditNestedRestartedAndOrphaned) {
    // A nested edit from an event returns at once and leaves the running one alone.
    std::wstring nested = L"unset";
    select(0);
    after(50, [&] {
        nested = edit(false);
        type_and_press(L"eins", VK_RETURN);
    });
    EXPECT_EQ(edit(true), L"eins");
    EXPECT_EQ(nested, kNoEdit);
    EXPECT_EQ(item(0), L"eins");

    // A restart request: the edit starts over on the row selected then.
    select(0);
    after(50, [&] {
        const std::wstring tag = std::to_wstring(reinterpret_cast<LONG_PTR>(list_window())) + L"LB_ListEdit";
        auto* worker = dynamic_cast<MyControls*>(forms::forms_collection().find(tag, forms::FormsCollection::ByTag));
        ASSERT_NE(worker, nullptr);
        select(2);
        worker->get<forms::TextBox>(L"uInput").set_tag(L"new");
        after(50, [&] { type_and_press(L"drei", VK_RETURN); });
    });
    EXPECT_EQ(edit(true), L"drei");
    EXPECT_EQ(item(2), L"drei");
    EXPECT_EQ(worker_forms(), 0);
    select(1);
    after(50, [&] { type_and_press(L"zwei", VK_RETURN); });
    EXPECT_EQ(edit(true), L"zwei");

    // The parent form closes during the edit: an empty text, no editor left.
    select(1);
    after(50, [&] { form->unload(); });
    long error = -1;
    EXPECT_EQ(edit(true, false, &error), L"");
    EXPECT_EQ(error, 0);
    EXPECT_EQ(worker_forms(), 0);
}

TEST_F(LbCbInteractiveTest, AutoCompleteFromTheItems) {
    qmtest::PinnedKeys keys;  // nothing pressed
    late::call(combo(), L"AddItem", {v_str(L"Berlin")});
    late::call(combo(), L"AddItem", {v_str(L"Bern")});
    late::put(combo(), L"Text", v_str(L"ber"));
    SetFocus(form->hwnd());
    long r = 0, e = 0;
    EXPECT_EQ(lb->CB_AutoComplete(combo(), &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(CStr(*late::get(combo(), L"Text").get()), L"berlin");
    EXPECT_EQ(CLng(*late::get(combo(), L"SelStart").get()), 3);
    EXPECT_EQ(CStr(*late::get(combo(), L"SelText").get()), L"lin");
    late::put(combo(), L"Text", v_str(L"x"));
    EXPECT_EQ(lb->CB_AutoComplete(combo(), &e, &r), S_OK);
    EXPECT_EQ(r, -1);

    // Right after Backspace or Delete the typed text stays; another key completes.
    for (const int key : {VK_BACK, VK_DELETE, int{'X'}}) {
        late::put(combo(), L"Text", v_str(L"ber"));
        keys.set({key});
        EXPECT_EQ(lb->CB_AutoComplete(combo(), &e, &r), S_OK);
        EXPECT_EQ(r, key == 'X' ? 0 : -4) << key;
        EXPECT_EQ(CStr(*late::get(combo(), L"Text").get()), key == 'X' ? L"berlin" : L"ber") << key;
    }
}

TEST_F(LbCbInteractiveTest, MouseMoveAndBlink) {
    late::call(list(), L"Clear");
    long r = 0, e = 0;
    EXPECT_EQ(lb->LB_MouseMove(list(), 30, 30, VARIANT_TRUE, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(CLng(*late::get(list(), L"MousePointer").get()), 12);
    EXPECT_EQ(CStr(*late::get(list(), L"ToolTipText").get()), L"");
    fill({L"a", L"b", L"c"});
    EXPECT_EQ(lb->LB_MouseMove(list(), 30, 30, VARIANT_TRUE, VARIANT_TRUE, &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(CLng(*late::get(list(), L"MousePointer").get()), 0);
    EXPECT_EQ(CStr(*late::get(list(), L"ToolTipText").get()), L"a");
    EXPECT_EQ(CLng(*late::get(list(), L"ListIndex").get()), 0);

    select(0);
    EXPECT_EQ(lb->LB_IndexBlink(list(), 2, 1, 10, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(CLng(*late::get(list(), L"ListIndex").get()), 2);
}

}  // namespace
