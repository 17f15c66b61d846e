#include "runtime/random.h"

#include <cstdint>
#include <cstring>

#include "runtime/dates.h"

namespace qm {

namespace {
// The generator's state: 24 bits, the runtime's start value in every thread.
thread_local uint32_t seed = 0x50000;

void step() { seed = (seed * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu; }
}  // namespace

float Rnd(float n) {
    if (n < 0) {
        uint32_t bits;
        std::memcpy(&bits, &n, sizeof bits);
        seed = (bits + (bits >> 24)) & 0xFFFFFFu;
    }
    if (n != 0) step();
    return static_cast<float>(seed) / 16777216.0f;
}

void Randomize(double n) {
    uint64_t bits;
    std::memcpy(&bits, &n, sizeof bits);
    uint32_t high = static_cast<uint32_t>(bits >> 32);
    uint32_t mix = ((high & 0xFFFFu) ^ (high >> 16)) << 8;
    seed = (seed & 0xFF0000FFu) | (mix & 0xFFFF00u);
}

void Randomize() { Randomize(static_cast<double>(static_cast<float>(Timer()))); }

}  // namespace qm
