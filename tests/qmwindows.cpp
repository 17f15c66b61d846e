// A program with windows of its own, for the window tests. Usage:
//   qmwindows <tag> <ready event>
// shows a top-level window "QM Main <tag>" (class QmWinMain) with an edit box,
// a button and a static group holding a static label, plus a window it owns,
// "QM Owned <tag>" (class QmWinOwned); then signals the named event and runs
// its message loop. Closing the main window ends the program. A posted
// WM_APP + 1 makes the program stop answering (its only thread sleeps) for a
// minute. It gives up after two minutes, so that it never outlives a failed test.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr UINT kHang = WM_APP + 1;
constexpr UINT_PTR kGiveUpTimer = 1;

LRESULT CALLBACK main_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kHang:
        Sleep(60000);
        return 0;
    case WM_TIMER:
        if (wp == kGiveUpTimer) DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void register_class(const wchar_t* name, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* text, int x, int y, int w, int h, int id) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring tag = argv[1];
    register_class(L"QmWinMain", main_proc);
    register_class(L"QmWinOwned", DefWindowProcW);

    HWND main = CreateWindowExW(0, L"QmWinMain", (L"QM Main " + tag).c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                40, 320, 240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!main) return 3;
    child(main, L"EDIT", L"Eingabe", 10, 10, 120, 24, 1);
    child(main, L"BUTTON", L"OK", 140, 10, 80, 24, 2);
    HWND group = child(main, L"STATIC", L"Gruppe", 10, 50, 200, 80, 3);
    child(group, L"STATIC", L"Innen", 10, 10, 100, 20, 4);
    CreateWindowExW(0, L"QmWinOwned", (L"QM Owned " + tag).c_str(), WS_POPUP | WS_CAPTION | WS_VISIBLE, 400, 40, 200,
                    120, main, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetTimer(main, kGiveUpTimer, 120000, nullptr);

    if (HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2])) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
