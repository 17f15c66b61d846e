// Window: listing, searching and reading windows against the system's own calls
// on the same windows. Prints each ratio (ours / system, or ours / the same
// messages sent by hand).
#include <windows.h>

#include <string>
#include <vector>

#include "bench.h"
#include "runtime/bstr.h"
#include "windows/window.h"

using qmbench::report;
using qmbench::seconds;
using qmbench::sink;

namespace {

BOOL CALLBACK count_window(HWND h, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
    return TRUE;
}

}  // namespace

int main() {
    // Some windows of our own to find among the system's.
    std::vector<HWND> mine;
    for (int i = 0; i < 40; ++i)
        mine.push_back(CreateWindowExW(0, L"STATIC", (L"Bench window number " + std::to_wstring(i)).c_str(),
                                       WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr));
    qm::Window* w = qm::make_object<qm::Window>();
    const long target = static_cast<long>(reinterpret_cast<LONG_PTR>(mine[20]));
    const int runs = 2000;

    double ours = seconds(runs, [&] {
        SAFEARRAY* sa = nullptr;
        w->Get_AllHwnd(&sa);
        sink = sa ? sa->rgsabound[0].cElements : 0;
        SafeArrayDestroy(sa);
    });
    double theirs = seconds(runs, [] {
        std::vector<HWND> list;
        EnumWindows(count_window, reinterpret_cast<LPARAM>(&list));
        sink = list.size();
    });
    report("Get_AllHwnd / EnumWindows", runs, ours, theirs);

    ours = seconds(runs * 10, [&] {
        BSTR s = nullptr;
        w->Get_Text(target, &s);
        sink = SysStringLen(s);
        SysFreeString(s);
    });
    theirs = seconds(runs * 10, [&] {
        wchar_t buf[256];
        int n = GetWindowTextW(mine[20], buf, 256);
        BSTR s = SysAllocStringLen(buf, n);
        sink = SysStringLen(s);
        SysFreeString(s);
    });
    report("Get_Text / GetWindowTextW", runs * 10, ours, theirs);

    const int search_runs = 200;
    qm::Bstr phrase(L"number 33");
    VARIANT_BOOL exact = VARIANT_TRUE;
    ours = seconds(search_runs, [&] {
        SAFEARRAY* sa = nullptr;
        w->FindWindowByPhrase(phrase.get(), &exact, &sa);
        sink = sa ? sa->rgsabound[0].cElements : 0;
        SafeArrayDestroy(sa);
    });
    theirs = seconds(search_runs, [] {
        std::vector<HWND> list, found;
        EnumWindows(count_window, reinterpret_cast<LPARAM>(&list));
        for (HWND h : list) {
            wchar_t buf[512];
            GetWindowTextW(h, buf, 512);
            if (wcsstr(buf, L"number 33")) found.push_back(h);
        }
        sink = found.size();
    });
    report("FindWindowByPhrase / loop", search_runs, ours, theirs);
    // GetWindowTextW does not ask other processes' windows (it reads the title the
    // system keeps); FindWindowByPhrase asks every window for its own text, other
    // processes' with a time-out. The same asking by hand:
    theirs = seconds(search_runs, [] {
        std::vector<HWND> list, found;
        EnumWindows(count_window, reinterpret_cast<LPARAM>(&list));
        for (HWND h : list) {
            wchar_t buf[256] = {};
            if (GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId())
                SendMessageW(h, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buf));
            else
                SendMessageTimeoutW(h, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                    2000, nullptr);
            if (wcsstr(buf, L"number 33")) found.push_back(h);
        }
        sink = found.size();
    });
    report("FindWindowByPhrase / ask loop", search_runs, ours, theirs, "asking");

    w->Release();
    for (HWND h : mine) DestroyWindow(h);
    return 0;
}
