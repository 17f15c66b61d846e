// System: users, the policy switches and the session commands. The commands
// that would end the session reach recorders here; the policy values are
// written into the prefix's own user key and put back.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"
#include "runtime/wmi.h"
#include "system/system.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

class SystemAdmin : public ::testing::Test {
protected:
    void SetUp() override {
        s = shared<_System>();
    }
    void TearDown() override { sys::reset_session_calls(); }
    _System* s = nullptr;
    ErrorLog errors{ErrorLog::linked};
};

// A policy value of the prefix's user key, put back at the end of the scope.
class SavedPolicy {
public:
    SavedPolicy(const wchar_t* key, const wchar_t* name) : key_(key), name_(name) { present_ = read(data_); }
    ~SavedPolicy() {
        HKEY k;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr)) return;
        if (present_)
            RegSetValueExW(k, name_, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data_), sizeof(data_));
        else
            RegDeleteValueW(k, name_);
        RegCloseKey(k);
    }
    // The value as a REG_DWORD; false when there is none of that type.
    bool read(DWORD& out) const {
        DWORD size = sizeof(out), type = 0;
        return RegGetValueW(HKEY_CURRENT_USER, key_, name_, RRF_RT_ANY, &type, &out, &size) == ERROR_SUCCESS &&
               type == REG_DWORD;
    }

private:
    const wchar_t* key_;
    const wchar_t* name_;
    DWORD data_ = 0;
    bool present_ = false;
};

bool security(_System* s, long option, long choice) {
    auto o = static_cast<SecurityOption>(option);
    auto c = static_cast<CHOICEOPTION>(choice);
    VARIANT_BOOL r = VARIANT_FALSE;
    EXPECT_EQ(s->Security(&o, &c, &r), S_OK);
    return r != VARIANT_FALSE;
}

TEST_F(SystemAdmin, PolicySwitchesWriteTheirTableValues) {
    for (long option = 0; option < 8; ++option) {
        const sys::Policy* p = sys::policy(option);
        ASSERT_TRUE(p);
        SavedPolicy saved(p->key, p->value);
        for (long choice : {1L, 0L}) {
            SCOPED_TRACE(std::to_wstring(option) + L"/" + std::to_wstring(choice));
            EXPECT_TRUE(security(s, option, choice));
            DWORD value = 99;
            ASSERT_TRUE(saved.read(value));
            EXPECT_EQ(static_cast<long>(value), choice ? p->disable : p->enable);
        }
    }
    EXPECT_STREQ(sys::policy(soCOMMANDCOM)->value, L"DisableCMD");
    EXPECT_EQ(sys::policy(soCOMMANDCOM)->disable, 2);
    EXPECT_EQ(sys::policy(8), nullptr);

    // A choice or option out of range changes nothing.
    SavedPolicy regedit(sys::policy(soREGEDIT)->key, sys::policy(soREGEDIT)->value);
    EXPECT_TRUE(security(s, soREGEDIT, ciENABLE));
    EXPECT_FALSE(security(s, soREGEDIT, 2));
    EXPECT_FALSE(security(s, 8, ciDISABLE));
    EXPECT_FALSE(security(s, -1, ciDISABLE));
    DWORD value = 99;
    ASSERT_TRUE(regedit.read(value));
    EXPECT_EQ(value, 0u);

    SavedPolicy task(sys::policy(soTASKMANAGER)->key, sys::policy(soTASKMANAGER)->value);
    CHOICEOPTION off = ciDISABLE;
    VARIANT_BOOL r = VARIANT_FALSE;
    ASSERT_EQ(s->TaskManager(&off, &r), S_OK);
    EXPECT_TRUE(r);
    ASSERT_TRUE(task.read(value));
    EXPECT_EQ(value, 1u);
}

TEST_F(SystemAdmin, AccountsPrivilegesAndIdentifiers) {
    wchar_t name[256];
    DWORD size = 256;
    ASSERT_TRUE(GetUserNameW(name, &size));
    Bstr user;
    ASSERT_EQ(s->Get_LocalUserName(user.put()), S_OK);
    EXPECT_EQ(user.str(), name);
    // The name as the system has it, beyond the code page too (Wine takes it from
    // the process's WINEUSERNAME).
    SetEnvironmentVariableW(L"WINEUSERNAME", L"qm\u03A9\u30C7");
    ASSERT_EQ(s->Get_LocalUserName(user.put()), S_OK);
    SetEnvironmentVariableW(L"WINEUSERNAME", name);
    EXPECT_EQ(user.str(), L"qm\u03A9\u30C7");

    VARIANT_BOOL admin = VARIANT_FALSE;
    ASSERT_EQ(s->isAdmin(&admin), S_OK);
    using IsNTAdminFn = BOOL(WINAPI*)(DWORD, DWORD*);
    auto is_admin = reinterpret_cast<IsNTAdminFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"advpack.dll"), "IsNTAdmin")));
    EXPECT_EQ(admin != VARIANT_FALSE, is_admin(0, nullptr) != FALSE);

    auto state = [&](const wchar_t* who) {
        BSTR b = SysAllocString(who);
        USER_PRIV r = USER_PRIV_GUEST;
        EXPECT_EQ(s->Get_UserLogInState(&b, &r), S_OK);
        SysFreeString(b);
        return r;
    };
    EXPECT_GE(state(L""), USER_PRIV_GUEST);
    EXPECT_EQ(state(L""), state(name));
    EXPECT_EQ(state(L"qm-no-such-user"), USER_NOT_EXIST);

    auto sid = [&](const wchar_t* who) {
        Bstr r;
        EXPECT_EQ(s->Get_UserSID(Bstr(L"").get(), Bstr(who).get(), r.put()), S_OK);
        return r.str();
    };
    BYTE bytes[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof(bytes), domain_size = 256;
    wchar_t domain[256];
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountNameW(nullptr, name, bytes, &sid_size, domain, &domain_size, &use));
    std::wstring expected;
    for (DWORD i = 0; i < sid_size; ++i) expected += std::to_wstring(bytes[i]);
    EXPECT_EQ(sid(name), expected);
    EXPECT_TRUE(expected.starts_with(L"15"));
    EXPECT_EQ(sid(L"qm-no-such-user"), L"");
    // Account names are looked up as written: a look-alike of an account names none.
    wchar_t computer_name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computer_size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer_name, &computer_size));
    const std::wstring own_computer = computer_name;
    const struct {
        std::wstring account, look_alike;
    } accounts[] = {{L"LOCAL", L"L\u03A9CAL"}, {own_computer + L"\\" + name, own_computer + L"\uFF3C" + name}};
    for (const auto& a : accounts) {
        EXPECT_NE(sid(a.account.c_str()), L"") << to_ansi(a.account);
        EXPECT_EQ(sid(a.look_alike.c_str()), L"") << to_ansi(a.account);
    }

    // Names longer than any computer or account has: error 5 before any look-up.
    const std::wstring huge(100000, L'x');
    struct Overlong {
        std::wstring computer, user;
    } overlong[] = {{huge, name}, {L"", huge}, {std::wstring(258, L'c'), name}, {L"", std::wstring(513, L'u')}};
    for (const Overlong& o : overlong) {
        Bstr r;
        EXPECT_EQ(s->Get_UserSID(Bstr(o.computer).get(), Bstr(o.user).get(), r.put()),
                  static_cast<HRESULT>(0x800A0005));
    }
    BSTR who = SysAllocString(huge.c_str());
    USER_PRIV priv = USER_PRIV_GUEST;
    EXPECT_EQ(s->Get_UserLogInState(&who, &priv), static_cast<HRESULT>(0x800A0005));
    SysFreeString(who);

    Bstr computer, network_name;
    ASSERT_EQ(s->Get_ComputerName(computer.put()), S_OK);
    ASSERT_EQ(shared<_Network>()->Get_LocalNetworkName(network_name.put()), S_OK);
    EXPECT_EQ(computer.str(), network_name.str());

    // A new name is the prefix's own computer name (never the host's), put back afterwards.
    const wchar_t* key = L"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
    SavedValue stored(HKEY_LOCAL_MACHINE, key, L"ComputerName");
    VARIANT_BOOL renamed = VARIANT_FALSE;
    ASSERT_EQ(s->Set_ComputerName(Bstr(L"QMSYSTEST").get(), &renamed), S_OK);
    EXPECT_TRUE(renamed);
    wchar_t now[64] = {};
    DWORD now_size = sizeof(now);
    RegGetValueW(HKEY_LOCAL_MACHINE, key, L"ComputerName", RRF_RT_REG_SZ, nullptr, now, &now_size);
    EXPECT_STREQ(now, L"QMSYSTEST");
}

TEST_F(SystemAdmin, UserListLeavesOutTheSystemAccountsOnRequest) {
    struct Case {
        const wchar_t* name;
        bool kept;
    } cases[] = {{L"Administrator", false}, {L"Gast", false}, {L"Hilfeassistent", false},
                 {L"SUPPORT_388945a0", false}, {L"support", false}, {L"administrator", true},
                 {L"Gast2", true}, {L"Anna", true}};
    for (const Case& c : cases) EXPECT_EQ(sys::ordinary_user(c.name), c.kept) << c.name;

    // Wine has no user domain: the trapped path, an empty array, and the number a
    // script gets for the domain's failure (E_NOTIMPL).
    VARIANT_BOOL all = VARIANT_TRUE;
    long error = 0;
    Variant list;
    ASSERT_EQ(s->Get_UserList(&all, &error, list.put()), S_OK);
    EXPECT_EQ(error, 445);
    ASSERT_EQ(list.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(SafeArray::copy(V_ARRAY(list.get()), VT_BSTR).count(), 0);
    EXPECT_TRUE(errors.has("Get_UserList"));
}

// --- the session -------------------------------------------------------------------

std::vector<std::pair<UINT, DWORD>> g_exits;
int g_locks = 0;

TEST_F(SystemAdmin, SessionCommandsReachThePlatformWithTheirFlags) {
    sys::session_calls().exit_windows = [](UINT flags, DWORD reason) CALLBACK -> BOOL {
        g_exits.emplace_back(flags, reason);
        return TRUE;
    };
    sys::session_calls().lock = []() CALLBACK -> BOOL { return ++g_locks, TRUE; };
    g_exits.clear();
    VARIANT_BOOL r = VARIANT_FALSE;
    const struct {
        bool reboot, force;
        UINT flags;
    } cases[] = {{false, false, 1}, {true, false, 3}, {false, true, 5}, {true, true, 7}};
    for (const auto& c : cases) {
        ASSERT_EQ(s->System_Shutdown(c.reboot ? VARIANT_TRUE : VARIANT_FALSE, c.force ? VARIANT_TRUE : VARIANT_FALSE, &r),
                  S_OK);
        EXPECT_TRUE(r);
    }
    ASSERT_EQ(s->User_LogOff(&r), S_OK);
    ASSERT_EQ(g_exits.size(), 5u);
    const UINT flags[] = {1, 3, 5, 7, 0};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(g_exits[i].first, flags[i]) << i;
        EXPECT_EQ(g_exits[i].second, 0xFFFFFFFFu) << i;
    }
    ASSERT_EQ(s->Lock_WorkStation(&r), S_OK);
    EXPECT_EQ(g_locks, 1);
    sys::session_calls().exit_windows = [](UINT, DWORD) CALLBACK -> BOOL { return FALSE; };
    ASSERT_EQ(s->User_LogOff(&r), S_OK);
    EXPECT_FALSE(r);

    // The shutdown privilege is enabled in the process token.
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buffer[4096];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenPrivileges, buffer, sizeof(buffer), &size));
    CloseHandle(token);
    LUID shutdown;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &shutdown));
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    bool enabled = false;
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
        if (privileges->Privileges[i].Luid.LowPart == shutdown.LowPart &&
            privileges->Privileges[i].Luid.HighPart == shutdown.HighPart)
            enabled = privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED;
    EXPECT_TRUE(enabled);
}

TEST_F(SystemAdmin, SettingsChangeIsBroadcastWithZeroParameters) {
    static bool seen = false;
    static WPARAM wp = 1;
    static LPARAM lp = 1;
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) CALLBACK -> LRESULT {
        if (m == WM_SETTINGCHANGE) seen = true, wp = w, lp = l;
        return DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QmSettingsProbe";
    RegisterClassW(&wc);
    HWND probe = CreateWindowW(L"QmSettingsProbe", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    ASSERT_TRUE(probe);
    ASSERT_EQ(s->SystemChangeMessage(), S_OK);
    MSG msg;
    for (int i = 0; i < 200 && !seen; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (!seen) Sleep(10);
    }
    // Wine refuses to post this message (its parameter may carry a text), so
    // under Wine no window gets it; where it is posted, both parameters are 0.
    const bool postable = PostMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0) != FALSE;
    for (int i = 0; i < 100 && postable && !seen; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (!seen) Sleep(10);
    }
    DestroyWindow(probe);
    EXPECT_EQ(seen, postable);
    if (seen) {
        EXPECT_EQ(wp, 0u);
        EXPECT_EQ(lp, 0);
    }
    // What the member asks of the system, whether or not the system delivers it.
    static std::vector<MSG> posted;
    sys::session_calls().post = [](HWND h, UINT m, WPARAM w, LPARAM l) CALLBACK -> BOOL {
        posted.push_back(MSG{h, m, w, l});
        return FALSE;
    };
    ASSERT_EQ(s->SystemChangeMessage(), S_OK);  // a refusal is not reported
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].hwnd, HWND_BROADCAST);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_SETTINGCHANGE));
    EXPECT_EQ(posted[0].wParam, 0u);
    EXPECT_EQ(posted[0].lParam, 0);
}

TEST_F(SystemAdmin, ShutdownCancelRunsShutdownHiddenAndWaits) {
    wchar_t path[MAX_PATH];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
    const std::wstring recorder_log = scratch() + L"shutdown.log";
    DeleteFileW(recorder_log.c_str());
    ASSERT_TRUE(CopyFileW((folder + L"qmrecorder.exe").c_str(), (scratch() + L"shutdown.exe").c_str(), FALSE));
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", recorder_log.c_str());
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(scratch().c_str());
    EXPECT_EQ(s->System_ShutdownCancel(), S_OK);
    SetCurrentDirectoryW(before);
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr);
    // Waited for: the line is there when the member returns.
    EXPECT_EQ(read_bytes(recorder_log), "shutdown.exe\t0\t1\t-a\n");
}

// --- services and system restore -------------------------------------------------

constexpr wchar_t kService[] = L"QmTestService";

std::wstring tests_folder() {
    wchar_t path[MAX_PATH];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The tests' own service in the prefix's service manager, deleted at the end.
class TestService {
public:
    TestService() {
        if (SC_HANDLE old = OpenServiceW(manager_, kService, SERVICE_ALL_ACCESS)) remove(old);
        const std::wstring program = L"\"" + tests_folder() + L"qmservice.exe\"";
        service_ = CreateServiceW(manager_, kService, L"Quillmark Testdienst", SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                  program.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    ~TestService() {
        if (service_) remove(service_);
        CloseServiceHandle(manager_);
    }
    SC_HANDLE get() const { return service_; }
    SERVICE_STATUS status() const {
        SERVICE_STATUS st{};
        QueryServiceStatus(service_, &st);
        return st;
    }
    // Whether the service reaches state within 10 s.
    bool reaches(DWORD state) const {
        for (int i = 0; i < 500 && status().dwCurrentState != state; ++i) Sleep(20);
        return status().dwCurrentState == state;
    }
    // The key names of the running services.
    std::set<std::wstring> running() const {
        DWORD size = 0, count = 0, resume = 0;
        EnumServicesStatusW(manager_, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_ACTIVE, nullptr, 0, &size, &count, &resume);
        std::vector<BYTE> buffer(size + 4096);
        auto* list = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data());
        resume = 0;
        std::set<std::wstring> names;
        if (EnumServicesStatusW(manager_, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_ACTIVE, list,
                                static_cast<DWORD>(buffer.size()), &size, &count, &resume))
            for (DWORD i = 0; i < count; ++i) names.insert(list[i].lpServiceName);
        return names;
    }

private:
    static void remove(SC_HANDLE service) {
        SERVICE_STATUS st{};
        if (ControlService(service, SERVICE_CONTROL_STOP, &st))
            for (int i = 0; i < 250 && QueryServiceStatus(service, &st) && st.dwCurrentState != SERVICE_STOPPED; ++i)
                Sleep(20);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    SC_HANDLE manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service_ = nullptr;
};

class Services : public SystemAdmin {
protected:
    bool command(const wchar_t* name, long cmd) {
        Bstr b(name);
        BSTR raw = b.get();
        auto c = static_cast<SERVICECOMMANDINFO>(cmd);
        VARIANT_BOOL r = VARIANT_FALSE;
        error = -1;
        EXPECT_EQ(s->Service_Command(&raw, &c, &error, &r), S_OK);
        return r != VARIANT_FALSE;
    }
    // The record's texts joined by "|", then its two flags as 0 or 1.
    std::wstring info(const wchar_t* name) {
        Bstr b(name);
        BSTR raw = b.get();
        SERVICEINFO r{};
        error = -1;
        EXPECT_EQ(s->Service_GetInfo(&raw, &error, &r), S_OK);
        std::wstring text;
        for (BSTR f : {r.ServiceName, r.ServiceDisplayName, r.ServicePathName, r.ServiceType, r.ServiceStartMode,
                       r.ServiceState})
            text += Bstr::attach(f).str() + L"|";
        return text + (r.ServiceCanPause ? L"1" : L"0") + (r.ServiceCanStop ? L"1" : L"0");
    }
    std::vector<std::wstring> names() {
        SAFEARRAY* r = nullptr;
        error = -1;
        EXPECT_EQ(s->Service_GetNames(&error, &r), S_OK);
        auto out = r ? texts_of(r) : std::vector<std::wstring>{L"<null>"};
        if (r) SafeArrayDestroy(r);
        return out;
    }
    long restore(bool enable) {
        VARIANT_BOOL e = enable ? VARIANT_TRUE : VARIANT_FALSE;
        long r = -1;
        EXPECT_EQ(s->SystemRestore(&e, &r), S_OK);
        return r;
    }
    long error = -1;
};

TEST_F(Services, NamesAreKeyNamesAndInfoAgreesWithTheServiceManager) {
    TestService service;
    ASSERT_TRUE(service.get());
    const auto all = names();
    EXPECT_EQ(error, 0);
    for (const wchar_t* n : {kService, L"RpcSs"}) EXPECT_TRUE(std::find(all.begin(), all.end(), n) != all.end()) << n;
    EXPECT_TRUE(std::find(all.begin(), all.end(), L"Quillmark Testdienst") == all.end());

    // The record keeps the caller's spelling; display name, start mode, state
    // and flags are the service manager's (the path is empty under Wine).
    std::wstring path;
    std::wstring stopped = info(L"qmtestSERVICE");
    EXPECT_EQ(error, 0);
    if (stopped.find(L"qmservice.exe") != std::wstring::npos) path = L"\"" + tests_folder() + L"qmservice.exe\"";
    EXPECT_EQ(stopped, L"qmtestSERVICE|Quillmark Testdienst|" + path + L"|Own Process|Manual|Stopped|00");
    ASSERT_TRUE(command(kService, svcSTART));
    ASSERT_TRUE(service.reaches(SERVICE_RUNNING));
    EXPECT_EQ(info(kService), std::wstring(kService) + L"|Quillmark Testdienst|" + path + L"|Own Process|Manual|Running|11");

    EXPECT_EQ(info(L"qm-no-such-service"), L"||||||00");
    EXPECT_EQ(error, 0);
}

TEST_F(Services, CommandsReachTheServiceAndRefusalsAreReported) {
    TestService service;
    ASSERT_TRUE(service.get());
    const struct {
        long command;
        DWORD state;
    } steps[] = {{svcSTART, SERVICE_RUNNING}, {svcPAUSE, SERVICE_PAUSED}, {svcRESUME, SERVICE_RUNNING}};
    for (const auto& step : steps) {
        EXPECT_TRUE(command(kService, step.command)) << step.command;
        EXPECT_EQ(error, 0);
        EXPECT_TRUE(service.reaches(step.state)) << step.command;
    }

    // An unknown command changes nothing; a name without a service is no
    // error; a name cannot reach other services through the query.
    EXPECT_FALSE(command(kService, 3));
    EXPECT_EQ(error, 0);
    const auto before = service.running();
    ASSERT_TRUE(before.count(kService));
    EXPECT_TRUE(command(L"qm-no-such-service", svcSTOP));
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(command(L"x' or Name like '%", svcSTOP));
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(command(L"", 0));  // no service, so no command to refuse
    EXPECT_EQ(error, 0);
    EXPECT_EQ(service.running(), before);

    EXPECT_TRUE(command(kService, svcSTOP));
    EXPECT_TRUE(service.reaches(SERVICE_STOPPED));

    // A disabled service refuses to start: False and the provider's code.
    ASSERT_TRUE(ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(command(kService, svcSTART));
    EXPECT_NE(error, 0);
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_FALSE(errors.has("Service_Command"));

    // A name with both quotes needs escapes, which Wine's query parser refuses
    // (a reported error there); it still reaches no other service.
    const auto running = service.running();
    command(L"x' or Name like \"%\" or Name = '", svcSTOP);
    EXPECT_EQ(service.running(), running);
}

TEST_F(Services, SystemRestoreSwitchesAndMissingProviderIsTrapped) {
    EXPECT_EQ(restore(true), 0);
    EXPECT_EQ(restore(false), 0);

    wmi::set_namespace_override(L"root\\QuillmarkMissing");
    EXPECT_FALSE(command(L"RpcSs", svcSTOP));
    EXPECT_NE(error, 0);
    EXPECT_EQ(info(L"RpcSs"), L"||||||00");
    EXPECT_NE(error, 0);
    EXPECT_TRUE(names().empty());
    EXPECT_NE(error, 0);
    EXPECT_NE(restore(true), 0);
    wmi::set_namespace_override(L"");
    for (const char* routine : {"Service_Command", "Get_ServiceInfo", "Get_ServiceNames", "SystemRestore"})
        EXPECT_TRUE(errors.has(routine)) << routine;
}

TEST_F(SystemAdmin, ConfigurationEditorStartsSyseditMaximised) {
    VARIANT_BOOL r = VARIANT_TRUE;
    ASSERT_EQ(s->SystemConfigurationEditor(&r), S_OK);
    EXPECT_FALSE(r);

    // A recorder as sysedit.exe in the current folder.
    const std::wstring recorder_log = scratch() + L"sysedit.log", program = scratch() + L"sysedit.exe";
    DeleteFileW(recorder_log.c_str());
    ASSERT_TRUE(CopyFileW((tests_folder() + L"qmrecorder.exe").c_str(), program.c_str(), FALSE));
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", recorder_log.c_str());
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(scratch().c_str());
    EXPECT_EQ(s->SystemConfigurationEditor(&r), S_OK);
    SetCurrentDirectoryW(before);
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr);
    EXPECT_TRUE(r);
    for (int i = 0; i < 500 && !read_bytes(recorder_log).ends_with('\n'); ++i) Sleep(20);
    EXPECT_EQ(read_bytes(recorder_log), "sysedit.exe\t3\t0\n");
    DeleteFileW(program.c_str());
}

}  // namespace
