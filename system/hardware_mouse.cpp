// Hardware: the mouse pointer, its buttons and what lies under it.
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/input.h"
#include "system/hardware.h"
#include "windows/window_common.h"

namespace qm {

namespace {

HWND window_under_cursor() noexcept { return WindowFromPoint(pointer_position()); }

// A value of a control or form read late-bound.
Variant property(IDispatch* object, const wchar_t* name) { return late::get(object, name); }

// A control's window handle read late-bound, raising when it has none.
HWND handle_of(IDispatch* control) {
    if (!control) raise(err::ObjectNotSet);
    return hwnd_of(CLng(*property(control, L"hWnd").get()));
}

}  // namespace

HRESULT Hardware::Mouse_Click(VARIANT_BOOL* ClickRight, VARIANT_BOOL* DoubleClick) {
    return untrapped([&] {
        if (flag_or(ClickRight, false)) {
            mouse_event(MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
            return;
        }
        mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        if (flag_or(DoubleClick, false)) mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    });
}

HRESULT Hardware::Mouse_SetPos(long X, long Y, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return SetCursorPos(X, Y) != FALSE; });
}

// Raises or lowers the system's display counter of the cursor by one.
HRESULT Hardware::Mouse_Show(VARIANT_BOOL* ShowMouse) {
    return untrapped([&] { ShowCursor(flag_or(ShowMouse, false) ? TRUE : FALSE); });
}

HRESULT Hardware::Mouse_hWndUnderCursor(long* result) {
    return untrapped(result, [] { return long_of(window_under_cursor()); });
}

// The pixel under the cursor in its window's client area; -1 when it cannot be read.
HRESULT Hardware::Mouse_GetColorUnderCursor(long* result) {
    return untrapped(result, [] {
        POINT point = pointer_position();
        HWND window = WindowFromPoint(point);
        if (!window) return static_cast<long>(CLR_INVALID);
        HDC dc = GetDC(window);
        if (!dc) return static_cast<long>(CLR_INVALID);
        ScreenToClient(window, &point);
        const COLORREF colour = GetPixel(dc, point.x, point.y);
        ReleaseDC(window, dc);
        return static_cast<long>(colour);
    });
}

HRESULT Hardware::Mouse_GetPos(Position* result) {
    if (!result) return E_POINTER;
    *result = Position{};
    return untrapped([&] {
        const POINT point = pointer_position();
        *result = Position{point.x, point.y};
    });
}

HRESULT Hardware::Mouse_GetTextUnderCursor(BSTR* result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return shared<_Window>()->Get_Text(long_of(window_under_cursor()), result);
}

HRESULT Hardware::Mouse_GetClassUnderCursor(BSTR* result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return shared<_Window>()->Get_Class(long_of(window_under_cursor()), result);
}

// Only the innermost window under the cursor counts, not its parents.
HRESULT Hardware::Mouse_isCursorOverHwnd(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return window_under_cursor() == hwnd_of(hwnd); });
}

// The left button is down now or was pressed since the previous query, over hwnd.
HRESULT Hardware::Mouse_isUserClick(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const POINT point = pointer_position();
        const SHORT state = key_state(VK_LBUTTON);
        return WindowFromPoint(point) == hwnd_of(hwnd) && state != 0;
    });
}

HRESULT Hardware::Mouse_isCursorOverControl(IDispatch** Control, LONG* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Hardware, L"Mouse_isCursorOverControl", ErrorNumber}, result, false, [&] {
        IDispatch* control = Control ? *Control : nullptr;
        Variant handle;
        if (control && late::try_get(control, L"hWnd", handle))
            return window_under_cursor() == hwnd_of(CLng(*handle.get()));
        if (!control) raise(err::ObjectNotSet);
        // A windowless control: its rectangle in the parent's scale, converted by
        // the parent into pixels and then onto the screen (both edges included).
        ComPtr<IDispatch> parent = late::object(*property(control, L"Parent").get());
        const Variant mode = property(parent.get(), L"ScaleMode");
        const Variant pixels(3L);
        auto scaled = [&](const wchar_t* axis, double value) {
            return CLng(*late::get(parent.get(), axis, {Variant(value), mode, pixels}).get());
        };
        HWND window = hwnd_of(CLng(*property(parent.get(), L"hWnd").get()));
        const double left = CDbl(*property(control, L"Left").get()), top = CDbl(*property(control, L"Top").get());
        const double width = CDbl(*property(control, L"Width").get());
        const double height = CDbl(*property(control, L"Height").get());
        POINT corner[2] = {{scaled(L"ScaleX", left), scaled(L"ScaleY", top)},
                           {scaled(L"ScaleX", left + width), scaled(L"ScaleY", top + height)}};
        ClientToScreen(window, &corner[0]);
        ClientToScreen(window, &corner[1]);
        const POINT point = pointer_position();
        return point.x >= corner[0].x && point.x <= corner[1].x && point.y >= corner[0].y && point.y <= corner[1].y;
    });
}

// The default argument unblocks.
HRESULT Hardware::Mouse_BlockUserInput(VARIANT_BOOL* BlockUserInput, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return BlockInput(flag_or(BlockUserInput, false) ? TRUE : FALSE) != FALSE; });
}

HRESULT Hardware::Mouse_ButtonCount(long* result) {
    return untrapped(result, [] { return static_cast<long>(GetSystemMetrics(SM_CMOUSEBUTTONS)); });
}

// The runtime's button constants: 1 while the buttons are swapped, 2 otherwise.
HRESULT Hardware::Mouse_Button(long* result) {
    return untrapped(result, [] { return GetSystemMetrics(SM_SWAPBUTTON) != 0 ? 1L : 2L; });
}

// Moves the cursor to the window's centre (halves rounded to even); True when it moved.
HRESULT Hardware::Mouse_Center(long hwnd, IDispatch** ctrl, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Hardware, L"Mouse_Center", ErrorNumber}, result, false, [&] {
        HWND window = hwnd ? hwnd_of(hwnd) : handle_of(ctrl ? *ctrl : nullptr);
        RECT rect{};
        GetWindowRect(window, &rect);
        const long x = CLng(rect.left + (rect.right - rect.left) / 2.0);
        const long y = CLng(rect.top + (rect.bottom - rect.top) / 2.0);
        return SetCursorPos(x, y) != FALSE;
    });
}

// Confines the cursor to the window's rectangle, or ends the confinement. A
// window that cannot be measured confines nothing.
HRESULT Hardware::Mouse_ClipCursor(long* hwnd, VARIANT_BOOL* UnClip, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Hardware, L"Mouse_ClipCursor"}, result, false, [&] {
        if (flag_or(UnClip, false)) return ClipCursor(nullptr) != FALSE;
        RECT rect{};
        if (!GetWindowRect(hwnd_of(arg_or<long>(hwnd, 0)), &rect)) return false;
        return ClipCursor(&rect) != FALSE;
    });
}

// Whether the cursor moved since this instance's previous call; the first call
// (and any while the cursor rests at 0,0) compares two readings a moment apart.
HRESULT Hardware::Mouse_isMoving(VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const POINT previous = last_.x == 0 && last_.y == 0 ? pointer_position() : last_;
        const POINT now = pointer_position();
        last_ = now;
        return now.x != previous.x || now.y != previous.y;
    });
}

HRESULT Hardware::Mouse_SwapButton(VARIANT_BOOL SwapButton) {
    return untrapped([&] { SwapMouseButton(SwapButton == VARIANT_TRUE ? TRUE : FALSE); });
}

}  // namespace qm
