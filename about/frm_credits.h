// frmCredits: the hidden-by-default form behind the tray pop-up (Dialog.TrayPopup
// lays out a new instance and starts tmrTrayScroll, which unrolls the window out
// of the taskbar, keeps it up for its delay, rolls it down and unloads it) and
// behind the credits text scroller. An instance serves one of the two.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/com_ptr.h"
#include "runtime/forms/forms.h"

namespace qm {

class FrmCredits : public forms::Form {
public:
    FrmCredits();
    const forms::Table& table() const override;

    // Tray pop-up: the stay in seconds and the step pause (Speed x 100 message-
    // loop turns per pixel, nothing below 1), set before tmrTrayScroll starts.
    void set_tray(long close_delay, long speed) noexcept { close_delay_ = close_delay, speed_ = speed; }
    bool tray_shown() const noexcept { return shown_; }

    // The millisecond clock the pop-up's stay is measured on (monotonic).
    using Clock = ULONGLONG (*)();
    static Clock& clock() noexcept;

    // Credits scroller: draws the gradient of the fade colour (1 red, 2 green,
    // 3 blue) into box (a picture box on a form) and starts the scroll of text's
    // lines. 0, or the run-time error number (never reported). Another colour
    // starts nothing and unloads this instance.
    long SetScroll(IDispatch* box, const std::wstring& text, long fade);
    // Waits delay ms, running the message loop whenever input arrives.
    void Wait(long delay);

    // The 32-bit millisecond tick count Wait measures on.
    using Ticks = DWORD (*)();
    static Ticks& ticks() noexcept;

protected:
    void design() override;

private:
    void tray_tick();
    void unroll();
    void roll_down();
    // The pause after each animation step; false once the form has been unloaded.
    bool step_pause();
    // The pop-up's placement in pixels: the band at the screen's bottom edge it
    // rises from (a bottom taskbar's height, else nothing).
    static int bottom_band();

    void Run_TextScroll();
    void scroll_tick();
    bool host_alive() const noexcept;

    // Tray pop-up.
    long close_delay_ = 0, speed_ = 0;
    bool shown_ = false;
    bool animating_ = false;  // the unrolling or rolling down is running
    ULONGLONG shown_at_ = 0;

    // Credits scroller.
    ComPtr<IDispatch> box_;
    long host_ = 0;
    long fade_ = 0;
    std::vector<std::wstring> lines_;
};

}  // namespace qm
