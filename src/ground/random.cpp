#include "ground/random.h"

namespace velmora {

namespace {
std::uint32_t randomState = 1;  // the C runtime's state before any srand
}

void seedRandom(std::uint32_t seed) { randomState = seed; }

std::int32_t nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<std::int32_t>((randomState >> 16) & 0x7FFFu);
}

std::int32_t randomRemainder(std::int32_t draw, std::int32_t k) {
    if (k == 0) return 0;
    return draw % k;
}

}  // namespace velmora
