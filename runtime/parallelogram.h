// A parallelogram block transfer that rotates, mirrors and shears on every
// system: the copy of PlgBlt without a mask, done on 32-bit device-independent
// bitmaps.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace qm {

// The pixels of a 32-bit bitmap: row y (0 the top) starts at top + y * stride
// (in pixels; negative for a bottom-up bitmap).
struct PixelRows {
    uint32_t* top = nullptr;
    ptrdiff_t stride = 0;
    int width = 0, height = 0;
    uint32_t* row(int y) const noexcept { return top + y * stride; }
};

// Copies the rectangle x, y, w, h of src onto dest. corners are the images of the
// rectangle's top-left, top-right and bottom-left corners (logical units of a
// device context in MM_TEXT); each destination pixel whose centre lies in the
// parallelogram takes the source pixel under the inverse map. A degenerate
// parallelogram (all corners on one line) draws nothing. False when the bitmaps
// for the copy cannot be made.
//
// Where the caller knows the 32-bit bitmaps selected into dest or src, it may
// give their pixels: the copy then works on them in place, as long as the DC
// draws on them one to one (MM_TEXT, origin 0, no transform; dest unclipped).
// With dest's pixels, clear (a pixel value) is given to every pixel of dest the
// parallelogram does not cover, in the same pass where it can.
bool parallelogram_copy(HDC dest, const POINT corners[3], HDC src, int x, int y, int w, int h,
                        const PixelRows* dest_pixels = nullptr, const PixelRows* src_pixels = nullptr,
                        const uint32_t* clear = nullptr);

}  // namespace qm
