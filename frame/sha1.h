// SHA-1 (FIPS 180-1) over a byte stream, with the processor's SHA extensions
// where it has them.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace qm {

class Sha1 {
public:
    void update(const void* data, size_t size) noexcept;
    // The five words H0 to H4 of the digest (the object is spent afterwards).
    std::array<uint32_t, 5> finish() noexcept;

private:
    uint32_t h_[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    uint64_t length_ = 0;  // bytes hashed so far
    unsigned char block_[64];
    size_t buffered_ = 0;
};

// The plain compression function, whatever the processor offers (for tests).
void sha1_blocks_portable(uint32_t h[5], const unsigned char* data, size_t blocks) noexcept;

}  // namespace qm
