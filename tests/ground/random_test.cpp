#include <gtest/gtest.h>

#include "ground/random.h"

namespace velmora {
namespace {

TEST(Random, MatchesTheMicrosoftRuntimeSequence) {
    // The first draws of the Microsoft C runtime after srand(1), and after srand(0).
    seedRandom(1);
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    EXPECT_EQ(nextRandom(), 6334);
    EXPECT_EQ(nextRandom(), 26500);
    seedRandom(0);
    EXPECT_EQ(nextRandom(), 38);
    EXPECT_EQ(nextRandom(), 7719);
}

TEST(Random, StateWrapsModulo2To32) {
    seedRandom(0xFFFFFFFFu);
    // (0xFFFFFFFF * 214013 + 2531011) mod 2^32 = 2316998, whose bits 16..30 give 35.
    EXPECT_EQ(nextRandom(), 35);
}

TEST(Random, RemainderNeverDividesByZero) {
    EXPECT_EQ(randomRemainder(32767, 0), 0);
    EXPECT_EQ(randomRemainder(17, 5), 2);
    EXPECT_EQ(randomRemainder(17, -5), 2);
    EXPECT_EQ(randomRemainder(17, INT32_MIN), 17);
}

}  // namespace
}  // namespace velmora
