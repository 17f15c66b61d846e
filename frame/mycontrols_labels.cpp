// MyControls: blinking controls and hyperlink labels, each driven by timers of
// the worker form on the client's message loop.
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "windows/window_common.h"

namespace qm {

using namespace forms;

namespace {

constexpr long kHyperlinkInterval = 5;  // ms
constexpr long kMaxInterval = 65535;    // ms, the timer's limit
constexpr long kCustomPointer = 99;

// The process owning the window, 0 when the window is gone.
long task_of(long hwnd) {
    long task = 0;
    check(shared<_Window>()->Get_TaskID(hwnd, &task));
    return task;
}

bool pointer_over(IDispatch* control) {
    IDispatch* ref = control;
    long error = 0;
    VARIANT_BOOL over = VARIANT_FALSE;
    check(shared<_Hardware>()->Mouse_isCursorOverControl(&ref, &error, &over));
    return over != VARIANT_FALSE;
}

}  // namespace

// --- blinking -------------------------------------------------------------------------

void MyControls::SetBlink(IDispatch* Control, long blCount, long blPause, long hwnd) {
    if (!Control) raise(err::ObjectNotSet);
    if (blPause < 1 || blPause > kMaxInterval) raise(err::InvalidPropertyValue);
    load();
    const long n = upper_bound(L"Timer_Blink") + 1;
    auto& timer = static_cast<Timer&>(load_element(L"Timer_Blink", n));
    if (blinks_.size() < static_cast<size_t>(n) + 1) blinks_.resize(static_cast<size_t>(n) + 1);
    BlinkEntry& entry = blinks_[static_cast<size_t>(n)];
    entry = {Control, blCount, hwnd, blPause, true, 0};
    timer.on.timer = [this, n] { blink_tick(n); };
    timer.set_interval(blPause);
    timer.set_enabled(true);
}

void MyControls::blink_tick(long n) {
    auto entry = [this, n]() -> BlinkEntry& { return blinks_.at(static_cast<size_t>(n)); };
    if (task_of(entry().hwnd) != 0) {
        ComPtr<IDispatch> control = entry().Control;
        const bool visible = !CBool(*late::get(control.get(), L"Visible").get());
        late::put(control.get(), L"Visible", Variant(visible));
        late::call(control.get(), L"Refresh");
        do_events();
        if (!loaded()) return;  // the client unloaded this form meanwhile
        if (visible) ++entry().Counter;
        // A count of 0 or less blinks until the window closes (the first hiding
        // must not end a blink of 0 with the control invisible).
        if (entry().blCount <= 0 || entry().Counter != entry().blCount) return;
    }
    get<Timer>(L"Timer_Blink", n).set_enabled(false);
    entry().Active = false;
    entry().Control.reset();
    for (size_t i = 1; i < blinks_.size(); ++i)
        if (blinks_[i].Active) return;
    unload();
}

// --- hyperlinks -----------------------------------------------------------------------

bool MyControls::Create_Hyperlink(IDispatch* ParentForm, IDispatch* Label, long LabelColor, long LabelColorMouseOver) {
    try {
        load();
        hyperlinks_.emplace_back();
        HyperlinkEntry& entry = hyperlinks_.back();
        entry.LabelColor = LabelColor;
        entry.LabelColorMouseOver = LabelColorMouseOver;
        if (!ParentForm || !Label) raise(err::ObjectNotSet);
        const long hwnd = CLng(*late::get(ParentForm, L"hWnd").get());
        entry.CurrentColor = -1;
        entry.ParentForm = ParentForm;
        entry.Label = Label;
        entry.hwnd = hwnd;
        hyperlink_icon_ = get<forms::Label>(L"ClickIcon").mouse_icon();
        Timer& timer = get<Timer>(L"Timer_HyperLink");
        timer.on.timer = [this] { hyperlink_tick(); };
        timer.set_interval(kHyperlinkInterval);
        timer.set_enabled(true);
        return true;
    } catch (...) {
        return false;
    }
}

void MyControls::hyperlink_tick() {
    bool active = false;
    for (HyperlinkEntry& entry : hyperlinks_) {
        if (entry.hwnd == 0) continue;
        if (GetWindowThreadProcessId(hwnd_of(entry.hwnd), nullptr) == 0) {
            entry.hwnd = 0;
            entry.ParentForm.reset();
            entry.Label.reset();
            continue;
        }
        active = true;
        // A label that fails (taken off its form) is left alone; the others go on.
        late::skipping_errors([&] {
            IDispatch* label = entry.Label.get();
            if (pointer_over(label)) {
                if (entry.CurrentColor != entry.LabelColorMouseOver) {
                    entry.CurrentColor = entry.LabelColorMouseOver;
                    late::put(label, L"ForeColor", Variant(entry.CurrentColor));
                    late::put(label, L"FontUnderline", Variant(true));
                    late::put_ref(label, L"MouseIcon", hyperlink_icon_.get());
                    late::put(label, L"MousePointer", Variant(kCustomPointer));
                }
            } else if (entry.CurrentColor != entry.LabelColor) {
                entry.CurrentColor = entry.LabelColor;
                late::put(label, L"ForeColor", Variant(entry.CurrentColor));
                late::put(label, L"FontUnderline", Variant(false));
                late::put(label, L"MousePointer", Variant(0L));
            }
            late::call(label, L"Refresh");
        });
    }
    if (active) {
        do_events();
        return;
    }
    get<Timer>(L"Timer_HyperLink").set_enabled(false);
    hyperlinks_.clear();
    unload();
}

}  // namespace qm
