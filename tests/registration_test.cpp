// Self-registration writes exactly the keys the classes need, and
// unregistration leaves nothing behind, or, with the other build registered
// beside it on 64-bit Windows, nothing of its own. Re-registers the DLLs at the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frame/classes.h"
#include "runtime/com_ptr.h"
#include "runtime/interfaces.h"
#include "process_objects.h"

namespace {

std::wstring guid_text(REFGUID g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

bool key_exists(const std::wstring& key) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

std::wstring value(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof(buf);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

constexpr bool k64 = sizeof(void*) == 8;

bool on_64bit_windows() {
    BOOL wow64 = FALSE;
    return k64 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

// The other build's folder beside this one's (…\win64\tests\x.exe, …\win32\).
std::wstring other_build() {
    wchar_t path[MAX_PATH];
    std::wstring p(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    p.resize(p.rfind(L'\\'));  // …\win64\tests
    p.resize(p.rfind(L'\\'));  // …\win64
    p.resize(p.rfind(L'\\') + 1);
    return p + (k64 ? L"win32\\" : L"win64\\");
}

// The other bitness's regsvr32: a 32-bit process reaches the 64-bit system folder as sysnative.
std::wstring other_regsvr32() {
    return k64 ? L"C:\\windows\\syswow64\\regsvr32.exe" : L"C:\\windows\\sysnative\\regsvr32.exe";
}

// Runs a program of the other bitness and gives its exit code (~0 when it did not end).
DWORD run(const std::wstring& program, const std::wstring& args) {
    std::wstring line = L"\"" + program + L"\" " + args;
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return ~0u;
    DWORD code = ~0u;
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

bool other_build_registered() {
    HKEY h;
    const std::wstring key = L"CLSID\\" + guid_text(CLSID_Misc) + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | (k64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY), &h) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

bool other_build_runs() {
    return on_64bit_windows() && GetFileAttributesW((other_build() + L"Quillmark.dll").c_str()) != INVALID_FILE_ATTRIBUTES &&
           run(other_regsvr32(), L"/s \"" + other_build() + L"Quillmark.dll\"") == 0;
}

class Registration : public testing::Test {
protected:
    void SetUp() override {
        std::wstring clsid = L"CLSID\\" + guid_text(CLSID_Misc) + L"\\InprocServer32";
        path_ = value(clsid);
        dll_ = LoadLibraryW(path_.c_str());
        ASSERT_TRUE(dll_) << "the DLL is registered before the tests run";
        reg_ = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(dll_, "DllRegisterServer"));
        unreg_ = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(dll_, "DllUnregisterServer"));
        ASSERT_TRUE(reg_ && unreg_);
    }
    void TearDown() override {
        if (reg_) {
            EXPECT_EQ(reg_(), S_OK);
        }
        if (dll_) FreeLibrary(dll_);
        if (other_unregistered_) {
            EXPECT_EQ(run(other_regsvr32(), L"/s \"" + other_build() + L"Quillmark.dll\""), 0u);
        }
    }
    // Unregisters the other build for a test that needs this one alone; TearDown registers it again.
    void other_alone() {
        if (!other_build_registered()) return;
        other_unregistered_ = true;
        ASSERT_EQ(run(other_regsvr32(), L"/s /u \"" + other_build() + L"Quillmark.dll\""), 0u);
    }
    bool other_unregistered_ = false;
    std::wstring path_;
    HMODULE dll_ = nullptr;
    HRESULT(WINAPI* reg_)() = nullptr;
    HRESULT(WINAPI* unreg_)() = nullptr;
};

TEST_F(Registration, WritesProgIdsClassesAndTheTypeLibrary) {
    ASSERT_EQ(reg_(), S_OK);
    for (const auto& c : qm::classes()) {
        std::wstring progid = std::wstring(L"Quillmark.") + c.name;
        std::wstring clsid = L"CLSID\\" + guid_text(*c.clsid);
        EXPECT_EQ(value(progid + L"\\CLSID"), guid_text(*c.clsid)) << c.name;
        EXPECT_EQ(value(clsid), progid);
        EXPECT_EQ(value(clsid + L"\\InprocServer32"), path_);
        EXPECT_EQ(value(clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(value(clsid + L"\\ProgID"), progid);
        EXPECT_EQ(value(clsid + L"\\TypeLib"), guid_text(LIBID_Quillmark));
        EXPECT_EQ(value(clsid + L"\\Version"), L"1.0");
        EXPECT_TRUE(key_exists(L"Interface\\" + guid_text(*c.iid))) << c.name;
    }
    EXPECT_EQ(value(L"TypeLib\\" + guid_text(LIBID_Quillmark) + L"\\1.0"), L"Quillmark");
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_Quillmark, 1, 0, 0, &lib), S_OK);
    lib->Release();
}

TEST_F(Registration, UnregisterLeavesNoKeyBehind) {
    other_alone();
    ASSERT_EQ(unreg_(), S_OK);
    for (const auto& c : qm::classes()) {
        EXPECT_FALSE(key_exists(std::wstring(L"Quillmark.") + c.name)) << c.name;
        EXPECT_FALSE(key_exists(L"CLSID\\" + guid_text(*c.clsid))) << c.name;
        EXPECT_FALSE(key_exists(L"Interface\\" + guid_text(*c.iid))) << c.name;
    }
    EXPECT_FALSE(key_exists(L"TypeLib\\" + guid_text(LIBID_Quillmark)));
    // Unregistering twice is harmless.
    EXPECT_EQ(unreg_(), S_OK);
}

// What a client of this build's bitness needs: the class by ProgID and by CLSID,
// its interface from the vtable and by name, and the type library of its bitness.
TEST_F(Registration, ThisBuildIsRegisteredAndBinds) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Quillmark.Misc", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Misc));
    qm::ComPtr<_Misc> misc;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__Misc, misc.put_void()), S_OK);
    BSTR early = nullptr;
    EXPECT_EQ(misc->Verison(&early), S_OK);
    EXPECT_GT(SysStringLen(early), 0u);
    SysFreeString(early);
    LPOLESTR name = const_cast<LPOLESTR>(L"Verison");
    DISPID id = 0;
    ASSERT_EQ(misc->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    DISPPARAMS none{};
    VARIANT late;
    VariantInit(&late);
    EXPECT_EQ(misc->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &late, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_VT(&late), VT_BSTR);
    VariantClear(&late);
    BSTR lib = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_Quillmark, 1, 0, LOCALE_NEUTRAL, &lib), S_OK);
    std::wstring lib_path(lib, SysStringLen(lib));
    if (lib_path.starts_with(L"\\\\?\\")) lib_path.erase(0, 4);
    EXPECT_EQ(lib_path, path_);
    SysFreeString(lib);
}

// Both builds side by side: unregistering this one leaves the other working for
// its own clients, early- and late-bound (the other build's run checks the
// other order).
TEST_F(Registration, UnregisteringBesideTheOtherBuildLeavesItWorking) {
    if (!other_build_runs()) GTEST_SKIP() << "no other build registers here (32-bit Windows, or it was not built)";
    ASSERT_EQ(reg_(), S_OK);
    const qmtest::ObjectCounts before = qmtest::process_objects();
    ASSERT_EQ(unreg_(), S_OK);
    // Looking for the other build's classes keeps no handle open.
    EXPECT_EQ(qmtest::growth(before, qmtest::process_objects()), L"");
    const std::wstring lib = L"TypeLib\\" + guid_text(LIBID_Quillmark) + L"\\1.0\\0\\";
    for (const auto& c : qm::classes()) {
        EXPECT_FALSE(key_exists(L"CLSID\\" + guid_text(*c.clsid))) << c.name;
        EXPECT_EQ(value(std::wstring(L"Quillmark.") + c.name + L"\\CLSID"), guid_text(*c.clsid)) << c.name;
        EXPECT_TRUE(key_exists(L"Interface\\" + guid_text(*c.iid))) << c.name;
    }
    EXPECT_FALSE(key_exists(lib + (k64 ? L"win64" : L"win32")));
    EXPECT_TRUE(key_exists(lib + (k64 ? L"win32" : L"win64")));
    // Its report says that the case ran and passed (a filter that matches nothing passes too).
    wchar_t temp[MAX_PATH], report[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetTempFileNameW(temp, L"qmr", 0, report);
    EXPECT_EQ(run(other_build() + L"tests\\registration_test.exe",
                  L"--gtest_filter=Registration.ThisBuildIsRegisteredAndBinds --gtest_output=json:" + std::wstring(report)),
              0u);
    std::string json;
    if (FILE* f = _wfopen(report, L"rb")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) json.append(buf, n);
        fclose(f);
    }
    DeleteFileW(report);
    EXPECT_NE(json.find("\"tests\": 1,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"failures\": 0,"), std::string::npos) << json;
}

}  // namespace
