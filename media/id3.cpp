// ID3 tags from bytes. Every length taken from the data is checked against the
// bytes that remain before it is used.
#include "media/id3.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "runtime/cpu.h"

namespace qm::id3 {

namespace {

std::string_view chars(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

uint32_t big_endian(std::span<const uint8_t> b) {
    uint32_t v = 0;
    for (uint8_t x : b) v = (v << 8) | x;
    return v;
}

uint32_t synchsafe(std::span<const uint8_t> b) {
    uint32_t v = 0;
    for (uint8_t x : b) v = (v << 7) | (x & 0x7F);
    return v;
}

struct Id {
    char name[5];
    Field field;
};

constexpr Id kIds34[] = {
    {"PCNT", Field::PlayCounter}, {"TRCK", Field::Track},     {"TENC", Field::Encoder},
    {"WXXX", Field::Link},        {"TCOP", Field::Copyright}, {"TOPE", Field::OriginalArtist},
    {"TCOM", Field::Composer},    {"TCON", Field::Genre},     {"COMM", Field::Comment},
    {"TYER", Field::Year},        {"TALB", Field::Album},     {"TPE1", Field::Artist},
    {"TIT2", Field::Title},       {"TLAN", Field::Language},  {"TLEN", Field::Length},
    {"TMED", Field::MediaType},   {"TPUB", Field::Publisher}, {"TSSE", Field::DecodingSoftware},
};

constexpr Id kIds2[] = {
    {"TRK", Field::Track},    {"TEN", Field::Encoder},   {"TCR", Field::Copyright},
    {"TOA", Field::OriginalArtist}, {"TCM", Field::Composer}, {"TCO", Field::Genre},
    {"COM", Field::Comment},  {"TYE", Field::Year},      {"TAL", Field::Album},
    {"TP1", Field::Artist},   {"TT2", Field::Title},     {"TLA", Field::Language},
    {"TMT", Field::MediaType}, {"TSS", Field::DecodingSoftware},
};

template <size_t N>
Field field_of(std::string_view id, const Id (&ids)[N]) {
    for (const Id& e : ids)
        if (id == e.name) return e.field;
    return Field::Unknown;
}

}  // namespace

bool is_numeric(Field f) noexcept { return f == Field::PlayCounter || f == Field::Track || f == Field::Length; }

V1Status parse_v1(std::span<const uint8_t> tail, V1Tag& tag) {
    if (tail.size() < 128) return V1Status::TooShort;
    const std::string_view block = chars(tail.last(128));
    if (block.substr(0, 3) != "TAG") return V1Status::NoTag;
    static constexpr size_t kOffsets[] = {3, 33, 63, 93, 97}, kLengths[] = {30, 30, 30, 4, 30};
    for (size_t i = 0; i < 5; ++i) tag.texts[i] = trim_blanks(block.substr(kOffsets[i], kLengths[i]));
    tag.genre = static_cast<uint8_t>(block[127]);
    return V1Status::Tag;
}

#if defined(__SSE2__)
namespace {

// The first "ID3" in b from i on, 64 places a test, while 66 bytes remain; i
// ends where the search stopped (found or not).
__attribute__((target("avx2"))) size_t find_marker_avx2(const uint8_t* b, size_t n, size_t& i) noexcept {
    const __m256i first = _mm256_set1_epi8('I'), second = _mm256_set1_epi8('D');
    auto pairs = [&](const uint8_t* p) __attribute__((target("avx2"))) {
        const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
        return _mm256_and_si256(_mm256_cmpeq_epi8(here, first), _mm256_cmpeq_epi8(next, second));
    };
    for (; i + 66 <= n; i += 64) {
        const __m256i p0 = pairs(b + i), p1 = pairs(b + i + 32);
        if (_mm256_testz_si256(_mm256_or_si256(p0, p1), _mm256_or_si256(p0, p1))) continue;
        const uint64_t hits = static_cast<uint32_t>(_mm256_movemask_epi8(p0)) |
                              static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(p1))) << 32;
        for (uint64_t h = hits; h; h &= h - 1) {
            const size_t at = i + static_cast<size_t>(__builtin_ctzll(h));
            if (b[at + 2] == '3') return at;
        }
    }
    return npos;
}

}  // namespace
#endif

// Sixteen places at a time (64 with AVX2) for an "I" followed by "D", then the
// "3"; the wide loads stop two bytes before the end, so that every byte read is
// one given.
size_t find_marker(std::span<const uint8_t> bytes) noexcept {
    const uint8_t* const b = bytes.data();
    const size_t n = bytes.size();
    size_t i = 0;
#if defined(__SSE2__)
    if (cpu::avx2())
        if (const size_t at = find_marker_avx2(b, n, i); at != npos) return at;
    const __m128i first = _mm_set1_epi8('I'), second = _mm_set1_epi8('D');
    // "ID" pairs among the sixteen places from p on.
    auto pairs = [&](const uint8_t* p) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        return _mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(next, second));
    };
    auto hit_in = [&](size_t from, __m128i found) -> size_t {
        for (unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(found)); hits; hits &= hits - 1) {
            const size_t at = from + static_cast<size_t>(__builtin_ctz(hits));
            if (b[at + 2] == '3') return at;
        }
        return npos;
    };
    // Four blocks per test: an "ID" is rare in audio data.
    for (; i + 66 <= n; i += 64) {
        const __m128i p0 = pairs(b + i), p1 = pairs(b + i + 16), p2 = pairs(b + i + 32), p3 = pairs(b + i + 48);
        if (!_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(p0, p1), _mm_or_si128(p2, p3)))) continue;
        for (size_t k = 0; k < 4; ++k)
            if (const size_t at = hit_in(i + 16 * k, k == 0 ? p0 : k == 1 ? p1 : k == 2 ? p2 : p3); at != npos)
                return at;
    }
    for (; i + 18 <= n; i += 16)
        if (const size_t at = hit_in(i, pairs(b + i)); at != npos) return at;
#endif
    for (; i + 3 <= n; ++i)
        if (b[i] == 'I' && b[i + 1] == 'D' && b[i + 2] == '3') return i;
    return npos;
}

V2Tag parse_v2(std::span<const uint8_t> tag) {
    V2Tag out;
    if (tag.size() < 4) return out;
    out.major = tag[3];
    if (out.major < 2 || out.major > 4) {
        out.status = V2Tag::BadVersion;
        return out;
    }
    if (tag.size() < 5) return out;
    out.minor = tag[4];
    out.has_version = true;
    if (tag.size() < 10) return out;
    out.tag_length = (uint32_t(tag[6]) << 21) + (uint32_t(tag[7]) << 14) + (uint32_t(tag[8]) << 7) + tag[9];
    out.has_size = true;
    out.status = V2Tag::Tag;

    std::span<const uint8_t> rest = tag.subspan(10, std::min<size_t>(out.tag_length, tag.size() - 10));
    const uint8_t flags = tag[5];
    if ((flags & 0x40) && out.major >= 3) {
        // The extended header gives its own size: in 2.3 without its size field,
        // in 2.4 synchsafe and with it.
        uint64_t skip = rest.size();
        if (rest.size() >= 4)
            skip = out.major == 3 ? uint64_t(big_endian(rest.first(4))) + 4
                                  : std::max<uint64_t>(synchsafe(rest.first(4)), 4);
        rest = rest.subspan(static_cast<size_t>(std::min<uint64_t>(skip, rest.size())));
        out.extended = true;
    }

    const size_t id_length = out.major == 2 ? 3 : 4, header = out.major == 2 ? 6 : 10;
    while (!rest.empty()) {
        // Padding, or a rest too short for a frame header, ends the frames.
        if (rest[0] == 0 || rest.size() < header) break;
        const std::string_view id = chars(rest.first(id_length));
        if (id.substr(0, 3) == "3DI") break;
        uint32_t size;
        if (out.major == 2)
            size = big_endian(rest.subspan(3, 3));
        else if (out.major == 3)
            size = big_endian(rest.subspan(4, 4));
        else
            size = synchsafe(rest.subspan(4, 4));
        rest = rest.subspan(header);
        // A frame that runs past the tag's end takes the rest.
        const size_t take = std::min<size_t>(size, rest.size());
        std::string_view value = chars(rest.first(take));
        if (!value.empty() && value[0] == 0) value.remove_prefix(1);
        out.frames.push_back({out.major == 2 ? field_of(id, kIds2) : field_of(id, kIds34), value});
        rest = rest.subspan(take);
    }
    return out;
}

}  // namespace qm::id3
