// The hidden worker form: timers that outlive the member that armed them, and
// scratch controls (sorted and plain list boxes, text boxes, picture boxes,
// labels) for members that need them. Never shown. Members load a new instance
// (forms::make<MyControls>()), find a tagged one through Forms.Find_Form, or use
// the predeclared instance (myControls()); an effect's instance unloads itself
// when its last timer stops.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "runtime/forms.h"

namespace qm {

class MyControls : public forms::Form {
public:
    MyControls();
    const forms::Table& table() const override;

    // Re-sorts a list box whose own Sorted is False in the sorted list box sLB,
    // keeping each item's ItemData; unloads the form. False (form still loaded)
    // when the box sorts itself or on any error.
    bool SortLB(IDispatch* LB);

    // Moves the next dialog-class window ("#32770") that becomes active to
    // XPos/YPos (size kept, after ParentHwnd in Z order); gives up after eleven
    // ticks of 10 ms without one.
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
    // coordinate range (zZoom near 90).
    ComPtr<IPictureDisp> BitmapWork(IDispatch* PicBox, const VARIANT* Rotate = nullptr, const VARIANT* Turn = nullptr,
                                    const VARIANT* Flip = nullptr, const VARIANT* zZoom = nullptr);

protected:
    void design() override;

private:
    void find_msgbox_tick();
    void msg_closer_tick();
    void unload_unless_closing();
    void key_press_input(int& key_ascii);

    long parent_hwnd_ = 0, msg_x_ = 0, msg_y_ = 0;
    long closer_thread_ = 0;
    long find_ticks_ = 0;  // never reset: one instance per box
    std::vector<HWND> dialogs_before_;  // the thread's dialogs when the placement was armed
    std::array<POINT, 3> corners_{};     // BitmapWork: top-left, top-right, bottom-left
};

// The predeclared instance.
MyControls& myControls();

// The text of the list item under an in-place edit (written by the list editor,
// cleared when a worker form loads).
std::wstring& ListEditOldText();

}  // namespace qm
