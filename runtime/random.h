// The runtime's random source: Rnd and Randomize with its 24-bit linear
// congruential generator (x = (x * 0x43FD43FD + 0xC39EC3) mod 2^24, Rnd = x / 2^24),
// started from the same seed in every thread, so an unseeded run repeats its numbers.
#pragma once

namespace qm {

// Rnd: n > 0 (or omitted) the next number in [0, 1); n = 0 the last number again;
// n < 0 the same number for the same n each time (the seed is set from n).
float Rnd(float n = 1.0f);
// Randomize: reseeds from the system timer.
void Randomize();
// Randomize n: reseeds from a number (the same n after the same sequence gives the same numbers).
void Randomize(double n);

}  // namespace qm
