// Desktop's taskbar members against Wine's own shell and against stand-in shell
// windows that qmwindows.exe makes (a taskbar along the bottom or the left edge).
// Wine's start button is never clicked: its menu would hold the test.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "qmwindows_helper.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "support.h"
#include "windows/desktop.h"
#include "windows/window.h"

using qm::ComPtr;
using namespace qmtest;
namespace forms = qm::forms;

namespace {

long L(HWND h) { return static_cast<long>(reinterpret_cast<LONG_PTR>(h)); }

RECT rect_of(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

std::wstring text_of(HWND h) {
    wchar_t buf[64] = {};
    GetWindowTextW(h, buf, 64);
    return buf;
}

// A client's form with one windowed control of 1800 x 300 twips (120 x 20 pixels).
class DockForm : public forms::Form {
protected:
    void design() override {
        float left = 120, top = 120, width = 1800, height = 300;
        add<forms::PictureBox>(L"Pic").move(left, &top, &width, &height);
    }
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override { desktop = ComPtr<_Desktop>::attach(new qm::Desktop()); }
    void TearDown() override { qm::set_taskbar_finder(nullptr); }
    long role(long r) {
        DesktopHWND v = static_cast<DesktopHWND>(r);
        long h = -1;
        EXPECT_EQ(desktop->DesktopHWND(&v, &h), S_OK);
        return h;
    }
    long attach(IDispatch* control, long w = 0, long h = 0) {
        long r = -1;
        EXPECT_EQ(desktop->TaskBar_AttachControl(&control, &w, &h, &r), S_OK);
        pump_messages();
        return r;
    }
    long detach(IDispatch* control) {
        long r = -1;
        EXPECT_EQ(desktop->TaskBar_DetachControl(&control, &r), S_OK);
        return r;
    }
    ComPtr<_Desktop> desktop;
};

TEST_F(DesktopTest, WineShellHasATaskbarButNoTrayOrBand) {
    for (long r : {0L, 6L, 8L, -1L}) EXPECT_EQ(role(r), 0) << r;
    EXPECT_EQ(role(dtDESKTOP), L(GetDesktopWindow()));
    EXPECT_EQ(role(dtTASKBAR), L(FindWindowW(L"Shell_TrayWnd", nullptr)));
    EXPECT_EQ(role(dtTRAY), 0);
    EXPECT_EQ(role(dtCLOCK), 0);

    APPBARDATA data{sizeof data};
    SHAppBarMessage(ABM_GETTASKBARPOS, &data);
    CONTROLPOSITION pos{-1, -1, -1, -1};
    ASSERT_EQ(desktop->Taskbar_GetPos(&pos), S_OK);
    EXPECT_EQ(pos.Left, data.rc.left);
    EXPECT_EQ(pos.Top, data.rc.top);
    EXPECT_EQ(pos.Right, data.rc.right);
    EXPECT_EQ(pos.Bottom, data.rc.bottom);

    // No band: the control stays on its form and the member reports 5.
    ComPtr<DockForm> form = forms::make<DockForm>();
    form->show();
    auto& pic = form->get<forms::PictureBox>(L"Pic");
    EXPECT_EQ(attach(&pic), 5);
    EXPECT_EQ(GetParent(pic.hwnd()), form->hwnd());
    EXPECT_EQ(detach(&pic), 0);
    // Forced sizes no window can have: 380 before anything else.
    for (long beyond : {1000000L, LONG_MAX, -LONG_MAX}) {
        EXPECT_EQ(attach(&pic, beyond, 20), 380) << beyond;
        EXPECT_EQ(attach(&pic, 120, beyond), 380) << beyond;
    }
    EXPECT_EQ(GetParent(pic.hwnd()), form->hwnd());
    form->unload();
    ASSERT_EQ(desktop->SysTray_Refresh(), S_OK);  // no tray toolbar here: returns at once
}

// Workers tagged for the taskbar fading.
int fading_workers() {
    int n = 0;
    for (auto& f : forms::forms_collection().snapshot()) n += f->tag() == L"TaskBarFade";
    return n;
}

TEST_F(DesktopTest, TaskbarFadingStartsOnceAndGivesTheTaskbarBack) {
    PinnedPointer pointer({10, 10});  // above the taskbar: the running fade keeps it faded
    HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_NE(bar, nullptr);
    const LONG_PTR style = GetWindowLongPtrW(bar, GWL_EXSTYLE);
    TaskBarStartCommand stop = tscSTOP, start = tscSTART, other = static_cast<TaskBarStartCommand>(7);
    ASSERT_EQ(desktop->TaskBar_FadeEffect(&stop), S_OK);  // nothing running: nothing happens
    EXPECT_EQ(fading_workers(), 0);
    EXPECT_EQ(GetWindowLongPtrW(bar, GWL_EXSTYLE), style);
    ASSERT_EQ(desktop->TaskBar_FadeEffect(&start), S_OK);
    ASSERT_EQ(desktop->TaskBar_FadeEffect(&start), S_OK);
    ASSERT_EQ(desktop->TaskBar_FadeEffect(&other), S_OK);
    EXPECT_EQ(fading_workers(), 1);
    EXPECT_TRUE(GetWindowLongPtrW(bar, GWL_EXSTYLE) & WS_EX_LAYERED);
    ASSERT_EQ(desktop->TaskBar_FadeEffect(&stop), S_OK);
    pump_messages();
    EXPECT_EQ(fading_workers(), 0);
    EXPECT_EQ(GetWindowLongPtrW(bar, GWL_EXSTYLE), style);
    ComPtr<_Window> window = ComPtr<_Window>::attach(new qm::Window());
    BYTE alpha = 1;
    ASSERT_EQ(window->Get_Transparenz(L(bar), &alpha), S_OK);
    EXPECT_EQ(alpha, 0);
}

class StandInTaskbar : public DesktopTest {
protected:
    // Starts the stand-in and makes sure FindWindow finds it before Wine's own
    // taskbar (whose start button must never be clicked).
    void start(const wchar_t* mode) {
        helper = std::make_unique<Helper>(L"Bar", mode);
        HWND own = nullptr;
        for (HWND h = FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", nullptr); h && !own;
             h = FindWindowExW(nullptr, h, L"Shell_TrayWnd", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == helper->pid()) own = h;
        }
        ASSERT_NE(own, nullptr);
        for (int i = 0; i < 100 && FindWindowW(L"Shell_TrayWnd", nullptr) != own; ++i) {
            SetWindowPos(own, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            Sleep(20);
        }
        bar = FindWindowW(L"Shell_TrayWnd", nullptr);
        ASSERT_EQ(bar, own) << "FindWindow finds the stand-in";
        band = FindWindowExW(bar, nullptr, L"ReBarWindow32", nullptr);
        notify = FindWindowExW(bar, nullptr, L"TrayNotifyWnd", nullptr);
        button = FindWindowExW(bar, nullptr, L"Button", nullptr);
    }
    std::unique_ptr<Helper> helper;
    HWND bar = nullptr, band = nullptr, notify = nullptr, button = nullptr;
};

TEST_F(StandInTaskbar, RolesSizeVisibilityAndCommands) {
    ASSERT_NO_FATAL_FAILURE(start(L"taskbar-bottom"));
    EXPECT_EQ(role(dtTASKBAR), L(bar));
    EXPECT_EQ(role(dtTRAY), L(notify));
    EXPECT_EQ(role(dtCLOCK), L(FindWindowExW(notify, nullptr, L"TrayClockWClass", nullptr)));
    EXPECT_EQ(role(dtSTARTBUTTON), L(button));

    TASKBARSIZEINFO size{};
    ASSERT_EQ(desktop->TaskBar_GetSize(&size), S_OK);
    EXPECT_EQ(size.Left, 0);
    EXPECT_EQ(size.Top, GetSystemMetrics(SM_CYSCREEN) - 30);
    EXPECT_EQ(size.Height, 30);
    EXPECT_EQ(size.Width, GetSystemMetrics(SM_CXSCREEN));

    // TaskBar_Show(True) hides, Tray_Show(True) shows: opposite senses on one window.
    VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE;
    desktop->TaskBar_Show(&yes);
    EXPECT_FALSE(IsWindowVisible(bar));
    desktop->Tray_Show(&yes);
    EXPECT_TRUE(IsWindowVisible(bar));
    desktop->Tray_Show(&no);
    EXPECT_FALSE(IsWindowVisible(bar));
    desktop->TaskBar_Show(&no);
    EXPECT_TRUE(IsWindowVisible(bar));

    desktop->TaskBar_Disable(VARIANT_TRUE);
    EXPECT_FALSE(IsWindowEnabled(bar));
    desktop->TaskBar_Disable(VARIANT_FALSE);
    EXPECT_TRUE(IsWindowEnabled(bar));

    ASSERT_EQ(role(dtSTARTBUTTON), L(button));  // never anyone else's button
    ASSERT_EQ(desktop->StartButton_Click(), S_OK);
    EXPECT_EQ(text_of(button), L"1");

    VARIANT_BOOL posted = VARIANT_FALSE;
    ASSERT_EQ(desktop->Windows_Minimize(&no, &posted), S_OK);
    EXPECT_EQ(posted, VARIANT_TRUE);
    for (int i = 0; i < 200 && text_of(bar) != L"cmd 419"; ++i) Sleep(10);
    EXPECT_EQ(text_of(bar), L"cmd 419");
    desktop->Windows_Minimize(&yes, &posted);
    for (int i = 0; i < 200 && text_of(bar) != L"cmd 416"; ++i) Sleep(10);
    EXPECT_EQ(text_of(bar), L"cmd 416");

    // The stand-in gone: the command goes to the taskbar found now. That is a
    // window of the test's own, found before Wine's (whose taskbar takes any
    // command for a click on its start button). Then none for a taskbar that is
    // not there or is gone.
    helper->end();
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&wc);
    HWND own = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 1, 1,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), own);
    EXPECT_EQ(desktop->Windows_Minimize(&no, &posted), S_OK);
    EXPECT_EQ(posted, VARIANT_TRUE);
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, own, WM_COMMAND, WM_COMMAND, PM_REMOVE) && msg.wParam == 419);
    DestroyWindow(own);
    static long found;
    qm::set_taskbar_finder([] { return found; });
    for (long gone : {0L, L(bar)}) {
        found = gone;
        posted = VARIANT_TRUE;
        EXPECT_EQ(desktop->Windows_Minimize(&yes, &posted), S_OK);
        EXPECT_EQ(posted, VARIANT_FALSE) << gone;
    }
}

TEST_F(StandInTaskbar, DocksAControlBetweenBandAndTrayAndGivesItBack) {
    ASSERT_NO_FATAL_FAILURE(start(L"taskbar-bottom"));
    ComPtr<DockForm> form = forms::make<DockForm>();
    form->show();
    auto& pic = form->get<forms::PictureBox>(L"Pic");
    HWND h = pic.hwnd();
    const RECT before = rect_of(h), band_before = rect_of(band);

    // Never attached: nothing to give back.
    EXPECT_EQ(detach(&pic), 0);
    EXPECT_EQ(GetParent(h), form->hwnd());

    EXPECT_EQ(attach(&pic), 0);
    EXPECT_EQ(GetParent(h), bar);
    RECT band_after = rect_of(band), docked = rect_of(h), client_bar{};
    EXPECT_EQ((band_before.right - band_before.left) - (band_after.right - band_after.left), 120);
    EXPECT_EQ(docked.left, band_after.right);
    EXPECT_EQ(docked.top - rect_of(bar).top, 4);
    EXPECT_EQ(docked.right - docked.left, 120);
    EXPECT_EQ(docked.bottom - docked.top, 20);

    // Attached again: the first parent and size are kept for the way back.
    EXPECT_EQ(attach(&pic, 60, 40), 0);
    GetClientRect(bar, &client_bar);
    docked = rect_of(h);
    EXPECT_EQ(docked.bottom - docked.top, client_bar.bottom - 6);  // taller than the room: cut
    EXPECT_EQ(detach(&pic), 0);
    EXPECT_EQ(GetParent(h), form->hwnd());
    RECT back = rect_of(h);
    EXPECT_EQ(back.left, before.left);
    EXPECT_EQ(back.top, before.top);
    EXPECT_EQ(back.right - back.left, before.right - before.left);
    EXPECT_EQ(back.bottom - back.top, before.bottom - before.top);
    EXPECT_EQ(detach(&pic), 0);  // given back already: nothing changes
    EXPECT_EQ(GetParent(h), form->hwnd());

    // The taskbar's process ends while the control is docked, then the form unloads.
    EXPECT_EQ(attach(&pic), 0);
    helper->end();
    pump_messages();
    form->unload();
    pump_messages();
}

// A start button that opens its menu in a modal loop on the button-down: the
// click returns while the menu is open, and its button-up reached the menu.
TEST_F(StandInTaskbar, StartButtonClickReturnsWhileTheMenuIsOpen) {
    ASSERT_NO_FATAL_FAILURE(start(L"taskbar-menu"));
    ASSERT_EQ(role(dtSTARTBUTTON), L(button));
    ASSERT_EQ(desktop->StartButton_Click(), S_OK);
    EXPECT_EQ(text_of(helper->main()), L"modal");
    EXPECT_EQ(text_of(button), L"1");
    PostMessageW(button, WM_APP + 2, 0, 0);
    for (int i = 0; i < 200 && text_of(helper->main()) != L"closed"; ++i) Sleep(10);
    EXPECT_EQ(text_of(helper->main()), L"closed");
}

// A hung shell does not hold the caller: the taskbar is left as it was.
TEST_F(StandInTaskbar, AHungShellIsLeftAlone) {
    ASSERT_NO_FATAL_FAILURE(start(L"taskbar-bottom"));
    const LONG_PTR style = GetWindowLongPtrW(bar, GWL_EXSTYLE);
    PostMessageW(helper->main(), WM_APP + 1, 0, 0);  // its only thread sleeps
    Sleep(200);
    VARIANT_BOOL yes = VARIANT_TRUE;
    TaskBarStartCommand start = tscSTART, stop = tscSTOP;
    EXPECT_EQ(desktop->TaskBar_Show(&yes), S_OK);
    EXPECT_EQ(desktop->TaskBar_Disable(VARIANT_TRUE), S_OK);
    EXPECT_EQ(desktop->TaskBar_FadeEffect(&start), S_OK);
    EXPECT_EQ(desktop->TaskBar_FadeEffect(&stop), S_OK);
    pump_messages();
    EXPECT_TRUE(IsWindowVisible(bar) && IsWindowEnabled(bar));
    EXPECT_EQ(GetWindowLongPtrW(bar, GWL_EXSTYLE), style);
}

TEST_F(StandInTaskbar, DocksAlongTheLeftEdge) {
    ASSERT_NO_FATAL_FAILURE(start(L"taskbar-left"));
    ComPtr<DockForm> form = forms::make<DockForm>();
    form->show();
    auto& pic = form->get<forms::PictureBox>(L"Pic");
    const RECT band_before = rect_of(band);
    EXPECT_EQ(attach(&pic), 0);
    RECT band_after = rect_of(band), docked = rect_of(pic.hwnd()), client_bar{};
    GetClientRect(bar, &client_bar);
    EXPECT_EQ((band_before.bottom - band_before.top) - (band_after.bottom - band_after.top), 20);
    EXPECT_EQ(docked.top, band_after.bottom);
    EXPECT_EQ(docked.left - rect_of(bar).left, 4);
    EXPECT_EQ(docked.right - docked.left, client_bar.right - 6);  // wider than the room: cut
    EXPECT_EQ(detach(&pic), 0);
    form->unload();
}

// The sweep over a notification-area toolbar: one mouse move per pixel of each
// 20-pixel row, rows = CLng(height / 20 - 1) + 1 (halves to even).
LRESULT CALLBACK counting_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_MOUSEMOVE) {
        auto* seen = reinterpret_cast<std::wstring*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (seen && GET_X_LPARAM(lp) == 0) *seen += std::to_wstring(GET_Y_LPARAM(lp)) + L" ";
        SetPropW(hwnd, L"moves", reinterpret_cast<HANDLE>(reinterpret_cast<INT_PTR>(GetPropW(hwnd, L"moves")) + 1));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

TEST(TrayToolbarSweep, MovesTheMouseOverEveryIcon) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = counting_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QmTestToolbar";
    RegisterClassW(&wc);
    struct Case {
        int height;
        const wchar_t* rows;
    } cases[] = {{50, L"10 30 50 "}, {30, L"10 "}, {70, L"10 30 50 "}, {10, L"10 "}};
    for (const Case& c : cases) {
        HWND tb = CreateWindowExW(0, L"QmTestToolbar", L"", WS_POPUP, 0, 0, 40, c.height, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        std::wstring seen;
        SetWindowLongPtrW(tb, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
        RECT client{};
        GetClientRect(tb, &client);
        qm::sweep_tray_toolbar(tb);
        EXPECT_EQ(seen, c.rows) << c.height;
        const size_t rows = std::count(seen.begin(), seen.end(), L' ');
        EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(tb, L"moves")), static_cast<INT_PTR>(rows * (client.right + 1)));
        RemovePropW(tb, L"moves");
        DestroyWindow(tb);
    }
}

}  // namespace
