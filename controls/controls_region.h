// A control's window cut to the pixels that differ from its background.
#pragma once
#include <windows.h>

#include "runtime/regions.h"

namespace qm {

// The region of a window's pixels whose colour differs from colour (0x00BBGGRR),
// read once from a copy of what the screen shows; the caller owns it.
HRGN Create_TransparentRegion(HWND hwnd, long height, long width, COLORREF colour);

}  // namespace qm
