// The process list, and acting on processes by executable name.
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/process.h"
#include "runtime/safearray.h"
#include "system/system.h"

namespace qm {

namespace {

using process::Handle;

// The record types of the type library.
constexpr GUID kProcessInfo = {0xED070A80, 0x265D, 0x4122, {0x98, 0x66, 0xDF, 0x0C, 0x80, 0x85, 0x26, 0x50}};
constexpr GUID kProcessOwner = {0x7C8FFCAC, 0x3817, 0x45B9, {0xB8, 0xB9, 0xB9, 0xA0, 0x5F, 0xE9, 0xBB, 0xD8}};

std::wstring full_path_of(DWORD pid) {
    Handle p(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!p) return {};
    wchar_t path[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(std::size(path));
    return QueryFullProcessImageNameW(p.get(), 0, path, &size) ? std::wstring(path, size) : std::wstring();
}

// Account and domain of a process's user; empty when they cannot be read.
struct Owner {
    std::wstring name, domain;
};

std::wstring trimmed(std::wstring s) {
    std::erase(s, L'\0');
    size_t b = s.find_first_not_of(L' '), e = s.find_last_not_of(L' ');
    return b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
}

Owner owner_of(DWORD pid) {
    Handle p(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!p) p.reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!p) return {};
    Handle token;
    if (!OpenProcessToken(p.get(), TOKEN_READ, token.put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    DWORD name_len = 0, domain_len = 0;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, nullptr, &name_len, nullptr, &domain_len, &use) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::wstring name(name_len, L'\0'), domain(domain_len, L'\0');
    if (!LookupAccountSidW(nullptr, sid, name.data(), &name_len, domain.data(), &domain_len, &use)) return {};
    return {trimmed(name), trimmed(domain)};
}

void put_text(BSTR& field, std::wstring_view text) { field = Bstr(text).detach(); }

}  // namespace

namespace sys {

std::vector<Process> processes(bool full_path, bool nt) {
    std::vector<Process> list;
    Handle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return list;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof(e);
    for (BOOL more = Process32FirstW(snap.get(), &e); more; more = Process32NextW(snap.get(), &e)) {
        Process p;
        p.name = e.szExeFile;
        p.pid = e.th32ProcessID;
        if (nt) {
            p.threads = e.cntThreads;
            if (full_path)
                if (std::wstring path = full_path_of(e.th32ProcessID); !path.empty()) p.name = std::move(path);
        }
        list.push_back(std::move(p));
    }
    return list;
}

}  // namespace sys

HRESULT System::Get_ProcessList(VARIANT_BOOL* GetFullPath, SAFEARRAY** result) {
    return untrapped(result, [&] {
        if (!platform_.tested) {
            VARIANT_BOOL nt = VARIANT_FALSE;
            check(isWindowsNT(&nt));
            platform_ = {true, nt != VARIANT_FALSE};
        }
        auto list = sys::processes(GetFullPath && *GetFullPath, platform_.nt);
        SafeArray out = SafeArray::records(kProcessInfo, static_cast<long>(list.size()));
        for (size_t i = 0; i < list.size(); ++i) {
            auto& r = out.at<PROCESSINFO>(static_cast<long>(i));
            put_text(r.EXENAME, list[i].name);
            r.PROCESSID = static_cast<LONG>(list[i].pid);
            r.THREADS = static_cast<LONG>(list[i].threads);
        }
        return out.detach();
    });
}

// The process list of a System instance and the entry of name in it (-1 when
// absent); an empty name never matches.
struct Found {
    SafeArray list;
    long index = -1;
    const PROCESSINFO& entry() const { return list.at<PROCESSINFO>(index); }
};

Found find_task(_System* system, std::wstring_view name, bool full_path) {
    Found f{SafeArray(VT_RECORD)};
    if (name.empty()) return f;
    VARIANT_BOOL full = full_path ? VARIANT_TRUE : VARIANT_FALSE;
    check(system->Get_ProcessList(&full, f.list.put()));
    f.index = ProcessFind(f.list.get(), name, 0);
    return f;
}

HRESULT System::TaskIsActive(BSTR EXENAME, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return find_task(this, text_of(EXENAME), false).index >= 0; });
}

HRESULT System::TerminateTask(BSTR EXENAME, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        Found f = find_task(this, text_of(EXENAME), false);
        if (f.index < 0) return false;
        LONG pid = f.entry().PROCESSID;
        VARIANT_BOOL ended = VARIANT_FALSE;
        check(shared<_Window>()->TerminateThread(0, &pid, &ended));
        return ended != VARIANT_FALSE;
    });
}

HRESULT System::Get_ProcessCount(LONG* result) {
    return untrapped(result, [] {
        SafeArray list(VT_RECORD);
        VARIANT_BOOL full = VARIANT_FALSE;
        check(shared<_System>()->Get_ProcessList(&full, list.put()));
        return list.count();
    });
}

HRESULT System::Process_GetThreadsCount(BSTR EXE, VARIANT_BOOL EXEpathIsFullPath, LONG* result) {
    return untrapped(result, [&] {
        Found f = find_task(shared<_System>(), text_of(EXE), EXEpathIsFullPath != VARIANT_FALSE);
        return f.index < 0 ? -1L : static_cast<long>(f.entry().THREADS);
    });
}

HRESULT System::Get_ProcessUserName(LONG PROCESSID, PROCESSUSERNAMEINFO* result) {
    if (!result) return E_POINTER;
    *result = PROCESSUSERNAMEINFO{};
    return untrapped([&] {
        Owner o = owner_of(static_cast<DWORD>(PROCESSID));
        Bstr name(o.name), domain(o.domain);
        result->Owner = name.detach();
        result->Domain = domain.detach();
    });
}

HRESULT System::Get_ProcessesListWithUsername(SAFEARRAY** result) {
    return untrapped(result, [&] {
        struct Row {
            sys::Process process;
            Owner owner;
        };
        std::vector<Row> rows;
        for (auto& p : sys::processes(false)) {
            Owner o = owner_of(p.pid);
            if (!o.name.empty()) rows.push_back({std::move(p), std::move(o)});
        }
        SafeArray out = SafeArray::records(kProcessOwner, static_cast<long>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i) {
            auto& r = out.at<PROCESSOWNER>(static_cast<long>(i));
            put_text(r.EXENAME, rows[i].process.name);
            r.PROCESSID = static_cast<LONG>(rows[i].process.pid);
            put_text(r.Owner, rows[i].owner.name);
            put_text(r.Domain, rows[i].owner.domain);
        }
        return out.detach();
    });
}

HRESULT System::TaskManager_GetTasks(SAFEARRAY** result) {
    return untrapped(result, [] {
        SafeArray all(VT_I4);
        check(shared<_Window>()->Get_AllHwnd(all.put()));
        std::vector<long> tasks;
        for (long i = 0, n = all.count(); i < n; ++i) {
            long hwnd = all.at<long>(all.lbound() + i);
            HWND w = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd));
            if (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_APPWINDOW) tasks.push_back(hwnd);
        }
        return long_array(tasks).detach();
    });
}

}  // namespace qm
