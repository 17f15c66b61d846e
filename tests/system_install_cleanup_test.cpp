// System: emptying the user's and the system's folders. Every folder emptied is
// first pointed into the scratch folder (or is one of the prefix's own), and
// the run is alone (serial).
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;

namespace {

const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Points one shell folder value somewhere else for the test's lifetime.
class Redirect {
public:
    Redirect(HKEY root, const wchar_t* name, const std::wstring& to) : root_(root), name_(name) {
        DWORD size = sizeof old_;
        had_ = RegGetValueW(root, kShellFolders, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, old_, &size) ==
               ERROR_SUCCESS;
        size_ = size;
        RegSetKeyValueW(root, kShellFolders, name, REG_EXPAND_SZ, to.c_str(),
                        static_cast<DWORD>((to.size() + 1) * sizeof(wchar_t)));
    }
    ~Redirect() {
        if (had_)
            RegSetKeyValueW(root_, kShellFolders, name_, type_, old_, size_);
        else
            RegDeleteKeyValueW(root_, kShellFolders, name_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

private:
    HKEY root_;
    const wchar_t* name_;
    bool had_ = false;
    DWORD type_ = REG_EXPAND_SZ, size_ = 0;
    wchar_t old_[MAX_PATH * 2] = {};
};

std::wstring env(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    return n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

// A file, a sub-folder with a file and a sub-folder below that.
void fill(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\sub\\deeper").c_str(), nullptr);
    write_bytes(folder + L"\\a.txt", "a");
    write_bytes(folder + L"\\sub\\b.txt", "b");
    write_bytes(folder + L"\\sub\\deeper\\c.txt", "c");
}

bool emptied(const std::wstring& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           entries(folder + L"\\") == 0;
}

class SystemCleanUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The recycle bin is the trash of the run's own data folder, never a user's.
        // (Wine hands HOME to its processes as WINEHOMEDIR.)
        for (const wchar_t* name : {L"WINEHOMEDIR", L"XDG_DATA_HOME"})
            ASSERT_NE(env(name).find(L"quill-run."), std::wstring::npos) << "no private " << name;
        sys_ = create(L"Quillmark.System").query<_System>();
        ASSERT_TRUE(sys_);
        root_ = scratch() + L"clean";
        CreateDirectoryW(root_.c_str(), nullptr);
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        windows_ = windows;
    }
    std::wstring folder_of(long id) {
        Bstr path;
        auto sd = static_cast<::SystemDirectory>(id);
        EXPECT_EQ(sys_->SystemDirectory(&sd, path.put()), S_OK);
        return path.str();
    }
    void clean(long value, bool all = false) {
        auto v = static_cast<CLEANUPINFO>(value);
        VARIANT_BOOL a = all ? VARIANT_TRUE : VARIANT_FALSE;
        EXPECT_EQ(sys_->SystemCleanUp(&v, &a), S_OK) << value;
    }
    ComPtr<_System> sys_;
    std::wstring root_, windows_;
};

TEST_F(SystemCleanUpTest, EachFolderIsEmptiedAndKept) {
    struct Folder {
        long value, id;
        HKEY root;
        const wchar_t* name;  // the shell folder value; null for the others
    } folders[] = {
        {cuUser_Favorites, 6, HKEY_CURRENT_USER, L"Favorites"},
        {cuUser_RecentDocumets, 8, HKEY_CURRENT_USER, L"Recent"},
        {cuUser_TemporaryInternetFiles, 32, HKEY_CURRENT_USER, L"Cache"},
        {cuUser_Cookies, 33, HKEY_CURRENT_USER, L"Cookies"},
        {cuUser_History, 34, HKEY_CURRENT_USER, L"History"},
        {cuUser_Temp, 1100, nullptr, L"Temp"},
        {cuAllUser_Favorites, 31, HKEY_LOCAL_MACHINE, L"Common Favorites"},
        {cuSystem_Temp, 1200, nullptr, nullptr},
        {cuSystem_Prefetch, 1300, nullptr, nullptr},
    };
    std::vector<std::unique_ptr<Redirect>> redirects;
    std::vector<std::wstring> paths;
    const std::wstring old_temp = env(L"TEMP"), old_tmp = env(L"TMP");
    for (const Folder& f : folders) {
        std::wstring path = f.name ? root_ + L"\\" + f.name : windows_ + (f.id == 1200 ? L"\\Temp" : L"\\Prefetch");
        if (f.root) redirects.push_back(std::make_unique<Redirect>(f.root, f.name, path));
        if (f.id == 1100) {
            SetEnvironmentVariableW(L"TEMP", path.c_str());
            SetEnvironmentVariableW(L"TMP", path.c_str());
        }
        paths.push_back(path);
        CreateDirectoryW(path.c_str(), nullptr);
        // Nothing is emptied unless it is the folder the test made its own.
        ASSERT_EQ(folder_of(f.id), path + L"\\") << f.value;
    }
    for (int round = 0; round < 2; ++round) {
        for (const std::wstring& p : paths) fill(p);
        // A file in use stays; the member still returns normally.
        HANDLE held = CreateFileW((paths[4] + L"\\held.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        if (round == 0)
            for (const Folder& f : folders) clean(f.value);
        else
            clean(0, true);
        EXPECT_TRUE(exists(paths[4] + L"\\held.txt"));
        CloseHandle(held);
        DeleteFileW((paths[4] + L"\\held.txt").c_str());
        for (size_t i = 0; i < paths.size(); ++i) {
            if (i == 4) continue;  // the folder with the file in use
            EXPECT_TRUE(emptied(paths[i])) << round << " " << folders[i].value;
        }
        EXPECT_FALSE(exists(paths[4] + L"\\sub")) << round;
    }
    SetEnvironmentVariableW(L"TEMP", old_temp.c_str());
    SetEnvironmentVariableW(L"TMP", old_tmp.c_str());
}

TEST_F(SystemCleanUpTest, AFolderThatCannotBeFoundEmptiesNothing) {
    // The scratch folder is the root of its drive: "\" there names it.
    const std::wstring cwd = root_ + L"\\cwd", sentinel = scratch() + L"sentinel.txt";
    CreateDirectoryW(cwd.c_str(), nullptr);
    write_bytes(sentinel, "stays");
    write_bytes(cwd + L"\\also.txt", "stays");
    wchar_t old_dir[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old_dir);
    const std::wstring old_temp = env(L"TEMP"), old_tmp = env(L"TMP");
    ASSERT_TRUE(SetCurrentDirectoryW(cwd.c_str()));
    for (const wchar_t* temp : {L"\\", L"relative"}) {
        SetEnvironmentVariableW(L"TEMP", temp);
        SetEnvironmentVariableW(L"TMP", temp);
        clean(cuUser_Temp);
        EXPECT_EQ(read_bytes(sentinel), "stays") << temp;
        EXPECT_EQ(read_bytes(cwd + L"\\also.txt"), "stays") << temp;
    }
    SetEnvironmentVariableW(L"TEMP", old_temp.c_str());
    SetEnvironmentVariableW(L"TMP", old_tmp.c_str());
    SetCurrentDirectoryW(old_dir);
}

}  // namespace
