// Misc.ZIP_Content on archives the tests write: stored entries, data
// descriptors, UTF-8 names, damaged and hostile files.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "frame/misc.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using namespace qmtest;

namespace {

struct Entry {
    std::string name;
    std::string data;
};

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A stored archive; with descriptor, every entry has flag bit 3, sizes 0 in its
// local header and a data descriptor after its data.
// With zip64, the central directory keeps both sizes in a ZIP64 extra field and
// the descriptors have 64-bit sizes.
std::string zip(const std::vector<Entry>& entries, bool descriptor = false, uint16_t flags = 0, bool zip64 = false) {
    if (descriptor) flags |= 0x0008;
    std::string out, central;
    for (const Entry& e : entries) {
        const uint32_t offset = static_cast<uint32_t>(out.size()), size = static_cast<uint32_t>(e.data.size());
        put32(out, 0x04034B50);
        put16(out, 20);
        put16(out, flags);
        put16(out, 0);
        put32(out, 0);  // time and date
        put32(out, 0);  // CRC-32 (not checked)
        put32(out, descriptor ? 0 : size);
        put32(out, descriptor ? 0 : size);
        put16(out, static_cast<uint32_t>(e.name.size()));
        put16(out, 0);
        out += e.name + e.data;
        if (descriptor) {
            put32(out, 0x08074B50);
            put32(out, 0);
            for (int k = 0; k < 2; ++k) {
                put32(out, size);
                if (zip64) put32(out, 0);
            }
        }
        put32(central, 0x02014B50);
        put16(central, 20);
        put16(central, 20);
        put16(central, flags);
        put16(central, 0);
        put32(central, 0);
        put32(central, 0);
        put32(central, zip64 ? 0xFFFFFFFF : size);
        put32(central, zip64 ? 0xFFFFFFFF : size);
        put16(central, static_cast<uint32_t>(e.name.size()));
        put16(central, zip64 ? 20 : 0);  // extra length
        put16(central, 0);               // comment length
        put32(central, 0);  // disk, internal attributes
        put32(central, 0);  // external attributes
        put32(central, offset);
        central += e.name;
        if (zip64) {
            put16(central, 0x0001);
            put16(central, 16);
            for (int k = 0; k < 2; ++k) {
                put32(central, size);
                put32(central, 0);
            }
        }
    }
    const uint32_t at = static_cast<uint32_t>(out.size());
    out += central;
    put32(out, 0x06054B50);
    put32(out, 0);
    put16(out, static_cast<uint32_t>(entries.size()));
    put16(out, static_cast<uint32_t>(entries.size()));
    put32(out, static_cast<uint32_t>(central.size()));
    put32(out, at);
    put16(out, 0);
    return out;
}

class MiscZip : public ::testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.Misc");
        ASSERT_TRUE(disp);
        m = disp.query<_Misc>();
        ASSERT_TRUE(m);
        path = scratch() + test_name() + L".zip";
    }
    // The names listed, with the error number; the file must be deletable afterwards.
    std::vector<std::wstring> list(const std::string& bytes, long* error) {
        write_bytes(path, bytes);
        auto names = list_file(path, error);
        EXPECT_TRUE(DeleteFileW(path.c_str())) << "still open";
        return names;
    }
    std::vector<std::wstring> list_file(const std::wstring& file, long* error) {
        *error = -1;
        SAFEARRAY* sa = nullptr;
        EXPECT_EQ(m->ZIP_Content(Bstr(file).get(), error, &sa), S_OK);
        SafeArray a = SafeArray::attach(sa, VT_BSTR);
        EXPECT_TRUE(a.dimensioned());
        std::vector<std::wstring> out;
        for (long i = 0; i < a.count(); ++i) out.emplace_back(a.text(i));
        return out;
    }
    ComPtr<IDispatch> disp;
    ComPtr<_Misc> m;
    std::wstring path;
};

using Names = std::vector<std::wstring>;

TEST_F(MiscZip, StoredEntriesInFileOrderWithFolders) {
    long error = 0;
    std::string archive = zip({{"eins.txt", "1"}, {"ordner/", ""}, {"ordner/zwei.txt", "zwei"}, {"drei.bin", "PK\3\4"}});
    EXPECT_EQ(list(archive, &error), (Names{L"eins.txt", L"ordner/", L"ordner/zwei.txt", L"drei.bin"}));
    EXPECT_EQ(error, 0);

    // Late bound: a String array.
    write_bytes(path, archive);
    Variant file(Bstr(path).detach()), result;
    ASSERT_EQ(call(disp.get(), L"ZIP_Content", {file.get()}, result.put()), S_OK);
    ASSERT_EQ(result.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(V_ARRAY(result.get())->rgsabound[0].cElements, 4u);
    DeleteFileW(path.c_str());
}

TEST_F(MiscZip, DataDescriptorsAndNamesAreReadCompletely) {
    long error = -1;
    // Data that looks like headers must be skipped by its true size.
    std::string fake = zip({{"innen.txt", "x"}});
    EXPECT_EQ(list(zip({{"a.txt", fake}, {"b/", ""}, {"c.txt", std::string(70000, 'c')}}, true), &error),
              (Names{L"a.txt", L"b/", L"c.txt"}));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(list(zip({{"a.txt", fake}, {"b.txt", "bb"}}, true, 0, true), &error), (Names{L"a.txt", L"b.txt"}));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(list(zip({{"Gr\xC3\xB6\xC3\x9F" "e.txt", "1"}}, false, 0x0800), &error), (Names{L"Größe.txt"}));
    EXPECT_EQ(list(zip({{"M\xE4rz.txt", "1"}}), &error), (Names{L"März.txt"}));  // ANSI without the flag
    EXPECT_EQ(error, 0);
}

TEST_F(MiscZip, EndsAndErrors) {
    std::string one = zip({{"a.txt", "aaaa"}, {"b.txt", "bb"}});
    std::string huge = one;
    huge[18] = '\xF0', huge[19] = huge[20] = huge[21] = '\xFF';  // compressed size 0xFFFFFFF0
    std::string no_name = one;
    no_name[26] = 0;
    std::string bit3 = zip({{"a.txt", "aaaa"}, {"b.txt", "bb"}}, true);
    const uint32_t central = static_cast<uint32_t>(bit3.find("PK\1\2"));
    struct Case {
        const char* what;
        std::string bytes;
        Names names;
        long error;
    } cases[] = {
        {"text file", "Dies ist kein Archiv.\r\n", {}, 0},
        {"empty file", "", {}, 0},
        {"three bytes after an entry", one.substr(0, 39) + "PK\3", {L"a.txt"}, 0},
        {"data past the end", huge, {L"a.txt"}, 0},
        {"header past the end", one.substr(0, 39) + "PK\3\4" + std::string(10, '\0'), {}, 62},
        {"name past the end", one.substr(0, 33), {}, 62},
        {"name length 0", no_name, {}, 5},
        {"descriptor without a central directory", bit3.substr(0, central), {}, 62},
    };
    for (const Case& c : cases) {
        long error = -1;
        EXPECT_EQ(list(c.bytes, &error), c.names) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}

TEST_F(MiscZip, MissingLockedAndReported) {
    ErrorLog errors;
    long error = 0;
    const std::wstring missing = scratch() + L"fehlt.zip";
    EXPECT_EQ(list_file(missing, &error), Names{});
    EXPECT_EQ(error, 53);
    EXPECT_FALSE(exists(missing));

    write_bytes(path, zip({{"a.txt", "a"}}));
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(list_file(path, &error), Names{});
    EXPECT_EQ(error, 70);
    CloseHandle(held);
    EXPECT_EQ(list_file(path, &error), Names{L"a.txt"});
    EXPECT_TRUE(DeleteFileW(path.c_str()));
    std::string text = errors.text();
    EXPECT_NE(text.find("Class: Misc / Routine: ZIP_Content"), std::string::npos) << text;
}

TEST_F(MiscZip, MutatedArchivesGiveAListOrAnErrorNumber) {
    std::vector<Entry> entries;
    for (int i = 0; i < 6; ++i) entries.push_back({"datei" + std::to_string(i) + ".txt", std::string(i * 7, 'd')});
    const std::string valid = zip(entries, true);
    // One file rewritten in place for every variant.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::mt19937 rng(20261209);
    for (int round = 0; round < 10000; ++round) {
        std::string bytes = valid;
        int changes = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < changes; ++k) bytes[rng() % bytes.size()] = static_cast<char>(rng());
        if (rng() % 3 == 0) bytes.resize(rng() % bytes.size());
        DWORD put = 0;
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) || bytes.empty());
        SetEndOfFile(file);
        long error = -1;
        std::vector<std::wstring> names = list_file(path, &error);
        ASSERT_TRUE(error == 0 || error == 5 || error == 62) << round << ": " << error;
        if (error) {
            ASSERT_TRUE(names.empty()) << round;
        }
        size_t headers = 0;  // each name needs a local header of its own
        for (size_t at = bytes.find("PK\3\4"); at != std::string::npos; at = bytes.find("PK\3\4", at + 1)) ++headers;
        ASSERT_LE(names.size(), headers) << round;
    }
    CloseHandle(file);
    DeleteFileW(path.c_str());
}

}  // namespace
