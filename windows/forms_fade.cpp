// Forms: colour gradients over the client area of a form or picture box, fading
// a form's opacity and a scrolling caption.
#include <windows.h>

#include <exception>

#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/object.h"
#include "runtime/latebind.h"
#include "windows/forms.h"

namespace qm {

namespace {

RGBtype rgb_of(long colour) {
    RGBtype c{};
    check(shared<_Grafic>()->Convert_ColorToRGB(colour, &c));
    return c;
}

TRIVERTEX vertex(LONG x, LONG y, const RGBtype& c, short alpha) {
    return {x, y, static_cast<COLOR16>(c.R << 8), static_cast<COLOR16>(c.G << 8), static_cast<COLOR16>(c.B << 8),
            static_cast<COLOR16>(alpha)};
}

}  // namespace

// The gradient is drawn into the persistent image, so it stays as the
// background; the scale mode and AutoRedraw come back also after an error.
HRESULT Forms::Fade(IDispatch** Form, LONG FadeFromColor, LONG FadeToColor, short* Alpha, ControlDirection* Direction,
                    LONG* result) {
    return trapped(Trap{Source::Forms, L"Fade"}, result, ErrorNumberResult{}, [&] {
        if (!Form || !*Form) raise(err::ObjectNotSet);
        IDispatch* form = *Form;
        Variant mode, redraw;
        bool have_mode = false, have_redraw = false;
        std::exception_ptr failure;
        try {
            mode = late::get(form, L"ScaleMode");
            have_mode = true;
            redraw = late::get(form, L"AutoRedraw");
            have_redraw = true;
            late::put(form, L"ScaleMode", Variant(3L));
            late::put(form, L"AutoRedraw", Variant(true));
            const ULONG fill = Direction && *Direction == cdVertical ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V;
            const short alpha = Alpha ? *Alpha : 0;
            const RGBtype from = rgb_of(FadeFromColor), to = rgb_of(FadeToColor);
            const LONG width = CLng(*late::get(form, L"ScaleWidth").get());
            const LONG height = CLng(*late::get(form, L"ScaleHeight").get());
            const auto dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(CLng(*late::get(form, L"hDC").get())));
            TRIVERTEX corners[2] = {vertex(0, 0, from, alpha), vertex(width, height, to, alpha)};
            GRADIENT_RECT rect{0, 1};
            GradientFill(dc, corners, 2, &rect, 1, fill);
        } catch (...) {
            failure = std::current_exception();
        }
        late::skipping_errors([&] { late::call(form, L"Refresh"); });
        if (have_mode) late::skipping_errors([&] { late::put(form, L"ScaleMode", mode); });
        if (have_redraw) late::skipping_errors([&] { late::put(form, L"AutoRedraw", redraw); });
        forms::do_events();
        if (failure) std::rethrow_exception(failure);
        return 0L;
    });
}

// Two different random colours.
HRESULT Forms::Fade_Ranomized(IDispatch** Form, ControlDirection* Direction, LONG* result) {
    return trapped(Trap{Source::Forms, L"Fade_Ranomized"}, result, ErrorNumberResult{}, [&] {
        long first = 0, second = 0;
        do {
            check(shared<_Grafic>()->Get_RandomizedColor(&first));
            check(shared<_Grafic>()->Get_RandomizedColor(&second));
        } while (first == second);
        short alpha = 0;
        ControlDirection direction = Direction ? *Direction : cdHorizontal;
        long faded = 0;
        check(Fade(Form, first, second, &alpha, &direction, &faded));
        return faded;
    });
}

// The window's fade, with this member's own default speed.
HRESULT Forms::tFade(IDispatch** Form, BYTE FadeStart, BYTE FadeStop, VARIANT_BOOL* StartAtCurrentTransparenz,
                     short* FadeStep, short* Speed, LONG* result) {
    return trapped(Trap{Source::Forms, L"tFade_"}, result, ErrorNumberResult{}, [&] {
        if (!Form || !*Form) raise(err::ObjectNotSet);
        const long hwnd = CLng(*late::get(*Form, L"hWnd").get());
        // The caller's variables go on to the window's fade, which may turn the step.
        VARIANT_BOOL current = VARIANT_FALSE;
        short step = 5, speed = 10;
        check(shared<_Window>()->tFade(hwnd, FadeStart, FadeStop,
                                       StartAtCurrentTransparenz ? StartAtCurrentTransparenz : &current,
                                       FadeStep ? FadeStep : &step, Speed ? Speed : &speed));
        return 0L;
    });
}

// One worker, tagged "ScrollCaption", scrolls the captions of all forms on its
// timers after this call has returned.
HRESULT Forms::ScrollCaption(IDispatch** Form, LONG* Speed, LONG* result) {
    return trapped(Trap{Source::Forms, L"ScrollCaption"}, result, ErrorNumberResult{}, [&] {
        IDispatch* all = &forms::forms_collection();
        FormOption by = ffFormTag;
        VARIANT_BOOL exact = VARIANT_TRUE;
        long error = 0, index = -1;
        ComPtr<IDispatch> found;
        check(Find_Form(&all, Bstr(L"ScrollCaption").get(), &by, found.put(), &exact, &error, &index));
        ComPtr<IDispatch> worker = found;
        if (index == -1 || !found) {
            MyControls& shared_worker = myControls();
            shared_worker.load();
            shared_worker.set_tag(L"ScrollCaption");
            worker = ComPtr<IDispatch>(static_cast<IDispatch*>(&shared_worker));
        }
        VARIANT form;
        V_VT(&form) = VT_DISPATCH;
        V_DISPATCH(&form) = Form ? *Form : nullptr;
        const long number = CLng(*late::call(worker.get(), L"SetScrollCaption",
                                             {Variant(form), Variant(static_cast<long>(Speed ? *Speed : 1))})
                                      .get());
        if (number != 0) {
            // A worker that scrolls nothing does not stay.
            const long scrolling = CLng(*late::get(late::object(late::get(worker.get(), L"Timer_ScrollCaption")).get(),
                                                   L"UBound")
                                             .get());
            if (scrolling == 0)
                if (auto* w = dynamic_cast<forms::Form*>(forms::object_of(worker.get()))) w->unload();
            raise(number);
        }
        return 0L;
    });
}

}  // namespace qm
