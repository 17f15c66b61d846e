// Window: reading a window's text, family, place, state and owner.
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"
#include "windows/window.h"
#include "windows/window_common.h"
#include "windows/window_enum.h"
#include "windows/window_process.h"

namespace qm {

namespace {

long window_state(HWND window) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    return GetWindowPlacement(window, &placement) ? static_cast<long>(placement.showCmd) : -1;
}

BYTE window_alpha(HWND window) {
    if (!(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED)) return 0;
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    return GetLayeredWindowAttributes(window, &key, &alpha, &flags) ? alpha : 0;
}

CONTROLPOSITION window_rect(HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r)) return CONTROLPOSITION{};
    return CONTROLPOSITION{r.left, r.top, r.right, r.bottom};
}

// The window with the keyboard focus in the input state that hwnd's thread shares
// with the foreground window's thread; the two are joined only for the reading.
HWND focus_of(HWND window) {
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    bool joined = thread && foreground && thread != foreground && AttachThreadInput(foreground, thread, TRUE);
    HWND focus = GetFocus();
    if (joined) AttachThreadInput(foreground, thread, FALSE);
    return focus;
}

}  // namespace

HRESULT Window::Get_Text(long hwnd, BSTR* result) {
    return untrapped(result, [&] { return Bstr(WindowText(hwnd_of(hwnd)).view()); });
}

HRESULT Window::Get_Class(long hwnd, BSTR* result) {
    return untrapped(result, [&] { return Bstr(window_class(hwnd_of(hwnd))); });
}

HRESULT Window::Get_Parent(long hwnd, long* result) {
    return untrapped(result, [&] { return long_of(GetParent(hwnd_of(hwnd))); });
}

HRESULT Window::Get_TopParent(long hwnd, long* result) {
    return untrapped(result, [&] { return long_of(top_parent(hwnd_of(hwnd))); });
}

// A window without parent or owner; an invalid handle, which has none either, is False.
HRESULT Window::isTopParent(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const HWND window = hwnd_of(hwnd);
        return IsWindow(window) && GetParent(window) == nullptr;
    });
}

HRESULT Window::isChildWindow(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return GetParent(hwnd_of(hwnd)) != nullptr; });
}

HRESULT Window::Get_TaskID(long hwnd, long* result) {
    return untrapped(result, [&] { return static_cast<long>(process_of_window(hwnd_of(hwnd))); });
}

HRESULT Window::Get_ThreadID(long hwnd, long* result) {
    return untrapped(result, [&] { return static_cast<long>(GetWindowThreadProcessId(hwnd_of(hwnd), nullptr)); });
}

HRESULT Window::isHwnd(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return static_cast<long>(process_of_window(hwnd_of(hwnd))) > 0; });
}

HRESULT Window::Hwnd_Exist(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return process_of_window(hwnd_of(hwnd)) != 0; });
}

HRESULT Window::IsWindowEnabled(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return ::IsWindowEnabled(hwnd_of(hwnd)) != FALSE; });
}

HRESULT Window::isWindowVisible(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return ::IsWindowVisible(hwnd_of(hwnd)) != FALSE; });
}

HRESULT Window::Get_Pos(long hwnd, CONTROLPOSITION* result) {
    if (!result) return E_POINTER;
    *result = CONTROLPOSITION{};
    return untrapped([&] { *result = window_rect(hwnd_of(hwnd)); });
}

HRESULT Window::Get_GlobalPosition(long hwnd, Position* result) {
    if (!result) return E_POINTER;
    *result = Position{};
    return untrapped([&] {
        POINT origin{0, 0};
        if (ClientToScreen(hwnd_of(hwnd), &origin)) *result = Position{origin.x, origin.y};
    });
}

HRESULT Window::Get_WindowState(long hwnd, long* result) {
    return untrapped(result, [&] { return window_state(hwnd_of(hwnd)); });
}

HRESULT Window::Get_Transparenz(long hwnd, BYTE* result) {
    return untrapped(result, [&] { return static_cast<long>(window_alpha(hwnd_of(hwnd))); });
}

HRESULT Window::Get_ActiveWindow(long* result) {
    return untrapped(result, [] { return long_of(GetActiveWindow()); });
}

HRESULT Window::Get_ForegroundWindow(long* result) {
    return untrapped(result, [] { return long_of(GetForegroundWindow()); });
}

HRESULT Window::Get_ActiveWindowTitle(BSTR* result) {
    return untrapped(result, [] { return Bstr(window_text(GetActiveWindow())); });
}

HRESULT Window::Get_ActiveWindowExeName(VARIANT_BOOL* GetFullPath, BSTR* result) {
    return untrapped(result, [&] { return Bstr(exe_of_process(process_of_window(GetActiveWindow()), flag_or(GetFullPath, false))); });
}

HRESULT Window::Get_Focus(long hwnd, long* result) {
    return untrapped(result, [&] { return long_of(focus_of(hwnd_of(hwnd))); });
}

HRESULT Window::HasFocus(long* hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        HWND window = hwnd_of(arg_or(hwnd, 0L));
        return focus_of(window) == window;
    });
}

HRESULT Window::ActiveEXE(long hwnd, VARIANT_BOOL* FullEXEpath, BSTR* result) {
    return untrapped(result, [&] {
        return Bstr(exe_of_process(process_of_window(focus_of(hwnd_of(hwnd))), flag_or(FullEXEpath, true)));
    });
}

HRESULT Window::EXEmoduleByHwnd(long hwnd, VARIANT_BOOL* FullPath, BSTR* result) {
    return untrapped(result, [&] { return Bstr(exe_of_process(process_of_window(hwnd_of(hwnd)), flag_or(FullPath, false))); });
}

HRESULT Window::EXEmodulToPID(BSTR EXE, VARIANT_BOOL EXEpathIsFullPath, long* result) {
    return untrapped(result, [&] { return process_of_exe(std::wstring(text_of(EXE)), EXEpathIsFullPath != VARIANT_FALSE); });
}

HRESULT Window::ChildWindowCount(long* hwnd, long* result) {
    return untrapped(result, [&] {
        return static_cast<long>(Enum_ChildWindows(hwnd_of(arg_or(hwnd, 0L))).size());
    });
}

HRESULT Window::hasChildWindow(long* hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return !Enum_ChildWindows(hwnd_of(arg_or(hwnd, 0L))).empty(); });
}

HRESULT Window::Get_WindowInfo(long hwnd, QM_WINDOWINFO* result) {
    if (!result) return E_POINTER;
    *result = QM_WINDOWINFO{};
    return untrapped([&] {
        HWND window = hwnd_of(hwnd);
        LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
        Bstr exe(exe_of_process(process_of_window(window), false));
        Bstr text(window_text(window));
        Bstr cls(window_class(window));

        QM_WINDOWINFO info{};
        info.hwnd = hwnd;
        info.TaskID = static_cast<long>(process_of_window(window));
        info.Enabled = ::IsWindowEnabled(window) ? VARIANT_TRUE : VARIANT_FALSE;
        info.Visible = ::IsWindowVisible(window) ? VARIANT_TRUE : VARIANT_FALSE;
        info.ThreadID = static_cast<long>(GetWindowThreadProcessId(window, nullptr));
        info.POS = window_rect(window);
        info.WINDOWSTATE = window_state(window);
        info.TopParent = long_of(top_parent(window));
        info.Transparenz = window_alpha(window);
        info.Parent = long_of(GetParent(window));
        info.isOnTop = (ex & WS_EX_TOPMOST) ? VARIANT_TRUE : VARIANT_FALSE;

        Variant handle;
        V_VT(handle.get()) = VT_I4;
        V_I4(handle.get()) = hwnd;
        check(shared<_Forms>()->StandardButton(handle.get(), &info.Buttons));
        _Menu* menu = shared<_Menu>();
        check(menu->Get_MenuHwnd(hwnd, &info.MenuHwnd));
        check(menu->Get_SystemMenuHwnd(hwnd, &info.SysMenuHwnd));

        // A program's own top-level window counts as its own parent.
        if (!exe.empty() && info.Parent == 0) info.Parent = hwnd;

        info.EXENAME = exe.detach();
        info.Text = text.detach();
        info.Class = cls.detach();
        *result = info;
    });
}

}  // namespace qm
