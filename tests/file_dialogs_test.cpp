// File: the open and save dialogs and the folder-browse dialog driven by the
// tests' box watcher; the properties sheet, Explorer, the shell icon and the
// clipboard's file list.
#include <gtest/gtest.h>

#include <olectl.h>
#include <tlhelp32.h>
#include <winternl.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "message_boxes.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

// The name field of the system's file dialogs: an edit or a combo box's edit.
HWND name_field(HWND dialog) {
    for (int id : {0x47c /* cmb13 */, 0x480 /* edt1 */})
        if (HWND h = GetDlgItem(dialog, id)) return h;
    return nullptr;
}

class FileDialogsTest : public testing::Test {
protected:
    void SetUp() override {
        file = create(L"Quillmark.File").query<_File>();
        ASSERT_TRUE(file);
        dir = scratch() + L"file dialogs " + test_name() + L"\\";
        CreateDirectoryW(dir.c_str(), nullptr);
        wipe(dir);
    }

    // Runs show (which opens one dialog) while the watcher hands each tick's box
    // to answer until it returns true; every box the thread showed is counted.
    template <class Show, class Answer>
    std::wstring drive(Show show, Answer answer, int* boxes = nullptr) {
        Bstr result;
        std::vector<HWND> seen;
        int ticks = 0;
        {
            BoxWatcher watcher([&](const BoxInfo& box) {
                if (std::find(seen.begin(), seen.end(), box.hwnd) == seen.end()) seen.push_back(box.hwnd);
                if (answer(box)) close_box(box.hwnd, IDOK);
                else if (++ticks > 200) close_box(box.hwnd, IDCANCEL);  // gives up after about 6 s
            });
            EXPECT_EQ(show(result.put()), S_OK);
            EXPECT_EQ(watcher.close_all(), 0);
        }
        EXPECT_GE(seen.size(), 1u);
        if (boxes) *boxes = static_cast<int>(seen.size());
        return result.str();
    }
    // Types text into the dialog's name field.
    static bool type_name(const BoxInfo& box, const std::wstring& text) {
        HWND field = name_field(box.hwnd);
        if (!field) return false;
        SetWindowTextW(field, text.c_str());
        return true;
    }

    ComPtr<_File> file;
    std::wstring dir;
};

TEST_F(FileDialogsTest, OpenDialogReturnsTheChosenPathOrNothing) {
    // A path of 200 characters comes back whole.
    const std::wstring folder = dir + std::wstring(120, L'd') + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring long_path = folder + std::wstring(200 - folder.size() - 4, L'f') + L".txt";
    ASSERT_EQ(long_path.size(), 200u);
    for (const std::wstring& path : {dir + L"chosen.txt", long_path}) {
        write_bytes(path, "x");
        const std::wstring got = drive(
            [&](BSTR* r) { return file->Show_FileDialogOpen(0, Bstr(std::wstring_view(L"Texte\0*.txt\0", 12)).get(), nullptr, nullptr, r); },
            [&](const BoxInfo& box) { return type_name(box, path); });
        EXPECT_EQ(got, path);
    }
    // Cancel.
    EXPECT_EQ(drive([&](BSTR* r) { return file->Show_FileDialogOpen(0, Bstr(L"*.*").get(), nullptr, nullptr, r); },
                    [&](const BoxInfo& box) {
                        close_box(box.hwnd, IDCANCEL);
                        return false;
                    }),
              L"");
}

TEST_F(FileDialogsTest, OpenDialogMovesWhenOneCoordinateIsGiven) {
    long x = 100, y = -1;
    bool moved = false;
    drive([&](BSTR* r) { return file->Show_FileDialogOpen(0, Bstr(L"*.*").get(), &x, &y, r); },
          [&](const BoxInfo& box) {
              if (box.rect.left != 100) return false;
              moved = true;
              close_box(box.hwnd, IDCANCEL);
              return false;
          });
    EXPECT_TRUE(moved);
}

// A place no window can have: 380 to the caller, and no dialog shows.
TEST_F(FileDialogsTest, DialogsRefusePlacesBeyondAnyScreen) {
    int shown = 0;
    BoxWatcher watcher([&](const BoxInfo& box) {
        ++shown;
        close_box(box.hwnd, IDCANCEL);
    });
    for (long beyond : {1000000L, LONG_MAX, -LONG_MAX})
        for (auto [x, y] : {std::pair{beyond, 10L}, std::pair{10L, beyond}}) {
            Bstr r, name(L"x.txt");
            BSTR proposed = name.get();
            EXPECT_EQ(HRESULT_CODE(file->Show_FileDialogOpen(0, Bstr(L"*.*").get(), &x, &y, r.put())), 380) << beyond;
            EXPECT_EQ(HRESULT_CODE(file->Show_FileDialogSave(0, Bstr(L"*.*").get(), &proposed, &x, &y, r.put())),
                      380)
                << beyond;
        }
    EXPECT_EQ(watcher.close_all(), 0);
    EXPECT_EQ(shown, 0);
}

TEST_F(FileDialogsTest, SaveDialogProposesTheNameAndNeverAsksToOverwrite) {
    const std::wstring path = dir + L"existing.txt";
    write_bytes(path, "keep");
    Bstr proposed(path);
    BSTR proposed_ref = proposed.get();
    std::wstring shown;
    int boxes = 0;
    const std::wstring got = drive(
        [&](BSTR* r) { return file->Show_FileDialogSave(0, Bstr(L"*.*").get(), &proposed_ref, nullptr, nullptr, r); },
        [&](const BoxInfo& box) {
            if (HWND field = name_field(box.hwnd)) shown = text_of_window(field);
            return true;
        },
        &boxes);
    EXPECT_TRUE(shown == path || shown == L"existing.txt") << shown;  // the system may show the folder apart
    EXPECT_EQ(got, path);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(read_bytes(path), "keep");
    // A proposed name longer than the old dialogs' buffer is shown whole.
    const std::wstring name = std::wstring(150, L'n') + L".txt";
    Bstr long_name(dir + name);
    BSTR long_ref = long_name.get();
    drive([&](BSTR* r) { return file->Show_FileDialogSave(0, Bstr(L"*.*").get(), &long_ref, nullptr, nullptr, r); },
          [&](const BoxInfo& box) {
              if (HWND field = name_field(box.hwnd)) shown = text_of_window(field);
              close_box(box.hwnd, IDCANCEL);
              return false;
          });
    EXPECT_NE(shown.find(name), std::wstring::npos) << shown;
}

TEST_F(FileDialogsTest, BrowseForFileSetsTheFileFlagsInTheCallersRecord) {
    BROWSENFO info{};
    info.Title = SysAllocString(L"Pick a file");
    info.Flags = static_cast<ShellBrowseFlags>(1);
    EXPECT_EQ(drive([&](BSTR* r) { return file->BrowseForFile(&info, r); },
                    [&](const BoxInfo& box) {
                        close_box(box.hwnd, IDCANCEL);
                        return false;
                    }),
              L"");
    EXPECT_EQ(static_cast<long>(info.Flags), 0x4041);
    SysFreeString(info.Title);
    SysFreeString(info.RETURNEDFOLDERPATH);
}

TEST_F(FileDialogsTest, FilesToClipboardWritesTheDropList) {
    VARIANT_BOOL r = 0;
    Variant one(Bstr(L"C:\\a.txt"));
    ASSERT_EQ(file->FilesToClipboard(one.get(), &r), S_OK);
    EXPECT_TRUE(r);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL block = GetClipboardData(CF_HDROP);
    ASSERT_TRUE(block);
    const std::string bytes(static_cast<const char*>(GlobalLock(block)), GlobalSize(block));
    GlobalUnlock(block);
    CloseClipboard();
    const std::wstring names(L"C:\\a.txt\0\0", 10);  // in their wide form
    EXPECT_EQ(bytes, std::string("\x14\0\0\0", 4) + std::string(12, '\0') + std::string("\1\0\0\0", 4) +
                         std::string(reinterpret_cast<const char*>(names.data()), 2 * names.size()));

    // An array with bounds 3 to 4, passed by reference, read back by the shell; a
    // name the code page holds only as a look-alike arrives as written.
    const wchar_t* paths[] = {L"C:\\first file.txt", L"D:\\x\uFF3C..\uFF3C\u03A9\u30C7.doc"};
    SAFEARRAYBOUND bound{2, 3};
    Variant list;
    V_VT(list.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(list.get()) = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (long i = 3; i <= 4; ++i) SafeArrayPutElement(V_ARRAY(list.get()), &i, Variant(Bstr(paths[i - 3])).get());
    VARIANT ref = v_ref(list);
    ASSERT_EQ(file->FilesToClipboard(&ref, &r), S_OK);
    EXPECT_TRUE(r);
    ASSERT_TRUE(OpenClipboard(nullptr));
    auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 2u);
    for (UINT i = 0; i < 2; ++i) {
        wchar_t name[MAX_PATH] = {};
        DragQueryFileW(drop, i, name, MAX_PATH);
        EXPECT_STREQ(name, paths[i]);
    }
    CloseClipboard();

    // Empty names are left out, not read as the list's end; without any name the
    // clipboard keeps the list before.
    SafeArrayPutElement(V_ARRAY(list.get()), &bound.lLbound, Variant(Bstr(L"")).get());
    ASSERT_EQ(file->FilesToClipboard(&ref, &r), S_OK);
    EXPECT_TRUE(r);
    Variant blank(Bstr(L"")), nothing;
    for (Variant* none : {&blank, &nothing}) {
        r = VARIANT_TRUE;
        ASSERT_EQ(file->FilesToClipboard(none->get(), &r), S_OK);
        EXPECT_FALSE(r);
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    wchar_t name[MAX_PATH] = {};
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 1u);
    DragQueryFileW(drop, 0, name, MAX_PATH);
    EXPECT_STREQ(name, paths[1]);
    CloseClipboard();
}

// Large and small icons of a file; a file the shell has none for gives an
// empty icon picture.
TEST_F(FileDialogsTest, LinkedIconIsAnIconPictureOfTheShellsSize) {
    write_bytes(dir + L"icon.txt", "x");
    struct Case {
        std::wstring path;
        bool small;
        long size;  // 0: no icon
    } cases[] = {{dir + L"icon.txt", false, 32}, {dir + L"icon.txt", true, 16}, {dir + L"none\\x.qmnone", false, 0}};
    for (const Case& c : cases) {
        VARIANT_BOOL s = c.small ? VARIANT_TRUE : VARIANT_FALSE;
        ComPtr<IPictureDisp> picture;
        ASSERT_EQ(file->Get_LinkedIconFromFile(Bstr(c.path).get(), &s, picture.put()), S_OK);
        ASSERT_TRUE(picture);
        auto pic = picture.query<IPicture>();
        SHORT type = 0;
        OLE_HANDLE handle = 0;
        pic->get_Type(&type);
        pic->get_Handle(&handle);
        EXPECT_EQ(type, PICTYPE_ICON);
        if (c.size == 0) {
            EXPECT_EQ(handle, 0u);
            continue;
        }
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(static_cast<UINT_PTR>(handle)), &info));
        BITMAP bm{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, c.size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

// The running Explorer processes.
std::vector<DWORD> explorers() {
    std::vector<DWORD> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e{sizeof(e)};
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e))
        if (_wcsicmp(e.szExeFile, L"explorer.exe") == 0) pids.push_back(e.th32ProcessID);
    CloseHandle(snap);
    return pids;
}

// Ends an Explorer started since before was taken whose command line names
// path (other tests may start Explorers of their own); its command line.
std::wstring end_new_explorer(const std::vector<DWORD>& before, const std::wstring& path) {
    using Query = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    for (int i = 0; i < 500; ++i, Sleep(20))
        for (DWORD pid : explorers()) {
            if (std::find(before.begin(), before.end(), pid) != before.end()) continue;
            HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE,
                                   FALSE, pid);
            PROCESS_BASIC_INFORMATION basic{};
            PEB peb{};
            RTL_USER_PROCESS_PARAMETERS parameters{};
            std::wstring line(32768, L'\0');
            if (query(h, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0 ||
                !ReadProcessMemory(h, basic.PebBaseAddress, &peb, sizeof(peb), nullptr) ||
                !ReadProcessMemory(h, peb.ProcessParameters, &parameters, sizeof(parameters), nullptr) ||
                !ReadProcessMemory(h, parameters.CommandLine.Buffer, line.data(),
                                   std::min<size_t>(parameters.CommandLine.Length, line.size() * 2), nullptr))
                line = L"<unknown>";
            else
                line.resize(parameters.CommandLine.Length / sizeof(wchar_t));
            if (line.find(path) == std::wstring::npos) {
                CloseHandle(h);
                continue;
            }
            TerminateProcess(h, 0);
            WaitForSingleObject(h, 10000);
            CloseHandle(h);
            return line;
        }
    return L"<none>";
}

TEST_F(FileDialogsTest, ExplorerAndPropertiesOfAFile) {
    long e = -1;
    VARIANT_BOOL r = -1;
    std::vector<DWORD> before = explorers();
    ASSERT_EQ(file->OpenInExplorer(Bstr(dir + L"missing.txt").get(), &e, &r), S_OK);
    EXPECT_FALSE(r);
    EXPECT_EQ(e, 53);

    // Explorer with the file selected: the path goes in quotes only when it
    // holds a comma. The test ends the Explorer it opened.
    for (const std::wstring name : {L"plain name.txt", L"a, b.txt"}) {
        const std::wstring path = dir + name;
        write_bytes(path, "x");
        r = 0;
        ASSERT_EQ(file->OpenInExplorer(Bstr(path).get(), &e, &r), S_OK);
        EXPECT_TRUE(r);
        EXPECT_EQ(e, 0);
        const std::wstring line = end_new_explorer(before, path);
        const std::wstring argument = name.find(L',') == std::wstring::npos ? L" /select," + path
                                                                           : L" /select,\"" + path + L"\"";
        EXPECT_TRUE(line.size() > argument.size() && line.ends_with(argument)) << line;
    }

    // Wine's shell knows no "properties" verb: no sheet, False.
    const std::wstring path = dir + L"props.txt";
    write_bytes(path, "x");
    int boxes = 0;
    {
        BoxWatcher watcher([&](const BoxInfo& box) {
            ++boxes;
            close_box(box.hwnd, IDCANCEL);
        });
        r = -1;
        ASSERT_EQ(file->Show_FilePropertiesDialog(0, Bstr(path).get(), &r), S_OK);
        boxes += watcher.close_all();
    }
    EXPECT_FALSE(r);
    EXPECT_EQ(boxes, 0);
}

}  // namespace
