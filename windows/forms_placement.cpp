// Forms: keeping a form on top, placing it, dragging it, its frame, cursor and theme.
#include <cmath>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "runtime/input.h"
#include "runtime/wmi.h"
#include "frame/procedures.h"
#include "windows/window_common.h"
#include "windows/forms.h"

namespace qm {

namespace {

IDispatch* form_of(IDispatch** form) {
    if (!form || !*form) raise(err::ObjectNotSet);
    return *form;
}

// The top of the taskbar when it lies at the bottom of the screen (the bottom of
// the work area), in screen pixels.
long work_area_bottom() {
    RECT area{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return GetSystemMetrics(SM_CYSCREEN);
    return area.bottom;
}

}  // namespace

HRESULT Forms::StayOnTop(IDispatch** Form, LONG* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Forms, L"StayOnTop", ErrorNumber}, result, false, [&] {
        long hwnd = CLng(*late::get(form_of(Form), L"hwnd").get());
        VARIANT_BOOL remove = VARIANT_FALSE, on_top = VARIANT_FALSE;
        check(shared<_Window>()->StayOnTop(hwnd, &remove, &on_top));
        return on_top != VARIANT_FALSE;
    });
}

HRESULT Forms::Center(IDispatch** Form, cCenterInfo* CenterWhere, LONG* result) {
    return trapped(Trap{Source::Forms, L"Center"}, result, ErrorNumberResult{}, [&] {
        long where = CenterWhere ? *CenterWhere : 0;
        if (where < ccTOP || where > ccRIGHT) return 0L;
        IDispatch* form = form_of(Form);
        double width = CDbl(*late::get(form, L"Width").get());
        double height = CDbl(*late::get(form, L"Height").get());
        double screen_w = forms::screen_width(), screen_h = forms::screen_height();

        double top = screen_h / 2 - height / 2;
        double left = screen_w / 2 - width / 2;
        switch (where) {
        case ccTOP: top = 0; break;
        case ccBOTTOM:  // the form's bottom edge on the taskbar
            top = work_area_bottom() * forms::screen_twips_per_pixel_y() - height;
            break;
        case ccLEFT: left = 0; break;
        case ccRIGHT: left = screen_w - width; break;
        default: break;
        }
        late::put(form, L"Left", Variant(static_cast<long>(std::nearbyint(left))));
        late::put(form, L"Top", Variant(static_cast<long>(std::nearbyint(top))));
        late::call(form, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Forms::FormMove(IDispatch** Form, LONG* result) {
    return trapped(Trap{Source::Forms, L"FormMove"}, result, ErrorNumberResult{}, [&] {
        HWND window = hwnd_of(CLng(*late::get(form_of(Form), L"hwnd").get()));
        // The caption drag starts where the pointer is now, so the form follows
        // the pointer's movement from there.
        const POINT at = pointer_position();
        ReleaseCapture();
        send_bounded(window, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(at.x, at.y));
        return 0L;
    });
}

HRESULT Forms::Update(VARIANT* Form) {
    return untrapped([&] {
        bool is_object = false;
        HWND window = hwnd_of(Form ? Get_hWnd(*Form, is_object) : 0);
        RECT r{};
        if (!GetWindowRect(window, &r)) return;
        // A child window's rectangle counts from its parent's client area.
        if (HWND parent = GetAncestor(window, GA_PARENT); parent && (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD))
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
    });
}

HRESULT Forms::IsModal(IDispatch** Form, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        IDispatch* form = form_of(Form);
        try {
            late::call(form, L"Show");
        } catch (const RuntimeError& e) {
            return e.number() == 401;
        }
        return false;
    });
}

HRESULT Forms::ShowSysMenu(IDispatch** Form, LONG* result) {
    return trapped(Trap{Source::Forms, L"ShowSysMenu"}, result, ErrorNumberResult{}, [&] {
        HWND window = hwnd_of(CLng(*late::get(form_of(Form), L"hwnd").get()));
        const POINT at = pointer_position();
        send_bounded(window, 0x313, 0, MAKELPARAM(at.x, at.y));  // the system menu at the pointer
        return 0L;
    });
}

HRESULT Forms::ShowAnimatedCursor(IDispatch** Form, BSTR CursorFile, LONG* result) {
    return trapped(Trap{Source::Forms, L"ShowAnimatedCursor"}, result, ErrorNumberResult{}, [&] {
        IDispatch* form = form_of(Form);
        std::wstring path(Bstr::view_of(CursorFile));
        HCURSOR cursor = path.empty() ? nullptr : LoadCursorFromFileW(path.c_str());
        if (!cursor) return 0L;  // a file that does not load changes nothing
        late::put(form, L"MousePointer", Variant(99L));
        HWND window = hwnd_of(CLng(*late::get(form, L"hwnd").get()));
        SetClassLongPtrW(window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
        return 0L;
    });
}

HRESULT Forms::Get_NonClientHeight(LONG* NormalWindow, LONG* ToolWindow) {
    if (NormalWindow) *NormalWindow = GetSystemMetrics(SM_CYCAPTION);
    if (ToolWindow) *ToolWindow = GetSystemMetrics(SM_CYSMCAPTION);
    return S_OK;
}

HRESULT Forms::Set_XPstyle(IDispatch** Form, VARIANT_BOOL* ApplyStyle, LONG* result) {
    return trapped(Trap{Source::Forms, L"Set_XPstyle"}, result, ErrorNumberResult{}, [&](Trap& trap) {
        IDispatch* form = form_of(Form);
        Variant name;
        if (late::try_get(form, L"Name", name)) trap.extra = CStr(*name.get());
        VARIANT_BOOL supported = VARIANT_FALSE;
        check(shared<_System>()->XPstyleSupported(&supported));
        if (!supported) return -1L;
        _Window* windows = shared<_Window>();
        long hwnd = CLng(*late::get(form, L"hwnd").get());
        VARIANT_BOOL apply = ApplyStyle ? *ApplyStyle : VARIANT_TRUE, done = VARIANT_FALSE;
        check(windows->Set_XPstyle(&hwnd, &apply, &done));
        // The controls always get the default theme; those without a window are skipped.
        for (const auto& control : wmi::items(form)) {
            Variant handle;
            if (!late::try_get(control.get(), L"hwnd", handle)) continue;
            try {
                long h = CLng(*handle.get());
                VARIANT_BOOL on = VARIANT_TRUE;
                windows->Set_XPstyle(&h, &on, &done);
            } catch (const RuntimeError&) {
            }
        }
        return 0L;
    });
}

}  // namespace qm
