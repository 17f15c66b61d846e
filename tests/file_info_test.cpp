// File: versions, headers, link times, attributes, time stamps and shortcuts of
// real files, and the readers of those layouts on broken input. Runs in a time
// zone nine hours east of universal time (tests/CMakeLists.txt).
#include <gtest/gtest.h>
#include <windows.h>
#include <shobjidl.h>

#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <utility>

#include "files/file_formats.h"
#include "runtime/dates.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::DateSerial;
using qm::TimeSerial;
using qm::Variant;
using namespace qmtest;

namespace {

std::wstring versioned() { return test_folder() + L"qmversion.dll"; }

std::wstring str(BSTR s) { return std::wstring(Bstr::view_of(s)); }

// A shell link made by the system's link object.
void make_link(const std::wstring& link, const wchar_t* target) {
    ComPtr<IShellLinkW> sl;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, sl.put_void()), S_OK);
    ASSERT_EQ(sl->SetPath(target), S_OK);
    ComPtr<IPersistFile> pf = sl.query<IPersistFile>();
    ASSERT_TRUE(pf);
    ASSERT_EQ(pf->Save(link.c_str(), TRUE), S_OK);
}

FILETIME file_time(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
    SYSTEMTIME st{y, mo, 0, d, h, mi, s, 0};
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

class FileInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.File");
        ASSERT_TRUE(disp_);
        file_ = disp_.query<_File>();
        ASSERT_TRUE(file_);
        dir_ = scratch() + L"fileinfo " + test_name() + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        wipe(dir_);
        TIME_ZONE_INFORMATION tz{};
        GetTimeZoneInformation(&tz);
        ASSERT_EQ(tz.Bias, -540) << "the tests expect the time zone of tests/CMakeLists.txt";
    }

    // What body leaves in the error log.
    template <class F>
    std::string logged(F&& body) {
        ErrorLog errors;
        body();
        return errors.text();
    }

    std::wstring version(const std::wstring& p) {  // Get_FileVersion
        Bstr r;
        EXPECT_EQ(file_->Get_FileVersion(Bstr(p).get(), r.put()), S_OK);
        return r.str();
    }
    FILETIMEINFO times(const std::wstring& p) {
        FILETIMEINFO t{};
        EXPECT_EQ(file_->Get_FileTime(Bstr(p).get(), &t), S_OK);
        return t;
    }
    long set_times(const std::wstring& p, FILETIMEINFO t) {
        long r = -99;
        EXPECT_EQ(file_->Set_FileTime(Bstr(p).get(), &t, &r), S_OK);
        return r;
    }
    std::wstring target(const std::wstring& link) {
        Bstr p(link), r;
        BSTR ref = p.get();
        EXPECT_EQ(file_->ShortCut_GetTarget(&ref, r.put()), S_OK);
        return r.str();
    }
    long shortcut(ShortcutNFO where, const std::wstring& source, const std::wstring& text,
                  const std::wstring& target_file = L"") {
        Bstr s(source), t(text), f(target_file);
        BSTR sr = s.get(), tr = t.get(), fr = f.get();
        long r = -99;
        EXPECT_EQ(file_->ShortCut_Create(&where, &sr, &tr, &fr, &r), S_OK);
        return r;
    }

    ComPtr<IDispatch> disp_;
    ComPtr<_File> file_;
    std::wstring dir_;
};

TEST_F(FileInfoTest, VersionsAndVersionTexts) {
    const std::wstring plain = dir_ + L"plain.txt";
    write_bytes(plain, "no resource here");
    EXPECT_EQ(version(versioned()), L"1.2.3.4");
    EXPECT_EQ(version(test_folder() + L"qmversionmax.dll"), L"1.0.0.65535");
    EXPECT_EQ(version(plain), L"");

    const wchar_t* texts[] = {L"Quillmark Testwerk", L"Versionsbibliothek", L"1.2.3.4",        L"qmversion",
                              L"(c) 2026 Quillmark", L"qmversion.dll",      L"Quillmark Tests", L"5.6.7.8",
                              L"Nur zum Testen",     L"keine"};  // in the record's field order
    for (const std::wstring& f : {versioned(), plain}) {
        EXTENDETFILEINFO x{};
        ASSERT_EQ(file_->Get_ExtendedFileInfo(Bstr(f).get(), &x), S_OK);
        const BSTR* fields = &x.COMPANYNAME;
        for (size_t i = 0; i < std::size(texts); ++i) {
            EXPECT_EQ(str(fields[i]), f == plain ? L"" : texts[i]) << i;
            SysFreeString(fields[i]);
        }
    }
}

TEST_F(FileInfoTest, DescriptionIsTheShellsTypeName) {
    // A file type of the test's own in the prefix's classes, removed again.
    const wchar_t* ext = L"Software\\Classes\\.qmprobe";
    const wchar_t* type = L"Software\\Classes\\QmProbe.Document";
    struct Types {
        const wchar_t* keys[2];
        ~Types() {
            for (const wchar_t* k : keys) RegDeleteTreeW(HKEY_LOCAL_MACHINE, k);
        }
    } types{{ext, type}};
    ASSERT_EQ(RegSetValueW(HKEY_LOCAL_MACHINE, ext, REG_SZ, L"QmProbe.Document", 0), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueW(HKEY_LOCAL_MACHINE, type, REG_SZ, L"Quillmark Probe Document", 0), ERROR_SUCCESS);
    const std::wstring probe = dir_ + L"probe.qmprobe";
    write_bytes(probe, "x");
    const std::pair<std::wstring, std::wstring> cases[] = {{probe, L"Quillmark Probe Document"}, {L"", L""}};
    for (const auto& [path, name] : cases) {
        Bstr r;
        EXPECT_EQ(file_->Get_FileDescription(Bstr(path).get(), r.put()), S_OK);
        EXPECT_EQ(r.str(), name) << path;
    }
}

TEST_F(FileInfoTest, HeaderOfImageShortAndMissingFile) {
    const std::string image = read_bytes(versioned());
    ASSERT_GE(image.size(), 28u);
    FILEHEADER h{};
    long e = -1;
    ASSERT_EQ(file_->Get_Header(Bstr(versioned()).get(), &e, &h), S_OK);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(h.Sign1, 77);
    EXPECT_EQ(h.Sign2, 90);
    short words[13];
    std::memcpy(words, image.data() + 2, sizeof words);
    EXPECT_EQ(std::memcmp(&h.FlenMod512, words, sizeof words), 0);

    // Ten bytes: zeros after them; a missing file: the zero record, logged.
    write_bytes(dir_ + L"ten.bin", std::string("MZ\x90\x00\x03\x00\xFF\xFF\x04\x00", 10));
    ASSERT_EQ(file_->Get_Header(Bstr(dir_ + L"ten.bin").get(), &e, &h), S_OK);
    const short ten[13] = {0x90, 3, -1, 4};
    EXPECT_EQ(std::memcmp(&h.FlenMod512, ten, sizeof ten), 0);
    const std::string log = logged([&] { file_->Get_Header(Bstr(dir_ + L"none.bin").get(), &e, &h); });
    EXPECT_EQ(e, 53);
    const FILEHEADER zero{};
    EXPECT_EQ(std::memcmp(&h, &zero, sizeof h), 0);
    EXPECT_NE(log.find("Get_Header"), std::string::npos) << log;
}

// "MZ", the pointer at 0x3C, and "PE\0\0" with the time stamp where it points.
std::string image_with_stamp(int32_t stamp, uint32_t pe_offset = 0x40) {
    std::string bytes(pe_offset + 24, '\0');
    bytes[0] = 'M', bytes[1] = 'Z';
    std::memcpy(&bytes[0x3C], &pe_offset, 4);
    std::memcpy(&bytes[pe_offset], "PE\0\0", 4);
    std::memcpy(&bytes[pe_offset + 8], &stamp, 4);
    return bytes;
}

TEST_F(FileInfoTest, CompileTimeInLocalTime) {
    const struct {
        int32_t stamp;
        DATE day, time;
    } cases[] = {
        {1600000000, DateSerial(2020, 9, 13), TimeSerial(21, 26, 40)},  // 12:26:40 universal time
        {-86400, DateSerial(1969, 12, 31), TimeSerial(9, 0, 0)},         // signed: before 1970
        {0x7FFFFFFF, DateSerial(2038, 1, 19), TimeSerial(12, 14, 7)},
        {54000, DateSerial(1970, 1, 2), TimeSerial(0, 0, 0)},            // local midnight
    };
    for (const auto& c : cases) {
        write_bytes(dir_ + L"image.exe", image_with_stamp(c.stamp, c.stamp == 54000 ? 0x3C + 4 + 1 : 0x40));
        COMPILESDATEINFO t{};
        long e = -1;
        ASSERT_EQ(file_->Get_CompileTime(Bstr(dir_ + L"image.exe").get(), &e, &t), S_OK);
        EXPECT_EQ(e, 0);
        EXPECT_EQ(t.cdDate, c.day) << c.stamp;
        EXPECT_EQ(t.cdTime, c.time) << c.stamp;
    }

    // A file without an image header; one whose pointer leads past its end.
    write_bytes(dir_ + L"plain.txt", "PE and 5045 only as text");
    std::string past = image_with_stamp(1);
    past.resize(0x40 + 8);
    write_bytes(dir_ + L"cut.exe", past);
    // A missing file gives the zero record without an error.
    for (const auto& [name, error] :
         {std::pair{L"plain.txt", 5L}, std::pair{L"cut.exe", 5L}, std::pair{L"none.exe", 0L}}) {
        COMPILESDATEINFO t{1, 1};
        long e = -1;
        const Bstr path(dir_ + name);
        const std::string log = logged([&] { file_->Get_CompileTime(path.get(), &e, &t); });
        EXPECT_EQ(e, error) << name;
        EXPECT_EQ(t.cdDate + t.cdTime, 0);
        EXPECT_EQ(log.find("Get_CompileTime") != std::string::npos, error != 0) << log;
    }
}

TEST_F(FileInfoTest, AttributesReadSetAndAsked) {
    const std::wstring f = dir_ + L"a.txt";
    write_bytes(f, "a");
    SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    FILEATTRIBUTE a{};
    long e = -1;
    ASSERT_EQ(file_->Get_Attributes(Bstr(f).get(), &e, &a), S_OK);
    EXPECT_TRUE(a.Hidden && a.ReadOnly && !a.Normal && !a.System && !a.Directory);
    EXPECT_EQ(str(a.FilePath), f);
    SysFreeString(a.FilePath);
    ASSERT_EQ(file_->Get_Attributes(Bstr(dir_).get(), &e, &a), S_OK);
    EXPECT_EQ(a.Directory, VARIANT_TRUE);
    SysFreeString(a.FilePath);
    ASSERT_EQ(file_->Get_Attributes(Bstr(dir_ + L"none").get(), &e, &a), S_OK);
    EXPECT_EQ(e, 53);
    EXPECT_EQ(a.FilePath, nullptr);

    // Set, then read back; any of the asked bits makes Has_Attribut true.
    const struct {
        long set, ask;
        bool has;
    } cases[] = {{2, 3, true}, {2, 5, false}, {1 | 4 | 32, 4, true}, {0, 1 | 2 | 4, false}};
    for (const auto& c : cases) {
        long bits = c.set, ask = c.ask;
        VARIANT_BOOL r = 0;
        ASSERT_EQ(file_->Set_Attributes(Bstr(f).get(), &bits, &e, &r), S_OK);
        EXPECT_EQ(r, VARIANT_TRUE);
        EXPECT_EQ(GetFileAttributesW(f.c_str()) & 7, static_cast<DWORD>(c.set & 7)) << c.set;
        ASSERT_EQ(file_->Has_Attribut(Bstr(f).get(), &ask, &e, &r), S_OK);
        EXPECT_EQ(r != 0, c.has) << c.set << " " << c.ask;
    }
    // Compression: a missing file answers from Exist; the file system here cannot compress.
    AttributeCompressedCommand on = acSelectCompressedAttribut;
    for (const auto& [p, error] : {std::pair{dir_ + L"none", 53L}, std::pair{f, 0L}}) {
        VARIANT_BOOL r = -1;
        ASSERT_EQ(file_->Set_AttributeCompressed(Bstr(p).get(), &on, &e, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(e, error);
    }
}

TEST_F(FileInfoTest, TimesInUniversalTimeSetFromLocalTime) {
    // A name that makes the path 200 characters long, and a read-only file.
    const std::wstring long_name = dir_ + std::wstring(200 - dir_.size() - 4, L'x') + L".txt";
    ASSERT_EQ(long_name.size(), 200u);
    const std::wstring read_only = dir_ + L"ro.txt";
    for (const std::wstring& f : {long_name, read_only}) {
        write_bytes(f, "t");
        const FILETIME c = file_time(2020, 3, 4, 5, 6, 7), a = file_time(2021, 12, 31, 23, 59, 59),
                       w = file_time(2022, 1, 1, 0, 0, 0);
        HANDLE h = CreateFileW(f.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(SetFileTime(h, &c, &a, &w));
        CloseHandle(h);
        if (f == read_only) SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY);

        // (The file system here keeps no creation time of its own.)
        FILETIMEINFO t = times(f);
        EXPECT_EQ(t.LASTACCESS_DATE, DateSerial(2021, 12, 31));
        EXPECT_EQ(t.LASTACCESS_TIME, TimeSerial(23, 59, 59));
        EXPECT_EQ(t.LASTCHANGED_DATE, DateSerial(2022, 1, 1));
        EXPECT_EQ(t.LASTCHANGED_TIME, 0);

        // Set from the same record: read as local time, nine hours earlier in universal time.
        ASSERT_EQ(set_times(f, t), 0);
        t = times(f);
        EXPECT_EQ(t.LASTACCESS_DATE, DateSerial(2021, 12, 31));
        EXPECT_EQ(t.LASTACCESS_TIME, TimeSerial(14, 59, 59));
        EXPECT_EQ(t.LASTCHANGED_DATE, DateSerial(2021, 12, 31));
        EXPECT_EQ(t.LASTCHANGED_TIME, TimeSerial(15, 0, 0));
        // Only the fields count: a date's time of day and a time's day are ignored.
        FILETIMEINFO mixed = t;
        mixed.LASTCHANGED_DATE = DateSerial(2023, 6, 7) + TimeSerial(8, 0, 0);
        mixed.LASTCHANGED_TIME = DateSerial(2000, 1, 1) + TimeSerial(10, 11, 12);
        ASSERT_EQ(set_times(f, mixed), 0);
        t = times(f);
        EXPECT_EQ(t.LASTCHANGED_DATE, DateSerial(2023, 6, 7));
        EXPECT_EQ(t.LASTCHANGED_TIME, TimeSerial(1, 11, 12));
    }
    EXPECT_EQ(GetFileAttributesW(read_only.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));

    // A time the file system cannot store: 5, logged, nothing changed.
    FILETIMEINFO before = times(read_only), bad = before;
    bad.CREATED_DATE = DateSerial(1500, 1, 1);
    long r = 0;
    const std::string log = logged([&] { r = set_times(read_only, bad); });
    EXPECT_EQ(r, 5);
    EXPECT_NE(log.find("Set_FileTime"), std::string::npos) << log;
    const FILETIMEINFO after = times(read_only);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);

    // A folder and a missing file: the zero record; -1 for the setter.
    for (const std::wstring& p : {dir_, dir_ + L"none.txt"}) {
        const FILETIMEINFO zero{}, got = times(p);
        EXPECT_EQ(std::memcmp(&zero, &got, sizeof zero), 0);
        EXPECT_EQ(set_times(p, before), -1);
    }
}

TEST_F(FileInfoTest, FileInfoWithNestedRecords) {
    const std::wstring path = versioned();
    const auto check = [&](const FILEINFO& i) {
        EXPECT_EQ(str(i.Path) + str(i.Attributes.FilePath), path + path);
        EXPECT_EQ(str(i.EXTENDET.COMPANYNAME) + str(i.EXTENDET.LEGALTRADEMARKS), L"Quillmark Testwerkkeine");
        EXPECT_EQ(i.HEADER.Sign1 + i.HEADER.Sign2, 77 + 90);
        EXPECT_NE(i.Time.LASTCHANGED_DATE, 0);
        EXPECT_EQ(i.FileLen, static_cast<long>(read_bytes(path).size()));
        EXPECT_EQ(str(i.Directory), test_folder());
        EXPECT_NE(str(i.LONGPATH), L"");
        EXPECT_NE(str(i.Owner).find(L'\\'), std::wstring::npos);  // computer\user
    };
    FILEINFO info{};
    long e = -1;
    ASSERT_EQ(file_->Get_FileInfo(Bstr(path).get(), &e, &info), S_OK);
    EXPECT_EQ(e, 0);
    check(info);

    Variant r;
    ASSERT_EQ(call(disp_.get(), L"Get_FileInfo", {v_str(path.c_str()).get()}, r.put()), S_OK);
    ASSERT_EQ(r.vt(), VT_RECORD);
    check(*static_cast<const FILEINFO*>(V_RECORD(r.get())));

    Variant missing, error = v_long(-1);
    VARIANT error_ref = v_ref(error);
    ASSERT_EQ(call(disp_.get(), L"Get_FileInfo", {v_str((dir_ + L"none").c_str()).get(), &error_ref}, missing.put()),
              S_OK);
    EXPECT_EQ(V_I4(error.get()), 53);
    const auto* zero = static_cast<const FILEINFO*>(V_RECORD(missing.get()));
    EXPECT_EQ(str(zero->Path), L"");
    EXPECT_EQ(zero->HEADER.Sign1, 0);
    EXPECT_EQ(zero->FileLen, 0);
}

TEST_F(FileInfoTest, Shortcuts) {
    // Made by the system's link object, also read-only; one without link information.
    const std::wstring link = dir_ + L"notepad.lnk";
    make_link(link, L"C:\\windows\\notepad.exe");
    EXPECT_EQ(target(link), L"C:\\windows\\notepad.exe");
    SetFileAttributesW(link.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(target(link), L"C:\\windows\\notepad.exe");
    std::string bare(76, '\0');
    bare[0] = 0x4C;
    write_bytes(dir_ + L"bare.lnk", bare);
    EXPECT_EQ(target(dir_ + L"bare.lnk"), L"");
    EXPECT_EQ(target(dir_ + L"none.lnk"), L"");

    // Onto an existing file nothing happens.
    const std::string before = read_bytes(link);
    EXPECT_EQ(shortcut(scFROMFILE, L"C:\\windows\\regedit.exe", L"", link), 0);
    EXPECT_EQ(read_bytes(link), before);
    EXPECT_EQ(shortcut(scFROMFILE, L"C:\\windows\\notepad.exe", L"", dir_ + L"new.lnk"), 0);
    EXPECT_EQ(target(dir_ + L"new.lnk"), L"C:\\windows\\notepad.exe");

    // Named after the source in the send-to folder; named Text on the desktop.
    const auto folder = [](::SystemDirectory which) {
        Bstr path;
        EXPECT_EQ(create(L"Quillmark.System").query<_System>()->SystemDirectory(&which, path.put()), S_OK);
        return path.str();
    };
    const std::wstring sent = folder(sdUser_SendTo) + L"edit.lnk";
    EXPECT_EQ(shortcut(scSENDTO, L"C:\\tools\\edit.exe", L"ignored"), 0);
    EXPECT_TRUE(exists(sent));
    DeleteFileW(sent.c_str());
    const std::wstring on_desktop = folder(sdUser_Desktop) + L"Quillmark Test.lnk";
    EXPECT_EQ(shortcut(scDESKTOP, L"C:\\windows\\notepad.exe", L"Quillmark Test"), 0);
    EXPECT_EQ(target(on_desktop), L"C:\\windows\\notepad.exe");
    DeleteFileW(on_desktop.c_str());

    // A link that cannot be saved is reported.
    long r = 0;
    const std::string log = logged([&] { r = shortcut(scDESKTOP, L"C:\\windows\\notepad.exe", L"no\\such\\folder"); });
    EXPECT_NE(r, 0);
    EXPECT_NE(log.find("ShortCut_Create"), std::string::npos) << log;
}

// Mutated and truncated copies of a real input; the reader may only ask for
// bytes inside the data.
template <class Check>
void mutate(const std::string& seed, unsigned salt, Check&& check) {
    std::mt19937 gen(20261209u + salt);
    for (int round = 0; round < 10000; ++round) {
        std::string data = seed;
        const int changes = 1 + static_cast<int>(gen() % 8);
        for (int i = 0; i < changes && !data.empty(); ++i) {
            const size_t at = gen() % data.size();
            const unsigned kind = gen() % 4;
            data[at] = static_cast<char>(kind == 0 ? 0 : kind == 1 ? 0xFF : kind == 2 ? 1 : gen());
        }
        if (round % 3 == 0) data.resize(gen() % (data.size() + 1));
        check(data);
    }
}

qm::ReadAt reader(const std::string& data, bool& outside) {
    return [&data, &outside](uint64_t offset, void* out, size_t size) {
        if (offset > data.size() || data.size() - offset < size) {
            outside = true;
            return false;
        }
        std::memcpy(out, data.data() + offset, size);
        return true;
    };
}

TEST(FileInfoFuzz, BrokenInputsGiveNothingAndStayInside) {
    // Version data as the system reads it from the test library.
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(versioned().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string version(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(versioned().c_str(), 0, size, version.data()));
    mutate(version, 1, [](const std::string& d) {
        const std::wstring_view units(reinterpret_cast<const wchar_t*>(d.data()), d.size() / 2);
        for (const wchar_t* key : {L"Comments", L"FileVersion", L"ProductVersion"})
            ASSERT_LE(qm::Get_VersionInfoValue(units, key).size(), units.size());
    });

    mutate(read_bytes(versioned()).substr(0, 1024), 2, [](const std::string& d) {
        bool outside = false;
        qm::image_time_stamp(d.size(), reader(d, outside));
        ASSERT_FALSE(outside);
    });

    const std::wstring link = scratch() + L"fuzz.lnk";
    make_link(link, L"C:\\windows\\notepad.exe");
    const std::string seed = read_bytes(link);
    bool outside = false;
    ASSERT_EQ(qm::link_local_base_path(seed.size(), reader(seed, outside)), "C:\\windows\\notepad.exe");
    mutate(seed, 3, [](const std::string& d) {
        bool outside = false;
        const std::string p = qm::link_local_base_path(d.size(), reader(d, outside));
        ASSERT_FALSE(outside);
        ASSERT_LE(p.size(), d.size());
    });
    DeleteFileW(link.c_str());
}

}  // namespace
