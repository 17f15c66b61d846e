// Directory: the folder-browse dialog driven by the tests' box watcher, and a
// folder's owner.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/directory.h"
#include "message_boxes.h"
#include "runtime/convert.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;

namespace {

class DirectoryTest : public testing::Test {
protected:
    void SetUp() override {
        dir = qmtest::create(L"Quillmark.Directory").query<_Directory>();
        ASSERT_TRUE(dir);
        folder = qmtest::scratch() + qmtest::test_name();
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    // Shows the dialog and answers it with button (IDOK or IDCANCEL) once it is open.
    std::wstring browse(BROWSENFO& info, int button) {
        Bstr result;
        int seen = 0;
        {
            qmtest::BoxWatcher watcher([&](const qmtest::BoxInfo& box) {
                if (seen++ == 0) qmtest::close_box(box.hwnd, button);
            });
            EXPECT_EQ(dir->BrowseForDirectory(&info, result.put()), S_OK);
            EXPECT_EQ(watcher.close_all(), 0);
        }
        EXPECT_GE(seen, 1);
        return result.str();
    }
    // A tree: folder "d", files a.txt and b.txt, hidden h.txt, system s.txt, read-only r.txt.
    void make_tree() {
        qmtest::wipe(folder + L"\\");
        CreateDirectoryW((folder + L"\\d").c_str(), nullptr);
        for (const wchar_t* f : {L"a.txt", L"b.txt", L"h.txt", L"s.txt", L"r.txt"})
            qmtest::write_bytes(folder + L"\\" + f, "x");
        SetFileAttributesW((folder + L"\\h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
        SetFileAttributesW((folder + L"\\s.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
        SetFileAttributesW((folder + L"\\r.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    static std::vector<std::wstring> names(const Variant& list) {
        std::vector<std::wstring> out;
        if (!IsArray(*list.get())) return out;
        const SafeArray a = array_copy(*list.get());
        for (long i = a.lbound(); i <= a.ubound(); ++i) out.push_back(CStr(*a.get(i).get()));
        std::sort(out.begin(), out.end());
        return out;
    }
    long read(const std::wstring& path, long attributes, Variant& dirs, Variant& files) {
        long r = -1;
        EXPECT_EQ(dir->Read(Bstr(path).get(), dirs.get(), files.get(), &attributes, &r), S_OK);
        return r;
    }
    bool yes(HRESULT hr, const VARIANT_BOOL& b) {
        EXPECT_EQ(hr, S_OK);
        return b != VARIANT_FALSE;
    }
    ComPtr<_Directory> dir;
    std::wstring folder;
};

struct Browse {
    BROWSENFO info{};
    Browse(const std::wstring& selected, const std::wstring& root, const wchar_t* returned) {
        info.Title = SysAllocString(L"Pick a folder");
        info.SELECTEDFOLDERPATH = SysAllocString(selected.c_str());
        info.ROOTPATH = SysAllocString(root.c_str());
        info.RETURNEDFOLDERPATH = SysAllocString(returned);
        info.Flags = BIF_RETURNONLYFSDIRS;
    }
    ~Browse() {
        for (BSTR b : {info.Title, info.ROOTPATH, info.SELECTEDFOLDERPATH, info.RETURNEDFOLDERPATH,
                       info.INVALIDSELECTIONMESSAGE, info.INVALIDSELECTIONTITLE})
            SysFreeString(b);
    }
};

TEST_F(DirectoryTest, BrowseDialog) {
    // OK on the start folder: its path, and its display name in the record.
    Browse chosen(folder, L"", L"before");
    EXPECT_EQ(browse(chosen.info, IDOK), folder);
    EXPECT_TRUE(std::wstring(text_of(chosen.info.RETURNEDFOLDERPATH)).ends_with(qmtest::test_name()));

    // Cancel: nothing chosen, the record's name as it was.
    Browse cancelled(folder, L"", L"before");
    EXPECT_EQ(browse(cancelled.info, IDCANCEL), L"");
    EXPECT_EQ(text_of(cancelled.info.RETURNEDFOLDERPATH), L"before");

    // A root the shell does not know: the whole tree, the start folder still chosen.
    Browse unrooted(folder, folder + L"\\absent", L"");
    EXPECT_EQ(browse(unrooted.info, IDOK), folder);
}

// A name typed into the edit box is to be checked, with the client's message for
// one that names no folder. Wine's dialog shows the edit box in its new style only
// and checks nothing: no message, and OK returns the selected folder.
TEST_F(DirectoryTest, BrowseTypedNameIsNotCheckedUnderWine) {
    for (long style : {0L, long{BIF_NEWDIALOGSTYLE}}) {
        Browse typed(folder, L"", L"before");
        typed.info.Flags = static_cast<ShellBrowseFlags>(BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | style);
        typed.info.INVALIDSELECTIONMESSAGE = SysAllocString(L"Kein gültiger Ordner");
        typed.info.INVALIDSELECTIONTITLE = SysAllocString(L"Ordnerwahl");
        bool answered = false, edit_box = false;
        int messages = 0;
        Bstr result;
        {
            qmtest::BoxWatcher watcher([&](const qmtest::BoxInfo& box) {
                if (box.caption == L"Ordnerwahl") {
                    ++messages;
                    qmtest::close_box(box.hwnd);
                } else if (!answered) {
                    answered = true;
                    HWND edit = FindWindowExW(box.hwnd, nullptr, L"Edit", nullptr);
                    edit_box = edit != nullptr;
                    if (edit) SetWindowTextW(edit, L"no such folder");
                    qmtest::close_box(box.hwnd);
                }
            });
            EXPECT_EQ(dir->BrowseForDirectory(&typed.info, result.put()), S_OK);
            EXPECT_EQ(watcher.close_all(), 0);
        }
        EXPECT_EQ(edit_box, style != 0) << style;
        EXPECT_EQ(messages, 0) << style;
        EXPECT_EQ(result.str(), folder) << style;
    }
}

TEST_F(DirectoryTest, Owner) {
    Bstr owner, none;
    ASSERT_EQ(dir->Get_Owner(Bstr(folder).get(), owner.put()), S_OK);
    const size_t slash = owner.view().find(L'\\');
    ASSERT_NE(slash, std::wstring_view::npos) << owner.str();
    EXPECT_GT(owner.view().size(), slash + 1);  // an account after the domain
    EXPECT_EQ(owner.view().find(L"SID>"), std::wstring_view::npos);
    ASSERT_EQ(dir->Get_Owner(Bstr(folder + L"\\absent").get(), none.put()), S_OK);
    EXPECT_EQ(none.str(), L"");
}

TEST_F(DirectoryTest, ReadAndContent) {
    Variant dirs, files;
    const std::wstring empty = folder + L"\\empty";
    CreateDirectoryW(empty.c_str(), nullptr);
    EXPECT_EQ(read(empty, 7, dirs, files), 0);
    EXPECT_EQ(V_VT(dirs.get()), VT_EMPTY);
    EXPECT_EQ(V_VT(files.get()), VT_EMPTY);
    VARIANT_BOOL b = VARIANT_FALSE;
    EXPECT_TRUE(yes(dir->isDirectoryEmpty(Bstr(empty).get(), &b), b));
    EXPECT_FALSE(yes(dir->isDirectoryContainingFiles(Bstr(empty).get(), &b), b));
    // The system would answer for the first MAX_PATH characters only.
    EXPECT_EQ(dir->isDirectoryEmpty(Bstr(empty + L"\\" + std::wstring(300, L'x')).get(), &b),
              static_cast<HRESULT>(0x800A0034));
    RemoveDirectoryW(empty.c_str());

    make_tree();
    using List = std::vector<std::wstring>;
    const struct {
        long attributes;
        List files;
    } cases[] = {{0, {L"a.txt", L"b.txt", L"r.txt"}},
                 {2, {L"a.txt", L"b.txt", L"h.txt", L"r.txt"}},
                 {7, {L"a.txt", L"b.txt", L"h.txt", L"r.txt", L"s.txt"}}};
    for (const auto& c : cases) {
        EXPECT_EQ(read(folder, c.attributes, dirs, files), 0);
        EXPECT_EQ(names(dirs), List{L"d"}) << c.attributes;
        EXPECT_EQ(names(files), c.files) << c.attributes;
    }
    EXPECT_EQ(V_VT(dirs.get()), VT_ARRAY | VT_VARIANT);
    EXPECT_FALSE(yes(dir->isDirectoryEmpty(Bstr(folder).get(), &b), b));
    EXPECT_TRUE(yes(dir->isDirectoryContainingDirs(Bstr(folder).get(), &b), b));
    EXPECT_FALSE(yes(dir->isDirectoryContainingDirs(Bstr(folder + L"\\d").get(), &b), b));
    EXPECT_TRUE(yes(dir->isDirectoryContainingFiles(Bstr(folder).get(), &b), b));

    // Existence: a file is no folder; a missing one is made on request.
    BSTR path = SysAllocString((folder + L"\\a.txt").c_str());
    EXPECT_FALSE(yes(dir->PathIsDirectory(&path, &b), b));
    SysFreeString(path);
    VARIANT_BOOL create = VARIANT_TRUE;
    EXPECT_TRUE(yes(dir->Exist(Bstr(folder + L"\\new\\deeper").get(), &create, &b), b));
    EXPECT_TRUE(qmtest::exists(folder + L"\\new\\deeper"));
}

TEST_F(DirectoryTest, DeleteListedFilesAndRename) {
    make_tree();
    long r = -1;
    VARIANT_BOOL all = VARIANT_FALSE;
    EXPECT_EQ(dir->DirectoryDeleteFiles(Bstr(folder).get(), *Variant(L"A.TXT").get(), &all, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(qmtest::exists(folder + L"\\a.txt"));
    EXPECT_TRUE(qmtest::exists(folder + L"\\b.txt"));
    all = VARIANT_TRUE;
    EXPECT_EQ(dir->DirectoryDeleteFiles(Bstr(folder).get(), *Variant().get(), &all, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(qmtest::entries(folder + L"\\"), 1);  // only the folder d
    EXPECT_TRUE(qmtest::exists(folder + L"\\d"));

    // A bare new name: renamed in place, the record's Target made a full path.
    DIROPEATION op{};
    op.OPERATION = doRENAME;
    op.Source = SysAllocString((folder + L"\\d").c_str());
    op.Target = SysAllocString(L"e");
    EXPECT_EQ(dir->DirectroryOperation(&op, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(text_of(op.Target), folder + L"\\e");
    EXPECT_TRUE(qmtest::exists(folder + L"\\e"));
    SysFreeString(op.Source), SysFreeString(op.Target);
}

}  // namespace
