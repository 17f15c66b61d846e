// What the processor offers beyond the baseline of the build, asked once.
#pragma once

namespace qm::cpu {

bool sse2() noexcept;    // always true on 64-bit Windows
bool ssse3() noexcept;   // SSSE3 (byte shuffles)
bool sha() noexcept;     // the SHA extensions, with SSSE3 and SSE4.1 beside them
bool avx2() noexcept;    // AVX2, with the system saving the wide registers
bool pclmul() noexcept;  // carry-less multiply, with SSE4.1 beside it
bool avx512_clmul() noexcept;  // carry-less multiply on AVX-512 registers, with the system saving them

}  // namespace qm::cpu
