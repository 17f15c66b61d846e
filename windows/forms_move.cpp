// Forms: rolling a form's width or height and moving a form (or any object
// with Left, Top and Refresh) step by step.
#include <climits>

#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "windows/forms.h"

namespace qm {

// The controls' roll does the work and reports its own errors.
HRESULT Forms::Roll(IDispatch** Form, LONG* xStart, LONG* xEnd, ControlDirection* Direction, LONG* RollSpeed,
                    LONG* result) {
    if (!result) return E_POINTER;
    *result = 0;
    ControlDirection direction = Direction ? *Direction : cdHorizontal;
    long speed = RollSpeed ? *RollSpeed : 10;
    HRESULT hr = shared<_Controls>()->Control_Roll(Form, xStart, xEnd, &direction, &speed, result);
    if (Direction) *Direction = direction;
    if (RollSpeed) *RollSpeed = speed;
    return hr;
}

// One twip per step, first across, then up or down; each step refreshes and
// yields Speed + 1 times. A negative Speed is made positive in the caller's
// variable; 0 jumps. A target the object can never reach is refused before
// the first step.
HRESULT Forms::Move(IDispatch** Form, LONG XPos, LONG YPos, LONG* Speed, LONG* result) {
    return trapped(Trap{Source::Forms, L"Move"}, result, ErrorNumberResult{}, [&] {
        if (!Form || !*Form) raise(err::ObjectNotSet);
        IDispatch* form = *Form;
        long fallback = 1;
        long& speed = Speed ? *Speed : fallback;
        const long left = CLng(*late::get(form, L"Left").get());
        const long top = CLng(*late::get(form, L"Top").get());
        // The walk passes only places between where it starts and the point: a
        // point the object cannot reach is refused before the first step.
        Check_Placement(form, Placement{.left = static_cast<double>(XPos), .top = static_cast<double>(YPos)});
        const long long step_x = XPos < left ? -1 : 1, step_y = YPos < top ? -1 : 1;
        if (speed < 0) {
            if (speed == LONG_MIN) raise(err::Overflow);
            speed = -speed;
        }
        if (speed == 0) {
            late::put(form, L"Left", Variant(XPos));
            late::put(form, L"Top", Variant(YPos));
            return 0L;
        }
        auto walk = [&](const wchar_t* name, long from, long to, long long step) {
            for (long long v = from; step > 0 ? v <= to : v >= to; v += step) {
                late::put(form, name, Variant(static_cast<long>(v)));
                late::call(form, L"Refresh");
                Wait_DoEvents(speed);
            }
        };
        walk(L"Left", left, XPos, step_x);
        walk(L"Top", top, YPos, step_y);
        return 0L;
    });
}

}  // namespace qm
