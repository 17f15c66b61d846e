// The window lists behind the Window class, and the notification area's toolbar.
#pragma once
#include <windows.h>

#include <string>
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

// A window's text as the window reports it; empty for an invalid handle, and for
// a window whose thread does not answer within a short time.
std::wstring window_text(HWND window);
// The window's class name; empty for an invalid handle.
std::wstring window_class(HWND window);

}  // namespace qm
