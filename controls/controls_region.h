// Window regions made of one-pixel-high runs of pixels.
#pragma once
#include <windows.h>

#include <vector>

namespace qm {

// One region from many rectangles, sorted top to bottom and left to right
// (nullptr when the system refuses them).
HRGN region_of_rects(const std::vector<RECT>& rects);

// The runs of pixels other than key (0x00RRGGBB, as in a 32-bit DIB), row by
// row from the top; a run open at the row's end closes at width.
void collect_runs(const DWORD* pixels, long width, long height, long stride, DWORD key, std::vector<RECT>& runs);

// The region of a window's pixels whose colour differs from colour (0x00BBGGRR),
// read once from a copy of what the screen shows; the caller owns it.
HRGN Create_TransparentRegion(HWND hwnd, long height, long width, COLORREF colour);

}  // namespace qm
