// Window: clicking, closing, showing, moving, retitling and fading windows.
#include <windows.h>
#include <uxtheme.h>

#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/forms/limits.h"
#include "runtime/handover.h"
#include "runtime/process.h"
#include "windows/window.h"
#include "windows/window_alpha.h"
#include "windows/window_common.h"
#include "windows/window_enum.h"
#include "windows/window_process.h"

namespace qm {

namespace {

// How long CloseWindow waits for a program that may save its work first.
constexpr UINT kCloseTimeoutMs = 5000;

}  // namespace

// A window that opens a modal loop of its own on the button-down (a menu, say)
// answers only when that loop ends: the caller gives up waiting, and the
// button-up still reaches the loop.
HRESULT Window::Click(long hwnd) {
    return untrapped([&] {
        send_bounded(hwnd_of(hwnd), WM_LBUTTONDOWN);
        send_bounded(hwnd_of(hwnd), WM_LBUTTONUP);
    });
}

HRESULT Window::CloseWindow(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        HWND window = hwnd_of(hwnd);
        if (!IsWindow(window)) return false;
        // One request, answered by the window; one that asks its user first, or
        // is hung, does not hold the caller (and has not gone).
        send_bounded(window, WM_CLOSE, 0, 0, kCloseTimeoutMs);
        return !IsWindow(window);
    });
}

HRESULT Window::EnableWindow(long hwnd, VARIANT_BOOL* Enable) {
    return untrapped([&] {
        if (answers(hwnd_of(hwnd))) ::EnableWindow(hwnd_of(hwnd), flag_or(Enable, false) ? TRUE : FALSE);
    });
}

HRESULT Window::FlashWindow(long hwnd, long* FlashCount, long* result) {
    return untrapped(result, [&] {
        FLASHWINFO info{};
        info.cbSize = sizeof(info);
        info.hwnd = hwnd_of(hwnd);
        info.dwFlags = FLASHW_CAPTION | FLASHW_TIMER;
        info.uCount = static_cast<UINT>(arg_or(FlashCount, 3L));
        info.dwTimeout = 0;
        return static_cast<long>(FlashWindowEx(&info));
    });
}

HRESULT Window::LockWindowUpdate(long hwnd, VARIANT_BOOL* LockWindow) {
    return untrapped([&] {
        HWND window = hwnd_of(hwnd);
        const bool lock = flag_or(LockWindow, false);
        send_bounded(window, WM_SETREDRAW, lock ? FALSE : TRUE);
        // What changed while the window was locked becomes visible now.
        if (!lock) RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    });
}

HRESULT Window::SendKeys(long hwnd, BSTR Text) {
    return untrapped([&] {
        // A window that stops answering gets no further characters.
        for (wchar_t ch : text_of(Text))
            if (!send_bounded(hwnd_of(hwnd), WM_CHAR, ch)) break;
    });
}

HRESULT Window::Set_Focus(long hwnd, long* result) {
    return untrapped(result, [&] { return long_of(SetFocus(hwnd_of(hwnd))); });
}

HRESULT Window::Set_Parent(long hwnd, long NewParent, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        return answers(hwnd_of(hwnd)) && SetParent(hwnd_of(hwnd), hwnd_of(NewParent)) != nullptr;
    });
}

// A place beyond the system's coordinates fails before the window is touched.
HRESULT Window::Set_Pos(long hwnd, long Top, long Left, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (!forms::position_fits(Left) || !forms::position_fits(Top)) return false;
        HWND window = hwnd_of(hwnd);
        RECT r{};
        if (!answers(window) || !GetWindowRect(window, &r)) return false;
        return MoveWindow(window, Left, Top, r.right - r.left, r.bottom - r.top, TRUE) != FALSE;
    });
}

HRESULT Window::Set_Text(long hwnd, BSTR Text, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring text(text_of(Text));
        const auto answer = send_bounded(hwnd_of(hwnd), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return answer && *answer >= 1;
    });
}

HRESULT Window::Set_WindowState(long hwnd, long WindowStyle) {
    return untrapped([&] {
        if (answers(hwnd_of(hwnd))) ShowWindow(hwnd_of(hwnd), WindowStyle);
    });
}

HRESULT Window::VisibleWindow(long hwnd, VARIANT_BOOL* isVisible, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (answers(hwnd_of(hwnd))) ShowWindow(hwnd_of(hwnd), flag_or(isVisible, true) ? SW_SHOW : SW_HIDE);
        return true;
    });
}

HRESULT Window::Childs_EnableAll(long hwnd, VARIANT_BOOL* EnableAll, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const BOOL enable = flag_or(EnableAll, true) ? TRUE : FALSE;
        for (HWND child : Enum_ChildWindows(hwnd_of(hwnd)))
            if (answers(child)) ::EnableWindow(child, enable);
        return true;
    });
}

HRESULT Window::Childs_VisibleAll(long hwnd, VARIANT_BOOL* VisibleAll, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const int show = flag_or(VisibleAll, true) ? SW_SHOW : SW_HIDE;
        for (HWND child : Enum_ChildWindows(hwnd_of(hwnd)))
            if (answers(child)) ShowWindow(child, show);
        return true;
    });
}

HRESULT Window::StayOnTop(long hwnd, VARIANT_BOOL* RemoveFromTop, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        HWND after = flag_or(RemoveFromTop, false) ? HWND_NOTOPMOST : HWND_TOPMOST;
        HWND window = hwnd_of(hwnd);
        return answers(window) && SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE) != FALSE;
    });
}

HRESULT Window::TerminateThread(long hwnd, long* TaskID, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        DWORD pid = static_cast<DWORD>(arg_or(TaskID, 0L));
        if (pid == 0) pid = process_of_window(hwnd_of(hwnd));
        if (pid == 0) return false;
        process::Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
        return process && TerminateProcess(process.get(), 1) != FALSE;
    });
}

HRESULT Window::Set_Transparenz(long hwnd, BYTE Transparenz) {
    // Never 255: the window stays layered.
    return untrapped([&] { Set_WindowTransparency(hwnd_of(hwnd), Transparenz > 254 ? 254 : Transparenz); });
}

HRESULT Window::Set_XPstyle(long* hwnd, VARIANT_BOOL* ApplyStyle, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        VARIANT_BOOL supported = VARIANT_FALSE;
        check(shared<_System>()->XPstyleSupported(&supported));
        if (!supported) return false;
        HWND window = hwnd_of(arg_or(hwnd, 0L));
        if (flag_or(ApplyStyle, true))
            SetWindowTheme(window, nullptr, nullptr);
        else
            SetWindowTheme(window, L" ", L" ");
        return true;
    });
}

HRESULT Window::tFade(long hwnd, BYTE FadeStart, BYTE FadeStop, VARIANT_BOOL* StartAtCurrentTransparenz,
                      short* FadeStep, short* Speed) {
    return untrapped([&] {
        HWND window = hwnd_of(hwnd);
        short step = arg_or(FadeStep, short{5});
        const short speed = arg_or(Speed, short{3});
        // A step of 0 would never arrive; the pause is Speed x 1000 / 2 pump
        // rounds, with Speed x 1000 in the runtime's 16-bit Integer.
        if (step == 0) raise(err::InvalidCall);
        if (speed * 1000 > 32767 || speed * 1000 < -32768) raise(err::Overflow);

        int alpha = FadeStart;
        if (flag_or(StartAtCurrentTransparenz, false)) {
            BYTE current = 0;
            check(Get_Transparenz(hwnd, &current));
            alpha = current == 0 ? 254 : current;
        }
        if (alpha == 255) alpha = 254;
        if (FadeStop < alpha) {
            if (step == -32768) raise(err::Overflow);
            step = static_cast<short>(-step);
            if (FadeStep) *FadeStep = step;
        }
        for (int i = alpha; step > 0 ? i <= FadeStop : i >= FadeStop; i += step) {
            Set_WindowTransparency(window, static_cast<BYTE>(i));
            Wait_DoEvents(speed * 500L);
        }
    });
}

}  // namespace qm
