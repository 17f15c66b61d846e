// mString: the password cipher and the character checksum.
#include <emmintrin.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/mstring.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/cpu.h"
#include "runtime/strings.h"

namespace qm {

namespace {

// 1 to 255, congruent to v modulo 255 (v in 0 to 254 here).
inline unsigned in_cipher_range(unsigned v) { return v == 0 ? 255 : v; }

}  // namespace

std::vector<long> char_codes(std::wstring_view text) {
    std::vector<long> codes(text.size());
    std::string bytes(text.size(), '\0');
    if (ansi_units(text, bytes.data())) {
        for (size_t i = 0; i < text.size(); ++i) codes[i] = static_cast<unsigned char>(bytes[i]);
    } else {
        for (size_t i = 0; i < text.size(); ++i) codes[i] = Asc(text.substr(i, 1));
    }
    return codes;
}

std::wstring Crypt_Text(std::wstring_view text, std::wstring_view password, bool encrypt) {
    // key = the sum of (ANSI code + 13) over the password; only its remainder
    // modulo 255 matters, as only the result modulo 255 is kept. Positions and
    // keys are reduced as they grow, so texts of any length work.
    long long key = 0;
    for (long code : char_codes(password)) key += code + 13;
    const unsigned key_mod = static_cast<unsigned>(((key % 255) + 255) % 255);

    std::string out(text.size(), '\0');
    std::vector<long> codes = char_codes(text);
    unsigned square = 0;  // i² mod 255, i = the 1-based position
    unsigned step = 1;    // (2i - 1) mod 255: i² - (i - 1)²
    for (size_t i = 0; i < codes.size(); ++i) {
        square = (square + step) % 255;
        step = (step + 2) % 255;
        unsigned code = static_cast<unsigned>(((codes[i] % 255) + 255) % 255);
        unsigned v = encrypt ? (code + key_mod + square) % 255 : (code + 2 * 255 - key_mod - square) % 255;
        out[i] = static_cast<char>(in_cipher_range(v));
    }
    CPINFO info{};
    if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1) return from_ansi(out);
    std::wstring result;
    result.reserve(out.size());
    for (char c : out) result += Chr(static_cast<unsigned char>(c));
    return result;
}

namespace {

// Each unit u is 256 * high + low, so the sum of the units modulo 256 is the sum
// of the low bytes modulo 256: the units are added in 16-bit lanes that wrap.
__attribute__((target("sse2"))) size_t sum_units_sse2(const wchar_t* p, size_t n, unsigned& sum) noexcept {
    __m128i a = _mm_setzero_si128(), b = _mm_setzero_si128(), c = _mm_setzero_si128(), d = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        a = _mm_add_epi16(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        b = _mm_add_epi16(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 8)));
        c = _mm_add_epi16(c, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16)));
        d = _mm_add_epi16(d, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 24)));
    }
    __m128i all = _mm_add_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, d));
    alignas(16) uint16_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), all);
    for (uint16_t v : lanes) sum += v;
    return i;
}

}  // namespace

unsigned text_checksum(std::wstring_view text) noexcept {
    unsigned sum = 0;
    size_t i = cpu::sse2() ? sum_units_sse2(text.data(), text.size(), sum) : 0;
    for (; i < text.size(); ++i) sum += static_cast<unsigned short>(text[i]);
    return sum & 0xFF;
}

HRESULT mString::Text_EnCrypt(BSTR Text, BSTR Password, BSTR* result) {
    return untrapped(result, [&] { return Bstr(Crypt_Text(text_of(Text), text_of(Password), true)); });
}

HRESULT mString::Text_DeCrypt(BSTR Text, BSTR Password, BSTR* result) {
    return untrapped(result, [&] { return Bstr(Crypt_Text(text_of(Text), text_of(Password), false)); });
}

HRESULT mString::CheckSum(BSTR* Str, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::mString, L"CheckSum", ErrorNumber}, result, Bstr(), [&] {
        if (!Str) raise(err::InvalidCall);
        return Bstr(std::to_wstring(text_checksum(text_of(*Str))));
    });
}

}  // namespace qm
