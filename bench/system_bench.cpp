// System: the process list, special folders and the environment against the
// system's own calls on the same machine state. Prints each ratio (ours / system).
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "bench.h"
#include "system/system.h"

using qmbench::report;
using qmbench::seconds;
using qmbench::sink;

int main() {
    const int runs = 200;
    // The process list: the bare snapshot walk is the natural limit.
    double ours = seconds(runs, [] { sink = qm::sys::processes(false).size(); });
    double theirs = seconds(runs, [] {
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W e{sizeof(e)};
        size_t n = 0;
        for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) ++n;
        CloseHandle(snap);
        sink = n;
    });
    report("process list", runs, ours, theirs);

    // A special folder against SHGetFolderPathW.
    using Fn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    auto get = reinterpret_cast<Fn>(GetProcAddress(LoadLibraryW(L"shell32.dll"), "SHGetFolderPathW"));
    const int folder_runs = 2000;
    ours = seconds(folder_runs, [] { sink = qm::sys::special_folder(36).size(); });
    theirs = seconds(folder_runs, [&] {
        wchar_t path[MAX_PATH];
        get(nullptr, 36, nullptr, 0, path);
        sink = wcslen(path);
    });
    report("special folder (Windows)", folder_runs, ours, theirs);

    // The environment against walking the block.
    ours = seconds(folder_runs, [] { sink = qm::sys::environment().size(); });
    theirs = seconds(folder_runs, [] {
        wchar_t* block = GetEnvironmentStringsW();
        size_t n = 0;
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) n += *p != L'=';
        FreeEnvironmentStringsW(block);
        sink = n;
    });
    report("environment", folder_runs, ours, theirs);
    return 0;
}
