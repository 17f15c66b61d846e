// Forms: which standard buttons a form's title bar shows.
#include "frame/procedures.h"
#include "runtime/contract.h"
#include "windows/forms.h"
#include "windows/window_common.h"

namespace qm {

HRESULT Forms::StandardButton(VARIANT* frm, STANDARDBUTTONINFO* result) {
    if (!result) return E_POINTER;
    *result = STANDARDBUTTONINFO{};
    return untrapped([&] {
        bool is_object = false;
        HWND window = hwnd_of(frm ? Get_hWnd(*frm, is_object) : 0);
        // An invalid handle reads as no style at all: three False.
        LONG_PTR style = window ? GetWindowLongPtrW(window, GWL_STYLE) : 0;
        auto has = [&](LONG_PTR bit) { return (style & bit) ? VARIANT_TRUE : VARIANT_FALSE; };
        *result = STANDARDBUTTONINFO{has(WS_SYSMENU), has(WS_MAXIMIZEBOX), has(WS_MINIMIZEBOX)};
    });
}

}  // namespace qm
