// Controls: text-box filters, clipboard file lists, button groups, text measuring
// and placement, on a form of the forms engine, through the registered class.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "message_boxes.h"
#include "runtime/ansi.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;

namespace {

class ControlsForm : public Form {
protected:
    void design() override {
        add<TextBox>(L"Text1");
        add<Label>(L"Label1").set_caption(L"Label text");
        for (long i = 1; i <= 3; ++i) {
            add_element<Button>(L"chk", i, Button::Check);
            add_element<Button>(L"opt", i, Button::Option);
        }
        add<Button>(L"Command1", Button::Command).set_caption(L"Press me");
        add<ProgressBar>(L"Progress1");
        StatusBar& bar = add<StatusBar>(L"Status1");
        bar.add_panel(-1, L"p2", L"two");
        bar.add_panel(-1, L"p3", L"three");
    }
};

const std::wstring kCrLf = L"\r\n";

long lng(const Variant& v) { return CLng(*v.get()); }
HWND hwnd_of(IDispatch* d) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(lng(late::get(d, L"hWnd")))); }
RECT rect_in_parent(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class ControlsTest : public testing::Test {
protected:
    void SetUp() override {
        ComPtr<IDispatch> disp = qmtest::create(L"Quillmark.Controls");
        ASSERT_TRUE(disp);
        ctl = disp.query<_Controls>();
        ASSERT_TRUE(ctl);
        form = make<ControlsForm>();
        form->show();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    IDispatch* get(const wchar_t* name, long index = -1) { return form->control(name, index); }
    ComPtr<IDispatch> group(const wchar_t* name) { return late::object(late::get(form.get(), name)); }
    void set_text(const std::wstring& t) { late::put(text_box(), L"Text", Variant(t)); }
    std::wstring text() { return CStr(late::get(text_box(), L"Text")); }
    IDispatch* text_box() { return get(L"Text1"); }
    long num(KEYEVENT e, short& key, long digits, bool help = true, bool tip = true) {
        IDispatch* box = text_box();
        long r = -1;
        EXPECT_EQ(ctl->TextBox_AllowNumOnly(&box, &e, digits, &key, help ? VARIANT_TRUE : VARIANT_FALSE,
                                            tip ? VARIANT_TRUE : VARIANT_FALSE, &r),
                  S_OK);
        return r;
    }
    long alpha(KEYEVENT e, short& key, bool lower, bool upper, bool space, const wchar_t* extra = L"") {
        IDispatch* box = text_box();
        long r = -1;
        EXPECT_EQ(ctl->TextBox_AllowAlphaOnly(&box, e, &key, lower ? VARIANT_TRUE : VARIANT_FALSE,
                                              upper ? VARIANT_TRUE : VARIANT_FALSE,
                                              space ? VARIANT_TRUE : VARIANT_FALSE, Bstr(extra).get(), VARIANT_TRUE,
                                              VARIANT_TRUE, &r),
                  S_OK);
        return r;
    }
    ComPtr<_Controls> ctl;
    ComPtr<ControlsForm> form;
    qmtest::ErrorLog errors;
};

}  // namespace

TEST_F(ControlsTest, NumericFilterChangeStep) {
    struct Case {
        const wchar_t* in;
        long digits;
        const wchar_t* out;
    } cases[] = {
        {L"12a,5,6", 1, L"12,5"}, {L",,3", 1, L"3"},     {L"1,5", 0, L"15"},   {L"1,234", 2, L"1,23"},
        {L"x", 2, L""},           {L"7,", 2, L"7,"},     {L"\u0661\u00bd9", 0, L"9"},
    };
    int changes = 0;
    form->get<TextBox>(L"Text1").on.change = [&] { ++changes; };
    short key = 0;
    for (const Case& c : cases) {
        set_text(c.in);
        changes = 0;
        EXPECT_EQ(num(kyCHANGE, key, c.digits), 0);
        EXPECT_EQ(text(), c.out) << c.in;
        EXPECT_EQ(changes, std::wstring(c.in) == c.out ? 0 : 1) << c.in;
    }
    // A clean text is not written again: no Change event.
    set_text(L"12,5");
    changes = 0;
    EXPECT_EQ(num(kyCHANGE, key, 1), 0);
    EXPECT_EQ(changes, 0);
}

TEST_F(ControlsTest, AlphaFilterChangeStepPutsTheCaretAtTheEnd) {
    short key = 0;
    set_text(L"abC d");
    EXPECT_EQ(alpha(kyCHANGE, key, true, false, true), 0);
    EXPECT_EQ(text(), L"ab d");
    EXPECT_EQ(lng(late::get(text_box(), L"SelStart")), 4);
    EXPECT_EQ(lng(late::get(text_box(), L"SelLength")), 0);
    set_text(L"\u00e4\u00d6\u00fc-1 x");
    EXPECT_EQ(alpha(kyCHANGE, key, true, true, false, L"-"), 0);
    EXPECT_EQ(text(), L"\u00e4\u00d6\u00fc-x");
    // The key of an umlaut in the code page's character codes.
    key = static_cast<short>(static_cast<unsigned char>(to_ansi(L"\u00c4")[0]));
    const short umlaut = key;
    EXPECT_EQ(alpha(kyKEYDOWN, key, false, true, false), 0);
    EXPECT_EQ(key, umlaut);
    key = 'A';  // letter keys are upper case: refused without UAlpha
    EXPECT_EQ(alpha(kyKEYDOWN, key, true, false, false), 0);
    EXPECT_EQ(key, 0);
}

TEST_F(ControlsTest, KeyDownStep) {
    struct Case {
        const wchar_t* text;
        short key;
        long digits;
        short after;
    } cases[] = {
        {L"12", '5', 0, '5'},  {L"12", 'A', 2, 0},   {L"12", 188, 2, 0},  {L"", 44, 2, 0},   {L"1,", 44, 2, 0},
        {L"1", 44, 2, 44},     {L"1", 44, 0, 0},     {L"12", 46, 0, 46},  {L"12", 37, 0, 37}, {L"12", 112, 0, 0},
    };
    for (const Case& c : cases) {
        set_text(c.text);
        short key = c.key;
        // F1 without help is just another key ("p").
        EXPECT_EQ(num(kyKEYDOWN, key, c.digits, c.key != 112), 0);
        EXPECT_EQ(key, c.after) << c.text << " " << c.key;
        EXPECT_EQ(text(), c.text);
    }
    set_text(L"123");
    short escape = 27;
    EXPECT_EQ(num(kyKEYDOWN, escape, 0), 0);
    EXPECT_EQ(text(), L"");
    EXPECT_EQ(escape, 27);
}

TEST_F(ControlsTest, ToolTipsAndHelpBoxes) {
    short key = 0;
    auto tip = [&] { return CStr(late::get(text_box(), L"ToolTipText")); };
    num(kyCHANGE, key, 0, true);
    EXPECT_EQ(tip(), L"In diesem Eingabefeld sind nur Zahlen erlaubt (F1 f\u00fcr Hilfe)");
    num(kyCHANGE, key, 0, false);
    EXPECT_EQ(tip(), L"In diesem Eingabefeld sind nur Zahlen erlaubt");
    alpha(kyCHANGE, key, true, true, true);
    EXPECT_EQ(tip(), L"In diesem Eingabefeld sind nur Alphanumerische Eingaben zul\u00e4ssig. (F1 f\u00fcr Hilfe)");
    late::put(text_box(), L"ToolTipText", Variant(L"mine"));
    num(kyCHANGE, key, 0, true, false);
    EXPECT_EQ(tip(), L"mine");

    std::vector<qmtest::BoxInfo> seen;
    qmtest::BoxWatcher watch([&](const qmtest::BoxInfo& b) {
        seen.push_back(b);
        qmtest::close_box(b.hwnd);
    });
    const std::wstring head = L"In diesem Eingabefeld sind nur Zahlen zul\u00e4ssig." + kCrLf + kCrLf +
                              L"Folgende Zeichen sind erlaubt:" + kCrLf + kCrLf + L"1234567890";
    const std::wstring tail = kCrLf + kCrLf + L"ESC l\u00f6scht das Eingabefeld." + kCrLf;
    for (long digits : {0L, 2L}) {
        key = 112;
        seen.clear();
        EXPECT_EQ(num(kyKEYDOWN, key, digits), 0);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, L"Eingabefeld Hilfe");
        EXPECT_EQ(seen[0].text, head + (digits ? L" sowie ein \",\" und 2 Ziffern nach dem \",\"." : L"") + tail);
    }
    key = 112;
    seen.clear();
    EXPECT_EQ(alpha(kyKEYDOWN, key, false, true, true, L"#"), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"In diesem Eingabefeld sind nur Alphanumerische Eingaben zul\u00e4ssig." + kCrLf + kCrLf +
                                L"Folgende Zeichen sind erlaubt:" + kCrLf + kCrLf +
                                L"ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00c4\u00d6\u00dc #" + kCrLf + L"Sowie Freizeichen" +
                                kCrLf + kCrLf + L"ESC l\u00f6scht das Eingabefeld." + kCrLf);
    EXPECT_EQ(watch.close_all(), 0);
}

TEST_F(ControlsTest, SelectText) {
    IDispatch* box = text_box();
    set_text(L"one two three");
    struct Case {
        const wchar_t* find;
        bool word, all;
        long start, length;
    } cases[] = {
        {L"two", true, false, 3, 5}, {L"three", true, false, 0, 0}, {L"thr", false, false, 8, 3},
        {L"Two", false, false, 0, 0}, {L"x", true, true, 0, 13},
    };
    for (const Case& c : cases) {
        long r = -1;
        EXPECT_EQ(ctl->TextBox_SelectText(&box, Bstr(c.find).get(), c.word ? VARIANT_TRUE : VARIANT_FALSE,
                                          c.all ? VARIANT_TRUE : VARIANT_FALSE, &r),
                  S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(lng(late::get(box, L"SelStart")), c.start) << c.find;
        EXPECT_EQ(lng(late::get(box, L"SelLength")), c.length) << c.find;
    }
    IDispatch* label = get(L"Label1");
    long r = 0;
    ctl->TextBox_SelectText(&label, Bstr(L"x").get(), VARIANT_TRUE, VARIANT_FALSE, &r);
    EXPECT_EQ(r, 438);
    EXPECT_TRUE(errors.has("TextBox_SelectText", 438));
}

namespace {

std::string clipboard_bytes(UINT format) {
    std::string bytes;
    if (!OpenClipboard(nullptr)) return "<closed>";
    if (HGLOBAL h = GetClipboardData(format)) {
        const char* p = static_cast<const char*>(GlobalLock(h));
        bytes.assign(p, GlobalSize(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return bytes;
}

std::vector<std::wstring> files_of(_Controls* ctl, long& lower) {
    Variant v;
    EXPECT_EQ(ctl->Clipboard_GetFiles(v.put()), S_OK);
    SAFEARRAY* sa = array_of(*v.get());
    EXPECT_TRUE(sa);
    if (!sa) return {};
    EXPECT_EQ(array_type(*v.get()), VT_BSTR);
    SafeArrayGetLBound(sa, 1, &lower);
    return texts_of(sa);
}

void put_wide_list(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const auto& n : names) list += n + L'\0';
    list += L'\0';
    const size_t size = 20 + list.size() * sizeof(wchar_t);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* p = static_cast<char*>(GlobalLock(h));
    const DWORD header[5] = {20, 0, 0, 0, 1};
    std::memcpy(p, header, 20);
    std::memcpy(p + 20, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(h);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, h);
    CloseClipboard();
}

}  // namespace

TEST_F(ControlsTest, ClipboardFileLists) {
    Variant paths = string_array({L"C:\\a.txt", L"C:\\b.txt"}).to_variant();
    long r = -1;
    ASSERT_EQ(ctl->Clipboard_SetPathList(paths.get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    const std::string block = clipboard_bytes(CF_HDROP);
    const std::wstring list(L"C:\\a.txt\0C:\\b.txt\0\0", 19);
    ASSERT_GE(block.size(), 20 + 2 * list.size());  // the names in their wide form
    EXPECT_EQ(block.substr(0, 20), std::string("\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\1\0\0\0", 20));
    EXPECT_EQ(block.substr(20, 2 * list.size()), std::string(reinterpret_cast<const char*>(list.data()), 2 * list.size()));
    const std::string effect = clipboard_bytes(RegisterClipboardFormatW(L"Preferred DropEffect"));
    ASSERT_GE(effect.size(), 4u);
    EXPECT_EQ(effect.substr(0, 4), std::string("\x05\0\0\0", 4));
    long lower = -1;
    EXPECT_EQ(files_of(ctl.get(), lower), (std::vector<std::wstring>{L"C:\\a.txt", L"C:\\b.txt"}));
    EXPECT_EQ(lower, 0);

    // Bad input leaves the list on the clipboard.
    Variant empty;
    ctl->Clipboard_SetPathList(empty.get(), &r);
    EXPECT_EQ(r, 13);
    Variant undimensioned = SafeArray(VT_BSTR).to_variant();
    ctl->Clipboard_SetPathList(undimensioned.get(), &r);
    EXPECT_EQ(r, 9);
    EXPECT_EQ(files_of(ctl.get(), lower).size(), 2u);

    // Names the code page holds only as look-alikes reach the list as written.
    std::vector<std::wstring> hostile;
    for (const qmtest::HostileChar& c : qmtest::kHostileChars) hostile.push_back(L"C:\\k" + std::wstring(c.text) + L".txt");
    Variant odd = string_array(hostile).to_variant();
    ASSERT_EQ(ctl->Clipboard_SetPathList(odd.get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(files_of(ctl.get(), lower), hostile);

    // A list as the shell writes it: wide, names longer than MAX_PATH, any character.
    const std::wstring long_name = L"C:\\" + std::wstring(296, L'x') + L".t";
    put_wide_list({long_name, L"C:\\\u03a9mega.txt"});
    EXPECT_EQ(files_of(ctl.get(), lower), (std::vector<std::wstring>{long_name, L"C:\\\u03a9mega.txt"}));

    clipboard_set_text(L"just text");
    EXPECT_TRUE(files_of(ctl.get(), lower).empty());
    EXPECT_EQ(lower, 0);
}

TEST_F(ControlsTest, ClipboardHeldByAnotherThreadIsAFailure) {
    clipboard_set_text(L"kept");
    std::atomic<int> stage = 0;
    std::thread holder([&] {
        HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (OpenClipboard(owner)) {
            stage = 1;
            while (stage != 2) Sleep(5);
            CloseClipboard();
        } else {
            stage = -1;
        }
        DestroyWindow(owner);
    });
    while (stage == 0) Sleep(5);
    ASSERT_EQ(stage, 1);
    Variant paths = string_array({L"C:\\a.txt"}).to_variant();
    long r = 0;
    ctl->Clipboard_SetPathList(paths.get(), &r);
    stage = 2;
    holder.join();
    EXPECT_EQ(r, 521);
    EXPECT_TRUE(errors.has("Clipboard_SetPathList", 521));
    EXPECT_EQ(clipboard_get_text(), L"kept");
}

TEST_F(ControlsTest, CheckBoxAndOptionButtonGroups) {
    ComPtr<IDispatch> chk = group(L"chk"), opt = group(L"opt");
    IDispatch* c = chk.get();
    IDispatch* o = opt.get();
    long e = -1;
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(ctl->CheckBox_GetSelected(&c, &e, &sa), S_OK);
    SafeArray none = SafeArray::attach(sa, VT_I4);
    EXPECT_EQ(none.lbound(), 0);
    EXPECT_EQ(none.ubound(), -1);

    form->get<Button>(L"chk", 2).set_value(1);
    form->get<Button>(L"chk", 3).set_value(2);  // greyed
    ctl->CheckBox_GetStatus(&c, &e, &sa);
    SafeArray status = SafeArray::attach(sa, VT_I4);
    EXPECT_EQ(status.lbound(), 1);
    EXPECT_EQ(status.ubound(), 3);
    EXPECT_EQ(status.at<long>(1) * 100 + status.at<long>(2) * 10 + status.at<long>(3), 11);
    ctl->CheckBox_GetSelected(&c, &e, &sa);
    EXPECT_EQ(texts_of(sa), (std::vector<std::wstring>{L"2", L"3"}));
    SafeArrayDestroy(sa);

    long r = -1;
    // Element 1 unchecked: nothing changes; element 2 checked: the others clear.
    EXPECT_EQ((ctl->CheckBox_AsOptionButton(&c, 1, &r), r), 0);
    EXPECT_EQ(form->get<Button>(L"chk", 3).value(), 2);
    EXPECT_EQ((ctl->CheckBox_AsOptionButton(&c, 2, &r), r), 0);
    EXPECT_EQ(form->get<Button>(L"chk", 2).value(), 1);
    EXPECT_EQ(form->get<Button>(L"chk", 3).value(), 0);
    EXPECT_EQ((ctl->CheckBox_AsOptionButton(&c, 7, &r), r), 340);

    EXPECT_EQ((ctl->OptionButton_GetIndex(&o, &e, &r), r), 0);
    form->get<Button>(L"opt", 2).set_value(-1);
    EXPECT_EQ((ctl->OptionButton_GetIndex(&o, &e, &r), r), 2);
    EXPECT_EQ(e, 0);
    IDispatch* single = get(L"Command1");
    EXPECT_EQ((ctl->OptionButton_GetIndex(&single, &e, &r), r), -2);
    EXPECT_EQ(e, 438);
    ctl->CheckBox_GetStatus(&single, &e, &sa);
    EXPECT_EQ(e, 438);
    EXPECT_EQ(sa, nullptr);
    EXPECT_TRUE(errors.has("CheckBox_GetStatus", 438));
}

TEST_F(ControlsTest, StylesFramesAndClicks) {
    IDispatch* box = get(L"chk", 1);
    HWND h = hwnd_of(box);
    long r = -1;
    STYLE grafic = crGRAFICSTYLE;
    EXPECT_EQ((ctl->CheckBox_SetStyle(&box, &grafic, &r), r), 0);
    EXPECT_TRUE(GetWindowLongW(h, GWL_STYLE) & BS_PUSHLIKE);
    IDispatch* option = get(L"opt", 1);
    EXPECT_EQ((ctl->OptionButton_SetStyle(&option, crGRAFICSTYLE, &r), r), 0);
    EXPECT_TRUE(GetWindowLongW(hwnd_of(option), GWL_STYLE) & BS_PUSHLIKE);
    STYLE standard = crSTANDARDSTYLE;
    ctl->CheckBox_SetStyle(&box, &standard, &r);
    EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & BS_PUSHLIKE);

    IDispatch* text = text_box();
    EXPECT_EQ((ctl->Control_AllowResize(&text, VARIANT_TRUE, &r), r), 0);
    EXPECT_FALSE(GetWindowLongW(hwnd_of(text), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ((ctl->Control_AllowResize(&text, VARIANT_FALSE, &r), r), 0);
    EXPECT_TRUE(GetWindowLongW(hwnd_of(text), GWL_STYLE) & WS_THICKFRAME);
    IDispatch* label = get(L"Label1");
    EXPECT_EQ((ctl->Control_AllowResize(&label, VARIANT_FALSE, &r), r), 438);
    EXPECT_TRUE(errors.has("TextBox_AllowResize", 438));

    int clicks = 0;
    form->get<Button>(L"Command1").on.click = [&] { ++clicks; };
    IDispatch* command = get(L"Command1");
    EXPECT_EQ((ctl->Control_Click(&command, &r), r), 0);
    do_events();
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, ProgressBarColours) {
    HWND h = hwnd_of(get(L"Progress1"));
    EXPECT_EQ(ctl->ProgressBar_SetColor(static_cast<long>(reinterpret_cast<LONG_PTR>(h)), RGB(255, 0, 0),
                                        RGB(0, 0, 255)),
              S_OK);
    // The bar keeps them (a themed bar draws in the theme's colours all the same).
    EXPECT_EQ(SendMessageW(h, PBM_GETBARCOLOR, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(SendMessageW(h, PBM_GETBKCOLOR, 0, 0), RGB(0, 0, 255));
}

TEST_F(ControlsTest, TextSizes) {
    IDispatch* command = get(L"Command1");
    HWND h = hwnd_of(command);
    auto measure = [&](const std::wstring& s) {
        HDC dc = GetDC(h);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(h, dc);
        return size;
    };
    long e = -1;
    CONTROLDIMENSIONS d{};
    for (const std::wstring& s : {std::wstring(), std::wstring(L"Press me"), std::wstring(300, L'W')}) {
        SetWindowTextW(h, s.c_str());
        ASSERT_EQ(ctl->Control_GetTextSize(&command, &e, &d), S_OK);
        const SIZE want = s.empty() ? SIZE{0, 0} : measure(s);
        EXPECT_EQ(d.Width, want.cx) << s.size();
        EXPECT_EQ(d.Height, want.cy) << s.size();
    }

    // Sized in pixels, the form's scale kept.
    SetWindowTextW(h, L"Press me");
    late::put(form.get(), L"ScaleMode", Variant(1L));
    long r = -1;
    EXPECT_EQ((ctl->Control_AutoSizeByText(&command, &r), r), 0);
    RECT rc{};
    GetWindowRect(h, &rc);
    EXPECT_EQ(rc.right - rc.left, measure(L"Press me").cx);
    EXPECT_EQ(rc.bottom - rc.top, measure(L"Press me").cy);
    EXPECT_EQ(lng(late::get(form.get(), L"ScaleMode")), 1);

    // A label: measured in its parent's font.
    IDispatch* label = get(L"Label1");
    EXPECT_EQ((ctl->Label_GetTextDimensions(&label, &d, &r), r), 0);
    HDC dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(lng(late::get(form.get(), L"hDC"))));
    RECT want{};
    DrawTextW(dc, L"Label text", -1, &want, DT_CALCRECT);
    EXPECT_EQ(d.Width, want.right);
    EXPECT_EQ(d.Height, want.bottom);
    EXPECT_GT(d.Width, 0);
}

TEST_F(ControlsTest, PlacingAndSnapshots) {
    IDispatch* sb = get(L"Status1");
    IDispatch* text = text_box();
    HWND h = hwnd_of(text);
    RECT panel{};
    ASSERT_TRUE(SendMessageW(hwnd_of(sb), SB_GETRECT, 1, reinterpret_cast<LPARAM>(&panel)));
    long r = -1;
    const long twips = lround(10 * screen_twips_per_pixel_x());
    EXPECT_EQ((ctl->Control_SetToStatusBar(static_cast<long>(reinterpret_cast<LONG_PTR>(h)), &sb, 2, twips, 0, &r), r),
              0);
    EXPECT_EQ(GetParent(h), hwnd_of(sb));
    RECT placed = rect_in_parent(h);
    EXPECT_EQ(placed.left, panel.left + 11);
    EXPECT_EQ(placed.top, panel.top + 1);
    EXPECT_EQ(placed.right, panel.right);
    EXPECT_EQ(placed.bottom, panel.bottom);
    EXPECT_EQ((ctl->Control_SetToStatusBar(0, &sb, 9, 0, 0, &r), r), 380);

    IDispatch* command = get(L"Command1");
    long e = -1;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(ctl->Control_SnapShot(&command, &e, picture.put()), S_OK);
    ASSERT_TRUE(picture);
    EXPECT_EQ(e, 0);
    OLE_HANDLE handle = 0;
    picture.query<IPicture>()->get_Handle(&handle);
    BITMAP bm{};
    GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof bm, &bm);
    RECT rc{};
    GetWindowRect(hwnd_of(command), &rc);
    EXPECT_EQ(bm.bmWidth, rc.right - rc.left);
    EXPECT_EQ(bm.bmHeight, rc.bottom - rc.top);
    IDispatch* label = get(L"Label1");
    ASSERT_EQ(ctl->Control_SnapShot(&label, &e, picture.put()), S_OK);
    EXPECT_FALSE(picture);
    EXPECT_EQ(e, 438);
    EXPECT_TRUE(errors.has("Control_SnapShot", 438));
}

// Places and sizes beyond any screen: 380 before anything changes.
TEST_F(ControlsTest, PlacesAndSizesBeyondAnyScreenChangeNothing) {
    IDispatch* sb = get(L"Status1");
    const HWND h = hwnd_of(text_box());
    const long handle = static_cast<long>(reinterpret_cast<LONG_PTR>(h));
    long r = -1;
    for (const long huge : {1000000L, 2147483647L, -2147483647L}) {
        EXPECT_EQ((ctl->Control_SetToStatusBar(handle, &sb, 2, huge, 0, &r), r), 380) << huge;
        EXPECT_EQ((ctl->Control_SetToStatusBar(handle, &sb, 2, 0, huge, &r), r), 380) << huge;
        EXPECT_EQ(GetParent(h), form->hwnd()) << huge;
    }
    // A caption wider than any window: neither side of the button changes.
    IDispatch* command = get(L"Command1");
    late::put(command, L"Caption", Variant(std::wstring(6000, L'W')));
    const RECT before = form->get<Button>(L"Command1").twips_rect();
    EXPECT_EQ((ctl->Control_AutoSizeByText(&command, &r), r), 380);
    const RECT after = form->get<Button>(L"Command1").twips_rect();
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(lng(late::get(form.get(), L"ScaleMode")), 1);
    EXPECT_TRUE(errors.has("Control_SetToStatusBar", 380));
    EXPECT_TRUE(errors.has("Control_AutoSizeByText", 380));

    // Sizes and places read from the form in twips, given to a button on a
    // scale of twips across and half the form's height down: the width and
    // left fit, the height and top do not.
    IDispatch* f = form.get();
    late::put(f, L"ScaleWidth", late::get(f, L"ScaleWidth"));
    late::put(f, L"ScaleHeight", Variant(2L));
    ControlAnimatePosition from = caRightBottom, to = caLeftTop;
    const std::function<HRESULT()> calls[] = {
        [&] { return ctl->Control_DuplicateSize(&command, &f, &r); },
        [&] { return ctl->Control_CenterOnForm(&command, &f, &r); },
        [&] { return ctl->Control_CenterOnControl(&command, &f, &r); },
        [&] { return ctl->Control_Animate(&command, &from, &to, &r); },
    };
    for (size_t i = 0; i < std::size(calls); ++i) {
        const RECT was = form->get<Button>(L"Command1").twips_rect();
        r = -1;
        EXPECT_EQ((calls[i](), r), 380) << i;
        const RECT now = form->get<Button>(L"Command1").twips_rect();
        EXPECT_TRUE(EqualRect(&was, &now)) << i;
    }
}

TEST_F(ControlsTest, Centering) {
    IDispatch* wide = get(L"Progress1");
    IDispatch* narrow = get(L"Command1");
    late::put(narrow, L"Left", Variant(2000L));
    late::put(narrow, L"Top", Variant(1000L));
    late::put(narrow, L"Width", Variant(600L));
    late::put(wide, L"Width", Variant(3000L));
    late::put(wide, L"Height", Variant(300L));
    const float narrow_height = CSng(late::get(narrow, L"Height"));
    long r = -1;
    EXPECT_EQ((ctl->Control_CenterOnControl(&wide, &narrow, &r), r), 0);
    EXPECT_FLOAT_EQ(CSng(late::get(wide, L"Left")), 2000 + 300 - 1500);
    EXPECT_FLOAT_EQ(CSng(late::get(wide, L"Top")), 1000 + narrow_height / 2 - 150);
    EXPECT_EQ(GetWindow(form->hwnd(), GW_CHILD), hwnd_of(wide));

    IDispatch* f = static_cast<IDispatch*>(form.get());
    EXPECT_EQ((ctl->Control_CenterOnForm(&narrow, &f, &r), r), 0);
    EXPECT_FLOAT_EQ(CSng(late::get(narrow, L"Left")), form->width() / 2 - 300);
    EXPECT_FLOAT_EQ(CSng(late::get(narrow, L"Top")), form->height() / 2 - narrow_height / 2);
}
