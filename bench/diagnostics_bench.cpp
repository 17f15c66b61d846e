// The error reporter's log write and Misc.Log against the system's own append
// (open, WriteFile of the ANSI line, close) of the same lines, in one run.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "frame/diagnostics.h"
#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "runtime/interfaces.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLines = 2000;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::wstring temp_file(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + name;
    DeleteFileW(path.c_str());
    return path;
}

double system_append(const std::wstring& path, const std::string& line) {
    auto start = Clock::now();
    for (int i = 0; i < kLines; ++i) {
        HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD put = 0;
        WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &put, nullptr);
        CloseHandle(h);
    }
    return seconds_since(start);
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring text = L"Datei nicht gefunden";
    std::string line = "08.12.2026 / 21:48:16 -> DLL ERROR <53>\r\n                         Class: File / Routine: "
                       "BinCopy\r\n                         Datei nicht gefunden\r\n";

    std::wstring ours_path = temp_file(L"qm_bench_report.log"), sys_path = temp_file(L"qm_bench_system.log");
    qm::set_diagnostics({false, false, false, ours_path});
    qm::Write_ErrorLog(8, L"BinCopy", 53, text, L"");  // the banner, once
    auto start = Clock::now();
    for (int i = 0; i < kLines; ++i) qm::Write_ErrorLog(8, L"BinCopy", 53, text, L"");
    double report = seconds_since(start);
    double system = system_append(sys_path, line);
    std::printf("Write_ErrorLog to the log file: %d entries %.3f s, system append %.3f s, ratio %.2f\n", kLines, report,
                system, report / system);

    std::wstring log_path = temp_file(L"qm_bench_misclog.log");
    qm::Bstr entry, target(log_path), message(text);
    start = Clock::now();
    for (int i = 0; i < kLines; ++i) qm::shared<_Misc>()->Log(message.get(), target.get(), 0, entry.put());
    double log = seconds_since(start);
    system = system_append(sys_path, "08.12.2026 / 21:48:16 -> Datei nicht gefunden\r\n");
    std::printf("Misc.Log: %d lines %.3f s, system append %.3f s, ratio %.2f\n", kLines, log, system, log / system);
    for (const std::wstring& p : {ours_path, sys_path, log_path}) DeleteFileW(p.c_str());
    CoUninitialize();
    return 0;
}
