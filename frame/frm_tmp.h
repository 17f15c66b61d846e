// The capture form: a hidden worker form that takes pictures of whole windows
// (frame and caption included). Members load a private instance, use it and
// unload it; its picture box and labels also serve them as scratch controls.
#pragma once
#include <ocidl.h>

#include "runtime/forms/forms.h"

namespace qm {

class FrmTMP : public forms::Form {
public:
    FrmTMP();
    const forms::Table& table() const override;

    // The window as the screen shows it now, in the picture box PicTMP, which
    // (and the form with it) takes the window's size. Raises 481 (invalid
    // picture) for a window that is gone or has no area.
    ComPtr<IPictureDisp> GetWindowHwnd(long hwnd);

protected:
    void design() override;
};

}  // namespace qm
