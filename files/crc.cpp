#include "files/crc.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/cpu.h"
#include "runtime/files.h"
#include "runtime/forms/globals.h"

namespace qm {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

// Slicing-by-8: table k gives the register change of a byte followed by k zero bytes.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;
constexpr CrcTables make_tables() {
    CrcTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = c & 1 ? (c >> 1) ^ kPolynomial : c >> 1;
        t[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}
constexpr CrcTables kTables = make_tables();

inline uint32_t load_le32(const unsigned char* p) noexcept {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;  // x86 is little-endian
}

#define QM_PCLMUL __attribute__((target("pclmul,sse4.1")))

QM_PCLMUL inline __m128i load(const unsigned char* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
// One 128-bit lane moved forward by the distance its constants stand for, onto next.
QM_PCLMUL inline __m128i fold(__m128i x, __m128i k, __m128i next) noexcept {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// The last 16-byte blocks folded into one lane, then 128 bits to 64 and to 32
// (Barrett reduction): the register after the data.
QM_PCLMUL inline uint32_t finish(__m128i x, const unsigned char* p, size_t size) noexcept {
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);  // 16 bytes
    const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124LL);
    const __m128i poly = _mm_set_epi64x(0x01f7011641LL, 0x01db710641LL);
    for (; size >= 16; p += 16, size -= 16) x = fold(x, k3k4, load(p));
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i t = _mm_clmulepi64_si128(x, k3k4, 0x10);
    x = _mm_xor_si128(_mm_srli_si128(x, 8), t);
    t = _mm_srli_si128(x, 4);
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), k5k0, 0x00), t);
    t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

// Folding by carry-less multiplication: four 128-bit lanes over 64-byte blocks,
// folded into one; for size >= 64 and a multiple of 16. Each constant pair is
// x^(d+32) and x^(d-32) modulo the polynomial (bit-reflected) for a distance d.
QM_PCLMUL uint32_t fold_blocks(uint32_t state, const unsigned char* p, size_t size) noexcept {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596LL, 0x0154442bd4LL);  // 64 bytes
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);  // 16 bytes
    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
    for (p += 64, size -= 64; size >= 64; p += 64, size -= 64) {
        x1 = fold(x1, k1k2, load(p));
        x2 = fold(x2, k1k2, load(p + 16));
        x3 = fold(x3, k1k2, load(p + 32));
        x4 = fold(x4, k1k2, load(p + 48));
    }
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    return finish(x1, p, size);
}

#define QM_VPCLMUL __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

QM_VPCLMUL inline __m512i load512(const unsigned char* p) noexcept { return _mm512_loadu_si512(p); }
QM_VPCLMUL inline __m512i fold512(__m512i x, __m512i k, __m512i next) noexcept {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00), _mm512_clmulepi64_epi128(x, k, 0x11),
                                     next, 0x96);  // a ^ b ^ c
}

// The same with 512-bit registers: sixteen lanes over 256-byte blocks, folded
// into four, then into one; for size >= 256 and a multiple of 16.
QM_VPCLMUL uint32_t fold_blocks_wide(uint32_t state, const unsigned char* p, size_t size) noexcept {
    const __m512i k256 = _mm512_set_epi64(0x01322d1430LL, 0x011542778aLL, 0x01322d1430LL, 0x011542778aLL,
                                          0x01322d1430LL, 0x011542778aLL, 0x01322d1430LL, 0x011542778aLL);
    const __m512i k64 = _mm512_set_epi64(0x01c6e41596LL, 0x0154442bd4LL, 0x01c6e41596LL, 0x0154442bd4LL,
                                         0x01c6e41596LL, 0x0154442bd4LL, 0x01c6e41596LL, 0x0154442bd4LL);
    // Lanes 0, 1 and 2 of a register moved by 48, 32 and 16 bytes onto lane 3.
    const __m512i klanes = _mm512_set_epi64(0, 0, 0x00ccaa009eLL, 0x01751997d0LL, 0x015a546366LL, 0x00f1da05aaLL,
                                            0x0174359406LL, 0x003db1ecdcLL);
    __m512i x0 = _mm512_xor_si512(
        load512(p), _mm512_inserti32x4(_mm512_setzero_si512(), _mm_cvtsi32_si128(static_cast<int>(state)), 0));
    __m512i x1 = load512(p + 64), x2 = load512(p + 128), x3 = load512(p + 192);
    for (p += 256, size -= 256; size >= 256; p += 256, size -= 256) {
        x0 = fold512(x0, k256, load512(p));
        x1 = fold512(x1, k256, load512(p + 64));
        x2 = fold512(x2, k256, load512(p + 128));
        x3 = fold512(x3, k256, load512(p + 192));
    }
    x0 = fold512(x0, k64, x1);
    x0 = fold512(x0, k64, x2);
    x0 = fold512(x0, k64, x3);
    for (; size >= 64; p += 64, size -= 64) x0 = fold512(x0, k64, load512(p));
    const __m512i moved = _mm512_xor_si512(_mm512_clmulepi64_epi128(x0, klanes, 0x00),
                                           _mm512_clmulepi64_epi128(x0, klanes, 0x11));
    const __m128i zero = _mm_setzero_si128();  // (the unmasked extract leaves the compiler in doubt)
    __m128i x = _mm512_mask_extracti32x4_epi32(zero, 0xF, x0, 3);
    x = _mm_xor_si128(x, _mm512_mask_extracti32x4_epi32(zero, 0xF, moved, 0));
    x = _mm_xor_si128(x, _mm512_mask_extracti32x4_epi32(zero, 0xF, moved, 1));
    x = _mm_xor_si128(x, _mm512_mask_extracti32x4_epi32(zero, 0xF, moved, 2));
    return finish(x, p, size);
}

#undef QM_VPCLMUL
#undef QM_PCLMUL

// The module's running CRC-32 register, shared by the procedures of the thread.
thread_local uint32_t g_state = 0xFFFFFFFFu;

constexpr size_t kReadBlock = 256 * 1024;  // one read; stays in the processor's cache for the sum
constexpr long long kYieldEvery = 1024000;

std::wstring hex8(uint32_t v) {
    static constexpr wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring s(8, L'0');
    for (int i = 7; i >= 0; --i, v >>= 4) s[static_cast<size_t>(i)] = digits[v & 15];
    return s;
}

}  // namespace

uint32_t crc32_update_table(uint32_t state, const void* data, size_t size) noexcept {
    const auto* p = static_cast<const unsigned char*>(data);
    const auto& t = kTables;
    for (; size && (reinterpret_cast<uintptr_t>(p) & 7); --size) state = (state >> 8) ^ t[0][(state ^ *p++) & 0xFF];
    for (; size >= 8; size -= 8, p += 8) {
        const uint32_t a = load_le32(p) ^ state, b = load_le32(p + 4);
        state = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^ t[3][b & 0xFF] ^
                t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
    }
    for (; size; --size) state = (state >> 8) ^ t[0][(state ^ *p++) & 0xFF];
    return state;
}

uint32_t crc32_update_folding(uint32_t state, const void* data, size_t size) noexcept {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size >= 64) {
        const size_t whole = size & ~size_t(15);
        state = fold_blocks(state, p, whole);
        p += whole;
        size -= whole;
    }
    return crc32_update_table(state, p, size);
}

uint32_t crc32_update_folding_wide(uint32_t state, const void* data, size_t size) noexcept {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size >= 256) {
        const size_t whole = size & ~size_t(15);
        state = fold_blocks_wide(state, p, whole);
        p += whole;
        size -= whole;
    }
    return crc32_update_folding(state, p, size);
}

uint32_t crc32_update(uint32_t state, const void* data, size_t size) noexcept {
    static const auto path = cpu::avx512_clmul() ? crc32_update_folding_wide
                             : cpu::pclmul()     ? crc32_update_folding
                                                 : crc32_update_table;
    return path(state, data, size);
}

std::wstring SFV(const VARIANT& file) {
    try {
        g_state = 0xFFFFFFFFu;
        const std::wstring path = CStr(file);
        const long long length = FileLen(path);
        if (length == 0) return L"00000000";

        // The sum runs on a register of its own: a checksum started by an event
        // while this one yields cannot spoil it.
        uint32_t state = 0xFFFFFFFFu;
        RtFile in(path, OpenMode::Binary, OpenAccess::Read);
        const auto buffer = std::make_unique_for_overwrite<char[]>(kReadBlock);
        for (long long done = 0; done < length;) {
            const size_t n = static_cast<size_t>(std::min<long long>(length - done, kReadBlock));
            in.GetBytes(buffer.get(), n);
            if (in.Eof()) raise(err::InputPastEnd);  // the file shrank meanwhile
            state = crc32_update(state, buffer.get(), n);
            const long long before = done;
            done += static_cast<long long>(n);
            if (done / kYieldEvery != before / kYieldEvery || done == length) forms::do_events();
        }
        in.Close();
        g_state = state;
        return hex8(~state);
    } catch (...) {
        const RuntimeError e = detail::as_runtime_error(std::current_exception());
        detail::report(Trap{Source::basPModule, L"SFV"}, e);
        return L"ERROR " + std::to_wstring(e.number()) + L" (" + e.description() + L")";
    }
}

long CRC32_UpdateFunc(const SAFEARRAY* data) {
    if (!data || SafeArrayGetDim(const_cast<SAFEARRAY*>(data)) == 0) raise(err::SubscriptOutOfRange);
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(const_cast<SAFEARRAY*>(data), &vt);
    if ((vt != VT_UI1 && vt != VT_I1) || data->cbElements != 1) raise(err::TypeMismatch);
    size_t count = 1;
    for (USHORT d = 0; d < data->cDims; ++d) count *= data->rgsabound[d].cElements;
    if (count) g_state = crc32_update(g_state, data->pvData, count);
    return static_cast<long>(~g_state);
}

long CRC32_Update(const SAFEARRAY* data) { return CRC32_UpdateFunc(data); }

long CRC16FromText(std::wstring_view text) {
    static constexpr auto table = [] {
        std::array<uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i << 8;
            for (int bit = 0; bit < 8; ++bit) c = c & 0x8000 ? (c << 1) ^ 0x8005 : c << 1;
            t[i] = static_cast<uint16_t>(c);
        }
        return t;
    }();
    std::string codes(text.size(), '\0');
    if (!ansi_units(text, codes.data())) {
        // A double-byte code page: a character's code is its lead and trail byte,
        // of which the low 8 bits (the last byte) count.
        for (size_t i = 0; i < text.size(); ++i) {
            const std::string bytes = to_ansi(text.substr(i, 1));
            codes[i] = bytes.empty() ? '\0' : bytes.back();
        }
    }
    unsigned crc = 0;
    for (const char c : codes) crc = ((crc << 8) ^ table[((crc >> 8) ^ static_cast<unsigned char>(c)) & 0xFF]) & 0xFFFF;
    return static_cast<long>(crc);
}

}  // namespace qm
