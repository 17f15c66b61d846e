// Forms: a form as a whole animated, shaken, rolled open, made transparent,
// shown in or hidden from the taskbar and given a drop shadow.
#include <windows.h>

#include <exception>

#include "controls/controls.h"
#include "frame/mycontrols.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "runtime/random.h"
#include "windows/forms.h"
#include "windows/forms_effects.h"

namespace qm {

namespace {

long lng(const Variant& v) { return CLng(*v.get()); }
long hwnd_number(IDispatch* form) { return lng(late::get(form, L"hWnd")); }
HWND as_hwnd(long h) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(h)); }

long checked_delay(long speed) {
    const long long delay = static_cast<long long>(speed) * 100;
    if (delay < -2147483648LL || delay > 2147483647LL) raise(err::Overflow);
    return static_cast<long>(delay);
}

void move_to(IDispatch* form, double left, double top, double width, double height) {
    late::call(form, L"Move", {Variant(left), Variant(top), Variant(width), Variant(height)});
}

double screen_width() { return GetSystemMetrics(SM_CXSCREEN) * forms::screen_twips_per_pixel_x(); }
double screen_height() { return GetSystemMetrics(SM_CYSCREEN) * forms::screen_twips_per_pixel_y(); }

// Shrinks towards the top-left corner, 255 twips a step, moving before each
// reduction: the last move leaves each size below 255 twips.
void shrink(IDispatch* form, long width, long height, long delay) {
    long w = width, h = height;
    bool w_done = false, h_done = false;
    forms::do_events();
    while (!(w_done && h_done)) {
        move_to(form, CDbl(*late::get(form, L"Left").get()), CDbl(*late::get(form, L"Top").get()), w, h);
        Wait_DoEvents(delay);
        w -= 255;
        if (w < 0) w = 0, w_done = true;
        h -= 255;
        if (h < 0) h = 0, h_done = true;
    }
}

// Grows from nothing about the screen's centre up to the exact size.
void grow(IDispatch* form, long width, long height, long delay) {
    auto centred = [&](double w, double h) {
        const double x = (screen_width() - CDbl(*late::get(form, L"Width").get())) / 2;
        const double y = (screen_height() - CDbl(*late::get(form, L"Height").get())) / 2;
        move_to(form, x, y, w, h);
    };
    long w = 0, h = 0;
    late::put(form, L"Width", Variant(0L));
    late::put(form, L"Height", Variant(0L));
    centred(w, h);
    late::call(form, L"Show");
    forms::do_events();
    bool w_done = false, h_done = false;
    while (!(w_done && h_done)) {
        centred(w, h);
        Wait_DoEvents(delay);
        if (w <= width) w += 255;
        else w_done = true;
        if (h > height) h_done = true;
        else h += 255;
    }
    centred(width, height);
    forms::do_events();
}

}  // namespace

DWORD animate_flags(long type) {
    switch (type) {
    case anFADEIN: return 0x80000;
    case anLEFT_TO_RIGHT: return 0x40001;
    case anUPPERLEFT_TO_LOWERRIGHT: return 5;
    case anRIGHT_TO_LEFT: return 0x40002;
    case anUPERRIGHT_TO_LOWERLEFT: return 6;
    case anUP_TO_DOWN: return 0x40004;
    case anDOWN_TO_UP: return 0x40008;
    case anMIDDLE: return 0x10;
    case anFADEOUT: return 0x90000;
    default: return 0;
    }
}

HRESULT Forms::Animate(IDispatch** Form, ANIMETNFO* AniTyp, LONG* Speed, LONG* result) {
    return trapped(Trap{Source::Forms, L"Animate"}, result, ErrorNumberResult{}, [&] {
        if (!Form || !*Form) raise(err::ObjectNotSet);
        IDispatch* form = *Form;
        const Variant redraw = late::get(form, L"AutoRedraw");
        std::exception_ptr failure;
        try {
            late::put(form, L"AutoRedraw", Variant(true));
            const long type = AniTyp ? static_cast<long>(*AniTyp) : 0;
            const long delay = checked_delay(Speed ? *Speed : 5);
            if (type < 100) {
                AnimateWindow(as_hwnd(hwnd_number(form)), static_cast<DWORD>(delay), animate_flags(type));
                late::call(form, L"Refresh");
            } else {
                if (lng(late::get(form, L"WindowState")) == 2) {
                    late::put(form, L"WindowState", Variant(0L));
                    late::put(form, L"Width", Variant(screen_width()));
                    late::put(form, L"Height", Variant(screen_height()));
                }
                const long width = lng(late::get(form, L"Width")), height = lng(late::get(form, L"Height"));
                if (type == anGROW)
                    grow(form, width, height, delay);
                else
                    shrink(form, width, height, delay);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        late::skipping_errors([&] { late::put(form, L"AutoRedraw", redraw); });
        if (failure) std::rethrow_exception(failure);
        return 0L;
    });
}

// Random offsets of MilliSeconds / Amplitude twips, one every 10 ms; the last
// offset stays.
HRESULT Forms::ShakeForm(IDispatch** frm, LONG Amplitude, LONG MilliSeconds, LONG* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Forms, L"ShakeForm", ErrorNumber}, result, false, [&] {
        if (!frm || !*frm) raise(err::ObjectNotSet);
        IDispatch* form = *frm;
        const double timer = (GetTickCount() % 86400000) / 1000.0;
        Randomize(timer * timer);
        const Variant left = late::get(form, L"Left"), top = late::get(form, L"Top");
        for (long r = MilliSeconds; r >= 10; r -= 10) {
            late::put(form, L"Left", left);
            late::put(form, L"Top", top);
            if (Amplitude == 0) raise(err::DivisionByZero);
            const double d = CLng(static_cast<double>(r) / Amplitude);
            switch (static_cast<int>(Rnd() * 4 + 1)) {
            case 1: late::put(form, L"Top", Variant(CDbl(top) - d)); break;
            case 2: late::put(form, L"Top", Variant(CDbl(top) + d)); break;
            case 3: late::put(form, L"Left", Variant(CDbl(left) + d)); break;
            default: late::put(form, L"Left", Variant(CDbl(left) - d)); break;
            }
            const DWORD start = GetTickCount();
            while (GetTickCount() - start < 10) {
                forms::do_events();
                Sleep(1);
            }
        }
        return true;
    });
}

// A worker form per call grows the form on its timer, moving it up by half of
// what it grows; anything but a form of the forms engine ends here without a
// word, and so does an end the form could not reach.
HRESULT Forms::Roll2(IDispatch** frm, LONG FormEndHeight) {
    try {
        IDispatch* form = frm ? *frm : nullptr;
        if (!form || !late::is_form(form)) return S_OK;
        const double height = CDbl(*late::get(form, L"Height").get());
        Placement end{.height = static_cast<double>(FormEndHeight)};
        if (height < FormEndHeight) end.top = CDbl(*late::get(form, L"Top").get()) - (FormEndHeight - height) / 2;
        Check_Placement(form, end);
        ComPtr<MyControls> worker = forms::make<MyControls>();
        worker->load();
        worker->set_tag(L"Roll2");
        try {
            worker->Roll2(form, FormEndHeight);
        } catch (...) {
            worker->unload();
        }
    } catch (...) {
    }
    return S_OK;
}

HRESULT Forms::Get_Transparenz(IDispatch** Form, LONG* ErrorNumber, LONG* result) {
    return trapped(Trap{Source::Forms, L"Get_Transparenz", ErrorNumber}, result, -2L, [&] {
        if (!Form || !*Form) raise(err::ObjectNotSet);
        BYTE alpha = 0;
        check(shared<_Window>()->Get_Transparenz(hwnd_number(*Form), &alpha));
        return static_cast<long>(alpha);
    });
}

HRESULT Forms::Set_Transparenz(IDispatch** Form, BYTE* Transparenz, LONG* result) {
    return trapped(Trap{Source::Forms, L"Set_Transparenz"}, result, ErrorNumberResult{}, [&] {
        if (!Form || !*Form) raise(err::ObjectNotSet);
        check(shared<_Window>()->Set_Transparenz(hwnd_number(*Form), Transparenz ? *Transparenz : 0));
        return 0L;
    });
}

// No clamping: 255 is opaque and still layered, 0 invisible.
HRESULT Forms::Set_AllTransparent(VARIANT frm, BYTE* Transparenz, LONG* result) {
    return trapped(Trap{Source::Forms, L"Set_allTransparent"}, result, ErrorNumberResult{}, [&] {
        bool is_object = false;
        const HWND hwnd = as_hwnd(Get_hWnd(frm, is_object));
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(hwnd, 0, Transparenz ? *Transparenz : 0, LWA_ALPHA);
        return 0L;
    });
}

HRESULT Forms::MakeAllControlsTransparent(IDispatch** frm, LONG* result) {
    return trapped(Trap{Source::Forms, L"MakeAllControlsTransparent"}, result, ErrorNumberResult{}, [&] {
        if (!frm || !*frm) raise(err::ObjectNotSet);
        IDispatch* form = *frm;
        late::call(form, L"Show");
        forms::do_events();
        ComPtr<qm::Controls> controls = ComPtr<qm::Controls>::attach(make_object<qm::Controls>());
        ComPtr<IDispatch> all = late::object(late::get(form, L"Controls"));
        const long count = lng(late::get(all.get(), L"Count"));
        for (long i = 0; i < count; ++i) {
            ComPtr<IDispatch> control = late::object(late::get(all.get(), L"Item", {Variant(i)}));
            IDispatch* c = control.get();
            VARIANT_BOOL done = VARIANT_FALSE;
            check(controls->Control_MakeTransparent(&c, &done));
        }
        return 0L;
    });
}

// The button appears or goes while the window is hidden; its visibility comes back.
HRESULT Forms::ShowInTaskBar(VARIANT* frm, VARIANT_BOOL* ShowForm) {
    return untrapped([&] {
        bool is_object = false;
        long hwnd = frm ? Get_hWnd(*frm, is_object) : 0;
        _Window* window = shared<_Window>();
        VARIANT_BOOL visible = VARIANT_FALSE, done = VARIANT_FALSE, hide = VARIANT_FALSE;
        check(window->isWindowVisible(hwnd, &visible));
        check(window->VisibleWindow(hwnd, &hide, &done));
        const HWND h = as_hwnd(hwnd);
        const LONG style = GetWindowLongW(h, GWL_EXSTYLE);
        const bool show = !ShowForm || *ShowForm != VARIANT_FALSE;
        SetWindowLongW(h, GWL_EXSTYLE, show ? style | WS_EX_APPWINDOW : style & ~WS_EX_APPWINDOW);
        check(window->VisibleWindow(hwnd, &visible, &done));
        Variant handle(hwnd);
        check(Update(handle.get()));
    });
}

// The class style is shared: every window of the class gets the shadow.
HRESULT Forms::Set_WindowShadow(IDispatch* Form, LONG* result) {
    return trapped(Trap{Source::Forms, L"Set_WindowShadow"}, result, ErrorNumberResult{}, [&] {
        if (!Form) raise(err::ObjectNotSet);
        const HWND hwnd = as_hwnd(hwnd_number(Form));
        SetClassLongPtrW(hwnd, GCL_STYLE, GetClassLongPtrW(hwnd, GCL_STYLE) | CS_DROPSHADOW);
        late::call(Form, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

}  // namespace qm
