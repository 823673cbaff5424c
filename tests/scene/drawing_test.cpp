#include <gtest/gtest.h>

#include <vector>

#include "ground/records.h"
#include "ports/platform.h"
#include "scene/drawing.h"
#include "support/process_state.h"
#include "support/recording_graphics_device.h"
#include "support/scene_layers.h"
#include "support/standard_scene.h"

namespace velmora {
namespace {

using testing::DeviceCall;
using testing::fakePicture;
using testing::RecordedCall;
using testing::shapeCharacters;
using testing::shapeParticles;
using testing::shapeSprites;

class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetProcessState();
        installPlatform(Platform{nullptr, nullptr, &device});
        desktopHost.frameTarget = true;
        testing::useStandardScene();
    }

    std::vector<RecordedCall> draws() const { return device.callsOf(DeviceCall::DrawBitmap); }

    testing::RecordingGraphicsDevice device;
};

void expectRect(const RectF& r, float left, float top, float right, float bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST_F(Drawing, SceneIsDrawnBackToFront) {
    globalSettings.viewTop = 20;
    globalSettings.baseOffset = 3;
    theme.backgroundName = u"bg";
    theme.backgroundImage = fakePicture(100, 50, 1);
    theme.floorName = u"floor";
    theme.floorImage = fakePicture(320, 40);
    theme.ceilingName = u"ceiling";
    theme.ceilingImage = fakePicture(300, 10);
    theme.screenName = u"screen";
    theme.screenImage = fakePicture(8, 8, 1);
    shapeParticles(theme.backParticles[0], 1, {{2, 2}});
    shapeParticles(theme.frontParticles[0], 1, {{3, 3}});
    shapeSprites(theme.backSprites[0], 1, {{5, 5}});
    shapeSprites(theme.frontSprites[0], 1, {{6, 6}});
    shapeCharacters(theme.characters[0], 1, {7, 7});
    theme.characters[0].entered = {1};
    theme.characters[0].turn[0].value = 0;
    theme.backParticles[0].alpha = {0.5f};
    theme.frontParticles[0].alpha = {0.25f};
    for (auto* x : {&theme.backParticles[0].posX, &theme.frontParticles[0].posX}) *x = {400};
    theme.backSprites[0].posX = {500};
    theme.frontSprites[0].posX = {600};
    theme.characters[0].posX = {700};
    theme.characters[0].posY = {800};
    theme.backParticleCount = theme.frontParticleCount = theme.backSpriteCount = theme.frontSpriteCount = 1;
    theme.characterCount = 1;

    drawScene();

    const std::vector<const Bitmap*> expected = {
        theme.backgroundImage.bitmap.get(),
        theme.backParticles[0].images[0][0].bitmap.get(),
        theme.backSprites[0].images[0][0].bitmap.get(),
        theme.floorImage.bitmap.get(),
        theme.ceilingImage.bitmap.get(),
        theme.characters[0].images[0].bitmap.get(),
        theme.frontSprites[0].images[0][0].bitmap.get(),
        theme.frontParticles[0].images[0][0].bitmap.get(),
        theme.screenImage.bitmap.get(),
    };
    const auto calls = draws();
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].bitmap, expected[i]) << i;
    // No transform change for unmirrored pictures, and the drawing neither begins nor clears.
    EXPECT_EQ(device.count(DeviceCall::SetTransform), 0u);
    EXPECT_EQ(device.count(DeviceCall::BeginDraw), 0u);
    EXPECT_EQ(device.count(DeviceCall::Clear), 0u);

    // Background and screen stretched over the desktop width and the drawing area, linear.
    expectRect(calls[0].dest, 0, 20, 1920, 1100);
    EXPECT_EQ(calls[0].mode, Interpolation::Linear);
    EXPECT_EQ(calls[0].opacity, 1.0f);
    expectRect(calls[8].dest, 0, 20, 1920, 1100);
    // Floor centred, standing on the ground line; ceiling at the top of the area.
    expectRect(calls[3].dest, 320, 1100 - 160 - 12, 1600, 1100 - 12);
    EXPECT_EQ(calls[3].mode, Interpolation::NearestNeighbor);
    expectRect(calls[4].dest, 360, 20, 1560, 60);
    // Particles at their own opacity, sprites opaque.
    EXPECT_EQ(calls[1].opacity, 0.5f);
    EXPECT_EQ(calls[7].opacity, 0.25f);
    expectRect(calls[2].dest, 500, 0, 520, 20);
    EXPECT_EQ(calls[2].opacity, 1.0f);
}

TEST_F(Drawing, PanShiftsLayersByTheirXscroll) {
    appState.panOffset = 0.1f;
    theme.floorName = u"floor";
    theme.floorImage = fakePicture(320, 40);
    theme.backgroundImage = fakePicture(10, 10, 1);
    shapeParticles(theme.backParticles[0], 1, {{2, 2}});
    theme.backParticles[0].posX = {400};
    theme.backParticleCount = 1;
    drawScene();
    const auto calls = draws();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].dest.left, 0.0f);  // the background does not pan
    EXPECT_EQ(calls[1].dest.left, 401.25f);
    EXPECT_EQ(calls[2].dest.left, 320.0f + 20.0f);
}

TEST_F(Drawing, SpritesAndCharactersBesideTheDesktopAreSkipped) {
    desktopHost.desktopLeft = 100;
    SpriteLayer& sprites = theme.backSprites[0];
    shapeSprites(sprites, 5, {{10, 10}});  // 40 wide
    sprites.posX = {2020, 2020.5f, 60, 59.5f, 1000};
    theme.backSpriteCount = 1;
    shapeCharacters(theme.characters[0], 2, {10, 10});
    theme.characters[0].posX = {2020.5f, 59.5f};
    theme.characters[0].entered = {1, 1};
    theme.characterCount = 1;
    drawScene();
    const auto calls = draws();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].dest.left, 2020.0f);  // left edge on the right edge: drawn
    EXPECT_EQ(calls[1].dest.left, 60.0f);    // right edge on the left edge: drawn
    EXPECT_EQ(calls[2].dest.left, 1000.0f);
}

TEST_F(Drawing, CharactersFadeInSlideDownAndMirrorAboutTheirCentre) {
    CharacterLayer& layer = theme.characters[0];
    shapeCharacters(layer, 4, {10, 20}, 2);  // 40 x 80
    layer.posX = {100, 200, 300, 400};
    layer.posY = {500, 500, 500, 500};
    layer.entered = {1, 1, 1, 0};
    layer.frame = {0, 1, 0, 0};
    layer.appear[0].value = 0;
    layer.appear[1].value = 1;
    layer.appear[2].value = 0.5f;
    layer.turn[0].value = 0;
    layer.turn[1].value = 0.25f;
    layer.turn[2].value = 1;
    theme.characterCount = 1;
    drawScene();

    const auto calls = device.calls();
    // Unmirrored: one draw. Mirrored: transform, draw, identity.
    ASSERT_EQ(device.callSequence(), (std::vector<DeviceCall>{DeviceCall::DrawBitmap, DeviceCall::SetTransform,
                                                               DeviceCall::DrawBitmap, DeviceCall::SetTransform,
                                                               DeviceCall::SetTransform, DeviceCall::DrawBitmap,
                                                               DeviceCall::SetTransform}));
    // Just entered: transparent, 32 theme pixels above its place.
    EXPECT_EQ(calls[0].opacity, 0.0f);
    expectRect(calls[0].dest, 100, 500 - 128, 140, 500 - 128 + 80);
    EXPECT_EQ(calls[0].transform, Matrix3x2::identity());
    // Half turned: half width about the centre x = 220, current frame's picture.
    EXPECT_EQ(calls[2].bitmap, layer.images[1].bitmap.get());
    EXPECT_EQ(calls[2].opacity, 1.0f);
    expectRect(calls[2].dest, 200, 500, 240, 580);
    EXPECT_EQ(calls[2].transform, (Matrix3x2{0.5f, 0, 0, 1, 110, 0}));
    EXPECT_EQ(calls[3].transform, Matrix3x2::identity());
    // Fully turned: flipped in its own rectangle; half faded in, 16 pixels up.
    EXPECT_EQ(calls[5].transform, (Matrix3x2{-1, 0, 0, 1, 640, 0}));
    EXPECT_EQ(calls[5].opacity, 0.5f);
    EXPECT_EQ(calls[5].dest.top, 500 - 64.0f);
    EXPECT_EQ(calls[6].transform, Matrix3x2::identity());
}

TEST_F(Drawing, PicturesWithoutBitmapDrawNothingAndTheRestGoesOn) {
    theme.floorName = u"floor";  // named, but its picture failed to load
    theme.screenName = u"screen";
    theme.screenImage = fakePicture(4, 4, 1);
    shapeSprites(theme.frontSprites[0], 2, {{10, 10}}, 2);
    theme.frontSprites[0].images[0][1] = ImageFrame{};
    theme.frontSprites[0].frame = {1, 0};
    theme.frontSprites[0].posX = {500, 600};
    theme.frontSpriteCount = 1;
    drawImage(ImageFrame{}, 1, 0, 0, 10, 10, 0.5f);
    EXPECT_TRUE(device.calls().empty());
    drawScene();
    ASSERT_EQ(draws().size(), 2u);
    EXPECT_EQ(draws()[0].dest.left, 600.0f);
    ASSERT_EQ(device.pictures().size(), 2u);
    EXPECT_EQ(device.pictures()[0].placement.x, 600.0f);
    EXPECT_EQ(device.pictures()[1].placement.x, 0.0f);
}

TEST_F(Drawing, EachPictureReachesTheDeviceWithItsPlacement) {
    shapeCharacters(theme.characters[0], 1, {10, 20});
    theme.characters[0].entered = {1};
    theme.characters[0].posX = {300};
    theme.characters[0].posY = {700};
    theme.characters[0].appear[0].value = 1;
    theme.characters[0].turn[0].value = 0.75f;
    theme.characterCount = 1;
    drawScene();
    ASSERT_EQ(device.pictures().size(), 1u);
    const PicturePlacement& seen = device.pictures()[0].placement;
    EXPECT_EQ(device.pictures()[0].bitmap, theme.characters[0].images[0].bitmap.get());
    EXPECT_EQ(seen.x, 300.0f);
    EXPECT_EQ(seen.y, 700.0f);
    EXPECT_EQ(seen.w, 40.0f);
    EXPECT_EQ(seen.h, 80.0f);
    EXPECT_EQ(seen.mirror, 0.75f);
    EXPECT_EQ(seen.opacity, 1.0f);
}

}  // namespace
}  // namespace velmora
