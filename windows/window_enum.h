// The window lists behind the Window class, and the notification area's toolbar.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Every top-level window, visible or not, in Z order.
std::vector<HWND> Enum_TopWindows();
inline std::vector<HWND> Get_TopWindows() { return Enum_TopWindows(); }
// Every descendant of the window (children, grandchildren ...), in the system's order.
std::vector<HWND> Enum_ChildWindows(HWND parent);

// Climbs the parent chain (for an owned top-level window: its owner) to the
// window that has no parent; the window itself when it has none.
HWND top_parent(HWND window);

// The toolbar that holds the notification area's icons; 0 when this system has none
// the library knows.
long Get_TrayToolbarHwnd();
// The same for a taskbar window and the system's version (a Get_WinVer code and
// the NT flag): the notification window itself on the Windows 95 family, the
// pager's toolbar on NT 5.x, else nothing.
HWND tray_toolbar(HWND tray, long version, bool nt);

// A window's text as the window reports it (WM_GETTEXT); empty for an invalid
// handle, and for a window of another thread that does not answer within a short
// time. Windows of the calling thread answer at once and are asked directly.
// Texts that fit a small buffer need no allocation.
class WindowText {
public:
    explicit WindowText(HWND window);
    WindowText(const WindowText&) = delete;
    WindowText& operator=(const WindowText&) = delete;
    std::wstring_view view() const noexcept { return large_.empty() ? std::wstring_view(small_, size_) : large_; }

private:
    static constexpr size_t kSmall = 256;
    wchar_t small_[kSmall];
    size_t size_ = 0;
    std::wstring large_;
};
inline std::wstring window_text(HWND window) { return std::wstring(WindowText(window).view()); }
// The window's class name; empty for an invalid handle.
std::wstring window_class(HWND window);

}  // namespace qm
