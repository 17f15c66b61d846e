// The library's window procedures on a client's windows: one record per window
// and kind, installed through the common controls' subclass chain (so that a
// subclass another party adds after ours stays chained when ours goes) and
// removed at the window's WM_NCDESTROY. While any record lives the library stays
// loaded. Windows of another thread or process are left alone.
#pragma once
#include <windows.h>

namespace qm::subclass {

struct SizeLimits {
    long x_min = 0, y_min = 0, x_max = 0, y_max = 0;  // screen pixels
};

// The size-limit procedure: WM_GETMINMAXINFO answers the limits while the window
// is neither minimised nor maximised. The same window again gets the new limits.
void limit_size(HWND window, const SizeLimits& limits) noexcept;
// The pass-through procedure: every message goes on unchanged.
void pass_through(HWND window) noexcept;
// How many records live now.
long records() noexcept;

}  // namespace qm::subclass
