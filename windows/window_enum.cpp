#include "windows/window_enum.h"

#include <utility>

#include "frame/shared.h"
#include "runtime/errors.h"
#include "runtime/handover.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "windows/window_common.h"

namespace qm {

namespace {

BOOL CALLBACK collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> Enum_TopWindows() {
    std::vector<HWND> list;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&list));
    return list;
}

std::vector<HWND> Enum_ChildWindows(HWND parent) {
    std::vector<HWND> list;
    // Handle 0 is no window: without this test the system would list the
    // top-level windows instead, and the members that act on every descendant
    // would act on every window of the desktop.
    if (parent) EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&list));
    return list;
}

HWND top_parent(HWND window) {
    // The chain is short; the bound only guards against a broken one.
    for (int depth = 0; window && depth < 1000; ++depth) {
        HWND parent = GetParent(window);
        if (!parent) break;
        window = parent;
    }
    return window;
}

SAFEARRAY* handle_array(const std::vector<HWND>& handles) {
    if (handles.empty()) return nullptr;
    std::vector<long> values;
    values.reserve(handles.size());
    for (HWND h : handles) values.push_back(long_of(h));
    return long_array(values).detach();
}

namespace {

// WM_GETTEXT and WM_GETTEXTLENGTH; a hung thread cannot hang the caller.
bool ask(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR& answer) {
    const auto reply = send_bounded(window, message, wparam, lparam);
    if (reply) answer = static_cast<DWORD_PTR>(*reply);
    return reply.has_value();
}

}  // namespace

WindowText::WindowText(HWND window) {
    // Most texts fit the small buffer: one message, even across processes. Only
    // a text that fills it costs a second round with the announced length.
    DWORD_PTR copied = 0;
    if (!ask(window, WM_GETTEXT, kSmall, reinterpret_cast<LPARAM>(small_), copied)) return;
    if (copied < kSmall - 1) {
        size_ = copied;
        return;
    }
    DWORD_PTR length = 0;
    if (!ask(window, WM_GETTEXTLENGTH, 0, 0, length)) return;
    std::wstring text(length + 1, L'\0');
    if (!ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied)) return;
    // Exactly what the window copied (the length it announced may be larger).
    text.resize(copied < length ? copied : length);
    if (text.empty()) return;
    large_ = std::move(text);
}

std::wstring window_class(HWND window) {
    wchar_t name[250];
    int n = window ? GetClassNameW(window, name, 250) : 0;
    return std::wstring(name, n > 0 ? n : 0);
}

long Get_TrayToolbarHwnd() {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!tray) return 0;
    HWND notify = FindWindowExW(tray, nullptr, L"TrayNotifyWnd", nullptr);
    _System* system = shared<_System>();
    OPERATINGSYSTEM version = osUNKNOWN;
    VARIANT_BOOL nt = VARIANT_FALSE;
    check(system->Get_WinVer(&version));
    check(system->isWindowsNT(&nt));
    if (!nt && version != osWindowsMillenium) return long_of(notify);
    if (version == osWindows2000 || version == osWindowsXP || version == osWindows2003) {
        if (HWND pager = FindWindowExW(notify, nullptr, L"SysPager", nullptr))
            return long_of(FindWindowExW(pager, nullptr, L"ToolbarWindow32", nullptr));
    }
    return 0;
}

}  // namespace qm
