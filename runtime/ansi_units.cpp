// ANSI codes of whole texts, one byte per UTF-16 unit, for single-byte code pages.
//
// The system's conversion is asked once per code page for all 65,536 units; the
// table then turns texts of any length into bytes at memory speed, with ASCII runs
// (the same in every ANSI code page) copied sixteen units at a time.
#include "runtime/ansi.h"

#include "runtime/cpu.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace qm {

namespace {

using UnitTable = std::array<char, 65536>;

// The table of a single-byte code page; null for a double-byte one.
std::unique_ptr<UnitTable> make_table(UINT code_page) {
    CPINFO info{};
    if (!GetCPInfo(code_page, &info) || info.MaxCharSize != 1) return nullptr;
    auto table = std::make_unique<UnitTable>();
    std::fill(table->begin(), table->end(), static_cast<char>(info.DefaultChar[0]));
    // Every unit but the surrogates, in two runs; one byte comes back per unit.
    std::vector<wchar_t> all(0x10000);
    for (unsigned u = 0; u < 0x10000; ++u) all[u] = static_cast<wchar_t>(u);
    const wchar_t* units = all.data();
    auto convert = [&](unsigned first, unsigned end) {
        int n = static_cast<int>(end - first);
        int got = WideCharToMultiByte(code_page, 0, units + first, n, table->data() + first, n, nullptr, nullptr);
        if (got == n) return;
        for (unsigned u = first; u < end; ++u)  // one by one if a run did not map one to one
            WideCharToMultiByte(code_page, 0, units + u, 1, table->data() + u, 1, nullptr, nullptr);
    };
    convert(0, 0xD800);
    convert(0xE000, 0x10000);
    return table;
}



// Whether the code page gives units 0xA0 to 0xFF their own value as their code
// (the Western code pages): then whole Latin-1 runs are copied too.
bool keeps_latin1(const UnitTable& table) {
    for (unsigned u = 0xA0; u < 0x100; ++u)
        if (static_cast<unsigned char>(table[u]) != u) return false;
    return true;
}

const UnitTable* table_for(UINT code_page, bool& latin1) {
    static std::mutex mutex;
    static UINT cached_page = 0;
    static std::unique_ptr<UnitTable> cached;
    static bool cached_dbcs = false, cached_latin1 = false;
    if (code_page == CP_ACP) code_page = GetACP();
    std::lock_guard lock(mutex);
    if (code_page != cached_page) {
        cached = make_table(code_page);
        cached_dbcs = !cached;
        cached_latin1 = cached && keeps_latin1(*cached);
        cached_page = code_page;
    }
    latin1 = cached_latin1;
    return cached_dbcs ? nullptr : cached.get();
}

// The lanes of units 0x80 to 0x9F, which even a Latin-1 code page maps
// otherwise: as signed values less 0x80, those from 0 to 0x1F.
__attribute__((target("sse2"))) __m128i c1(__m128i v) {
    const __m128i t = _mm_sub_epi16(v, _mm_set1_epi16(0x80));
    return _mm_and_si128(_mm_cmpgt_epi16(t, _mm_set1_epi16(-1)), _mm_cmplt_epi16(t, _mm_set1_epi16(0x20)));
}

// Sixteen units at a time; returns how many units it converted.
__attribute__((target("sse2"))) size_t units_sse2(const wchar_t* p, size_t n, char* out, const UnitTable& table,
                                                  bool latin1) {
    size_t i = 0;
    const __m128i high = _mm_set1_epi16(static_cast<short>(latin1 ? 0xFF00 : 0xFF80));
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 8));
        __m128i any_high = _mm_and_si128(_mm_or_si128(a, b), high);
        bool direct = _mm_movemask_epi8(_mm_cmpeq_epi16(any_high, zero)) == 0xFFFF;
        if (direct && latin1) direct = _mm_movemask_epi8(_mm_or_si128(c1(a), c1(b))) == 0;
        if (direct) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(a, b));
        } else {
            for (size_t k = i; k < i + 16; ++k) out[k] = table[static_cast<unsigned short>(p[k])];
        }
        i += 16;
    }
    return i;
}

}  // namespace

bool ansi_units(std::wstring_view text, char* out, UINT code_page) {
    bool latin1 = false;
    const UnitTable* table = table_for(code_page, latin1);
    if (!table) return false;
    const wchar_t* p = text.data();
    const size_t n = text.size();
    size_t i = cpu::sse2() ? units_sse2(p, n, out, *table, latin1) : 0;
    for (; i < n; ++i) out[i] = (*table)[static_cast<unsigned short>(p[i])];
    return true;
}

}  // namespace qm
