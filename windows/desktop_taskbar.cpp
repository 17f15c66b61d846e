// Desktop: the shell's taskbar, tray and start button found by their window
// classes, and what can be done with them.
#include <windows.h>
#include <shellapi.h>

#include <cmath>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "windows/desktop.h"
#include "windows/window_common.h"
#include "windows/window_enum.h"

namespace qm {

namespace {

HWND taskbar() { return FindWindowW(L"Shell_TrayWnd", nullptr); }

// The start button: a top-level "Button" of the taskbar's own process, else the
// "Button" inside the taskbar; never another program's button.
HWND start_button() {
    HWND bar = taskbar();
    if (!bar) return nullptr;
    DWORD shell = 0;
    GetWindowThreadProcessId(bar, &shell);
    for (HWND h = FindWindowExW(nullptr, nullptr, L"Button", nullptr); h;
         h = FindWindowExW(nullptr, h, L"Button", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid == shell) return h;
    }
    return FindWindowExW(bar, nullptr, L"Button", nullptr);
}

// The taskbar as Window.FindWindow finds it (class, empty caption).
long find_taskbar_window() {
    Bstr cls(L"Shell_traywnd"), caption(L"");
    BSTR c = cls.get(), t = caption.get();
    long h = 0;
    check(shared<_Window>()->FindWindow(&c, &t, &h));
    return h;
}

long (*g_taskbar_finder)() = find_taskbar_window;

long taskbar_by_window_class() { return g_taskbar_finder(); }

}  // namespace

void set_taskbar_finder(long (*finder)()) { g_taskbar_finder = finder ? finder : find_taskbar_window; }

HWND desktop_window(long role) {
    switch (role) {
    case dtTRAY: return Get_TrayNotifyHwnd();
    case dtDESKTOP: return GetDesktopWindow();
    case dtSTARTBUTTON: return start_button();
    case dtTASKBAR: return taskbar();
    case dtCLOCK:
        if (HWND notify = Get_TrayNotifyHwnd()) return FindWindowExW(notify, nullptr, L"TrayClockWClass", nullptr);
        return nullptr;
    case dtPROGRAMMANAGER: return FindWindowW(nullptr, L"Program Manager");
    default: return nullptr;
    }
}

HWND Get_TaskbarRebarHwnd() {
    HWND bar = taskbar();
    return bar ? FindWindowExW(bar, nullptr, L"ReBarWindow32", nullptr) : nullptr;
}

HWND Get_TrayNotifyHwnd() {
    HWND bar = taskbar();
    return bar ? FindWindowExW(bar, nullptr, L"TrayNotifyWnd", nullptr) : nullptr;
}

void sweep_tray_toolbar(HWND toolbar) {
    RECT client{};
    if (!toolbar || !GetClientRect(toolbar, &client)) return;
    const long rows = static_cast<long>(std::nearbyint(client.bottom / 20.0 - 1));  // halves to even
    for (long i = 0; i <= rows; ++i) {
        const long y = 20 * i + 10;
        for (long x = 0; x <= client.right; ++x) {
            // A hung shell does not hold the caller: the sweep ends there.
            if (!send_bounded(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(x, y), 1000)) return;
        }
    }
}

HRESULT Desktop::DesktopHWND(::DesktopHWND* DeskHwnd, long* result) {
    return untrapped(result, [&] { return long_of(desktop_window(DeskHwnd ? *DeskHwnd : 0)); });
}

HRESULT Desktop::Taskbar_GetPos(CONTROLPOSITION* TaskBar) {
    if (!TaskBar) return E_POINTER;
    return untrapped([&] {
        APPBARDATA data{};
        data.cbSize = sizeof data;
        SHAppBarMessage(ABM_GETTASKBARPOS, &data);
        *TaskBar = {data.rc.left, data.rc.top, data.rc.right, data.rc.bottom};
    });
}

HRESULT Desktop::TaskBar_GetSize(TASKBARSIZEINFO* result) {
    if (!result) return E_POINTER;
    return untrapped([&] {
        RECT r{};
        GetWindowRect(taskbar(), &r);
        *result = {r.left, r.top, r.bottom - r.top, r.right - r.left};
    });
}

HRESULT Desktop::TaskBar_Show(VARIANT_BOOL* Hide) {
    return untrapped([&] {
        HWND bar = FindWindowW(L"Shell_traywnd", nullptr);
        if (answers(bar)) ShowWindow(bar, flag_or(Hide, false) ? SW_HIDE : SW_SHOW);
    });
}

HRESULT Desktop::Tray_Show(VARIANT_BOOL* ShowTray) {
    return untrapped([&] {
        HWND bar = hwnd_of(taskbar_by_window_class());
        if (answers(bar)) ShowWindow(bar, flag_or(ShowTray, true) ? SW_SHOW : SW_HIDE);
    });
}

HRESULT Desktop::TaskBar_Disable(VARIANT_BOOL DisableTaskBar) {
    return untrapped([&] {
        VARIANT_BOOL enable = DisableTaskBar ? VARIANT_FALSE : VARIANT_TRUE;
        check(shared<_Window>()->EnableWindow(long_of(taskbar()), &enable));
    });
}

HRESULT Desktop::StartButton_Click() {
    return untrapped([&] { check(shared<_Window>()->Click(long_of(start_button()))); });
}

HRESULT Desktop::Windows_Minimize(VARIANT_BOOL* RestoreWindows, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        HWND bar = hwnd_of(taskbar_by_window_class());
        if (!bar) return false;
        return PostMessageW(bar, WM_COMMAND, flag_or(RestoreWindows, false) ? 416 : 419, 0) != FALSE;
    });
}

HRESULT Desktop::SysTray_Refresh() {
    try {
        sweep_tray_toolbar(hwnd_of(Get_TrayToolbarHwnd()));
    } catch (...) {
        // Cleared: the refresh is a courtesy and reports nothing.
    }
    return S_OK;
}

}  // namespace qm
