// The error reporter's log write and Misc.Log against the system's own append
// (open, WriteFile of the ANSI line, close) of the same lines, in one run.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench.h"
#include "frame/diagnostics.h"
#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "runtime/interfaces.h"

namespace {

constexpr int kLines = 2000;

std::wstring temp_file(const wchar_t* name) {
    std::wstring path = qmbench::work_folder() + name;
    DeleteFileW(path.c_str());
    return path;
}

double system_append(const std::wstring& path, const std::string& line) {
    return qmbench::seconds(kLines, [&] {
        HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD put = 0;
        WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &put, nullptr);
        CloseHandle(h);
    });
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
    double report = qmbench::seconds(kLines, [&] { qm::Write_ErrorLog(8, L"BinCopy", 53, text, L""); });
    double system = system_append(sys_path, line);
    qmbench::report("Write_ErrorLog", kLines, report, system, "append");

    std::wstring log_path = temp_file(L"qm_bench_misclog.log");
    qm::Bstr entry, target(log_path), message(text);
    double log =
        qmbench::seconds(kLines, [&] { qm::shared<_Misc>()->Log(message.get(), target.get(), 0, entry.put()); });
    system = system_append(sys_path, "08.12.2026 / 21:48:16 -> Datei nicht gefunden\r\n");
    qmbench::report("Misc.Log", kLines, log, system, "append");
    for (const std::wstring& p : {ours_path, sys_path, log_path}) DeleteFileW(p.c_str());
    CoUninitialize();
    return 0;
}
