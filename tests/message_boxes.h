// Watches the test thread's message boxes from inside their modal loops: a
// thread timer looks at every open dialog-class window and hands it to the
// test, which may close it. Any box still open when the watcher ends is closed
// and counted as left open, so no test leaves a box behind.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qmtest {

struct BoxInfo {
    HWND hwnd;
    std::wstring caption, text;
    RECT rect;
    bool has(int id) const { return GetDlgItem(hwnd, id) != nullptr; }
};

inline std::wstring text_of_window(HWND h) {
    wchar_t buf[1024] = {};
    GetWindowTextW(h, buf, 1024);
    return buf;
}

inline void close_box(HWND box, int id = IDOK) { PostMessageW(box, WM_COMMAND, id, 0); }

class BoxWatcher {
public:
    // on_box runs on every tick for each open box of the thread.
    explicit BoxWatcher(std::function<void(const BoxInfo&)> on_box) : on_box_(std::move(on_box)) {
        current() = this;
        timer_ = SetTimer(nullptr, 0, 30, &BoxWatcher::tick);
    }
    ~BoxWatcher() {
        KillTimer(nullptr, timer_);
        current() = nullptr;
    }
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    // Closes what is still open; the number of boxes that were.
    int close_all() {
        int n = 0;
        for (HWND h : boxes()) {
            ++n;
            SendMessageW(h, WM_CLOSE, 0, 0);
            close_box(h);
        }
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        return n;
    }

    static std::vector<HWND> boxes() {
        std::vector<HWND> found;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND h, LPARAM p) CALLBACK -> BOOL {
                wchar_t cls[64] = {};
                GetClassNameW(h, cls, 64);
                if (std::wstring(cls) == L"#32770" && IsWindowVisible(h))
                    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

private:
    static BoxWatcher*& current() {
        static BoxWatcher* w = nullptr;
        return w;
    }
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        BoxWatcher* self = current();
        if (!self || self->busy_) return;
        self->busy_ = true;
        for (HWND h : boxes()) {
            BoxInfo info{h, text_of_window(h), text_of_window(GetDlgItem(h, 0xFFFF)), {}};
            GetWindowRect(h, &info.rect);
            self->on_box_(info);
        }
        self->busy_ = false;
    }
    std::function<void(const BoxInfo&)> on_box_;
    UINT_PTR timer_ = 0;
    bool busy_ = false;
};

}  // namespace qmtest
