// Self-registration writes exactly the keys the classes need, and
// unregistration leaves nothing behind. Re-registers the DLL at the end.
#include <gtest/gtest.h>

#include <string>

#include "frame/classes.h"
#include "runtime/interfaces.h"

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
    }
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

}  // namespace
