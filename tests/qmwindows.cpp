// A program with windows of its own, for the window tests. Usage:
//   qmwindows <tag> <ready event> [taskbar-bottom | taskbar-left | taskbar-menu | menu | memory | listbox]
// shows a top-level window "QM Main <tag>" (class QmWinMain) with an edit box,
// a button and a static group holding a static label, plus a window it owns,
// "QM Owned <tag>" (class QmWinOwned); then signals the named event and runs
// its message loop. Closing the main window ends the program. A posted
// WM_APP + 1 makes the program stop answering (its only thread sleeps) for a
// minute. It gives up after two minutes, so that it never outlives a failed test.
// The taskbar modes add a stand-in of the shell's taskbar: a top-most
// "Shell_TrayWnd" 30 pixels high along the bottom edge (or 100 pixels wide along
// the left edge) holding "ReBarWindow32", "TrayNotifyWnd" with "TrayClockWClass",
// and a "Button" whose text counts its clicks; the taskbar's own text names the
// last command it received. The memory mode puts an automation string (byte-length
// prefix, UTF-16) "Hallo Quillmark Welt" at kTextAddress, in memory readable up to
// kMemoryEnd, with a 4 MiB block of 'x' characters ending in "Nadel" before it.
// The listbox mode adds a list box of the forms runtime's class "ThunderRT6ListBox"
// (registered here on the system's list box) holding "eins", "Zwei Ω" and "drei".
// The menu modes (menu, taskbar-menu) make a button-down on the main window, and
// on the stand-in taskbar's button, run a modal loop as a menu does: the main
// window's text is "modal" until a posted WM_APP + 2 ends the loop ("closed").
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr UINT kHang = WM_APP + 1;
constexpr UINT kEndModal = WM_APP + 2;
constexpr UINT_PTR kGiveUpTimer = 1;

HWND g_main = nullptr;
bool g_modal_clicks = false;

// A button-down that opens a menu: the click's sender waits until the loop ends.
void modal_loop() {
    SetWindowTextW(g_main, L"modal");
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0 && msg.message != kEndModal) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the program's own loop
    if (IsWindow(g_main)) SetWindowTextW(g_main, L"closed");
}

LRESULT CALLBACK main_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kHang:
        Sleep(60000);
        return 0;
    case WM_LBUTTONDOWN:
        if (g_modal_clicks) modal_loop();
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

// The stand-in taskbar's windows.
LRESULT CALLBACK taskbar_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && lp == 0) {
        SetWindowTextW(hwnd, (L"cmd " + std::to_wstring(LOWORD(wp))).c_str());
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK button_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONDOWN && g_modal_clicks) {
        modal_loop();
        return 0;
    }
    if (msg == WM_LBUTTONUP) {
        wchar_t text[32] = {};
        GetWindowTextW(hwnd, text, 32);
        SetWindowTextW(hwnd, std::to_wstring(_wtoi(text) + 1).c_str());
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void make_taskbar(bool bottom) {
    register_class(L"Shell_TrayWnd", taskbar_proc);
    register_class(L"ReBarWindow32", DefWindowProcW);
    register_class(L"TrayNotifyWnd", DefWindowProcW);
    register_class(L"TrayClockWClass", DefWindowProcW);
    register_class(L"Button", button_proc);  // this program's own: it only counts clicks
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    RECT bar = bottom ? RECT{0, sh - 30, sw, sh} : RECT{0, 0, 100, sh};
    HWND tray = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP | WS_VISIBLE,
                                bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (bottom) {
        child(tray, L"Button", L"0", 0, 0, 60, 30, 10);
        child(tray, L"ReBarWindow32", L"", 60, 0, sw - 260, 30, 11);
        HWND notify = child(tray, L"TrayNotifyWnd", L"", sw - 200, 0, 200, 30, 12);
        child(notify, L"TrayClockWClass", L"", 140, 0, 60, 30, 13);
    } else {
        child(tray, L"Button", L"0", 0, 0, 100, 30, 10);
        child(tray, L"ReBarWindow32", L"", 0, 30, 100, sh - 230, 11);
        HWND notify = child(tray, L"TrayNotifyWnd", L"", 0, sh - 200, 100, 200, 12);
        child(notify, L"TrayClockWClass", L"", 0, 170, 100, 30, 13);
    }
}

void make_list_box(HWND main) {
    WNDCLASSEXW wc{sizeof(wc)};
    if (!GetClassInfoExW(nullptr, L"ListBox", &wc)) return;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ThunderRT6ListBox";
    wc.style &= ~CS_GLOBALCLASS;
    RegisterClassExW(&wc);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"ThunderRT6ListBox", L"", WS_CHILD | WS_VISIBLE | LBS_HASSTRINGS,
                                230, 50, 80, 80, main, reinterpret_cast<HMENU>(static_cast<INT_PTR>(5)),
                                GetModuleHandleW(nullptr), nullptr);
    for (const wchar_t* item : {L"eins", L"Zwei \u03A9", L"drei"})
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

constexpr uintptr_t kMemoryBase = 0x30000000;
constexpr uintptr_t kTextAddress = kMemoryBase + 0x500004;  // after its 4-byte length prefix
constexpr uintptr_t kMemoryEnd = kMemoryBase + 0x501000;

bool make_memory() {
    void* base = VirtualAlloc(reinterpret_cast<void*>(kMemoryBase), kMemoryEnd - kMemoryBase,
                              MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (base != reinterpret_cast<void*>(kMemoryBase)) return false;
    auto* haystack = reinterpret_cast<wchar_t*>(kMemoryBase + 0x100000);
    const size_t count = 0x200000;  // 4 MiB of characters
    for (size_t i = 0; i < count; ++i) haystack[i] = L'x';
    wmemcpy(haystack + count - 5, L"Nadel", 5);
    const wchar_t text[] = L"Hallo Quillmark Welt";
    *reinterpret_cast<DWORD*>(kTextAddress - 4) = sizeof(text) - sizeof(wchar_t);
    wmemcpy(reinterpret_cast<wchar_t*>(kTextAddress), text, wcslen(text));
    return true;
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
    g_main = main;
    child(main, L"EDIT", L"Eingabe", 10, 10, 120, 24, 1);
    child(main, L"BUTTON", L"OK", 140, 10, 80, 24, 2);
    HWND group = child(main, L"STATIC", L"Gruppe", 10, 50, 200, 80, 3);
    child(group, L"STATIC", L"Innen", 10, 10, 100, 20, 4);
    CreateWindowExW(0, L"QmWinOwned", (L"QM Owned " + tag).c_str(), WS_POPUP | WS_CAPTION | WS_VISIBLE, 400, 40, 200,
                    120, main, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetTimer(main, kGiveUpTimer, 120000, nullptr);
    const std::wstring mode = argc > 3 ? argv[3] : L"";
    g_modal_clicks = mode == L"menu" || mode == L"taskbar-menu";
    if (mode == L"taskbar-bottom" || mode == L"taskbar-left" || mode == L"taskbar-menu")
        make_taskbar(mode != L"taskbar-left");
    if (mode == L"memory" && !make_memory()) return 4;
    if (mode == L"listbox") make_list_box(main);

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
