#include "windows/window_alpha.h"

#include "runtime/handover.h"

namespace qm {

// Restyling another thread's window waits for it: a hung one is left alone.
void Set_WindowTransparency(HWND window, BYTE alpha) {
    if (!answers(window)) return;
    LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (alpha >= 255) {
        SetWindowLongPtrW(window, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        return;
    }
    SetWindowLongPtrW(window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, 0, alpha, LWA_ALPHA);
}

}  // namespace qm
