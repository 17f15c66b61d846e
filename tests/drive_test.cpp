// Drive: letters, types and volumes of the test prefix's drives (C:, Q:, S:),
// the drive list box, virtual drives and the disk-check batch.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "files/drive.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;

namespace {

class DriveForm : public forms::Form {
protected:
    void design() override {
        add<forms::DriveListBox>(L"Drive1");
        add<forms::Label>(L"Label1");
    }
};

// A letter that is no drive here.
wchar_t unused_letter() {
    const DWORD mask = GetLogicalDrives();
    for (int i = 25; i >= 2; --i)
        if (!(mask & (1u << i))) return static_cast<wchar_t>(L'A' + i);
    return 0;
}

std::wstring system_letters() {
    wchar_t buffer[512] = {};
    std::wstring out;
    GetLogicalDriveStringsW(511, buffer);
    for (const wchar_t* p = buffer; *p; p += wcslen(p) + 1) out += towupper(*p);
    return out;
}

class DriveTest : public testing::Test {
protected:
    void SetUp() override {
        drv = qmtest::create(L"Quillmark.Drive").query<_Drive>();
        ASSERT_TRUE(drv);
        missing = std::wstring(1, unused_letter());
        ASSERT_NE(missing[0], 0);
    }
    void TearDown() override {
        if (form && form->loaded()) form->unload();
    }
    std::wstring text(HRESULT hr, const Bstr& b) {
        EXPECT_EQ(hr, S_OK);
        return b.str();
    }
    ::DriveTyp type_of(const std::wstring& d) {
        ::DriveTyp t = dtUNKNOWN;
        EXPECT_EQ(drv->Get_DriveType(Bstr(d).get(), &t), S_OK);
        return t;
    }
    IDispatch* box() {
        if (!form) {
            form = forms::make<DriveForm>();
            form->load();
        }
        return &form->get<forms::DriveListBox>(L"Drive1");
    }
    std::vector<std::wstring> items() {
        std::vector<std::wstring> out;
        for (long i = 0, n = CLng(*late::get(box(), L"ListCount").get()); i < n; ++i)
            out.push_back(CStr(*late::get(box(), L"List", {Variant(i)}).get()));
        return out;
    }
    HWND box_window() { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(*late::get(box(), L"hwnd").get()))); }

    ComPtr<_Drive> drv;
    qmtest::ErrorLog errors;
    ComPtr<DriveForm> form;
    std::wstring missing;
};

TEST_F(DriveTest, DriveLetterNormalisation) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {{L"c", L"C:\\"}, {L"c:", L"C:\\"}, {L"c:\\", L"C:\\"}, {L"S:\\", L"S:\\"}, {L"c:\\x", L""},
                 {L":", L""},     {L"", L""},       {L"cd", L""},       {L"c;", L""},        {L"c:/", L""}};
    for (const auto& c : cases) {
        EXPECT_EQ(Check_DriveLetter(c.in, false), c.out) << c.in;
        EXPECT_EQ(Check_DriveLetter(c.in, true), c.out) << c.in;  // C and S are drives
    }
    EXPECT_EQ(Check_DriveLetter(missing, false), (std::wstring{missing[0], L':', L'\\'}));
    EXPECT_EQ(Check_DriveLetter(missing, true), L"");
}

TEST_F(DriveTest, LettersAndTypes) {
    Bstr all, next, cd;
    EXPECT_EQ(text(drv->Get_AllDrives(all.put()), all), system_letters());
    const std::wstring free_root = text(drv->Get_NextFreeDrive(next.put()), next);
    ASSERT_EQ(free_root.size(), 3u);
    EXPECT_GE(free_root[0], L'C');
    EXPECT_EQ(all.str().find(free_root[0]), std::wstring::npos);
    EXPECT_EQ(free_root.substr(1), L":\\");

    EXPECT_EQ(type_of(L"c"), dtHARDDISK);
    EXPECT_EQ(type_of(L"s:\\"), dtHARDDISK);
    EXPECT_EQ(type_of(missing), dtINVALIDDRIVE);
    EXPECT_EQ(type_of(L"c:\\x"), dtINVALIDDRIVE);

    ::DriveTyp hard = dtHARDDISK, cdrom = dtCDROM;
    Bstr disks, optical;
    const std::wstring hard_letters = text(drv->Get_DriveByType(&hard, disks.put()), disks);
    EXPECT_NE(hard_letters.find(L'C'), std::wstring::npos);
    EXPECT_NE(hard_letters.find(L'S'), std::wstring::npos);
    EXPECT_EQ(text(drv->Get_DriveByType(&cdrom, optical.put()), optical), L"");
    EXPECT_EQ(text(drv->Get_FirstCDdrive(cd.put()), cd), L"");

    VARIANT_BOOL b = VARIANT_FALSE;
    for (const wchar_t* d : {L"s", L"C:", L"c:\\"}) {
        EXPECT_EQ(drv->Exist(Bstr(d).get(), &b), S_OK);
        EXPECT_TRUE(b) << d;
        EXPECT_EQ(drv->isDriveReady(Bstr(d).get(), &b), S_OK);
        EXPECT_TRUE(b) << d;
    }
    for (const std::wstring& d : {missing, std::wstring(L"c:\\x")}) {
        EXPECT_EQ(drv->Exist(Bstr(d).get(), &b), S_OK);
        EXPECT_FALSE(b);
        EXPECT_EQ(drv->isDriveReady(Bstr(d).get(), &b), S_OK);
        EXPECT_FALSE(b);
    }
    wchar_t before[MAX_PATH] = {}, after[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    drv->isDriveReady(Bstr(L"s").get(), &b);
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(before, after);
}

TEST_F(DriveTest, VolumeInformation) {
    wchar_t label[MAX_PATH + 1] = {}, fs[MAX_PATH + 1] = {};
    DWORD serial = 0, longest = 0, flags = 0, spc = 0, bps = 0, free_clusters = 0, clusters = 0;
    ASSERT_TRUE(GetVolumeInformationW(L"S:\\", label, MAX_PATH + 1, &serial, &longest, &flags, fs, MAX_PATH + 1));
    ASSERT_TRUE(GetDiskFreeSpaceW(L"S:\\", &spc, &bps, &free_clusters, &clusters));

    DRIVEINFO info{};
    ASSERT_EQ(drv->Get_DriveInfo(Bstr(L"s").get(), &info), S_OK);
    EXPECT_EQ(text_of(info.Drive), L"S:\\");
    EXPECT_EQ(text_of(info.Label), label);
    EXPECT_EQ(text_of(info.FileSystem), fs);
    EXPECT_EQ(text_of(info.Type), L"1");
    EXPECT_EQ(text_of(info.Serial), std::to_wstring(static_cast<long>(serial)));  // signed
    EXPECT_EQ(CLng(info.FileLen), static_cast<long>(longest));
    EXPECT_EQ(CDbl(info.BytesPerCluster), bps);  // the bytes per sector
    EXPECT_EQ(CDbl(info.SectorsPerCluster), spc);
    EXPECT_EQ(info.Flags.Flags, static_cast<long>(flags));
    EXPECT_EQ(info.Flags.Preserved != 0, (flags & 2) != 0);
    EXPECT_EQ(info.Flags.Unicode != 0, (flags & 4) != 0);
    EXPECT_EQ(V_VT(&info.DiskSpaceTotal), VT_R8);
    EXPECT_DOUBLE_EQ(V_R8(&info.DiskSpaceTotal), double(clusters) * spc * bps);
    EXPECT_DOUBLE_EQ(V_R8(&info.DiskSpaceUsed), V_R8(&info.DiskSpaceTotal) - V_R8(&info.DiskSpaceFree));

    Bstr s, l, f;
    EXPECT_EQ(text(drv->Get_SerialNumber(Bstr(L"S:").get(), s.put()), s), text_of(info.Serial));
    EXPECT_EQ(text(drv->Get_DriveLabel(Bstr(L"S:").get(), l.put()), l), text_of(info.Label));
    EXPECT_EQ(text(drv->Get_DriveFileSystem(Bstr(L"S:").get(), f.put()), f), text_of(info.FileSystem));
    SysFreeString(info.Drive), SysFreeString(info.Label), SysFreeString(info.FileSystem), SysFreeString(info.Type),
        SysFreeString(info.Serial);

    // A letter that is no drive: the neutral record (the letter is not kept, as it is no drive).
    DRIVEINFO none{};
    ASSERT_EQ(drv->Get_DriveInfo(Bstr(missing).get(), &none), S_OK);
    EXPECT_EQ(text_of(none.Type), L"-3");
    EXPECT_EQ(text_of(none.Label), L"");
    EXPECT_EQ(text_of(none.Serial), L"");
    EXPECT_EQ(CDbl(none.DiskSpaceTotal), 0.0);
    EXPECT_EQ(none.Flags.Flags, 0);

    Bstr net;
    EXPECT_EQ(text(drv->Get_FullNetPath(Bstr(L"c").get(), net.put()), net), L"");
    CDROMTYP kind = cdUNKNOWN;
    EXPECT_EQ(drv->Get_CDROMType(Bstr(L"c").get(), &kind), S_OK);
    EXPECT_EQ(kind, cdINVALIDDRIVE);
    VARIANT_BOOL set = VARIANT_TRUE;
    EXPECT_EQ(drv->Set_DriveLabel(Bstr(missing).get(), Bstr(L"X").get(), &set), S_OK);
    EXPECT_FALSE(set);
}

TEST_F(DriveTest, TrayFormatAndVirtualDrives) {
    VARIANT_BOOL ok = VARIANT_TRUE;
    CDROMCOMMAND bad = static_cast<CDROMCOMMAND>(3), open = cdOPEN;
    EXPECT_EQ(drv->CDROM(&bad, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(drv->CDROM(&open, &ok), S_OK);
    EXPECT_FALSE(ok);  // no CD device here
    FormatOption capacity = foCAPACITY_DEFAULT;
    VARIANT_BOOL quick = VARIANT_TRUE;
    EXPECT_EQ(drv->Format(0, Bstr(missing).get(), &capacity, &quick), S_OK);

    const std::wstring folder = qmtest::scratch() + L"vdrive";
    CreateDirectoryW(folder.c_str(), nullptr);
    struct Case {
        VIRTUALDRIVECOMMAND command;
        const wchar_t* target;
        std::wstring source;
    };
    const Case refused[] = {{vdCREATE, L"", L""},
                            {vdCREATE, L"", folder + L"\\absent"},
                            {vdCREATE, L"c", folder},
                            {vdCREATE, L"c:\\x", folder},
                            {static_cast<VIRTUALDRIVECOMMAND>(7), L"", folder},
                            {vdREMOVE, missing.c_str(), L""}};
    const auto run = [&](VIRTUALDRIVECOMMAND command, std::wstring& target, std::wstring& source, long& e) {
        BSTR t = SysAllocString(target.c_str()), src = SysAllocString(source.c_str());
        VARIANT_BOOL made = VARIANT_TRUE;
        e = -1;
        EXPECT_EQ(drv->VirtualDrive(&command, &t, &src, &e, &made), S_OK);
        target = text_of(t), source = text_of(src);
        SysFreeString(t), SysFreeString(src);
        return made != VARIANT_FALSE;
    };
    for (const Case& c : refused) {
        std::wstring target = c.target, source = c.source;
        long e = -1;
        EXPECT_FALSE(run(c.command, target, source, e)) << c.target << L" " << c.source;
        EXPECT_EQ(e, 0);
        EXPECT_EQ(source, c.source);  // a folder that is not there is not rewritten
    }

    // subst makes no drive under this system: False, the letter taken is handed back.
    Bstr next;
    drv->Get_NextFreeDrive(next.put());
    std::wstring target, source = folder;
    long e = -1;
    const bool made = run(vdCREATE, target, source, e);
    EXPECT_EQ(target, next.str().substr(0, 1));
    EXPECT_EQ(e, 0);
    VARIANT_BOOL exists = VARIANT_FALSE;
    drv->Exist(Bstr(target).get(), &exists);
    EXPECT_EQ(made, exists != VARIANT_FALSE);
    std::wstring empty;
    EXPECT_EQ(run(vdREMOVE, target, empty, e), made);
}

TEST_F(DriveTest, DriveListBox) {
    IDispatch* drives = box();
    long e = -1;
    VARIANT_BOOL found = VARIANT_FALSE;
    for (const wchar_t* d : {L"C", L"c:", L"s:\\"}) {
        EXPECT_EQ(drv->DriveBox_DriveExist(&drives, Bstr(d).get(), &e, &found), S_OK);
        EXPECT_TRUE(found) << d;
        EXPECT_EQ(e, 0);
    }
    for (const std::wstring& d : {missing, std::wstring(L"cd")}) {
        EXPECT_EQ(drv->DriveBox_DriveExist(&drives, Bstr(d).get(), &e, &found), S_OK);
        EXPECT_FALSE(found);
    }

    // Items of drives of another type go, an item of no drive too; the rest stays, the first selected.
    const std::vector<std::wstring> before = items();
    std::wstring ghost = L"?: [nowhere]";
    ghost[0] = towlower(missing[0]);
    SendMessageW(box_window(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ghost.c_str()));
    SendMessageW(box_window(), CB_SETCURSEL, 1, 0);
    ::DriveTyp hard = dtHARDDISK;
    long r = -1;
    EXPECT_EQ(drv->DriveBox_SelectDriveTyp(&drives, &hard, &r), S_OK);
    EXPECT_EQ(r, 0);
    std::vector<std::wstring> kept;
    for (const std::wstring& item : before)
        if (type_of(item.substr(0, 1)) == dtHARDDISK) kept.push_back(item);
    EXPECT_EQ(items(), kept);
    EXPECT_EQ(SendMessageW(box_window(), CB_GETCURSEL, 0, 0), 0);

    // A control without the list's members.
    IDispatch* label = &form->get<forms::Label>(L"Label1");
    EXPECT_EQ(drv->DriveBox_DriveExist(&label, Bstr(L"c").get(), &e, &found), S_OK);
    EXPECT_FALSE(found);
    EXPECT_EQ(e, 438);
    EXPECT_TRUE(errors.has("DriveBox_DriveExist", 438));
    EXPECT_EQ(drv->DriveBox_SelectDriveTyp(&label, &hard, &r), S_OK);
    EXPECT_EQ(r, 438);
    EXPECT_TRUE(errors.has("DriveBox_Select", 438));
}

TEST_F(DriveTest, DriveListBoxRemoval) {
    IDispatch* drives = box();
    const std::vector<std::wstring> listed = items();
    ASSERT_FALSE(listed.empty());
    long e = -1;
    VARIANT_BOOL ok = VARIANT_TRUE;
    for (const std::wstring& d : {std::wstring(L"cd"), missing, std::wstring(L"")}) {
        EXPECT_EQ(drv->DriveBox_RemoveDrive(&drives, Bstr(d).get(), &e, &ok), S_OK);
        EXPECT_FALSE(ok) << d;
        EXPECT_EQ(e, 0);
    }
    // A second item of the first drive, and one of a letter that is no drive.
    const std::wstring twin = listed[0].substr(0, 2) + L" [twin]";
    std::wstring ghost = L"?: [nowhere]";
    ghost[0] = towlower(missing[0]);
    for (const std::wstring& extra : {twin, ghost})
        SendMessageW(box_window(), CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(extra.c_str()));

    std::vector<std::wstring> expected = items();
    expected.erase(expected.begin());
    EXPECT_EQ(drv->DriveBox_RemoveDrive(&drives, Bstr(std::wstring(1, towupper(listed[0][0])) + L":\\").get(), &e, &ok),
              S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(items(), expected);  // only the first of the two went

    // Hard disks go, the item of no drive stays.
    std::vector<std::wstring> kept;
    for (const std::wstring& item : expected)
        if (type_of(item.substr(0, 1)) != dtHARDDISK) kept.push_back(item);
    EXPECT_EQ(drv->DriveBox_RemoveDriveTyp(&drives, dtHARDDISK, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(items(), kept);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back(), ghost);

    ok = VARIANT_FALSE;
    EXPECT_EQ(drv->DriveBox_Clear(&drives, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(items().empty());

    // A control without the list's members.
    IDispatch* label = &form->get<forms::Label>(L"Label1");
    for (const std::string routine : {"DriveBox_Clear", "DriveBox_RemoveDrive", "DriveBox_RemoveDriveTyp"}) {
        e = 0, ok = VARIANT_TRUE;
        EXPECT_EQ(routine == "DriveBox_Clear"         ? drv->DriveBox_Clear(&label, &e, &ok)
                  : routine == "DriveBox_RemoveDrive" ? drv->DriveBox_RemoveDrive(&label, Bstr(L"c").get(), &e, &ok)
                                                      : drv->DriveBox_RemoveDriveTyp(&label, dtHARDDISK, &e, &ok),
                  S_OK);
        EXPECT_FALSE(ok);
        EXPECT_EQ(e, 438) << routine;
        EXPECT_TRUE(errors.has(routine, 438));
    }
}

std::vector<std::wstring> batches(const std::wstring& folder) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*.Bat").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do out.push_back(folder + fd.cFileName);
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return out;
}

// A process this test started, held by a handle opened while it was the one listed.
struct OwnProcess {
    DWORD id;
    std::shared_ptr<void> handle;
    ULONGLONG created;
};

// The processes this test started and theirs, this process first. The system gives
// a process's number to the next process as soon as it ends, so a number is not
// enough: a child must have started after its parent (a later holder of a dead
// parent's number has no children of its own yet) and before the list was taken
// (a number given again meanwhile belongs to another test's program).
std::vector<OwnProcess> own_processes() {
    std::vector<OwnProcess> ours{
        {GetCurrentProcessId(), {GetCurrentProcess(), [](void*) {}}, qmtest::started_at(GetCurrentProcess())}};
    for (bool more = true; more;) {
        more = false;
        const ULONGLONG listed = qmtest::time_now();
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W pe{sizeof pe};
        for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
            auto known = [&](DWORD id) {
                return std::find_if(ours.begin(), ours.end(), [&](const OwnProcess& o) { return o.id == id; });
            };
            if (known(pe.th32ProcessID) != ours.end()) continue;
            const auto parent = known(pe.th32ParentProcessID);
            if (parent == ours.end()) continue;
            const ULONGLONG parent_created = parent->created;
            HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                   pe.th32ProcessID);
            if (!h) continue;
            const ULONGLONG born = qmtest::started_at(h);
            if (born < parent_created || born > listed) {
                CloseHandle(h);
                continue;
            }
            ours.push_back({pe.th32ProcessID, std::shared_ptr<void>(h, CloseHandle), born});
            more = true;
        }
        CloseHandle(snap);
    }
    return ours;
}

// Ends the processes this test started (the command interpreter and whatever it started).
void end_children() {
    const std::vector<OwnProcess> ours = own_processes();
    for (size_t i = ours.size(); i-- > 1;) {
        TerminateProcess(ours[i].handle.get(), 1);
        WaitForSingleObject(ours[i].handle.get(), 5000);
    }
}

TEST_F(DriveTest, DiskCheckBatch) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::vector<std::wstring> before = batches(temp);
    VARIANT_BOOL repair = VARIANT_FALSE, wait = VARIANT_FALSE;
    EXPECT_EQ(drv->ChkDsk(Bstr(L"q:\\x").get(), &repair, &wait), S_OK);
    EXPECT_EQ(batches(temp), before);

    EXPECT_EQ(drv->ChkDsk(Bstr(L"c").get(), &repair, &wait), S_OK);
    std::vector<std::wstring> made = batches(temp);
    std::erase_if(made, [&](const std::wstring& b) { return std::find(before.begin(), before.end(), b) != before.end(); });
    ASSERT_EQ(made.size(), 1u);
    const std::string text = qmtest::read_bytes(made[0]);
    wchar_t short_path[MAX_PATH + 1] = {};
    GetShortPathNameW(made[0].c_str(), short_path, MAX_PATH + 1);
    end_children();
    DeleteFileW(made[0].c_str());
    std::string short_ansi;
    for (const wchar_t* p = short_path; *p; ++p) short_ansi += static_cast<char>(*p);
    EXPECT_EQ(text, "Cls\r\n@echo off\r\nchkdsk C:\r\necho.\r\nPause\r\nDel " + short_ansi + "\r\nExit\r\n");
}

// Every fixed and removable drive in turn, each batch waited for. The recorder,
// first on the path as chkdsk.exe, logs each drive; the batches read their key
// from an empty input, so each runs to its end and deletes itself. A member that
// did not wait would return before the lines and with batches left.
TEST_F(DriveTest, DiskCheckOfAllDrivesWaitsForEachInTurn) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::vector<std::wstring> before = batches(temp);
    std::string expected;
    for (wchar_t c : system_letters()) {
        const UINT type = GetDriveTypeW((std::wstring(1, c) + L":\\").c_str());
        if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE)
            expected += "chkdsk.exe\t-1\t2\t" + std::string(1, static_cast<char>(c)) + ":\t/f\n";
    }
    ASSERT_FALSE(expected.empty());
    const std::wstring folder = qmtest::scratch() + L"drive_chkdsk\\", log = folder + L"checks.log";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW(log.c_str());
    ASSERT_TRUE(CopyFileW((qmtest::test_folder() + L"qmrecorder.exe").c_str(), (folder + L"chkdsk.exe").c_str(), FALSE));
    std::wstring path(32767, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), 32767));
    SetEnvironmentVariableW(L"PATH", (folder + L";" + path).c_str());
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", log.c_str());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE empty = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                     nullptr);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, empty);

    EXPECT_EQ(drv->ChkDskAll(nullptr), S_OK);
    const std::string checked = qmtest::read_bytes(log);
    const std::vector<std::wstring> left = batches(temp);

    SetStdHandle(STD_INPUT_HANDLE, input);
    CloseHandle(empty);
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr);
    SetEnvironmentVariableW(L"PATH", path.c_str());
    end_children();
    EXPECT_EQ(checked, expected);
    EXPECT_EQ(left, before);
}

}  // namespace
