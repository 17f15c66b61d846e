// File: existence, deletion, copying and paths on real files in the scratch folder.
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
    static char buffer[1 << 16];
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

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.File");
        ASSERT_TRUE(disp_);
        file_ = disp_.query<_File>();
        ASSERT_TRUE(file_);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info->name();
        dir_ = scratch() + L"file " + std::wstring(name.begin(), name.end()) + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
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

}  // namespace
