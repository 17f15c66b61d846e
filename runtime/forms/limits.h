// How large a window or an image may be. Every window the forms engine makes
// or sizes and every image it (or a member working on pixels) allocates is
// checked here before the system sees the size: a side beyond what the system
// draws, or an image beyond what the library holds, is refused with a run-time
// error instead of reaching GDI, the X server or the allocator.
#pragma once
#include <cmath>

namespace qm::forms {

// The longest side and the farthest position of a window or an image, in
// pixels: GDI's and the X server's coordinate range.
inline constexpr double kMaxPixels = 32767;
// The farthest coordinate GDI draws at (2^27 - 1), inside a window or an image.
inline constexpr double kMaxCoordinate = 134217727;
// The largest image, in bytes of 32-bit pixels (8,192 × 8,192).
inline constexpr long long kMaxImageBytes = 256ll << 20;

constexpr bool side_fits(double px) noexcept { return px >= 0 && px <= kMaxPixels; }  // false for NaN
constexpr bool position_fits(double px) noexcept { return px >= -kMaxPixels && px <= kMaxPixels; }
// Whether an image of w × h 32-bit pixels may be made.
constexpr bool image_fits(long long w, long long h) noexcept {
    return side_fits(static_cast<double>(w)) && side_fits(static_cast<double>(h)) && w * h * 4 <= kMaxImageBytes;
}

// Run-time errors of the checks.
namespace ferr {
constexpr long CantCreateImage = 480;  // "Can't create AutoRedraw image"
}

// A drawing coordinate in pixels, rounded; 6 beyond kMaxCoordinate (or NaN).
int coordinate(double px);
// 380 unless a window at x, y of w × h pixels fits.
void check_window(double x, double y, double w, double h);
// `error` (480 unless given) unless an image of w × h pixels fits.
void check_image(long long w, long long h, long error = ferr::CantCreateImage);

}  // namespace qm::forms
