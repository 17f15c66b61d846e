// MyControls: effects on whole windows: a marquee in a form's caption, fading
// the shell's taskbar by where the pointer is, and rolling a form open.
#include <string>

#include "frame/mycontrols.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/handover.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/input.h"
#include "windows/window_common.h"

namespace qm {

using namespace forms;

namespace {

constexpr long kMaxInterval = 65535;  // ms, the timer's limit
constexpr long kStepMs = 50;          // one Speed unit of the caption scroll
constexpr float kTwipsPerSpace = 78;  // caption width of one leading blank
constexpr long kFadeInterval = 100;   // ms
constexpr long kFadedAlpha = 95;
constexpr long kRollInterval = 1;     // ms
constexpr float kRollStep = 100;      // twips of height per tick (Top moves half of it)

long task_of(long hwnd) {
    long task = 0;
    check(shared<_Window>()->Get_TaskID(hwnd, &task));
    return task;
}

std::wstring caption_of(IDispatch* frm) { return CStr(*late::get(frm, L"Caption").get()); }
void put_caption(IDispatch* frm, const std::wstring& text) { late::put(frm, L"Caption", Variant(text)); }

// The shell's taskbar (what Desktop.DesktopHWND(dtTASKBAR) names).
HWND shell_taskbar() { return FindWindowW(L"Shell_TrayWnd", nullptr); }

void set_alpha(long hwnd, long alpha) {
    SetLayeredWindowAttributes(hwnd_of(hwnd), 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

}  // namespace

// --- caption scrolling -----------------------------------------------------------------

long MyControls::SetScrollCaption(IDispatch* frm, long Speed) {
    try {
        const long long interval = static_cast<long long>(Speed) * kStepMs;
        if (interval < 1 || interval > kMaxInterval) raise(err::InvalidPropertyValue);
        if (!frm) raise(err::ObjectNotSet);
        load();
        const long hwnd = CLng(*late::get(frm, L"hWnd").get());
        if (captions_.empty()) captions_.resize(1);  // entry 0 is never used
        size_t i = 1;
        while (i < captions_.size() && captions_[i].hwnd != hwnd) ++i;
        if (i == captions_.size()) captions_.emplace_back();
        CaptionScrollEntry& entry = captions_[i];
        entry.frm = frm;
        entry.hwnd = hwnd;
        entry.Interval = static_cast<long>(interval);
        entry.Caption.clear();
        entry.Work.clear();
        const long n = static_cast<long>(i);
        if (n > upper_bound(L"Timer_ScrollCaption")) load_element(L"Timer_ScrollCaption", n);
        Timer& timer = get<Timer>(L"Timer_ScrollCaption", n);
        timer.on.timer = [this, n] { scroll_caption_tick(n); };
        timer.set_interval(entry.Interval);
        timer.set_enabled(true);
        return 0;
    } catch (const RuntimeError& e) {
        return e.number();
    }
}

void MyControls::scroll_caption_tick(long i) {
    CaptionScrollEntry& entry = captions_.at(static_cast<size_t>(i));
    if (task_of(entry.hwnd) == 0) {
        get<Timer>(L"Timer_ScrollCaption", i).set_enabled(false);
        entry.hwnd = 0;
        entry.frm.reset();
        for (size_t k = 1; k < captions_.size(); ++k)
            if (captions_[k].hwnd != 0) return;
        unload();
        return;
    }
    IDispatch* frm = entry.frm.get();
    if (entry.Caption.empty()) {
        entry.Caption = caption_of(frm);
        put_caption(frm, L" ");
    }
    if (entry.Work.empty()) {
        entry.Work = entry.Caption;
        entry.Spaces = CLng(CSng(*late::get(frm, L"Width").get()) / kTwipsPerSpace);
        entry.Started = false;
    }
    // A form too narrow for a single blank leaves at once, like one with one blank.
    if (entry.Spaces <= 1) {
        if (!entry.Work.empty()) {
            if (!entry.Started) {
                entry.Started = true;
                entry.Work = caption_of(frm);
            }
            entry.Work.erase(0, 1);
        }
        put_caption(frm, entry.Work);
        return;
    }
    put_caption(frm, std::wstring(static_cast<size_t>(entry.Spaces), L' ') + entry.Work);
    --entry.Spaces;
}

// --- taskbar fading ----------------------------------------------------------------------

void MyControls::TaskBarFade(bool Start) {
    if (!Start) {
        if (!loaded()) return;
        get<Timer>(L"Timer_TaskBarFade").set_enabled(false);
        restore_taskbar();
        unload();
        return;
    }
    load();
    Timer& timer = get<Timer>(L"Timer_TaskBarFade");
    if (!taskbar_saved_) {
        taskbar_hwnd_ = long_of(shell_taskbar());
        taskbar_style_ = GetWindowLongW(hwnd_of(taskbar_hwnd_), GWL_EXSTYLE);
        taskbar_saved_ = taskbar_hwnd_ != 0;
    }
    if (taskbar_saved_ && answers(hwnd_of(taskbar_hwnd_))) {
        SetWindowLongW(hwnd_of(taskbar_hwnd_), GWL_EXSTYLE, taskbar_style_ | WS_EX_LAYERED);
        set_alpha(taskbar_hwnd_, kFadedAlpha);
    }
    alpha_ = kFadedAlpha;
    timer.on.timer = [this] { taskbar_fade_tick(); };
    timer.set_interval(kFadeInterval);
    timer.set_enabled(true);
}

void MyControls::restore_taskbar() {
    if (!taskbar_saved_) return;
    HWND taskbar = hwnd_of(taskbar_hwnd_);
    if (IsWindow(taskbar) && answers(taskbar)) {  // restyling the shell's window waits for the shell
        set_alpha(taskbar_hwnd_, 255);
        SetWindowLongW(taskbar, GWL_EXSTYLE, taskbar_style_);
    }
    taskbar_saved_ = false;
    alpha_ = 255;
}

void MyControls::taskbar_fade_tick() {
    if (!taskbar_saved_) return;
    const POINT cursor = pointer_position();
    const float line = screen_height() - GetTaskbarHeight();
    HWND taskbar = hwnd_of(taskbar_hwnd_);
    if (!answers(taskbar)) return;  // a hung shell: no step this time
    if (line >= cursor.y * screen_twips_per_pixel_y()) {
        if (alpha_ != 255) return;
        SetWindowLongW(taskbar, GWL_EXSTYLE, taskbar_style_ | WS_EX_LAYERED);
        for (alpha_ = 255; alpha_ >= 100; alpha_ -= 8) {
            set_alpha(taskbar_hwnd_, alpha_);
            Sleep(1);
        }
    } else if (alpha_ < 255) {
        for (alpha_ = 100; alpha_ <= 255; alpha_ += 8) {
            set_alpha(taskbar_hwnd_, alpha_);
            Sleep(1);
        }
        alpha_ = 255;
        SetWindowLongW(taskbar, GWL_EXSTYLE, taskbar_style_);
    }
}

short MyControls::GetTaskbarHeight() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const double tpp = screen_twips_per_pixel_x();
    return CInt((screen_height() / tpp - work.bottom) * tpp);
}

// --- rolling --------------------------------------------------------------------------------

void MyControls::Roll2(IDispatch* frm, long FormEndHeight) {
    if (!frm) raise(err::ObjectNotSet);
    // A height the form cannot take would be refused at every tick for ever.
    Check_Placement(frm, Placement{.height = static_cast<double>(FormEndHeight)});
    load();
    roll_hwnd_ = CLng(*late::get(frm, L"hWnd").get());
    roll_form_ = frm;
    roll_end_height_ = FormEndHeight;
    Timer& timer = get<Timer>(L"Timer_Roll2");
    timer.on.timer = [this] { roll_tick(); };
    timer.set_interval(kRollInterval);
    timer.set_enabled(true);
}

void MyControls::roll_tick() {
    // A form closed meanwhile is not touched: that would load it again.
    if (roll_form_ && task_of(roll_hwnd_) != 0) {
        IDispatch* frm = roll_form_.get();
        const float height = CSng(*late::get(frm, L"Height").get());
        if (height < roll_end_height_) {
            late::put(frm, L"Height", Variant(height + kRollStep));
            late::call(frm, L"Move", {late::get(frm, L"Left"), Variant(CSng(*late::get(frm, L"Top").get()) - kRollStep / 2)});
            return;
        }
        late::put(frm, L"Height", Variant(roll_end_height_));
    }
    roll_form_.reset();
    unload();
}

}  // namespace qm
