// Forms: system buttons and items, frame updates, modality, cursor and the
// stored position, on the test's own forms and windows.
#include <gtest/gtest.h>

#include <string>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"
#include "windows/forms.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qm::forms;
using namespace qmtest;
namespace late = qm::late;

namespace {

bool has_item(HWND h, UINT command) {
    return GetMenuState(GetSystemMenu(h, FALSE), command, MF_BYCOMMAND) != static_cast<UINT>(-1);
}

class FormsSystem : public testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.Forms");
        ASSERT_TRUE(disp);
        forms = disp.query<_Forms>();
        form = make<Form>();
        form->set_name(L"Haupt");
        form->show();
        pump_messages();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    long button(SystemButtons but, bool enable) {
        VARIANT_BOOL e = enable ? VARIANT_TRUE : VARIANT_FALSE;
        long r = 99;
        EXPECT_EQ(forms->Form(form.get(), &but, &e, &r), S_OK);
        return r;
    }
    LONG_PTR style(int which = GWL_STYLE) { return GetWindowLongPtrW(form->hwnd(), which); }
    ComPtr<IDispatch> disp;
    ComPtr<_Forms> forms;
    ComPtr<Form> form;
    ErrorLog errors;
};

TEST_F(FormsSystem, ButtonsSetAndClearTheirStyleBits) {
    struct Case {
        SystemButtons button;
        LONG_PTR bit;
        int which;
    } cases[] = {
        {sbMINIMIZEBOX, WS_MINIMIZEBOX, GWL_STYLE}, {sbMAXIMIZEBOX, WS_MAXIMIZEBOX, GWL_STYLE},
        {sbRESIZEABLE, WS_THICKFRAME, GWL_STYLE},   {sbBORDER, WS_CAPTION, GWL_STYLE},
        {sbCONTROLBOX, WS_SYSMENU, GWL_STYLE},      {sbSHOWINTASKBAR, WS_EX_APPWINDOW, GWL_EXSTYLE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(button(c.button, true), 0) << c.button;
        EXPECT_EQ(style(c.which) & c.bit, c.bit) << c.button;
        button(c.button, false);
        EXPECT_EQ(style(c.which) & c.bit, 0) << c.button;
        button(c.button, true);
        EXPECT_EQ(style(c.which) & c.bit, c.bit) << c.button;
    }
    // The taskbar switch leaves Visible as it was.
    EXPECT_TRUE(form->visible());
    form->hide();
    button(sbSHOWINTASKBAR, false);
    EXPECT_FALSE(form->visible());
}

TEST_F(FormsSystem, DisablingRemovesTheSystemMenuItemsEnablingRemovesNone) {
    HWND h = form->hwnd();
    // Enabling keeps every item.
    EXPECT_EQ(button(sbMINIMIZEBOX, true), 0);
    EXPECT_EQ(button(sbMAXIMIZEBOX, true), 0);
    EXPECT_EQ(button(sbMOVEABLE, true), 0);
    EXPECT_EQ(button(sbCLOSEBOX, true), 0);
    EXPECT_TRUE(has_item(h, SC_MINIMIZE) && has_item(h, SC_MAXIMIZE) && has_item(h, SC_MOVE) && has_item(h, SC_CLOSE));

    EXPECT_EQ(button(sbMAXIMIZEBOX, false), -1);
    LONG_PTR after_first = style();
    EXPECT_FALSE(has_item(h, SC_MAXIMIZE));
    EXPECT_EQ(button(sbMAXIMIZEBOX, false), 0);
    EXPECT_EQ(style(), after_first);
    EXPECT_EQ(button(sbMOVEABLE, false), -1);
    EXPECT_FALSE(has_item(h, SC_MOVE));
    EXPECT_EQ(button(sbMOVEABLE, false), 0);

    // The close item goes; a second call finds none and still answers True.
    Variant target(static_cast<long>(reinterpret_cast<LONG_PTR>(h)));
    VARIANT_BOOL r = VARIANT_FALSE;
    ASSERT_EQ(forms->CloseBox_Deaktivate(target.get(), &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    EXPECT_FALSE(has_item(h, SC_CLOSE));
    ASSERT_EQ(forms->CloseBox_Deaktivate(target.get(), &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    EXPECT_TRUE(has_item(h, SC_MINIMIZE));
}

// The popup menu the menu loop shows, read from inside the loop, which it then ends
// (at the latest at the deadline, so that a menu that never shows fails, not hangs).
struct Popup {
    HMENU menu = nullptr;
    RECT rect{};
    ULONGLONG deadline = 0;
} g_popup;

void CALLBACK read_popup(HWND, UINT, UINT_PTR, DWORD) {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (popup && IsWindowVisible(popup)) {
        g_popup.menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        GetWindowRect(popup, &g_popup.rect);
        EndMenu();
    } else if (GetTickCount64() > g_popup.deadline) {
        EndMenu();
    }
}

TEST_F(FormsSystem, DragFollowsThePointerAndTheSystemMenuOpensAtIt) {
    HWND h = form->hwnd();
    SetForegroundWindow(h);
    pump_messages();
    // The library's own copy, which reads the pointer the test pins.
    auto linked = ComPtr<_Forms>::attach(new qm::Forms());
    IDispatch* f = form.get();
    long r = -1;
    PinnedPointer pointer({313, 271});  // anywhere but a corner
    {
        // The system's caption drag, asked for from where the pointer is, the
        // mouse released first.
        CaptionDrags drags(h);
        SetCapture(h);
        ASSERT_EQ(linked->FormMove(&f, &r), S_OK);
        ReleaseCapture();
        EXPECT_EQ(r, 0);
        EXPECT_EQ(drags.fault(pointer.at()), "");
    }

    pointer.move({207, 153});
    g_popup = {nullptr, {}, GetTickCount64() + 10000};
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, read_popup);
    r = -1;
    ASSERT_EQ(linked->ShowSysMenu(&f, &r), S_OK);
    KillTimer(nullptr, timer);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g_popup.menu, GetSystemMenu(h, FALSE));
    EXPECT_EQ(g_popup.rect.left, 207);
    EXPECT_EQ(g_popup.rect.top, 153);
}

int nccalcsize = 0;
LRESULT CALLBACK counting_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCALCSIZE) ++nccalcsize;
    return DefWindowProcW(h, msg, wp, lp);
}

TEST_F(FormsSystem, UpdateAndNonClientHeights) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = counting_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QmFrameCount";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, L"QmFrameCount", L"QM frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 60, 200, 150,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    RECT before{};
    GetWindowRect(h, &before);
    nccalcsize = 0;
    Variant target(static_cast<long>(reinterpret_cast<LONG_PTR>(h)));
    ASSERT_EQ(forms->Update(target.get()), S_OK);
    EXPECT_GE(nccalcsize, 1);
    RECT after{};
    GetWindowRect(h, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    DestroyWindow(h);

    long normal = 0, tool = 0;
    ASSERT_EQ(forms->Get_NonClientHeight(&normal, &tool), S_OK);
    EXPECT_EQ(normal, GetSystemMetrics(4));
    EXPECT_EQ(tool, GetSystemMetrics(51));
}

TEST_F(FormsSystem, PositionRoundTripsThroughAnIniFile) {
    form->move(1200, nullptr, nullptr, nullptr);
    late::put(form.get(), L"Top", Variant(900L));
    late::put(form.get(), L"Width", Variant(4500L));
    late::put(form.get(), L"Height", Variant(3000L));
    std::wstring path = scratch() + test_name() + L".ini";
    DeleteFileW(path.c_str());
    IDispatch* d = form.get();
    BSTR p = SysAllocString(path.c_str());
    long r = -1;
    ASSERT_EQ(forms->FormPos_Save(&d, &p, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(path), "[Haupt]\r\nLeft=1200\r\nTop=900\r\nWidth=4500\r\nHeight=3000\r\n");

    form->move(0, nullptr, nullptr, nullptr);
    late::put(form.get(), L"Width", Variant(2000L));
    ASSERT_EQ(forms->FormPos_Load(&d, &p, &r), S_OK);
    EXPECT_EQ(r, 0);
    for (auto [key, value] : {std::pair{L"Left", 1200L}, {L"Top", 900L}, {L"Width", 4500L}, {L"Height", 3000L}})
        EXPECT_EQ(qm::CLng(*late::get(form.get(), key).get()), value) << key;

    // Another form's section is not there: 13, logged.
    form->set_name(L"Neben");
    ASSERT_EQ(forms->FormPos_Load(&d, &p, &r), S_OK);
    EXPECT_EQ(r, 13);
    EXPECT_TRUE(errors.has("FormPos_Load"));
    SysFreeString(p);
}

// A 32x32 monochrome cursor file.
std::string cursor_file() {
    std::string bytes;
    auto put16 = [&](unsigned v) { bytes += char(v & 0xFF), bytes += char(v >> 8); };
    auto put32 = [&](unsigned v) { put16(v & 0xFFFF), put16(v >> 16); };
    put16(0), put16(2), put16(1);                                                  // header: one cursor
    bytes += char(32), bytes += char(32), bytes += char(0), bytes += char(0);     // 32x32
    put16(1), put16(1), put32(40 + 8 + 128 + 128), put32(22);                      // hot spot, size, offset
    put32(40), put32(32), put32(64), put16(1), put16(1), put32(0), put32(256), put32(0), put32(0), put32(0), put32(0);
    put32(0), put32(0xFFFFFF);                                                     // palette
    bytes += std::string(128, '\0');                                               // XOR mask
    bytes += std::string(128, '\xFF');                                             // AND mask
    return bytes;
}

TEST_F(FormsSystem, AnimatedCursorBecomesTheClassCursor) {
    std::wstring path = scratch() + test_name() + L".cur";
    write_bytes(path, cursor_file());
    HWND h = form->hwnd();
    ULONG_PTR before = GetClassLongPtrW(h, GCLP_HCURSOR);
    IDispatch* d = form.get();
    long r = -1;
    ASSERT_EQ(forms->ShowAnimatedCursor(&d, Bstr(scratch() + L"fehlt.cur").get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(GetClassLongPtrW(h, GCLP_HCURSOR), before);
    EXPECT_EQ(form->mouse_pointer(), 0);
    ASSERT_EQ(forms->ShowAnimatedCursor(&d, Bstr(path).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_NE(GetClassLongPtrW(h, GCLP_HCURSOR), before);
    EXPECT_EQ(form->mouse_pointer(), 99);
    SetClassLongPtrW(h, GCLP_HCURSOR, static_cast<LONG_PTR>(before));
}

ComPtr<_Forms>* modal_forms = nullptr;
Form* other_form = nullptr;
Form* modal_form = nullptr;
VARIANT_BOOL seen_modal = VARIANT_FALSE;

TEST_F(FormsSystem, IsModalWhileAModalFormShows) {
    // None modal: False, and the form is shown.
    form->hide();
    IDispatch* d = form.get();
    VARIANT_BOOL r = VARIANT_TRUE;
    ASSERT_EQ(forms->IsModal(&d, &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
    EXPECT_TRUE(form->visible());

    ComPtr<Form> dialog = make<Form>();
    modal_forms = &forms;
    other_form = form.get();
    modal_form = dialog.get();
    seen_modal = VARIANT_FALSE;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
        IDispatch* o = other_form;
        (*modal_forms)->IsModal(&o, &seen_modal);
        modal_form->hide();
    });
    late::call(dialog.get(), L"Show", {Variant(1L)});
    KillTimer(nullptr, timer);
    EXPECT_EQ(seen_modal, VARIANT_TRUE);
    dialog->unload();

    // Set_XPstyle on a form: 0 (themes available) or -1, never an error.
    long x = 5;
    ASSERT_EQ(forms->Set_XPstyle(&d, nullptr, &x), S_OK);
    EXPECT_TRUE(x == 0 || x == -1) << x;
}

}  // namespace
