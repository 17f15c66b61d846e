// A parallelogram block transfer that rotates, mirrors and shears on every
// system: the copy of PlgBlt without a mask, done on 32-bit device-independent
// bitmaps.
#pragma once
#include <windows.h>

namespace qm {

// Copies the rectangle x, y, w, h of src onto dest. corners are the images of the
// rectangle's top-left, top-right and bottom-left corners (logical units of a
// device context in MM_TEXT); each destination pixel whose centre lies in the
// parallelogram takes the source pixel under the inverse map. A degenerate
// parallelogram (all corners on one line) draws nothing. False when the bitmaps
// for the copy cannot be made.
bool parallelogram_copy(HDC dest, const POINT corners[3], HDC src, int x, int y, int w, int h);

}  // namespace qm
