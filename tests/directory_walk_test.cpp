// Directory: the recursive walks (subfolder list, search, statistics) and the
// deleting members, on trees built in the scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/directory.h"
#include "runtime/convert.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;

namespace {

class DirectoryWalkTest : public testing::Test {
protected:
    void SetUp() override {
        dir = qmtest::create(L"Quillmark.Directory").query<_Directory>();
        ASSERT_TRUE(dir);
        folder = qmtest::scratch() + qmtest::test_name();
        CreateDirectoryW(folder.c_str(), nullptr);
        qmtest::wipe(folder + L"\\");
    }
    void make(std::initializer_list<const wchar_t*> folders, std::initializer_list<const wchar_t*> files = {}) {
        for (const wchar_t* f : folders) CreateDirectoryW((folder + L"\\" + f).c_str(), nullptr);
        for (const wchar_t* f : files) qmtest::write_bytes(folder + L"\\" + f, "12345");
    }
    std::vector<std::wstring> subdirs(const std::wstring& path, bool progress = false) {
        SAFEARRAY* list = nullptr;
        VARIANT_BOOL show = progress ? VARIANT_TRUE : VARIANT_FALSE;
        EXPECT_EQ(dir->ReadAllSubDirs(Bstr(path).get(), &show, &list), S_OK);
        std::vector<std::wstring> out;
        if (!list) return out;
        BSTR* items = nullptr;
        SafeArrayAccessData(list, reinterpret_cast<void**>(&items));
        for (ULONG i = 0; i < list->rgsabound[0].cElements; ++i) out.emplace_back(text_of(items[i]));
        EXPECT_EQ(list->rgsabound[0].lLbound, 0);
        SafeArrayUnaccessData(list);
        SafeArrayDestroy(list);
        return out;
    }
    ComPtr<_Directory> dir;
    std::wstring folder;
};

TEST_F(DirectoryWalkTest, SubfoldersInPreOrderAndLinkCycleEnds) {
    EXPECT_TRUE(subdirs(folder).empty());  // none: unallocated
    make({L"A", L"A\\A1", L"B"}, {L"f.txt", L"A\\g.txt"});
    std::vector<std::wstring> got = subdirs(folder + L"\\", true);
    ASSERT_EQ(got.size(), 3u);
    const std::wstring a = folder + L"\\A", a1 = folder + L"\\A\\A1", b = folder + L"\\B";
    // Depth first: A1 right after A, whichever of A and B the file system lists first.
    const std::vector<std::wstring> a_first{a, a1, b}, b_first{b, a, a1};
    EXPECT_TRUE(got == a_first || got == b_first) << got[0] << L" " << got[1] << L" " << got[2];
    // The same tree by the host's path in Wine's own namespace, on no drive letter:
    // the walk compares the identities of the folders it enters, and finds them all.
    std::wstring host = L"\\\\?\\unix";
    for (const char* c = std::getenv("QM_SCRATCH_UNIX"); c && *c; ++c) host += *c == '/' ? L'\\' : wchar_t(*c);
    EXPECT_EQ(subdirs(host + L"\\" + qmtest::test_name()).size(), 3u);

    // A link back to an ancestor (made by the system, or by the test run as a link
    // of the host's file system): listed, not walked into.
    std::wstring top = folder, link = a1 + L"\\up";
    if (!CreateSymbolicLinkW(link.c_str(), folder.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) || !qmtest::exists(link)) {
        RemoveDirectoryW(link.c_str());
        top = qmtest::scratch() + L"cycle";
        link = top + L"\\inner\\up";
        ASSERT_TRUE(qmtest::exists(link));
    }
    got = subdirs(top);
    EXPECT_NE(std::find(got.begin(), got.end(), link), got.end());
    EXPECT_LE(got.size(), 5u);
}

// The thread's visible top-level windows, with their sizes, while a walk lets
// the message loop run: the walk's progress window shows in between.
// The sizes of this thread's windows each time one is shown or moved while shown:
// told by the window procedure's return, so no showing is missed however short.
struct WindowSpy {
    static inline std::vector<SIZE> seen;
    static LRESULT CALLBACK returned(int code, WPARAM w, LPARAM l) {
        const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(l);
        RECT r;
        if (code == HC_ACTION && m->message == WM_WINDOWPOSCHANGED && IsWindowVisible(m->hwnd) &&
            GetWindowRect(m->hwnd, &r))
            seen.push_back({r.right - r.left, r.bottom - r.top});
        return CallNextHookEx(nullptr, code, w, l);
    }
    HHOOK hook;
    WindowSpy() : hook(SetWindowsHookExW(WH_CALLWNDPROCRET, returned, nullptr, GetCurrentThreadId())) { seen.clear(); }
    ~WindowSpy() { UnhookWindowsHookEx(hook); }
};

int visible_thread_windows() {
    int n = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) CALLBACK -> BOOL {
            if (IsWindowVisible(h)) ++*reinterpret_cast<int*>(p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    return n;
}

TEST_F(DirectoryWalkTest, FindFoldersAndFiles) {
    make({L"x", L"y", L"y\\Target", L"ab"}, {L"x\\target", L"y\\Target\\inner.TXT"});
    ComPtr<_File> file = qmtest::create(L"Quillmark.File").query<_File>();
    ASSERT_TRUE(file);
    const struct {
        const wchar_t* name;
        const wchar_t* start;  // below folder; nullptr: ""
        bool files;
        std::wstring expected;
    } cases[] = {
        {L"TARGET", L"", false, folder + L"\\y\\Target"},  // the folder, not the file of that name
        {L"target", L"\\x", false, L""},
        {L"a*", L"", false, L""},  // wildcards are literal
        {L"ab", nullptr, false, L""},  // no start and no drives: nothing searched
        {L"INNER.txt", L"", true, folder + L"\\y\\Target\\inner.TXT"},
        {L"target", L"\\x\\", true, folder + L"\\x\\target"},
        {L"*.txt", L"", true, L""},
    };
    for (bool progress : {false, true}) {
        for (const auto& c : cases) {
            Bstr found;
            VARIANT_BOOL all = VARIANT_FALSE, show = progress ? VARIANT_TRUE : VARIANT_FALSE;
            const Bstr start(c.start ? folder + c.start : L"");
            const Bstr name(c.name);
            if (c.files)
                ASSERT_EQ(file->Find(name.get(), start.get(), &all, &show, found.put()), S_OK);
            else
                ASSERT_EQ(dir->Find(name.get(), start.get(), &all, &show, found.put()), S_OK);
            EXPECT_EQ(found.str(), c.expected) << c.name;
            EXPECT_EQ(visible_thread_windows(), 0) << c.name;  // the progress window is gone
        }
    }
}

TEST_F(DirectoryWalkTest, InfoCountsAndSizes) {
    make({L"sub", L"sub\\deep", L"empty"}, {L"a.txt", L"sub\\b.txt", L"sub\\deep\\c.txt"});
    SetFileAttributesW((folder + L"\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // 3 GiB without writing them: the whole length counts.
    HANDLE big = CreateFileW((folder + L"\\sub\\big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    size.QuadPart = 3LL << 30;
    ASSERT_TRUE(SetFilePointerEx(big, size, nullptr, FILE_BEGIN) && SetEndOfFile(big));
    CloseHandle(big);

    const struct {
        const wchar_t* path;
        bool deep;
        long files, folders;
        double kilobytes;
    } cases[] = {
        {L"", false, 1, 2, 0.0},  // 5 bytes: 0.00 KB
        {L"", true, 4, 3, 3145728.01},  // 3 GiB and 15 bytes
        {L"\\sub", false, 2, 1, 3145728.0},
        {L"\\empty", true, 0, 0, 0.0},
    };
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    for (bool progress : {false, true}) {
        for (const auto& c : cases) {
            const std::wstring path = folder + c.path;
            DIRECTORYINFO info{};
            WindowSpy spy;
            ASSERT_EQ(dir->Get_DirectoryInfo(Bstr(path).get(), c.deep ? VARIANT_TRUE : VARIANT_FALSE,
                                             progress ? VARIANT_TRUE : VARIANT_FALSE, &info),
                      S_OK);
            EXPECT_EQ(text_of(info.DirectoryPath), path + L"\\");
            EXPECT_EQ(info.FileCount, c.files) << c.path;
            EXPECT_EQ(info.DirectoryCount, c.folders) << c.path;
            EXPECT_DOUBLE_EQ(CDbl(info.DirectorySize), c.kilobytes) << c.path;
            EXPECT_NE(std::wstring(text_of(info.Owner)).find(L'\\'), std::wstring::npos);
            Variant size_only;
            VARIANT_BOOL show = VARIANT_FALSE;
            ASSERT_EQ(dir->Get_DirectorySize(Bstr(path).get(), c.deep ? VARIANT_TRUE : VARIANT_FALSE, &show,
                                             size_only.get()),
                      S_OK);
            EXPECT_DOUBLE_EQ(CDbl(*size_only.get()), c.kilobytes);
            SysFreeString(info.DirectoryPath), SysFreeString(info.Owner), VariantClear(&info.DirectorySize);
            EXPECT_EQ(visible_thread_windows(), 0);
            if (progress && c.folders > 0) {  // 8070 x 800 twips, shown once per folder
                const bool shown = std::any_of(spy.seen.begin(), spy.seen.end(),
                                               [&](SIZE s) { return std::abs(s.cx - 8070 * dpi / 1440) <= 2; });
                EXPECT_TRUE(shown) << c.path;
            }
        }
    }
    DeleteFileW((folder + L"\\sub\\big.bin").c_str());

    DIRECTORYINFO none{};
    ASSERT_EQ(dir->Get_DirectoryInfo(Bstr(folder + L"\\absent").get(), VARIANT_TRUE, VARIANT_FALSE, &none), S_OK);
    EXPECT_EQ(text_of(none.DirectoryPath), L"");
    EXPECT_EQ(V_VT(&none.DirectorySize), VT_EMPTY);
    EXPECT_EQ(none.FileCount + none.DirectoryCount, 0);
    SysFreeString(none.DirectoryPath), SysFreeString(none.Owner);
}

TEST_F(DirectoryWalkTest, DeletingAroundAHeldFile) {
    const auto build = [&] {
        make({L"x", L"y", L"z", L"z\\inner"}, {L"x\\a", L"y\\held", L"z\\inner\\b", L"top.txt"});
        SetFileAttributesW((folder + L"\\z\\inner\\b").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    };
    build();
    HANDLE held = CreateFileW((folder + L"\\y\\held").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    long r = -1;
    VARIANT_BOOL all = VARIANT_FALSE;
    // No name given: nothing goes.
    ASSERT_EQ(dir->DirectoryDeleteSubDirs(Bstr(folder).get(), *Variant().get(), &all, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(qmtest::entries(folder + L"\\"), 4);
    // All: the held folder stays, its failure is the result, the others go.
    all = VARIANT_TRUE;
    ASSERT_EQ(dir->DirectoryDeleteSubDirs(Bstr(folder).get(), *Variant().get(), &all, &r), S_OK);
    EXPECT_NE(r, 0);
    EXPECT_TRUE(qmtest::exists(folder + L"\\y\\held"));
    EXPECT_FALSE(qmtest::exists(folder + L"\\x"));
    EXPECT_TRUE(qmtest::exists(folder + L"\\z"));  // read-only content stays with the library's deletion
    EXPECT_TRUE(qmtest::exists(folder + L"\\top.txt"));

    // DelTree: everything but the held file and its folders.
    build();
    ASSERT_EQ(dir->DelTree(Bstr(folder).get()), S_OK);
    EXPECT_EQ(qmtest::entries(folder + L"\\"), 1);
    EXPECT_EQ(qmtest::entries(folder + L"\\y\\"), 1);
    // Delete: the held file fails it; once free, read-only content goes too.
    build();
    ASSERT_EQ(dir->Delete(Bstr(folder + L"\\").get(), VARIANT_FALSE, &r), S_OK);
    EXPECT_NE(r, 0);
    CloseHandle(held);
    build();
    ASSERT_EQ(dir->Delete(Bstr(folder + L"\\z").get(), VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(r, 75);
    EXPECT_TRUE(qmtest::exists(folder + L"\\z"));
    ASSERT_EQ(dir->Delete(Bstr(folder).get(), VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(qmtest::exists(folder));
    ASSERT_EQ(dir->Delete(Bstr(folder).get(), VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 76);
}

TEST_F(DirectoryWalkTest, AccessProbe) {
    const auto probe = [&](const std::wstring& path, long& error) {
        DIRECTORYACCESSINFO info{};
        EXPECT_EQ(dir->DirectoryIsAccesable(Bstr(path).get(), &error, &info), S_OK);
        return std::vector<VARIANT_BOOL>{info.CanReadDirectory, info.CanOpenFiles,   info.CanWriteFiles,
                                         info.CanDeleteFiles,   info.CanCreateDirs, info.CanDeleteDirs};
    };
    long error = -1;
    EXPECT_EQ(probe(folder, error), std::vector<VARIANT_BOOL>(6, VARIANT_TRUE));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(qmtest::entries(folder + L"\\"), 0);  // nothing left behind
    EXPECT_EQ(probe(folder + L"\\absent", error), std::vector<VARIANT_BOOL>(6, VARIANT_FALSE));
}

// Windows of other tests' processes come and go meanwhile: only the file
// manager's own are the test's to close.
bool of_explorer(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!p) return false;
    wchar_t image[MAX_PATH] = {};
    DWORD n = MAX_PATH;
    const bool ok = QueryFullProcessImageNameW(p, 0, image, &n);
    CloseHandle(p);
    const wchar_t* name = wcsrchr(image, L'\\');
    return ok && _wcsicmp(name ? name + 1 : image, L"explorer.exe") == 0;
}

TEST_F(DirectoryWalkTest, OpenPathStartsTheFileManager) {
    VARIANT_BOOL r = VARIANT_TRUE, root = VARIANT_TRUE;
    Bstr item(L"x.txt");
    BSTR item_arg = item.get();
    ASSERT_EQ(dir->OpenPath(Bstr(folder + L"\\absent").get(), &item_arg, &root, &r), S_OK);
    EXPECT_FALSE(r);
    // An item with a quote (no name holds one) would end its argument: nothing starts.
    Bstr quoted(L"x\",/root,\"C:");
    item_arg = quoted.get();
    r = VARIANT_TRUE;
    ASSERT_EQ(dir->OpenPath(Bstr(folder).get(), &item_arg, &root, &r), S_OK);
    EXPECT_FALSE(r);

    // The file manager's window: found by its process, closed by the test.
    const std::wstring with_comma = folder + L"\\a,b";
    CreateDirectoryW(with_comma.c_str(), nullptr);
    std::vector<HWND> before;
    EnumWindows([](HWND h, LPARAM p) CALLBACK { return reinterpret_cast<std::vector<HWND>*>(p)->push_back(h), TRUE; },
                reinterpret_cast<LPARAM>(&before));
    root = VARIANT_FALSE;
    ASSERT_EQ(dir->OpenPath(Bstr(with_comma).get(), nullptr, &root, &r), S_OK);
    EXPECT_TRUE(r);
    std::vector<HWND> opened;
    for (int i = 0; i < 100 && opened.empty(); ++i) {
        Sleep(100);
        std::vector<HWND> now;
        EnumWindows([](HWND h, LPARAM p) CALLBACK { return reinterpret_cast<std::vector<HWND>*>(p)->push_back(h), TRUE; },
                    reinterpret_cast<LPARAM>(&now));
        for (HWND h : now)
            if (IsWindowVisible(h) && std::find(before.begin(), before.end(), h) == before.end() && of_explorer(h))
                opened.push_back(h);
    }
    EXPECT_FALSE(opened.empty());
    for (HWND h : opened) PostMessageW(h, WM_CLOSE, 0, 0);
}

}  // namespace
