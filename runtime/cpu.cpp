#include "runtime/cpu.h"

#include <cpuid.h>

namespace qm::cpu {

namespace {

struct Features {
    bool sse2 = false, ssse3 = false, sha = false, avx2 = false, pclmul = false, avx512_clmul = false;
    Features() {
        unsigned a, b, c, d;
        if (!__get_cpuid(1, &a, &b, &c, &d)) return;
        sse2 = d & (1u << 26);
        ssse3 = c & (1u << 9);
        const bool sse41 = c & (1u << 19);
        pclmul = sse41 && (c & (1u << 1));
        bool osxsave = c & (1u << 27), avx = c & (1u << 28);
        bool ymm_saved = false, zmm_saved = false;
        if (osxsave) {
            unsigned lo, hi;
            __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
            ymm_saved = (lo & 6u) == 6u;
            zmm_saved = (lo & 0xE6u) == 0xE6u;
        }
        if (__get_cpuid_max(0, nullptr) < 7) return;
        __cpuid_count(7, 0, a, b, c, d);
        sha = ssse3 && sse41 && (b & (1u << 29));
        avx2 = avx && ymm_saved && (b & (1u << 5));
        avx512_clmul = pclmul && zmm_saved && (b & (1u << 16)) && (c & (1u << 10));
    }
};

const Features& features() noexcept {
    static const Features f;
    return f;
}

}  // namespace

bool sse2() noexcept {
#if defined(__x86_64__)
    return true;
#else
    return features().sse2;
#endif
}
bool ssse3() noexcept { return features().ssse3; }
bool sha() noexcept { return features().sha; }
bool avx2() noexcept { return features().avx2; }
bool pclmul() noexcept { return features().pclmul; }
bool avx512_clmul() noexcept { return features().avx512_clmul; }

}  // namespace qm::cpu
