// Controls: a control's window cut to the pixels that differ from its
// background, button alignment bits, swapped pictures, another parent form,
// copied sizes, scroll bars, the web browser's print commands and emptying the
// clipboard.
#include <windows.h>
#include <olectl.h>

#include "controls/controls.h"
#include "controls/controls_region.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

long lng(const Variant& v) { return CLng(*v.get()); }
HWND as_hwnd(long h) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(h)); }
HWND hwnd_of(IDispatch* control) { return as_hwnd(lng(late::get(control, L"hWnd"))); }

// A COLORREF (0x00BBGGRR) as a 32-bit DIB pixel (0x00RRGGBB).
DWORD dib_key(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

void exec_wb(IDispatch** browser, short command, short option) {
    late::call(object_arg(browser), L"ExecWB", {Variant(command), Variant(option)});
}

}  // namespace

// --- the transparent region ----------------------------------------------------------

// The window's pixels as the screen shows them, through the window's own device
// context so that they line up with window (region) coordinates. Nothing when
// no surface could be made.
HRGN Create_TransparentRegion(HWND hwnd, long height, long width, COLORREF colour) {
    const long w = width > 0 ? width : 0, h = height > 0 ? height : 0;
    if (w == 0 || h == 0) return CreateRectRgn(0, 0, 0, 0);
    HDC window_dc = GetWindowDC(hwnd);
    if (!window_dc) return nullptr;
    HRGN region = region_of_pixels(window_dc, w, h, dib_key(colour));
    ReleaseDC(hwnd, window_dc);
    return region;
}

// --- members -----------------------------------------------------------------------------

// Errors are skipped step by step: any failure leaves False and the control's shape.
HRESULT Controls::Control_MakeTransparent(IDispatch** Control, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    IDispatch* control = Control ? *Control : nullptr;
    if (!control) return S_OK;
    Variant handle;
    if (!late::try_get(control, L"hWnd", handle)) return S_OK;
    long h = 0;
    if (!late::skipping_errors([&] { h = lng(handle); }) || h == 0) return S_OK;
    const HWND hwnd = as_hwnd(h);
    RECT r{};
    GetWindowRect(hwnd, &r);
    const long height = r.bottom - r.top, width = r.right - r.left;
    if (height < 1 && width < 1) return S_OK;
    OLE_COLOR back = 0;
    Variant back_colour;
    if (late::try_get(control, L"BackColor", back_colour))
        late::skipping_errors([&] { back = static_cast<OLE_COLOR>(lng(back_colour)); });
    COLORREF colour = 0;
    OleTranslateColor(back, nullptr, &colour);
    HRGN region = Create_TransparentRegion(hwnd, height, width, colour);
    if (!region) return S_OK;
    if (SetWindowRgn(hwnd, region, TRUE)) {
        // The window owns the region from now on.
        if (RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE)) *result = VARIANT_TRUE;
    } else {
        DeleteObject(region);
    }
    return S_OK;
}

// The bits are only added: crLEFT on a crRIGTH button reads as crCENTER.
HRESULT Controls::Control_SetAlignment(VARIANT* Control, ALIGMENT* Alignment, long* result) {
    return trapped(Trap{Source::Controls, L"Control_SetAlignment"}, result, ErrorNumberResult{}, [&] {
        if (!Control || !Alignment) raise(err::InvalidCall);
        bool is_object = false;
        const HWND hwnd = as_hwnd(Get_hWnd(*Control, is_object));
        const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        SetWindowLongW(hwnd, GWL_STYLE, style | static_cast<LONG>(*Alignment));
        if (is_object) late::call(late::object(*Control).get(), L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Controls::PictureBox_SwapPicture(IDispatch** PictureBox1, IDispatch** PictureBox2, long* result) {
    return trapped(Trap{Source::Controls, L"PictureBox_SwapPicture"}, result, ErrorNumberResult{}, [&] {
        IDispatch* first = object_arg(PictureBox1);
        IDispatch* second = object_arg(PictureBox2);
        const Variant kept = late::get(first, L"Picture");
        const Variant other = late::get(second, L"Picture");
        late::put_ref(first, L"Picture", V_VT(other.get()) == VT_DISPATCH ? V_DISPATCH(other.get()) : nullptr);
        late::put_ref(second, L"Picture", V_VT(kept.get()) == VT_DISPATCH ? V_DISPATCH(kept.get()) : nullptr);
        late::call(first, L"Refresh");
        late::call(second, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Controls::Control_SetToForm(IDispatch** Control, IDispatch** NewForm, long* result) {
    return trapped(Trap{Source::Controls, L"Control_SetToForm"}, result, ErrorNumberResult{}, [&] {
        const long child = lng(late::get(object_arg(Control), L"hWnd"));
        const long parent = lng(late::get(object_arg(NewForm), L"hWnd"));
        VARIANT_BOOL previous = VARIANT_FALSE;
        check(shared<_Window>()->Set_Parent(child, parent, &previous));
        return 0L;
    });
}

HRESULT Controls::Control_DuplicateSize(IDispatch** Control1, IDispatch** Control2, long* result) {
    return trapped(Trap{Source::Controls, L"Control_DuplicateSize"}, result, ErrorNumberResult{}, [&] {
        IDispatch* target = object_arg(Control1);
        IDispatch* model = object_arg(Control2);
        const Variant width = late::get(model, L"Width"), height = late::get(model, L"Height");
        // Both sides or neither.
        Check_Placement(target, Placement{.width = CDbl(*width.get()), .height = CDbl(*height.get())});
        late::put(target, L"Width", width);
        late::put(target, L"Height", height);
        late::call(target, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Controls::Control_SetScrollBar(IDispatch** Control, ControlDirection* ScrollBar, VARIANT_BOOL Visible,
                                       long* result) {
    return trapped(Trap{Source::Controls, L"Control_SetScrollBar"}, result, ErrorNumberResult{}, [&] {
        const HWND hwnd = hwnd_of(object_arg(Control));
        ShowScrollBar(hwnd, ScrollBar ? static_cast<int>(*ScrollBar) : 0, Visible ? -1 : 0);
        return 0L;
    });
}

HRESULT Controls::WebBrowser_Print(IDispatch** WebBrowser, long* result) {
    return trapped(Trap{Source::Controls, L"WebBrowser_Print"}, result, ErrorNumberResult{}, [&] {
        exec_wb(WebBrowser, 6, 2);  // print, without asking the user
        return 0L;
    });
}

HRESULT Controls::WebBrowser_PrinterPageSetup(IDispatch** WebBrowser, long* result) {
    return trapped(Trap{Source::Controls, L"WebBrowser_PrinterPageSetup"}, result, ErrorNumberResult{}, [&] {
        exec_wb(WebBrowser, 8, 0);  // page setup, the default way
        return 0L;
    });
}

// Another program holding the clipboard leaves it as it is.
HRESULT Controls::Clipboard_Clear() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    return S_OK;
}

}  // namespace qm
