// System: users, the policy switches and the session commands. The commands
// that would end the session reach recorders here; the policy values are
// written into the prefix's own user key and put back.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/diagnostics.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"
#include "system/system.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

class SystemAdmin : public ::testing::Test {
protected:
    void SetUp() override {
        s = shared<_System>();
        log = scratch() + test_name() + L".log";
        DeleteFileW(log.c_str());
        set_diagnostics({false, false, false, log});
    }
    void TearDown() override {
        set_diagnostics({});
        sys::reset_session_calls();
    }
    _System* s = nullptr;
    std::wstring log;
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

    Bstr computer, network_name;
    ASSERT_EQ(s->Get_ComputerName(computer.put()), S_OK);
    ASSERT_EQ(shared<_Network>()->Get_LocalNetworkName(network_name.put()), S_OK);
    EXPECT_EQ(computer.str(), network_name.str());
}

TEST_F(SystemAdmin, UserListLeavesOutTheSystemAccountsOnRequest) {
    struct Case {
        const wchar_t* name;
        bool kept;
    } cases[] = {{L"Administrator", false}, {L"Gast", false}, {L"Hilfeassistent", false},
                 {L"SUPPORT_388945a0", false}, {L"support", false}, {L"administrator", true},
                 {L"Gast2", true}, {L"Anna", true}};
    for (const Case& c : cases) EXPECT_EQ(sys::ordinary_user(c.name), c.kept) << c.name;

    // Wine has no user domain: the trapped path, an empty array.
    VARIANT_BOOL all = VARIANT_TRUE;
    long error = 0;
    Variant list;
    ASSERT_EQ(s->Get_UserList(&all, &error, list.put()), S_OK);
    EXPECT_NE(error, 0);
    ASSERT_EQ(list.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(SafeArray::copy(V_ARRAY(list.get()), VT_BSTR).count(), 0);
    EXPECT_NE(read_bytes(log).find("Get_UserList"), std::string::npos);
}

// --- the session -------------------------------------------------------------------

std::vector<std::pair<UINT, DWORD>> g_exits;
int g_locks = 0;

TEST_F(SystemAdmin, SessionCommandsReachThePlatformWithTheirFlags) {
    sys::session_calls().exit_windows = [](UINT flags, DWORD reason) -> BOOL {
        g_exits.emplace_back(flags, reason);
        return TRUE;
    };
    sys::session_calls().lock = []() -> BOOL { return ++g_locks, TRUE; };
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
    sys::session_calls().exit_windows = [](UINT, DWORD) -> BOOL { return FALSE; };
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
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
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
    EXPECT_EQ(read_bytes(recorder_log), "shutdown.exe\t0\t-a\n");
}

}  // namespace
