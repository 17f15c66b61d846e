// System: registering components and fonts, classes, DLL kinds, autostart,
// installed software, the lists of recent entries, memory and colour depth.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "runtime/interfaces.h"
#include "support.h"
#include "system/system.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

std::wstring test_dir() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.rfind(L'\\') + 1);
}

std::wstring component(int mode) { return test_dir() + L"qmregdll" + std::to_wstring(mode) + L".dll"; }

bool reg_flag() {
    DWORD v = 0, n = sizeof v;
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest", L"reg", RRF_RT_REG_DWORD, nullptr, &v, &n) ==
               ERROR_SUCCESS &&
           v == 1;
}

bool key_exists(HKEY root, const wchar_t* path) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

std::vector<std::wstring> texts(SAFEARRAY* sa) {
    std::vector<std::wstring> out;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(sa, 1, &lo);
    SafeArrayGetUBound(sa, 1, &hi);
    for (LONG i = lo; i <= hi; ++i) {
        BSTR b = nullptr;
        SafeArrayGetElement(sa, &i, &b);
        out.emplace_back(b ? b : L"");
        SysFreeString(b);
    }
    return out;
}

class SystemInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        ComPtr<IDispatch> disp = create(L"Quillmark.System");
        ASSERT_TRUE(disp);
        sys_ = disp.query<_System>();
        ASSERT_TRUE(sys_);
    }
    bool reg(const std::wstring& path, REGISTERCOMMAND cmd) {
        Bstr p(path);
        VARIANT_BOOL r = 7;
        EXPECT_EQ(sys_->Component_Register(p.get(), &cmd, &r), S_OK);
        return r == VARIANT_TRUE;
    }
    DLLType kind(const std::wstring& path) {
        BSTR p = SysAllocString(path.c_str());
        DLLType t = static_cast<DLLType>(-1);
        EXPECT_EQ(sys_->Get_DLLType(&p, &t), S_OK);
        SysFreeString(p);
        return t;
    }
    ComPtr<_System> sys_;
};

TEST_F(SystemInstallTest, RegistrationRunsTheEntryPointAndReportsItsResult) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest", L"reg");
    EXPECT_TRUE(reg(component(0), riREGISTER));
    EXPECT_TRUE(reg_flag());
    EXPECT_TRUE(reg(component(0), riUNREGISTER));
    EXPECT_FALSE(reg_flag());
    EXPECT_FALSE(reg(component(1), riREGISTER));  // the function failed
    EXPECT_TRUE(reg(component(3), riREGISTER));   // nothing to run
    std::wstring text = scratch() + L"not_a_dll.txt";
    write_bytes(text, "MZ is not enough\r\n");
    EXPECT_FALSE(reg(text, riREGISTER));
    EXPECT_FALSE(reg(scratch() + L"missing.dll", riREGISTER));
}

TEST_F(SystemInstallTest, RegistrationThatHangsGivesUpAndKeepsItsModule) {
    EXPECT_FALSE(reg(component(2), riREGISTER));
    // The thread is still inside the module: it must stay loaded.
    EXPECT_NE(GetModuleHandleW(component(2).c_str()), nullptr);
}

TEST_F(SystemInstallTest, DllKindIsReadFromTheHeaders) {
    EXPECT_EQ(kind(component(0)), dtACTIVEXDLL);
    EXPECT_EQ(kind(registered_dll()), dtACTIVEXDLL);
    EXPECT_EQ(kind(component(3)), dtSTANDARDDLL);
    wchar_t sys32[MAX_PATH];
    GetSystemDirectoryW(sys32, MAX_PATH);
    EXPECT_EQ(kind(std::wstring(sys32) + L"\\kernel32.dll"), dtSTANDARDDLL);
    std::wstring text = scratch() + L"kind.txt";
    write_bytes(text, "MZ");
    EXPECT_EQ(kind(text), dtNODLL);
    EXPECT_EQ(kind(scratch() + L"missing.dll"), dtNODLL);
    // Kept from loading: a component's start-up code never runs.
    EXPECT_EQ(GetModuleHandleW(component(3).c_str()), nullptr);
}

TEST_F(SystemInstallTest, ClassesAreFoundThroughTheirIdentifiers) {
    Bstr known(L"Scripting.FileSystemObject"), unknown(L"Quillmark.NoSuchClass"), path;
    VARIANT_BOOL r = 7;
    EXPECT_EQ(sys_->Class_isRegistered(known.get(), &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    EXPECT_EQ(sys_->Class_GetPath(known.get(), path.put()), S_OK);
    std::wstring p = path.str();
    CharLowerW(p.data());
    EXPECT_TRUE(p.ends_with(L"scrrun.dll")) << p;
    EXPECT_EQ(sys_->Class_isRegistered(unknown.get(), &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
    EXPECT_EQ(sys_->Class_GetPath(unknown.get(), path.put()), S_OK);
    EXPECT_EQ(path.str(), L"");
}

TEST_F(SystemInstallTest, FontCommandsOutsideTheTwoAndMissingFilesFail) {
    wchar_t windir[MAX_PATH];
    GetWindowsDirectoryW(windir, MAX_PATH);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((std::wstring(windir) + L"\\Fonts\\*.ttf").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    std::wstring font = scratch() + L"qmfont.ttf";
    ASSERT_TRUE(CopyFileW((std::wstring(windir) + L"\\Fonts\\" + fd.cFileName).c_str(), font.c_str(), FALSE));
    Bstr p(font), missing(scratch() + L"missing.ttf");
    VARIANT_BOOL r = 7;
    REGISTERCOMMAND add = riREGISTER, remove = riUNREGISTER, other = static_cast<REGISTERCOMMAND>(2);
    // Adding and removing report what the system answers; only the calls are checked here.
    EXPECT_EQ(sys_->Font_Register(p.get(), &add, &r), S_OK);
    EXPECT_EQ(sys_->Font_Register(p.get(), &remove, &r), S_OK);
    EXPECT_EQ(sys_->Font_Register(p.get(), &other, &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
    EXPECT_EQ(sys_->Font_Register(missing.get(), &add, &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
}

TEST_F(SystemInstallTest, InstalledSoftwarePairsNamesWithTheirCommands) {
    const std::wstring base = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    struct Entry {
        const wchar_t *key, *field, *name, *cmdfield, *cmd;
    } entries[] = {
        {L"QmTest1", L"DisplayName", L"Qm One", L"UninstallString", L"one.exe /x"},
        {L"QmTest2", L"QuietDisplayName", L"Qm Two", L"QuietUninstallString", L"two.exe /q"},
        {L"QmTest3", L"Comment", L"no name", L"UninstallString", L"three.exe"},
    };
    for (auto& e : entries) {
        std::wstring k = base + e.key;
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, k.c_str(), e.field, REG_SZ, e.name,
                        static_cast<DWORD>((wcslen(e.name) + 1) * 2));
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, k.c_str(), e.cmdfield, REG_SZ, e.cmd,
                        static_cast<DWORD>((wcslen(e.cmd) + 1) * 2));
    }
    INSTALLEDSOFTWAREINFO info{};
    EXPECT_EQ(sys_->Get_InstalledSoftware(&info), S_OK);
    for (auto& e : entries) RegDeleteKeyW(HKEY_LOCAL_MACHINE, (base + e.key).c_str());
    auto names = texts(info.DISPLAYNAME), cmds = texts(info.UNINSTALLSTRING);
    SafeArrayDestroy(info.DISPLAYNAME);
    SafeArrayDestroy(info.UNINSTALLSTRING);
    ASSERT_EQ(names.size(), cmds.size());
    std::vector<std::pair<std::wstring, std::wstring>> ours;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].starts_with(L"Qm ") || names[i] == L"no name") ours.emplace_back(names[i], cmds[i]);
    std::vector<std::pair<std::wstring, std::wstring>> want{{L"Qm One", L"one.exe /x"}, {L"Qm Two", L"two.exe /q"}};
    EXPECT_EQ(ours, want);
}

TEST_F(SystemInstallTest, AutoRunWritesTheRunValueAsText) {
    const wchar_t run[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    Bstr field(L"QmAutoRunTest"), exe(L"C:\\qm\\prog.exe /start");
    VARIANT_BOOL r = 7;
    EXPECT_EQ(sys_->AutoRun(field.get(), exe.get(), &r), S_OK);
    DWORD type = 0;
    wchar_t data[64]{};
    DWORD n = sizeof data;
    LONG rc = RegGetValueW(HKEY_LOCAL_MACHINE, run, L"QmAutoRunTest", RRF_RT_ANY, &type, data, &n);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, run, L"QmAutoRunTest");
    EXPECT_EQ(r, VARIANT_TRUE);
    ASSERT_EQ(rc, ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(data, L"C:\\qm\\prog.exe /start");
}

TEST_F(SystemInstallTest, RecentListsAreDeletedUnlessTheyHaveSubKeys) {
    const wchar_t* keys[] = {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
                             L"Software\\Microsoft\\Internet Explorer\\TypedURLs",
                             L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU"};
    auto make = [&] {
        for (auto* k : keys) RegSetKeyValueW(HKEY_CURRENT_USER, k, L"a", REG_SZ, L"x", 4);
    };
    VARIANT_BOOL no = VARIANT_FALSE, yes = VARIANT_TRUE;
    for (long v = rcRUNMENU; v <= rcRECENTDOCS; ++v) {
        make();
        REGISTRYCLEANINFO c = static_cast<REGISTRYCLEANINFO>(v);
        EXPECT_EQ(sys_->RegistryCleanUp(&c, &no), S_OK);
        for (long k = 1; k <= 3; ++k) EXPECT_EQ(key_exists(HKEY_CURRENT_USER, keys[k - 1]), k != v) << v << " " << k;
    }
    make();
    RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(keys[1]) + L"\\sub").c_str(), L"a", REG_SZ, L"x", 4);
    REGISTRYCLEANINFO none = static_cast<REGISTRYCLEANINFO>(0);
    EXPECT_EQ(sys_->RegistryCleanUp(&none, &yes), S_OK);
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, keys[0]));
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, keys[1]));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, keys[2]));
    RegDeleteTreeW(HKEY_CURRENT_USER, keys[1]);
}

TEST(SystemMemory, FiguresAreThousandsOfKilobytesHalvesToEven) {
    struct {
        unsigned long long bytes;
        long want;
    } cases[] = {{1024000000ull, 1000}, {512000ull, 0}, {1536000ull, 2}, {2560000ull, 2}, {8ull << 30, 8389}};
    for (auto& c : cases) EXPECT_EQ(qm::sys::memory_figure(c.bytes), c.want) << c.bytes;
}

TEST_F(SystemInstallTest, MemoryLoadAndColourDepthMatchTheSystem) {
    LONG load = -1;
    EXPECT_EQ(sys_->Get_MemoryLoad(&load), S_OK);
    EXPECT_GE(load, 0);
    EXPECT_LE(load, 100);
    LONG total = -1, avail = -1;
    Variant r;
    EXPECT_EQ(sys_->Get_PhysicalMemoryStatus(&total, &avail, r.put()), S_OK);
    EXPECT_EQ(r.get()->vt, VT_EMPTY);
    EXPECT_GT(total, 0);  // more than 2 GB reads right too
    EXPECT_LE(avail, total);
    HDC dc = GetDC(nullptr);
    double want = std::ldexp(1.0, GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES));
    ReleaseDC(nullptr, dc);
    Variant colours;
    EXPECT_EQ(sys_->Get_SystemColor(colours.put()), S_OK);
    EXPECT_EQ(colours.get()->vt, VT_R8);
    EXPECT_EQ(colours.get()->dblVal, want);
}

}  // namespace
