// File: existence, deletion, copying and paths on real files in the scratch folder.
#include <gtest/gtest.h>

#include <string>

#include "files/file.h"
#include "files/filebase.h"
#include "frame/progbar.h"
#include "controls/controls.h"
#include "files/directory.h"
#include "runtime/files.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.File");
        ASSERT_TRUE(disp_);
        file_ = disp_.query<_File>();
        ASSERT_TRUE(file_);
        dir_ = scratch() + L"file " + test_name() + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        wipe(dir_);
    }

    bool exist(const std::wstring& p, long* error = nullptr) {
        VARIANT_BOOL r = 1;
        long e = -99;
        EXPECT_EQ(file_->Exist(Bstr(p).get(), &e, &r), S_OK);
        if (error) *error = e;
        return r != 0;
    }
    long kill(const std::wstring& p) {
        long r = -99;
        EXPECT_EQ(file_->fKill(Bstr(p).get(), &r), S_OK);
        return r;
    }

    ComPtr<IDispatch> disp_;
    ComPtr<_File> file_;
    std::wstring dir_;
};

TEST_F(FileTest, ExistAnswersByErrorNumber) {
    long e = 0;
    write_bytes(dir_ + L"a.txt", "a");
    EXPECT_TRUE(exist(dir_ + L"a.txt", &e));
    EXPECT_EQ(e, 0);
    EXPECT_FALSE(exist(dir_ + L"none.txt", &e));
    EXPECT_EQ(e, 53);
    EXPECT_FALSE(exist(dir_ + L"no folder\\a.txt", &e));
    EXPECT_EQ(e, 76);
    EXPECT_FALSE(exist(dir_, &e));
    EXPECT_NE(e, 0);
    // A file held open elsewhere without read sharing.
    HANDLE lock = CreateFileW((dir_ + L"a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(exist(dir_ + L"a.txt", &e));
    EXPECT_EQ(e, 70);
    CloseHandle(lock);
    EXPECT_FALSE(exists(dir_ + L"none.txt"));
}

TEST_F(FileTest, KillDeletesExactlyTheNamedFile) {
    write_bytes(dir_ + L"a1.txt", "1");
    write_bytes(dir_ + L"a2.txt", "2");
    SetFileAttributesW((dir_ + L"a1.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_NE(kill(dir_ + L"a*.txt"), 0);
    EXPECT_NE(kill(dir_ + L"a?.txt"), 0);
    EXPECT_TRUE(exists(dir_ + L"a1.txt"));
    EXPECT_TRUE(exists(dir_ + L"a2.txt"));
    EXPECT_EQ(kill(dir_ + L"a1.txt"), 0);  // read-only and hidden: attributes cleared first
    EXPECT_FALSE(exists(dir_ + L"a1.txt"));
    EXPECT_TRUE(exists(dir_ + L"a2.txt"));
    EXPECT_EQ(kill(dir_ + L"a1.txt"), 0);  // nothing there
    // A folder is no file: an error, and it stays.
    CreateDirectoryW((dir_ + L"sub").c_str(), nullptr);
    EXPECT_EQ(kill(dir_ + L"sub"), 75);
    EXPECT_TRUE(exists(dir_ + L"sub"));
    // A file in use.
    HANDLE lock = CreateFileW((dir_ + L"a2.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    EXPECT_NE(kill(dir_ + L"a2.txt"), 0);
    CloseHandle(lock);
    EXPECT_TRUE(exists(dir_ + L"a2.txt"));
}

// Bytes that differ from position to position, so that misplaced blocks show.
std::string pattern(size_t n, unsigned seed = 7) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    return bytes;
}

TEST_F(FileTest, CreateLenCompareAndInUse) {
    const std::wstring a = dir_ + L"a.bin", b = dir_ + L"b.bin", none = dir_ + L"none.bin";
    long r = -9, e = -9;
    write_bytes(a, "old");
    SetFileAttributesW(a.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(file_->Create_File(Bstr(a).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(a), "");
    EXPECT_EQ(GetFileAttributesW(a.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    write_bytes(a, pattern(5000));
    ASSERT_EQ(file_->Get_FileLen(Bstr(a).get(), &e, &r), S_OK);
    EXPECT_EQ(r, 5000);
    EXPECT_EQ(e, 0);
    ASSERT_EQ(file_->Get_FileLen(Bstr(none).get(), &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(e, 53);

    VARIANT_BOOL same = 0;
    ASSERT_EQ(file_->Compare(Bstr(a).get(), Bstr(a).get(), &e, &same), S_OK);
    EXPECT_TRUE(same);
    std::string other = pattern(5000);
    other[4999] ^= 1;
    write_bytes(b, other);
    ASSERT_EQ(file_->Compare(Bstr(a).get(), Bstr(b).get(), &e, &same), S_OK);
    EXPECT_FALSE(same);
    EXPECT_EQ(e, 0);
    ASSERT_EQ(file_->Compare(Bstr(none).get(), Bstr(b).get(), &e, &same), S_OK);
    EXPECT_FALSE(same);
    EXPECT_EQ(e, -1);

    VARIANT_BOOL used = 1;
    ASSERT_EQ(file_->isInUse(Bstr(none).get(), &e, &used), S_OK);
    EXPECT_FALSE(used);
    EXPECT_EQ(e, 0);
    EXPECT_FALSE(exists(none));  // a missing file is not created
    ASSERT_EQ(file_->isInUse(Bstr(dir_ + L"no folder\\a.bin").get(), &e, &used), S_OK);
    EXPECT_TRUE(used);  // it could not be opened
    EXPECT_EQ(e, 76);
    ASSERT_EQ(file_->isInUse(Bstr(a).get(), &e, &used), S_OK);
    EXPECT_FALSE(used);
    HANDLE lock = CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(file_->isInUse(Bstr(a).get(), &e, &used), S_OK);
    CloseHandle(lock);
    EXPECT_TRUE(used);
    EXPECT_EQ(e, 70);
    SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(file_->isInUse(Bstr(b).get(), &e, &used), S_OK);
    EXPECT_TRUE(used);
    EXPECT_EQ(e, 75);
    SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileTest, TempFileAndHardLink) {
    BSTR folder = SysAllocString(dir_.c_str());
    Bstr temp;
    ASSERT_EQ(file_->TempFile_Create(&folder, temp.put()), S_OK);
    EXPECT_EQ(Bstr::view_of(folder), dir_);  // the caller's variable stays
    SysFreeString(folder);
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(temp.str().starts_with(dir_ + L"~"));
    EXPECT_EQ(read_bytes(temp.str()), "");
    // Without a folder: the user's temporary folder.
    BSTR empty = nullptr;
    Bstr temp2;
    ASSERT_EQ(file_->TempFile_Create(&empty, temp2.put()), S_OK);
    ASSERT_FALSE(temp2.empty());
    EXPECT_TRUE(exists(temp2.str()));
    DeleteFileW(temp2.get());

    long r = 0;
    const std::wstring link = dir_ + L"link.bin";
    DeleteFileW(link.c_str());
    write_bytes(temp.str(), "data");
    ASSERT_EQ(file_->Hardlink_Create(temp.get(), Bstr(link).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(link), "data");
    ASSERT_EQ(file_->Hardlink_Create(temp.get(), Bstr(link).get(), &r), S_OK);
    EXPECT_EQ(r, -2);
    ASSERT_EQ(file_->Hardlink_Create(Bstr(dir_ + L"none").get(), Bstr(dir_ + L"l2").get(), &r), S_OK);
    EXPECT_EQ(r, -1);
}

TEST_F(FileTest, ShredderKeepsLengthAndDeletes) {
    // A second name of the file shows what the passes left on disk.
    for (size_t size : {size_t(0), size_t(2), size_t(21), size_t(100003)}) {
        const std::wstring f = dir_ + L"s.bin", witness = dir_ + L"witness.bin";
        DeleteFileW(witness.c_str());
        write_bytes(f, std::string(size, 'x'));
        ASSERT_TRUE(CreateHardLinkW(witness.c_str(), f.c_str(), nullptr));
        long loop = -2, r = -9;
        ASSERT_EQ(file_->ShredderFile(Bstr(f).get(), &loop, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(loop, 2);
        EXPECT_FALSE(exists(f));
        const std::string left = read_bytes(witness);
        ASSERT_EQ(left.size(), size);
        for (size_t i = 0; i < left.size(); ++i) {
            const char c = left[i];
            ASSERT_TRUE(i % 2 ? (c >= 'A' && c <= 'E') : (c >= '0' && c <= '9')) << "byte " << i;
        }
        if (size > 40) {
            EXPECT_EQ(left.substr(0, 20), left.substr(20, 20));  // one pattern, repeated
        }
    }
    long loop = 0, r = 0;
    ASSERT_EQ(file_->ShredderFile(Bstr(dir_ + L"none").get(), &loop, &r), S_OK);
    EXPECT_EQ(r, 53);
}

TEST_F(FileTest, RenameInFolderReplaceAndCase) {
    const std::wstring x = dir_ + L"x.txt", y = dir_ + L"y.txt";
    long r = -9;
    VARIANT_BOOL keep = VARIANT_FALSE, replace = VARIANT_TRUE;
    write_bytes(x, "x");
    ASSERT_EQ(file_->Rename(Bstr(x).get(), Bstr(L"y.txt").get(), &keep, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(exists(x));
    EXPECT_EQ(read_bytes(y), "x");

    write_bytes(x, "new");
    ASSERT_EQ(file_->Rename(Bstr(x).get(), Bstr(L"y.txt").get(), &keep, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(x), "new");  // nothing changed
    EXPECT_EQ(read_bytes(y), "x");

    SetFileAttributesW(y.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(file_->Rename(Bstr(x).get(), Bstr(y).get(), &replace, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(exists(x));
    EXPECT_EQ(read_bytes(y), "new");

    // Onto itself without DeleteExist: the name exists, so nothing changes.
    ASSERT_EQ(file_->Rename(Bstr(y).get(), Bstr(L"Y.TXT").get(), &keep, &r), S_OK);
    EXPECT_EQ(r, 0);
    {
        WIN32_FIND_DATAW same;
        HANDLE f = FindFirstFileW(y.c_str(), &same);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        FindClose(f);
        EXPECT_EQ(std::wstring(same.cFileName), L"y.txt");
    }
    // Onto itself, with DeleteExist: the file must survive; a change of case renames.
    ASSERT_EQ(file_->Rename(Bstr(y).get(), Bstr(L"Y.TXT").get(), &replace, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(y), "new");
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(y.c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    EXPECT_EQ(std::wstring(fd.cFileName), L"Y.TXT");

    // A missing file: nothing, 0.
    ASSERT_EQ(file_->Rename(Bstr(dir_ + L"none").get(), Bstr(L"z").get(), &keep, &r), S_OK);
    EXPECT_EQ(r, 0);
}

class BinCopyTest : public FileTest {
protected:
    long bincopy(const std::wstring& source, const std::wstring& folder, bool progress = false) {
        VARIANT_BOOL show = progress ? VARIANT_TRUE : VARIANT_FALSE;
        long colour = 255, r = -9;
        BSTR text = SysAllocString(L"Kopieren");
        BYTE alpha = 200;
        EXPECT_EQ(file_->BinCopy(Bstr(source).get(), Bstr(folder).get(), &show, &colour, &text, &alpha, &r), S_OK);
        SysFreeString(text);
        return r;
    }
};

TEST_F(BinCopyTest, CopiesByteForByte) {
    const std::wstring to = dir_ + L"to";
    CreateDirectoryW(to.c_str(), nullptr);
    for (size_t size : {size_t(0), size_t(7), size_t(32768), size_t(32769), size_t(1024000), size_t(1024001),
                        size_t(2048000), size_t(3000017)}) {
        const std::string bytes = pattern(size, static_cast<unsigned>(size));
        write_bytes(dir_ + L"src.bin", bytes);
        ASSERT_EQ(bincopy(dir_ + L"src.bin", to), 0) << size;
        ASSERT_TRUE(read_bytes(to + L"\\src.bin") == bytes) << size;
    }
    // With the progress window, into a folder given with its backslash, over a
    // read-only file of that name.
    SetFileAttributesW((to + L"\\src.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    write_bytes(dir_ + L"src.bin", pattern(1500000, 3));
    ASSERT_EQ(bincopy(dir_ + L"src.bin", to + L"\\", true), 0);
    EXPECT_TRUE(read_bytes(to + L"\\src.bin") == pattern(1500000, 3));
    int n = 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((to + L"\\*").c_str(), &fd);
    do n += fd.cFileName[0] != L'.';
    while (FindNextFileW(h, &fd));
    FindClose(h);
    EXPECT_EQ(n, 1);  // no temporary file left
}

TEST_F(BinCopyTest, NeverDamagesSourceOrTarget) {
    const std::string bytes = pattern(100000);
    write_bytes(dir_ + L"src.bin", bytes);
    // Onto itself: refused, the source intact.
    EXPECT_EQ(bincopy(dir_ + L"src.bin", dir_), 75);
    EXPECT_TRUE(read_bytes(dir_ + L"src.bin") == bytes);
    EXPECT_EQ(bincopy(dir_ + L"src.bin", dir_ + L".\\"), 75);
    EXPECT_TRUE(read_bytes(dir_ + L"src.bin") == bytes);
    // A missing source leaves an existing target as it was.
    const std::wstring to = dir_ + L"to";
    CreateDirectoryW(to.c_str(), nullptr);
    write_bytes(to + L"\\none.bin", "keep");
    EXPECT_EQ(bincopy(dir_ + L"none.bin", to), 53);
    EXPECT_EQ(read_bytes(to + L"\\none.bin"), "keep");
    // A target held open elsewhere is not replaced, and nothing else is left there.
    write_bytes(to + L"\\src.bin", "old");
    HANDLE lock = CreateFileW((to + L"\\src.bin").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(bincopy(dir_ + L"src.bin", to), 0);
    CloseHandle(lock);
    EXPECT_EQ(read_bytes(to + L"\\src.bin"), "old");
    EXPECT_EQ(bincopy(dir_ + L"src.bin", dir_ + L"no folder"), 76);
}

// In-process: the fixed file numbers 3 and 1 keep BinCopy from overlapping
// another such operation on the thread.
TEST_F(BinCopyTest, FixedFileNumbers) {
    write_bytes(dir_ + L"src.bin", "abc");
    CreateDirectoryW((dir_ + L"to").c_str(), nullptr);
    auto* local = new qm::File();
    {
        qm::RtFile busy(dir_ + L"busy.bin", qm::OpenMode::Binary, qm::OpenAccess::Default, 3);
        VARIANT_BOOL show = VARIANT_FALSE;
        long colour = 0, r = 0;
        BSTR text = nullptr;
        BYTE alpha = 255;
        ASSERT_EQ(local->BinCopy(Bstr(dir_ + L"src.bin").get(), Bstr(dir_ + L"to").get(), &show, &colour, &text, &alpha,
                                 &r),
                  S_OK);
        EXPECT_EQ(r, 55);
    }
    local->Release();
}

TEST_F(FileTest, PathMembers) {
    auto text = [&](HRESULT (STDMETHODCALLTYPE _File::*m)(BSTR, BSTR*), const std::wstring& p) {
        Bstr out;
        EXPECT_EQ((file_.get()->*m)(Bstr(p).get(), out.put()), S_OK);
        return out.str();
    };
    EXPECT_EQ(text(&_File::Get_FileFromPath, L"C:\\a\\b.txt"), L"b.txt");
    EXPECT_EQ(text(&_File::Get_FileFromPath, L"b.txt"), L"b.txt");
    EXPECT_EQ(text(&_File::Get_FileFromPath, L"C:\\a\\"), L"");
    EXPECT_EQ(text(&_File::Get_FileFromPath, L""), L"");
    EXPECT_EQ(text(&_File::Get_FileFromPath, dir_ + L"..\\" + dir_.substr(3, dir_.size() - 4)), L"");
    EXPECT_EQ(text(&_File::Get_RootFromPath, L"C:\\temp"), L"C:\\");
    EXPECT_EQ(text(&_File::Get_RootFromPath, L"C:"), L"C:\\");
    EXPECT_EQ(text(&_File::Get_RootFromPath, L"\\\\server\\share\\x"), L"");
    EXPECT_EQ(text(&_File::Get_PrefixFromPath, L"archive.tar.gz"), L".gz");
    EXPECT_EQ(text(&_File::Get_PrefixFromPath, L"name."), L"");
    EXPECT_EQ(text(&_File::Get_PrefixFromPath, L"name"), L"");
    EXPECT_EQ(text(&_File::Get_PrefixFromPath, L"C:\\x.y\\file"), L".y\\file");
    EXPECT_EQ(text(&_File::Get_ShortPath, dir_ + L"none"), L"");
    EXPECT_EQ(text(&_File::Get_LongPath, dir_ + L"none"), L"");

    long e = -9;
    Bstr out;
    auto dir_of = [&](const std::wstring& p) {
        EXPECT_EQ(file_->Get_DirectoryFromPath(Bstr(p).get(), &e, out.put()), S_OK);
        return out.str();
    };
    EXPECT_EQ(dir_of(L"C:\\a\\b.txt"), L"C:\\a\\");
    EXPECT_EQ(dir_of(L"C:\\a\\"), L"C:\\a\\");
    EXPECT_EQ(dir_of(L"\\b.txt"), L"\\");
    EXPECT_EQ(dir_of(L"b.txt"), L"");
    EXPECT_EQ(e, 5);
    EXPECT_EQ(dir_of(dir_.substr(0, dir_.size() - 1)), dir_.substr(0, dir_.size() - 1));  // an existing folder

    write_bytes(dir_ + L"f.txt", "f");
    ASSERT_EQ(file_->Get_Path(Bstr(dir_ + L"f.txt").get(), &e, out.put()), S_OK);
    EXPECT_EQ(out.str(), dir_);
    ASSERT_EQ(file_->Get_Path(Bstr(dir_ + L"none.txt").get(), &e, out.put()), S_OK);
    EXPECT_EQ(out.str(), L"");
    EXPECT_EQ(e, 53);

    // A long path is given back whole, beyond 255 characters.
    std::wstring deep = L"\\\\?\\" + dir_;
    while (deep.size() < 330) {
        deep += L"Ein recht langer Ordnername\\";
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    write_bytes(deep + L"lang.txt", "x");
    EXPECT_EQ(text(&_File::Get_LongPath, deep + L"lang.txt"), deep + L"lang.txt");
    EXPECT_FALSE(text(&_File::Get_ShortPath, deep + L"lang.txt").empty());
}

TEST_F(FileTest, ShellOperations) {
    // File.FileOperation: a bare new name stays in the source's folder, and the
    // record's Target says where the file went.
    write_bytes(dir_ + L"old.txt", "o");
    FOPEATION op{};
    op.OPERATION = doRENAME;
    op.Source = SysAllocString((dir_ + L"old.txt").c_str());
    op.Target = SysAllocString(L"new.txt");
    long r = -9;
    ASSERT_EQ(file_->FileOperation(&op, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(Bstr::view_of(op.Target), dir_ + L"new.txt");
    EXPECT_EQ(read_bytes(dir_ + L"new.txt"), "o");
    SysFreeString(op.Source);
    op.Source = SysAllocString((dir_ + L"new.txt").c_str());
    op.OPERATION = doDELETE;
    ASSERT_EQ(file_->FileOperation(&op, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(SysStringLen(op.Target), 0u);
    EXPECT_FALSE(exists(dir_ + L"new.txt"));
    // Nothing to do, and a failure reported as one.
    op.OPERATION = static_cast<OPERATION>(5);
    ASSERT_EQ(file_->FileOperation(&op, &r), S_OK);
    EXPECT_EQ(r, 0);
    op.OPERATION = doCOPY;
    SysFreeString(op.Target);
    op.Target = SysAllocString((dir_ + L"copy.txt").c_str());
    ASSERT_EQ(file_->FileOperation(&op, &r), S_OK);  // the source is gone
    EXPECT_NE(r, 0);
    SysFreeString(op.Source);
    SysFreeString(op.Target);

    write_bytes(dir_ + L"bin.txt", "b");
    BSTR name = SysAllocString((dir_ + L"bin.txt").c_str());
    VARIANT_BOOL confirm = VARIANT_FALSE, ok = 0;
    ASSERT_EQ(file_->MOVETORECYCLEBIN(&name, &confirm, &ok), S_OK);
    SysFreeString(name);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(exists(dir_ + L"bin.txt"));
}

// Paths longer than a system function takes fail with 52 before it sees them and
// change nothing; the long and short spellings take any path the system can hold.
TEST_F(FileTest, OverlongPathsFailBeforeTheSystemSeesThem) {
    std::wstring deep = dir_;
    while (deep.size() < 1100) {
        deep += std::wstring(200, L'd') + L"\\";
        CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
    }
    const std::wstring file = deep + L"f.txt";
    write_bytes(L"\\\\?\\" + file, "x");
    auto text = [&](HRESULT (STDMETHODCALLTYPE _File::*m)(BSTR, BSTR*), const std::wstring& p, HRESULT want = S_OK) {
        Bstr out;
        EXPECT_EQ((file_.get()->*m)(Bstr(p).get(), out.put()), want);
        return out.str();
    };
    EXPECT_EQ(text(&_File::Get_LongPath, file), file);
    EXPECT_FALSE(text(&_File::Get_ShortPath, file).empty());
    EXPECT_EQ(text(&_File::Get_LongPath, std::wstring(5000, L'a')), L"");  // one name longer than any
    const HRESULT bad_name = static_cast<HRESULT>(0x800A0034);
    text(&_File::Get_LongPath, std::wstring(40000, L'a'), bad_name);
    text(&_File::Get_ShortPath, std::wstring(40000, L'a'), bad_name);
    text(&_File::Get_FileDescription, file, bad_name);

    BSTR name = SysAllocString(file.c_str());
    VARIANT_BOOL confirm = VARIANT_FALSE, ok = -1;
    EXPECT_EQ(file_->MOVETORECYCLEBIN(&name, &confirm, &ok), bad_name);
    SysFreeString(name);
    struct Case {
        OPERATION operation;
        std::wstring source, target;
    } cases[] = {{doDELETE, file, L""}, {doCOPY, file, dir_ + L"copy.txt"}, {doMOVE, dir_ + L"a.txt", deep + L"a.txt"}};
    write_bytes(dir_ + L"a.txt", "a");
    for (const Case& c : cases) {
        FOPEATION op{};
        op.OPERATION = c.operation;
        op.Source = SysAllocString(c.source.c_str());
        op.Target = SysAllocString(c.target.c_str());
        long r = -9;
        EXPECT_EQ(file_->FileOperation(&op, &r), S_OK);
        EXPECT_EQ(r, 52);
        SysFreeString(op.Source);
        SysFreeString(op.Target);
    }
    EXPECT_TRUE(exists(L"\\\\?\\" + file));
    EXPECT_TRUE(exists(dir_ + L"a.txt"));
    EXPECT_FALSE(exists(dir_ + L"copy.txt"));
}

// White-box: the path helpers and the recursive deletion.
TEST(FileBase, PathTexts) {
    EXPECT_EQ(qm::AddBackslash(L""), L"\\");
    EXPECT_EQ(qm::AddBackslash(L"C:"), L"C:\\");
    EXPECT_EQ(qm::AddBackslash(L"C:\\"), L"C:\\");
    EXPECT_EQ(qm::RemoveBackslash(L"C:\\Temp\\\\"), L"C:\\Temp");
    EXPECT_EQ(qm::RemoveBackslash(L"\\"), L"");
    EXPECT_EQ(qm::RemoveBackslash(L""), L"");
    EXPECT_EQ(qm::LastBackslashPos(L"name.txt"), 0);
    EXPECT_EQ(qm::LastBackslashPos(L"C:\\a\\b"), 5);
    EXPECT_EQ(qm::Get_FileTitleFromPath(L"C:\\Tools\\notepad.exe"), L"notepad");
    EXPECT_EQ(qm::Get_FileTitleFromPath(L"C:\\x\\archive.tar.gz"), L"archive.tar");
    EXPECT_EQ(qm::Get_FileTitleFromPath(L"C:\\my.dir\\README"), L"README");
}

TEST(FileBase, DeleteTreeStopsAtWhatItCannotDelete) {
    const std::wstring root = scratch() + L"tree";
    for (const wchar_t* d : {L"", L"\\a", L"\\a\\b", L"\\c"}) CreateDirectoryW((root + d).c_str(), nullptr);
    for (const wchar_t* f : {L"\\1.txt", L"\\a\\2.txt", L"\\a\\b\\3.txt", L"\\c\\4.txt"})
        write_bytes(root + f, "x");
    EXPECT_EQ(qm::DeleteTree(root), 0);
    EXPECT_FALSE(exists(root));

    // A read-only file deep down: the walk ends with 75, does not loop, and what
    // holds the file stays.
    for (const wchar_t* d : {L"", L"\\a", L"\\a\\b"}) CreateDirectoryW((root + d).c_str(), nullptr);
    write_bytes(root + L"\\a\\b\\ro.txt", "x");
    SetFileAttributesW((root + L"\\a\\b\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(qm::DeleteTree(root + L"\\"), 75);
    EXPECT_TRUE(exists(root + L"\\a\\b\\ro.txt"));
    SetFileAttributesW((root + L"\\a\\b\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(qm::DeleteTree(root), 0);
    EXPECT_FALSE(exists(root));
}

TEST(FileBase, ShellOperationTargets) {
    const std::wstring dir = scratch() + L"shellop\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    write_bytes(dir + L"old.txt", "o");
    long hwnd = 0, op = 0;
    std::wstring source = dir + L"old.txt", target = L"x";
    for (long nothing : {0L, 5L}) {
        op = nothing;
        EXPECT_EQ(qm::SH_FileOperation(hwnd, op, source, target, false, false, false, false, false), 0);
        EXPECT_EQ(target, L"x");
    }
    // A copy with its folders: the target path is made first.
    op = doCOPY;
    target = dir + L"deep\\er";
    EXPECT_EQ(qm::SH_FileOperation(hwnd, op, source, target, true, false, false, false, false), 0);
    EXPECT_EQ(read_bytes(dir + L"deep\\er\\old.txt"), "o");
    EXPECT_EQ(qm::DeleteTree(dir), 0);
}

TEST(DirectoryCreate, MakesEveryMissingFolder) {
    auto d = qmtest::create(L"Quillmark.Directory").query<_Directory>();
    ASSERT_TRUE(d);
    const std::wstring base = scratch() + L"made";
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(d->CreatePath(Bstr(base + L"\\x\\y\\z").get(), &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(GetFileAttributesW((base + L"\\x\\y\\z").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_EQ(d->CreatePath(Bstr(base + L"\\x\\").get(), &ok), S_OK);
    EXPECT_TRUE(ok);
    write_bytes(base + L"\\file", "f");
    ASSERT_EQ(d->CreatePath(Bstr(base + L"\\file\\sub").get(), &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(qm::DeleteTree(base), 0);
}

// White-box: the path compacted to the progress window's message label.
TEST(ControlsCompactPath, FitsTheLabel) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        qm::ProgressWindow window;
        window.load(L"test");
        auto& label = window.form()->get<qm::forms::Label>(L"Message");
        auto* controls = new qm::Controls();
        IDispatch* control = &label;
        long e = -9;
        Bstr out;
        ASSERT_EQ(controls->Control_CompactPath(&control, Bstr(L"C:\\a.txt").get(), &e, out.put()), S_OK);
        EXPECT_EQ(out.str(), L"C:\\a.txt");
        EXPECT_EQ(e, 0);
        std::wstring path = L"C:\\";
        for (int i = 0; i < 30; ++i) path += L"Ordner mit Namen\\";
        path += L"datei.txt";
        ASSERT_EQ(controls->Control_CompactPath(&control, Bstr(path).get(), &e, out.put()), S_OK);
        EXPECT_NE(out.str().find(L"..."), std::wstring::npos);
        EXPECT_LT(out.length(), path.size());
        EXPECT_TRUE(out.str().ends_with(L"datei.txt"));
        // No control: error 91, "" and the number.
        IDispatch* none = nullptr;
        ASSERT_EQ(controls->Control_CompactPath(&none, Bstr(path).get(), &e, out.put()), S_OK);
        EXPECT_EQ(e, 91);
        EXPECT_TRUE(out.empty());
        controls->Release();
    }
    CoUninitialize();
}

}  // namespace
