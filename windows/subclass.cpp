// The library's window procedures on a client's windows, on the common controls'
// subclass chain.
#include "windows/subclass.h"

#include <commctrl.h>

#include <cmath>
#include <map>
#include <new>
#include <mutex>
#include <utility>

#include "runtime/forms/globals.h"
#include "runtime/module.h"

namespace qm::subclass {

namespace {

enum Kind : UINT_PTR { kLimitSize = 1, kPassThrough = 2 };

struct Record {
    SizeLimits limits;
};

// The live records by window and kind (client threads may each have windows).
std::mutex g_lock;
std::map<std::pair<HWND, UINT_PTR>, Record*> g_records;

// Screen pixels from twips in single precision, halves to even.
LONG screen_pixels(float twips, float per_pixel) { return static_cast<LONG>(std::nearbyint(twips / per_pixel)); }

LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR kind, DWORD_PTR data) {
    auto* record = reinterpret_cast<Record*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, procedure, kind);
        {
            std::lock_guard<std::mutex> guard(g_lock);
            g_records.erase({hwnd, kind});
        }
        delete record;
        lock_module(false);
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
    if (kind == kLimitSize && msg == WM_GETMINMAXINFO && lp && !IsIconic(hwnd) && !IsZoomed(hwnd)) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMaxSize.x = screen_pixels(forms::screen_width(), forms::screen_twips_per_pixel_x());
        info->ptMaxSize.y = screen_pixels(forms::screen_height(), forms::screen_twips_per_pixel_y());
        info->ptMaxPosition = POINT{0, 0};
        info->ptMinTrackSize = POINT{record->limits.x_min, record->limits.y_min};
        info->ptMaxTrackSize = POINT{record->limits.x_max, record->limits.y_max};
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

void install(HWND window, Kind kind, const SizeLimits& limits) noexcept {
    DWORD process = 0;
    if (!window || GetWindowThreadProcessId(window, &process) != GetCurrentThreadId() ||
        process != GetCurrentProcessId())
        return;
    std::lock_guard<std::mutex> guard(g_lock);
    if (auto known = g_records.find({window, kind}); known != g_records.end()) {
        known->second->limits = limits;
        return;
    }
    auto* record = new (std::nothrow) Record{limits};
    if (!record) return;
    if (!SetWindowSubclass(window, procedure, kind, reinterpret_cast<DWORD_PTR>(record))) {
        delete record;
        return;
    }
    g_records[{window, kind}] = record;
    lock_module(true);
}

}  // namespace

void limit_size(HWND window, const SizeLimits& limits) noexcept { install(window, kLimitSize, limits); }
void pass_through(HWND window) noexcept { install(window, kPassThrough, SizeLimits{}); }
long records() noexcept {
    std::lock_guard<std::mutex> guard(g_lock);
    return static_cast<long>(g_records.size());
}

}  // namespace qm::subclass
