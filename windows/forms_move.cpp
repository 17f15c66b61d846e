// Forms: rolling a form's width or height and moving a form (or any object
// with Left, Top and Refresh) step by step; where the forms engine's forms and
// controls may be placed, for the effects that step towards a place.
#include <climits>

#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/latebind.h"
#include "windows/forms.h"
#include "windows/forms_effects.h"

namespace qm {

std::optional<Place> engine_place(IDispatch* object) {
    forms::Object* o = object ? forms::object_of(object) : nullptr;
    if (auto* f = dynamic_cast<forms::Form*>(o)) return Place{f->left(), f->top(), f->width(), f->height()};
    if (auto* c = dynamic_cast<forms::Control*>(o)) return Place{c->left(), c->top(), c->width(), c->height()};
    return std::nullopt;
}

void check_place(IDispatch* object, const Place& p) {
    forms::Object* o = object ? forms::object_of(object) : nullptr;
    if (auto* f = dynamic_cast<forms::Form*>(o)) {
        forms::check_placement(p.left, p.top, p.width, p.height, f->surface());
    } else if (auto* c = dynamic_cast<forms::Control*>(o)) {
        // In twips from the container's client area, where the control is now.
        const RECT at = c->twips_rect();
        const double tx = c->container_twips_per_unit_x(), ty = c->container_twips_per_unit_y();
        forms::check_placement(at.left + (p.left - c->left()) * tx, at.top + (p.top - c->top()) * ty, p.width * tx,
                               p.height * ty, c->surface());
    }
}

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
        if (std::optional<Place> target = engine_place(form)) {
            target->left = XPos, target->top = YPos;
            check_place(form, *target);
        }
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
