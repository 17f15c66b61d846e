// The runtime's file statements on real files in the scratch folder: open modes
// and their errors, text lines, the binary layouts, the file system statements,
// the Dir listing, and the application facts.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "runtime/ansi.h"
#include "runtime/app.h"
#include "runtime/errors.h"
#include "runtime/files.h"
#include "runtime/module.h"
#include "support.h"

using namespace qm;
using qmtest::error_of;
using qmtest::exists;
using qmtest::read_bytes;

namespace {

// A fresh folder of its own for each test.
class Files : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = qmtest::scratch() + L"rtfiles_" + qmtest::test_name() + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        qmtest::wipe(dir_);
        ASSERT_TRUE(exists(dir_));
        ASSERT_EQ(qmtest::entries(dir_), 0);
    }
    void TearDown() override {
        qmtest::wipe(dir_);
        RemoveDirectoryW(dir_.c_str());
    }

    std::wstring path(const wchar_t* name) const { return dir_ + name; }

    static void write_raw(const std::wstring& p, std::string_view bytes) {
        HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }

    std::wstring dir_;
};

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s.push_back(static_cast<char>(c));
    return s;
}

}  // namespace

// --- Open: modes, creation and errors ------------------------------------------------

TEST_F(Files, OpenModesCreateOrRefuseMissingFiles) {
    EXPECT_EQ(error_of([&] { RtFile f(path(L"none.txt"), OpenMode::Input); }), 53);
    EXPECT_FALSE(exists(path(L"none.txt")));
    EXPECT_EQ(error_of([&] { RtFile f(path(L"none.bin"), OpenMode::Binary, OpenAccess::Read); }), 53);
    EXPECT_FALSE(exists(path(L"none.bin")));
    for (OpenMode m : {OpenMode::Output, OpenMode::Append, OpenMode::Binary, OpenMode::Random}) {
        std::wstring p = path(L"made.txt");
        { RtFile f(p, m); }
        EXPECT_TRUE(exists(p)) << int(m);
        EXPECT_EQ(read_bytes(p), "");
        DeleteFileW(p.c_str());
    }
    EXPECT_EQ(error_of([&] { RtFile f(path(L"nofolder\\x.txt"), OpenMode::Output); }), 76);
    EXPECT_EQ(error_of([&] { RtFile f(path(L"nofolder\\x.txt"), OpenMode::Input); }), 76);
    EXPECT_EQ(error_of([&] { RtFile f(L"", OpenMode::Input); }), 52);
    EXPECT_EQ(error_of([&] { RtFile f(path(L"a*.txt"), OpenMode::Output); }), 52);
    // A path no file system takes is refused before the system sees it (Wine's
    // 32-bit half ends the process on one of 100,000 characters).
    const std::wstring endless = dir_ + std::wstring(100000, L'x');
    EXPECT_EQ(error_of([&] { RtFile f(endless, OpenMode::Input); }), 52);
    EXPECT_EQ(error_of([&] { Dir(endless + L"\\*.*"); }), 52);
    // A folder is no file: the access error, in every mode.
    EXPECT_EQ(error_of([&] { RtFile f(dir_.substr(0, dir_.size() - 1), OpenMode::Input); }), 75);
    EXPECT_EQ(error_of([&] { RtFile f(dir_.substr(0, dir_.size() - 1), OpenMode::Binary); }), 75);
}

TEST_F(Files, OutputReplacesAppendAdds) {
    std::wstring p = path(L"t.txt");
    write_raw(p, "old content");
    {
        RtFile f(p, OpenMode::Output);
        f.Print(L"A");
    }
    EXPECT_EQ(read_bytes(p), "A\r\n");
    {
        RtFile f(p, OpenMode::Append);
        EXPECT_EQ(f.Seek(), 4);
        f.Print(L"B");
        f.Print(L"C", false);
    }
    EXPECT_EQ(read_bytes(p), "A\r\nB\r\nC");
    {
        RtFile f(p, OpenMode::Output);
        f.Print(L"");
    }
    EXPECT_EQ(read_bytes(p), "\r\n");
}

TEST_F(Files, ReadOnlyFilesOpenForReadingOnly) {
    std::wstring p = path(L"ro.bin");
    write_raw(p, "abc");
    SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(error_of([&] { RtFile f(p, OpenMode::Output); }), 75);
    EXPECT_EQ(error_of([&] { RtFile f(p, OpenMode::Append); }), 75);
    EXPECT_EQ(error_of([&] { RtFile f(p, OpenMode::Binary, OpenAccess::Write); }), 75);
    // Binary without an access clause falls back to reading.
    RtFile f(p, OpenMode::Binary);
    EXPECT_EQ(f.GetBytes(3), "abc");
    f.Seek(1);
    EXPECT_EQ(error_of([&] { f.PutBytes("x"); }), 75);
    f.Close();
    EXPECT_EQ(read_bytes(p), "abc");
}

TEST_F(Files, FileNumbersAndFilesAlreadyOpen) {
    std::wstring a = path(L"a.txt"), b = path(L"b.txt");
    long first = FreeFile();
    RtFile fa(a, OpenMode::Binary);
    EXPECT_EQ(fa.number(), first);
    EXPECT_EQ(FreeFile(), first + 1);
    RtFile three(b, OpenMode::Binary, OpenAccess::Default, 3);
    EXPECT_EQ(three.number(), 3);
    EXPECT_EQ(error_of([&] { RtFile f(path(L"c.txt"), OpenMode::Binary, OpenAccess::Default, 3); }), 55);
    EXPECT_EQ(error_of([&] { RtFile f(path(L"c.txt"), OpenMode::Binary, OpenAccess::Default, 512); }), 52);
    // One file twice in Binary mode is fine; for Output or Append it is not.
    { RtFile again(a, OpenMode::Binary); }
    EXPECT_EQ(error_of([&] { RtFile f(a, OpenMode::Output); }), 55);
    EXPECT_EQ(error_of([&] { RtFile f(a, OpenMode::Append); }), 55);
    fa.Close();
    RtFile out(a, OpenMode::Output);
    EXPECT_EQ(error_of([&] { RtFile f(a, OpenMode::Input); }), 55);
    out.Close();
    three.Close();
    EXPECT_EQ(FreeFile(), first);
    // A closed file: bad file number.
    EXPECT_EQ(error_of([&] { out.Print(L"x"); }), 52);
    // Moving keeps the number taken.
    RtFile moved = RtFile(b, OpenMode::Binary, OpenAccess::Default, 3);
    EXPECT_EQ(error_of([&] { RtFile f(a, OpenMode::Binary, OpenAccess::Default, 3); }), 55);
}

TEST_F(Files, FilesLockedElsewhereArePermissionDenied) {
    std::wstring p = path(L"locked.txt");
    write_raw(p, "x");
    HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(error_of([&] { RtFile f(p, OpenMode::Input); }), 70);
    EXPECT_EQ(error_of([&] { RtFile f(p, OpenMode::Binary, OpenAccess::Write); }), 70);
    EXPECT_EQ(error_of([&] { Kill(p); }), 70);
    CloseHandle(h);
    // While open here, others may still read it.
    RtFile f(p, OpenMode::Append);
    EXPECT_EQ(read_bytes(p), "x");
}

// --- text ---------------------------------------------------------------------------

TEST_F(Files, LineInputEndsLinesAtCrAndCrLfOnly) {
    std::wstring p = path(L"lines.txt");
    write_raw(p, "a\r\nb\rc\nd\r\n\r\ne");
    RtFile f(p, OpenMode::Input);
    std::vector<std::wstring> lines;
    while (!f.Eof()) lines.push_back(f.LineInput());
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"a", L"b", L"c\nd", L"", L"e"}));
    EXPECT_EQ(error_of([&] { f.LineInput(); }), 62);
    f.Close();

    write_raw(p, "x\r\n");
    RtFile g(p, OpenMode::Input);
    EXPECT_EQ(g.LineInput(), L"x");
    EXPECT_TRUE(g.Eof());
    g.Close();

    write_raw(p, "");
    RtFile e(p, OpenMode::Input);
    EXPECT_TRUE(e.Eof());
    EXPECT_EQ(error_of([&] { e.LineInput(); }), 62);
}

TEST_F(Files, LineInputAcrossTheReadAhead) {
    // A CR LF split by the read-ahead boundary and lines longer than it.
    std::wstring p = path(L"long.txt");
    std::string first(65535, 'x'), second(200000, 'y');
    write_raw(p, first + "\r\n" + second + "\r\nz");
    RtFile f(p, OpenMode::Input);
    EXPECT_EQ(f.LineInput().size(), first.size());
    EXPECT_EQ(f.LineInput().size(), second.size());
    EXPECT_EQ(f.Seek(), static_cast<long long>(first.size() + second.size() + 5));
    EXPECT_EQ(f.LineInput(), L"z");
    EXPECT_TRUE(f.Eof());
}

TEST_F(Files, TextIsStoredInTheAnsiCodePage) {
    std::wstring p = path(L"ansi.txt");
    const std::wstring text = L"Gr\u00fc\u00dfe \u20ac";
    {
        RtFile f(p, OpenMode::Output);
        f.Print(text);
    }
    EXPECT_EQ(read_bytes(p), to_ansi(text) + "\r\n");
    if (GetACP() == 1252) {
        EXPECT_EQ(read_bytes(p), bytes({'G', 'r', 0xFC, 0xDF, 'e', ' ', 0x80, 13, 10}));
    }
    RtFile f(p, OpenMode::Input);
    EXPECT_EQ(f.LineInput(), text);
}

TEST_F(Files, InputReadsCharactersAndStopsAtTheEnd) {
    std::wstring p = path(L"in.txt");
    write_raw(p, "abc\r\nd");
    RtFile f(p, OpenMode::Input);
    EXPECT_EQ(f.Input(2), L"ab");
    EXPECT_EQ(f.Input(3), L"c\r\n");
    EXPECT_EQ(f.Input(0), L"");
    EXPECT_EQ(error_of([&] { f.Input(2); }), 62);
    EXPECT_EQ(error_of([&] { f.Input(-1); }), 5);

    RtFile b(p, OpenMode::Binary);
    b.Seek(5);
    EXPECT_EQ(b.Input(2), L"\nd");
    EXPECT_EQ(b.Seek(), 7);
    EXPECT_EQ(error_of([&] { b.Input(1); }), 62);
}

TEST_F(Files, StatementsCheckTheMode) {
    std::wstring p = path(L"m.txt");
    write_raw(p, "abc");
    RtFile in(p, OpenMode::Input);
    EXPECT_EQ(error_of([&] { in.Print(L"x"); }), 54);
    EXPECT_EQ(error_of([&] { in.Get<long>(); }), 54);
    EXPECT_EQ(error_of([&] { in.PutString(L"x"); }), 54);
    in.Close();
    RtFile bin(p, OpenMode::Binary);
    EXPECT_EQ(error_of([&] { bin.LineInput(); }), 54);
    EXPECT_EQ(error_of([&] { bin.Print(L"x"); }), 54);
    bin.Close();
    RtFile out(p, OpenMode::Output);
    EXPECT_EQ(error_of([&] { out.Input(1); }), 54);
    EXPECT_EQ(error_of([&] { out.GetBytes(1); }), 54);
    EXPECT_TRUE(out.Eof());
}

// --- Get and Put ------------------------------------------------------------------------

TEST_F(Files, BinaryNumbersStringsAndBytes) {
    std::wstring p = path(L"b.bin");
    {
        RtFile f(p, OpenMode::Binary);
        f.Put<short>(0x0102);
        f.Put<long>(-2);
        f.Put<BYTE>(0x7F);
        f.Put<VARIANT_BOOL>(VARIANT_TRUE);
        f.PutString(L"hi");
        f.PutBytes(bytes({0, 0xFF}));
        f.Put<double>(1.5);
        EXPECT_EQ(f.LOF(), 21);
        EXPECT_EQ(f.Seek(), 22);
    }
    EXPECT_EQ(read_bytes(p), bytes({0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 'h', 'i', 0, 0xFF, 0, 0, 0,
                                  0, 0, 0, 0xF8, 0x3F}));
    RtFile f(p, OpenMode::Binary);
    EXPECT_EQ(f.Get<short>(), 0x0102);
    EXPECT_EQ(f.Get<long>(), -2);
    EXPECT_EQ(f.Get<BYTE>(), 0x7F);
    EXPECT_EQ(f.Get<VARIANT_BOOL>(), VARIANT_TRUE);
    EXPECT_EQ(f.GetString(2), L"hi");
    EXPECT_EQ(f.GetBytes(2), bytes({0, 0xFF}));
    EXPECT_EQ(f.Get<double>(), 1.5);
    EXPECT_FALSE(f.Eof());
    // Past the end: zeros, no error, EOF.
    EXPECT_EQ(f.Get<long>(), 0);
    EXPECT_TRUE(f.Eof());
    // Put at a position beyond the end fills the gap with zeros.
    f.Seek(24);
    f.PutString(L"z");
    EXPECT_EQ(f.LOF(), 24);
    f.Seek(2);
    EXPECT_EQ(f.Get<BYTE>(), 0x01);
    EXPECT_FALSE(f.Eof());
    EXPECT_EQ(error_of([&] { f.Seek(0); }), 63);
}

TEST_F(Files, ShortFilesReadWithZerosForMissingBytes) {
    std::wstring p = path(L"short.bin");
    write_raw(p, "MZ\x01");
    RtFile f(p, OpenMode::Binary, OpenAccess::Read);
    std::string header = f.GetBytes(28);
    EXPECT_EQ(header.substr(0, 3), "MZ\x01");
    EXPECT_EQ(header.substr(3), std::string(25, '\0'));
    EXPECT_TRUE(f.Eof());
}

TEST_F(Files, CountedStringsAsRecordFields) {
    // The library's archive: path and content as counted strings, then the upper bound.
    std::wstring p = path(L"archive.bin");
    {
        RtFile f(p, OpenMode::Binary);
        f.PutCountedString(L"C:\\a\\x.txt");
        f.PutCountedString(L"abc");
        f.PutCountedString(L"C:\\b\\y.txt");
        f.PutCountedString(L"");
        f.Put<long>(1);
    }
    EXPECT_EQ(read_bytes(p), bytes({0x0A, 0}) + "C:\\a\\x.txt" + bytes({3, 0}) + "abc" + bytes({0x0A, 0}) +
                               "C:\\b\\y.txt" + bytes({0, 0, 1, 0, 0, 0}));
    RtFile f(p, OpenMode::Binary);
    f.Seek(f.LOF() - 3);
    EXPECT_EQ(f.Get<long>(), 1);
    f.Seek(1);
    EXPECT_EQ(f.GetCountedString(), L"C:\\a\\x.txt");
    EXPECT_EQ(f.GetCountedString(), L"abc");
    EXPECT_EQ(f.GetCountedString(), L"C:\\b\\y.txt");
    EXPECT_EQ(f.GetCountedString(), L"");
    f.Close();

    // 65,535 bytes and more: FF FF and a 32-bit length; nothing is cut.
    std::wstring big(70000, L'q');
    {
        RtFile g(p, OpenMode::Output);
    }
    RtFile g(p, OpenMode::Binary);
    g.PutCountedString(big);
    EXPECT_EQ(g.LOF(), 70006);
    g.Seek(1);
    EXPECT_EQ(g.GetBytes(6), bytes({0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    g.Seek(1);
    EXPECT_EQ(g.GetCountedString(), big);
    // A length that the file cannot hold.
    g.Seek(1);
    g.PutBytes(bytes({0x10, 0x00, 'a'}));
    g.Seek(70003);
    g.PutBytes(bytes({0x10, 0x00}));
    g.Seek(70003);
    EXPECT_EQ(error_of([&] { g.GetCountedString(); }), 62);
    EXPECT_EQ(g.Seek(), 70003);
}

namespace {
Variant make_variant_array(std::initializer_list<Variant> items, long lbound = 0) {
    SAFEARRAYBOUND b{static_cast<ULONG>(items.size()), lbound};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &b);
    long i = lbound;
    for (const Variant& v : items) SafeArrayPutElement(sa, &i, const_cast<VARIANT*>(v.get())), ++i;
    Variant r;
    V_VT(r.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(r.get()) = sa;
    return r;
}
Variant v_int(short n) {
    Variant r;
    V_VT(r.get()) = VT_I2;
    V_I2(r.get()) = n;
    return r;
}
std::string put_variant(const std::wstring& p, const VARIANT& v) {
    {
        RtFile f(p, OpenMode::Output);
    }
    RtFile f(p, OpenMode::Binary);
    f.PutVariant(v);
    f.Seek(1);
    return f.GetBytes(static_cast<size_t>(f.LOF()));
}
Variant get_variant(const std::wstring& p) {
    RtFile f(p, OpenMode::Binary, OpenAccess::Read);
    return f.GetVariant();
}
}  // namespace

TEST_F(Files, VariantArrayLayoutIsTheStoredOne) {
    std::wstring p = path(L"array.bin");
    Variant a = make_variant_array({v_int(1), qmtest::v_str(L"x")});
    EXPECT_EQ(put_variant(p, *a.get()), bytes({0x0C, 0x20, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0x00, 0x02, 0x00, 0x01, 0x00, 0x08, 0x00, 0x01, 0x00, 0x78}));
    Variant back = get_variant(p);
    ASSERT_EQ(back.vt(), VT_ARRAY | VT_VARIANT);
    SAFEARRAY* sa = V_ARRAY(back.get());
    LONG lb = -1, ub = -1;
    SafeArrayGetLBound(sa, 1, &lb);
    SafeArrayGetUBound(sa, 1, &ub);
    EXPECT_EQ(lb, 0);
    EXPECT_EQ(ub, 1);
    Variant e0, e1;
    long i = 0;
    SafeArrayGetElement(sa, &i, e0.get());
    i = 1;
    SafeArrayGetElement(sa, &i, e1.get());
    EXPECT_EQ(e0.vt(), VT_I2);
    EXPECT_EQ(V_I2(e0.get()), 1);
    EXPECT_EQ(e1.vt(), VT_BSTR);
    EXPECT_EQ(Bstr::view_of(V_BSTR(e1.get())), L"x");

    // By reference, as script clients pass variables: the same bytes.
    VARIANT ref;
    V_VT(&ref) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&ref) = a.get();
    EXPECT_EQ(put_variant(p, ref).size(), 21u);
}

TEST_F(Files, VariantScalarsAndTypedArrays) {
    std::wstring p = path(L"v.bin");
    Variant empty, null, t, b, d, s;
    V_VT(null.get()) = VT_NULL;
    V_VT(t.get()) = VT_BOOL;
    V_BOOL(t.get()) = VARIANT_TRUE;
    V_VT(b.get()) = VT_UI1;
    V_UI1(b.get()) = 200;
    V_VT(d.get()) = VT_DATE;
    V_DATE(d.get()) = 2.5;
    EXPECT_EQ(put_variant(p, *empty.get()), bytes({0, 0}));
    EXPECT_EQ(put_variant(p, *null.get()), bytes({1, 0}));
    EXPECT_EQ(put_variant(p, *t.get()), bytes({11, 0, 0xFF, 0xFF}));
    EXPECT_EQ(put_variant(p, *b.get()), bytes({17, 0, 200}));
    EXPECT_EQ(put_variant(p, *d.get()), bytes({7, 0, 0, 0, 0, 0, 0, 0, 4, 0x40}));
    Variant back = get_variant(p);
    EXPECT_EQ(back.vt(), VT_DATE);
    EXPECT_EQ(V_DATE(back.get()), 2.5);

    // A String array from 1: counted elements; a Long array: raw values.
    SAFEARRAYBOUND bound{2, 1};
    SAFEARRAY* strings = SafeArrayCreate(VT_BSTR, 1, &bound);
    long i = 1;
    SafeArrayPutElement(strings, &i, Bstr(L"ab").get());
    V_VT(s.get()) = VT_ARRAY | VT_BSTR;
    V_ARRAY(s.get()) = strings;
    EXPECT_EQ(put_variant(p, *s.get()), bytes({0x08, 0x20, 1, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 'a', 'b', 0, 0}));
    back = get_variant(p);
    ASSERT_EQ(back.vt(), VT_ARRAY | VT_BSTR);
    BSTR first = nullptr;
    SafeArrayGetElement(V_ARRAY(back.get()), &i, &first);
    EXPECT_EQ(Bstr::attach(first).view(), L"ab");

    Variant longs;
    SAFEARRAYBOUND lb{1, -3};
    V_VT(longs.get()) = VT_ARRAY | VT_I4;
    V_ARRAY(longs.get()) = SafeArrayCreate(VT_I4, 1, &lb);
    i = -3;
    long value = 0x01020304;
    SafeArrayPutElement(V_ARRAY(longs.get()), &i, &value);
    EXPECT_EQ(put_variant(p, *longs.get()),
              bytes({0x03, 0x20, 1, 0, 1, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1}));
}

TEST_F(Files, VariantEdgeCases) {
    std::wstring p = path(L"e.bin");
    // An undimensioned array keeps its type and stays undimensioned.
    Variant undim;
    V_VT(undim.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(undim.get()) = nullptr;
    EXPECT_EQ(put_variant(p, *undim.get()), bytes({0x0C, 0x20, 0, 0}));
    Variant back = get_variant(p);
    EXPECT_EQ(back.vt(), VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(V_ARRAY(back.get()), nullptr);

    // Nested and two-dimensional arrays come back whole.
    SAFEARRAYBOUND two[2] = {{2, 0}, {3, 1}};
    Variant grid;
    V_VT(grid.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(grid.get()) = SafeArrayCreate(VT_VARIANT, 2, two);
    long at[2] = {1, 3};
    SafeArrayPutElement(V_ARRAY(grid.get()), at, make_variant_array({v_int(7)}).get());
    put_variant(p, *grid.get());
    back = get_variant(p);
    ASSERT_EQ(back.vt(), VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(SafeArrayGetDim(V_ARRAY(back.get())), 2u);
    LONG lb2 = 0, ub2 = 0;
    SafeArrayGetLBound(V_ARRAY(back.get()), 2, &lb2);
    SafeArrayGetUBound(V_ARRAY(back.get()), 2, &ub2);
    EXPECT_EQ(lb2, 1);
    EXPECT_EQ(ub2, 3);
    Variant inner;
    SafeArrayGetElement(V_ARRAY(back.get()), at, inner.get());
    ASSERT_EQ(inner.vt(), VT_ARRAY | VT_VARIANT);
    long zero = 0;
    Variant seven;
    SafeArrayGetElement(V_ARRAY(inner.get()), &zero, seven.get());
    EXPECT_EQ(V_I2(seven.get()), 7);

    // Objects have no file form.
    Variant obj;
    V_VT(obj.get()) = VT_DISPATCH;
    V_DISPATCH(obj.get()) = nullptr;
    EXPECT_EQ(error_of([&] { put_variant(p, *obj.get()); }), 458);

    // An empty file reads as Empty; a count the file cannot hold is refused.
    write_raw(p, "");
    {
        RtFile f(p, OpenMode::Binary);
        EXPECT_EQ(f.GetVariant().vt(), VT_EMPTY);
        EXPECT_TRUE(f.Eof());
    }
    write_raw(p, bytes({0x0C, 0x20, 1, 0, 0x40, 0x42, 0x0F, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(error_of([&] { get_variant(p); }), 62);
    write_raw(p, bytes({0x08, 0, 0xFF, 0x00, 'a'}));
    EXPECT_EQ(error_of([&] { get_variant(p); }), 62);
    write_raw(p, bytes({0x09, 0}));
    EXPECT_EQ(error_of([&] { get_variant(p); }), 458);
}

TEST_F(Files, RandomFilesWorkInRecords) {
    std::wstring p = path(L"r.dat");
    RtFile f(p, OpenMode::Random, OpenAccess::Default, 0, 8);
    f.Seek(3);
    f.Put<long>(0x11223344);
    EXPECT_EQ(f.Seek(), 4);
    f.PutCountedString(L"abc");
    EXPECT_EQ(f.LOF(), 16 + 8 + 5);
    EXPECT_EQ(error_of([&] { f.PutCountedString(L"1234567"); }), 59);
    f.Seek(3);
    EXPECT_EQ(f.Get<long>(), 0x11223344);
    EXPECT_EQ(f.GetCountedString(), L"abc");
    EXPECT_EQ(f.Seek(), 5);
    f.Close();
    std::string raw = read_bytes(p);
    EXPECT_EQ(raw.substr(16, 4), bytes({0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(raw.substr(24), bytes({3, 0, 'a', 'b', 'c'}));
}

// --- file system statements -------------------------------------------------------------

TEST_F(Files, KillDeletesMatchesOnly) {
    write_raw(path(L"k1.tmp"), "1");
    write_raw(path(L"k2.tmp"), "2");
    write_raw(path(L"kh.tmp"), "h");
    write_raw(path(L"other.txt"), "o");
    SetFileAttributesW(path(L"kh.tmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
    Kill(path(L"k*.tmp"));
    EXPECT_FALSE(exists(path(L"k1.tmp")));
    EXPECT_FALSE(exists(path(L"k2.tmp")));
    EXPECT_TRUE(exists(path(L"kh.tmp")));
    EXPECT_TRUE(exists(path(L"other.txt")));
    EXPECT_EQ(error_of([&] { Kill(path(L"k*.tmp")); }), 53);
    EXPECT_EQ(error_of([&] { Kill(path(L"kh.tmp")); }), 53);
    EXPECT_EQ(error_of([&] { Kill(path(L"none.txt")); }), 53);
    EXPECT_EQ(error_of([&] { Kill(path(L"nofolder\\x.txt")); }), 76);
    EXPECT_EQ(error_of([&] { Kill(path(L"nofolder\\*.txt")); }), 76);
    CreateDirectoryW(path(L"sub").c_str(), nullptr);
    EXPECT_EQ(error_of([&] { Kill(path(L"sub")); }), 75);
    SetFileAttributesW(path(L"other.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(error_of([&] { Kill(path(L"other.txt")); }), 75);
    EXPECT_TRUE(exists(path(L"other.txt")));
    SetFileAttributesW(path(L"other.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    Kill(path(L"other.txt"));
    EXPECT_FALSE(exists(path(L"other.txt")));
}

TEST_F(Files, KillFileDeletesExactlyTheNamedFile) {
    write_raw(path(L"a1.txt"), "1");
    write_raw(path(L"a2.txt"), "2");
    EXPECT_EQ(error_of([&] { KillFile(path(L"a*.txt")); }), 52);
    EXPECT_EQ(error_of([&] { KillFile(path(L"a?.txt")); }), 52);
    EXPECT_TRUE(exists(path(L"a1.txt")));
    EXPECT_TRUE(exists(path(L"a2.txt")));
    SetFileAttributesW(path(L"a1.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    KillFile(path(L"a1.txt"));
    EXPECT_FALSE(exists(path(L"a1.txt")));
    EXPECT_TRUE(exists(path(L"a2.txt")));
    EXPECT_EQ(error_of([&] { KillFile(path(L"a1.txt")); }), 53);
    SetFileAttributesW(path(L"a2.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(error_of([&] { KillFile(path(L"a2.txt")); }), 75);
}

TEST_F(Files, NameRenamesAndMoves) {
    write_raw(path(L"x.txt"), "x");
    write_raw(path(L"taken.txt"), "t");
    CreateDirectoryW(path(L"sub").c_str(), nullptr);
    Name(path(L"x.txt"), path(L"y.txt"));
    EXPECT_EQ(read_bytes(path(L"y.txt")), "x");
    EXPECT_FALSE(exists(path(L"x.txt")));
    Name(path(L"y.txt"), path(L"sub\\z.txt"));
    EXPECT_EQ(read_bytes(path(L"sub\\z.txt")), "x");
    EXPECT_EQ(error_of([&] { Name(path(L"sub\\z.txt"), path(L"taken.txt")); }), 58);
    EXPECT_EQ(read_bytes(path(L"taken.txt")), "t");
    EXPECT_EQ(error_of([&] { Name(path(L"x.txt"), path(L"w.txt")); }), 53);
    EXPECT_EQ(error_of([&] { Name(path(L"sub\\z.txt"), path(L"nofolder\\w.txt")); }), 76);
    EXPECT_EQ(error_of([&] { Name(path(L"*.txt"), path(L"w.txt")); }), 52);
    Name(path(L"sub"), path(L"sub2"));
    EXPECT_EQ(read_bytes(path(L"sub2\\z.txt")), "x");
}

TEST_F(Files, FileCopyReplacesTheTarget) {
    write_raw(path(L"s.txt"), "source");
    write_raw(path(L"t.txt"), "old target, longer");
    FileCopy(path(L"s.txt"), path(L"t.txt"));
    EXPECT_EQ(read_bytes(path(L"t.txt")), "source");
    EXPECT_EQ(error_of([&] { FileCopy(path(L"none.txt"), path(L"u.txt")); }), 53);
    EXPECT_EQ(error_of([&] { FileCopy(path(L"s.txt"), path(L"nofolder\\u.txt")); }), 76);
    SetFileAttributesW(path(L"t.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    write_raw(path(L"s.txt"), "new");
    EXPECT_EQ(error_of([&] { FileCopy(path(L"s.txt"), path(L"t.txt")); }), 75);
    SetFileAttributesW(path(L"t.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(read_bytes(path(L"t.txt")), "source");
}

TEST_F(Files, MkDirAndRmDir) {
    MkDir(path(L"d"));
    EXPECT_EQ(GetAttr(path(L"d")) & attr::Directory, attr::Directory);
    EXPECT_EQ(error_of([&] { MkDir(path(L"d")); }), 75);
    EXPECT_EQ(error_of([&] { MkDir(path(L"no\\d")); }), 76);
    write_raw(path(L"d\\f.txt"), "f");
    EXPECT_EQ(error_of([&] { RmDir(path(L"d")); }), 75);
    DeleteFileW(path(L"d\\f.txt").c_str());
    RmDir(path(L"d"));
    EXPECT_FALSE(exists(path(L"d")));
    EXPECT_EQ(error_of([&] { RmDir(path(L"d")); }), 76);
}

TEST_F(Files, AttributesLengthAndTime) {
    std::wstring p = path(L"a.txt");
    write_raw(p, "12345");
    SetAttr(p, attr::ReadOnly | attr::Hidden);
    EXPECT_EQ(GetAttr(p) & ~attr::Archive, attr::ReadOnly | attr::Hidden);
    SetAttr(p, attr::Normal);
    EXPECT_EQ(GetAttr(p) & ~attr::Archive, 0);
    EXPECT_EQ(error_of([&] { SetAttr(p, attr::Directory); }), 5);
    EXPECT_EQ(error_of([&] { GetAttr(path(L"none")); }), 53);
    EXPECT_EQ(error_of([&] { SetAttr(path(L"none"), 0); }), 53);
    EXPECT_EQ(error_of([&] { GetAttr(path(L"no\\none")); }), 76);

    EXPECT_EQ(FileLen(p), 5);
    EXPECT_EQ(FileLen(dir_ + L"." + L"\\a.txt"), 5);
    EXPECT_EQ(error_of([&] { FileLen(path(L"none")); }), 53);
    EXPECT_EQ(error_of([&] { FileLen(dir_); }), 53);

    // A last-change time set as local 14.03.2021 09:26:53 reads back as that.
    SYSTEMTIME local{2021, 3, 0, 14, 9, 26, 53, 0}, utc{};
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    FILETIME ft{};
    SystemTimeToFileTime(&utc, &ft);
    HANDLE h = CreateFileW(p.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    DATE expected = 0;
    SystemTimeToVariantTime(&local, &expected);
    EXPECT_DOUBLE_EQ(FileDateTime(p), expected);
    EXPECT_EQ(error_of([&] { FileDateTime(path(L"none")); }), 53);
}

TEST_F(Files, DirListsByAttributeMask) {
    write_raw(path(L"a.txt"), "");
    write_raw(path(L"r.txt"), "");
    write_raw(path(L"h.txt"), "");
    write_raw(path(L"s.txt"), "");
    write_raw(path(L"b.dat"), "");
    CreateDirectoryW(path(L"sub").c_str(), nullptr);
    SetFileAttributesW(path(L"r.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(path(L"h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(path(L"s.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    auto list = [&](const std::wstring& pattern, long mask) {
        std::set<std::wstring> names;
        for (std::wstring n = Dir(pattern, mask); !n.empty(); n = Dir()) names.insert(n);
        return names;
    };
    using S = std::set<std::wstring>;
    EXPECT_EQ(list(path(L"*.txt"), attr::Normal), (S{L"a.txt", L"r.txt"}));
    EXPECT_EQ(list(path(L"*.txt"), attr::Hidden), (S{L"a.txt", L"r.txt", L"h.txt"}));
    EXPECT_EQ(list(path(L"*.txt"), attr::Hidden | attr::System), (S{L"a.txt", L"r.txt", L"h.txt", L"s.txt"}));
    EXPECT_EQ(list(path(L"*.*"), attr::Directory), (S{L".", L"..", L"a.txt", L"r.txt", L"b.dat", L"sub"}));
    EXPECT_EQ(list(dir_, attr::Normal), (S{L"a.txt", L"r.txt", L"b.dat"}));
    EXPECT_EQ(list(path(L"sub"), attr::Normal), S{});
    EXPECT_EQ(list(path(L"sub"), attr::Directory), S{L"sub"});
    EXPECT_EQ(Dir(path(L"a.txt")), L"a.txt");
    EXPECT_EQ(Dir(path(L"none.*")), L"");
    EXPECT_EQ(Dir(path(L"nofolder\\*.*")), L"");
    // After the listing returned "", Dir() without a pattern is an invalid call.
    EXPECT_EQ(error_of([] { Dir(); }), 5);
    // A new listing ends the running one.
    EXPECT_FALSE(Dir(path(L"*.*"), attr::Directory).empty());
    EXPECT_EQ(Dir(path(L"b.*")), L"b.dat");
    EXPECT_EQ(Dir(), L"");
    // The volume bit gives the volume label alone.
    Dir(dir_, attr::Volume | attr::Directory);
    EXPECT_EQ(Dir(), L"");
}

TEST_F(Files, NumbersAndListingsBelongToTheThread) {
    RtFile mine(path(L"t1.txt"), OpenMode::Binary, OpenAccess::Default, 3);
    EXPECT_EQ(Dir(path(L"t*.txt")), L"t1.txt");
    long other_number = 0, other_dir = 0;
    std::thread([&] {
        other_dir = error_of([] { Dir(); });
        RtFile theirs(path(L"u2.txt"), OpenMode::Binary, OpenAccess::Default, 3);
        other_number = theirs.number();
    }).join();
    EXPECT_EQ(other_dir, 5);
    EXPECT_EQ(other_number, 3);
    // This thread's listing went on undisturbed.
    EXPECT_EQ(Dir(), L"");
}

TEST_F(Files, PathsLongerThanMaxPath) {
    std::wstring deep = dir_.substr(0, dir_.size() - 1);
    while (deep.size() < 400) {
        deep += L"\\" + std::wstring(50, L'd');
        MkDir(deep);
    }
    std::wstring file = deep + L"\\long.txt";
    {
        RtFile f(file, OpenMode::Output);
        f.Print(L"deep");
    }
    EXPECT_EQ(FileLen(file), 6);
    EXPECT_EQ(Dir(deep + L"\\*.txt"), L"long.txt");
    Name(file, deep + L"\\moved.txt");
    FileCopy(deep + L"\\moved.txt", deep + L"\\copy.txt");
    RtFile f(deep + L"\\copy.txt", OpenMode::Input);
    EXPECT_EQ(f.LineInput(), L"deep");
    f.Close();
    Kill(deep + L"\\*.txt");
    for (std::wstring n = Dir(deep + L"\\*.*", attr::Directory); !n.empty(); n = Dir())
        EXPECT_TRUE(n == L"." || n == L"..") << n.size();
    RmDir(deep);
    EXPECT_EQ(error_of([&] { GetAttr(deep); }), 53);
}

// --- App, Environ ---------------------------------------------------------------------

TEST(App, FactsOfTheModule) {
    // In this test the module is the test executable.
    std::wstring folder = App::Path();
    if (folder.back() != L'\\') folder += L'\\';
    EXPECT_EQ(folder + App::EXEName() + L".exe", module_path());
    EXPECT_EQ(App::hInstance(), GetModuleHandleW(nullptr));
    EXPECT_EQ(App::ThreadID(), GetCurrentThreadId());
    EXPECT_GE(App::Major(), 0);
}

TEST(App, Environ) {
    SetEnvironmentVariableW(L"QM_FILES_TEST", L"wert=1");
    EXPECT_EQ(Environ(L"qm_files_test"), L"wert=1");
    EXPECT_EQ(Environ(L"QM_FILES_TEST_NOT_SET"), L"");
    EXPECT_EQ(error_of([] { Environ(L""); }), 5);
    EXPECT_EQ(error_of([] { Environ(0L); }), 5);
    bool found = false;
    for (long n = 1;; ++n) {
        std::wstring entry = Environ(n);
        if (entry.empty()) break;
        EXPECT_NE(entry[0], L'=');
        EXPECT_NE(entry.find(L'='), std::wstring::npos);
        found = found || entry == L"QM_FILES_TEST=wert=1";
    }
    EXPECT_TRUE(found);
    Beep();
}
