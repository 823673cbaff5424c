#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "scene/sine.h"

namespace velmora {
namespace {

std::int32_t ulpDistance(float a, float b) {
    std::int32_t ia, ib;
    std::memcpy(&ia, &a, sizeof ia);
    std::memcpy(&ib, &b, sizeof ib);
    if (ia < 0) ia = INT32_MIN - ia;
    if (ib < 0) ib = INT32_MIN - ib;
    return ia > ib ? ia - ib : ib - ia;
}

TEST(Sine, AgreesWithTheDoubleSineRoundedToFloat) {
    // Wave positions cover a few screens either side of the origin, and far beyond.
    std::int32_t worst = 0;
    for (float x = -400.0f; x <= 400.0f; x += 0.0137f) {
        const float expected = static_cast<float>(std::sin(static_cast<double>(x)));
        worst = std::max(worst, ulpDistance(sineF(x), expected));
    }
    EXPECT_LE(worst, 1);
    EXPECT_LE(ulpDistance(sineF(12345.678f), static_cast<float>(std::sin(12345.678f * 1.0))), 1);
}

TEST(Sine, KeepsZeroAndSignAndRejectsNonFinite) {
    EXPECT_EQ(sineF(0.0f), 0.0f);
    EXPECT_TRUE(std::signbit(sineF(-0.0f)));
    EXPECT_FLOAT_EQ(sineF(1.57f), 0.99999968f);
    EXPECT_TRUE(std::isnan(sineF(std::numeric_limits<float>::infinity())));
    EXPECT_TRUE(std::isnan(sineF(std::numeric_limits<float>::quiet_NaN())));
    const float huge = sineF(3.0e38f);
    EXPECT_TRUE(huge >= -1.0f && huge <= 1.0f);
}

}  // namespace
}  // namespace velmora
