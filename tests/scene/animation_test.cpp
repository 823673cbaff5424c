#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ground/records.h"
#include "scene/animation.h"
#include "ground/random.h"
#include "support/process_state.h"
#include "support/scene_layers.h"
#include "support/standard_scene.h"

namespace velmora {
namespace {

using testing::shapeCharacters;
using testing::shapeParticles;
using testing::shapeSprites;

// The standard scene: sceneLeft 320, sceneWidth 1280, floorY 920.
class Animation : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetProcessState();
        testing::useStandardScene();
    }
};

TEST_F(Animation, FrameClockStepsAllInstancesOncePastTheDuration) {
    SpriteLayer& layer = theme.backSprites[0];
    shapeSprites(layer, 2, {{10, 10}}, 3);
    layer.frame = {0, 2};
    layer.posX = {500, 600};
    theme.backSpriteCount = 1;
    std::vector<std::vector<std::int32_t>> frames;
    for (int update = 1; update <= 8; ++update) {
        updateScene(16);
        frames.push_back(layer.frame);
    }
    // 64 > 60 on the 4th update, then 4 updates later; no leftover time is carried.
    EXPECT_EQ(frames[2], (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(frames[3], (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(frames[6], (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(frames[7], (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(layer.clock, 128);
    EXPECT_EQ(layer.lastStep, 128);
    // xanimation 0: the frames animate but nothing moves.
    EXPECT_EQ(layer.posX, (std::vector<float>{500, 600}));
}

TEST_F(Animation, FrameClockWrapsLikeA32BitCounter) {
    SpriteLayer layer;
    shapeSprites(layer, 1, {{10, 10}}, 2);
    layer.clock = INT32_MAX - 10;
    layer.lastStep = INT32_MAX - 10;
    updateSprites(globalSettings, layer, 50, 0, 0, 100);
    EXPECT_EQ(layer.frame[0], 0);
    updateSprites(globalSettings, layer, 11, 0, 0, 100);
    EXPECT_EQ(layer.clock, INT32_MIN + 50);
    EXPECT_EQ(layer.frame[0], 1);
}

TEST_F(Animation, SpritesScrollAndReenterAtTheOtherSide) {
    SpriteLayer& layer = theme.frontSprites[0];
    shapeSprites(layer, 2, {{10, 10}});  // 40 pixels wide
    layer.xanimation = -0.05f;
    layer.posX = {400, 290};
    theme.frontSpriteCount = 1;
    updateScene(100);
    EXPECT_EQ(layer.posX[0], 380.0f);
    // 270 < 320 - 40: wrapped to the right edge of the scene.
    EXPECT_EQ(layer.posX[1], 1600.0f);

    layer.xanimation = 0.05f;
    layer.posX = {1590, 1200};
    updateScene(100);
    EXPECT_EQ(layer.posX[0], 280.0f);  // 1610 > 1600: re-enters from the left
    EXPECT_EQ(layer.posX[1], 1220.0f);
}

TEST_F(Animation, XoffsetRowCirculatesAroundTheSceneLeft) {
    SpriteLayer layer;
    shapeSprites(layer, 3, {{10, 10}});  // t = 120, window 260 .. 380
    layer.xoffset = true;
    layer.xanimation = -0.05f;
    layer.posX = {262, 300, 379};
    updateSprites(globalSettings, layer, 100, -5, 320, 1280);
    EXPECT_EQ(layer.posX, (std::vector<float>{362, 280, 359}));
    layer.posX = {370, 300, 250};
    updateSprites(globalSettings, layer, 100, 5, 320, 1280);
    EXPECT_EQ(layer.posX, (std::vector<float>{270, 320, 270}));
}

TEST_F(Animation, ParticlesFadeAndMoveElsewhereWhenFadedOut) {
    ParticleLayer& layer = theme.backParticles[0];
    shapeParticles(layer, 3, {{2, 2}});
    layer.xanimation = 0.01f;
    layer.yanimation = -0.02f;
    layer.posX = {1000, 700, 800};
    layer.posY = {500, 600, 650};
    layer.alpha = {0.02f, 0.98f, 0.5f};
    layer.alphaStep = {0.05f, 0.05f, 0.05f};
    layer.fadingOut = {1, 0, 1};
    theme.backParticleCount = 1;
    seedRandom(1);
    updateScene(100);
    // Faded out: moved to (41 mod 1280 + 320, 18467 mod 1080 + 0), then displaced by (4, -8).
    EXPECT_EQ(layer.posX[0], 365.0f);
    EXPECT_EQ(layer.posY[0], 99.0f);
    EXPECT_EQ(layer.alpha[0], 0.0f);
    EXPECT_EQ(layer.fadingOut[0], 0);
    // Faded in to full: starts to fade out.
    EXPECT_EQ(layer.alpha[1], 1.0f);
    EXPECT_EQ(layer.fadingOut[1], 1);
    EXPECT_EQ(layer.posX[1], 704.0f);
    EXPECT_EQ(layer.alpha[2], 0.5f - 0.05f);
    EXPECT_EQ(nextRandom(), 6334);

    // No time passed: nothing moves, but the opacity still steps.
    updateScene(0);
    EXPECT_EQ(layer.posX[0], 365.0f);
    EXPECT_EQ(layer.alpha[0], 0.05f);
}

TEST(Tween, StepsRiseAndFallAndClamp) {
    Tween idle;
    idle.value = 0.3f;
    idle.remaining = 0;
    idle.rate = 5;
    stepTween(idle, 100);
    EXPECT_EQ(idle.value, 0.3f);
    EXPECT_EQ(idle.remaining, 0.0f);

    Tween rise{0, 60, 0.12f, 0, 0, 100};
    stepTween(rise, 250);
    EXPECT_EQ(rise.remaining, 60.0f - 250.0f * 0.12f);
    EXPECT_EQ(rise.value, 1.0f - rise.remaining * 0.016666668f);
    stepTween(rise, 300);
    EXPECT_EQ(rise.value, 1.0f);
    EXPECT_EQ(rise.remaining, 0.0f);

    Tween fall{1, 60, 0.24f, 1, 0, 100};
    stepTween(fall, 125);
    EXPECT_FLOAT_EQ(fall.value, 0.5f);
    stepTween(fall, 1000);
    EXPECT_EQ(fall.value, 0.0f);
    EXPECT_EQ(fall.remaining, 0.0f);

    Tween broken{0, 60, std::numeric_limits<float>::quiet_NaN(), 0, 0, 100};
    stepTween(broken, 10);
    EXPECT_EQ(broken.value, 0.0f);
    EXPECT_EQ(broken.remaining, 0.0f);
}

class Walkers : public Animation {
protected:
    void SetUp() override {
        Animation::SetUp();
        shapeCharacters(walker, 1, {10, 20});  // 40 x 80 pixels
        walker.speed = 0.025f;
    }
    CharacterLayer walker;
};

TEST_F(Walkers, FloorWalkerEntersOverHalfASecond) {
    walker.posX = {500};
    walkFloor(globalSettings, walker, 16, 320, 1280, 920);
    EXPECT_EQ(walker.posX[0], 501.6f);
    EXPECT_EQ(walker.posY[0], 840.0f);
    EXPECT_EQ(walker.entered[0], 1);
    EXPECT_EQ(walker.appear[0].rate, 0.12f);
    EXPECT_EQ(walker.appear[0].delayRate, 100.0f);
    EXPECT_GT(walker.appear[0].value, 0.0f);
    EXPECT_LT(walker.appear[0].value, 0.05f);
    for (int t = 16; t < 496; t += 16) walkFloor(globalSettings, walker, 16, 320, 1280, 920);
    EXPECT_LT(walker.appear[0].value, 1.0f);
    walkFloor(globalSettings, walker, 16, 320, 1280, 920);  // 512 ms
    EXPECT_EQ(walker.appear[0].value, 1.0f);
    EXPECT_EQ(walker.appear[0].remaining, 0.0f);
}

TEST_F(Walkers, FloorWalkerTurnsAtTheRightEdgeAndFlipsInAQuarterSecond) {
    walker.posX = {1559};
    walker.entered = {1};
    walkFloor(globalSettings, walker, 16, 320, 1280, 920);
    EXPECT_EQ(walker.direction[0], -1);
    EXPECT_EQ(walker.turn[0].mode, 0);
    EXPECT_EQ(walker.turn[0].rate, 0.06f / (0.00625f / 0.025f));
    EXPECT_EQ(walker.posX[0], 1560.6f);  // not moved back inside
    const float afterFirst = walker.turn[0].value;
    EXPECT_GT(afterFirst, 0.0f);
    EXPECT_LT(afterFirst, 0.1f);
    // 6.25 / speed = 250 ms in all.
    walkFloor(globalSettings, walker, 233, 320, 1280, 920);
    EXPECT_LT(walker.turn[0].value, 1.0f);
    walkFloor(globalSettings, walker, 1, 320, 1280, 920);
    EXPECT_EQ(walker.turn[0].value, 1.0f);
    EXPECT_EQ(walker.direction[0], -1);
}

TEST_F(Walkers, AWalkerOutsideTurnsOnlyWhileHeadingOutward) {
    // A long step left it far beyond the left edge, already facing back in: it walks back in
    // without turning around again.
    walker.posX = {100};
    walker.direction = {1};
    walker.entered = {1};
    walkFloor(globalSettings, walker, 16, 320, 1280, 920);
    EXPECT_EQ(walker.direction[0], 1);
    EXPECT_EQ(walker.turn[0].remaining, 0.0f);

    // Heading outward it turns once, and stays turned on the following updates.
    walker.direction = {-1};
    walkFloor(globalSettings, walker, 16, 320, 1280, 920);
    EXPECT_EQ(walker.direction[0], 1);
    for (int i = 0; i < 5; ++i) walkFloor(globalSettings, walker, 16, 320, 1280, 920);
    EXPECT_EQ(walker.direction[0], 1);

    // The same at the right edge, for the sine walker too.
    walker.posX = {2000};
    walker.direction = {-1};
    walker.turn[0] = Tween{};
    walkSine(globalSettings, walker, 16, 320, 1280, 1080, 160);
    EXPECT_EQ(walker.direction[0], -1);
    EXPECT_EQ(walker.turn[0].remaining, 0.0f);
    walker.direction = {1};
    walkSine(globalSettings, walker, 16, 320, 1280, 1080, 160);
    walkSine(globalSettings, walker, 16, 320, 1280, 1080, 160);
    EXPECT_EQ(walker.direction[0], -1);
}

TEST_F(Walkers, SineWalkerRidesAWaveAroundTheViewBottom) {
    walker.posX = {0};
    walker.direction = {1};
    walkSine(globalSettings, walker, 0, -1000, 5000, 1080, 160);
    EXPECT_EQ(walker.posY[0], 1080.0f);
    walker.posX = {157};
    walkSine(globalSettings, walker, 0, -1000, 5000, 1080, 160);
    EXPECT_NEAR(walker.posY[0], 1320.0f, 0.01f);
    EXPECT_EQ(walker.posY[0], std::sin(0.01f * 157.0f) * 240.0f + 1080.0f);
}

class BetweenWalkers : public Walkers {
protected:
    void SetUp() override {
        Walkers::SetUp();
        shapeSprites(obstacle, 2, {{10, 10}});  // 40 pixels wide
        obstacle.posX = {100, 1000};
    }
    SpriteLayer obstacle;
};

TEST_F(BetweenWalkers, LeftEdgeInsideAnObstacleIsPutOnItsRightEdge) {
    walker.posX = {137};
    walker.posY = {840};
    walker.direction = {-1};
    walkBetween(globalSettings, walker, 0, 0, 2000, obstacle);
    EXPECT_EQ(walker.posX[0], 140.0f);
    EXPECT_EQ(walker.direction[0], 1);
    EXPECT_EQ(walker.turn[0].mode, 1);
    EXPECT_EQ(walker.turn[0].value, 1.0f);
    // Its first turn lets it enter.
    EXPECT_EQ(walker.entered[0], 1);
    EXPECT_EQ(walker.appear[0].remaining, 60.0f);
    EXPECT_EQ(walker.posY[0], 840.0f);
}

TEST_F(BetweenWalkers, RightEdgeInsideAnObstacleIsPutOnItsLeftEdge) {
    walker.posX = {969};
    walker.direction = {1};
    walker.entered = {1};
    walkBetween(globalSettings, walker, 16, 0, 2000, obstacle);  // moves to 970.6, right edge 1010.6
    EXPECT_EQ(walker.posX[0], 960.0f);
    EXPECT_EQ(walker.direction[0], -1);
    EXPECT_EQ(walker.appear[0].remaining, 0.0f);  // already in: not started again
}

TEST_F(BetweenWalkers, CoveringAnObstacleOrTouchingItsEdgeIsNoHit) {
    shapeCharacters(walker, 1, {20, 20});  // 80 pixels: covers an obstacle of 40
    walker.posX = {90};
    walker.direction = {1};
    walkBetween(globalSettings, walker, 0, 0, 2000, obstacle);
    EXPECT_EQ(walker.posX[0], 90.0f);
    EXPECT_EQ(walker.direction[0], 1);
    EXPECT_EQ(walker.entered[0], 0);
}

TEST_F(Animation, CharacterLayersAreDispatchedByType) {
    shapeSprites(theme.frontSprites[0], 1, {{10, 10}});
    theme.frontSprites[0].name = u"rock";
    theme.frontSprites[0].posX = {5000};
    theme.frontSpriteCount = 1;
    const CharacterType types[] = {CharacterType::Between, CharacterType::Between, CharacterType::Floor, CharacterType::Sine,
                                   CharacterType::Other};
    const char16_t* betweens[] = {u"rock", u"rocks", u"", u"", u""};
    for (std::size_t l = 0; l < 5; ++l) {
        shapeCharacters(theme.characters[l], 1, {10, 20});
        theme.characters[l].type = types[l];
        theme.characters[l].between = betweens[l];
        theme.characters[l].posX = {800};
    }
    theme.characterCount = 5;
    updateScene(16);
    EXPECT_EQ(theme.characters[0].posX[0], 801.6f);
    EXPECT_EQ(theme.characters[0].clock, 16);
    // An unknown obstacle layer or type: never updated, never entered.
    EXPECT_EQ(theme.characters[1].posX[0], 800.0f);
    EXPECT_EQ(theme.characters[1].clock, 0);
    EXPECT_EQ(theme.characters[1].entered[0], 0);
    EXPECT_EQ(theme.characters[2].posY[0], 840.0f);
    EXPECT_EQ(theme.characters[2].entered[0], 1);
    // Sine lift = (baseOffset + ycollider) x scale = 160.
    EXPECT_EQ(theme.characters[3].posY[0], std::sin(0.01f * 801.6f) * 240.0f + 1080.0f);
    EXPECT_EQ(theme.characters[4].clock, 0);
}

TEST_F(Animation, BetweenPrefersTheBackSpriteLayerOfThatName) {
    shapeSprites(theme.frontSprites[0], 1, {{10, 10}});
    theme.frontSprites[0].name = u"rock";
    theme.frontSprites[0].posX = {780};
    shapeSprites(theme.backSprites[1], 1, {{10, 10}});
    theme.backSprites[1].name = u"rock";
    theme.backSprites[1].posX = {5000};
    shapeSprites(theme.backSprites[0], 1, {{10, 10}});
    theme.backSprites[0].name = u"other";
    theme.backSprites[0].posX = {780};
    theme.frontSpriteCount = 1;
    theme.backSpriteCount = 2;
    shapeCharacters(theme.characters[0], 1, {10, 20});
    theme.characters[0].type = CharacterType::Between;
    theme.characters[0].between = u"rock";
    theme.characters[0].posX = {800};
    theme.characters[0].direction = {-1};
    theme.characterCount = 1;
    updateScene(16);
    // The front "rock" at 780..820 would have been hit; the back one is far away.
    EXPECT_EQ(theme.characters[0].posX[0], 798.4f);
    EXPECT_EQ(theme.characters[0].direction[0], -1);
}

TEST_F(Animation, EachBetweenLayerWalksAgainstItsOwnObstacles) {
    // Two obstacle layers, used in turn by three character layers: each must be looked up in the
    // right one of the update's indexed layers, in every update.
    shapeSprites(theme.backSprites[0], 1, {{10, 10}});
    theme.backSprites[0].name = u"low";
    theme.backSprites[0].posX = {500};  // 500 .. 540
    shapeSprites(theme.frontSprites[0], 2, {{20, 10}});
    theme.frontSprites[0].name = u"high";
    theme.frontSprites[0].posX = {5000, 900};  // 900 .. 980
    theme.backSpriteCount = 1;
    theme.frontSpriteCount = 1;
    const char16_t* betweens[] = {u"low", u"high", u"low"};
    for (std::size_t l = 0; l < 3; ++l) {
        shapeCharacters(theme.characters[l], 1, {10, 20});  // 40 wide
        theme.characters[l].type = CharacterType::Between;
        theme.characters[l].between = betweens[l];
        theme.characters[l].direction = {-1};
    }
    theme.characterCount = 3;
    for (int update = 0; update < 2; ++update) {
        theme.characters[0].posX = {530};
        theme.characters[1].posX = {970};
        theme.characters[2].posX = {930};  // in "high" only: no hit
        updateScene(0);
        EXPECT_EQ(theme.characters[0].posX[0], 540.0f);
        EXPECT_EQ(theme.characters[1].posX[0], 980.0f);
        EXPECT_EQ(theme.characters[2].posX[0], 930.0f);
        theme.characters[0].direction = {-1};
        theme.characters[1].direction = {-1};
    }
}

}  // namespace
}  // namespace velmora
