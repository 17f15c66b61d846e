// The one place where a window's layered-window opacity is set.
#pragma once
#include <windows.h>

namespace qm {

// Alpha 255 makes the window plain opaque (no longer layered); anything less
// makes it layered with that constant opacity.
void Set_WindowTransparency(HWND window, BYTE alpha);

}  // namespace qm
