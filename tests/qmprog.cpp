// A program of the tests' own for the program-execution members. Modes:
//   qmprog print <text>          writes text to standard output (no line end)
//   qmprog exit <code>           ends with that exit code
//   qmprog until <file> [code]   ends (with code, default 0) once file exists
//   qmprog window <caption> <file>
//                                shows a top-level window with that caption and
//                                ends once file exists
// A copy named like another program (a name not starting with "qm") writes how it was started (the show command, -1 when
// none was given, a line end and its command line, UTF-8) to its own path followed
// by ".started", and ends.
// Every waiting mode gives up after two minutes, so that it never outlives a
// failed test.
#include <windows.h>

#include <cwchar>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kGiveUp = 120000;

bool exists(const wchar_t* file) { return GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES; }

int print_mode(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, bytes.data(), n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return 0;
}

int until_mode(const wchar_t* file, int code) {
    for (DWORD waited = 0; !exists(file) && waited < kGiveUp; waited += 20) Sleep(20);
    return code;
}

const wchar_t* g_file = nullptr;

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && exists(g_file)) DestroyWindow(hwnd);
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int window_mode(const wchar_t* caption, const wchar_t* file) {
    g_file = file;
    WNDCLASSW wc{};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QmProgWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowW(L"QmProgWindow", caption, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
    if (!hwnd) return 3;
    SetTimer(hwnd, 1, 20, nullptr);
    DWORD start = GetTickCount();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (GetTickCount() - start > kGiveUp) break;
        DispatchMessageW(&msg);
    }
    return 0;
}

int record_start(const std::wstring& self) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    GetStartupInfoW(&si);
    std::wstring text = std::to_wstring((si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1) + L"\n" +
                        GetCommandLineW();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    // Written under another name first, so that a reader never sees half of it.
    const std::wstring part = self + L".part", done = self + L".started";
    HANDLE h = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return MoveFileExW(part.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const wchar_t* name = wcsrchr(self, L'\\');
    if (length && _wcsnicmp(name ? name + 1 : self, L"qm", 2) != 0) return record_start(self);
    if (argc >= 3 && wcscmp(argv[1], L"print") == 0) return print_mode(argv[2]);
    if (argc >= 3 && wcscmp(argv[1], L"exit") == 0) return _wtoi(argv[2]);
    if (argc >= 3 && wcscmp(argv[1], L"until") == 0) return until_mode(argv[2], argc >= 4 ? _wtoi(argv[3]) : 0);
    if (argc >= 4 && wcscmp(argv[1], L"window") == 0) return window_mode(argv[2], argv[3]);
    return 2;
}
