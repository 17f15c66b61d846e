// System: registering components and fonts, classes, DLL kinds, autostart,
// installed software, the lists of recent entries, memory and colour depth.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"
#include "system/system.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using qm::string_array;
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


// The uninstall batch as the member writes it, with the creation line left out.
std::string batch_text(const std::vector<std::string>& body) {
    std::string text = "@echo off\r\ncls\r\necho Uninstall created by Velkor\r\n\r\n\r\n\r\n"
                       "echo Uninstall in progress.....\r\n\r\n";
    for (const std::string& line : body) text += line + "\r\n";
    return text + "echo.\r\necho.\r\necho.\r\necho Uninstall done.\r\necho Please close this window\r\n\r\nExit\r\n";
}

std::vector<std::string> delete_lines(const std::string& path) {
    return {"echo Set Fileattribut \"" + path + "\"", "Attrib -R -A -S -H \"" + path + "\"",
            "echo Delete \"" + path + "\"", "Del \"" + path + "\""};
}

const wchar_t kRunOnce[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Takes the RunOnce values the member wrote (name => data) and deletes them: the
// prefix's next start would run the batch otherwise.
std::vector<std::pair<std::wstring, std::wstring>> take_run_once() {
    std::vector<std::pair<std::wstring, std::wstring>> found;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return found;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256], data[1024];
        DWORD n = 256, size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &n, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
            break;
        if (std::wstring_view(name).starts_with(L"Velkor Uninstall")) found.emplace_back(name, data);
    }
    for (auto& f : found) RegDeleteValueW(key, f.first.c_str());
    RegCloseKey(key);
    return found;
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

// A class that only the other half of 64-bit Windows registers is found with its
// server; one that both halves register gives the server of the program's own.
TEST_F(SystemInstallTest, ClassesOfEitherHalfAreFound) {
    const REGSAM own = kOtherView ^ (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    const std::wstring other_id = L"{6A1B2C3D-0000-4000-8000-00000000A071}";
    const std::wstring both_id = L"{6A1B2C3D-0000-4000-8000-00000000A072}";
    const struct {
        std::wstring key, value;
        REGSAM view;
    } entries[] = {
        {L"Quillmark.OtherHalf\\CLSID", other_id, kOtherView},
        {L"CLSID\\" + other_id + L"\\InprocServer32", L"C:\\qm\\other.dll", kOtherView},
        {L"Quillmark.BothHalves\\CLSID", both_id, kOtherView},
        {L"Quillmark.BothHalves\\CLSID", both_id, own},
        {L"CLSID\\" + both_id + L"\\InprocServer32", L"C:\\qm\\other.dll", kOtherView},
        {L"CLSID\\" + both_id + L"\\InprocServer32", L"C:\\qm\\own.dll", own},
    };
    for (const auto& e : entries) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, e.key.c_str(), 0, nullptr, 0, KEY_WRITE | e.view, nullptr, &k,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(e.value.c_str()),
                       static_cast<DWORD>((e.value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
    }
    for (const auto& [name, server] : {std::pair{L"Quillmark.OtherHalf", L"C:\\qm\\other.dll"},
                                       std::pair{L"Quillmark.BothHalves", L"C:\\qm\\own.dll"}}) {
        Bstr id(name), path;
        VARIANT_BOOL r = 7;
        EXPECT_EQ(sys_->Class_isRegistered(id.get(), &r), S_OK);
        EXPECT_EQ(r, VARIANT_TRUE) << name;
        EXPECT_EQ(sys_->Class_GetPath(id.get(), path.put()), S_OK);
        EXPECT_EQ(path.str(), server);
    }
    for (const auto& e : entries) {  // the key and the one above it
        RegDeleteKeyExW(HKEY_CLASSES_ROOT, e.key.c_str(), e.view, 0);
        RegDeleteKeyExW(HKEY_CLASSES_ROOT, e.key.substr(0, e.key.rfind(L'\\')).c_str(), e.view, 0);
    }
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

// Both registry views, as the system's list of programs shows them, whichever
// build asks; an entry in both views is listed once. Late-bound, the record's
// arrays survive a copy and a clear of the result (a generic record description
// took the array fields for arrays and freed what lay beside a 32-bit record).
TEST_F(SystemInstallTest, InstalledSoftwareListsBothViewsAndSurvivesLateBinding) {
    const std::wstring base = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    struct Entry {
        const wchar_t *key, *field, *name, *cmdfield, *cmd;
        REGSAM view;
    } entries[] = {
        {L"QmTest1", L"DisplayName", L"Qm One", L"UninstallString", L"one.exe /x", KEY_WOW64_64KEY},
        {L"QmTest2", L"QuietDisplayName", L"Qm Two", L"QuietUninstallString", L"two.exe /q", KEY_WOW64_32KEY},
        {L"QmTest3", L"Comment", L"no name", L"UninstallString", L"three.exe", KEY_WOW64_64KEY},
        {L"QmTest4", L"DisplayName", L"Qm Four", L"UninstallString", L"four.exe", KEY_WOW64_64KEY},
        {L"QmTest4", L"DisplayName", L"Qm Four", L"UninstallString", L"four.exe", KEY_WOW64_32KEY},
    };
    for (auto& e : entries) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (base + e.key).c_str(), 0, nullptr, 0, KEY_WRITE | e.view,
                                  nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(k, e.field, 0, REG_SZ, reinterpret_cast<const BYTE*>(e.name),
                       static_cast<DWORD>((wcslen(e.name) + 1) * 2));
        RegSetValueExW(k, e.cmdfield, 0, REG_SZ, reinterpret_cast<const BYTE*>(e.cmd),
                       static_cast<DWORD>((wcslen(e.cmd) + 1) * 2));
        RegCloseKey(k);
    }
    INSTALLEDSOFTWAREINFO info{};
    EXPECT_EQ(sys_->Get_InstalledSoftware(&info), S_OK);
    Variant late, copy;
    EXPECT_EQ(call(sys_.get(), L"Get_InstalledSoftware", {}, late.put()), S_OK);
    for (auto& e : entries) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (base + e.key).c_str(), e.view, 0);

    auto ours = [](SAFEARRAY* display, SAFEARRAY* uninstall) {
        auto names = texts(display), cmds = texts(uninstall);
        std::vector<std::pair<std::wstring, std::wstring>> found;
        for (size_t i = 0; i < names.size() && i < cmds.size(); ++i)
            if (names[i].starts_with(L"Qm ") || names[i] == L"no name") found.emplace_back(names[i], cmds[i]);
        std::sort(found.begin(), found.end());
        return found;
    };
    const std::vector<std::pair<std::wstring, std::wstring>> want{
        {L"Qm Four", L"four.exe"}, {L"Qm One", L"one.exe /x"}, {L"Qm Two", L"two.exe /q"}};
    EXPECT_EQ(ours(info.DISPLAYNAME, info.UNINSTALLSTRING), want);
    SafeArrayDestroy(info.DISPLAYNAME);
    SafeArrayDestroy(info.UNINSTALLSTRING);

    ASSERT_EQ(V_VT(late.get()), VT_RECORD);
    ASSERT_EQ(VariantCopy(copy.put(), late.get()), S_OK);
    auto* got = static_cast<INSTALLEDSOFTWAREINFO*>(V_RECORD(late.get()));
    auto* dup = static_cast<INSTALLEDSOFTWAREINFO*>(V_RECORD(copy.get()));
    EXPECT_NE(dup->DISPLAYNAME, got->DISPLAYNAME);
    EXPECT_EQ(ours(got->DISPLAYNAME, got->UNINSTALLSTRING), want);
    VariantClear(late.get());
    EXPECT_EQ(ours(dup->DISPLAYNAME, dup->UNINSTALLSTRING), want);
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

    // Without a name or a program there is no entry: nothing is written.
    Bstr empty(L"");
    const std::pair<BSTR, BSTR> none[] = {
        {empty.get(), empty.get()}, {field.get(), empty.get()}, {empty.get(), exe.get()}};
    for (auto [f, e] : none) {
        r = VARIANT_TRUE;
        EXPECT_EQ(sys_->AutoRun(f, e, &r), S_OK);
        EXPECT_EQ(r, VARIANT_FALSE);
    }
    n = sizeof data;
    EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, run, L"QmAutoRunTest", RRF_RT_ANY, nullptr, data, &n), ERROR_SUCCESS);
    n = sizeof data;
    EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, run, nullptr, RRF_RT_ANY, nullptr, data, &n), ERROR_SUCCESS);
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

TEST_F(SystemInstallTest, UninstallBatchQuotesEveryPathAndSchedulesItselfOnce) {
    // Blanks, "&" and "%" in the folder and the file names stay names.
    const std::wstring dir = scratch() + L"un 1&%x";
    const std::string d = "S:\\un 1&%%x\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    write_bytes(dir + L"\\only file.txt", "x");
    auto lines = [](std::initializer_list<std::string> paths) {
        std::vector<std::string> all;
        for (const std::string& p : paths)
            for (std::string& l : delete_lines(p)) all.push_back(std::move(l));
        return all;
    };
    auto with_rmdir = [&](std::vector<std::string> body) {
        body.push_back("echo Delete Directory \"S:\\un 1&%%x\"");
        body.push_back("RmDir \"S:\\un 1&%%x\"");
        return body;
    };
    SafeArray two = string_array({L"a b.txt", L"x&y%z.dat"});
    Variant listed;
    listed.get()->vt = VT_ARRAY | VT_BSTR;
    listed.get()->parray = two.detach();
    struct Case {
        const char* what;
        Variant list;
        bool remove;
        std::vector<std::string> body;
    } cases[] = {
        {"two names", std::move(listed), false, lines({d + "a b.txt", d + "x&y%%z.dat", d + "Uninstall.bat"})},
        {"one name", Variant(L"one.txt"), false, lines({d + "one.txt", d + "Uninstall.bat"})},
        {"no list", Variant(v_missing()), false, lines({d + "Uninstall.bat"})},
        {"the folder", Variant(L"ignored"), true,
         with_rmdir(lines({d + "only file.txt", d + "Uninstall.bat"}))},
    };
    const std::regex created("rem Created on \\d{1,2}\\.\\d{1,2}\\.\\d{4} / \\d{1,2}:\\d\\d:\\d\\d\r\n");
    for (Case& c : cases) {
        DeleteFileW((dir + L"\\Uninstall.bat").c_str());
        VARIANT_BOOL remove = c.remove ? VARIANT_TRUE : VARIANT_FALSE, r = 7;
        Bstr folder(dir);
        EXPECT_EQ(sys_->Uninstall(folder.get(), c.list.get(), &remove, &r), S_OK) << c.what;
        auto values = take_run_once();
        EXPECT_EQ(r, VARIANT_TRUE) << c.what;
        ASSERT_EQ(values.size(), 1u) << c.what;
        EXPECT_TRUE(std::regex_match(values[0].first, std::wregex(L"Velkor Uninstall \\([0-9A-Z]{8}\\)")))
            << c.what << " " << values[0].first;
        EXPECT_EQ(values[0].second, L"\"" + dir + L"\\Uninstall.bat\"") << c.what;  // a command line
        std::string text = read_bytes(dir + L"\\Uninstall.bat");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(text, m, created)) << c.what << "\n" << text;
        EXPECT_EQ(m.position(0), 52) << c.what;
        EXPECT_EQ(text.substr(0, m.position(0)) + text.substr(m.position(0) + m.length(0)), batch_text(c.body))
            << c.what;
    }
    // The folder's files replaced the client's value.
    SAFEARRAY* found = qm::array_of(qm::deref(*cases[3].list.get()));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(qm::texts_of(found), std::vector<std::wstring>{L"only file.txt"});

    // An empty folder: nothing to list, but the folder still goes.
    const std::wstring empty = scratch() + L"un2";
    CreateDirectoryW(empty.c_str(), nullptr);
    Variant none;
    VARIANT_BOOL yes = VARIANT_TRUE, r = 7;
    EXPECT_EQ(sys_->Uninstall(Bstr(empty).get(), none.get(), &yes, &r), S_OK);
    take_run_once();
    std::string text = read_bytes(empty + L"\\Uninstall.bat");
    EXPECT_NE(text.find("echo Delete \"S:\\un2\\Uninstall.bat\"\r\nDel \"S:\\un2\\Uninstall.bat\"\r\n"
                        "echo Delete Directory \"S:\\un2\"\r\nRmDir \"S:\\un2\"\r\necho.\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Attrib", 0), text.rfind("Attrib"));

    // A folder that cannot be written to, or a name that cannot stay one name of
    // a batch line (a quote, a line break, a fullwidth quote the code page writes
    // as '"'): False, nothing written and nothing scheduled.
    VARIANT_BOOL no = VARIANT_FALSE;
    DeleteFileW((empty + L"\\Uninstall.bat").c_str());
    const struct {
        std::wstring folder;
        const wchar_t* name;
    } refused[] = {{scratch() + L"missing\\deeper", L"a.txt"},
                   {empty, L"a\"b"},
                   {empty, L"a\r\ncalc"},
                   {empty, L"a\uFF02 & calc & \uFF02"}};
    for (const auto& c : refused) {
        Variant one(c.name);
        r = VARIANT_TRUE;
        EXPECT_EQ(sys_->Uninstall(Bstr(c.folder).get(), one.get(), &no, &r), S_OK);
        EXPECT_EQ(r, VARIANT_FALSE) << c.name;
        EXPECT_TRUE(take_run_once().empty()) << c.name;
    }
    EXPECT_FALSE(exists(empty + L"\\Uninstall.bat"));
}

TEST(SystemCleanUpGuard, OnlyFoldersBelowARootAreEmptied) {
    const std::wstring s = scratch();  // "S:\", a drive root here
    CreateDirectoryW((s + L"guard").c_str(), nullptr);
    struct {
        std::wstring path;
        bool ok;
    } cases[] = {
        {L"", false},           {L"\\", false},          {L"\\Temp", false},       {L"\\Temp\\", false},
        {s, false},             {L"S:", false},          {L"S:guard", false},      {L"guard", false},
        {s + L"guard", true},   {s + L"guard\\", true},  {s + L"guard\\..", false}, {s + L"missing", false},
        {s + L".\\guard", false}, {L"\\\\server\\share", false}, {L"\\\\server\\share\\", false},
    };
    for (auto& c : cases) EXPECT_EQ(qm::sys::emptiable_folder(c.path), c.ok) << c.path;
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
    // The process's address space, not the memory.
    MEMORYSTATUSEX ms{sizeof ms};
    ASSERT_TRUE(GlobalMemoryStatusEx(&ms));
    Variant none;
    EXPECT_EQ(sys_->Get_VirtualMemoryStatus(&total, &avail, none.put()), S_OK);
    EXPECT_EQ(none.get()->vt, VT_EMPTY);
    EXPECT_EQ(total, qm::sys::memory_figure(ms.ullTotalVirtual));
    EXPECT_GT(avail, 0);
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
