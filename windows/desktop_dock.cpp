// Desktop: a client's control docked into the taskbar, between the band of task
// buttons and the notification area, and given back to its form.
#include <mutex>
#include <vector>

#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/limits.h"
#include "runtime/latebind.h"
#include "windows/desktop.h"
#include "windows/window_common.h"

namespace qm {

namespace {

// One control handed to the taskbar: where it came from (its container's units).
struct Attached {
    long hwnd;  // -1 once given back
    long parent;
    long left, top, width, height;
};

// For the whole process: entries are marked, never removed.
std::mutex g_mutex;
std::vector<Attached> g_attached;

long control_hwnd(IDispatch* control) { return CLng(*late::get(control, L"hwnd").get()); }
long long_property(IDispatch* control, const wchar_t* name) { return CLng(*late::get(control, name).get()); }

// The entry of a control's window, or -1.
long entry_of(long hwnd) {
    for (size_t i = 0; i < g_attached.size(); ++i)
        if (g_attached[i].hwnd == hwnd) return static_cast<long>(i);
    return -1;
}

RECT window_rect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

// Makes room for the control in the taskbar and places it there (pixels).
void Dock_ControlInTaskbar(HWND control, HWND bar, long w, long h) {
    HWND band = Get_TaskbarRebarHwnd();
    RECT t = window_rect(bar), c{}, b = window_rect(band), n = window_rect(Get_TrayNotifyHwnd());
    GetClientRect(bar, &c);
    if (t.top == 0 && b.right == 0 && n.left == 0) return;
    const long width = t.right - t.left, height = t.bottom - t.top;
    if (height > width) {  // along a side of the screen
        MoveWindow(band, c.left, b.top - t.top, b.right - b.left, (n.top - b.top) - h, TRUE);
        b = window_rect(band);
        const long room = c.right - c.left - 6;
        MoveWindow(control, c.left + 4, b.bottom, w <= room ? w : room, h, TRUE);
    } else if (width > height) {  // along the top or bottom
        MoveWindow(band, b.left - t.left, c.top, (n.left - b.left) - w, b.bottom - b.top, TRUE);
        b = window_rect(band);
        const long room = c.bottom - c.top - 6;
        MoveWindow(control, b.right, c.top + 4, w, h <= room ? h : room, TRUE);
    }
}

}  // namespace

HRESULT Desktop::TaskBar_AttachControl(IDispatch** Control, long* Form_ForceWidth, long* Form_ForceHeight,
                                       long* result) {
    return trapped(Trap{Source::Desktop, L"Taskbar_AttachControl"}, result, ErrorNumberResult{}, [&] {
        // Sizes no window can have are refused before anything changes.
        forms::check_window(0, 0, Form_ForceWidth ? *Form_ForceWidth : 0, Form_ForceHeight ? *Form_ForceHeight : 0);
        IDispatch* control = Control ? *Control : nullptr;
        late::skipping_errors([&] {
            long hwnd = control_hwnd(control);
            std::lock_guard lock(g_mutex);
            if (entry_of(hwnd) >= 0) return;
            g_attached.push_back({hwnd, long_of(GetParent(hwnd_of(hwnd))), long_property(control, L"Left"),
                                  long_property(control, L"Top"), long_property(control, L"Width"),
                                  long_property(control, L"Height")});
        });
        // Without a taskbar, its band and its notification area the control stays
        // where it is (it would land on the desktop); so it does when the shell
        // does not answer (moving its band would wait for it).
        HWND bar = desktop_window(dtTASKBAR);
        if (!bar || !Get_TaskbarRebarHwnd() || !Get_TrayNotifyHwnd() || !answers(bar)) raise(err::InvalidCall);
        HWND h = hwnd_of(control_hwnd(control));
        // Its own size is its window's size in pixels, whatever its container's scale.
        RECT own = window_rect(h);
        long w = Form_ForceWidth && *Form_ForceWidth ? *Form_ForceWidth : own.right - own.left;
        long ht = Form_ForceHeight && *Form_ForceHeight ? *Form_ForceHeight : own.bottom - own.top;
        SetParent(h, bar);
        late::skipping_errors([&] { Dock_ControlInTaskbar(h, bar, w, ht); });
        return 0L;
    });
}

HRESULT Desktop::TaskBar_DetachControl(IDispatch** Control, long* result) {
    return trapped(Trap{Source::Desktop, L"Taskbar_DetachControl"}, result, ErrorNumberResult{}, [&] {
        IDispatch* control = Control ? *Control : nullptr;
        long hwnd = 0, index = -1;
        Attached entry{};
        late::skipping_errors([&] {
            hwnd = control_hwnd(control);
            std::lock_guard lock(g_mutex);
            index = entry_of(hwnd);
            if (index >= 0) entry = g_attached[index];
        });
        if (index < 0) return 0L;
        SetParent(hwnd_of(hwnd), hwnd_of(entry.parent));
        late::put(control, L"Height", Variant(entry.height));
        late::put(control, L"Left", Variant(entry.left));
        late::put(control, L"Top", Variant(entry.top));
        late::put(control, L"Width", Variant(entry.width));
        late::call(control, L"Refresh");
        forms::do_events();
        std::lock_guard lock(g_mutex);
        g_attached[index].hwnd = -1;
        return 0L;
    });
}

}  // namespace qm
