#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "ground/records.h"
#include "ground/float_conversion.h"
#include "scene/layout.h"
#include "ground/random.h"
#include "scene/scene_geometry.h"
#include "support/process_state.h"
#include "support/scene_layers.h"
#include "support/standard_scene.h"

namespace velmora {
namespace {

using testing::shapeCharacters;
using testing::shapeParticles;
using testing::shapeSprites;

class Layout : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetProcessState();
        testing::useStandardScene();
    }
};

TEST_F(Layout, GeometryCentresTheScaledSceneAndRaisesTheLines) {
    SceneGeometry g = sceneGeometry();
    EXPECT_EQ(g.sceneWidth, 1280.0f);
    EXPECT_EQ(g.sceneLeft, 320.0f);
    EXPECT_EQ(g.viewBottom, 1080.0f);
    EXPECT_EQ(g.groundY, 1080.0f);
    EXPECT_EQ(g.floorY, 920.0f);

    // A desktop reaching left of the primary monitor, a ground offset and a drawing area below
    // the top.
    desktopHost.desktopLeft = -1920;
    desktopHost.desktopWidth = 3840;
    globalSettings.pixelScale = 3;
    globalSettings.viewTop = 100;
    globalSettings.viewHeight = 900;
    globalSettings.baseOffset = 10;
    theme.params.width = 500;
    theme.params.ycollider = 12;
    g = sceneGeometry();
    EXPECT_EQ(g.sceneWidth, 1500.0f);
    EXPECT_EQ(g.sceneLeft, -750.0f);
    EXPECT_EQ(g.viewBottom, 1000.0f);
    EXPECT_EQ(g.groundY, 970.0f);
    EXPECT_EQ(g.floorY, 934.0f);
}

TEST(FloatConversion, OutOfRangeAndNaNGiveIntMin) {
    EXPECT_EQ(truncateToInt(-2.9f), -2);
    EXPECT_EQ(truncateToInt(2147483520.0f), 2147483520);
    EXPECT_EQ(truncateToInt(-2147483648.0f), INT_MIN);
    EXPECT_EQ(truncateToInt(2147483648.0f), INT_MIN);
    EXPECT_EQ(truncateToInt(-3e9f), INT_MIN);
    EXPECT_EQ(truncateToInt(std::numeric_limits<float>::quiet_NaN()), INT_MIN);
    EXPECT_EQ(truncateToInt(std::numeric_limits<float>::infinity()), INT_MIN);
    EXPECT_EQ(roundToInt(2.5f), 3);
    EXPECT_EQ(roundToInt(-2.5f), -3);
    EXPECT_EQ(roundToInt(449.5f), 450);
    EXPECT_EQ(roundToInt(1e10f), INT_MIN);
}

TEST_F(Layout, DefaultSpriteStandsOnTheFloorAtTheSceneLeft) {
    SpriteLayer& layer = theme.frontSprites[0];
    shapeSprites(layer, 1, {{16, 8}});
    layer.yposition = SpriteAnchor::Floor;
    theme.frontSpriteCount = 1;
    seedRandom(1);
    layoutScene();
    EXPECT_EQ(layer.variation[0], 0);
    EXPECT_EQ(layer.posX[0], 320.0f);
    EXPECT_EQ(layer.posY[0], 920.0f - 32.0f);
    // Variation, vertical and horizontal draws were all made.
    EXPECT_EQ(nextRandom(), 26500);
}

TEST_F(Layout, SpriteBaselinesFollowYposition) {
    globalSettings.viewTop = 50;
    globalSettings.baseOffset = 5;
    const SpriteAnchor anchors[] = {SpriteAnchor::Floor, SpriteAnchor::Top, SpriteAnchor::Bottom, SpriteAnchor::Other};
    const float expected[] = {1130.0f - 180.0f, 50.0f, 1130.0f - 20.0f, 0.0f};
    for (int l = 0; l < 4; ++l) {
        shapeSprites(theme.backSprites[static_cast<std::size_t>(l)], 1, {{4, 1}});
        theme.backSprites[static_cast<std::size_t>(l)].yposition = anchors[l];
    }
    theme.backSpriteCount = 4;
    layoutScene();
    for (int l = 0; l < 4; ++l) {
        EXPECT_EQ(theme.backSprites[static_cast<std::size_t>(l)].posY[0], expected[l] - 4.0f) << l;
    }
}

TEST_F(Layout, XoffsetRowIsCentredOnTheSceneLeft) {
    globalSettings.pixelScale = 2;
    SpriteLayer layer;
    shapeSprites(layer, 3, {{10, 5}});
    layer.xoffset = true;
    layer.xseparationmin = 1;
    layer.xseparationmax = 9;  // still drawn, but the row ignores it
    seedRandom(1);
    layoutSprites(globalSettings, layer, 320, 900);
    EXPECT_EQ(layer.posX[0], 290.0f);
    EXPECT_EQ(layer.posX[1], 310.0f);
    EXPECT_EQ(layer.posX[2], 330.0f);
    EXPECT_EQ(nextRandom(), 24464);  // nine draws made
}

TEST_F(Layout, SpritesHangBelowWithNegativeYdirectionAndStepByTheirOwnWidth) {
    globalSettings.pixelScale = 2;
    SpriteLayer layer;
    shapeSprites(layer, 3, {{10, 5}, {20, 6}});
    layer.ydirection = -1;
    layer.yseparationmin = 1;
    layer.yseparationmax = 3;
    layer.xseparationmin = 2;
    layer.xseparationmax = 4;
    seedRandom(1);
    layoutSprites(globalSettings, layer, 100, 500);
    // Draws 41 18467 6334 | 26500 19169 15724 | 11478 29358 26962.
    EXPECT_EQ(layer.variation, (std::vector<std::int32_t>{1, 0, 0}));
    EXPECT_EQ(layer.posX, (std::vector<float>{100, 220, 280}));
    EXPECT_EQ(layer.posY, (std::vector<float>{536, 530, 510}));
}

TEST_F(Layout, InvertedOrExtremeSeparationsNeverDivideByZero) {
    SpriteLayer layer;
    shapeSprites(layer, 2, {{10, 5}});
    layer.xseparationmin = 3;
    layer.xseparationmax = 2;  // span 0: remainder by 1
    layer.yseparationmin = INT_MAX;
    layer.yseparationmax = INT_MIN;  // span of magnitude 2^32 - 2, computed without overflow
    seedRandom(1);
    layoutSprites(globalSettings, layer, 0, 0);
    EXPECT_EQ(layer.posX[0], 0.0f);
    EXPECT_EQ(layer.posX[1], 120.0f);  // 3 widths of 40
    EXPECT_EQ(layer.posY[0], -(2147483647.0f + 18467.0f) * 20.0f);
    EXPECT_EQ(nextRandom(), 11478);
}

TEST_F(Layout, CharactersStartInTheirSlicesFacingByTheThirdDraw) {
    CharacterLayer layer;
    shapeCharacters(layer, 12, {8, 5});
    seedRandom(1);
    layoutCharacters(globalSettings, layer, 320, 1000, 920);
    // Expected from the generator and the slice arithmetic worked out by hand; instances 10 and
    // 11 have spans of -7 and -15, taken by magnitude.
    const std::vector<float> posX = {361, 451, 504, 605, 671, 737, 837, 909, 988, 1070, 1154, 1239};
    const std::vector<std::int32_t> direction = {-1, -1, -1, 1, 1, -1, 1, 1, 1, 1, 1, -1};
    EXPECT_EQ(layer.posX, posX);
    EXPECT_EQ(layer.direction, direction);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(layer.posY[i], 900.0f);
        EXPECT_EQ(layer.entered[i], 0);
        EXPECT_EQ(layer.appear[i].value, 1.0f);
        EXPECT_EQ(layer.appear[i].remaining, 0.0f);
        EXPECT_EQ(layer.turn[i].value, direction[i] == -1 ? 1.0f : 0.0f);
        EXPECT_EQ(layer.turn[i].remaining, 0.0f);
    }
    EXPECT_EQ(nextRandom(), 25667);
}

TEST_F(Layout, ParticlesScatterOverTheSceneAndTheDrawingArea) {
    globalSettings.viewTop = 10;
    ParticleLayer layer;
    shapeParticles(layer, 2, {{2, 2}, {2, 2}, {2, 2}});
    seedRandom(1);
    layoutParticles(globalSettings, layer, 320, 1280);
    EXPECT_EQ(layer.variation, (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(layer.posX, (std::vector<float>{867, 1558}));
    EXPECT_EQ(layer.posY, (std::vector<float>{944, 208}));
    EXPECT_EQ(layer.alpha[0], 1.0f);
    EXPECT_EQ(layer.alpha[1], 1.0f / 3.0f);
    EXPECT_EQ(layer.alphaStep[0], 1.0f / 119.0f);
    EXPECT_EQ(layer.alphaStep[1], 1.0f / 134.0f);
    EXPECT_EQ(layer.fadingOut, (std::vector<std::uint8_t>{1, 1}));
}

TEST_F(Layout, ParticlesInAZeroWideSceneKeepDrawing) {
    ParticleLayer layer;
    shapeParticles(layer, 1, {{2, 2}});
    seedRandom(1);
    layoutParticles(globalSettings, layer, 320, 0.5f);
    EXPECT_EQ(layer.posX[0], 320.0f);
    EXPECT_EQ(layer.posY[0], 934.0f);  // 6334 mod 1080: the width draw was still made
}

TEST_F(Layout, LayoutOrderFrontSpritesBackSpritesCharactersBackFrontParticles) {
    // One instance each; the draws go to the layers in the fixed order, so the positions reveal
    // the order.
    shapeSprites(theme.frontSprites[0], 1, {{1, 1}, {1, 1}});
    shapeSprites(theme.backSprites[0], 1, {{1, 1}, {1, 1}});
    shapeParticles(theme.frontParticles[0], 1, {{1, 1}, {1, 1}});
    shapeParticles(theme.backParticles[0], 1, {{1, 1}, {1, 1}});
    theme.frontSpriteCount = theme.backSpriteCount = theme.frontParticleCount = theme.backParticleCount = 1;
    seedRandom(1);
    layoutScene();
    // Draws: front sprite 41, back sprite 26500, back particle 11478 then its x 29358, front
    // particle 28145 then its x 23281.
    EXPECT_EQ(theme.frontSprites[0].variation[0], 41 % 2);
    EXPECT_EQ(theme.backSprites[0].variation[0], 26500 % 2);
    EXPECT_EQ(theme.backParticles[0].posX[0], static_cast<float>(29358 % 1280) + 320.0f);
    EXPECT_EQ(theme.frontParticles[0].posX[0], static_cast<float>(23281 % 1280) + 320.0f);
}

}  // namespace
}  // namespace velmora
