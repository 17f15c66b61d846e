// The hidden worker form: timers that outlive the member that armed them, and
// scratch controls (sorted and plain list boxes, text boxes, picture boxes,
// labels) for members that need them. Never shown. Members load a new instance
// (forms::make<MyControls>()), take one for the length of a call (WorkerForm),
// find a tagged one through Forms.Find_Form, or use the predeclared instance
// (myControls()); an effect's instance unloads itself when its last timer stops.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "runtime/com_ptr.h"
#include "runtime/forms/forms.h"

namespace qm {

// The system's hand-shaped pointer as a picture (Nothing when there is none).
ComPtr<IPictureDisp> hand_icon();

class MyControls : public forms::Form {
public:
    MyControls();
    const forms::Table& table() const override;

    // A private instance for one call, loaded: the thread's spare (see release)
    // made as new as a first load leaves it, else a new one.
    static ComPtr<MyControls> fresh();
    // Ends a private call whose work touched no more of the form than its scratch
    // controls (PicTMP, ps, po, pd, sLB) and its Tag: they go back to their design
    // and the form, unloaded with its events, stays loaded out of sight as the
    // thread's spare. A form with a timer running or controls loaded at run time
    // unloads as usual (sLB emptied first: an unloading form keeps its lists'
    // items, one window message after another).
    void release();

    // Re-sorts a list box whose own Sorted is False in the sorted list box sLB,
    // keeping each item's ItemData; unloads the form. False (form still loaded)
    // when the box sorts itself or on any error.
    bool SortLB(IDispatch* LB);

    // Moves the next dialog-class window ("#32770") that becomes active to
    // XPos/YPos (size kept, after ParentHwnd in Z order); gives up after eleven
    // ticks of 10 ms without one. A place beyond a window's coordinates
    // (limits.h) raises 380 and arms nothing.
    void SetMsgbox(long ParentHwnd, long XPos, long YPos);
    // Sec seconds from now, closes every open error-reporter box of the thread
    // ThreadID (dialog class, caption starting "      DLL Error <"), once. An
    // interval beyond the timer's range raises 6 or 380 and arms nothing.
    void SetMsgCloser(long Sec, long ThreadID);

    // Rotates (clockwise), mirrors (Turn: left to right, Flip: top to bottom, as
    // the cosine of the angle scales the axis) and zooms (by the tangent of
    // zZoom; 45 keeps the size) PicBox's picture about its centre onto a surface
    // of the box's size; angles in degrees, a missing one (nullptr or an omitted
    // optional) counts 0 and a missing zZoom 45. The result is the picture of
    // `pd`; the caller unloads the form. 6 when a corner falls beyond GDI's
    // coordinate range (zZoom near 90); 380 for a box larger than a window may
    // be and 480 for one whose image cannot be made, before any box changes.
    ComPtr<IPictureDisp> BitmapWork(IDispatch* PicBox, const VARIANT* Rotate = nullptr, const VARIANT* Turn = nullptr,
                                    const VARIANT* Flip = nullptr, const VARIANT* zZoom = nullptr);

    // Blinking: Control's Visible flips every blPause ms (1 to 65535, else 380
    // and nothing changes) until it has reappeared blCount times (for ever when
    // blCount is 0 or less) or the window hwnd is gone; it ends visible. One
    // element of Timer_Blink per call; the form unloads after the last blink.
    void SetBlink(IDispatch* Control, long blCount, long blPause, long hwnd);
    // Hyperlink labels: while the pointer is over Label it shows in
    // LabelColorMouseOver, underlined, with the hand pointer; else in LabelColor.
    // Polled every 5 ms until ParentForm's window is gone; the form unloads when
    // no hyperlink's form is left. False after an error.
    bool Create_Hyperlink(IDispatch* ParentForm, IDispatch* Label, long LabelColor, long LabelColorMouseOver);

    // A marquee in frm's caption, one step every Speed x 50 ms (1 to 65535 ms,
    // else 380); a form already scrolling keeps its entry and scrolls the caption
    // shown now. 0 or the error number.
    long SetScrollCaption(IDispatch* frm, long Speed);
    // Start: the shell's taskbar fades to alpha 95 (layered, its other extended
    // style bits kept) and fades in while the pointer is on its band below the
    // work area, out again when it leaves. Stop: the taskbar's own style and full
    // opacity come back and the form unloads.
    void TaskBarFade(bool Start);
    // The height of the band below the work area, in twips.
    short GetTaskbarHeight();
    // Grows frm by 100 twips (Top 50 up) per 1 ms tick until it is FormEndHeight
    // high, then unloads this form; also when frm's window is gone. A height the
    // form cannot take raises 380 (or 480) and starts nothing.
    void Roll2(IDispatch* frm, long FormEndHeight);

protected:
    void design() override;

private:
    struct BlinkEntry {
        ComPtr<IDispatch> Control;
        long blCount = 0, hwnd = 0, blPause = 0;
        bool Active = false;
        long Counter = 0;
    };
    struct HyperlinkEntry {
        long LabelColor = 0, LabelColorMouseOver = 0;
        ComPtr<IDispatch> ParentForm, Label;
        long CurrentColor = -1;
        long hwnd = 0;  // 0: retired
    };
    struct CaptionScrollEntry {
        ComPtr<IDispatch> frm;
        long hwnd = 0;  // 0: retired
        long Interval = 0;
        std::wstring Caption, Work;
        long Spaces = 0;
        bool Started = false;
    };

    void blink_tick(long n);
    void hyperlink_tick();
    void scroll_caption_tick(long i);
    void taskbar_fade_tick();
    void roll_tick();
    long upper_bound(const wchar_t* array) const;
    void reset_effects();
    void restore_taskbar();
    void find_msgbox_tick();
    void msg_closer_tick();
    void unload_unless_closing();
    void key_press_input(int& key_ascii);
    void reset_state();

    // The scratch controls as the design made them; the number of controls then.
    std::vector<std::pair<std::wstring, ComPtr<forms::Control>>> scratch_;
    size_t designed_ = 0;

    long parent_hwnd_ = 0, msg_x_ = 0, msg_y_ = 0;
    long closer_thread_ = 0;
    long find_ticks_ = 0;  // never reset: one instance per box
    std::vector<HWND> dialogs_before_;  // the thread's dialogs when the placement was armed
    std::array<POINT, 3> corners_{};     // BitmapWork: top-left, top-right, bottom-left

    std::vector<BlinkEntry> blinks_;  // index: the Timer_Blink element; 0 unused
    std::vector<HyperlinkEntry> hyperlinks_;
    ComPtr<IPictureDisp> hyperlink_icon_;
    std::vector<CaptionScrollEntry> captions_;  // index: the Timer_ScrollCaption element; 0 unused
    long taskbar_hwnd_ = 0, alpha_ = 0;
    LONG taskbar_style_ = 0;  // the taskbar's extended style before the fade
    bool taskbar_saved_ = false;
    ComPtr<IDispatch> roll_form_;
    long roll_hwnd_ = 0, roll_end_height_ = 0;
};

// One call's private worker form (MyControls::fresh), tagged with the member's
// name and given back (MyControls::release) whatever happens.
class WorkerForm {
public:
    explicit WorkerForm(const wchar_t* tag) : form_(MyControls::fresh()) { form_->set_tag(tag); }
    ~WorkerForm() {
        try {
            form_->release();
        } catch (...) {
        }
    }
    WorkerForm(const WorkerForm&) = delete;
    WorkerForm& operator=(const WorkerForm&) = delete;
    MyControls* operator->() { return form_.get(); }
    forms::PictureBox& box() { return form_->get<forms::PictureBox>(L"PicTMP"); }

private:
    ComPtr<MyControls> form_;
};

// The predeclared instance.
MyControls& myControls();

// The text of the list item under an in-place edit (written by the list editor,
// cleared when a worker form loads).
std::wstring& ListEditOldText();

}  // namespace qm
