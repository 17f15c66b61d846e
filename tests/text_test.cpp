// Text: whole text files in the scratch folder, compared byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.Text");
        ASSERT_TRUE(disp_);
        text_ = disp_.query<_Text>();
        ASSERT_TRUE(text_);
        dir_ = scratch() + L"text " + test_name() + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        path_ = dir_ + L"t.txt";
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path_.c_str());
    }
    Bstr path() const { return Bstr(path_); }

    std::wstring read(const std::wstring& p, long* error = nullptr) {
        Bstr out;
        long e = 0;
        EXPECT_EQ(text_->TextFile_Read(Bstr(p).get(), &e, out.put()), S_OK);
        if (error) *error = e;
        return out.str();
    }
    long write(const std::wstring& p, const std::wstring& t) {
        long r = -99;
        EXPECT_EQ(text_->TextFile_WriteText(Bstr(p).get(), Bstr(t).get(), &r), S_OK);
        return r;
    }
    long add(const std::wstring& p, const std::wstring& t, ADDTTEXTINFO where) {
        long r = -99;
        EXPECT_EQ(text_->TextFile_AddText(Bstr(p).get(), Bstr(t).get(), &where, &r), S_OK);
        return r;
    }

    ComPtr<IDispatch> disp_;
    ComPtr<_Text> text_;
    std::wstring dir_, path_;
};

TEST_F(TextTest, WriteAddsOneLineEndAndReadRemovesOne) {
    EXPECT_EQ(write(path_, L""), 0);
    EXPECT_EQ(read_bytes(path_), "\r\n");
    EXPECT_EQ(read(path_), L"");

    EXPECT_EQ(write(path_, L"x\r\n"), 0);
    EXPECT_EQ(read_bytes(path_), "x\r\n\r\n");
    EXPECT_EQ(read(path_), L"x\r\n");

    // Lone CR and LF are ordinary characters; ANSI bytes of the German code page.
    EXPECT_EQ(write(path_, L"a\rb\nÄöß€"), 0);
    EXPECT_EQ(read_bytes(path_), "a\rb\n\xC4\xF6\xDF\x80\r\n");
    EXPECT_EQ(read(path_), L"a\rb\nÄöß€");

    // A file without a line end reads as it is.
    write_bytes(path_, "abc\r");
    EXPECT_EQ(read(path_), L"abc\r");
}

TEST_F(TextTest, ReadOfMissingFileGivesMinusOne) {
    long e = 0;
    EXPECT_EQ(read(dir_ + L"none.txt", &e), L"");
    EXPECT_EQ(e, -1);
    EXPECT_FALSE(exists(dir_ + L"none.txt"));
    // The same late-bound, with ErrorNumber left out and given.
    Variant r;
    Variant p = v_str((dir_ + L"none.txt").c_str());
    ASSERT_EQ(call(disp_.get(), L"TextFile_Read", {p.get()}, r.put()), S_OK);
    EXPECT_EQ(r.get()->vt, VT_BSTR);
    Variant n = v_long(7);
    VARIANT ref = v_ref(n);
    ASSERT_EQ(call(disp_.get(), L"TextFile_Read", {p.get(), &ref}, r.put()), S_OK);
    EXPECT_EQ(n.get()->lVal, -1);
}

TEST_F(TextTest, AddTextAtEndAndBegin) {
    EXPECT_EQ(write(path_, L"A"), 0);
    EXPECT_EQ(add(path_, L"B", Add_to_End), 0);
    EXPECT_EQ(read_bytes(path_), "A\r\nB\r\n");
    EXPECT_EQ(read(path_), L"A\r\nB");

    EXPECT_EQ(write(path_, L"A"), 0);
    EXPECT_EQ(add(path_, L"B", Add_to_Begin), 0);
    EXPECT_EQ(read_bytes(path_), "B\r\nA\r\n");

    // A missing file: created by both forms.
    const std::wstring other = dir_ + L"new.txt";
    DeleteFileW(other.c_str());
    EXPECT_EQ(add(other, L"B", Add_to_Begin), 0);
    EXPECT_EQ(read_bytes(other), "B\r\n\r\n");
    EXPECT_EQ(read(other), L"B\r\n");
    DeleteFileW(other.c_str());
    EXPECT_EQ(add(other, L"C", Add_to_End), 0);
    EXPECT_EQ(read_bytes(other), "C\r\n");

    // Any other place: nothing happens.
    EXPECT_EQ(add(other, L"D", static_cast<ADDTTEXTINFO>(3)), 0);
    EXPECT_EQ(read_bytes(other), "C\r\n");
}

TEST_F(TextTest, WriteReplacesReadOnlyAndHiddenFilesWithNormalOnes) {
    write_bytes(path_, "old");
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(write(path_, L"new"), 0);
    EXPECT_EQ(read_bytes(path_), "new\r\n");
    EXPECT_EQ(GetFileAttributesW(path_.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_EQ(entries(dir_), 1);  // no temporary file left behind
}

TEST_F(TextTest, FailedWriteKeepsTheOldFile) {
    write_bytes(path_, "precious");
    // Another process holds the file open without letting it be deleted.
    HANDLE lock = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_NE(write(path_, L"new"), 0);
    CloseHandle(lock);
    EXPECT_EQ(read_bytes(path_), "precious");
    EXPECT_EQ(entries(dir_), 1);

    // A folder in the way, and a missing folder: errors, nothing created.
    EXPECT_EQ(write(dir_, L"x"), 75);
    EXPECT_EQ(write(dir_ + L"no such\\t.txt", L"x"), 76);
}

TEST_F(TextTest, LineCountReadLineAndLines) {
    long n = 0;
    EXPECT_EQ(write(path_, L"a\r\nb\r\nc"), 0);
    ASSERT_EQ(text_->TextFile_LineCount(path().get(), &n), S_OK);
    EXPECT_EQ(n, 2);
    Bstr line;
    ASSERT_EQ(text_->TextFile_ReadLine(path().get(), 2, line.put()), S_OK);
    EXPECT_EQ(line.str(), L"b");
    for (long bad : {0L, -1L, 4L}) {
        ASSERT_EQ(text_->TextFile_ReadLine(path().get(), bad, line.put()), S_OK);
        EXPECT_EQ(line.str(), L"");
    }
    SAFEARRAY* lines = nullptr;
    ASSERT_EQ(text_->TextFile_ReadLinesInAray(path().get(), nullptr, &lines), S_OK);
    qm::SafeArray a = qm::SafeArray::attach(lines, VT_BSTR);
    ASSERT_EQ(a.count(), 3);
    EXPECT_EQ(a.text(0), L"a");
    EXPECT_EQ(a.text(2), L"c");
    BSTR sep = SysAllocString(L"b");
    ASSERT_EQ(text_->TextFile_ReadLinesInAray(path().get(), &sep, &lines), S_OK);
    SysFreeString(sep);
    a = qm::SafeArray::attach(lines, VT_BSTR);
    ASSERT_EQ(a.count(), 2);
    EXPECT_EQ(a.text(1), L"\r\nc");

    EXPECT_EQ(write(path_, L""), 0);
    ASSERT_EQ(text_->TextFile_LineCount(path().get(), &n), S_OK);
    EXPECT_EQ(n, -1);
    ASSERT_EQ(text_->TextFile_ReadLinesInAray(path().get(), nullptr, &lines), S_OK);
    a = qm::SafeArray::attach(lines, VT_BSTR);
    EXPECT_TRUE(a.dimensioned());
    EXPECT_EQ(a.ubound(), -1);

    ASSERT_EQ(text_->TextFile_LineCount(Bstr(dir_ + L"none.txt").get(), &n), S_OK);
    EXPECT_EQ(n, -2);
}

TEST_F(TextTest, GetInfoCountsBytesLinesAndBlanks) {
    EXPECT_EQ(write(path_, L"eins zwei\r\ndrei"), 0);
    TEXTFILEINFO info{};
    ASSERT_EQ(text_->TextFile_GetInfo(path().get(), &info), S_OK);
    EXPECT_EQ(info.CharCount, 17);
    EXPECT_EQ(info.FileLen, 17);
    EXPECT_EQ(info.LineCount, 1);
    EXPECT_EQ(info.WordCount, 1);
    EXPECT_EQ(Bstr::attach(info.Text).str(), L"eins zwei\r\ndrei");
    ASSERT_EQ(text_->TextFile_GetInfo(Bstr(dir_ + L"none.txt").get(), &info), S_OK);
    EXPECT_EQ(info.CharCount, 0);
    EXPECT_EQ(info.LineCount, 0);
    EXPECT_EQ(info.WordCount, 0);
    EXPECT_EQ(SysStringLen(info.Text), 0u);
}

TEST_F(TextTest, RemoveLineResultsAndFailures) {
    long r = 0;
    EXPECT_EQ(write(path_, L"only"), 0);
    ASSERT_EQ(text_->TextFile_RemoveLine(path().get(), 0, &r), S_OK);
    EXPECT_EQ(r, -2);
    ASSERT_EQ(text_->TextFile_RemoveLine(path().get(), 2, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(read_bytes(path_), "only\r\n");
    ASSERT_EQ(text_->TextFile_RemoveLine(path().get(), 1, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(path_), "\r\n");
    ASSERT_EQ(text_->TextFile_RemoveLine(path().get(), 1, &r), S_OK);
    EXPECT_EQ(r, -1);
    ASSERT_EQ(text_->TextFile_RemoveLine(Bstr(dir_ + L"none.txt").get(), 1, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_FALSE(exists(dir_ + L"none.txt"));

    EXPECT_EQ(write(path_, L"a\r\nb\r\nc"), 0);
    ASSERT_EQ(text_->TextFile_RemoveLine(path().get(), 2, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(path_), "a\r\nc\r\n");

    // A write that fails is reported as a failure, and the file stays as it was.
    HANDLE lock = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(text_->TextFile_RemoveLine(path().get(), 1, &r), S_OK);
    CloseHandle(lock);
    EXPECT_GT(r, 0);
    EXPECT_EQ(read_bytes(path_), "a\r\nc\r\n");
    EXPECT_EQ(entries(dir_), 1);
}

TEST_F(TextTest, ReplaceAndLimitNeverCreateOrEmptyFiles) {
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(write(path_, L"abcabc"), 0);
    ASSERT_EQ(text_->TextFile_ReplaceText(path().get(), Bstr(L"b").get(), Bstr(L"XY").get(), &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(read_bytes(path_), "aXYcaXYc\r\n");
    ASSERT_EQ(text_->TextFile_ReplaceText(path().get(), Bstr(L"x").get(), Bstr(L"?").get(), &ok), S_OK);
    EXPECT_EQ(read_bytes(path_), "aXYcaXYc\r\n");  // case-sensitive
    const std::wstring none = dir_ + L"none.txt";
    ASSERT_EQ(text_->TextFile_ReplaceText(Bstr(none).get(), Bstr(L"a").get(), Bstr(L"b").get(), &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(exists(none));

    CUTTEXTINFO top = ctiCutFromTop, bottom = ctiCutFromBottom;
    EXPECT_EQ(write(path_, L"abcdef"), 0);
    ASSERT_EQ(text_->TextFile_LimitFileSize(path().get(), 3, &top, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(read_bytes(path_), "def\r\n");
    EXPECT_EQ(write(path_, L"abcdef"), 0);
    ASSERT_EQ(text_->TextFile_LimitFileSize(path().get(), 3, &bottom, &ok), S_OK);
    EXPECT_EQ(read_bytes(path_), "abc\r\n");
    ASSERT_EQ(text_->TextFile_LimitFileSize(path().get(), 10, &bottom, &ok), S_OK);
    EXPECT_EQ(read_bytes(path_), "abc\r\n");
    ASSERT_EQ(text_->TextFile_LimitFileSize(Bstr(none).get(), 3, &top, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(exists(none));
    // A negative size reaches the caller as error 5, and the file stays.
    EXPECT_EQ(text_->TextFile_LimitFileSize(path().get(), -1, &top, &ok), static_cast<HRESULT>(0x800A0005));
    EXPECT_EQ(read_bytes(path_), "abc\r\n");
}

TEST_F(TextTest, CompareReadsBothTexts) {
    const std::wstring other = dir_ + L"o.txt";
    VARIANT_BOOL same = 0;
    long e = 99;
    write_bytes(path_, "A");
    write_bytes(other, "A\r\n");
    ASSERT_EQ(text_->TextFile_Compare(path().get(), Bstr(other).get(), &e, &same), S_OK);
    EXPECT_TRUE(same);
    EXPECT_EQ(e, 0);
    write_bytes(other, "a");
    ASSERT_EQ(text_->TextFile_Compare(path().get(), Bstr(other).get(), &e, &same), S_OK);
    EXPECT_FALSE(same);
    EXPECT_EQ(e, 0);
    ASSERT_EQ(text_->TextFile_Compare(Bstr(dir_ + L"none.txt").get(), Bstr(other).get(), &e, &same), S_OK);
    EXPECT_FALSE(same);
    EXPECT_EQ(e, -1);
}

TEST_F(TextTest, ClientScriptWritesAndReads) {
    // Late-bound, as a script passes its variables (by reference, as Variants).
    Variant p = v_str(path_.c_str()), t = v_str(L"Zeile"), where = v_long(Add_to_End), r;
    VARIANT where_ref = v_ref(where);
    ASSERT_EQ(call(disp_.get(), L"TextFile_WriteText", {p.get(), t.get()}, r.put()), S_OK);
    EXPECT_EQ(r.get()->lVal, 0);
    ASSERT_EQ(call(disp_.get(), L"TextFile_AddText", {p.get(), t.get(), &where_ref}, r.put()), S_OK);
    EXPECT_EQ(read_bytes(path_), "Zeile\r\nZeile\r\n");
}

}  // namespace

namespace {

TEST_F(TextTest, TextChecksumsAreTheDecimalCrc16OfTheAnsiCodes) {
    auto crc = [&](const wchar_t* t) {
        Bstr out;
        EXPECT_EQ(text_->CRC32FromText(Bstr(t).get(), out.put()), S_OK);
        return out.str();
    };
    EXPECT_EQ(crc(L""), L"0");
    EXPECT_EQ(crc(L"123456789"), L"65256");
    EXPECT_EQ(crc(L"abc"), L"51931");
    EXPECT_EQ(crc(L"Gr\u00fc\u00dfe"), L"14366");  // umlaut and sharp s by their ANSI codes

    struct Case { const wchar_t* text; const wchar_t* crc; bool valid; };
    for (const Case& c : {Case{L"123456789", L"65256", true}, Case{L"123456789", L"065256", false},
                          Case{L"123456789", L" 65256", false}, Case{L"", L"0", true}, Case{L"", L"", false}}) {
        VARIANT_BOOL ok = 7;
        EXPECT_EQ(text_->CRC32Validate(Bstr(c.text).get(), Bstr(c.crc).get(), &ok), S_OK);
        EXPECT_EQ(ok, c.valid ? VARIANT_TRUE : VARIANT_FALSE) << c.crc;
    }
    VARIANT_BOOL same = 7;
    EXPECT_EQ(text_->CRC32Compare(Bstr(L"Hallo Welt").get(), Bstr(L"Hallo Welt").get(), &same), S_OK);
    EXPECT_EQ(same, VARIANT_TRUE);
    EXPECT_EQ(text_->CRC32Compare(Bstr(L"Hallo Welt").get(), Bstr(L"Hallo welt").get(), &same), S_OK);
    EXPECT_EQ(same, VARIANT_FALSE);
}

}  // namespace

namespace {

// The tests run without a printer (no CUPS): printing fails with 482 and says so
// in the error log.
TEST_F(TextTest, PrintingWithoutAPrinterGives482AndALogEntry) {
    ErrorLog errors;
    long r = -99;
    EXPECT_EQ(text_->Text_Print(Bstr(L"Hallo Welt").get(), &r), S_OK);
    EXPECT_EQ(r, 482);
    long margin = 80;
    r = -99;
    EXPECT_EQ(text_->Text_PrintBlocksatz(Bstr(L"ein Text").get(), &margin, &margin, &margin, &r), S_OK);
    EXPECT_EQ(r, 482);
    write(path_, L"Text");
    r = -99;
    EXPECT_EQ(text_->TextFile_Print(path().get(), &r), S_OK);
    EXPECT_EQ(r, 482);
    const std::string entries = errors.text();
    EXPECT_NE(entries.find("Routine: Text_Print\r"), std::string::npos) << entries;
    EXPECT_NE(entries.find("Routine: Text_PrintBlocksatz"), std::string::npos) << entries;
    EXPECT_NE(entries.find("482"), std::string::npos) << entries;
}

}  // namespace
