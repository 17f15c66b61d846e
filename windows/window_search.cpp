// Window: finding windows and listing them.
#include <algorithm>
#include <string>

#include "runtime/contract.h"
#include "runtime/strings.h"
#include "windows/window.h"
#include "windows/window_common.h"
#include "windows/window_enum.h"
#include "windows/window_process.h"

namespace qm {

namespace {

// The top-level windows of one process, in Z order.
std::vector<HWND> windows_of_process(DWORD pid) {
    std::vector<HWND> found;
    if (pid == 0) return found;
    for (HWND h : Enum_TopWindows())
        if (process_of_window(h) == pid) found.push_back(h);
    return found;
}

std::vector<HWND> unowned_windows_of_process(DWORD pid) {
    std::vector<HWND> found;
    for (HWND h : windows_of_process(pid))
        if (!GetParent(h)) found.push_back(h);
    return found;
}

// An empty text argument becomes a null string in the caller's variable.
const wchar_t* null_if_empty(BSTR* text) {
    if (!text) return nullptr;
    if (SysStringLen(*text) == 0) {
        SysFreeString(*text);
        *text = nullptr;
    }
    return *text;
}

}  // namespace

HRESULT Window::Get_AllHwnd(SAFEARRAY** result) {
    return untrapped(result, [&] { return handle_array(Get_TopWindows()); });
}

HRESULT Window::Get_ChildWindows(long hwnd, SAFEARRAY** result) {
    return untrapped(result, [&] { return handle_array(Enum_ChildWindows(hwnd_of(hwnd))); });
}

HRESULT Window::FindWindow(BSTR* ClassName, BSTR* Caption, long* result) {
    return untrapped(result, [&] {
        const wchar_t* class_name = null_if_empty(ClassName);
        const wchar_t* caption = null_if_empty(Caption);
        return long_of(FindWindowW(class_name, caption));
    });
}

HRESULT Window::FindChild(long ParentHwnd, BSTR ChildClass, long* result) {
    return untrapped(result, [&] {
        return long_of(FindWindowExW(hwnd_of(ParentHwnd), nullptr, std::wstring(text_of(ChildClass)).c_str(), nullptr));
    });
}

HRESULT Window::FindChildByText(long ParentHwnd, BSTR ChildClass, BSTR ChildText, long* result) {
    return untrapped(result, [&] {
        // The first candidate is chosen by class, the siblings after it by text alone.
        HWND h = FindWindowExW(hwnd_of(ParentHwnd), nullptr, std::wstring(text_of(ChildClass)).c_str(), nullptr);
        while (h && WindowText(h).view() != text_of(ChildText)) h = GetWindow(h, GW_HWNDNEXT);
        return long_of(h);
    });
}

HRESULT Window::FindWindowByPhrase(BSTR Phrase, VARIANT_BOOL* FindExact, SAFEARRAY** result) {
    return untrapped(result, [&] {
        const bool exact = flag_or(FindExact, true);
        std::wstring phrase(text_of(Phrase));
        if (!exact) phrase = LCase(phrase);
        std::vector<HWND> found;
        for (HWND h : Get_TopWindows()) {
            const WindowText title(h);
            const bool hit = exact ? title.view().find(phrase) != std::wstring_view::npos
                                   : LCase(title.view()).find(phrase) != std::wstring::npos;
            if (hit) found.push_back(h);
        }
        return handle_array(found);
    });
}

HRESULT Window::Get_AllHwndByClass(BSTR Class, SAFEARRAY** result) {
    return untrapped(result, [&] {
        const std::wstring name(text_of(Class));
        // The first one whose class the system's lookup takes (case-blind), then
        // the windows after it in Z order with exactly the same class name; all
        // from one list of the top-level windows, so that windows restacked
        // meanwhile are neither missed nor met twice.
        std::vector<HWND> found;
        for (HWND h : Enum_TopWindows()) {
            const std::wstring cls = window_class(h);
            const bool hit = found.empty() ? CompareStringOrdinal(cls.data(), static_cast<int>(cls.size()), name.data(),
                                                                  static_cast<int>(name.size()), TRUE) == CSTR_EQUAL
                                           : cls == name;
            if (hit) found.push_back(h);
        }
        return handle_array(found);
    });
}

HRESULT Window::Get_AllHwndByText(BSTR Text, VARIANT_BOOL* FindExact, SAFEARRAY** result) {
    return untrapped(result, [&] {
        const bool exact = flag_or(FindExact, true);
        std::wstring text(text_of(Text));
        if (!exact) text = LCase(text);
        // The first one whose title the system's lookup takes (case-blind), then
        // the whole titles of the windows after it in Z order; all from one list
        // of the top-level windows, so that windows restacked meanwhile are
        // neither missed nor met twice.
        std::vector<HWND> found;
        std::wstring title(text.size() + 2, L'\0');  // room to tell a longer title
        for (HWND h : Enum_TopWindows()) {
            if (found.empty()) {
                const int n = InternalGetWindowText(h, title.data(), static_cast<int>(title.size()));
                if (n == static_cast<int>(text.size()) &&
                    CompareStringOrdinal(title.data(), n, text.data(), n, TRUE) == CSTR_EQUAL)
                    found.push_back(h);
                continue;
            }
            const WindowText whole(h);
            if (exact ? whole.view() == text : LCase(whole.view()) == text) found.push_back(h);
        }
        return handle_array(found);
    });
}

HRESULT Window::PID_GetHwnds(long PID, SAFEARRAY** result) {
    return untrapped(result, [&] { return handle_array(windows_of_process(static_cast<DWORD>(PID))); });
}

HRESULT Window::Get_AllParentWindowsFromTaskID(long TaskID, SAFEARRAY** result) {
    return untrapped(result, [&] { return handle_array(unowned_windows_of_process(static_cast<DWORD>(TaskID))); });
}

HRESULT Window::Get_AllParentWindowsFromHwnd(long hwnd, SAFEARRAY** result) {
    return untrapped(result, [&] { return handle_array(unowned_windows_of_process(process_of_window(hwnd_of(hwnd)))); });
}

HRESULT Window::PID_GetParentWindows(long* PID, SAFEARRAY** result) {
    return untrapped(result, [&] {
        std::vector<HWND> parents;
        for (HWND h : windows_of_process(static_cast<DWORD>(arg_or(PID, 0L)))) {
            HWND top = top_parent(h);
            if (std::find(parents.begin(), parents.end(), top) == parents.end()) parents.push_back(top);
        }
        return handle_array(parents);
    });
}

HRESULT Window::TaskIDtoHwnd(long* TaskID, long* result) {
    return untrapped(result, [&] {
        std::vector<HWND> windows = windows_of_process(static_cast<DWORD>(arg_or(TaskID, 0L)));
        return windows.empty() ? -1L : long_of(top_parent(windows.front()));
    });
}

}  // namespace qm
