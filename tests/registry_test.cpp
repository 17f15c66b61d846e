// Registry: keys and values created, read, listed, exported and deleted under
// the test key HKCU\Software\QuillmarkTest\registry only.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using namespace qmtest;

namespace {

const wchar_t kBase[] = L"Software\\QuillmarkTest\\registry";
const RegRoot kUser = HKEY_CURRENT_USER_;

std::wstring sub(const wchar_t* path) { return std::wstring(kBase) + L"\\" + path; }

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
        disp_ = create(L"Quillmark.Registry");
        ASSERT_TRUE(disp_);
        reg_ = disp_.query<_Registry>();
        ASSERT_TRUE(reg_);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kBase); }

    // A value written straight through the system.
    void put(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY h;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, sub(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(h);
    }
    void put_text(const wchar_t* key, const wchar_t* name, DWORD type, const std::wstring& text) {
        put(key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    // A value read straight through the system: false when it is not there.
    bool raw(const wchar_t* key, const wchar_t* name, DWORD& type, std::vector<BYTE>& data) {
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, sub(key).c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                         &size) != ERROR_SUCCESS)
            return false;
        data.resize(size);
        return RegGetValueW(HKEY_CURRENT_USER, sub(key).c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                            data.data(), &size) == ERROR_SUCCESS;
    }
    bool key_exists(const wchar_t* key) {
        HKEY h;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, sub(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
        RegCloseKey(h);
        return true;
    }

    bool set(const wchar_t* key, const wchar_t* name, const Variant& value) {
        VARIANT_BOOL ok = 0;
        EXPECT_EQ(reg_->ValueSet(kUser, Bstr(sub(key)).get(), Bstr(name).get(), *value.get(), &ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    Variant get(const wchar_t* key, const wchar_t* name, BSTR* returned = nullptr) {
        Variant v;
        EXPECT_EQ(reg_->ValueGet(kUser, Bstr(sub(key)).get(), Bstr(name).get(), returned, v.put()), S_OK);
        return v;
    }

    ComPtr<IDispatch> disp_;
    ComPtr<_Registry> reg_;
};

std::vector<std::wstring> key_names(SafeArray& list) {
    std::vector<std::wstring> names;
    for (long i = 0; i < list.count(); ++i) names.emplace_back(Bstr::view_of(list.at<REGKEY>(i).Key));
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(RegistryTest, KeyCreateMakesEveryLevelAndSetsTheDefaultValueOnlyWhenGiven) {
    VARIANT_BOOL ok = 0;
    Variant empty(L"");
    ASSERT_EQ(reg_->KeyCreate(kUser, Bstr(sub(L"a\\b\\c")).get(), empty.get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(key_exists(L"a\\b\\c"));
    DWORD type;
    std::vector<BYTE> data;
    EXPECT_FALSE(raw(L"a\\b\\c", nullptr, type, data));  // "" writes no default value

    ASSERT_EQ(reg_->KeyCreate(kUser, Bstr(sub(L"a\\b\\c")).get(), nullptr, &ok), S_OK);  // omitted, key exists
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_FALSE(raw(L"a\\b\\c", nullptr, type, data));

    Variant text(L"Standard");
    ASSERT_EQ(reg_->KeyCreate(kUser, Bstr(sub(L"d")).get(), text.get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    ASSERT_TRUE(raw(L"d", nullptr, type, data));
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(data.data())), L"Standard");

    ASSERT_EQ(reg_->KeyExist(kUser, Bstr(sub(L"a\\b")).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    ASSERT_EQ(reg_->KeyExist(kUser, Bstr(sub(L"nope")).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);

    ASSERT_EQ(reg_->KeyDelete(kUser, Bstr(sub(L"a\\b\\c")).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_FALSE(key_exists(L"a\\b\\c"));
    ASSERT_EQ(reg_->KeyDelete(kUser, Bstr(sub(L"a\\b\\c")).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(RegistryTest, ValueSetChoosesTheTypeByTheVariant) {
    DWORD type;
    std::vector<BYTE> data;
    EXPECT_TRUE(set(L"v", L"long", Variant(5L)));
    ASSERT_TRUE(raw(L"v", L"long", type, data));
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(*reinterpret_cast<LONG*>(data.data()), 5);

    EXPECT_TRUE(set(L"v", L"int", Variant(short(-2))));
    ASSERT_TRUE(raw(L"v", L"int", type, data));
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(*reinterpret_cast<LONG*>(data.data()), -2);

    EXPECT_TRUE(set(L"v", L"text", Variant(L"Grüße")));
    ASSERT_TRUE(raw(L"v", L"text", type, data));
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(data.size(), 6 * sizeof(wchar_t));  // with its terminator
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(data.data())), L"Grüße");

    EXPECT_TRUE(set(L"v", L"bool", Variant(true)));
    ASSERT_TRUE(raw(L"v", L"bool", type, data));
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(data.data())), L"True");
    EXPECT_TRUE(set(L"v", L"bool", Variant(false)));
    EXPECT_EQ(get(L"v", L"bool").get()->bstrVal, std::wstring(L"False"));

    Variant bytes = qm::byte_array(std::string("\x41\x00\x42", 3)).to_variant();
    EXPECT_TRUE(set(L"v", L"bin", bytes));
    ASSERT_TRUE(raw(L"v", L"bin", type, data));
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(data, (std::vector<BYTE>{0x41, 0x00, 0x42}));
}

TEST_F(RegistryTest, ValueSetWritesNothingForOtherTypesAndSaysSo) {
    DWORD type;
    std::vector<BYTE> data;
    EXPECT_FALSE(set(L"v", L"double", Variant(1.5)));
    EXPECT_FALSE(set(L"v", L"byte", Variant(BYTE(7))));
    EXPECT_FALSE(set(L"v", L"empty", Variant()));
    EXPECT_FALSE(set(L"v", L"date", Variant::date(45000.0)));
    EXPECT_FALSE(set(L"v", L"nobytes", qm::byte_array("").to_variant()));
    for (const wchar_t* name : {L"double", L"byte", L"empty", L"date", L"nobytes"})
        EXPECT_FALSE(raw(L"v", name, type, data)) << name;
    // The key is created all the same.
    EXPECT_FALSE(set(L"new\\level", L"double", Variant(1.5)));
    EXPECT_TRUE(key_exists(L"new\\level"));
    EXPECT_FALSE(raw(L"new\\level", L"double", type, data));

    // A by-reference Variant is looked through.
    Variant target(7L);
    VARIANT ref = v_ref(target);
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(reg_->ValueSet(kUser, Bstr(sub(L"v")).get(), Bstr(L"ref").get(), ref, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(V_I4(get(L"v", L"ref").get()), 7);
}

TEST_F(RegistryTest, ValueGetReadsByTheStoredType) {
    LONG five = 5;
    put(L"g", L"dword", REG_DWORD, &five, sizeof(five));
    put_text(L"g", L"sz", REG_SZ, L"Text mit Ä");
    put_text(L"g", L"expand", REG_EXPAND_SZ, L"%TEMP%\\x");
    put(L"g", L"multi", REG_MULTI_SZ, L"a\0b\0", 5 * sizeof(wchar_t));
    put(L"g", L"bin", REG_BINARY, "AB", 2);
    ULONGLONG big = 1;
    put(L"g", L"qword", REG_QWORD, &big, sizeof(big));
    put(L"g", L"unterminated", REG_SZ, L"abc", 3 * sizeof(wchar_t));
    put(L"g", L"nodata", REG_SZ, nullptr, 0);

    Variant v = get(L"g", L"dword");
    ASSERT_EQ(v.vt(), VT_I4);
    EXPECT_EQ(V_I4(v.get()), 5);
    v = get(L"g", L"sz");
    ASSERT_EQ(v.vt(), VT_BSTR);
    EXPECT_EQ(Bstr::view_of(V_BSTR(v.get())), L"Text mit Ä");
    EXPECT_EQ(Bstr::view_of(V_BSTR(get(L"g", L"expand").get())), L"%TEMP%\\x");  // not expanded
    EXPECT_EQ(Bstr::view_of(V_BSTR(get(L"g", L"unterminated").get())), L"abc");   // nothing cut off
    EXPECT_EQ(Bstr::view_of(V_BSTR(get(L"g", L"nodata").get())), L"");
    EXPECT_EQ(get(L"g", L"multi").vt(), VT_EMPTY);
    EXPECT_EQ(get(L"g", L"qword").vt(), VT_EMPTY);
    EXPECT_EQ(get(L"g", L"missing").vt(), VT_EMPTY);
    EXPECT_EQ(get(L"nokey", L"dword").vt(), VT_EMPTY);

    // Binary data: a Byte array, and its bytes appended to ReturnedData as characters.
    BSTR text = SysAllocString(L"pre");
    v = get(L"g", L"bin", &text);
    Bstr returned = Bstr::attach(text);
    ASSERT_EQ(v.vt(), VT_ARRAY | VT_UI1);
    SafeArray bytes = SafeArray::copy(V_ARRAY(v.get()), VT_UI1);
    EXPECT_EQ(bytes.lbound(), 0);
    ASSERT_EQ(bytes.ubound(), 1);
    EXPECT_EQ(bytes.at<BYTE>(0), 65);
    EXPECT_EQ(bytes.at<BYTE>(1), 66);
    EXPECT_EQ(returned.str(), L"preAB");
}

TEST_F(RegistryTest, ValueGetThroughDispatchWithAndWithoutReturnedData) {
    LONG five = 5;
    put(L"g", L"dword", REG_DWORD, &five, sizeof(five));
    put(L"g", L"bin", REG_BINARY, "\xE4", 1);
    Variant root(static_cast<long>(kUser)), key(sub(L"g")), dword(L"dword"), bin(L"bin"), result;
    ASSERT_EQ(call(disp_.get(), L"ValueGet", {root.get(), key.get(), dword.get()}, result.put()), S_OK);
    ASSERT_EQ(result.vt(), VT_I4);
    EXPECT_EQ(V_I4(result.get()), 5);

    Variant data(L"");
    VARIANT ref = v_ref(data);
    ASSERT_EQ(call(disp_.get(), L"ValueGet", {root.get(), key.get(), bin.get(), &ref}, result.put()), S_OK);
    EXPECT_EQ(result.vt(), VT_ARRAY | VT_UI1);
    ASSERT_EQ(data.vt(), VT_BSTR);
    EXPECT_EQ(Bstr::view_of(V_BSTR(data.get())), L"ä");  // the ANSI character 0xE4
}

TEST_F(RegistryTest, FieldDeleteRemovesOneValue) {
    LONG one = 1;
    put(L"f", L"a", REG_DWORD, &one, sizeof(one));
    put(L"f", L"b", REG_DWORD, &one, sizeof(one));
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(reg_->FieldDelete(kUser, Bstr(sub(L"f")).get(), Bstr(L"a").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    DWORD type;
    std::vector<BYTE> data;
    EXPECT_FALSE(raw(L"f", L"a", type, data));
    EXPECT_TRUE(raw(L"f", L"b", type, data));
    ASSERT_EQ(reg_->FieldDelete(kUser, Bstr(sub(L"f")).get(), Bstr(L"a").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    ASSERT_EQ(reg_->FieldDelete(kUser, Bstr(sub(L"nokey")).get(), Bstr(L"b").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(RegistryTest, EnumKeyListsTheDirectSubkeys) {
    for (const wchar_t* k : {L"e\\one", L"e\\two\\deeper", L"e\\three"}) put_text(k, L"x", REG_SZ, L"1");
    SafeArray list(VT_RECORD);
    ASSERT_EQ(reg_->EnumKey(kUser, Bstr(sub(L"e")).get(), list.put()), S_OK);
    ASSERT_TRUE(list.dimensioned());
    EXPECT_EQ(list.lbound(), 0);
    EXPECT_EQ(key_names(list), (std::vector<std::wstring>{L"one", L"three", L"two"}));

    ASSERT_EQ(reg_->EnumKey(kUser, Bstr(sub(L"e\\one")).get(), list.put()), S_OK);
    EXPECT_FALSE(list.dimensioned());  // no subkeys
    ASSERT_EQ(reg_->EnumKey(kUser, Bstr(sub(L"none")).get(), list.put()), S_OK);
    EXPECT_FALSE(list.dimensioned());  // no key
}

TEST_F(RegistryTest, EnumValueShowsTheDataAsTextAndSkipsEmptyData) {
    LONG five = 5;
    put_text(L"ev", L"sz", REG_SZ, L"hallo");
    put(L"ev", L"dword", REG_DWORD, &five, sizeof(five));
    put(L"ev", L"nodata", REG_BINARY, nullptr, 0);
    std::wstring long_text(600, L'x');
    put_text(L"ev", L"long", REG_SZ, long_text);
    put(L"ev", L"bin", REG_BINARY, "xyz", 3);

    SafeArray list(VT_RECORD);
    ASSERT_EQ(reg_->EnumValue(kUser, Bstr(sub(L"ev")).get(), list.put()), S_OK);
    ASSERT_TRUE(list.dimensioned());
    std::vector<std::pair<std::wstring, std::wstring>> got;
    for (long i = 0; i < list.count(); ++i) {
        const REGVALUE& r = list.at<REGVALUE>(i);
        ASSERT_EQ(V_VT(&r.Value), VT_BSTR);
        got.emplace_back(Bstr::view_of(r.Item), Bstr::view_of(V_BSTR(&r.Value)));
    }
    std::sort(got.begin(), got.end());
    decltype(got) want{{L"bin", L"xy"},  // raw bytes less the last one
                       {L"dword", std::wstring(L"\x05\0\0", 3)},
                       {L"long", long_text},
                       {L"sz", L"hallo"}};
    EXPECT_EQ(got, want);

    ASSERT_EQ(reg_->EnumValue(kUser, Bstr(sub(L"none")).get(), list.put()), S_OK);
    EXPECT_FALSE(list.dimensioned());
}

TEST_F(RegistryTest, RegEnumGivesSubkeysAndValues) {
    put_text(L"re\\child", L"x", REG_SZ, L"1");
    put_text(L"re", L"name", REG_SZ, L"wert");
    // The caller's list is replaced (the old one freed).
    put_text(L"other\\a", L"x", REG_SZ, L"1");
    put_text(L"other\\b", L"x", REG_SZ, L"1");
    SAFEARRAY* old = nullptr;
    ASSERT_EQ(reg_->EnumKey(kUser, Bstr(sub(L"other")).get(), &old), S_OK);
    ASSERT_TRUE(old);
    SafeArray values(VT_RECORD);
    ASSERT_EQ(reg_->RegEnum(kUser, Bstr(sub(L"re")).get(), &old, values.put()), S_OK);
    SafeArray keys = SafeArray::attach(old, VT_RECORD);
    EXPECT_EQ(key_names(keys), (std::vector<std::wstring>{L"child"}));
    ASSERT_EQ(values.count(), 1);
    EXPECT_EQ(Bstr::view_of(values.at<REGVALUE>(0).Item), L"name");
}

TEST_F(RegistryTest, ExportKeyWritesAnExportFileToAPathWithBlanks) {
    put_text(L"x\\inner", L"Name", REG_SZ, L"Exportwert");
    std::wstring file = scratch() + L"reg export.reg";
    VARIANT_BOOL ok = 0;
    RegRoot root = kUser;
    ASSERT_EQ(reg_->ExportKey(&root, Bstr(sub(L"x")).get(), Bstr(file).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    // The editor writes UTF-16 or ANSI; look for the value's text either way.
    std::string bytes = read_bytes(file);
    std::string narrow;
    for (char c : bytes)
        if (c) narrow += c;
    EXPECT_NE(narrow.find("Exportwert"), std::string::npos);
    EXPECT_NE(narrow.find("QuillmarkTest\\registry\\x\\inner"), std::string::npos);

    ASSERT_EQ(reg_->ExportKey(&root, Bstr(sub(L"none")).get(), Bstr(file).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

}  // namespace
