// System: Windows version, processes and tasks, special folders and the
// environment, checked against the system's own answers in the test prefix.
#include <windows.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "runtime/interfaces.h"
#include "runtime/wmi.h"
#include "support.h"
#include "system/system.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

bool same_text(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring upper(std::wstring s) {
    CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

std::wstring test_dir() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.rfind(L'\\') + 1);
}

// The child program copied under a name of this test run's own, so that no
// other test's child is found or ended by name.
std::wstring own_child(const wchar_t* tag) {
    std::wstring target = scratch() + L"qmchild_" + tag + L"_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    CopyFileW((test_dir() + L"qmchild.exe").c_str(), target.c_str(), FALSE);
    return target;
}

std::wstring file_name(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

struct Child {
    PROCESS_INFORMATION pi{};
    ~Child() {
        if (pi.hProcess) {
            TerminateProcess(pi.hProcess, 0);
            WaitForSingleObject(pi.hProcess, 5000);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

bool start(Child& c, const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{sizeof(si)};
    return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &c.pi);
}

// Threads of a process, counted by the system's own thread snapshot.
long thread_count(DWORD pid) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    long n = 0;
    THREADENTRY32 t{sizeof(t)};
    for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) n += t.th32OwnerProcessID == pid;
    CloseHandle(snap);
    return n;
}

template <class T>
std::vector<T*> records(SAFEARRAY* sa) {
    std::vector<T*> out;
    if (!sa) return out;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(sa, 1, &lo);
    SafeArrayGetUBound(sa, 1, &hi);
    T* data = static_cast<T*>(sa->pvData);
    for (LONG i = 0; i <= hi - lo; ++i) out.push_back(data + i);
    return out;
}

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.System");
        ASSERT_TRUE(disp_);
        sys_ = disp_.query<_System>();
        ASSERT_TRUE(sys_);
    }
    bool flag(HRESULT (STDMETHODCALLTYPE _System::*member)(VARIANT_BOOL*)) {
        VARIANT_BOOL b = 7;
        EXPECT_EQ((sys_.get()->*member)(&b), S_OK);
        return b == VARIANT_TRUE;
    }
    std::wstring folder(long code) {
        ::SystemDirectory sd = static_cast<::SystemDirectory>(code);
        Bstr r;
        EXPECT_EQ(sys_->SystemDirectory(&sd, r.put()), S_OK);
        return r.str();
    }
    std::vector<PROCESSINFO> list(bool full) {
        VARIANT_BOOL f = full ? VARIANT_TRUE : VARIANT_FALSE;
        SAFEARRAY* sa = nullptr;
        EXPECT_EQ(sys_->Get_ProcessList(&f, &sa), S_OK);
        std::vector<PROCESSINFO> out;
        for (auto* r : records<PROCESSINFO>(sa)) out.push_back({SysAllocString(r->EXENAME), r->PROCESSID, r->THREADS});
        SafeArrayDestroy(sa);
        return out;
    }
    ComPtr<IDispatch> disp_;
    ComPtr<_System> sys_;
};

// --- version and platform ------------------------------------------------------------

TEST(WinVerCode, FollowsTheVersionTable) {
    struct Case {
        DWORD platform, major, minor;
        OPERATINGSYSTEM code;
    } cases[] = {
        {1, 4, 0, osWindows95},  {1, 4, 10, osWindows98},   {1, 4, 90, osWindowsMillenium}, {1, 4, 3, osUNKNOWN},
        {1, 5, 0, osUNKNOWN},    {2, 3, 51, osWindowsNT35x}, {2, 4, 0, osWindowsNT40},       {2, 5, 0, osWindows2000},
        {2, 5, 1, osWindowsXP},  {2, 5, 2, osWindows2003},  {2, 5, 3, osUNKNOWN},           {2, 6, 0, osWindowsVista},
        {2, 6, 1, osWindows7},   {2, 6, 2, osUNKNOWN},      {2, 10, 0, osUNKNOWN},          {0, 3, 10, osUNKNOWN},
        {3, 6, 1, osUNKNOWN},
    };
    for (auto& c : cases)
        EXPECT_EQ(qm::sys::winver_code(c.platform, c.major, c.minor), c.code)
            << c.platform << " " << c.major << "." << c.minor;
}

TEST_F(SystemTest, PlatformQueriesAnswerForThisWindows) {
    OSVERSIONINFOW vi{sizeof(vi)};
    GetVersionExW(&vi);
    OPERATINGSYSTEM ver = static_cast<OPERATINGSYSTEM>(-5);
    ASSERT_EQ(sys_->Get_WinVer(&ver), S_OK);
    EXPECT_EQ(ver, qm::sys::winver_code(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion));
    EXPECT_TRUE(flag(&_System::isWindowsNT));
    EXPECT_TRUE(flag(&_System::is32BitWindows));
    EXPECT_TRUE(flag(&_System::is64BitWindows));  // the test prefix is 64-bit
    EXPECT_TRUE(flag(&_System::XPstyleSupported));
    BootModeConstants mode = bmUNKNOWN;
    EXPECT_EQ(sys_->Get_BootMode(&mode), S_OK);
    EXPECT_EQ(mode, bmNormal);

    Variant r;  // late bound: the enumeration arrives as a Long
    ASSERT_EQ(call(disp_.get(), L"Get_WinVer", {}, r.get()), S_OK);
    EXPECT_EQ(V_VT(r.get()), VT_I4);
    EXPECT_EQ(V_I4(r.get()), static_cast<long>(ver));
}

// The same program run under other Windows versions that the prefix reports
// for it (the version the system reports is set per program name).
TEST(WinVerOtherVersions, MapsWhatTheSystemReports) {
    std::wstring exe = own_child(L"ver");
    std::wstring key = L"Software\\Wine\\AppDefaults\\" + file_name(exe);
    struct Case {
        const wchar_t* version;
        int expected;  // Get_WinVer + 100 for the NT family
    } cases[] = {{L"win95", 2},   {L"win98", 3},    {L"winme", 7},    {L"nt40", 106},  {L"win2k", 108},
                 {L"winxp", 109}, {L"win2003", 110}, {L"vista", 111}, {L"win7", 112}, {L"win10", 100}};
    for (auto& c : cases) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Version", REG_SZ, c.version,
                                  static_cast<DWORD>((wcslen(c.version) + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        Child child;
        ASSERT_TRUE(start(child, exe, L"winver"));
        ASSERT_EQ(WaitForSingleObject(child.pi.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(child.pi.hProcess, &code);
        EXPECT_EQ(static_cast<int>(code), c.expected) << c.version;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

std::wstring hklm_text(const wchar_t* name) {
    wchar_t buf[512];
    DWORD size = sizeof(buf);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", name,
                     RRF_RT_REG_SZ | 0x00010000 /* RRF_SUBKEY_WOW6464KEY */, nullptr, buf, &size) != ERROR_SUCCESS)
        return {};
    return buf;
}

TEST_F(SystemTest, RegistryFactsMatchTheInstallation) {
    Bstr sp, id;
    ASSERT_EQ(sys_->Get_ServicePack(sp.put()), S_OK);
    EXPECT_EQ(sp.str(), hklm_text(L"CSDVersion"));
    ASSERT_EQ(sys_->Get_ProductID(id.put()), S_OK);
    std::wstring expected = hklm_text(L"ProductId");
    EXPECT_EQ(id.str(), expected.empty() ? L"Not Registered" : expected);

    Bstr user(L"sentinel"), org(L"sentinel");
    ASSERT_EQ(sys_->Get_RegOwner(user.put(), org.put()), S_OK);
    EXPECT_EQ(user.str(), hklm_text(L"RegisteredOwner"));
    EXPECT_EQ(org.str(), hklm_text(L"RegisteredOrganization"));
}

// The system's own values, those of the 64-bit registry view, whatever the 32-bit
// half keeps. The system's own service pack is left as it is.
TEST_F(SystemTest, RegistryFactsComeFromThe64BitView) {
    const wchar_t key[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    std::vector<std::unique_ptr<SavedValue>> saved;
    auto set = [&](const wchar_t* name, REGSAM view, const std::wstring& text) {
        saved.push_back(std::make_unique<SavedValue>(HKEY_LOCAL_MACHINE, key, name, view));
        saved.back()->set(text);
    };
    const std::wstring pack = hklm_text(L"CSDVersion");
    set(L"RegisteredOwner", KEY_WOW64_64KEY, L"Qm Owner");
    set(L"RegisteredOrganization", KEY_WOW64_64KEY, L"Qm Organization");
    for (const wchar_t* name : {L"CSDVersion", L"RegisteredOwner", L"RegisteredOrganization"})
        set(name, KEY_WOW64_32KEY, hklm_text(name) + L" (32-bit)");
    Bstr sp, user, org;
    ASSERT_EQ(sys_->Get_ServicePack(sp.put()), S_OK);
    ASSERT_EQ(sys_->Get_RegOwner(user.put(), org.put()), S_OK);
    EXPECT_EQ(sp.str(), pack);
    EXPECT_EQ(user.str(), L"Qm Owner");
    EXPECT_EQ(org.str(), L"Qm Organization");
}

TEST(ProductId, KeyAndValueMissingOrPresent) {
    const wchar_t* key = L"Software\\QuillmarkTest\\System\\ProductId";
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest\\System");
    EXPECT_EQ(qm::sys::product_id(HKEY_CURRENT_USER, key), L"");
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(qm::sys::product_id(HKEY_CURRENT_USER, key), L"Not Registered");
    // Longer than the classic 255-character buffer, and stored without its NUL.
    std::wstring id(300, L'7');
    RegSetValueExW(k, L"ProductId", 0, REG_SZ, reinterpret_cast<const BYTE*>(id.data()),
                   static_cast<DWORD>(id.size() * sizeof(wchar_t)));
    EXPECT_EQ(qm::sys::product_id(HKEY_CURRENT_USER, key), id);
    const wchar_t with_nul[] = L"12345-OEM";
    RegSetValueExW(k, L"ProductId", 0, REG_SZ, reinterpret_cast<const BYTE*>(with_nul), sizeof(with_nul));
    EXPECT_EQ(qm::sys::product_id(HKEY_CURRENT_USER, key), L"12345-OEM");
    RegCloseKey(k);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest\\System");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest\\System");
}

TEST_F(SystemTest, OsInfoComesFromWmi) {
    LONG error = -1;
    OSinfo info{};
    ASSERT_EQ(sys_->Get_OSinfo(&error, &info), S_OK);
    EXPECT_EQ(error, 0);

    // What the prefix's WMI itself answers.
    auto services = qm::wmi::bind(L"winmgmts:");
    auto all = qm::wmi::instances_of(services.get(), L"Win32_OperatingSystem");
    ASSERT_EQ(all.size(), 1u);
    IDispatch* os = all[0].get();
    EXPECT_EQ(qm::text_of(info.Windowsversion), qm::wmi::text(os, L"Caption"));
    EXPECT_EQ(qm::text_of(info.BuildNumber), qm::wmi::text(os, L"BuildNumber"));
    EXPECT_EQ(qm::text_of(info.SerialNumber), qm::wmi::text(os, L"SerialNumber"));
    EXPECT_NE(std::wstring(qm::text_of(info.Windowsversion)).find(L"Windows"), std::wstring::npos);

    wchar_t dir[MAX_PATH];
    GetWindowsDirectoryW(dir, MAX_PATH);
    EXPECT_TRUE(same_text(qm::text_of(info.WindowsDirectory), dir)) << std::wstring(qm::text_of(info.WindowsDirectory));
    GetSystemDirectoryW(dir, MAX_PATH);
    EXPECT_TRUE(same_text(qm::text_of(info.SystemDirectory), dir)) << std::wstring(qm::text_of(info.SystemDirectory));
    OSVERSIONINFOW vi{sizeof(vi)};
    GetVersionExW(&vi);
    EXPECT_EQ(std::wstring(qm::text_of(info.BuildNumber)), std::to_wstring(vi.dwBuildNumber));
    // No field is left null.
    for (BSTR f : {info.BootDevice, info.BuildType, info.CodeSet, info.SystemDrive, info.Status, info.RegisteredUser,
                   info.Manufacturer})
        EXPECT_NE(f, nullptr);

    Bstr boot;
    ASSERT_EQ(sys_->Get_BootDevice(boot.put()), S_OK);
    EXPECT_EQ(boot.view(), qm::text_of(info.BootDevice));
    for (BSTR f : {info.BootDevice, info.BuildNumber, info.BuildType, info.Windowsversion, info.CodeSet,
                   info.WindowsDirectory, info.SystemDirectory, info.SystemDrive, info.Status, info.SerialNumber,
                   info.RegisteredUser, info.Manufacturer})
        SysFreeString(f);

    Variant r;  // the record late bound
    ASSERT_EQ(call(disp_.get(), L"Get_OSinfo", {}, r.get()), S_OK);
    EXPECT_EQ(V_VT(r.get()), VT_RECORD);
}

TEST(RunningTime, TextAndItsCarries) {
    EXPECT_EQ(qm::sys::running_time_text(3725000), L"1:02:05:0");
    EXPECT_EQ(qm::sys::running_time_text(0), L"0:00:00:0");
    EXPECT_EQ(qm::sys::running_time_text(59999), L"0:00:59:9");
    EXPECT_EQ(qm::sys::running_time_text(90061300), L"25:01:01:3");            // past a day
    EXPECT_EQ(qm::sys::running_time_text(5000000000ull), L"1388:53:20:0");    // past the 32-bit wrap
}

TEST_F(SystemTest, WindowsIsRunningFillsOnlyItsFields) {
    DetailedTimeInfo dti{};
    dti.WindowsStarts = 123.5;
    dti.RunningSeconds = 77;
    dti.RunningDays = 9;
    Bstr text;
    ASSERT_EQ(sys_->WindowsIsRunning(&dti, text.put()), S_OK);
    std::wstring t = text.str();
    // h:mm:ss:t
    size_t c1 = t.find(L':'), c3 = t.rfind(L':');
    ASSERT_NE(c1, std::wstring::npos);
    EXPECT_EQ(t.size() - c3, 2u);
    EXPECT_EQ(c3 - c1, 6u);
    long hours = std::stol(t.substr(0, c1));
    long minutes = std::stol(t.substr(c1 + 1, 2)), seconds = std::stol(t.substr(c1 + 4, 2));
    double expected = (hours * 3600.0 + minutes * 60 + seconds) / 86400.0;
    EXPECT_DOUBLE_EQ(dti.WindowsRunningTime, expected);
    EXPECT_GE(dti.Stoptime, 0.0);
    EXPECT_LT(dti.Stoptime, 1.0);
    EXPECT_EQ(dti.WindowsStarts, 123.5);
    EXPECT_EQ(dti.RunningSeconds, 77);
    EXPECT_EQ(dti.RunningDays, 9);
}

// --- processes and tasks ---------------------------------------------------------------

TEST_F(SystemTest, OwnChildIsFoundCountedAndEnded) {
    std::wstring exe = own_child(L"task");
    std::wstring name = file_name(exe);
    std::wstring ready = L"qmchild-ready-" + std::to_wstring(GetCurrentProcessId());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    Child child;
    ASSERT_TRUE(start(child, exe, L"wait 4 " + ready));
    ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    CloseHandle(event);
    DWORD pid = child.pi.dwProcessId;
    long threads = thread_count(pid);
    EXPECT_GE(threads, 5);

    // Short names, by name and by identifier.
    auto procs = list(false);
    size_t found = 0;
    for (auto& p : procs) {
        if (static_cast<DWORD>(p.PROCESSID) == pid) {
            ++found;
            EXPECT_EQ(qm::text_of(p.EXENAME), name);
            EXPECT_EQ(p.THREADS, threads);
        }
        SysFreeString(p.EXENAME);
    }
    EXPECT_EQ(found, 1u);
    // Full paths.
    bool full = false;
    for (auto& p : list(true)) {
        if (static_cast<DWORD>(p.PROCESSID) == pid) full = same_text(qm::text_of(p.EXENAME), exe);
        SysFreeString(p.EXENAME);
    }
    EXPECT_TRUE(full);

    VARIANT_BOOL active = VARIANT_FALSE;
    ASSERT_EQ(sys_->TaskIsActive(Bstr(upper(name)).get(), &active), S_OK);
    EXPECT_EQ(active, VARIANT_TRUE);
    LONG n = 0;
    ASSERT_EQ(sys_->Process_GetThreadsCount(Bstr(upper(name)).get(), VARIANT_FALSE, &n), S_OK);
    EXPECT_EQ(n, threads);
    ASSERT_EQ(sys_->Process_GetThreadsCount(Bstr(exe).get(), VARIANT_TRUE, &n), S_OK);
    EXPECT_EQ(n, threads);
    ASSERT_EQ(sys_->Process_GetThreadsCount(Bstr(name).get(), VARIANT_TRUE, &n), S_OK);
    EXPECT_EQ(n, -1);  // a full-path list is searched by full path

    // Its owner is the prefix's user.
    wchar_t me[256];
    DWORD me_len = 256;
    GetUserNameW(me, &me_len);
    PROCESSUSERNAMEINFO owner{};
    ASSERT_EQ(sys_->Get_ProcessUserName(static_cast<LONG>(pid), &owner), S_OK);
    EXPECT_TRUE(same_text(qm::text_of(owner.Owner), me)) << std::wstring(qm::text_of(owner.Owner));
    EXPECT_FALSE(qm::text_of(owner.Domain).empty());
    SysFreeString(owner.Owner);
    SysFreeString(owner.Domain);
    SAFEARRAY* owners = nullptr;
    ASSERT_EQ(sys_->Get_ProcessesListWithUsername(&owners), S_OK);
    bool listed = false;
    for (auto* r : records<PROCESSOWNER>(owners)) {
        EXPECT_FALSE(qm::text_of(r->Owner).empty());
        if (static_cast<DWORD>(r->PROCESSID) == pid) listed = qm::text_of(r->EXENAME) == name;
    }
    SafeArrayDestroy(owners);
    EXPECT_TRUE(listed);

    // Ended by name, with exit code 1, and then gone.
    VARIANT_BOOL ended = VARIANT_FALSE;
    ASSERT_EQ(sys_->TerminateTask(Bstr(upper(name)).get(), &ended), S_OK);
    EXPECT_EQ(ended, VARIANT_TRUE);
    ASSERT_EQ(WaitForSingleObject(child.pi.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(child.pi.hProcess, &code);
    EXPECT_EQ(code, 1u);
    ASSERT_EQ(sys_->TaskIsActive(Bstr(name).get(), &active), S_OK);
    EXPECT_EQ(active, VARIANT_FALSE);
    ASSERT_EQ(sys_->TerminateTask(Bstr(name).get(), &ended), S_OK);
    EXPECT_EQ(ended, VARIANT_FALSE);
    ASSERT_EQ(sys_->Process_GetThreadsCount(Bstr(name).get(), VARIANT_FALSE, &n), S_OK);
    EXPECT_EQ(n, -1);
}

TEST_F(SystemTest, ProcessListHoldsThisProcess) {
    auto procs = list(false);
    wchar_t path[MAX_PATH];
    std::wstring self = file_name(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
    long index = -1;
    for (size_t i = 0; i < procs.size(); ++i) {
        if (static_cast<DWORD>(procs[i].PROCESSID) == GetCurrentProcessId()) {
            index = static_cast<long>(i);
            EXPECT_TRUE(same_text(qm::text_of(procs[i].EXENAME), self));
        }
    }
    EXPECT_GE(index, 0);
    LONG count = 0;
    ASSERT_EQ(sys_->Get_ProcessCount(&count), S_OK);
    EXPECT_GE(count, 2);
    for (auto& p : procs) SysFreeString(p.EXENAME);

    // Late bound: an array of records; an empty or unknown name is not running.
    Variant r;
    ASSERT_EQ(call(disp_.get(), L"Get_ProcessList", {}, r.get()), S_OK);
    EXPECT_EQ(V_VT(r.get()), VT_ARRAY | VT_RECORD);
    VARIANT_BOOL active = VARIANT_TRUE;
    ASSERT_EQ(sys_->TaskIsActive(Bstr(L"").get(), &active), S_OK);
    EXPECT_EQ(active, VARIANT_FALSE);
    ASSERT_EQ(sys_->TaskIsActive(Bstr(L"no-such-program.exe").get(), &active), S_OK);
    EXPECT_EQ(active, VARIANT_FALSE);
}

TEST_F(SystemTest, TaskWindowsAreTheApplicationWindows) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QmSystemTestWindow";
    RegisterClassW(&wc);
    HWND app = CreateWindowExW(WS_EX_APPWINDOW, wc.lpszClassName, L"app", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               nullptr, nullptr, wc.hInstance, nullptr);
    HWND plain = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"plain", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(sys_->TaskManager_GetTasks(&sa), S_OK);
    bool has_app = false, has_plain = false;
    for (LONG* h : records<LONG>(sa)) {
        HWND w = reinterpret_cast<HWND>(static_cast<LONG_PTR>(*h));
        has_app |= w == app;
        has_plain |= w == plain;
        EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    }
    SafeArrayDestroy(sa);
    EXPECT_TRUE(has_app);
    EXPECT_FALSE(has_plain);
    DestroyWindow(app);
    DestroyWindow(plain);
}

// --- special folders and the environment --------------------------------------------------

// The shell's own answer (SHGetFolderPathW; its header clashes with the type library's).
std::wstring shell_path(int csidl) {
    using Fn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    static auto get = reinterpret_cast<Fn>(GetProcAddress(LoadLibraryW(L"shell32.dll"), "SHGetFolderPathW"));
    wchar_t path[MAX_PATH];
    return get && SUCCEEDED(get(nullptr, csidl, nullptr, 0, path)) ? path : L"";
}

TEST_F(SystemTest, ShellFoldersAreTheSystemsOwn) {
    for (int csidl : {0, 2, 5, 6, 7, 8, 9, 11, 13, 14, 20, 21, 22, 23, 24, 25, 26, 28, 31, 32, 33, 34, 35, 36, 37, 38,
                      39, 40, 43, 45, 46, 47, 53, 54, 55}) {
        std::wstring expected = shell_path(csidl);
        std::wstring got = folder(csidl);
        if (expected.empty())
            EXPECT_EQ(got, L"\\") << csidl;
        else
            EXPECT_TRUE(same_text(got, expected + L"\\")) << csidl << ": " << got << " / " << expected;
    }
}

TEST_F(SystemTest, OwnFoldersAndUnknownCodes) {
    std::wstring windows = shell_path(sdSystem_Windows);
    ASSERT_FALSE(windows.empty());
    EXPECT_TRUE(same_text(folder(sdSystem_Windows), windows + L"\\"));
    EXPECT_TRUE(same_text(folder(sdSystem_Temp), windows + L"\\Temp\\"));
    EXPECT_TRUE(same_text(folder(sdSystem_Prefetch), windows + L"\\Prefetch\\"));
    EXPECT_TRUE(same_text(folder(sdUser_QuickLaunch),
                          shell_path(sdUser_AppData) + L"\\Microsoft\\Internet Explorer\\Quick Launch\\"));
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_EQ(folder(sdUser_Temp), temp);  // its own trailing backslash, no second one
    wchar_t all[MAX_PATH];
    ASSERT_TRUE(GetEnvironmentVariableW(L"ALLUSERSPROFILE", all, MAX_PATH));
    EXPECT_EQ(folder(sdAllUser_Profile), std::wstring(all) + L"\\");
    auto env = qm::sys::environment();
    ASSERT_GE(env.size(), 2u);
    EXPECT_EQ(folder(1002), env[1].substr(env[1].find(L'=') + 1) + (env[1].back() == L'\\' ? L"" : L"\\"));
    for (long bad : {1051L, -5L, 1099L, 1101L, 5000L, 99999L}) EXPECT_EQ(folder(bad), L"\\") << bad;

    // Late bound, with the folder as a Long and as a variable.
    Variant r, code = v_long(sdSystem_Windows);
    ASSERT_EQ(call(disp_.get(), L"SystemDirectory", {code.get()}, r.get()), S_OK);
    EXPECT_TRUE(same_text(qm::text_of(V_BSTR(r.get())), windows + L"\\"));
    VARIANT ref = v_ref(code);
    ASSERT_EQ(call(disp_.get(), L"SystemDirectory", {&ref}, r.put()), S_OK);
    EXPECT_TRUE(same_text(qm::text_of(V_BSTR(r.get())), windows + L"\\"));
}

TEST_F(SystemTest, EnvironmentReaders) {
    SetEnvironmentVariableW(L"QM_SYSTEM_TEST", L"a=b c");
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(sys_->Get_WindowsEnvironment(&sa), S_OK);
    std::vector<std::wstring> got;
    for (BSTR* s : records<BSTR>(sa)) got.emplace_back(qm::text_of(*s));
    SafeArrayDestroy(sa);
    std::vector<std::wstring> block;
    wchar_t* env = GetEnvironmentStringsW();
    for (const wchar_t* p = env; *p; p += wcslen(p) + 1)
        if (*p != L'=') block.emplace_back(p);
    FreeEnvironmentStringsW(env);
    EXPECT_EQ(got, block);
    EXPECT_NE(std::find(got.begin(), got.end(), L"QM_SYSTEM_TEST=a=b c"), got.end());
    SetEnvironmentVariableW(L"QM_SYSTEM_TEST", nullptr);

    wchar_t value[MAX_PATH];
    Bstr drive, comspec;
    ASSERT_EQ(sys_->Get_SystemDrive(drive.put()), S_OK);
    GetEnvironmentVariableW(L"SystemDrive", value, MAX_PATH);
    EXPECT_EQ(drive.str(), std::wstring(value) + L"\\");
    ASSERT_EQ(sys_->Get_DOScommandPath(comspec.put()), S_OK);
    GetEnvironmentVariableW(L"ComSpec", value, MAX_PATH);
    EXPECT_EQ(comspec.str(), value);
}

}  // namespace
