// Controls: the size of a control's text, controls sized to their text, centred
// on a form or another control, seated in a status-bar panel, and pictures of
// controls.
#include <windows.h>
#include <commctrl.h>
#include <olectl.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "controls/controls.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/limits.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

HWND hwnd_from(const VARIANT& v) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(v))); }
HWND hwnd_of(IDispatch* control) { return hwnd_from(late::get(control, L"hWnd")); }

// The extent of a window's whole text in the window's own font; 0 x 0 for no text.
CONTROLDIMENSIONS text_size(HWND h) {
    CONTROLDIMENSIONS size{};
    const int length = GetWindowTextLengthW(h);
    if (length <= 0) return size;
    std::wstring text(static_cast<size_t>(length), L'\0');
    text.resize(static_cast<size_t>(std::max(GetWindowTextW(h, text.data(), length + 1), 0)));
    if (text.empty()) return size;
    const HDC dc = GetDC(h);
    if (!dc) return size;
    const auto font = reinterpret_cast<HFONT>(send_bounded(h, WM_GETFONT).value_or(0));
    const HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    SIZE extent{};
    if (GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent))
        size.Height = extent.cy, size.Width = extent.cx;
    if (previous) SelectObject(dc, previous);
    ReleaseDC(h, dc);
    return size;
}

}  // namespace

// Measured in the font that the parent's device context holds now.
HRESULT Controls::Label_GetTextDimensions(IDispatch** Label, CONTROLDIMENSIONS* Dimension, long* result) {
    return trapped(Trap{Source::Controls, L"Label_GetTextDimensions"}, result, ErrorNumberResult{}, [&] {
        IDispatch* label = object_arg(Label);
        if (!Dimension) raise(err::InvalidCall);
        const std::wstring caption = CStr(late::get(label, L"Caption"));
        ComPtr<IDispatch> parent = late::object(late::get(label, L"Parent"));
        const auto dc = reinterpret_cast<HDC>(hwnd_from(late::get(parent.get(), L"hDC")));
        RECT r{};
        DrawTextW(dc, caption.c_str(), -1, &r, DT_CALCRECT);
        Dimension->Height = r.bottom;
        Dimension->Width = r.right;
        return 0L;
    });
}

HRESULT Controls::Control_GetTextSize(IDispatch** Control, long* ErrorNumber, CONTROLDIMENSIONS* result) {
    if (!result) return E_POINTER;
    *result = CONTROLDIMENSIONS{};
    return trapped(Trap{Source::Controls, L"Control_GetTextSize", ErrorNumber},
                   [&] { *result = text_size(hwnd_of(object_arg(Control))); });
}

// A control that cannot be measured keeps its size (the error is the result).
HRESULT Controls::Control_AutoSizeByText(IDispatch** Control, long* result) {
    return trapped(Trap{Source::Controls, L"Control_AutoSizeByText"}, result, ErrorNumberResult{}, [&] {
        IDispatch* control = object_arg(Control);
        const CONTROLDIMENSIONS size = text_size(hwnd_of(control));
        ComPtr<IDispatch> parent = late::object(late::get(control, L"Parent"));
        const Variant mode = late::get(parent.get(), L"ScaleMode");
        late::put(parent.get(), L"ScaleMode", Variant(3L));
        try {
            // Both sides or neither: a size the control cannot take changes nothing.
            Check_Placement(control, Placement{.width = static_cast<double>(size.Width),
                                               .height = static_cast<double>(size.Height)});
            late::put(control, L"Height", Variant(size.Height));
            late::put(control, L"Width", Variant(size.Width));
        } catch (...) {
            late::try_put(parent.get(), L"ScaleMode", mode);
            throw;
        }
        late::put(parent.get(), L"ScaleMode", mode);
        late::call(control, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Controls::Control_SetToStatusBar(long hwnd, IDispatch** StatusBar, long Panel, long XPos, long YPos,
                                         long* result) {
    return trapped(Trap{Source::Controls, L"Control_SetToStatusBar"}, result, ErrorNumberResult{}, [&] {
        const HWND bar = hwnd_of(object_arg(StatusBar));
        const double x = std::round(XPos / forms::screen_twips_per_pixel_x());
        const double y = std::round(YPos / forms::screen_twips_per_pixel_y());
        RECT r{};
        // A panel the bar does not have has no place to go.
        if (!SendMessageW(bar, SB_GETRECT, static_cast<WPARAM>(Panel - 1), reinterpret_cast<LPARAM>(&r)))
            raise(err::InvalidPropertyValue);
        // The window's place in the panel; the system takes a negative side as 0.
        const double left = r.left + x + 1, top = r.top + y + 1;
        const double width = std::max(0.0, (r.right - r.left) - x - 1);
        const double height = std::max(0.0, (r.bottom - r.top) - y - 1);
        forms::check_window(left, top, width, height);  // before the window changes its parent
        VARIANT_BOOL done = VARIANT_FALSE;
        check(shared<_Window>()->Set_Parent(hwnd, static_cast<long>(reinterpret_cast<LONG_PTR>(bar)), &done));
        const HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd));
        if (answers(window))
            MoveWindow(window, static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                       static_cast<int>(height), TRUE);
        return 0L;
    });
}

HRESULT Controls::Control_SnapShot(IDispatch** Control, long* ErrorNumber, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return trapped(Trap{Source::Controls, L"Control_SnapShot", ErrorNumber}, [&] {
        const long h = CLng(late::get(object_arg(Control), L"hWnd"));
        long number = 0;
        ComPtr<IPictureDisp> picture;
        check(shared<_Window>()->SnapShot(h, &number, picture.put()));
        if (ErrorNumber) *ErrorNumber = number;
        if (number == 0) *result = picture.detach();
    });
}

// The form's outer size, as its Width and Height give it.
HRESULT Controls::Control_CenterOnForm(IDispatch** Control, IDispatch** Form, long* result) {
    return trapped(Trap{Source::Controls, L"Control_CenterOnForm"}, result, ErrorNumberResult{}, [&] {
        IDispatch* control = object_arg(Control);
        IDispatch* form = object_arg(Form);
        const double left = CDbl(late::get(form, L"Width")) / 2 - CDbl(late::get(control, L"Width")) / 2;
        const double top = CDbl(late::get(form, L"Height")) / 2 - CDbl(late::get(control, L"Height")) / 2;
        Check_Placement(control, Placement{.left = left, .top = top});  // both or neither
        late::put(control, L"Left", Variant(left));
        late::put(control, L"Top", Variant(top));
        late::call(control, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Controls::Control_CenterOnControl(IDispatch** Control1, IDispatch** Control2, long* result) {
    return trapped(Trap{Source::Controls, L"Control_CenterOnControl"}, result, ErrorNumberResult{}, [&] {
        IDispatch* moving = object_arg(Control1);
        IDispatch* fixed = object_arg(Control2);
        const double left = CDbl(late::get(fixed, L"Left")) + CDbl(late::get(fixed, L"Width")) / 2 -
                            CDbl(late::get(moving, L"Width")) / 2;
        const double top = CDbl(late::get(fixed, L"Top")) + CDbl(late::get(fixed, L"Height")) / 2 -
                           CDbl(late::get(moving, L"Height")) / 2;
        Check_Placement(moving, Placement{.left = left, .top = top});  // both or neither
        late::put(moving, L"Left", Variant(left));
        late::put(moving, L"Top", Variant(top));
        late::call(moving, L"ZOrder");
        forms::do_events();
        return 0L;
    });
}

}  // namespace qm
