// File: splitting and joining files, and the library's archive file (with a fuzz
// run of Archive_Extract), on real files in the scratch folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "files/file.h"
#include "runtime/files.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using namespace qmtest;

namespace {

std::string pattern(size_t n, unsigned seed = 3) {
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    return s;
}

std::string narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

class SplitJoin : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = create(L"Quillmark.File").query<_File>();
        ASSERT_TRUE(file_);
        dir_ = scratch() + L"split " + test_name() + L"\\";
        CreateDirectoryW(dir_.c_str(), nullptr);
        wipe(dir_);
    }
    long split(const std::wstring& path, long kb, std::wstring* output = nullptr, bool batch = false) {
        BSTR out = SysAllocString(output ? output->c_str() : L"");
        VARIANT_BOOL make = batch ? VARIANT_TRUE : VARIANT_FALSE;
        long r = -99;
        EXPECT_EQ(file_->Split(Bstr(path).get(), kb, &out, &make, &r), S_OK);
        if (output) *output = Bstr::view_of(out);
        SysFreeString(out);
        return r;
    }
    long join(const std::wstring& start, std::wstring* output = nullptr, _File* file = nullptr) {
        BSTR out = SysAllocString(output ? output->c_str() : L"");
        long r = -99;
        EXPECT_EQ((file ? file : file_.get())->Join(Bstr(start).get(), &out, &r), S_OK);
        if (output) *output = Bstr::view_of(out);
        SysFreeString(out);
        return r;
    }

    ComPtr<_File> file_;
    std::wstring dir_;
};

TEST_F(SplitJoin, PartsAndBatchLine) {
    struct Case {
        size_t size;
        std::vector<size_t> parts;  // empty: refused with -2
    };
    for (const Case& c : std::vector<Case>{{1000, {}}, {2048, {1024, 1024, 0}}, {2500, {1024, 1024, 452}}}) {
        wipe(dir_);
        const std::string bytes = pattern(c.size);
        write_bytes(dir_ + L"x.dat", bytes);
        std::wstring base;
        ASSERT_EQ(split(dir_ + L"x.dat", 1, &base, true), c.parts.empty() ? -2 : 0) << c.size;
        if (c.parts.empty()) {
            EXPECT_EQ(entries(dir_), 1);
            continue;
        }
        EXPECT_EQ(base, dir_ + L"x.");
        std::string line = "copy /b ", joined;
        for (size_t n = 1; n <= c.parts.size(); ++n) {
            const std::string part = read_bytes(dir_ + L"x.00" + std::to_wstring(n));
            EXPECT_EQ(part.size(), c.parts[n - 1]) << c.size << " part " << n;
            joined += part;
            line += (n > 1 ? " + x.00" : "x.00") + std::to_string(n);
        }
        EXPECT_EQ(joined, bytes);
        EXPECT_FALSE(exists(dir_ + L"x.004"));
        EXPECT_EQ(read_bytes(dir_ + L"x.Bat"), line + " x.dat\r\n");
    }

    // The batch file, run by the command interpreter in the parts' folder, rebuilds the file.
    const std::string bytes = read_bytes(dir_ + L"x.dat");
    DeleteFileW((dir_ + L"x.dat").c_str());
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    std::wstring command = L"cmd.exe /c x.Bat";
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               dir_.c_str(), &si, &pi))
        << GetLastError();
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(read_bytes(dir_ + L"x.dat"), bytes);
}

TEST_F(SplitJoin, SplitRefusesToHarmItsFile) {
    write_bytes(dir_ + L"a.dat", pattern(3000));
    EXPECT_EQ(split(dir_ + L"a.dat", 0), 0);
    EXPECT_EQ(split(dir_ + L"a.dat", -5), 0);
    EXPECT_EQ(entries(dir_), 1);
    EXPECT_EQ(split(dir_ + L"none.dat", 1), -1);
    // Splitting a part again: its own name would be the first part.
    write_bytes(dir_ + L"x.001", pattern(3000));
    EXPECT_EQ(split(dir_ + L"x.001", 1), 75);
    EXPECT_EQ(read_bytes(dir_ + L"x.001"), pattern(3000));
    EXPECT_FALSE(exists(dir_ + L"x.002"));
    // Names the command interpreter would act on are quoted.
    write_bytes(dir_ + L"a b&c.dat", pattern(1500));
    std::wstring base = dir_ + L"p%1 (x)";
    ASSERT_EQ(split(dir_ + L"a b&c.dat", 1, &base, true), 0);
    EXPECT_EQ(read_bytes(dir_ + L"p%1 (x).Bat"),
              "copy /b \"p%%1 (x).001\" + \"p%%1 (x).002\" \"a b&c.dat\"\r\n");
    // A name the batch's code page holds only as a look-alike (a fullwidth quote
    // would be written as '"'): no line can hold it, -3, and nothing is written.
    for (const wchar_t* name : {L"q\uFF02&calc&\uFF02.dat", L"k\u03A9.dat"}) {
        wipe(dir_);
        write_bytes(dir_ + name, pattern(1500));
        EXPECT_EQ(split(dir_ + name, 1, nullptr, true), -3) << name;
        EXPECT_EQ(entries(dir_), 1) << name;
    }
}

TEST_F(SplitJoin, JoinRoundTripAndRefusals) {
    const std::string bytes = pattern(2500000, 9);
    write_bytes(dir_ + L"x.dat", bytes);
    ASSERT_EQ(split(dir_ + L"x.dat", 1000), 0);  // 1,024,000-byte parts
    std::wstring out;
    EXPECT_EQ(join(dir_ + L"x.001", &out), 0);
    EXPECT_EQ(out, dir_ + L"x.out");
    EXPECT_TRUE(read_bytes(dir_ + L"x.out") == bytes);
    out = dir_ + L"y.dat";
    write_bytes(out, "old");
    SetFileAttributesW(out.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(join(dir_ + L"x.001", &out), 0);
    EXPECT_TRUE(read_bytes(out) == bytes);

    // Refusals: nothing touched.
    write_bytes(dir_ + L"y.out", "keep");
    write_bytes(dir_ + L"y.001", "one");
    EXPECT_EQ(join(dir_ + L"y.001"), -4);
    EXPECT_EQ(read_bytes(dir_ + L"y.out"), "keep");
    EXPECT_EQ(join(dir_ + L"none.001"), -1);
    EXPECT_EQ(join(dir_ + L"x.dat"), -2);
    write_bytes(dir_ + L"z.001", "");
    EXPECT_EQ(join(dir_ + L"z.001"), -3);
    out = dir_ + L"x.002";
    EXPECT_EQ(join(dir_ + L"x.001", &out), 75);
    EXPECT_EQ(read_bytes(dir_ + L"x.002").size(), 1024000u);
    // A part that is there but cannot be read ends the join with its error.
    HANDLE lock = CreateFileW((dir_ + L"x.003").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    out = dir_ + L"y.dat";
    EXPECT_EQ(join(dir_ + L"x.001", &out), 70);
    CloseHandle(lock);
    EXPECT_TRUE(read_bytes(out) == bytes);
}

// A Join started by a timer while another Join yields finds the fixed file
// numbers taken.
_File* g_file = nullptr;
std::wstring g_start;
long g_inner = -99;
void CALLBACK inner_join(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    BSTR out = SysAllocString(L"");
    g_file->Join(Bstr(g_start).get(), &out, &g_inner);
    SysFreeString(out);
}

TEST_F(SplitJoin, JoinInsideAnothersYieldGets55) {
    write_bytes(dir_ + L"x.dat", pattern(5000));
    ASSERT_EQ(split(dir_ + L"x.dat", 1), 0);
    g_file = file_.get();
    g_start = dir_ + L"x.001";
    g_inner = -99;
    SetTimer(nullptr, 0, 1, inner_join);
    Sleep(50);
    std::wstring out = dir_ + L"outer.dat";
    EXPECT_EQ(join(dir_ + L"x.001", &out), 0);
    EXPECT_EQ(g_inner, 55);
    EXPECT_EQ(read_bytes(out), pattern(5000));
    EXPECT_FALSE(exists(dir_ + L"x.out"));
}

// --- the archive file -----------------------------------------------------------------

std::string u16(size_t n) { return {static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)}; }
std::string entry(const std::string& path, const std::string& content) {
    return u16(path.size()) + path + u16(content.size()) + content;
}
std::string archive(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string a;
    for (const auto& [p, c] : entries) a += entry(p, c);
    const int32_t upper = static_cast<int32_t>(entries.size()) - 1;
    a.append(reinterpret_cast<const char*>(&upper), 4);
    return a;
}

class Archive : public SplitJoin {
protected:
    long pack(const std::vector<std::wstring>& files, const std::wstring& target) {
        SAFEARRAY* list = qm::string_array(files).detach();
        BSTR to = SysAllocString(target.c_str());
        long r = -99;
        EXPECT_EQ(file_->Archive_Pack(&list, &to, &r), S_OK);
        SysFreeString(to);
        SafeArrayDestroy(list);
        return r;
    }
    // The run-time error number of Archive_Extract, 0 when it succeeded.
    long extract(const std::wstring& archive_file, const std::wstring& target) {
        long r = -99;
        const HRESULT hr = file_->Archive_Extract(Bstr(archive_file).get(), Bstr(target).get(), &r);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(r, 0);
        }
        return SUCCEEDED(hr) ? 0 : HRESULT_CODE(hr);
    }
};

TEST_F(Archive, PackLayoutAndExtract) {
    CreateDirectoryW((dir_ + L"a").c_str(), nullptr);
    CreateDirectoryW((dir_ + L"b").c_str(), nullptr);
    CreateDirectoryW((dir_ + L"out").c_str(), nullptr);
    const std::wstring x = dir_ + L"a\\x.txt", y = dir_ + L"b\\y.txt", arc = dir_ + L"t.arc";
    write_bytes(x, "abc");
    write_bytes(y, "");
    ASSERT_EQ(pack({x, y}, arc), 0);
    EXPECT_EQ(read_bytes(arc), archive({{narrow(x), "abc"}, {narrow(y), ""}}));
    EXPECT_EQ(extract(arc, dir_ + L"out"), 0);
    EXPECT_EQ(read_bytes(dir_ + L"out\\x.txt"), "abc");
    EXPECT_EQ(read_bytes(dir_ + L"out\\y.txt"), "");

    // Refused: a missing file (not created), a content beyond 65,535 bytes.
    write_bytes(arc, "old");
    EXPECT_EQ(pack({x, dir_ + L"none.txt"}, arc), 53);
    EXPECT_FALSE(exists(dir_ + L"none.txt"));
    write_bytes(dir_ + L"big.bin", std::string(65536, 'b'));
    EXPECT_EQ(pack({dir_ + L"big.bin"}, arc), 6);
    EXPECT_EQ(read_bytes(arc), "old");
    write_bytes(dir_ + L"big.bin", std::string(65535, 'b'));
    EXPECT_EQ(pack({dir_ + L"big.bin"}, arc), 0);
    EXPECT_EQ(read_bytes(arc).size(), 2 + narrow(dir_ + L"big.bin").size() + 2 + 65535 + 4);

    // A path goes in as its ANSI bytes: one the code page holds only as a
    // look-alike would come out under another name, and is refused (52).
    write_bytes(arc, "old");
    for (const HostileChar& c : kHostileChars) {
        const std::wstring odd = dir_ + L"a\\k" + c.text + L".txt";
        write_bytes(odd, "k");
        EXPECT_EQ(pack({x, odd}, arc), 52) << c.label;
    }
    EXPECT_EQ(read_bytes(arc), "old");
    const std::wstring held = dir_ + L"a\\\u00e4\u20ac.txt";  // a name the code page holds exactly
    write_bytes(held, "u");
    ASSERT_EQ(pack({held}, arc), 0);
    EXPECT_EQ(extract(arc, dir_ + L"out"), 0);
    EXPECT_EQ(read_bytes(dir_ + L"out\\\u00e4\u20ac.txt"), "u");
}

TEST_F(Archive, NamesStayInsideTheTarget) {
    const std::wstring out = dir_ + L"out\\", arc = dir_ + L"t.arc";
    CreateDirectoryW(out.c_str(), nullptr);
    struct Case {
        std::string path;
        long error;
        const wchar_t* written;
    };
    for (const Case& c : std::vector<Case>{{"..\\..\\x", 0, L"x"},
                                           {"a/../y", 0, L"y"},
                                           {"C:\\deep\\z.txt", 0, L"z.txt"},
                                           {"C:x", 52, nullptr},
                                           {"..", 52, nullptr},
                                           {"a\\", 52, nullptr},
                                           {"a\\.", 52, nullptr},
                                           {"q?.txt", 52, nullptr},
                                           {"NUL.txt", 52, nullptr},
                                           {"com1", 52, nullptr}}) {
        wipe(out);
        // A good entry first: a bad one later must keep it from being written too.
        write_bytes(arc, archive({{"first.txt", "1"}, {c.path, "data"}}));
        EXPECT_EQ(extract(arc, out), c.error) << c.path;
        EXPECT_EQ(entries(out), c.error ? 0 : 2) << c.path;
        if (c.written) {
            EXPECT_EQ(read_bytes(out + c.written), "data") << c.path;
        }
        EXPECT_EQ(entries(dir_), 2) << c.path;  // the archive and out, nothing beside them
    }
    // Two entries of the same name: the later one, exactly (no old tail).
    wipe(out);
    write_bytes(arc, archive({{"a\\same.txt", "long content"}, {"b\\same.txt", "short"}}));
    EXPECT_EQ(extract(arc, out), 0);
    EXPECT_EQ(read_bytes(out + L"same.txt"), "short");
    EXPECT_EQ(extract(dir_ + L"none.arc", out), 53);
}

// Mutated and truncated archives, from a fixed seed.
std::vector<std::string> fuzzed_archives(int count) {
    const std::string good =
        archive({{"C:\\src\\one.txt", "first file"}, {"two.bin", std::string(40, '\x07')}, {"d/three", "3"}});
    const char* tricky[] = {"..", ".", "C:", "x:y", "a/..", "\\", "NUL", "<", "CON.txt", " ", "a\\..\\b"};
    std::mt19937 gen(20261209);
    std::vector<std::string> all;
    for (int round = 0; round < count; ++round) {
        std::string a = good;
        switch (gen() % 6) {
            case 0:  // bytes flipped
                for (unsigned k = 1 + gen() % 4; k; --k) a[gen() % a.size()] ^= static_cast<char>(1 + gen() % 255);
                break;
            case 1: a.resize(gen() % a.size()); break;  // cut short
            case 2: {                                    // another upper bound
                const int32_t upper = static_cast<int32_t>(gen() % 2 ? gen() : gen() % 8) - (gen() % 2 ? 4 : 0);
                std::memcpy(a.data() + a.size() - 4, &upper, 4);
                break;
            }
            case 3: {  // a length field changed
                const size_t at = gen() % 2 ? 0 : 2 + 14;
                a[at] = static_cast<char>(gen());
                a[at + 1] = static_cast<char>(gen() % 3 == 0 ? gen() : 0);
                break;
            }
            case 4:  // bytes inserted
                a.insert(gen() % a.size(), std::string(1 + gen() % 8, static_cast<char>(gen())));
                break;
            default:  // a tricky name
                a = archive({{"ok.txt", "x"}, {tricky[gen() % std::size(tricky)], "y"}});
                break;
        }
        all.push_back(std::move(a));
    }
    return all;
}

// Each archive is refused with a run-time error before any entry is handed
// out, or hands out plain names only (a file in the target folder itself) and
// no more content than it holds.
TEST(ArchiveFuzz, EntriesAreCheckedWhole) {
    int refused = 0, extracted = 0;
    for (const std::string& a : fuzzed_archives(10000)) {
        size_t visited = 0, content = 0;
        bool plain = true;
        const long error = error_of([&] {
            qm::for_each_archive_entry(a, [&](const std::wstring& name, std::string_view bytes) {
                ++visited;
                content += bytes.size();
                plain = plain && !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos &&
                        name.find_first_not_of(L". ") != std::wstring::npos;
            });
        });
        if (error) {
            ++refused;
            ASSERT_TRUE(error == 62 || error == 52) << error;
            ASSERT_EQ(visited, 0u);
        } else {
            ++extracted;
            ASSERT_TRUE(plain);
            ASSERT_GE(visited, 1u);
            ASSERT_LE(content, a.size());
        }
    }
    EXPECT_GT(refused, 1000);
    EXPECT_GT(extracted, 100);
}

// A sample of them through the member, on disk: nothing beside the target folder.
TEST_F(Archive, FuzzedArchivesOnDisk) {
    const std::wstring out = dir_ + L"out\\", arc = dir_ + L"f.arc";
    CreateDirectoryW(out.c_str(), nullptr);
    const std::vector<std::string> all = fuzzed_archives(10000);
    for (size_t i = 0; i < all.size(); i += 50) {
        write_bytes(arc, all[i]);
        const long error = extract(arc, out);
        ASSERT_EQ(entries(dir_), 2) << i;
        if (error) {
            ASSERT_EQ(entries(out), 0) << i << " error " << error;
        } else {
            wipe(out);
        }
    }
}

}  // namespace
