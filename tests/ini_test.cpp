// INI: files in the scratch folder, compared byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/ansi.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using namespace qmtest;

namespace {

std::vector<std::wstring> texts(const SafeArray& a) {
    std::vector<std::wstring> out;
    for (long i = 0; i < a.count(); ++i) out.emplace_back(a.text(i));
    return out;
}

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.INI");
        ASSERT_TRUE(disp_);
        ini_ = disp_.query<_INI>();
        ASSERT_TRUE(ini_);
        path_ = scratch() + L"ini " + test_name() + L".ini";
        DeleteFileW(path_.c_str());
    }
    Bstr path() const { return Bstr(path_); }

    bool write(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* token = nullptr) {
        VARIANT_BOOL ok = 0;
        BSTR t = token ? SysAllocString(token) : nullptr;
        EXPECT_EQ(ini_->Write_INI(path().get(), Bstr(section).get(), Bstr(key).get(), Bstr(value).get(),
                                  token ? &t : nullptr, &ok),
                  S_OK);
        SysFreeString(t);
        return ok == VARIANT_TRUE;
    }
    std::wstring read(const wchar_t* section, const wchar_t* key, const wchar_t* token = nullptr) {
        Bstr out;
        BSTR t = token ? SysAllocString(token) : nullptr;
        EXPECT_EQ(ini_->Read_INI(path().get(), Bstr(section).get(), Bstr(key).get(), token ? &t : nullptr, out.put()),
                  S_OK);
        SysFreeString(t);
        return out.str();
    }
    SafeArray read_array(const wchar_t* section) {
        SafeArray a(VT_BSTR);
        EXPECT_EQ(ini_->ReadArray(path().get(), Bstr(section).get(), a.put()), S_OK);
        return a;
    }
    SafeArray read_section(const wchar_t* section) {
        SafeArray a(VT_BSTR);
        EXPECT_EQ(ini_->ReadSection(path().get(), Bstr(section).get(), a.put()), S_OK);
        return a;
    }

    std::wstring path_;
    ComPtr<IDispatch> disp_;
    ComPtr<_INI> ini_;
};

TEST_F(IniTest, LineBreaksTravelAsTheCallersToken) {
    EXPECT_TRUE(write(L"S", L"K", L"a\r\nb", L"|"));
    EXPECT_TRUE(write(L"S", L"Umlaut", L"Grüße"));
    EXPECT_EQ(read_bytes(path_), "[S]\r\nK=a|b\r\nUmlaut=Gr\xFC\xDF" "e\r\n");
    EXPECT_EQ(read(L"S", L"K", L"|"), L"a\r\nb");
    EXPECT_EQ(read(L"S", L"K"), L"a|b");
    EXPECT_EQ(read(L"S", L"Umlaut"), L"Grüße");
    EXPECT_EQ(read(L"S", L"fehlt"), L"");
    EXPECT_EQ(read(L"fehlt", L"K"), L"");

    // Late bound, with the token omitted and given.
    Variant p(path_), s(L"S"), k(L"K"), bar(L"|"), result;
    ASSERT_EQ(call(disp_.get(), L"Read_INI", {p.get(), s.get(), k.get()}, result.put()), S_OK);
    EXPECT_EQ(Bstr::view_of(V_BSTR(result.get())), L"a|b");
    ASSERT_EQ(call(disp_.get(), L"Read_INI", {p.get(), s.get(), k.get(), bar.get()}, result.put()), S_OK);
    EXPECT_EQ(Bstr::view_of(V_BSTR(result.get())), L"a\r\nb");
}

TEST_F(IniTest, ReadIniGivesAtMost254Characters) {
    std::wstring long_value(300, L'v');
    EXPECT_TRUE(write(L"S", L"K", long_value.c_str()));
    EXPECT_EQ(read(L"S", L"K"), std::wstring(254, L'v'));
}

TEST_F(IniTest, MissingFileReadsAsNothing) {
    EXPECT_EQ(read(L"S", L"K"), L"");
    EXPECT_FALSE(read_array(L"S").dimensioned());
    EXPECT_FALSE(read_section(L"S").dimensioned());
}

TEST_F(IniTest, SectionsAsValuesAndAsWholeEntries) {
    write_bytes(path_, "[S]\r\nA = 1\r\nB=two\r\nnovalue\r\n[T]\r\nC=3\r\n");
    EXPECT_EQ(texts(read_section(L"S")), (std::vector<std::wstring>{L"1", L"two", L"novalue"}));
    SafeArray whole = read_array(L"S");
    EXPECT_EQ(whole.lbound(), 0);
    std::vector<std::wstring> entries = texts(whole);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].substr(0, 1), L"A");  // as the system gives it back
    EXPECT_EQ(entries[1], L"B=two");
    EXPECT_EQ(entries[2], L"novalue");
    EXPECT_FALSE(read_array(L"none").dimensioned());
}

TEST_F(IniTest, LargeSectionsAreReadWholeOnlyByReadArray) {
    std::string file = "[Big]\r\n";
    for (int i = 0; i < 1000; ++i) file += "Key" + std::to_string(i) + "=" + std::string(40, 'x') + "\r\n";
    write_bytes(path_, file);
    EXPECT_EQ(read_array(L"Big").count(), 1000);
    long cut = read_section(L"Big").count();
    EXPECT_GT(cut, 0);
    EXPECT_LT(cut, 1000);
}

TEST_F(IniTest, WriteArrayReplacesTheSection) {
    write_bytes(path_, "[S]\r\nold=1\r\n[T]\r\nC=3\r\n");
    // (Whether a line without "=" is kept is the system's rule: Wine drops it.)
    Variant list = qm::string_array({L"x=1", L"y=zwei", L"z="}).to_variant();
    LONG error = -1;
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(ini_->WriteArray(path().get(), Bstr(L"S").get(), list.get(), &error, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(read_bytes(path_), "[T]\r\nC=3\r\n[S]\r\nx=1\r\ny=zwei\r\nz=\r\n");
    EXPECT_EQ(texts(read_array(L"S")), (std::vector<std::wstring>{L"x=1", L"y=zwei", L"z="}));
    EXPECT_EQ(texts(read_section(L"S")), (std::vector<std::wstring>{L"1", L"zwei", L""}));

    // A Variant array: each element by its text.
    Variant mixed = qm::variant_array({Variant(L"n=1"), Variant(L"m=2")}).to_variant();
    ASSERT_EQ(ini_->WriteArray(path().get(), Bstr(L"N").get(), mixed.get(), &error, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(texts(read_array(L"N")), (std::vector<std::wstring>{L"n=1", L"m=2"}));
}

TEST_F(IniTest, WriteArrayRefusesUnusableInputAndLosesNothing) {
    const std::string before = "[S]\r\nkeep=1\r\n";
    write_bytes(path_, before);
    struct Case {
        Variant value;
        long error;
    } cases[] = {
        {qm::string_array({}).to_variant(), 5},           // no elements
        {SafeArray(VT_BSTR).to_variant(), 9},             // undimensioned
        {Variant(L"x=1"), 13},                            // no array
    };
    for (Case& c : cases) {
        LONG error = -1;
        VARIANT_BOOL ok = -1;
        ASSERT_EQ(ini_->WriteArray(path().get(), Bstr(L"S").get(), c.value.get(), &error, &ok), S_OK);
        EXPECT_EQ(ok, VARIANT_FALSE);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(read_bytes(path_), before);
    }
}

TEST_F(IniTest, RemoveSectionAndDeleteKey) {
    write_bytes(path_, "[S]\r\na=1\r\nb=2\r\n[T]\r\nc=3\r\n");
    ASSERT_EQ(ini_->DeleteKey(path().get(), Bstr(L"S").get(), Bstr(L"a").get()), S_OK);
    EXPECT_EQ(read_bytes(path_), "[S]\r\nb=2\r\n[T]\r\nc=3\r\n");
    ASSERT_EQ(ini_->RemoveSection(path().get(), Bstr(L"S").get()), S_OK);
    EXPECT_EQ(read_bytes(path_), "[T]\r\nc=3\r\n");
}

// A file name reaches the system as written: one holding characters that the code
// page has only look-alikes for names that file, never the look-alike (which for
// a fullwidth reverse solidus climbs out of its folder).
TEST_F(IniTest, FileNamesTheCodePageLacksNameThatFile) {
    const std::wstring dir = scratch() + L"ini names\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"inner").c_str(), nullptr);
    std::vector<std::pair<std::wstring, std::string>> files = {{dir + L"inner\uFF3C..\uFF3Cescaped.ini", "escape"}};
    for (const HostileChar& c : kHostileChars) files.push_back({dir + L"k" + c.text + L".ini", c.label});
    for (const auto& [file, label] : files) {
        SCOPED_TRACE(label);
        path_ = file;
        EXPECT_TRUE(write(L"S", L"K", L"V"));
        EXPECT_EQ(read_bytes(path_), "[S]\r\nK=V\r\n");
        EXPECT_FALSE(exists(qm::from_ansi(qm::to_ansi(path_))));  // what the code page's best fit makes of it
        EXPECT_EQ(read(L"S", L"K"), L"V");
        EXPECT_EQ(texts(read_array(L"S")), std::vector<std::wstring>{L"K=V"});
        ASSERT_EQ(ini_->DeleteKey(path().get(), Bstr(L"S").get(), Bstr(L"K").get()), S_OK);
        EXPECT_EQ(read_bytes(path_), "[S]\r\n");
        ASSERT_EQ(ini_->RemoveSection(path().get(), Bstr(L"S").get()), S_OK);
        EXPECT_EQ(read_bytes(path_), "");
    }
    EXPECT_FALSE(exists(dir + L"escaped.ini"));
}

// A section, key or value the file's code page holds only as a look-alike (or
// "?") would be written as another one: every writer refuses it with nothing
// changed, and reads and deletes find nothing, not the look-alike.
TEST_F(IniTest, TextsTheCodePageLacksAreRefusedAndFindNothing) {
    for (const HostileChar& c : kHostileChars) {
        SCOPED_TRACE(c.label);
        const std::wstring section = std::wstring(L"S") + c.text, key = std::wstring(L"K") + c.text;
        const std::wstring value = std::wstring(L"neu") + c.text, entry = L"K=" + value;
        const std::string before =
            "[S]\r\nK=1\r\n[" + qm::to_ansi(section) + "]\r\nK=2\r\n" + qm::to_ansi(key) + "=3\r\n";
        write_bytes(path_, before);
        EXPECT_FALSE(write(section.c_str(), L"K", L"neu"));
        EXPECT_FALSE(write(L"S", key.c_str(), L"neu"));
        EXPECT_FALSE(write(L"S", L"K", value.c_str()));
        const std::pair<std::wstring, std::wstring> arrays[] = {{section, L"K=neu"}, {L"S", entry}};
        for (const auto& [in, element] : arrays) {
            Variant list = qm::string_array({element}).to_variant();
            LONG error = -1;
            VARIANT_BOOL ok = -1;
            ASSERT_EQ(ini_->WriteArray(path().get(), Bstr(in).get(), list.get(), &error, &ok), S_OK);
            EXPECT_EQ(ok, VARIANT_FALSE);
            EXPECT_EQ(error, 5);
        }
        EXPECT_EQ(read(section.c_str(), L"K"), L"");
        EXPECT_EQ(read(L"S", key.c_str()), L"");
        EXPECT_FALSE(read_array(section.c_str()).dimensioned());
        EXPECT_FALSE(read_section(section.c_str()).dimensioned());
        ASSERT_EQ(ini_->DeleteKey(path().get(), Bstr(L"S").get(), Bstr(key).get()), S_OK);
        ASSERT_EQ(ini_->DeleteKey(path().get(), Bstr(section).get(), Bstr(L"K").get()), S_OK);
        ASSERT_EQ(ini_->RemoveSection(path().get(), Bstr(section).get()), S_OK);
        EXPECT_EQ(read_bytes(path_), before);
    }
}

// Texts the profile functions cannot take fail with the run-time error before
// the file is touched: 52 for a file name, 5 for a section, key or value.
TEST_F(IniTest, OverlongArgumentsFailAndChangeNothing) {
    const std::string before = "[S]\r\nK=1\r\n";
    write_bytes(path_, before);
    const std::wstring huge(100000, L'x');
    struct Case {
        const char* what;
        std::wstring path, section, key;
        long error;
    } cases[] = {
        {"huge path", huge, L"S", L"K", 52},
        {"path past MAX_PATH", scratch() + std::wstring(260, L'a') + L".ini", L"S", L"K", 52},
        {"bare name, in the Windows folder", std::wstring(250, L'a') + L".ini", L"S", L"K", 52},
        {"huge section", path_, huge, L"K", 5},
        {"huge key", path_, L"S", huge, 5},
        {"key one past the limit", path_, L"S", std::wstring(32767, L'k'), 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HRESULT failed = static_cast<HRESULT>(0x800A0000 | c.error);
        const Bstr path(c.path), section(c.section), key(c.key), value(L"neu");
        const bool only_key = c.key.size() > 1;  // the members without a key succeed
        Bstr text;
        VARIANT_BOOL ok = -1;
        EXPECT_EQ(ini_->Read_INI(path.get(), section.get(), key.get(), nullptr, text.put()), failed);
        EXPECT_EQ(ini_->Write_INI(path.get(), section.get(), key.get(), value.get(), nullptr, &ok), failed);
        EXPECT_EQ(ini_->DeleteKey(path.get(), section.get(), key.get()), failed);
        if (!only_key) {
            SafeArray list(VT_BSTR);
            EXPECT_EQ(ini_->RemoveSection(path.get(), section.get()), failed);
            EXPECT_EQ(ini_->ReadSection(path.get(), section.get(), list.put()), failed);
            ASSERT_EQ(ini_->ReadArray(path.get(), section.get(), list.put()), S_OK);
            EXPECT_EQ(list.get(), nullptr);
            Variant entries = qm::string_array({L"a=1"}).to_variant();
            LONG error = -1;
            ASSERT_EQ(ini_->WriteArray(path.get(), section.get(), entries.get(), &error, &ok), S_OK);
            EXPECT_EQ(ok, VARIANT_FALSE);
            EXPECT_EQ(error, c.error);
        }
        EXPECT_EQ(read_bytes(path_), before);
    }
    VARIANT_BOOL ok = -1;
    EXPECT_EQ(ini_->Write_INI(path().get(), Bstr(L"S").get(), Bstr(L"K").get(), Bstr(huge).get(), nullptr, &ok),
              static_cast<HRESULT>(0x800A0005));
    EXPECT_EQ(read_bytes(path_), before);
    // The longest key the functions take is written and read back.
    const std::wstring longest(32766, L'k');
    EXPECT_TRUE(write(L"S", longest.c_str(), L"2"));
    EXPECT_EQ(read(L"S", longest.c_str()), L"2");
}

}  // namespace
