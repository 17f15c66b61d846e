// Damaged tags: the ID3 parsers over tens of thousands of mutated tags, each in a
// buffer that ends at a no-access page, and a few hundred through the members
// as real files. Every input must end in a tag or a clear refusal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <span>
#include <random>
#include <string>
#include <vector>

#include "id3_tags.h"
#include "media/id3.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;
namespace tags = qmtest::tagbytes;
namespace id3 = qm::id3;

namespace {

// One input at a time, placed so that its last byte is followed by a page that
// faults on any access.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t capacity) {
        page_ = 4096;
        pages_ = (capacity + page_ - 1) / page_;
        base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, (pages_ + 1) * page_, MEM_RESERVE | MEM_COMMIT,
                                                   PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + pages_ * page_, page_, PAGE_NOACCESS, &old);
    }
    ~GuardedBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
    std::span<const uint8_t> place(const std::string& bytes) {
        uint8_t* at = base_ + pages_ * page_ - bytes.size();
        std::memcpy(at, bytes.data(), bytes.size());
        return {at, bytes.size()};
    }

private:
    uint8_t* base_ = nullptr;
    size_t page_ = 0, pages_ = 0;
};

std::vector<std::string> v2_seeds() {
    using tags::frame, tags::tag, tags::text;
    std::vector<std::string> seeds;
    for (int major : {2, 3, 4}) {
        const std::string t = major == 2 ? "TT2" : "TIT2", a = major == 2 ? "TP1" : "TPE1",
                          u = major == 2 ? "XYZ" : "XYZW", n = major == 2 ? "TRK" : "TRCK";
        std::string body = text(major, t, "Erster") + text(major, t, "Zweiter") + text(major, n, "3/12") +
                           frame(major, u, "unbekannt") + text(major, a, "Band") + std::string(64, '\0');
        seeds.push_back(tag(major, body));
        seeds.push_back(tag(major, frame(major, major == 2 ? "PIC" : "APIC", std::string(5000, 'p')) + body));
        if (major == 3) seeds.push_back(tag(3, tags::be32(6) + std::string(6, '\0') + body, 0x40));
        if (major == 4) seeds.push_back(tag(4, tags::synchsafe(6) + std::string(2, '\x01') + body, 0x40));
    }
    return seeds;
}

// Byte flips, inserted and removed bytes, size fields set to extremes, version
// bytes: one or a few at a time.
std::string mutate(std::string s, std::mt19937& rng) {
    auto pick = [&](size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng) : 0; };
    const int steps = 1 + static_cast<int>(pick(3));
    for (int i = 0; i < steps; ++i) {
        switch (pick(5)) {
            case 0:
                if (!s.empty()) s[pick(s.size())] = static_cast<char>(pick(256));
                break;
            case 1: s.insert(pick(s.size() + 1), std::string(1 + pick(12), static_cast<char>(pick(256)))); break;
            case 2:
                if (!s.empty()) s.erase(pick(s.size()), 1 + pick(12));
                break;
            case 3: {
                static const char* kSizes[] = {"\0\0\0\0", "\x7F\x7F\x7F\x7F", "\xFF\xFF\xFF\xFF"};
                if (s.size() >= 4) s.replace(pick(s.size() - 3), 4, kSizes[pick(3)], 4);
                break;
            }
            default:
                if (s.size() > 4) s[3 + pick(2)] = static_cast<char>(pick(256));
                break;
        }
    }
    return s;
}

template <class F>
void bounded(F&& f, const std::string& input) {
    const auto start = std::chrono::steady_clock::now();
    f();
    // Linear parsers: anything near this bound is a loop that does not end.
    ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "input of " << input.size();
}

void check_v2(std::span<const uint8_t> bytes, const std::string& input) {
    bounded(
        [&] {
            const size_t at = id3::find_marker(bytes);
            if (at == id3::npos) return;
            const auto rest = bytes.subspan(at);
            const id3::V2Tag t = id3::parse_v2(rest);
            ASSERT_TRUE(t.status == id3::V2Tag::Tag || t.status == id3::V2Tag::BadVersion ||
                        t.status == id3::V2Tag::CutShort);
            if (t.status != id3::V2Tag::Tag) {
                ASSERT_TRUE(t.frames.empty());
            }
            for (const id3::Frame& f : t.frames) {
                const auto* p = reinterpret_cast<const uint8_t*>(f.value.data());
                ASSERT_TRUE(f.value.empty() || (p >= rest.data() && p + f.value.size() <= rest.data() + rest.size()));
            }
            ASSERT_LE(t.frames.size(), rest.size() / 6);
        },
        input);
}

TEST(Id3Fuzz, MarkerSearchFindsTheFirstMarkerAtAnyPlace) {
    // Around the borders of the wide blocks (16 and 64 places), with near
    // misses ("ID" without "3", "I3") before the marker and a marker cut off
    // at the end.
    for (size_t size : {3u, 17u, 66u, 67u, 130u, 300u})
        for (size_t at = 0; at + 3 <= size; ++at) {
            std::string bytes(size, 'x');
            for (size_t k = 0; k + 3 < at; k += 5) bytes.replace(k, 3, k % 2 ? "IDx" : "I3x");
            bytes.replace(at, 3, "ID3");
            const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
            EXPECT_EQ(id3::find_marker({b, size}), at) << size << " " << at;
            EXPECT_EQ(id3::find_marker({b, at + 2}), id3::npos) << size << " " << at;
        }
}

TEST(Id3Fuzz, V2ParserSurvivesDamagedTags) {
    GuardedBuffer buffer(1 << 16);
    std::mt19937 rng(20261209);
    long inputs = 0;
    for (const std::string& seed : v2_seeds()) {
        for (size_t n = 0; n <= seed.size(); ++n, ++inputs) check_v2(buffer.place(seed.substr(0, n)), seed);
        for (int version = 0; version < 256; ++version, ++inputs) {
            std::string s = seed;
            s[3] = static_cast<char>(version);
            check_v2(buffer.place(s), s);
        }
        for (int i = 0; i < 1500; ++i, ++inputs) {
            const std::string s = mutate(seed, rng);
            check_v2(buffer.place(s), s);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
    EXPECT_GE(inputs, 10000);
}

TEST(Id3Fuzz, V1ParserSurvivesDamagedBlocks) {
    GuardedBuffer buffer(4096);
    std::mt19937 rng(4711);
    const std::string seed = std::string(200, '\xFF') + tags::v1("Titel", '\0');
    long inputs = 0;
    auto check = [&](const std::string& s) {
        ++inputs;
        const auto bytes = buffer.place(s);
        id3::V1Tag t;
        const id3::V1Status status = id3::parse_v1(bytes, t);
        if (s.size() < 128) {
            ASSERT_EQ(status, id3::V1Status::TooShort);
        }
        if (status != id3::V1Status::Tag) return;
        ASSERT_EQ(s.compare(s.size() - 128, 3, "TAG"), 0);
        for (std::string_view f : t.texts) {
            const auto* p = reinterpret_cast<const uint8_t*>(f.data());
            ASSERT_TRUE(p >= bytes.data() && p + f.size() <= bytes.data() + bytes.size());
            ASSERT_TRUE(f.empty() || f.back() != ' ');
        }
    };
    for (size_t n = 0; n <= seed.size(); ++n) check(seed.substr(0, n));
    for (size_t n = 0; n <= seed.size(); ++n) check(seed.substr(seed.size() - n));
    while (inputs < 10000) check(mutate(seed, rng));
}

TEST(Id3Fuzz, MembersOnDamagedFiles) {
    ComPtr<_Multimedia> mm = create(L"Quillmark.Multimedia").query<_Multimedia>();
    ASSERT_TRUE(mm);
    std::mt19937 rng(99);
    std::vector<std::string> files = {"", "ID3", std::string(127, 'x'), tags::v1("t"),
                                      // a bad header, then "ID3" in the audio data
                                      "ID3\x07" + std::string(300, '\xFF') + "ID3" + std::string(20, '\x00')};
    for (const std::string& seed : v2_seeds()) {
        for (size_t n = 0; n < seed.size(); n += 1 + seed.size() / 10) files.push_back(seed.substr(0, n));
        for (int i = 0; i < 15; ++i) files.push_back(mutate(seed, rng) + std::string(64, '\xFF') + tags::v1("x"));
    }
    const std::wstring path = scratch() + L"fuzz.mp3";
    for (const std::string& bytes : files) {
        write_bytes(path, bytes);
        ID3V1TAGINFO r1{};
        ID3V2TAGINFO r2{};
        long e1 = 0, e2 = -1;
        VARIANT_BOOL ok1 = 0, ok2 = 0;
        ASSERT_EQ(mm->MP3_ReadID3v1Tag(Bstr(path).get(), &r1, &e1, &ok1), S_OK);
        ASSERT_EQ(mm->MP3_ReadID3v2Tag(Bstr(path).get(), &r2, &e2, &ok2), S_OK);
        if (ok1) {
            EXPECT_EQ(e1, 0);
        }
        if (ok2) {
            EXPECT_EQ(e2, 0);
        }
        // A refusal is either "no tag" or one of the runtime's errors.
        for (long e : {e1, e2}) EXPECT_TRUE(e == 0 || e == 5 || e == 6 || e == 63) << e;
        if (bytes.size() < 128) {
            EXPECT_EQ(e1, 63);
        }
        for (BSTR* f : {&r1.Songname, &r1.Artist, &r1.Album, &r1.Year, &r1.Comment, &r1.Genre}) SysFreeString(*f);
        for (BSTR* f : {&r2.Version, &r2.Encoder, &r2.Link, &r2.Copyright, &r2.OriginalArtist, &r2.Composer,
                        &r2.Genre, &r2.Comment, &r2.Year, &r2.Album, &r2.Artist, &r2.Title, &r2.Language,
                        &r2.MediaType, &r2.Publisher, &r2.DecodingSoftware})
            SysFreeString(*f);
    }
    EXPECT_GE(files.size(), 200u);
}

}  // namespace
