#include "frame/sha1.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "runtime/cpu.h"

namespace qm {

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t load_be(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// SHA extensions: four rounds per instruction; the message schedule of block b
// (words 4b to 4b+3) lives in msg[b % 4] and is finished over the three groups
// before it is used (sha1msg1, the XOR with block b-2, sha1msg2).
__attribute__((target("sha,ssse3,sse4.1"))) void blocks_shani(uint32_t h[5], const unsigned char* data,
                                                              size_t blocks) noexcept {
    const __m128i order = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0);
    __m128i e1;
    __m128i m0, m1, m2, m3;

#define QM_LOAD(m, i) m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * (i))), order)
// One group of four rounds g using block msg; ea takes the message, eb keeps abcd.
#define QM_GROUP(g, ea, eb, cur, next1, next2, next3)                           \
    ea = (g) == 0 ? _mm_add_epi32(ea, cur) : _mm_sha1nexte_epu32(ea, cur);      \
    eb = abcd;                                                                   \
    if ((g) >= 3 && (g) + 1 <= 19) next1 = _mm_sha1msg2_epu32(next1, cur);       \
    abcd = _mm_sha1rnds4_epu32(abcd, ea, (g) / 5);                               \
    if ((g) >= 1 && (g) + 3 <= 19) next3 = _mm_sha1msg1_epu32(next3, cur);       \
    if ((g) >= 2 && (g) + 2 <= 19) next2 = _mm_xor_si128(next2, cur);

    while (blocks--) {
        const __m128i abcd_saved = abcd, e0_saved = e0;
        QM_LOAD(m0, 0);
        QM_GROUP(0, e0, e1, m0, m1, m2, m3);
        QM_LOAD(m1, 1);
        QM_GROUP(1, e1, e0, m1, m2, m3, m0);
        QM_LOAD(m2, 2);
        QM_GROUP(2, e0, e1, m2, m3, m0, m1);
        QM_LOAD(m3, 3);
        QM_GROUP(3, e1, e0, m3, m0, m1, m2);
        QM_GROUP(4, e0, e1, m0, m1, m2, m3);
        QM_GROUP(5, e1, e0, m1, m2, m3, m0);
        QM_GROUP(6, e0, e1, m2, m3, m0, m1);
        QM_GROUP(7, e1, e0, m3, m0, m1, m2);
        QM_GROUP(8, e0, e1, m0, m1, m2, m3);
        QM_GROUP(9, e1, e0, m1, m2, m3, m0);
        QM_GROUP(10, e0, e1, m2, m3, m0, m1);
        QM_GROUP(11, e1, e0, m3, m0, m1, m2);
        QM_GROUP(12, e0, e1, m0, m1, m2, m3);
        QM_GROUP(13, e1, e0, m1, m2, m3, m0);
        QM_GROUP(14, e0, e1, m2, m3, m0, m1);
        QM_GROUP(15, e1, e0, m3, m0, m1, m2);
        QM_GROUP(16, e0, e1, m0, m1, m2, m3);
        QM_GROUP(17, e1, e0, m1, m2, m3, m0);
        QM_GROUP(18, e0, e1, m2, m3, m0, m1);
        QM_GROUP(19, e1, e0, m3, m0, m1, m2);
        e0 = _mm_sha1nexte_epu32(e0, e0_saved);
        abcd = _mm_add_epi32(abcd, abcd_saved);
        data += 64;
    }
#undef QM_GROUP
#undef QM_LOAD

    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_shuffle_epi32(abcd, 0x1B));
    h[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

void compress(uint32_t h[5], const unsigned char* data, size_t blocks) noexcept {
    static const bool shani = cpu::sha();
    if (shani)
        blocks_shani(h, data, blocks);
    else
        sha1_blocks_portable(h, data, blocks);
}

}  // namespace

void sha1_blocks_portable(uint32_t h[5], const unsigned char* data, size_t blocks) noexcept {
    for (; blocks; --blocks, data += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = load_be(data + 4 * i);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        auto schedule = [&](int t) {
            uint32_t v = rotl(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
            w[t & 15] = v;
            return v;
        };
        auto round = [&](uint32_t f, uint32_t k, uint32_t wt) {
            uint32_t t = rotl(a, 5) + f + e + k + wt;
            e = d;
            d = c;
            c = rotl(b, 30);
            b = a;
            a = t;
        };
        for (int t = 0; t < 16; ++t) round((b & c) | (~b & d), 0x5A827999u, w[t]);
        for (int t = 16; t < 20; ++t) round((b & c) | (~b & d), 0x5A827999u, schedule(t));
        for (int t = 20; t < 40; ++t) round(b ^ c ^ d, 0x6ED9EBA1u, schedule(t));
        for (int t = 40; t < 60; ++t) round((b & c) | (b & d) | (c & d), 0x8F1BBCDCu, schedule(t));
        for (int t = 60; t < 80; ++t) round(b ^ c ^ d, 0xCA62C1D6u, schedule(t));
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
}

void Sha1::update(const void* data, size_t size) noexcept {
    auto p = static_cast<const unsigned char*>(data);
    length_ += size;
    if (buffered_) {
        size_t take = std::min(size, sizeof(block_) - buffered_);
        std::memcpy(block_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        size -= take;
        if (buffered_ < sizeof(block_)) return;
        compress(h_, block_, 1);
        buffered_ = 0;
    }
    if (size >= 64) {
        compress(h_, p, size / 64);
        p += size & ~size_t(63);
        size &= 63;
    }
    std::memcpy(block_, p, size);
    buffered_ = size;
}

std::array<uint32_t, 5> Sha1::finish() noexcept {
    const uint64_t bits = length_ * 8;
    unsigned char tail[128] = {};
    std::memcpy(tail, block_, buffered_);
    tail[buffered_] = 0x80;
    size_t total = buffered_ + 1 + 8 <= 64 ? 64 : 128;
    for (int i = 0; i < 8; ++i) tail[total - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    compress(h_, tail, total / 64);
    return {h_[0], h_[1], h_[2], h_[3], h_[4]};
}

}  // namespace qm
