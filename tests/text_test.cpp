// Text: whole text files in the scratch folder, compared byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

std::string read_bytes(const std::wstring& path) {
    std::string bytes;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[4096];
    DWORD got;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

void write_bytes(const std::wstring& path, const std::string& bytes) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Files of the folder other than . and ..
int entries(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") ++n;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.Text");
        ASSERT_TRUE(disp_);
        text_ = disp_.query<_Text>();
        ASSERT_TRUE(text_);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info->name();
        dir_ = scratch() + L"text " + std::wstring(name.begin(), name.end()) + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        path_ = dir_ + L"t.txt";
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path_.c_str());
    }
    Bstr path() const { return Bstr(path_); }

    std::wstring read(const std::wstring& p, long* error = nullptr) {
        Bstr out;
        long e = 0;
        EXPECT_EQ(text_->TextFile_Read(Bstr(p).get(), &e, out.put()), S_OK);
        if (error) *error = e;
        return out.str();
    }
    long write(const std::wstring& p, const std::wstring& t) {
        long r = -99;
        EXPECT_EQ(text_->TextFile_WriteText(Bstr(p).get(), Bstr(t).get(), &r), S_OK);
        return r;
    }
    long add(const std::wstring& p, const std::wstring& t, ADDTTEXTINFO where) {
        long r = -99;
        EXPECT_EQ(text_->TextFile_AddText(Bstr(p).get(), Bstr(t).get(), &where, &r), S_OK);
        return r;
    }

    ComPtr<IDispatch> disp_;
    ComPtr<_Text> text_;
    std::wstring dir_, path_;
};

TEST_F(TextTest, WriteAddsOneLineEndAndReadRemovesOne) {
    EXPECT_EQ(write(path_, L""), 0);
    EXPECT_EQ(read_bytes(path_), "\r\n");
    EXPECT_EQ(read(path_), L"");

    EXPECT_EQ(write(path_, L"x\r\n"), 0);
    EXPECT_EQ(read_bytes(path_), "x\r\n\r\n");
    EXPECT_EQ(read(path_), L"x\r\n");

    // Lone CR and LF are ordinary characters; ANSI bytes of the German code page.
    EXPECT_EQ(write(path_, L"a\rb\nÄöß€"), 0);
    EXPECT_EQ(read_bytes(path_), "a\rb\n\xC4\xF6\xDF\x80\r\n");
    EXPECT_EQ(read(path_), L"a\rb\nÄöß€");

    // A file without a line end reads as it is.
    write_bytes(path_, "abc\r");
    EXPECT_EQ(read(path_), L"abc\r");
}

TEST_F(TextTest, ReadOfMissingFileGivesMinusOne) {
    long e = 0;
    EXPECT_EQ(read(dir_ + L"none.txt", &e), L"");
    EXPECT_EQ(e, -1);
    EXPECT_FALSE(exists(dir_ + L"none.txt"));
    // The same late-bound, with ErrorNumber left out and given.
    Variant r;
    Variant p = v_str((dir_ + L"none.txt").c_str());
    ASSERT_EQ(call(disp_.get(), L"TextFile_Read", {p.get()}, r.put()), S_OK);
    EXPECT_EQ(r.get()->vt, VT_BSTR);
    Variant n = v_long(7);
    VARIANT ref = v_ref(n);
    ASSERT_EQ(call(disp_.get(), L"TextFile_Read", {p.get(), &ref}, r.put()), S_OK);
    EXPECT_EQ(n.get()->lVal, -1);
}

TEST_F(TextTest, AddTextAtEndAndBegin) {
    EXPECT_EQ(write(path_, L"A"), 0);
    EXPECT_EQ(add(path_, L"B", Add_to_End), 0);
    EXPECT_EQ(read_bytes(path_), "A\r\nB\r\n");
    EXPECT_EQ(read(path_), L"A\r\nB");

    EXPECT_EQ(write(path_, L"A"), 0);
    EXPECT_EQ(add(path_, L"B", Add_to_Begin), 0);
    EXPECT_EQ(read_bytes(path_), "B\r\nA\r\n");

    // A missing file: created by both forms.
    const std::wstring other = dir_ + L"new.txt";
    DeleteFileW(other.c_str());
    EXPECT_EQ(add(other, L"B", Add_to_Begin), 0);
    EXPECT_EQ(read_bytes(other), "B\r\n\r\n");
    EXPECT_EQ(read(other), L"B\r\n");
    DeleteFileW(other.c_str());
    EXPECT_EQ(add(other, L"C", Add_to_End), 0);
    EXPECT_EQ(read_bytes(other), "C\r\n");

    // Any other place: nothing happens.
    EXPECT_EQ(add(other, L"D", static_cast<ADDTTEXTINFO>(3)), 0);
    EXPECT_EQ(read_bytes(other), "C\r\n");
}

TEST_F(TextTest, WriteReplacesReadOnlyAndHiddenFilesWithNormalOnes) {
    write_bytes(path_, "old");
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(write(path_, L"new"), 0);
    EXPECT_EQ(read_bytes(path_), "new\r\n");
    EXPECT_EQ(GetFileAttributesW(path_.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_EQ(entries(dir_), 1);  // no temporary file left behind
}

TEST_F(TextTest, FailedWriteKeepsTheOldFile) {
    write_bytes(path_, "precious");
    // Another process holds the file open without letting it be deleted.
    HANDLE lock = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_NE(write(path_, L"new"), 0);
    CloseHandle(lock);
    EXPECT_EQ(read_bytes(path_), "precious");
    EXPECT_EQ(entries(dir_), 1);

    // A folder in the way, and a missing folder: errors, nothing created.
    EXPECT_EQ(write(dir_, L"x"), 75);
    EXPECT_EQ(write(dir_ + L"no such\\t.txt", L"x"), 76);
}

}  // namespace
