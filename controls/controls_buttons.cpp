// Controls: the look of check boxes and option buttons, groups of them (control
// arrays), progress-bar colours, resizable controls and clicks.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "controls/controls.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

HWND hwnd_of(IDispatch* control) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(control, L"hWnd"))));
}

// A control array of the client's form: its bounds and its elements' values.
struct Group {
    IDispatch* array;
    long lower, upper;
    explicit Group(IDispatch* a)
        : array(a), lower(CLng(late::get(a, L"LBound"))), upper(CLng(late::get(a, L"UBound"))) {}
    ComPtr<IDispatch> item(long index) const { return late::object(late::get(array, L"Item", {Variant(index)})); }
    Variant value(long index) const { return late::get(item(index).get(), L"Value"); }
};

}  // namespace

HRESULT Controls::CheckBox_SetStyle(IDispatch** CheckBox, ::STYLE* Style, long* result) {
    return trapped(Trap{Source::Controls, L"CheckBox_SetStyle"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = object_arg(CheckBox);
        const HWND h = hwnd_of(box);
        LONG style = GetWindowLongW(h, GWL_STYLE);
        if (Style && *Style == crGRAFICSTYLE)
            style |= BS_PUSHLIKE;
        else
            style &= ~BS_PUSHLIKE;
        if (SetWindowLongW(h, GWL_STYLE, style) != 0) late::call(box, L"Refresh");
        return 0L;
    });
}

HRESULT Controls::OptionButton_SetStyle(IDispatch** OptionButton, ::STYLE Style, long* result) {
    return CheckBox_SetStyle(OptionButton, &Style, result);
}

HRESULT Controls::ProgressBar_SetColor(long hwnd, long ForeColor, long BackColor) {
    const HWND h = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd));
    SendMessageW(h, PBM_SETBARCOLOR, 0, ForeColor);
    SendMessageW(h, CCM_SETBKCOLOR, 0, BackColor);
    return S_OK;
}

// 0 both when no button is selected and when the first one (index 0) is.
HRESULT Controls::OptionButton_GetIndex(IDispatch** OptionButton, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Controls, L"OptionButton_GetIndex", ErrorNumber}, result, -2L, [&] {
        const Group group(object_arg(OptionButton));
        for (long i = group.lower; i <= group.upper; ++i)
            if (CBool(group.value(i))) return i;
        return 0L;
    });
}

HRESULT Controls::Control_AllowResize(IDispatch** Control, VARIANT_BOOL DeactivateResizing, long* result) {
    return trapped(Trap{Source::Controls, L"TextBox_AllowResize"}, result, ErrorNumberResult{}, [&] {
        IDispatch* control = object_arg(Control);
        const HWND h = hwnd_of(control);
        LONG style = GetWindowLongW(h, GWL_STYLE) | WS_THICKFRAME;
        if (DeactivateResizing != VARIANT_FALSE) style &= ~WS_THICKFRAME;
        SetWindowLongW(h, GWL_STYLE, style);
        const HWND parent = hwnd_of(late::object(late::get(control, L"Parent")).get());
        SetWindowPos(h, parent, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
        return 0L;
    });
}

HRESULT Controls::CheckBox_AsOptionButton(IDispatch** CheckBox, long Index, long* result) {
    return trapped(Trap{Source::Controls, L"CheckBox_AsOptionButton"}, result, ErrorNumberResult{}, [&] {
        const Group group(object_arg(CheckBox));
        if (CLng(group.value(Index)) == 0) return 0L;
        for (long i = group.lower; i <= group.upper; ++i)
            if (i != Index) late::put(group.item(i).get(), L"Value", Variant(0L));
        return 0L;
    });
}

// Bounds of the control array; 1 for a checked or greyed box.
HRESULT Controls::CheckBox_GetStatus(IDispatch** CheckBox, long* ErrorNumber, SAFEARRAY** result) {
    return trapped(Trap{Source::Controls, L"CheckBox_GetStatus", ErrorNumber}, result,
                   static_cast<SAFEARRAY*>(nullptr), [&] {
                       const Group group(object_arg(CheckBox));
                       SafeArray status(VT_I4, group.upper - group.lower + 1, group.lower);
                       for (long i = group.lower; i <= group.upper; ++i)
                           status.at<long>(i) = CLng(group.value(i)) != 0 ? 1 : 0;
                       return status.detach();
                   });
}

HRESULT Controls::CheckBox_GetSelected(IDispatch** CheckBox, long* ErrorNumber, SAFEARRAY** result) {
    return trapped(Trap{Source::Controls, L"CheckBox_GetSelected", ErrorNumber}, result,
                   static_cast<SAFEARRAY*>(nullptr), [&] {
                       const Group group(object_arg(CheckBox));
                       std::vector<long> checked;
                       for (long i = group.lower; i <= group.upper; ++i)
                           if (CLng(group.value(i)) != 0) checked.push_back(i);
                       return long_array(checked).detach();
                   });
}

HRESULT Controls::Control_Click(IDispatch** Control, long* result) {
    return trapped(Trap{Source::Controls, L"Control_Click"}, result, ErrorNumberResult{}, [&] {
        send_bounded(hwnd_of(object_arg(Control)), BM_CLICK);
        return 0L;
    });
}

}  // namespace qm
