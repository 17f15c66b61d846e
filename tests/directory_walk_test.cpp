// Directory: the recursive walks (subfolder list, search, statistics) and the
// deleting members, on trees built in the scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
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

    // A link back to an ancestor (made by the system, or by the test run as a link
    // of the host's file system, which looks like a plain folder): listed, not walked into.
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

}  // namespace
