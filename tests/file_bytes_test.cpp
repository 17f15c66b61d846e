// File checksums (CRC-32 of files, the checksum file), the text CRC-16 and the
// raw byte members, on real files in the scratch folder.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "files/crc.h"
#include "files/file.h"
#include "runtime/cpu.h"
#include "runtime/files.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using namespace qmtest;

namespace {

// Bit by bit, as the standard defines it: the reference for both fast paths.
uint32_t crc32_reference(const std::string& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int i = 0; i < 8; ++i) c = c & 1 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    }
    return ~c;
}

std::string hex8(uint32_t v) {
    char s[9];
    std::snprintf(s, sizeof s, "%08X", v);
    return s;
}

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen());
    return s;
}

class FileBytes : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = create(L"Quillmark.File").query<_File>();
        ASSERT_TRUE(file_);
        dir_ = scratch() + L"bytes " + test_name() + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        wipe(dir_);
    }
    std::string sfv(const std::wstring& path) {
        Bstr out;
        EXPECT_EQ(file_->SFV_GetSFVFromFile(Bstr(path).get(), out.put()), S_OK);
        return std::string(out.view().begin(), out.view().end());
    }
    std::vector<std::wstring> read_as(const std::wstring& path, long length, long as, long offset, long* error) {
        ReadAs mode = static_cast<ReadAs>(as);
        SafeArray texts(VT_BSTR);
        EXPECT_EQ(file_->Binary_Read(Bstr(path).get(), length, &mode, offset, error, texts.put()), S_OK);
        if (!texts.dimensioned()) return {L"<undimensioned>"};
        return qm::texts_of(texts.get());
    }

    ComPtr<_File> file_;
    std::wstring dir_;
};

TEST_F(FileBytes, Crc32OfFiles) {
    const std::wstring f = dir_ + L"c.bin";
    for (const auto& [bytes, expected] : std::vector<std::pair<std::string, std::string>>{
             {"123456789", "CBF43926"}, {"abc", "352441C2"}, {"", "00000000"}, {"a", "E8B7BE43"}}) {
        write_bytes(f, bytes);
        EXPECT_EQ(sfv(f), expected) << bytes;
    }
    // Block and yield boundaries do not change the value.
    for (size_t size : {size_t(4096), size_t(4097), size_t(4098), size_t(8193), size_t(262144), size_t(1023999),
                        size_t(1024000), size_t(1024001)}) {
        const std::string bytes = random_bytes(size, static_cast<unsigned>(size));
        write_bytes(f, bytes);
        EXPECT_EQ(sfv(f), hex8(crc32_reference(bytes))) << size;
    }
}

TEST_F(FileBytes, Crc32FoldingMatchesTableAtEveryAlignment) {
    if (!qm::cpu::pclmul()) GTEST_SKIP() << "no carry-less multiply on this processor";
    const std::string data = random_bytes((3 << 20) + 64, 11);
    std::mt19937 gen(5);
    using Path = uint32_t (*)(uint32_t, const void*, size_t) noexcept;
    std::vector<Path> paths{qm::crc32_update_folding};
    if (qm::cpu::avx512_clmul()) paths.push_back(qm::crc32_update_folding_wide);
    for (const Path fold : paths) {
        for (size_t align = 0; align < 16; ++align) {
            for (size_t size : {size_t(0), size_t(15), size_t(63), size_t(64), size_t(65), size_t(255), size_t(256),
                                size_t(257), size_t(319), size_t(gen() % 4096), size_t(gen() % (3 << 20))}) {
                const char* p = data.data() + align;
                const uint32_t start = gen();
                const uint32_t table = qm::crc32_update_table(start, p, size);
                ASSERT_EQ(fold(start, p, size), table) << align << " " << size;
                // Continued from a split point, as blocks continue the running state.
                const size_t cut = size ? gen() % size : 0;
                ASSERT_EQ(fold(fold(start, p, cut), p + cut, size - cut), table) << align << " " << size;
            }
        }
    }
    EXPECT_EQ(~qm::crc32_update(0xFFFFFFFFu, data.data(), data.size()), crc32_reference(data));
}

TEST_F(FileBytes, Crc32FailureAndRunningState) {
    // A missing file: the error text, and an entry in the error log.
    {
        ErrorLog errors;
        EXPECT_EQ(sfv(dir_ + L"none.bin"), "ERROR 53 (File not found)");
        const std::string entry = errors.text();
        EXPECT_NE(entry.find("SFV"), std::string::npos) << entry;
        EXPECT_NE(entry.find("53"), std::string::npos) << entry;
    }
    EXPECT_FALSE(exists(dir_ + L"none.bin"));

    // After SFV the running state holds the file's register: CRC32_Update goes on from it.
    write_bytes(dir_ + L"abc.bin", "abc");
    EXPECT_EQ(qm::SFV(*Variant(dir_ + L"abc.bin").get()), L"352441C2");  // this module's state
    SafeArray more = qm::byte_array("def");
    EXPECT_EQ(static_cast<uint32_t>(qm::CRC32_Update(more.get())), crc32_reference("abcdef"));
    EXPECT_EQ(error_of([] { qm::CRC32_UpdateFunc(nullptr); }), 9);

    EXPECT_EQ(qm::CRC16FromText(L"123456789"), 65256);
    EXPECT_EQ(qm::CRC16FromText(L"abc"), 51931);
    EXPECT_EQ(qm::CRC16FromText(L""), 0);
}

TEST_F(FileBytes, CompareValidateAndTheChecksumFile) {
    const std::wstring a = dir_ + L"x.bin", b = dir_ + L"y.bin", none = dir_ + L"none.bin";
    write_bytes(a, "123456789");
    write_bytes(b, "123456789");
    VARIANT_BOOL r = 0;
    ASSERT_EQ(file_->SFV_Compare(Bstr(a).get(), Bstr(b).get(), &r), S_OK);
    EXPECT_TRUE(r);
    ASSERT_EQ(file_->SFV_Compare(Bstr(none).get(), Bstr(none).get(), &r), S_OK);
    EXPECT_FALSE(r);  // two unreadable files are not equal
    for (const auto& [text, expected] : std::vector<std::pair<std::wstring, bool>>{
             {L"CBF43926", true}, {L"cbf43926", false}, {L"CBF4392", false}}) {
        BSTR s = SysAllocString(text.c_str());
        ASSERT_EQ(file_->SFV_Validate(Bstr(a).get(), &s, &r), S_OK);
        SysFreeString(s);
        EXPECT_EQ(r != 0, expected) << text;
    }
    Bstr error_text;
    file_->SFV_GetSFVFromFile(Bstr(none).get(), error_text.put());
    BSTR s = SysAllocString(error_text.get());
    ASSERT_EQ(file_->SFV_Validate(Bstr(none).get(), &s, &r), S_OK);
    SysFreeString(s);
    EXPECT_FALSE(r);

    Bstr version;
    create(L"Quillmark.Misc").query<_Misc>()->Verison(version.put());
    const std::string header = "; Generated by VELKOR " + std::string(version.view().begin(), version.view().end()) +
                               "\r\n; (Compatible: WIN-SFV32)\r\n\r\n";
    const std::wstring list = dir_ + L"list.sfv";
    BSTR target = SysAllocString(list.c_str());
    ASSERT_EQ(file_->SFV_CreateSFVfile(*Variant(a).get(), &target, &r), S_OK);
    EXPECT_TRUE(r);
    EXPECT_EQ(read_bytes(list), header + "x.bin CBF43926\r\n\r\n");

    write_bytes(b, "abc");
    Variant files = qm::string_array({a, b, none}).to_variant();
    ASSERT_EQ(file_->SFV_CreateSFVfile(*files.get(), &target, &r), S_OK);
    EXPECT_TRUE(r);
    EXPECT_EQ(read_bytes(list), header + "x.bin CBF43926\r\ny.bin 352441C2\r\nnone.bin ERROR 53 (File not found)\r\n\r\n");

    // An array from index 1: a run-time error reaches the client.
    SafeArray from_one(VT_VARIANT, 1, 1);
    from_one.set(1, *Variant(a).get());
    Variant one = std::move(from_one).to_variant();
    EXPECT_EQ(file_->SFV_CreateSFVfile(*one.get(), &target, &r), static_cast<HRESULT>(0x800A0009));
    SysFreeString(target);
}

TEST_F(FileBytes, BinaryReadForms) {
    const std::wstring f = dir_ + L"abc.bin";
    write_bytes(f, "AB\r");
    long e = -9;
    using V = std::vector<std::wstring>;
    EXPECT_EQ(read_as(f, 0, raHEX, 1, &e), (V{L"41", L"42", L"0D"}));
    EXPECT_EQ(read_as(f, 0, raDEC, 1, &e), (V{L"65", L"66", L"13"}));
    EXPECT_EQ(read_as(f, 0, raBIN, 1, &e), (V{L"01000001", L"01000010", L"00001101"}));
    EXPECT_EQ(read_as(f, 0, raTEXT, 1, &e), (V{L"A", L"B", L"\r"}));
    EXPECT_EQ(read_as(f, 0, 9, 0, &e), (V{L"", L"", L""}));
    EXPECT_EQ(e, 0);
    write_bytes(f, std::string("\x07\xFF", 2));
    EXPECT_EQ(read_as(f, 0, raDEC, 1, &e), (V{L"07", L"255"}));
    EXPECT_EQ(read_as(f, 0, raHEX, 1, &e), (V{L"07", L"FF"}));

    // Ranges: ReadLenght bytes from the 1-based offset, fewer at the end.
    write_bytes(f, "0123456789");
    struct Case {
        long length, offset;
        V texts;
        long error;
    };
    for (const Case& c : std::vector<Case>{{3, 1, {L"0", L"1", L"2"}, 0},
                                           {2, 5, {L"4", L"5"}, 0},
                                           {5, 8, {L"7", L"8", L"9"}, 0},
                                           {1, 11, {L"<undimensioned>"}, 0},
                                           {0, -3, {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"}, 0},
                                           {1, 0, {L"<undimensioned>"}, 5},
                                           {-1, 1, {L"<undimensioned>"}, 5}}) {
        EXPECT_EQ(read_as(f, c.length, raTEXT, c.offset, &e), c.texts) << c.length << " " << c.offset;
        EXPECT_EQ(e, c.error) << c.length << " " << c.offset;
    }
    write_bytes(f, "");
    EXPECT_EQ(read_as(f, 0, raHEX, 1, &e), (V{L"<undimensioned>"}));
    EXPECT_EQ(e, 0);
    EXPECT_EQ(read_as(dir_ + L"none.bin", 0, raHEX, 1, &e), (V{L"<undimensioned>"}));
    EXPECT_EQ(e, 53);
    EXPECT_FALSE(exists(dir_ + L"none.bin"));
}

TEST_F(FileBytes, ByteArraysInAndOut) {
    const std::wstring f = dir_ + L"b.bin", none = dir_ + L"none.bin";
    long e = -9;
    SafeArray bytes(VT_UI1);
    write_bytes(f, std::string("\0\x01\xFEz", 4));
    ASSERT_EQ(file_->ReadAsByte(Bstr(f).get(), &e, bytes.put()), S_OK);
    EXPECT_EQ(e, 0);
    ASSERT_EQ(bytes.count(), 4);
    EXPECT_EQ(bytes.lbound(), 0);
    EXPECT_EQ(bytes.at<BYTE>(2), 0xFE);
    write_bytes(f, "");
    ASSERT_EQ(file_->ReadAsByte(Bstr(f).get(), &e, bytes.put()), S_OK);
    EXPECT_FALSE(bytes.dimensioned());
    EXPECT_EQ(e, -1);
    ASSERT_EQ(file_->ReadAsByte(Bstr(none).get(), &e, bytes.put()), S_OK);
    EXPECT_FALSE(bytes.dimensioned());
    EXPECT_EQ(e, 53);
    EXPECT_FALSE(exists(none));

    // Saving: an existing file stays without OverwriteExist, and is replaced
    // (read-only too) with it.
    SAFEARRAY* data = qm::byte_array("new").detach();
    VARIANT_BOOL keep = VARIANT_FALSE, replace = VARIANT_TRUE, ok = 1;
    write_bytes(f, "old bytes");
    ASSERT_EQ(file_->SaveAsByte(&data, Bstr(f).get(), &keep, &e, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(read_bytes(f), "old bytes");
    long r = -9;
    ASSERT_EQ(file_->Binary_Write(Bstr(f).get(), &data, &keep, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(f), "old bytes");
    SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(file_->SaveAsByte(&data, Bstr(f).get(), &replace, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(read_bytes(f), "new");
    ASSERT_EQ(file_->Binary_Write(Bstr(none).get(), &data, &keep, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(none), "new");
    ASSERT_EQ(file_->Binary_Write(Bstr(dir_ + L"no folder\\x").get(), &data, &replace, &r), S_OK);
    EXPECT_EQ(r, 76);
    SafeArrayDestroy(data);
}

}  // namespace
