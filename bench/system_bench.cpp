// System: the process list, special folders and the environment (as entries and
// as the member's String array) against the system's own calls on the same
// machine state. Prints each ratio (ours / system).
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "bench.h"
#include "runtime/com_ptr.h"
#include "system/system.h"

using qmbench::report;
using qmbench::seconds;
using qmbench::sink;

int main() {
    CoInitialize(nullptr);
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

    // WindowsEnvironment as a String array against the block walked into one.
    qm::ComPtr<qm::System> system = qm::ComPtr<qm::System>::attach(new qm::System());
    ours = seconds(folder_runs, [&] {
        SAFEARRAY* sa = nullptr;
        system->Get_WindowsEnvironment(&sa);
        sink = sa ? sa->rgsabound[0].cElements : 0;
        SafeArrayDestroy(sa);
    });
    theirs = seconds(folder_runs, [] {
        wchar_t* block = GetEnvironmentStringsW();
        std::vector<BSTR> parts;
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1)
            if (*p != L'=') parts.push_back(SysAllocString(p));
        FreeEnvironmentStringsW(block);
        sink = qmbench::string_array_round_trip(parts);
    });
    report("environment as array", folder_runs, ours, theirs);
    system = {};
    CoUninitialize();
    return 0;
}
