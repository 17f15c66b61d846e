// Forms: keeping a form on top and placing it on the screen.
#include <cmath>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms.h"
#include "runtime/forms_globals.h"
#include "runtime/latebind.h"
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

}  // namespace qm
