// System: the current user and the local accounts, privileges and security
// identifiers, the computer name, the user policies, and the commands that
// end, lock or notify the session.
#include <windows.h>

#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/com_ptr.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/handover.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "system/system.h"

// After the type library's enumerations, some of whose names it defines as macros.
#include <advpub.h>
#include <lm.h>

namespace qm {

namespace {

constexpr wchar_t kSystemPolicies[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kExplorerPolicies[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// The policy switches, by option number.
constexpr sys::Policy kPolicies[] = {
    {kSystemPolicies, L"DisableTaskMgr", 0, 1},
    {kSystemPolicies, L"DisableRegistryTools", 0, 1},
    {kSystemPolicies, L"NoLogOff", 0, 1},
    {kSystemPolicies, L"DisableWindowsUpdateAccess", 0, 1},
    {L"Software\\Policies\\Microsoft\\Windows\\System", L"DisableCMD", 0, 2},
    {kExplorerPolicies, L"NoSaveSettings", 0, 1},
    {kExplorerPolicies, L"NoControlPanel", 0, 1},
    {kExplorerPolicies, L"NoNetHood", 0, 1},
};

sys::SessionCalls g_session = {ExitWindowsEx, LockWorkStation, PostMessageW};

bool nt_family() { return (GetVersion() & 0x80000000u) == 0; }

std::wstring user_name() {
    wchar_t buffer[256] = {};
    DWORD size = 255;
    if (!GetUserNameW(buffer, &size) || size == 0) return {};
    return Trim(std::wstring_view(buffer, size - 1));
}

// The shutdown privilege of this process, enabled.
void enable_shutdown_privilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
}

bool write_policy(const wchar_t* key, const wchar_t* value, long data) {
    VARIANT_BOOL done = VARIANT_FALSE;
    check(shared<_Registry>()->ValueSet(HKEY_CURRENT_USER_, Bstr(key).get(), Bstr(value).get(), Variant(data), &done));
    return done != VARIANT_FALSE;
}

}  // namespace

namespace sys {

bool ordinary_user(std::wstring_view name) {
    if (LCase(name).starts_with(L"support")) return false;
    return name != L"Hilfeassistent" && name != L"Gast" && name != L"Administrator";
}

const Policy* policy(long option) noexcept {
    return option >= 0 && option < static_cast<long>(std::size(kPolicies)) ? &kPolicies[option] : nullptr;
}

SessionCalls& session_calls() { return g_session; }
void reset_session_calls() { g_session = {ExitWindowsEx, LockWorkStation, PostMessageW}; }

}  // namespace sys

HRESULT System::Get_LocalUserName(BSTR* result) {
    return untrapped(result, [] { return user_name(); });
}

// The local accounts through the directory service; without SystemUser the
// built-in and support accounts are left out. A failure keeps the names
// gathered so far.
HRESULT System::Get_UserList(VARIANT_BOOL* SystemUser, LONG* ErrorNumber, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    std::vector<std::wstring> names;
    const bool all = !SystemUser || *SystemUser;
    HRESULT hr = trapped(Trap{Source::System, L"Get_UserList", ErrorNumber}, [&] {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(L"WScript.Network", &clsid))) raise(err::CantCreateObject);
        ComPtr<IDispatch> network;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                    network.put_void())) ||
            !network)
            raise(err::CantCreateObject);
        const std::wstring domain = CStr(late::get(network.get(), L"UserDomain"));
        ComPtr<IDispatch> container = wmi::bind(L"WinNT://" + domain);
        late::put(container.get(), L"Filter", std::move(string_array({L"User"})).to_variant());
        for (auto& account : wmi::items(container.get())) {
            std::wstring name = CStr(late::get(account.get(), L"Name"));
            if (all || sys::ordinary_user(name)) names.push_back(std::move(name));
        }
    });
    std::move(string_array(names)).to_variant().detach(result);
    return hr;
}

HRESULT System::Get_UserLogInState(BSTR* User, USER_PRIV* result) {
    if (!result) return E_POINTER;
    *result = USER_NOT_EXIST;
    return untrapped([&] {
        if (!nt_family()) {
            *result = static_cast<USER_PRIV>(2);  // administrator
            return;
        }
        std::wstring name(User ? text_of(*User) : std::wstring_view());
        if (name.empty()) name = user_name();
        check_name(name, limit::kAccountName);
        LPBYTE buffer = nullptr;
        if (NetUserGetInfo(nullptr, name.c_str(), 1, &buffer) == NERR_Success && buffer)
            *result = static_cast<USER_PRIV>(reinterpret_cast<const USER_INFO_1*>(buffer)->usri1_priv);
        if (buffer) NetApiBufferFree(buffer);
    });
}

HRESULT System::isAdmin(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        using IsNTAdminFn = decltype(&IsNTAdmin);
        HMODULE advpack = LoadLibraryExW(L"advpack.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        auto is_admin =
            advpack ? reinterpret_cast<IsNTAdminFn>(reinterpret_cast<void*>(GetProcAddress(advpack, "IsNTAdmin"))) : nullptr;
        if (!is_admin) raise(453, L"Specified DLL function not found");
        return is_admin(0, nullptr) != FALSE;
    });
}

// The bytes of the account's security identifier as decimal numbers written
// one after the other.
HRESULT System::Get_UserSID(BSTR ComputerName, BSTR User, BSTR* result) {
    return untrapped(result, [&] {
        check_name(text_of(ComputerName), limit::kComputerName);
        check_name(text_of(User), limit::kAccountName);
        const std::wstring computer(text_of(ComputerName)), user(text_of(User));
        DWORD sid_size = 0, domain_size = 0;
        SID_NAME_USE use;
        LookupAccountNameW(computer.c_str(), user.c_str(), nullptr, &sid_size, nullptr, &domain_size, &use);
        if (sid_size == 0) return std::wstring();
        std::vector<BYTE> sid(sid_size);
        std::wstring domain(domain_size + 1, L'\0');
        if (!LookupAccountNameW(computer.c_str(), user.c_str(), sid.data(), &sid_size, domain.data(), &domain_size, &use))
            return std::wstring();
        std::wstring text;
        for (DWORD i = 0; i < sid_size; ++i) text += std::to_wstring(sid[i]);
        return text;
    });
}

HRESULT System::Get_ComputerName(BSTR* result) {
    return untrapped(result, [] {
        Bstr name;
        check(shared<_Network>()->Get_LocalNetworkName(name.put()));
        return name;
    });
}

HRESULT System::Set_ComputerName(BSTR NewName, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        BSTR name = Bstr(text_of(NewName)).detach();
        VARIANT_BOOL done = VARIANT_FALSE;
        HRESULT hr = shared<_Network>()->Set_LocalNetworkName(&name, &done);
        SysFreeString(name);
        check(hr);
        return done != VARIANT_FALSE;
    });
}

HRESULT System::Security(SecurityOption* sOption, CHOICEOPTION* CHOICE, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (!sOption || !CHOICE) return false;
        const sys::Policy* p = sys::policy(*sOption);
        if (!p || (*CHOICE != ciENABLE && *CHOICE != ciDISABLE)) return false;
        if (*sOption == soTASKMANAGER && !nt_family()) {
            // The 95 family has no policy for it: the screen saver flag keeps
            // the task list away. When that fails nothing is written.
            char one[] = "1";
            return SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, *CHOICE == ciDISABLE ? static_cast<UINT>(-1) : 0,
                                         one, 0) != FALSE;
        }
        return write_policy(p->key, p->value, *CHOICE == ciDISABLE ? p->disable : p->enable);
    });
}

HRESULT System::TaskManager(CHOICEOPTION* Command, VARIANT_BOOL* result) {
    SecurityOption option = soTASKMANAGER;
    return Security(&option, Command, result);
}

HRESULT System::System_Shutdown(VARIANT_BOOL Reboot, VARIANT_BOOL ForceReboot, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (nt_family()) enable_shutdown_privilege();
        UINT flags = Reboot ? EWX_SHUTDOWN | EWX_REBOOT : EWX_SHUTDOWN;
        if (ForceReboot) flags |= EWX_FORCE;
        return g_session.exit_windows(flags, 0xFFFFFFFF) != FALSE;
    });
}

HRESULT System::System_ShutdownCancel() {
    return untrapped([] {
        long ended = 0;
        check(shared<_Shell>()->ExecuteAndWait(Bstr(L"Shutdown -a").get(), 0, &ended));
    });
}

HRESULT System::User_LogOff(VARIANT_BOOL* result) {
    return untrapped(result, [] { return g_session.exit_windows(EWX_LOGOFF, 0xFFFFFFFF) != FALSE; });
}

HRESULT System::Lock_WorkStation(VARIANT_BOOL* result) {
    return untrapped(result, [] { return g_session.lock() != FALSE; });
}

HRESULT System::SystemChangeMessage() {
    return untrapped([] { g_session.post(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0); });
}

}  // namespace qm
