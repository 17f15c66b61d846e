// Controls: animations of a control on the caller's thread (rolling its size,
// sliding it between places in its form, growing its font, moving it), each
// step followed by a yield to the message loop, and blinking on a worker timer.
#include <cmath>
#include <cstdlib>

#include "controls/controls.h"
#include "frame/mycontrols.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/object.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

long lng(const Variant& v) { return CLng(*v.get()); }

// A whole number of the runtime's kind: halves to even.
long round_even(double v) {
    if (!(v >= -2147483648.5 && v <= 2147483647.5)) raise(err::Overflow);
    return static_cast<long>(std::nearbyint(v));
}

// The largest font size in points a font takes.
constexpr long long kMaxFontSize = 2160;

// Steps toward the end by one unit, or stays.
long toward(long current, long end) { return current < end ? current + 1 : current > end ? current - 1 : current; }

// The process owning the window, 0 when the window is gone.
long task_of(long hwnd) {
    long task = 0;
    check(shared<_Window>()->Get_TaskID(hwnd, &task));
    return task;
}

Variant dispatch_variant(IDispatch* d) {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = d;
    return Variant(v);  // a counted copy
}

// The loaded worker form tagged "Control_Blink", as Forms.Find_Form finds it.
bool blink_worker(ComPtr<IDispatch>& found) {
    IDispatch* all = &forms::forms_collection();
    FormOption by = ffFormTag;
    VARIANT_BOOL exact = VARIANT_TRUE;
    long error = 0, index = -1;
    found.reset();
    check(shared<_Forms>()->Find_Form(&all, Bstr(L"Control_Blink").get(), &by, found.put(), &exact, &error, &index));
    return index >= 0 && found;
}

}  // namespace

HRESULT Controls::Control_Roll(IDispatch** Control, long* xStart, long* xEnd, ControlDirection* Direction,
                               long* RollSpeed, long* result) {
    return trapped(Trap{Source::Controls, L"Control_Roll"}, result, ErrorNumberResult{}, [&] {
        IDispatch* control = object_arg(Control);
        if (!xStart || !xEnd || !Direction) raise(err::InvalidCall);
        // Any other direction sizes nothing, so there is nothing to wait for.
        if (*Direction != cdHorizontal && *Direction != cdVertical) return 0L;
        const long speed = RollSpeed ? *RollSpeed : 100;
        const long long from = *xStart, to = *xEnd, step = to < from ? -1 : 1;
        const bool across = *Direction == cdHorizontal;
        // Every size of the walk lies between its ends: a size the control cannot
        // take is refused before the first step, not after a walk towards it.
        for (const long long end : {from, to})
            Check_Placement(control, across ? Placement{.width = static_cast<double>(end)}
                                            : Placement{.height = static_cast<double>(end)});
        for (long long v = from; v != to + step; v += step) {
            late::put(control, across ? L"Width" : L"Height", Variant(static_cast<long>(v)));
            Wait_DoEvents(speed);
        }
        return 0L;
    });
}

HRESULT Controls::Control_Animate(IDispatch** Control, ControlAnimatePosition* xStart, ControlAnimatePosition* xEnd,
                                  long* result) {
    return trapped(Trap{Source::Controls, L"Control_Animate"}, result, ErrorNumberResult{}, [&] {
        IDispatch* control = object_arg(Control);
        if (!xStart || !xEnd) raise(err::InvalidCall);
        ComPtr<IDispatch> parent = late::object(late::get(control, L"Parent"));
        const double pw = CDbl(*late::get(parent.get(), L"Width").get());
        const double ph = CDbl(*late::get(parent.get(), L"Height").get());
        const double cw = CDbl(*late::get(control, L"Width").get());
        const double ch = CDbl(*late::get(control, L"Height").get());
        const long mid_x = round_even(pw / 2 - cw / 2), mid_y = round_even(ph / 2 - ch / 2);
        const long right = round_even(pw - cw), bottom = round_even(ph - ch);
        auto place = [&](long position) -> POINT {
            switch (position) {
            case caLeftMiddle: return {0, mid_y};
            case caLeftBottom: return {0, bottom};
            case caRightTop: return {right, 0};
            case caRightMiddle: return {right, mid_y};
            case caRightBottom: return {right, bottom};
            case caMiddleTop: return {mid_x, 0};
            case caMiddleMiddle: return {mid_x, mid_y};
            case caMiddleBottom: return {mid_x, bottom};
            default: return {0, 0};  // caLeftTop and any other value
            }
        };
        const POINT start = place(*xStart), end = place(*xEnd);
        // The path runs between the two points: a point the control cannot take
        // is refused before it moves.
        for (const POINT p : {start, end})
            Check_Placement(control, Placement{.left = static_cast<double>(p.x), .top = static_cast<double>(p.y)});
        late::put(control, L"Left", Variant(start.x));
        late::put(control, L"Top", Variant(start.y));
        if (!CBool(*late::get(control, L"Visible").get())) late::put(control, L"Visible", Variant(true));
        POINT at = start;
        do {
            at.x = toward(at.x, end.x);
            at.y = toward(at.y, end.y);
            late::put(control, L"Left", Variant(at.x));
            late::put(control, L"Top", Variant(at.y));
            Wait_DoEvents(50);
        } while (at.x != end.x || at.y != end.y);
        return 0L;
    });
}

HRESULT Controls::Control_FontGrow(IDispatch** Control, long FontSizeTarget, long* Speed, long* result) {
    return trapped(Trap{Source::Controls, L"Control_FontGrow"}, result, ErrorNumberResult{}, [&] {
        IDispatch* control = object_arg(Control);
        ComPtr<IDispatch> parent = late::object(late::get(control, L"Parent"));
        const long hwnd = lng(late::get(parent.get(), L"hWnd"));
        ComPtr<IDispatch> font = late::object(late::get(control, L"Font"));
        const double size = CDbl(*late::get(font.get(), L"Size").get());
        const long long delay = static_cast<long long>(Speed ? *Speed : 50) * 100;
        if (delay < -2147483648LL || delay > 2147483647LL) raise(err::Overflow);
        const long long from = round_even(size), to = FontSizeTarget, step = to < size ? -1 : 1;
        // A walk from or to beyond the largest font size (either way) would not
        // end in any reasonable time: refused before the first step.
        if (std::llabs(from) > kMaxFontSize || std::llabs(to) > kMaxFontSize) raise(err::InvalidPropertyValue);
        for (long long s = from; step > 0 ? s <= to : s >= to; s += step) {
            if (task_of(hwnd) == 0) break;  // the form is gone
            if (s > 0) late::put(font.get(), L"Size", Variant(static_cast<long>(s)));
            Wait_DoEvents(static_cast<long>(delay));
        }
        return 0L;
    });
}

// Forms.Move does the work and reports its own errors.
HRESULT Controls::Control_Move(IDispatch** Control, long XPos, long YPos, long Speed, long* result) {
    if (!result) return E_POINTER;
    *result = 0;
    long speed = Speed;
    IDispatch* control = Control ? *Control : nullptr;
    return shared<_Forms>()->Move(&control, XPos, YPos, &speed, result);
}

// One worker form carries the timers of every blinking control; it unloads
// itself after the last blink.
HRESULT Controls::Control_Blink(IDispatch** Control, long* BlinkCount, long* PauseDuration, long* result) {
    return trapped(Trap{Source::Controls, L"Control_Blink"}, result, ErrorNumberResult{}, [&] {
        IDispatch* control = object_arg(Control);
        const long count = BlinkCount ? *BlinkCount : 3;
        const long pause = PauseDuration ? *PauseDuration : 500;
        // A pause below 1 ms would arm a stopped timer: nothing would blink and
        // the worker would stay loaded for good.
        if (pause < 1) raise(err::InvalidPropertyValue);
        long top = 0;
        check(shared<_Window>()->Get_TopParent(lng(late::get(control, L"hWnd")), &top));
        ComPtr<IDispatch> worker;
        ComPtr<MyControls> fresh;
        if (!blink_worker(worker)) {
            fresh = forms::make<MyControls>();
            fresh->load();
            fresh->set_tag(L"Control_Blink");
            if (!blink_worker(worker)) {
                fresh->unload();
                raise(err::InternalError);
            }
        }
        try {
            late::call(worker.get(), L"SetBlink",
                       {dispatch_variant(control), Variant(count), Variant(pause), Variant(top)});
        } catch (...) {
            if (fresh && fresh->loaded()) fresh->unload();  // loaded for nothing
            throw;
        }
        return 0L;
    });
}

}  // namespace qm
