// Drawing from scaled copies gives the pixels of drawing every picture scaled, bit for bit: the
// sample theme played frame by frame on two devices, one with copies and one without, and
// pictures of every kind drawn at random positions, sizes, opacities and filters.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/headless_session.h"
#include "ground/monitors.h"
#include "ground/records.h"
#include "platform/linux/both_devices.h"
#include "platform/linux/device/cairo_graphics_device.h"
#include "platform/linux/random_picture.h"
#include "ground/theme_model.h"

namespace velmora {
namespace {

// Empty when the two frames are the same; else where they first differ.
std::string firstDifference(cairo_surface_t* a, cairo_surface_t* b) {
    if (a == nullptr || b == nullptr) return "no frame";
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    const int width = cairo_image_surface_get_width(a), height = cairo_image_surface_get_height(a);
    if (width != cairo_image_surface_get_width(b) || height != cairo_image_surface_get_height(b)) return "sizes differ";
    for (int y = 0; y < height; ++y) {
        const auto* rowA = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a));
        const auto* rowB = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b));
        for (int x = 0; x < width; ++x) {
            if (rowA[x] != rowB[x]) {
                char text[96];
                std::snprintf(text, sizeof text, "at %d,%d: %08X with copies, %08X without", x, y, rowA[x], rowB[x]);
                return text;
            }
        }
    }
    return {};
}

struct Desktop {
    int left, top, width, height;
    // The desktop is one monitor: config.txt's span_monitors:0 gives it a scene of its own,
    // drawn under a clip that holds the whole target.
    bool monitor = false;
};

class SampleThemeFrames : public ::testing::TestWithParam<Desktop> {
protected:
    CairoGraphicsDevice withCopies, withoutCopies;
};

TEST_P(SampleThemeFrames, AreTheSameWithAndWithoutScaledCopies) {
    const Desktop desktop = GetParam();
    ASSERT_TRUE(withoutCopies.createOffscreenTarget(static_cast<std::uint32_t>(desktop.width), static_cast<std::uint32_t>(desktop.height)));
    withoutCopies.setScaledCopies(false);
    HeadlessSetup setup;
    setup.programFolder = std::filesystem::path(VELMORA_SOURCE_DIR).u16string();
    setup.left = desktop.left;
    setup.top = desktop.top;
    setup.width = desktop.width;
    setup.height = desktop.height;
    setup.theme = u"VMA_Lantern_Valley";
    setup.frameRate = 60;
    if (desktop.monitor) setup.monitors = {Monitor{desktop.left, desktop.top, desktop.width, desktop.height}};
    HeadlessSession session(setup, &withCopies);
    ASSERT_TRUE(session.drawing());
    session.start(0);
    const Theme& shown = session.scenes().front().theme;
    ASSERT_TRUE(shown.backgroundImage.bitmap);
    ASSERT_EQ(&shown == &theme, !desktop.monitor);
    BothDevices both(withCopies, withoutCopies);
    session.drawThrough(both);

    // Two seconds at 60 frames per second, the pan running; the characters enter meanwhile.
    std::uint32_t tick = 0;
    for (int frame = 1; frame <= 120; ++frame) {
        tick += 16;
        session.advanceTo(tick);
        const std::string difference = firstDifference(withCopies.fetchedFrame(), withoutCopies.fetchedFrame());
        ASSERT_EQ(difference, "") << "frame " << frame;
    }
    // The copies were made and drawn from: at least the scaled floor.
    EXPECT_GE(withCopies.scaledCopyBytes(), static_cast<std::size_t>(shown.floorImage.width) * shown.floorImage.height * 16 * 4);
    EXPECT_EQ(withoutCopies.scaledCopyBytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Desktops, SampleThemeFrames,
                         ::testing::Values(Desktop{0, 0, 1920, 1080}, Desktop{37, -21, 1366, 768}, Desktop{-300, 0, 1280, 720},
                                           Desktop{0, 0, 1366, 768, true}),
                         [](const auto& info) {
                             const Desktop& d = info.param;
                             return std::to_string(d.width) + "x" + std::to_string(d.height) + (d.left != 0 || d.top != 0 ? "Offset" : "") +
                                    (d.monitor ? "OneMonitor" : "");
                         });

// Pictures drawn as the scene draws them (at sizes that are whole multiples of theirs and at other
// sizes, moving by fractions of a pixel, fading, mirrored, partly off the target, some at the same
// place frame after frame), frame after frame on both devices.
TEST(ScaledCopies, GiveTheSamePixelsAsScaledDrawsOfEveryKind) {
    constexpr int kWidth = 160, kHeight = 90;
    CairoGraphicsDevice withCopies, withoutCopies;
    ASSERT_TRUE(withCopies.createOffscreenTarget(kWidth, kHeight));
    ASSERT_TRUE(withoutCopies.createOffscreenTarget(kWidth, kHeight));
    withoutCopies.setScaledCopies(false);
    std::mt19937 random(20240611);
    const auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };

    struct Sprite {
        std::unique_ptr<Bitmap> picture;
        float scaleX, scaleY;
        float x, y, dx, dy;
        Interpolation mode;
        bool placed;  // drawn at the same place every frame
    };
    const float scales[] = {1, 2, 3, 4, 0.5f, 2.5f, 8.0f / 3.0f, 3.2f, 5};
    std::vector<Sprite> sprites;
    for (int i = 0; i < 40; ++i) {
        Sprite s;
        const int w = 1 + static_cast<int>(random() % 24), h = 1 + static_cast<int>(random() % 16);
        s.picture = randomPicture(random, w, h, i % 5 == 0);
        s.scaleX = scales[random() % std::size(scales)];
        s.scaleY = i % 3 == 0 ? s.scaleX : scales[random() % std::size(scales)];
        s.x = static_cast<float>(uniform(-40, kWidth));
        s.y = static_cast<float>(uniform(-20, kHeight));
        s.dx = static_cast<float>(uniform(-1.5, 1.5));
        s.dy = i % 4 == 0 ? static_cast<float>(uniform(-0.7, 0.7)) : 0.0f;
        s.mode = i % 3 == 1 ? Interpolation::Linear : Interpolation::NearestNeighbor;
        s.placed = i % 6 == 0;
        sprites.push_back(std::move(s));
    }
    // A background stretched over the whole target, and a half-pixel grid of positions, where
    // rounding is decided by the last bits.
    auto background = randomPicture(random, 48, 27, true);

    for (int frame = 0; frame < 40; ++frame) {
        for (CairoGraphicsDevice* device : {&withCopies, &withoutCopies}) {
            device->beginDraw();
            device->clear({0.1f, 0.2f, 0.3f, 1});
            if (frame % 4 != 3) device->drawBitmap(*background, {0, 0, kWidth, kHeight}, 1.0f, frame % 2 ? Interpolation::Linear : Interpolation::NearestNeighbor);
            for (std::size_t i = 0; i < sprites.size(); ++i) {
                const Sprite& s = sprites[i];
                const float w = static_cast<float>(s.picture->pixelWidth()) * s.scaleX;
                const float h = static_cast<float>(s.picture->pixelHeight()) * s.scaleY;
                float x = s.x, y = s.y;
                if (!s.placed) {
                    x += s.dx * static_cast<float>(frame);
                    y += s.dy * static_cast<float>(frame);
                    if (i % 7 == 0) x = std::floor(x) + 0.5f;  // exactly on the middle of a pixel
                }
                const float opacity = i % 4 == 2 ? static_cast<float>((frame * 37 + static_cast<int>(i) * 11) % 101) / 100.0f : 1.0f;
                const bool mirrored = i % 9 == 4;
                if (mirrored) {
                    const float k = 1.0f - 2.0f * static_cast<float>(frame % 5) / 4.0f;
                    const float c = w * 0.5f + x;
                    device->setTransform(Matrix3x2{k, 0, 0, 1, c - k * c, 0});
                }
                device->drawBitmap(*s.picture, {x, y, x + w, y + h}, opacity, s.mode);
                if (mirrored) device->setTransform(Matrix3x2::identity());
            }
            ASSERT_TRUE(device->endDraw());
            ASSERT_TRUE(device->fetchFrameBitmap());
        }
        ASSERT_EQ(firstDifference(withCopies.fetchedFrame(), withoutCopies.fetchedFrame()), "") << "frame " << frame;
    }
    EXPECT_GT(withCopies.scaledCopyBytes(), 0u);
}

// Draws on both devices, one frame each, compared.
class TwoDevices {
public:
    TwoDevices(int width, int height) {
        EXPECT_TRUE(withCopies.createOffscreenTarget(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)));
        EXPECT_TRUE(withoutCopies.createOffscreenTarget(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)));
        withoutCopies.setScaledCopies(false);
    }
    template <typename Draw>
    std::string frame(Draw&& draw) {
        for (CairoGraphicsDevice* device : {&withCopies, &withoutCopies}) {
            device->beginDraw();
            device->clear({1, 0, 0, 1});
            draw(*device);
            device->setTransform(Matrix3x2::identity());
            EXPECT_TRUE(device->endDraw());
            EXPECT_TRUE(device->fetchFrameBitmap());
        }
        return firstDifference(withCopies.fetchedFrame(), withoutCopies.fetchedFrame());
    }
    CairoGraphicsDevice withCopies, withoutCopies;
};

// Rectangles whose edges and sampling positions fall on, just beside and between the borders of
// pixels, at scales exact in fixed point (3/8, 5/16, 1/4 of a source pixel per target pixel) and
// at one that is not (2/5) far from the origin, where fixed-point steps add up; a picture with
// translucent pixels, and an opaque one with a hole (whose copy is drawn as runs of pixels).
TEST(ScaledCopies, AgreeOnTheBordersBetweenPixels) {
    std::mt19937 random(7);
    struct Case {
        int width, height;
        float drawnWidth, drawnHeight;
        float near;  // where the sweep starts, in target pixels
        int targetWidth;
    };
    const Case cases[] = {{3, 2, 8, 4, 10, 64}, {5, 3, 16, 8, 150, 200}, {4, 2, 16, 8, 30, 64}, {16, 1, 40, 2, 3000, 3100}};
    for (const Case& c : cases) {
        for (const bool holed : {false, true}) {
            TwoDevices devices(c.targetWidth, 12);
            auto picture = holed ? randomPicture(random, c.width, c.height, true, {{c.width / 2, 0}})
                                 : randomPicture(random, c.width, c.height, false);
            const float nudges[] = {-1.0f / 131072, 0, 1.0f / 131072, 1.0f / 2048};
            for (int step = 0; step < 256; ++step) {
                for (const float nudge : nudges) {
                    for (const bool alongY : {false, true}) {
                        const float phase = static_cast<float>(step) / 128.0f + nudge;
                        const float x = alongY ? c.near + 0.25f : c.near + phase;
                        const float y = alongY ? 1.0f + phase : 1.25f;
                        const std::string difference = devices.frame([&](GraphicsDevice& device) {
                            device.drawBitmap(*picture, {x, y, x + c.drawnWidth, y + c.drawnHeight}, 1.0f, Interpolation::NearestNeighbor);
                        });
                        ASSERT_EQ(difference, "") << c.width << "x" << c.height << (holed ? " holed" : "") << " drawn at " << x << "," << y;
                    }
                }
            }
        }
    }
}

// A copy's blend goes to pixman straight, as cairo hands on a blend at an opacity: every
// opacity, those whose mask rounds to nothing or to full among them, gives cairo's pixels, over a
// backdrop of every kind of pixel.
TEST(ScaledCopies, BlendAtEveryOpacityAsCairoDoes) {
    std::mt19937 random(19);
    TwoDevices devices(16, 8);
    auto backdrop = randomPicture(random, 16, 8, true);
    auto picture = randomPicture(random, 8, 4, false);
    std::vector<std::uint32_t> shorts = {0x00FE, 0x00FF, 0x0100, 0x0101, 0x7F7F, 0x8080, 0xFEFF, 0xFF00, 0xFF01, 0xFFFF};
    for (std::uint32_t a = 0; a <= 0xFFFF; a += 97) shorts.push_back(a);
    for (const std::uint32_t a : shorts) {
        const float opacity = static_cast<float>(a) / 65535.0f;
        const std::string difference = devices.frame([&](GraphicsDevice& device) {
            device.drawBitmap(*backdrop, {0, 0, 16, 8}, 0.75f, Interpolation::NearestNeighbor);
            device.drawBitmap(*picture, {0, 0, 16, 8}, opacity, Interpolation::NearestNeighbor);
        });
        ASSERT_EQ(difference, "") << "opacity " << a << "/65535";
    }
    EXPECT_GT(devices.withCopies.scaledCopyBytes(), 0u);
}

// An opaque picture over the whole target, drawn first at full opacity, is copied in place of
// the clear; a picture with a transparent pixel, a faded one, one drawn after another, one
// mirrored and one that leaves a row of the clear are blended over the clear as before.
TEST(ScaledCopies, ReplaceTheClearOnlyWithAnOpaquePictureOverEverything) {
    std::mt19937 random(3);
    constexpr int kWidth = 64, kHeight = 36;
    TwoDevices devices(kWidth, kHeight);
    auto opaque = randomPicture(random, 16, 9, true);
    auto holed = randomPicture(random, 16, 9, true, {{7, 5}});
    auto small = randomPicture(random, 2, 2, true);
    EXPECT_TRUE(static_cast<CairoBitmap&>(*opaque).opaque());
    EXPECT_FALSE(static_cast<CairoBitmap&>(*holed).opaque());
    const RectF whole{0, 0, kWidth, kHeight};
    const Matrix3x2 mirrored{-1, 0, 0, 1, kWidth, 0};
    for (const Interpolation mode : {Interpolation::Linear, Interpolation::NearestNeighbor}) {
        // Each at least twice, so that the copies are made and then drawn from.
        for (int repeat = 0; repeat < 3; ++repeat) {
            EXPECT_EQ(devices.frame([&](GraphicsDevice& d) { d.drawBitmap(*opaque, whole, 1.0f, mode); }), "");
            EXPECT_EQ(devices.frame([&](GraphicsDevice& d) { d.drawBitmap(*holed, whole, 1.0f, mode); }), "");
            EXPECT_EQ(devices.frame([&](GraphicsDevice& d) { d.drawBitmap(*opaque, whole, 0.6f, mode); }), "");
            EXPECT_EQ(devices.frame([&](GraphicsDevice& d) {
                d.drawBitmap(*small, {3, 3, 7, 7}, 1.0f, mode);
                d.drawBitmap(*opaque, whole, 1.0f, mode);
            }), "");
            EXPECT_EQ(devices.frame([&](GraphicsDevice& d) {
                d.setTransform(mirrored);
                d.drawBitmap(*opaque, whole, 1.0f, mode);
            }), "");
            EXPECT_EQ(devices.frame([&](GraphicsDevice& d) { d.drawBitmap(*opaque, {0, 0, kWidth, kHeight - 0.75f}, 1.0f, mode); }), "");
            EXPECT_EQ(devices.frame([&](GraphicsDevice& d) { d.drawBitmap(*opaque, {-16, -9, kWidth + 16, kHeight + 9}, 1.0f, mode); }), "");
        }
    }
    EXPECT_GT(devices.withCopies.scaledCopyBytes(), 0u);
}

// A scene clipped to a monitor that holds the whole target draws from its copies, with the pixels
// of the clipped scaled draws; under a smaller clip it is drawn scaled, within the clip.
TEST(ScaledCopies, AreDrawnUnderAClipThatHoldsTheWholeTarget) {
    std::mt19937 random(11);
    for (const RectF clip : {RectF{0, 0, 48, 32}, RectF{-10, -5, 60, 40}, RectF{0, 0, 24, 32}}) {
        TwoDevices devices(48, 32);
        auto picture = randomPicture(random, 6, 4, true, {{2, 1}});
        for (int frame = 0; frame < 3; ++frame) {
            const float x = -3.3f + 7.1f * static_cast<float>(frame);
            ASSERT_EQ(devices.frame([&](GraphicsDevice& d) {
                d.pushClip(clip);
                d.drawBitmap(*picture, {x, 2.6f, x + 24, 18.6f}, 1.0f, Interpolation::NearestNeighbor);
                d.drawBitmap(*picture, {5, 5, 29, 21}, 0.5f, Interpolation::Linear);
                d.popClip();
            }), "") << "clip " << clip.right << " frame " << frame;
        }
        const bool whole = clip.right >= 48;
        EXPECT_EQ(devices.withCopies.scaledCopyBytes() > 0, whole) << "clip " << clip.right;
    }
}

// A picture keeps copies of at most two sizes; at further sizes it is drawn scaled, and its
// copies go with it.
TEST(ScaledCopies, AreAtMostTwoPerPictureAndGoWithIt) {
    std::mt19937 random(5);
    TwoDevices devices(80, 80);
    auto picture = randomPicture(random, 4, 4, false);
    for (int repeat = 0; repeat < 2; ++repeat) {
        for (const float side : {8.0f, 16.0f, 32.0f, 64.0f}) {
            ASSERT_EQ(devices.frame([&](GraphicsDevice& d) { d.drawBitmap(*picture, {1.25f, 2.25f, 1.25f + side, 2.25f + side}, 1.0f, Interpolation::NearestNeighbor); }),
                      "");
        }
    }
    EXPECT_EQ(devices.withCopies.scaledCopyBytes(), (8u * 8u + 16u * 16u) * 4u);
    picture.reset();
    EXPECT_EQ(devices.withCopies.scaledCopyBytes(), 0u);
}

}  // namespace
}  // namespace velmora
