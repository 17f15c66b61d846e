// Forms: title-bar buttons, system-menu items and the stored position of a form.
#include <string>

#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "windows/forms.h"
#include "windows/menu.h"
#include "windows/window_common.h"

namespace qm {

namespace {

// The system-menu captions of the German system, compared exactly.
constexpr const wchar_t* kClose = L"&Schließen\tAlt+F4";
constexpr const wchar_t* kCloseShort = L"&Schließen";
constexpr const wchar_t* kMinimize = L"Mi&nimieren";
constexpr const wchar_t* kMaximize = L"Ma&ximieren";
constexpr const wchar_t* kMove = L"&Verschieben";

constexpr const wchar_t* kPositionKeys[] = {L"Left", L"Top", L"Width", L"Height"};

IDispatch* form_of(IDispatch** form) {
    if (!form || !*form) raise(err::ObjectNotSet);
    return *form;
}

bool remove_system_item(HWND window, const wchar_t* caption) {
    MenuItemHit hit = find_menu_item(window, caption, true);
    return hit.found &&
           RemoveMenu(reinterpret_cast<HMENU>(static_cast<LONG_PTR>(hit.info.mHwnd)), hit.info.Position,
                      MF_BYPOSITION) != FALSE;
}

std::wstring form_name(IDispatch* form) { return CStr(*late::get(form, L"Name").get()); }

}  // namespace

HRESULT Forms::CloseBox_Deaktivate(VARIANT* Form, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        bool is_object = false;
        long handle = Form ? Get_hWnd(*Form, is_object) : 0;
        HWND window = hwnd_of(handle);
        if (!GetSystemMenu(window, FALSE)) return false;
        MenuItemHit hit = find_menu_item(window, kClose, true);
        if (!hit.found) hit = find_menu_item(window, kCloseShort, true);
        if (hit.found)
            RemoveMenu(reinterpret_cast<HMENU>(static_cast<LONG_PTR>(hit.info.mHwnd)), hit.info.Position,
                       MF_BYPOSITION | MF_REMOVE);
        DrawMenuBar(window);
        Variant h(handle);
        check(Update(h.get()));
        // True also when no close item was found (a system menu of other captions).
        return true;
    });
}

HRESULT Forms::Form(IDispatch* sForm, SystemButtons* But, VARIANT_BOOL* Enable, LONG* result) {
    return trapped(Trap{Source::Forms, L"Form"}, result, ErrorNumberResult{}, [&] {
        if (!sForm) raise(err::ObjectNotSet);
        bool enable = flag_or(Enable, true);
        long button = But ? *But : -1;
        LONG_PTR bit = 0;
        const wchar_t* caption = nullptr;
        switch (button) {
        case sbCLOSEBOX: {
            // Only removing is possible: the close item cannot be given back.
            if (enable) return 0L;
            Variant target(static_cast<IDispatch*>(sForm));
            VARIANT_BOOL done = VARIANT_FALSE;
            check(CloseBox_Deaktivate(target.get(), &done));
            return 0L;
        }
        case sbMINIMIZEBOX: bit = WS_MINIMIZEBOX, caption = kMinimize; break;
        case sbMAXIMIZEBOX: bit = WS_MAXIMIZEBOX, caption = kMaximize; break;
        case sbRESIZEABLE: bit = WS_THICKFRAME; break;
        case sbBORDER: bit = WS_CAPTION; break;
        case sbCONTROLBOX: bit = WS_SYSMENU; break;
        case sbSHOWINTASKBAR: {
            HWND window = hwnd_of(CLng(*late::get(sForm, L"hwnd").get()));
            Variant visible = late::get(sForm, L"Visible");
            late::put(sForm, L"Visible", Variant(false));
            LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
            SetWindowLongPtrW(window, GWL_EXSTYLE, enable ? style | WS_EX_APPWINDOW : style & ~WS_EX_APPWINDOW);
            late::call(sForm, L"Refresh");
            late::put(sForm, L"Visible", visible);
            return 0L;
        }
        case sbMOVEABLE:
            if (enable) return 0L;
            return remove_system_item(hwnd_of(CLng(*late::get(sForm, L"hwnd").get())), kMove) ? -1L : 0L;
        default: return 0L;
        }
        HWND window = hwnd_of(CLng(*late::get(sForm, L"hwnd").get()));
        LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        SetWindowLongPtrW(window, GWL_STYLE, enable ? style | bit : style & ~bit);
        // Disabling also takes the button's item out of the system menu.
        long r = caption && !enable && remove_system_item(window, caption) ? -1L : 0L;
        Variant target(static_cast<IDispatch*>(sForm));
        check(Update(target.get()));
        return r;
    });
}

HRESULT Forms::FormPos_Save(IDispatch** Form, BSTR* INIpath, LONG* result) {
    return trapped(Trap{Source::Forms, L"FormPos_Save"}, result, ErrorNumberResult{}, [&] {
        IDispatch* form = form_of(Form);
        Bstr path = Bstr::copy(INIpath ? *INIpath : nullptr), section(form_name(form));
        _INI* ini = shared<_INI>();
        for (const wchar_t* key : kPositionKeys) {
            Bstr value(CStr(*late::get(form, key).get()));
            VARIANT_BOOL done = VARIANT_FALSE;
            check(ini->Write_INI(path.get(), section.get(), Bstr(key).get(), value.get(), nullptr, &done));
        }
        return 0L;
    });
}

HRESULT Forms::FormPos_Load(IDispatch** Form, BSTR* INIpath, LONG* result) {
    return trapped(Trap{Source::Forms, L"FormPos_Load"}, result, ErrorNumberResult{}, [&] {
        IDispatch* form = form_of(Form);
        Bstr path = Bstr::copy(INIpath ? *INIpath : nullptr), section(form_name(form));
        _INI* ini = shared<_INI>();
        for (const wchar_t* key : kPositionKeys) {
            BSTR text = nullptr;
            check(ini->Read_INI(path.get(), section.get(), Bstr(key).get(), nullptr, &text));
            Variant value;
            V_VT(value.get()) = VT_BSTR;
            V_BSTR(value.get()) = text ? text : SysAllocString(L"");
            // A missing key reads as "", which no number converts from (13): the load stops there.
            late::put(form, key, value);
        }
        return 0L;
    });
}

}  // namespace qm
