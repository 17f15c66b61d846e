// LB_CB: a combo box as a window: its drop-down list, alignment, keyboard
// interface, the length limit and text of its edit field, a check box inside
// the edit field.
#include <algorithm>

#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/limits.h"

namespace qm {

namespace {

// A box given as a control or a bare window handle.
HWND handle_of(const VARIANT& box) {
    bool is_object = false;
    return lbcb::hwnd_of(Get_hWnd(box, is_object));
}

// The combo box's edit field; none for the drop-down-list style.
HWND edit_of(HWND combo) { return combo ? FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr; }

long twips_to_pixels(double twips, float per_pixel) { return CLng(twips / per_pixel); }

}  // namespace

HRESULT LB_CB::CB_SetDropDownState(VARIANT ComboBox, VARIANT_BOOL isDropped, long* ErrorNumber,
                                   VARIANT_BOOL* result) {
    return trapped(Trap{Source::LB_CB, L"CB_SetDropDownState", ErrorNumber}, result, false, [&] {
        const WPARAM show = isDropped != VARIANT_FALSE ? 1 : 0;
        return send_bounded(handle_of(ComboBox), CB_SHOWDROPDOWN, show, 0).value_or(0) == 1;
    });
}

HRESULT LB_CB::CB_GetDropDownState(VARIANT ComboBox, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::LB_CB, L"CB_GetDropDownState", ErrorNumber}, result, false,
                   [&] { return send_bounded(handle_of(ComboBox), CB_GETDROPPEDSTATE, 0, 0).value_or(0) != 0; });
}

// True when the box took the width (it answers CB_ERR when it does not).
HRESULT LB_CB::CB_SetDropDownWidth(IDispatch* ComboBox, long NewWidth, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::LB_CB, L"CB_SetDropDownWidth", ErrorNumber}, result, false, [&] {
        const HWND box = lbcb::window_of(lbcb::box_of(ComboBox));
        // The list's window opens at least that wide: beyond a window's side it is
        // refused here (a negative width is the box's to refuse).
        if (NewWidth > forms::kMaxPixels) raise(err::InvalidPropertyValue);
        return send_bounded(box, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(NewWidth), 0).value_or(0) != CB_ERR;
    });
}

// The box's window height (which includes the drop-down list), at most half the
// screen's height.
HRESULT LB_CB::CB_SetDropDownHeight(IDispatch* ComboBox, long newHeight, long* result) {
    return trapped(Trap{Source::LB_CB, L"CB_SetDropDownHeight"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = lbcb::box_of(ComboBox);
        const float tx = forms::screen_twips_per_pixel_x(), ty = forms::screen_twips_per_pixel_y();
        const long half_screen = CLng(CLng(forms::screen_height() / ty) / 2.0);
        const long height = newHeight > half_screen ? half_screen : newHeight;
        const long left = twips_to_pixels(CDbl(*late::get(box, L"Left").get()), tx);
        const long top = twips_to_pixels(CDbl(*late::get(box, L"Top").get()), ty);
        const long width = twips_to_pixels(CDbl(*late::get(box, L"Width").get()), tx);
        // The system takes a negative height as none; any other place or size
        // beyond a window's is refused before the window moves.
        forms::check_window(left, top, width, std::max(height, 0L));
        MoveWindow(lbcb::window_of(box), left, top, width, std::max(height, 0L), TRUE);
        return 0L;
    });
}

// Text alignment of the drop-down list: right or left (other values change nothing).
HRESULT LB_CB::CB_SetAlignment(IDispatch* ComboBox, cbALIGMENT Alignment, long* result) {
    return trapped(Trap{Source::LB_CB, L"CB_SetAlignment"}, result, ErrorNumberResult{}, [&] {
        COMBOBOXINFO info{sizeof(info)};
        if (!GetComboBoxInfo(lbcb::window_of(lbcb::box_of(ComboBox)), &info) || !info.hwndList) return 0L;
        LONG style = GetWindowLongW(info.hwndList, GWL_EXSTYLE);
        if (Alignment == alRIGHT)
            style |= WS_EX_RIGHT;
        else if (Alignment == alLEFT)
            style &= ~WS_EX_RIGHT;
        SetWindowLongW(info.hwndList, GWL_EXSTYLE, style);
        return 0L;
    });
}

// With the extended interface F4 no longer opens the list (the down arrow does).
HRESULT LB_CB::CB_DeniedF4(VARIANT ComboBox, VARIANT_BOOL DeniedF4, long* result) {
    return trapped(Trap{Source::LB_CB, L"CB_DeniedF4"}, result, ErrorNumberResult{}, [&] {
        send_bounded(handle_of(ComboBox), CB_SETEXTENDEDUI, DeniedF4 != VARIANT_FALSE ? 1 : 0, 0);
        return 0L;
    });
}

HRESULT LB_CB::CB_GetEditHwnd(VARIANT ComboBox, long* result) {
    return untrapped(result, [&] {
        return static_cast<long>(reinterpret_cast<LONG_PTR>(edit_of(handle_of(ComboBox))));
    });
}

HRESULT LB_CB::CB_LimitEditText(VARIANT ComboBox, long Textlenght, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        return send_bounded(handle_of(ComboBox), CB_LIMITTEXT, static_cast<WPARAM>(Textlenght), 0).value_or(0) == 1;
    });
}

// Limits the edit field to MaxLenght characters (0: no limit) and cuts the text
// shown to that length, the caret after it. A negative length is refused (5)
// before anything changes; a box without an edit field is left alone.
HRESULT LB_CB::CB_MaxLength(IDispatch* ComboBox, long MaxLenght, long* result) {
    return trapped(Trap{Source::LB_CB, L"CB_MaxLength"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = lbcb::box_of(ComboBox);
        if (MaxLenght < 0) raise(err::InvalidCall);
        const HWND edit = edit_of(lbcb::window_of(box));
        if (!edit) return 0L;
        std::wstring kept = CStr(*late::get(box, L"Text").get());
        late::put(box, L"Text", Variant(L""));
        send_bounded(edit, EM_LIMITTEXT, static_cast<WPARAM>(MaxLenght), 0);
        if (!kept.empty()) {
            if (MaxLenght > 0 && kept.size() > static_cast<size_t>(MaxLenght)) kept.resize(static_cast<size_t>(MaxLenght));
            late::put(box, L"Text", Variant(kept));
            late::put(box, L"SelStart", Variant(static_cast<long>(kept.size())));
        }
        return 0L;
    });
}

HRESULT LB_CB::CB_SetText(VARIANT ComboBox, BSTR Text, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::LB_CB, L"CB_SetText", ErrorNumber}, result, false, [&] {
        const HWND edit = edit_of(handle_of(ComboBox));
        if (!edit) return false;
        VARIANT_BOOL done = VARIANT_FALSE;
        check(shared<_Window>()->Set_Text(static_cast<long>(reinterpret_cast<LONG_PTR>(edit)), Text, &done));
        return done != VARIANT_FALSE;
    });
}

// Puts a check box of the forms runtime over the left end of a combo box's edit
// field; typed text starts to its right.
HRESULT LB_CB::CB_SetCheckBoxToEditBox(IDispatch* ComboBox, IDispatch* CheckBox, long* ErrorNumber,
                                       VARIANT_BOOL* result) {
    return trapped(Trap{Source::LB_CB, L"CB_SetCheckBoxToEditBox", ErrorNumber}, result, false, [&] {
        IDispatch* combo = lbcb::box_of(ComboBox);
        IDispatch* check_box = lbcb::box_of(CheckBox);
        if (!late::is_combo_box(combo) || !late::is_type(check_box, L"CheckBox")) return false;
        const HWND edit = edit_of(lbcb::window_of(combo));
        if (!edit) return false;
        const long p = CLng(forms::screen_twips_per_pixel_x());
        const double check_width = CDbl(*late::get(check_box, L"Width").get());
        const long margin = CLng(check_width / p + 4);
        send_bounded(edit, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(margin, 0));
        late::put(check_box, L"BackColor", late::get(combo, L"BackColor"));
        const double left = CDbl(*late::get(combo, L"Left").get()) + 4.0 * p;
        const double top = CDbl(*late::get(combo, L"Top").get()) + 2.0 * p;
        const double height = CDbl(*late::get(combo, L"Height").get()) - 4.0 * p;
        late::call(check_box, L"Move", {Variant(left), Variant(top), Variant(check_width), Variant(height)});
        late::call(check_box, L"ZOrder", {Variant(0L)});
        return true;
    });
}

}  // namespace qm
