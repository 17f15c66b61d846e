// Forms: what the user may do with a form: its size range, its title-bar buttons
// and its system menu.
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/limits.h"
#include "runtime/latebind.h"
#include "windows/forms.h"
#include "windows/subclass.h"
#include "windows/window_common.h"

namespace qm {

namespace {

long handle_of(VARIANT* frm) {
    bool is_object = false;
    return frm ? Get_hWnd(*frm, is_object) : 0;
}

}  // namespace

void Forms::set_style_bits(long handle, bool show, LONG_PTR bits) {
    HWND window = hwnd_of(handle);
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    SetWindowLongPtrW(window, GWL_STYLE, show ? style | bits : style & ~bits);
    Variant h(handle);
    check(Update(h.get()));
}

HRESULT Forms::Form_LimitSize(IDispatch** frm, SIZEPAR* SP) {
    return untrapped([&] {
        IDispatch* form = frm ? *frm : nullptr;
        if (!form || !late::is_form(form)) return;
        subclass::SizeLimits limits;
        if (SP) limits = {SP->xMin, SP->yMin, SP->xMax, SP->yMax};
        // The system would size the window to them: limits no window can have
        // are refused, and none is installed.
        forms::check_window(0, 0, limits.x_min, limits.y_min);
        forms::check_window(0, 0, limits.x_max, limits.y_max);
        subclass::limit_size(hwnd_of(CLng(*late::get(form, L"hWnd").get())), limits);
    });
}

HRESULT Forms::RemoveSystemmenu(VARIANT* frm, LONG* result) {
    if (!result) return E_POINTER;
    *result = 0;
    return trapped(Trap{Source::Forms, L"RemoveSystemmenu"}, [&] {
        long menu_handle = 0;
        check(shared<_Menu>()->Get_SystemMenuHwnd(handle_of(frm), &menu_handle));
        HMENU menu = reinterpret_cast<HMENU>(static_cast<LONG_PTR>(menu_handle));
        if (!menu) {
            *result = -1;
            return;
        }
        int count = GetMenuItemCount(menu);
        if (count == 0) {
            *result = -2;
            return;
        }
        for (int position = count - 1; position >= 0; --position) RemoveMenu(menu, position, MF_BYPOSITION);
    });
}

HRESULT Forms::MinMaxDeaktivat(VARIANT* frm) {
    return untrapped([&] {
        long handle = handle_of(frm);
        _Menu* menu = shared<_Menu>();
        VARIANT_BOOL system = VARIANT_TRUE, removed = VARIANT_FALSE;
        for (const wchar_t* caption : {L"Mi&nimieren", L"Ma&ximieren"})
            check(menu->Remove_MenuByCaption(handle, Bstr(caption).get(), &system, &removed));
        subclass::pass_through(hwnd_of(handle));
    });
}

HRESULT Forms::MinMaxShow(VARIANT* frm, VARIANT_BOOL ShowMinMax) {
    return untrapped([&] {
        long handle = handle_of(frm);
        set_style_bits(handle, ShowMinMax != VARIANT_FALSE, WS_MAXIMIZEBOX);
        set_style_bits(handle, ShowMinMax != VARIANT_FALSE, WS_MINIMIZEBOX);
    });
}

HRESULT Forms::CloseBox_Show(VARIANT* frm, VARIANT_BOOL ShowCloseBox) {
    return untrapped([&] { set_style_bits(handle_of(frm), ShowCloseBox != VARIANT_FALSE, WS_SYSMENU); });
}

// Only WS_BORDER: WS_DLGFRAME, the caption's other bit, stays.
HRESULT Forms::TitleBar_Show(VARIANT* frm, VARIANT_BOOL ShowTitleBar) {
    return untrapped([&] { set_style_bits(handle_of(frm), ShowTitleBar != VARIANT_FALSE, WS_BORDER); });
}

}  // namespace qm
