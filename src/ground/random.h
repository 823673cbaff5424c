#pragma once
// The program's one pseudo-random generator: the Microsoft C runtime's rand, written out so
// that every platform draws the same sequence. Seeded once at window creation; parsing, layout
// and animation draw from it in a fixed order.
#include <cstdint>

namespace velmora {

// srand: the 32-bit state becomes the seed.
void seedRandom(std::uint32_t seed);
// rand: state = state * 214013 + 2531011 (mod 2^32); returns (state >> 16) & 0x7FFF.
std::int32_t nextRandom();

// The remainder of a draw (never negative) by k, truncated toward zero. A negative k gives the
// remainder by its magnitude and a k of 0 gives 0, so that a degenerate theme value never
// divides by zero.
std::int32_t randomRemainder(std::int32_t draw, std::int32_t k);

}  // namespace velmora
