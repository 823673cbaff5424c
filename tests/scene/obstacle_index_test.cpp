#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ground/records.h"
#include "scene/animation.h"
#include "support/scene_layers.h"
#include "support/process_state.h"

namespace velmora {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kMax = std::numeric_limits<float>::max();

// Obstacle pictures 0, 1, 3, 10 and 40 pixels wide; a variation of -1 or 5 has no picture and
// reads as width 0.
const std::vector<testing::PictureSize> kObstaclePictures = {{0, 4}, {1, 4}, {3, 4}, {10, 4}, {40, 4}};

class ObstacleIndexTest : public ::testing::Test {
protected:
    void SetUp() override { testing::resetProcessState(); }
    void TearDown() override { testing::resetProcessState(); }

    std::mt19937 random{20240515};

    std::uint32_t below(std::uint32_t n) { return random() % n; }

    // Mostly a grid of 4 pixels, so that ends meet and spans overlap or coincide; now and then a
    // float that compares oddly.
    float position() {
        switch (below(20)) {
            case 0: return kNaN;
            case 1: return kInf;
            case 2: return -kInf;
            case 3: return -0.0f;
            case 4: return kMax;
            case 5: return std::uniform_real_distribution<float>(-60.0f, 260.0f)(random);
            default: return 4.0f * static_cast<float>(static_cast<int>(below(70)) - 10);
        }
    }

    float walkerWidth() {
        static const float widths[] = {0, 4, 12, 40, 48, 160, 1000, 1e31f};
        return widths[below(sizeof widths / sizeof widths[0])];
    }

    void fill(SpriteLayer& layer, std::int32_t n) {
        testing::shapeSprites(layer, n, kObstaclePictures);
        for (std::size_t j = 0; j < layer.posX.size(); ++j) {
            layer.posX[j] = position();
            layer.variation[j] = static_cast<std::int32_t>(below(7)) - 1;
        }
    }

    // The points where a wrong region, a wrong tie or a wrong order would show: random ones, and
    // every end of every obstacle, on it and one float either side, for both walker edges.
    std::vector<float> queries(const SpriteLayer& layer, float w0) {
        std::vector<float> xs;
        for (int q = 0; q < 20; ++q) xs.push_back(position());
        const float scale = globalSettings.pixelScale;
        for (std::size_t j = 0; j < layer.posX.size(); ++j) {
            const float a = layer.posX[j];
            const std::int32_t v = layer.variation[j];
            const float width = v >= 0 && v < 5 ? static_cast<float>(kObstaclePictures[static_cast<std::size_t>(v)].first) : 0.0f;
            const float b = a + width * scale;
            for (const float end : {a, b, a - w0, b - w0}) {
                xs.push_back(end);
                xs.push_back(std::nextafter(end, -kInf));
                xs.push_back(std::nextafter(end, kInf));
            }
        }
        return xs;
    }
};

std::string describe(const SpriteLayer& layer, float x, float w0) {
    std::ostringstream text;
    text.precision(9);
    text << "scale " << globalSettings.pixelScale << ", x " << x << ", w0 " << w0 << ", obstacles (posX, variation):";
    for (std::size_t j = 0; j < layer.posX.size(); ++j) text << " (" << layer.posX[j] << ", " << layer.variation[j] << ")";
    return text.str();
}

TEST_F(ObstacleIndexTest, FindsWhatThePlainScanFinds) {
    static const float scales[] = {4, 4, 4, 1, 0.75f, 3, 1e30f, -2, kNaN};
    ObstacleIndex index;  // reused throughout, as updateScene reuses its own
    std::vector<SpriteLayer> layers(3);
    int hits = 0, rightEdgeHits = 0, checks = 0;
    for (int round = 0; round < 1500; ++round) {
        globalSettings.pixelScale = scales[below(sizeof scales / sizeof scales[0])];
        index.clear();
        // Several layers in one index, of sizes from none to some hundreds.
        std::vector<std::size_t> indexed;
        for (SpriteLayer& layer : layers) {
            fill(layer, static_cast<std::int32_t>(below(4) == 0 ? below(300) : below(12)));
            indexed.push_back(index.add(globalSettings, layer));
        }
        for (std::size_t l = 0; l < layers.size(); ++l) {
            const float w0 = walkerWidth();
            for (const float x : queries(layers[l], w0)) {
                const ObstacleHit plain = scanObstacles(globalSettings, layers[l], x, w0);
                const ObstacleHit found = index.find(indexed[l], x, w0);
                ASSERT_EQ(found.obstacle, plain.obstacle) << describe(layers[l], x, w0);
                ASSERT_EQ(found.leftEdge, plain.leftEdge) << describe(layers[l], x, w0);
                ++checks;
                hits += plain.obstacle >= 0;
                rightEdgeHits += plain.obstacle >= 0 && !plain.leftEdge;
            }
        }
    }
    // The cases are not all misses.
    EXPECT_GT(hits, checks / 10);
    EXPECT_GT(rightEdgeHits, checks / 50);
}

TEST_F(ObstacleIndexTest, TheFirstObstacleInIndexOrderWinsAndTheLeftEdgeFirst) {
    globalSettings.pixelScale = 4;
    SpriteLayer layer;
    testing::shapeSprites(layer, 4, kObstaclePictures);
    layer.variation = {4, 3, 3, 4};  // 160, 40, 40, 160 pixels
    layer.posX = {400, 100, 180, 0};  // 400..560, 100..140, 180..220, 0..160
    ObstacleIndex index;
    const std::size_t indexed = index.add(globalSettings, layer);
    // Left edge in obstacle 3 (0..160), right edge in obstacle 1 (100..140): the lower index wins.
    EXPECT_EQ(index.find(indexed, 90, 20), (ObstacleHit{1, false}));
    // Both edges in obstacle 3: the left edge.
    EXPECT_EQ(index.find(indexed, 10, 20), (ObstacleHit{3, true}));
    // Both edges in the same obstacle 1 that also lies in obstacle 3.
    EXPECT_EQ(index.find(indexed, 110, 20), (ObstacleHit{1, true}));
    // On an end is not inside; covering an obstacle is no hit.
    EXPECT_EQ(index.find(indexed, 140, 40), (ObstacleHit{3, true}));
    EXPECT_EQ(index.find(indexed, 170, 60), ObstacleHit{});
    EXPECT_EQ(index.find(indexed, 220, 180), ObstacleHit{});
    EXPECT_EQ(index.find(indexed, kNaN, 20), ObstacleHit{});
    EXPECT_EQ(index.find(indexed, 380, kInf), ObstacleHit{});
}

}  // namespace
}  // namespace velmora
