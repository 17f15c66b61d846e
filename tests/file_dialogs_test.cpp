// File: the open and save dialogs and the folder-browse dialog driven by the
// tests' box watcher; the properties sheet, Explorer, the shell icon and the
// clipboard's file list.
#include <gtest/gtest.h>

#include <olectl.h>
#include <shellapi.h>

#include <algorithm>
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

// The clipboard's drop block as bytes.
std::string clipboard_drop_block() {
    std::string bytes;
    if (!OpenClipboard(nullptr)) return "<closed>";
    if (HGLOBAL h = GetClipboardData(CF_HDROP)) {
        const char* p = static_cast<const char*>(GlobalLock(h));
        bytes.assign(p, GlobalSize(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return bytes;
}

TEST_F(FileDialogsTest, FilesToClipboardWritesTheDropList) {
    VARIANT_BOOL r = 0;
    Variant one(Bstr(L"C:\\a.txt"));
    ASSERT_EQ(file->FilesToClipboard(one.get(), &r), S_OK);
    EXPECT_TRUE(r);
    const std::string expected = std::string("\x14\0\0\0", 4) + std::string(16, '\0') + std::string("C:\\a.txt\0\0", 10);
    EXPECT_EQ(clipboard_drop_block(), expected);

    // An array with bounds 3 to 4, passed by reference, read back by the shell.
    SAFEARRAYBOUND bound{2, 3};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &bound);
    const wchar_t* paths[] = {L"C:\\first file.txt", L"D:\\x\\second.doc"};
    for (long i = 0; i < 2; ++i) {
        long index = 3 + i;
        Variant item(Bstr(paths[i]));
        SafeArrayPutElement(sa, &index, item.get());
    }
    Variant list;
    V_VT(list.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(list.get()) = sa;
    VARIANT ref = v_ref(list);
    ASSERT_EQ(file->FilesToClipboard(&ref, &r), S_OK);
    EXPECT_TRUE(r);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HDROP drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    ASSERT_TRUE(drop);
    ASSERT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 2u);
    for (UINT i = 0; i < 2; ++i) {
        wchar_t name[MAX_PATH] = {};
        DragQueryFileW(drop, i, name, MAX_PATH);
        EXPECT_STREQ(name, paths[i]);
    }
    CloseClipboard();
}

TEST_F(FileDialogsTest, LinkedIconIsAnIconPictureOfTheShellsSize) {
    const std::wstring path = dir + L"icon.txt";
    write_bytes(path, "x");
    for (auto [small, size] : {std::pair{false, 32L}, std::pair{true, 16L}}) {
        VARIANT_BOOL s = small ? VARIANT_TRUE : VARIANT_FALSE;
        ComPtr<IPictureDisp> picture;
        ASSERT_EQ(file->Get_LinkedIconFromFile(Bstr(path).get(), &s, picture.put()), S_OK);
        ASSERT_TRUE(picture);
        auto pic = picture.query<IPicture>();
        SHORT type = 0;
        OLE_HANDLE handle = 0;
        pic->get_Type(&type);
        pic->get_Handle(&handle);
        EXPECT_EQ(type, PICTYPE_ICON);
        ASSERT_NE(handle, 0u);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(static_cast<UINT_PTR>(handle)), &info));
        BITMAP bm{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST_F(FileDialogsTest, ExplorerAndPropertiesOfAFile) {
    long e = -1;
    VARIANT_BOOL r = -1;
    ASSERT_EQ(file->OpenInExplorer(Bstr(dir + L"missing.txt").get(), &e, &r), S_OK);
    EXPECT_FALSE(r);
    EXPECT_EQ(e, 53);

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
