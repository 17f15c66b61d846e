// The tests' window program qmwindows.exe, started for one test and ended with it.
#pragma once
#include <windows.h>

#include <string>

#include "support.h"

namespace qmtest {

class Helper {
public:
    explicit Helper(const std::wstring& tag, const std::wstring& mode = L"") : tag_(tag) {
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring path(exe);
        path = path.substr(0, path.find_last_of(L'\\') + 1);
        // Beside the test, or in the tests' folder for a benchmark.
        path += GetFileAttributesW((path + L"qmwindows.exe").c_str()) != INVALID_FILE_ATTRIBUTES ? L"qmwindows.exe"
                                                                                             : L"..\\tests\\qmwindows.exe";
        std::wstring event_name = L"QmWindowsReady" + std::to_wstring(GetCurrentProcessId()) + tag;
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, event_name.c_str());
        std::wstring cmd = L"\"" + path + L"\" " + tag + L" " + event_name + (mode.empty() ? L"" : L" " + mode);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            process_ = pi.hProcess;
            pid_ = pi.dwProcessId;
            HANDLE both[2] = {ready, process_};
            WaitForMultipleObjects(2, both, FALSE, 30000);
        }
        CloseHandle(ready);
        main_ = FindWindowW(L"QmWinMain", (L"QM Main " + tag).c_str());
        owned_ = FindWindowW(L"QmWinOwned", (L"QM Owned " + tag).c_str());
    }
    ~Helper() { end(); }
    // Ends the program now.
    void end() {
        if (process_) {
            TerminateProcess(process_, 0);
            WaitForSingleObject(process_, 10000);
            CloseHandle(process_);
            process_ = nullptr;
        }
    }
    Helper(const Helper&) = delete;
    HWND main() const { return main_; }
    HWND owned() const { return owned_; }
    DWORD pid() const { return pid_; }
    // Waits for the program's end (messages keep flowing); its exit code.
    DWORD wait_exit() {
        DWORD code = STILL_ACTIVE;
        for (int i = 0; i < 1000 && WaitForSingleObject(process_, 10) == WAIT_TIMEOUT; ++i) pump_messages();
        GetExitCodeProcess(process_, &code);
        return code;
    }
    HWND find_child(const wchar_t* cls) const { return FindWindowExW(main_, nullptr, cls, nullptr); }

private:
    std::wstring tag_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr, owned_ = nullptr;
};

}  // namespace qmtest
