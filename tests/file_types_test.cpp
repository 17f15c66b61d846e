// File: extensions registered in the classes root (names of the tests' own,
// removed after), cabinet and installer-package extraction, running programs.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/ansi.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;

namespace {

std::wstring type_name(const wchar_t* name) {
    SHFILEINFOW info{};
    SHGetFileInfoW(name, 0, &info, sizeof(info), SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    return info.szTypeName;
}

std::wstring default_value(const std::wstring& key) {
    wchar_t value[512] = {};
    LONG size = sizeof(value);
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return L"<missing>";
    return value;
}

class FileTypesTest : public testing::Test {
protected:
    void SetUp() override {
        file = create(L"Quillmark.File").query<_File>();
        ASSERT_TRUE(file);
        dir = scratch() + L"file types " + test_name() + L"\\";
        CreateDirectoryW(dir.c_str(), nullptr);
        wipe(dir);
    }
    bool yes(HRESULT hr, const VARIANT_BOOL& b) {
        EXPECT_EQ(hr, S_OK);
        return b != VARIANT_FALSE;
    }
    bool is_registered(const wchar_t* prefix) {
        VARIANT_BOOL r = 0;
        return yes(file->FileType_IsRegistered(Bstr(prefix).get(), &r), r);
    }
    bool running(const std::wstring& name, bool full) {
        VARIANT_BOOL path = full ? VARIANT_TRUE : VARIANT_FALSE, r = 0;
        return yes(file->isEXERunning(Bstr(name).get(), &path, &r), r);
    }
    ComPtr<_File> file;
    std::wstring dir;
};

constexpr const wchar_t* kProgId = L"QuillmarkTest.mytext";
constexpr const wchar_t* kExt = L"qmtx";

TEST_F(FileTypesTest, RegisterExtensionWritesTheFourEntriesAndTheTypeIsListed) {
    Bstr icon(L"C:\\ed.exe   ");
    BSTR icon_ref = icon.get();
    long id = 2;
    VARIANT_BOOL r = 0;
    EXPECT_TRUE(yes(file->RegisterExtension(Bstr(L"My Text").get(), Bstr(L"C:\\ed.exe").get(), Bstr(kProgId).get(),
                                            Bstr(kExt).get(), &icon_ref, &id, &r),
                    r));
    Bstr written = Bstr::attach(icon_ref);
    (void)icon.detach();  // the member freed it
    EXPECT_EQ(written.str(), L"C:\\ed.exe,2");
    const std::wstring prog(kProgId);
    EXPECT_EQ(default_value(prog), L"My Text");
    EXPECT_EQ(default_value(prog + L"\\DefaultIcon"), L"C:\\ed.exe,2");
    EXPECT_EQ(default_value(L"." + std::wstring(kExt)), prog);
    EXPECT_EQ(default_value(prog + L"\\shell\\open\\command"), L"C:\\ed.exe %1");

    // The list has the new extension with the shell's type name, 0-based.
    SAFEARRAY* list = nullptr;
    ASSERT_EQ(file->Get_RegisteredFileTypes(&list), S_OK);
    ASSERT_TRUE(list);
    long lower = -1;
    SafeArrayGetLBound(list, 1, &lower);
    EXPECT_EQ(lower, 0);
    REGISTEREDFILETYPEINFO* entries = nullptr;
    SafeArrayAccessData(list, reinterpret_cast<void**>(&entries));
    int found = 0;
    for (ULONG i = 0; i < list->rgsabound[0].cElements; ++i) {
        EXPECT_EQ(entries[i].Prefix[0], L'.');
        if (std::wstring(entries[i].Prefix) == L".qmtx") {
            ++found;
            EXPECT_STREQ(entries[i].Description, type_name(L".qmtx").c_str());
        }
    }
    SafeArrayUnaccessData(list);
    SafeArrayDestroy(list);
    EXPECT_EQ(found, 1);

    // The lookups: any case, with or without the leading dot.
    for (const wchar_t* prefix : {L"QMTX", L"qmtx", L".qmtx", L".QmTx"}) EXPECT_TRUE(is_registered(prefix)) << prefix;
    for (const wchar_t* prefix : {L"qmnone", L".qmnone", L"", L"."}) EXPECT_FALSE(is_registered(prefix)) << prefix;
    Bstr d;
    ASSERT_EQ(file->Get_FileTypeDescription(Bstr(L"C:\\a\\b.QMTX").get(), d.put()), S_OK);
    EXPECT_EQ(d.str(), type_name(L".qmtx"));
    EXPECT_FALSE(d.empty());
    ASSERT_EQ(file->Get_FileTypeDescription(Bstr(L"C:\\a.qmtx\\b").get(), d.put()), S_OK);
    EXPECT_EQ(d.str(), L"");

    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L".qmtx");
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kProgId);
    EXPECT_FALSE(is_registered(L"qmtx"));

    // A type name the registry refuses (too long for a key): False, though the
    // extension's entry was written.
    VARIANT_BOOL r2 = -1;
    EXPECT_FALSE(yes(file->RegisterExtension(Bstr(L"Long").get(), Bstr(L"C:\\ed.exe").get(),
                                             Bstr(std::wstring(300, L'q')).get(), Bstr(L"qmtx2").get(), nullptr,
                                             nullptr, &r2),
                     r2));
    EXPECT_EQ(default_value(L".qmtx2"), std::wstring(300, L'q'));
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L".qmtx2");
}

// An extension that only the other half of 64-bit Windows registers is listed and
// found, with the shell's type name; one that both halves register is listed once.
TEST_F(FileTypesTest, ExtensionsOfEitherHalfAreListedOnce) {
    const REGSAM own = kOtherView ^ (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    const struct {
        const wchar_t *key, *value;
        REGSAM view;
    } keys[] = {{L".qmvwother", kProgId, kOtherView}, {L".qmvwboth", kProgId, kOtherView},
                {L".qmvwboth", kProgId, own},         {kProgId, L"Qm View", kOtherView},
                {kProgId, L"Qm View", own}};
    for (const auto& k : keys) {
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, k.key, 0, nullptr, 0, KEY_WRITE | k.view, nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(k.value),
                       static_cast<DWORD>((wcslen(k.value) + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
    }
    qm::SafeArray list(VT_RECORD);
    ASSERT_EQ(file->Get_RegisteredFileTypes(list.put()), S_OK);
    const bool other_found = is_registered(L"QMVWOTHER");
    Bstr d;
    ASSERT_EQ(file->Get_FileTypeDescription(Bstr(L"C:\\a\\b.qmvwother").get(), d.put()), S_OK);
    const std::wstring other_name = type_name(L".qmvwother"), both_name = type_name(L".qmvwboth");
    for (const auto& k : keys) RegDeleteKeyExW(HKEY_CLASSES_ROOT, k.key, k.view, 0);

    EXPECT_TRUE(other_found);
    EXPECT_FALSE(other_name.empty());
    EXPECT_EQ(d.str(), other_name);
    for (const auto& [ext, name] : {std::pair{L".qmvwother", other_name}, std::pair{L".qmvwboth", both_name}}) {
        int found = 0;
        for (long i = 0; i < list.count(); ++i) {
            const REGISTEREDFILETYPEINFO& t = list.at<REGISTEREDFILETYPEINFO>(list.lbound() + i);
            if (std::wstring(t.Prefix) != ext) continue;
            ++found;
            EXPECT_EQ(std::wstring(t.Description), name);
        }
        EXPECT_EQ(found, 1) << ext;
    }
}

TEST_F(FileTypesTest, CabinetGivesOnlyTheNamedFile) {
    const std::wstring cab = test_folder() + L"packages\\two.cab";
    ASSERT_TRUE(exists(cab));
    VARIANT_BOOL r = 0;
    const std::wstring out = dir + L"cab out";
    CreateDirectoryW(out.c_str(), nullptr);
    EXPECT_TRUE(yes(file->CABfile_Extract(Bstr(cab).get(), Bstr(L"two.txt").get(), Bstr(out).get(), &r), r));
    EXPECT_EQ(read_bytes(out + L"\\two.txt"), "two\r\n");
    EXPECT_EQ(entries(out + L"\\"), 1);
    EXPECT_FALSE(yes(file->CABfile_Extract(Bstr(dir + L"none.cab").get(), Bstr(L"two.txt").get(), Bstr(out).get(), &r),
                     r));
}

// Wine's installer does no administrative installs: a stand-in named like it,
// found in the current folder, records how it was started and ends.
TEST_F(FileTypesTest, InstallerPackageCommandQuotesBothPathsAndWaits) {
    const std::wstring stand_in = dir + L"msiexec.exe";
    ASSERT_TRUE(CopyFileW((test_folder() + L"qmprog.exe").c_str(), stand_in.c_str(), FALSE));
    const std::wstring msi = dir + L"my package.msi", out = dir + L"msi out\\mit Leerzeichen";
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(dir.c_str());
    const HRESULT hr = file->MSI_Extract(Bstr(msi).get(), Bstr(out + L"\\").get());
    SetCurrentDirectoryW(before);
    EXPECT_EQ(hr, S_OK);
    const DWORD attributes = GetFileAttributesW(out.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    const std::string expected = "1\nmsiexec /a \"" + qm::to_ansi(msi) + "\" /qb TARGETDIR=\"" + qm::to_ansi(out) + "\"";
    EXPECT_EQ(read_bytes(stand_in + L".started"), expected);
    // A path with a quote (no name holds one) would end its value: refused, nothing made.
    EXPECT_EQ(file->MSI_Extract(Bstr(msi).get(), Bstr(dir + L"q\" /i x.msi \"").get()),
              static_cast<HRESULT>(0x800A0034));
}

TEST_F(FileTypesTest, RunningProgramByNameOrFullPath) {
    // A copy of the helper program under a name no other test runs.
    const std::wstring exe = dir + L"qmrunning.exe", stop = dir + L"stop";
    ASSERT_TRUE(CopyFileW((test_folder() + L"qmprog.exe").c_str(), exe.c_str(), FALSE));
    std::wstring line = L"\"" + exe + L"\" until \"" + stop + L"\"";
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_TRUE(running(L"qmrunning.exe", false));
    EXPECT_TRUE(running(L"QMRUNNING.EXE", false));
    EXPECT_TRUE(running(exe, true));
    EXPECT_FALSE(running(L"qmrunning.exe", true));
    EXPECT_FALSE(running(exe, false));
    write_bytes(stop, "");
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_FALSE(running(L"qmrunning.exe", false));
}

}  // namespace
