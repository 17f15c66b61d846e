// Desktop's recycle bin, recent documents, control-panel pages, shell folders,
// system-icon names and My Computer entries. The recycle bin is the trash of the
// run's private HOME; registry entries a test writes are put back afterwards.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

#include "qmwindows_helper.h"
#include "runtime/interfaces.h"
#include "support.h"
#include "windows/desktop.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;

namespace {

std::set<DWORD> processes_named(const wchar_t* exe) {
    std::set<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
        if (_wcsicmp(e.szExeFile, exe) == 0) ids.insert(e.th32ProcessID);
    CloseHandle(snap);
    return ids;
}

// Ends the process with this number if it started between since and until: the
// system gives a number again as soon as its process ends, and the next holder is
// another test's program.
void end_process(DWORD pid, ULONGLONG since, ULONGLONG until) {
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
        const ULONGLONG born = started_at(p);
        if (born >= since && born <= until) {
            TerminateProcess(p, 0);
            WaitForSingleObject(p, 10000);
        }
        CloseHandle(p);
    }
}

std::wstring reg_text(HKEY root, const std::wstring& key, const wchar_t* name, bool* present = nullptr) {
    wchar_t buf[512] = {};
    DWORD size = sizeof buf;
    const bool ok = RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) == ERROR_SUCCESS;
    if (present) *present = ok;
    return buf;
}

class DesktopShellTest : public ::testing::Test {
protected:
    void SetUp() override { desktop = ComPtr<_Desktop>::attach(new qm::Desktop()); }
    RECYCLEBININFO bin() {
        RECYCLEBININFO info{-1, -1, VARIANT_FALSE};
        EXPECT_EQ(desktop->RecycleBin_Info(&info), S_OK);
        return info;
    }
    ComPtr<_Desktop> desktop;
};

TEST_F(DesktopShellTest, RecycleBinCountsAndEmpties) {
    // Only the trash of the run's own data folder, never a user's.
    char data[MAX_PATH] = {};
    GetEnvironmentVariableA("XDG_DATA_HOME", data, MAX_PATH);
    if (std::string(data).find("/quill-run.") == std::string::npos) GTEST_SKIP() << "no private trash";

    long hwnd = 0;
    ASSERT_EQ(desktop->RecycleBin_Clear(&hwnd, nullptr, nullptr, nullptr), S_OK);
    RECYCLEBININFO info = bin();
    EXPECT_EQ(info.Size, 0);
    EXPECT_EQ(info.ITEMCOUNT, 0);
    EXPECT_EQ(info.EMPTY, VARIANT_TRUE);

    const std::wstring file = scratch() + L"bin_victim.txt";
    write_bytes(file, std::string(1234, 'q'));
    std::wstring from = file + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ASSERT_EQ(SHFileOperationW(&op), 0);
    ASSERT_FALSE(exists(file));
    info = bin();
    EXPECT_EQ(info.ITEMCOUNT, 1);
    EXPECT_EQ(info.Size, 1234);
    EXPECT_EQ(info.EMPTY, VARIANT_FALSE);

    VARIANT_BOOL no = VARIANT_FALSE;  // flags 7: no confirmation, progress or sound
    ASSERT_EQ(desktop->RecycleBin_Clear(&hwnd, &no, &no, &no), S_OK);
    info = bin();
    EXPECT_EQ(info.ITEMCOUNT, 0);
    EXPECT_EQ(info.EMPTY, VARIANT_TRUE);
    EXPECT_EQ(desktop->RecycleBin_UpdateIcon(), S_OK);
}

TEST_F(DesktopShellTest, RecentDocsAddAndClear) {
    wchar_t recent[MAX_PATH] = {};
    ExpandEnvironmentStringsW(L"%APPDATA%\\Microsoft\\Windows\\Recent\\", recent, MAX_PATH);
    const std::wstring folder = recent;
    const std::wstring file = scratch() + L"recent_doc.txt";
    write_bytes(file, "recent");
    RECENTDOCSCOMMAND add = rdADDFILE, clear = rdCLEAR, other = static_cast<RECENTDOCSCOMMAND>(3);
    BSTR path = Bstr(file).detach();
    ASSERT_EQ(desktop->RecentDocs(&add, &path), S_OK);
    EXPECT_TRUE(exists(folder + L"recent_doc.txt.lnk"));
    EXPECT_EQ(desktop->RecentDocs(&other, &path), S_OK);
    SysFreeString(path);
    // Wine keeps the links when the list is cleared.
    ASSERT_EQ(desktop->RecentDocs(&clear, nullptr), S_OK);
    DeleteFileW((folder + L"recent_doc.txt.lnk").c_str());
}

TEST_F(DesktopShellTest, CommandTextsWordForWord) {
    const std::wstring run = L"rundll32.exe shell32.dll,Control_RunDLL ";
    const wchar_t* pages[] = {L"", L"", L"appwiz.cpl,,0", L"appwiz.cpl,,1", L"appwiz.cpl,,2", L"sysdm.cpl,,0",
                              L"sysdm.cpl,,1", L"sysdm.cpl,,2", L"timedate.cpl", L"intl.cpl,,0", L"desk.cpl,,0",
                              L"inetcpl.cpl,,0", L"main.cpl @1", L"main.cpl @0", L"modem.cpl", L"mmsys.cpl @1", L"",
                              L"access.cpl @1", L"intl.cpl,,0", L"odbccp32.cpl @1", L"joy.cpl @1", L"wuaucpl.cpl @1"};
    for (long app = 0; app <= 23; ++app) {
        long style = -1;
        const std::wstring got = qm::system_panel_command(app, &style);
        if (app < 2 || app > 21) {
            EXPECT_EQ(got, L"") << app;
        } else if (app == syNew_Printer) {
            EXPECT_EQ(got, L"rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL AddPrinter");
            EXPECT_EQ(style, 1);
        } else {
            EXPECT_EQ(got, run + pages[app] + (app == sySound_Settings ? L"\", 5" : L"\", 1")) << app;
            EXPECT_EQ(style, 2) << app;
        }
    }
    EXPECT_EQ(qm::system_panel_command(syCountrie_Attitudes, nullptr),
              qm::system_panel_command(syRegional_Settings, nullptr));

    const std::wstring pc = L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    const std::wstring panel = pc + L"\\::{21EC2020-3AEA-1069-A2DD-08002B30309D}";
    const std::wstring dirs[] = {L"", pc, L"{645FF040-5081-101B-9F08-00AA002F954E}", panel,
                                 panel + L"\\::{7007acc7-3202-11d1-aad2-00805fc1270e}",
                                 L"{208D2C60-3AEA-1069-A2D7-08002B30309D}", L"{2227A280-3AEA-1069-A2DE-08002B30309D}"};
    for (long d = 1; d <= 6; ++d) EXPECT_EQ(qm::system_dir_command(d), L"Explorer.exe ::" + dirs[d]) << d;
    for (long d : {0L, 7L, -1L}) EXPECT_EQ(qm::system_dir_command(d), L"") << d;
}

TEST_F(DesktopShellTest, PanelsAndFoldersStartTheirPrograms) {
    for (long app : {0L, 22L}) {
        ::SystemPanelApp a = static_cast<::SystemPanelApp>(app);
        long error = -1, task = -1;
        ASSERT_EQ(desktop->SystemPanel(&a, &error, &task), S_OK);
        EXPECT_EQ(task, 0) << app;
        EXPECT_EQ(error, 0) << app;
    }
    ::SystemPanelApp a = syDisplay_Settings;
    long error = -1, task = 0;
    ULONGLONG since = time_now();
    ASSERT_EQ(desktop->SystemPanel(&a, &error, &task), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_GT(task, 0);
    if (task > 0) end_process(static_cast<DWORD>(task), since, time_now());

    // Explorer windows: the shell's own explorer stays, the new ones are ended.
    since = time_now();
    const std::set<DWORD> before = processes_named(L"explorer.exe");
    SYSTEMDIR dir = sdMYCOMPUTER;
    long result = -1;
    ASSERT_EQ(desktop->SystemDirOpen(&dir, &result), S_OK);
    EXPECT_EQ(result, 0);
    dir = static_cast<SYSTEMDIR>(9);
    ASSERT_EQ(desktop->SystemDirOpen(&dir, &result), S_OK);
    EXPECT_EQ(result, 0);
    std::set<DWORD> started;
    for (DWORD pid : processes_named(L"explorer.exe"))
        if (!before.count(pid)) started.insert(pid);
    const ULONGLONG until = time_now();
    EXPECT_EQ(started.size(), 1u);
    for (DWORD pid : started) end_process(pid, since, until);
}

TEST_F(DesktopShellTest, SystemIconNamesAndMyComputerEntries) {
    const std::wstring bin_key = L"CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}";
    bool had = false;
    const std::wstring old = reg_text(HKEY_CLASSES_ROOT, bin_key, nullptr, &had);
    DESKTOPSYSTEMICON icon = diRECYCLEBIN;
    ASSERT_EQ(desktop->DesktopSystemIcons_Rename(&icon, Bstr(L"Papierkorb Ä").get()), S_OK);
    EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, bin_key, nullptr), L"Papierkorb Ä");
    icon = static_cast<DESKTOPSYSTEMICON>(5);
    ASSERT_EQ(desktop->DesktopSystemIcons_Rename(&icon, Bstr(L"nie").get()), S_OK);
    if (had)
        RegSetKeyValueW(HKEY_CLASSES_ROOT, bin_key.c_str(), nullptr, REG_SZ, old.c_str(),
                        static_cast<DWORD>((old.size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteKeyValueW(HKEY_CLASSES_ROOT, bin_key.c_str(), nullptr);

    const std::wstring ids[] = {L"{00000000-0000-0000-8000-00AA000D0EA0}", L"{00000000-0000-0000-8000-00AA000D0EA1}"};
    const std::wstring space = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace\\";
    HKEY probe = nullptr;
    for (const auto& id : ids) {
        ASSERT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + id).c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS)
            << "left over: " << std::string(id.begin(), id.end());
    }
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(desktop->MyComputer_SetIcon(Bstr(L"App " + std::to_wstring(i)).get(), Bstr(L"C:\\app.exe").get(),
                                              Bstr(L"Tip").get()),
                  S_OK);
    for (int i = 0; i < 2; ++i) {
        const std::wstring key = L"CLSID\\" + ids[i];
        EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, key, nullptr), L"App " + std::to_wstring(i));
        EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, key, L"InfoTip"), L"Tip");
        EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, key + L"\\DefaultIcon", nullptr), L"C:\\app.exe,0");
        EXPECT_EQ(reg_text(HKEY_CLASSES_ROOT, key + L"\\Shell\\Open\\command", nullptr), L"C:\\app.exe");
        EXPECT_EQ(reg_text(HKEY_LOCAL_MACHINE, space + ids[i], nullptr), L"YOUR APP");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (space + ids[i]).c_str());
    }
}

std::vector<std::wstring> desktops(_Desktop* d, long command, const std::wstring& name,
                                   const std::wstring& app = L"") {
    DeskCommand c = static_cast<DeskCommand>(command);
    SAFEARRAY* sa = nullptr;
    EXPECT_EQ(d->Desktops(&c, Bstr(name).get(), Bstr(app).get(), &sa), S_OK);
    std::vector<std::wstring> names;
    if (!sa) return names;
    BSTR* items = nullptr;
    SafeArrayAccessData(sa, reinterpret_cast<void**>(&items));
    for (ULONG i = 0; i < sa->rgsabound[0].cElements; ++i) names.emplace_back(Bstr::view_of(items[i]));
    SafeArrayUnaccessData(sa);
    SafeArrayDestroy(sa);
    return names;
}

bool listed(_Desktop* d, const std::wstring& name) {
    for (const auto& n : desktops(d, dcGetDesktops, L"")) if (n == name) return true;
    return false;
}

// Waits up to 20 s for a file a started program writes.
bool appears(const std::wstring& path) {
    for (int i = 0; i < 200 && !exists(path); ++i) Sleep(100);
    return exists(path);
}

TEST_F(DesktopShellTest, DesktopsAreMadeListedStartedOnAndClosed) {
    const std::wstring name = L"QmDesk" + std::to_wstring(GetCurrentProcessId());
    // Nothing made yet: unloading does nothing, other commands give no list.
    EXPECT_TRUE(desktops(desktop.get(), dcUnload_All, L"").empty());
    EXPECT_TRUE(desktops(desktop.get(), dcUnload, L"nope").empty());
    EXPECT_TRUE(desktops(desktop.get(), dcSwitchDesktop, L"nope").empty());
    EXPECT_TRUE(desktops(desktop.get(), 3, name).empty());

    EXPECT_TRUE(desktops(desktop.get(), dcCreate_New, name).empty());
    EXPECT_TRUE(listed(desktop.get(), name));

    // A program started on the new desktop, and one through the shell.
    const std::wstring on_desk = scratch() + L"desk_child.txt", via_shell = scratch() + L"desk_shell.txt";
    const std::wstring script = scratch() + L"desk_shell.cmd";
    write_bytes(script, "@echo shell> \"" + std::string(via_shell.begin(), via_shell.end()) + "\"\r\n");
    desktops(desktop.get(), dcExecute, name, L"cmd.exe /c echo child> \"" + on_desk + L"\"");
    EXPECT_TRUE(appears(on_desk));
    desktops(desktop.get(), dcExecute, L"", script);
    EXPECT_TRUE(appears(via_shell));

    // Unloaded: its handles closed, so the desktop is gone from the list once the
    // program started on it has ended too (it holds the desktop until then).
    EXPECT_TRUE(desktops(desktop.get(), dcUnload, name).empty());
    EXPECT_TRUE(pump_until([&] { return !listed(desktop.get(), name); }));
    EXPECT_TRUE(desktops(desktop.get(), dcUnload, name).empty());

    desktops(desktop.get(), dcCreate_New, name + L"a");
    desktops(desktop.get(), dcCreate_New, name + L"b");
    desktops(desktop.get(), dcUnload_All, L"");
    EXPECT_FALSE(listed(desktop.get(), name + L"a"));
    EXPECT_FALSE(listed(desktop.get(), name + L"b"));
}

}  // namespace
