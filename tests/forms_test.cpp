// The forms engine: a client form with a list box, a text box, a label, a
// picture box and timers, driven from C++ and late-bound through IDispatch.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;

namespace {

class ClientForm : public Form {
public:
    ClientForm() {
        set_name(L"frmClient");
        caption_ = L"Client";
        w_ = 6000;
        h_ = 4500;
    }
    int loads = 0;

protected:
    void design() override {
        ++loads;
        auto& list = add<ListBox>(L"List1");
        list.move(120, &f120, &f2000, &f1500);
        add<TextBox>(L"Text1").move(2300, &f120, &f2000, &f300);
        add<Label>(L"Label1").set_caption(L"Name:");
        auto& pic = add<PictureBox>(L"Picture1");
        pic.surface()->set_scale_mode(3);
        pic.surface()->set_auto_redraw(true);
        pic.set_border_style(0);
        pic.move(120, &f1800, &f1500, &f1500);
        add<Timer>(L"Timer1").set_enabled(false);
        add_element<Timer>(L"Timer_Blink", 0).set_enabled(false);
        add<ComboBox>(L"Combo1");
    }

private:
    static inline float f120 = 120, f300 = 300, f1500 = 1500, f1800 = 1800, f2000 = 2000;
};

std::wstring class_of(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

long error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

IDispatch* disp(Object& o) { return static_cast<IDispatch*>(&o); }

class FormsTest : public testing::Test {
protected:
    void SetUp() override { form = make<ClientForm>(); }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    ComPtr<ClientForm> form;
};

TEST_F(FormsTest, WindowClassesAndWindowlessLabel) {
    form->load();
    EXPECT_EQ(class_of(form->hwnd()), L"ThunderRT6FormDC");
    EXPECT_EQ(class_of(form->get<ListBox>(L"List1").hwnd()), L"ThunderRT6ListBox");
    EXPECT_EQ(class_of(form->get<TextBox>(L"Text1").hwnd()), L"ThunderRT6TextBox");
    EXPECT_EQ(class_of(form->get<ComboBox>(L"Combo1").hwnd()), L"ThunderRT6ComboBox");
    EXPECT_EQ(class_of(form->get<PictureBox>(L"Picture1").hwnd()), L"ThunderRT6PictureBoxDC");
    EXPECT_EQ(GetParent(form->get<ListBox>(L"List1").hwnd()), form->hwnd());

    // A label has no window: asking for one is error 438, through the helper and through IDispatch.
    IDispatch* label = disp(form->get<Label>(L"Label1"));
    EXPECT_EQ(error_of([&] { late::get(label, L"hWnd"); }), 438);
    EXPECT_FALSE(late::has_member(label, L"hwnd"));
    LPOLESTR name = const_cast<LPOLESTR>(L"HWND");
    DISPID id;
    EXPECT_EQ(label->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(CStr(*late::get(label, L"caption").get()), L"Name:");

    // Late-bound handles are the real windows, names answer in any case.
    IDispatch* f = disp(*form.get());
    EXPECT_EQ(CLng(*late::get(f, L"HWND").get()), static_cast<long>(reinterpret_cast<LONG_PTR>(form->hwnd())));
    ComPtr<IDispatch> list = late::object(*late::get(f, L"list1").get());
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(*late::get(list.get(), L"hWnd").get()))),
              form->get<ListBox>(L"List1").hwnd());
}

TEST_F(FormsTest, ListBoxFromCppAndLateBound) {
    form->load();
    auto& list = form->get<ListBox>(L"List1");
    list.add_item(L"Beta");
    list.add_item(L"Alpha");
    list.add_item(L"Gamma", 1);
    EXPECT_EQ(list.new_index(), 1);
    list.set_item_data(1, 77);

    IDispatch* lb = disp(list);
    EXPECT_EQ(CLng(*late::get(lb, L"ListCount").get()), 3);
    EXPECT_EQ(CStr(*late::get(lb, L"List", {Variant(1L)}).get()), L"Gamma");
    EXPECT_EQ(CStr(*late::get(lb, L"list", {Variant(9L)}).get()), L"");  // outside: empty, no error
    EXPECT_EQ(CLng(*late::get(lb, L"ItemData", {Variant(1L)}).get()), 77);
    late::call(lb, L"AddItem", {Variant(L"Delta")});
    EXPECT_EQ(CLng(*late::get(lb, L"NewIndex").get()), 3);
    late::put(lb, L"ListIndex", Variant(2L));
    EXPECT_EQ(list.list_index(), 2);
    EXPECT_EQ(CStr(*late::get(lb, L"Text").get()), L"Alpha");
    late::put(lb, L"List", Variant(L"Alpha2"), {Variant(2L)});
    EXPECT_EQ(list.list(2), L"Alpha2");

    // The runtime's errors: 380 for a bad ListIndex, 5 for a bad RemoveItem, 381 for ItemData.
    EXPECT_EQ(error_of([&] { late::put(lb, L"ListIndex", Variant(4L)); }), 380);
    EXPECT_EQ(error_of([&] { late::call(lb, L"RemoveItem", {Variant(4L)}); }), 5);
    EXPECT_EQ(error_of([&] { late::get(lb, L"ItemData", {Variant(-1L)}); }), 381);
    EXPECT_EQ(error_of([&] { late::call(lb, L"NoSuchMember"); }), 438);
    EXPECT_EQ(error_of([&] { late::put(lb, L"ListCount", Variant(1L)); }), 383);

    // Sorting rebuilds the box and keeps each item's data with its text.
    list.set_sorted(true);
    EXPECT_EQ(list.list(0), L"Alpha2");
    EXPECT_EQ(list.list(3), L"Gamma");
    EXPECT_EQ(list.item_data(3), 77);
    EXPECT_EQ(class_of(list.hwnd()), L"ThunderRT6ListBox");

    late::call(lb, L"Clear");
    EXPECT_EQ(list.list_count(), 0);
    EXPECT_EQ(list.new_index(), -1);

    // Type tests.
    EXPECT_TRUE(late::is_list_box(lb));
    EXPECT_FALSE(late::is_combo_box(lb));
    EXPECT_TRUE(late::is_combo_box(disp(form->get<ComboBox>(L"Combo1"))));
    EXPECT_TRUE(late::is_form(disp(*form.get())));
    EXPECT_FALSE(late::is_form(lb));
    EXPECT_EQ(late::type_name(disp(form->get<TextBox>(L"Text1"))), L"TextBox");
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lb->GetTypeInfo(0, 0, info.put()), S_OK);
    BSTR tn = nullptr;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &tn, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Bstr::attach(tn).str(), L"ListBox");
}

TEST_F(FormsTest, TextBoxAndDefaultProperties) {
    form->load();
    auto& text = form->get<TextBox>(L"Text1");
    IDispatch* f = disp(*form.get());
    late::put(f, L"Text1", Variant(L"Hallo Welt"));  // frm.Text1 = ... sets the default property
    EXPECT_EQ(text.text(), L"Hallo Welt");
    EXPECT_EQ(CStr(*late::value_of(*late::get(f, L"Text1").get()).get()), L"Hallo Welt");

    IDispatch* tb = disp(text);
    late::put(tb, L"SelStart", Variant(6L));
    late::put(tb, L"SelLength", Variant(4L));
    EXPECT_EQ(CStr(*late::get(tb, L"SelText").get()), L"Welt");
    late::put(tb, L"SelText", Variant(L"Forms"));
    EXPECT_EQ(text.text(), L"Hallo Forms");
    EXPECT_EQ(error_of([&] { late::put(tb, L"SelStart", Variant(-1L)); }), 380);

    int changes = 0;
    text.on.change = [&] { ++changes; };
    text.set_text(L"x");
    EXPECT_GE(changes, 1);
    late::put(tb, L"Locked", Variant(true));
    EXPECT_TRUE(GetWindowLongW(text.hwnd(), GWL_STYLE) & ES_READONLY);
    late::put(tb, L"PasswordChar", Variant(L"*"));
    EXPECT_EQ(SendMessageW(text.hwnd(), EM_GETPASSWORDCHAR, 0, 0), L'*');

    // Geometry in the form's scale (twips) and Tag.
    late::put(tb, L"Left", Variant(1500L));
    EXPECT_FLOAT_EQ(CSng(*late::get(tb, L"Left").get()), 1500.0f);
    RECT r;
    GetWindowRect(text.hwnd(), &r);
    MapWindowPoints(nullptr, form->hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, lroundf(1500 / twips_per_pixel_x()));
    late::put(tb, L"Tag", Variant(L"t1"));
    EXPECT_EQ(text.tag(), L"t1");

    // "With errors skipped": a member the control lacks is skipped.
    Variant v;
    EXPECT_FALSE(late::try_get(tb, L"AutoRedraw", v));
    EXPECT_TRUE(late::try_get(tb, L"Visible", v));
}

TEST_F(FormsTest, PictureBoxDrawingReadsBack) {
    form->load();
    auto& pic = form->get<PictureBox>(L"Picture1");
    IDispatch* pb = disp(pic);
    EXPECT_EQ(CLng(*late::get(pb, L"ScaleMode").get()), 3);
    EXPECT_NEAR(CSng(*late::get(pb, L"ScaleWidth").get()), 1500 / twips_per_pixel_x(), 1.0);

    pic.surface()->line(2, 3, 10, 8, 0x0000FF, true, true);  // BF, red
    pic.surface()->pset(20, 20, 0x00FF00);
    HDC dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(CLng(*late::get(pb, L"hDC").get())));
    EXPECT_EQ(GetPixel(dc, 2, 3), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 10, 8), RGB(255, 0, 0));  // BF includes the end point
    EXPECT_NE(GetPixel(dc, 11, 9), RGB(255, 0, 0));
    EXPECT_EQ(CLng(*late::get(pb, L"Point", {Variant(20L), Variant(20L)}).get()), 0x00FF00);

    // Print advances CurrentY by a line and returns CurrentX to 0.
    late::put(pb, L"CurrentX", Variant(5L));
    late::put(pb, L"CurrentY", Variant(0L));
    late::call(pb, L"Print", {Variant(L"Hi")});
    EXPECT_FLOAT_EQ(CSng(*late::get(pb, L"CurrentX").get()), 0.0f);
    EXPECT_NEAR(CSng(*late::get(pb, L"CurrentY").get()), CSng(*late::get(pb, L"TextHeight", {Variant(L"Hi")}).get()),
                0.01);
    EXPECT_GT(CSng(*late::get(pb, L"TextWidth", {Variant(L"Hello")}).get()), 0.0f);

    // Image is a real StdPicture with the drawing in it; it survives a round trip through a file.
    ComPtr<IDispatch> image = late::object(*late::get(pb, L"Image").get());
    ComPtr<IPictureDisp> pd = image.query<IPictureDisp>();
    ASSERT_TRUE(pd);
    std::wstring file = qmtest::scratch() + L"forms_pic.bmp";
    save_picture(pd.get(), file);
    ComPtr<IPictureDisp> loaded = load_picture(file);
    SIZE s = picture_pixels(loaded.get());
    EXPECT_EQ(s.cx, pic.pixel_rect().right - pic.pixel_rect().left);

    // A fresh box shows the loaded picture after Cls, and PaintPicture copies with a raster operation.
    pic.surface()->cls();
    EXPECT_EQ(GetPixel(dc, 5, 5), rgb_of(pic.back_color()));
    pic.set_picture(loaded.get());
    pic.surface()->cls();
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
    late::put_ref(pb, L"Picture", nullptr);
    pic.surface()->cls();
    float w = 4, h = 4;
    pic.surface()->paint_picture(loaded.get(), 30, 30, &w, &h, 2, 3, &w, &h, SRCCOPY);
    EXPECT_EQ(GetPixel(dc, 30, 30), RGB(255, 0, 0));
    EXPECT_EQ(error_of([&] { load_picture(qmtest::scratch() + L"missing.bmp"); }), 53);
}

// Sizes beyond what the system draws, or images beyond what the engine holds,
// are refused before the system sees them, and the box stays as it was.
TEST_F(FormsTest, SizesBeyondTheSystemsAreRefusedAndLeaveTheBoxAsItWas) {
    form->load();
    auto& pic = form->get<PictureBox>(L"Picture1");  // AutoRedraw, 100 x 100 pixels
    IDispatch* pb = disp(pic);
    const RECT was = pic.pixel_rect();
    const float big = 20000 * twips_per_pixel_x();  // a window may be that wide, an image not that large
    const struct {
        const wchar_t* what;
        std::function<void()> change;
        long error;
    } cases[] = {
        {L"Width 10^8", [&] { late::put(pb, L"Width", Variant(1e8)); }, 380},
        {L"Height 2^31 - 1", [&] { late::put(pb, L"Height", Variant(2147483647L)); }, 380},
        {L"Left -10^9", [&] { late::put(pb, L"Left", Variant(-1e9)); }, 380},
        {L"Top 10^7", [&] { late::put(pb, L"Top", Variant(1e7)); }, 380},
        {L"Move to 10^6 wide", [&] { late::call(pb, L"Move", {Variant(0L), Variant(0L), Variant(1e6), Variant(10L)}); },
         380},
        {L"AutoRedraw image of 20,000 squared", [&] { pic.move(0, nullptr, &big, &big); }, 480},
        {L"AutoSize to a picture 40,000 wide", [&] {
             BITMAPINFO bi{};
             bi.bmiHeader = {sizeof(bi.bmiHeader), 40000, 1, 1, 32, BI_RGB};
             void* bits = nullptr;
             ComPtr<IPictureDisp> wide = picture_from_bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
             pic.set_auto_size(true);
             pic.set_picture(wide.get());
         }, 380},
        {L"PaintPicture 10^12 pixels away",
         [&] { pic.surface()->paint_picture(form->get<PictureBox>(L"Picture1").surface()->image().get(), 1e12f, 0, nullptr, nullptr); },
         6},
        {L"Form Width 10^8", [&] { late::put(disp(*form.get()), L"Width", Variant(1e8)); }, 380},
    };
    const float form_width = form->width();
    for (const auto& c : cases) {
        EXPECT_EQ(error_of(c.change), c.error) << c.what;
        const RECT now = pic.pixel_rect();
        EXPECT_TRUE(EqualRect(&now, &was)) << c.what;
        EXPECT_TRUE(pic.surface()->auto_redraw()) << c.what;
        EXPECT_FALSE(pic.surface()->picture()) << c.what;
        EXPECT_EQ(form->width(), form_width) << c.what;
    }
    pic.set_auto_size(false);

    // A window that large without AutoRedraw: no image until one is asked for.
    pic.surface()->set_auto_redraw(false);
    pic.move(0, nullptr, &big, &big);
    EXPECT_EQ(error_of([&] { pic.surface()->set_auto_redraw(true); }), 480);
    EXPECT_FALSE(pic.surface()->auto_redraw());
    EXPECT_EQ(error_of([&] { pic.surface()->image(); }), 480);
    EXPECT_EQ(error_of([&] { pic.surface()->cls(); }), 0);
}

// A form has no value: converting it to a text or a number is refused at once
// (it once handed itself back, and the conversion asked it again, for ever).
TEST_F(FormsTest, AFormHasNoValueToConvert) {
    const Variant f(disp(*form.get()));
    EXPECT_NE(error_of([&] { CStr(*f.get()); }), 0);
    EXPECT_NE(error_of([&] { CLng(*f.get()); }), 0);
}

TEST_F(FormsTest, TimerIntervalLimitsAndControlArrays) {
    form->load();
    IDispatch* t = disp(form->get<Timer>(L"Timer1"));
    late::put(t, L"Interval", Variant(65535L));
    EXPECT_EQ(error_of([&] { late::put(t, L"Interval", Variant(65536L)); }), 380);
    EXPECT_EQ(error_of([&] { late::put(t, L"Interval", Variant(-1L)); }), 380);
    EXPECT_EQ(CLng(*late::get(t, L"Interval").get()), 65535);

    Control& second = form->load_element(L"Timer_Blink", 1);
    EXPECT_EQ(second.index(), 1);
    IDispatch* f = disp(*form.get());
    ComPtr<IDispatch> element = late::object(*late::get(f, L"Timer_Blink", {Variant(1L)}).get());
    EXPECT_EQ(element.get(), disp(second));
    EXPECT_EQ(CLng(*late::get(element.get(), L"Index").get()), 1);
    ComPtr<IDispatch> array = late::object(*late::get(f, L"Timer_Blink").get());
    EXPECT_EQ(CLng(*late::get(array.get(), L"UBound").get()), 1);
    EXPECT_EQ(error_of([&] { late::get(f, L"Timer_Blink", {Variant(5L)}); }), 340);
    EXPECT_EQ(error_of([&] { form->load_element(L"Timer_Blink", 1); }), 360);
    EXPECT_EQ(error_of([&] { form->unload_element(L"Timer_Blink", 0); }), 362);
    form->unload_element(L"Timer_Blink", 1);
    EXPECT_EQ(form->control(L"Timer_Blink", 1), nullptr);
    EXPECT_EQ(error_of([&] { late::get(disp(form->get<ListBox>(L"List1")), L"Index"); }), 343);
}

TEST_F(FormsTest, TimersTickInsideAMessageBox) {
    form->load();
    auto& timer = form->get<Timer>(L"Timer1");
    int ticks = 0;
    timer.on.timer = [&] {
        ++ticks;
        if (ticks == 3) {  // closes the box from inside its own modal loop
            HWND box = FindWindowW(L"#32770", L"FormsTimerBox");
            if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
            else ticks = 2;  // not shown yet: try again on the next tick
        }
    };
    timer.set_interval(30);
    timer.set_enabled(true);
    long r = msg_box(L"Timers run while this box is open", 0, L"FormsTimerBox");
    timer.set_enabled(false);
    EXPECT_EQ(r, IDOK);
    EXPECT_GE(ticks, 3);
}

TEST_F(FormsTest, UnloadFromInsideItsOwnEventIsSafe) {
    form->load();
    ComPtr<Timer> timer(&form->get<Timer>(L"Timer1"));
    ComPtr<ListBox> list(&form->get<ListBox>(L"List1"));
    list->add_item(L"kept");
    bool unloaded = false;
    timer->on.timer = [&] {
        unloaded = form->unload();
        do_events();  // more messages while the form is gone
    };
    form->on.unload = [&](int&) { EXPECT_TRUE(form->loaded()); };
    timer->set_interval(10);
    timer->set_enabled(true);
    for (int i = 0; i < 500 && form->loaded(); ++i) {
        Sleep(5);
        do_events();
    }
    EXPECT_TRUE(unloaded);
    EXPECT_FALSE(form->loaded());
    EXPECT_EQ(form->controls().size(), 0u);
    // The detached control still answers; its form is gone.
    EXPECT_EQ(list->list(0), L"kept");
    EXPECT_EQ(error_of([&] { late::get(disp(*list.get()), L"Parent"); }), 91);
    EXPECT_EQ(forms_collection().find(L"frmClient", FormsCollection::ByName), nullptr);
}

TEST_F(FormsTest, FormsLoadOnFirstTouchAndTheFormsCollection) {
    EXPECT_FALSE(form->loaded());
    long before = forms_collection().count();
    IDispatch* f = disp(*form.get());
    EXPECT_EQ(CStr(*late::get(f, L"Caption").get()), L"Client");  // the touch loads it
    EXPECT_TRUE(form->loaded());
    EXPECT_EQ(form->loads, 1);
    EXPECT_FALSE(form->visible());
    EXPECT_EQ(forms_collection().count(), before + 1);
    late::put(f, L"Tag", Variant(L"ScrollCaption"));
    EXPECT_EQ(forms_collection().find(L"ScrollCaption", FormsCollection::ByTag), form.get());
    EXPECT_EQ(forms_collection().find(L"Client", FormsCollection::ByCaption), form.get());

    // Form geometry in twips; QueryUnload can cancel.
    late::put(f, L"Width", Variant(4500L));
    EXPECT_NEAR(CSng(*late::get(f, L"Width").get()), 4500, twips_per_pixel_x());
    form->on.query_unload = [](int& cancel, int) { cancel = 1; };
    EXPECT_FALSE(form->unload());
    EXPECT_TRUE(form->loaded());
    form->on.query_unload = nullptr;
    form->get<ListBox>(L"List1").add_item(L"old");
    EXPECT_TRUE(form->unload());
    EXPECT_EQ(forms_collection().count(), before);

    // The next touch loads a fresh form (design again, empty list).
    ComPtr<IDispatch> list = late::object(*late::get(f, L"List1").get());
    EXPECT_EQ(form->loads, 2);
    EXPECT_EQ(CLng(*late::get(list.get(), L"ListCount").get()), 0);

    // For Each over Forms and over the form's Controls.
    ComPtr<IDispatch> controls = late::object(*late::get(f, L"Controls").get());
    EXPECT_EQ(CLng(*late::get(controls.get(), L"Count").get()), static_cast<long>(form->controls().size()));
}

TEST(FormsGlobals, ColoursClipboardAndInputBox) {
    EXPECT_EQ(qb_color(12), 0x0000FF);
    EXPECT_EQ(error_of([] { qb_color(16); }), 5);
    EXPECT_EQ(rgb_color(1, 2, 300), 0xFF0201);
    EXPECT_EQ(error_of([] { rgb_color(-1, 0, 0); }), 5);

    clipboard_set_text(L"Grüße");
    EXPECT_TRUE(clipboard_get_format(cfText));
    EXPECT_EQ(clipboard_get_text(), L"Grüße");
    clipboard_clear();
    EXPECT_FALSE(clipboard_get_format(cfText));

    // The input box: a #32770 dialog whose edit field is 4900; OK gives the text, Cancel nothing.
    ComPtr<ClientForm> host = make<ClientForm>();
    host->load();
    auto& timer = host->get<Timer>(L"Timer1");
    int command = IDOK;
    timer.on.timer = [&] {
        HWND box = FindWindowW(L"#32770", L"FormsInput");
        if (!box) return;
        HWND edit = GetDlgItem(box, kInputBoxEditId);
        EXPECT_EQ(class_of(edit), L"Edit");
        SetWindowTextW(edit, L"4711");
        PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(command), 0);
    };
    timer.set_interval(30);
    timer.set_enabled(true);
    auto text = input_box(L"Zahl?", L"FormsInput", L"1");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, L"4711");
    command = IDCANCEL;
    EXPECT_FALSE(input_box(L"Zahl?", L"FormsInput").has_value());
    host->unload();
    EXPECT_GT(screen_width(), 0.0f);
    EXPECT_EQ(error_of([] { shell(L"Z:\\does\\not\\exist.exe"); }), 53);
    EXPECT_EQ(error_of([] { shell(L"Z:\\does\\not\\exist.exe", 5); }), 5);  // no such window style
    EXPECT_EQ(error_of([] { shell(L"  "); }), 5);
}

}  // namespace
