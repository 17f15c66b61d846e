// Regions of pixels: the pixels of a device context whose colour differs from a
// key colour, as one region of one-pixel-high runs.
#pragma once
#include <windows.h>

namespace qm {

// key for region_of_pixels: the colour of the pixel at the origin.
constexpr DWORD kKeyOfFirstPixel = 0xFFFFFFFF;

// The region of the pixels of source (width x height from its origin) whose
// colour differs from key (0x00RRGGBB), each pixel read once; an empty region
// when there is no such pixel, nullptr when no copy of the pixels or no region
// could be made. The caller owns it.
HRGN region_of_pixels(HDC source, long width, long height, DWORD key);

}  // namespace qm
