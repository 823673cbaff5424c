#include "platform/linux/device/cairo_graphics_device.h"
#include "platform/host.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/png_file.h"
#include "support/temp_folder.h"

namespace velmora {
namespace {

// Pixels are ARGB in one 32-bit word: premultiplied as cairo keeps them, straight as PNG files
// hold them; the two agree on opaque pixels.
constexpr std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
constexpr std::uint32_t kBlack = argb(255, 0, 0, 0);
constexpr std::uint32_t kRed = argb(255, 255, 0, 0);
constexpr std::uint32_t kGreen = argb(255, 0, 255, 0);
constexpr std::uint32_t kBlue = argb(255, 0, 0, 255);
constexpr std::uint32_t kWhite = argb(255, 255, 255, 255);

std::uint32_t pixelAt(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const auto* data = cairo_image_surface_get_data(surface);
    return *reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(surface) + x * 4);
}

std::uint32_t pixelAt(const Bitmap& bitmap, int x, int y) {
    return pixelAt(static_cast<const CairoBitmap&>(bitmap).surface(), x, y);
}

int channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// Every channel within tolerance.
::testing::AssertionResult near(std::uint32_t actual, std::uint32_t expected, int tolerance = 1) {
    for (int shift : {24, 16, 8, 0}) {
        if (std::abs(channel(actual, shift) - channel(expected, shift)) > tolerance) {
            char text[96];
            std::snprintf(text, sizeof text, "pixel %08X, expected %08X (+-%d)", actual, expected, tolerance);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

class CairoDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device.createOffscreenTarget(10, 10)); }

    std::unique_ptr<Bitmap> load(const std::vector<std::uint8_t>& png) { return device.loadPictureBytes(png.data(), png.size()); }

    // Draws one bitmap on a frame cleared to the colour, and fetches the frame.
    void drawFrame(const Bitmap& bitmap, RectF dest, float opacity, Interpolation mode,
                   const Matrix3x2& transform = Matrix3x2::identity(), ColorF background = {0, 0, 0, 1}) {
        device.beginDraw();
        device.clear(background);
        device.setTransform(transform);
        device.drawBitmap(bitmap, dest, opacity, mode);
        device.setTransform(Matrix3x2::identity());
        ASSERT_TRUE(device.endDraw());
        ASSERT_TRUE(device.fetchFrameBitmap());
    }

    std::uint32_t frame(int x, int y) { return pixelAt(device.fetchedFrame(), x, y); }

    testing::TempFolder temp;
    CairoGraphicsDevice device;
};

// A 4x4 picture whose pixels all differ, so that any misplaced sample shows.
std::vector<std::uint32_t> quadrantPixels() {
    std::vector<std::uint32_t> pixels(16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) pixels[static_cast<std::size_t>(y * 4 + x)] = argb(255, 40 + x * 60, 40 + y * 60, 100);
    return pixels;
}

TEST_F(CairoDeviceTest, DecodesToPremultipliedArgbFromBytesAndFile) {
    // Half-transparent red in the file is argb(128, 128, 0, 0) premultiplied.
    const auto png = testing::pngBytes(2, 2, {kRed, argb(128, 255, 0, 0), argb(0, 0, 0, 0), kBlue});

    auto bitmap = load(png);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->pixelWidth(), 2);
    EXPECT_EQ(bitmap->pixelHeight(), 2);
    EXPECT_TRUE(near(pixelAt(*bitmap, 0, 0), kRed, 0));
    EXPECT_TRUE(near(pixelAt(*bitmap, 1, 0), argb(128, 128, 0, 0)));
    EXPECT_EQ(pixelAt(*bitmap, 0, 1), 0u);
    EXPECT_TRUE(near(pixelAt(*bitmap, 1, 1), kBlue, 0));

    const auto path = temp / "picture.png";
    testing::writeFile(path, png);
    auto fromFile = device.loadPictureFile(path.u16string());
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->pixelWidth(), 2);
    EXPECT_TRUE(near(pixelAt(*fromFile, 1, 0), argb(128, 128, 0, 0)));

    // An opaque picture (no alpha channel in the file) gets a real, opaque alpha channel.
    auto opaque = load(testing::pngBytes(1, 1, {argb(255, 10, 20, 30)}, testing::PngChannels::Rgb));
    ASSERT_NE(opaque, nullptr);
    EXPECT_EQ(pixelAt(*opaque, 0, 0), argb(255, 10, 20, 30));
}

TEST_F(CairoDeviceTest, RefusesPicturesAboveTheSideLimit) {
    const auto largest = testing::plainPng(kMaxPictureSide, 1, kWhite);
    const auto tooWide = testing::plainPng(kMaxPictureSide + 1, 1, kWhite);
    const auto tooHigh = testing::plainPng(1, kMaxPictureSide + 1, kWhite);
    EXPECT_NE(load(largest), nullptr);
    EXPECT_EQ(load(tooWide), nullptr);
    EXPECT_EQ(load(tooHigh), nullptr);

    const auto path = temp / "wide.png";
    testing::writeFile(path, tooWide);
    EXPECT_EQ(device.loadPictureFile(path.u16string()), nullptr);

    // A forged header claiming a huge size is refused before anything is decoded.
    auto forged = testing::plainPng(1, 1, kWhite);
    testing::claimPngSize(forged, 0x7F7F0001u, 0x7F7F0001u);
    EXPECT_EQ(load(forged), nullptr);
}

TEST_F(CairoDeviceTest, BrokenPicturesGiveNoBitmap) {
    const auto png = testing::pngBytes(4, 4, quadrantPixels());
    const std::vector<std::uint8_t> truncated(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));
    EXPECT_EQ(load(truncated), nullptr);
    const std::vector<std::uint8_t> headerOnly(png.begin(), png.begin() + 24);
    EXPECT_EQ(load(headerOnly), nullptr);
    std::vector<std::uint8_t> corrupt = png;
    for (std::size_t i = 40; i < corrupt.size() - 12; ++i) corrupt[i] ^= 0x5A;
    EXPECT_EQ(load(corrupt), nullptr);
    const std::vector<std::uint8_t> garbage = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    EXPECT_EQ(load(garbage), nullptr);
    EXPECT_EQ(device.loadPictureBytes(nullptr, 0), nullptr);
    EXPECT_EQ(device.loadPictureFile(u"/nonexistent/velmora/picture.png"), nullptr);

    // The same from files, read whole when small; and a file past that size whose header
    // promises a picture but whose data is junk.
    auto forged = testing::plainPng(1, 1, kWhite);
    testing::claimPngSize(forged, 0x7F7F0001u, 0x7F7F0001u);
    std::vector<std::uint8_t> large(png.begin(), png.begin() + 33);  // signature and image header
    large.resize((std::size_t{1} << 20) + 100, 0x5A);
    for (const auto& bytes : {truncated, headerOnly, corrupt, garbage, forged, large, std::vector<std::uint8_t>{}}) {
        const auto path = temp / "broken.png";
        testing::writeFile(path, bytes);
        EXPECT_EQ(device.loadPictureFile(path.u16string()), nullptr) << bytes.size() << " bytes";
    }

    // Without a frame target there is nothing to create pictures on.
    CairoGraphicsDevice bare;
    EXPECT_FALSE(bare.createFrameTarget());
    EXPECT_EQ(bare.loadPictureBytes(png.data(), png.size()), nullptr);
}

TEST_F(CairoDeviceTest, NearestScalingRepeatsEachSourcePixel) {
    const auto pixels = quadrantPixels();
    auto bitmap = load(testing::pngBytes(4, 4, pixels));
    ASSERT_NE(bitmap, nullptr);
    drawFrame(*bitmap, {1, 1, 9, 9}, 1.0f, Interpolation::NearestNeighbor);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 1 && x < 9 && y >= 1 && y < 9;
            const std::uint32_t expected = inside ? pixels[static_cast<std::size_t>((y - 1) / 2 * 4 + (x - 1) / 2)] : kBlack;
            EXPECT_TRUE(near(frame(x, y), expected, 0)) << "at " << x << "," << y;
        }
    }
}

TEST_F(CairoDeviceTest, LinearScalingInterpolatesAndKeepsEdges) {
    auto bitmap = load(testing::pngBytes(2, 1, {kBlack, kWhite}));
    ASSERT_NE(bitmap, nullptr);
    drawFrame(*bitmap, {0, 0, 4, 2}, 1.0f, Interpolation::Linear, Matrix3x2::identity(), {1, 0, 0, 1});
    // Sample centres fall at source x 0.25, 0.75, 1.25 and 1.75; the outer ones are padded
    // with the edge pixel instead of fading into transparency.
    const int expected[4] = {0, 64, 191, 255};
    for (int x = 0; x < 4; ++x) {
        for (int y = 0; y < 2; ++y) {
            const auto v = static_cast<std::uint32_t>(expected[x]);
            EXPECT_TRUE(near(frame(x, y), argb(255, v, v, v), 2)) << "at " << x << "," << y;
        }
    }
    EXPECT_EQ(frame(4, 0), kRed);
    EXPECT_EQ(frame(0, 2), kRed);
}

TEST_F(CairoDeviceTest, OpacityScalesAllFourPremultipliedChannels) {
    auto bitmap = load(testing::pngBytes(1, 1, {kWhite}));
    ASSERT_NE(bitmap, nullptr);
    drawFrame(*bitmap, {0, 0, 2, 2}, 0.5f, Interpolation::NearestNeighbor);
    EXPECT_TRUE(near(frame(0, 0), argb(255, 128, 128, 128)));

    drawFrame(*bitmap, {0, 0, 2, 2}, 0.25f, Interpolation::NearestNeighbor, Matrix3x2::identity(), {0, 0, 0, 0});
    EXPECT_TRUE(near(frame(1, 1), argb(64, 64, 64, 64)));
    EXPECT_EQ(frame(2, 2), 0u);

    // Out-of-range and undefined opacities are clamped: above 1 is opaque, NaN draws nothing.
    drawFrame(*bitmap, {0, 0, 2, 2}, 7.0f, Interpolation::NearestNeighbor);
    EXPECT_EQ(frame(0, 0), kWhite);
    drawFrame(*bitmap, {0, 0, 2, 2}, std::numeric_limits<float>::quiet_NaN(), Interpolation::NearestNeighbor);
    EXPECT_EQ(frame(0, 0), kBlack);
}

TEST_F(CairoDeviceTest, MirrorTransformFlipsAboutTheRectangleCentre) {
    auto bitmap = load(testing::pngBytes(2, 1, {kRed, kBlue}));
    ASSERT_NE(bitmap, nullptr);
    // The mirror the scene uses: x' = c + k (x - c), with the centre c of the rectangle 2..6.
    const float c = 4.0f;
    Matrix3x2 mirror{-1, 0, 0, 1, c - -1 * c, 0};
    drawFrame(*bitmap, {2, 0, 6, 1}, 1.0f, Interpolation::NearestNeighbor, mirror);
    EXPECT_EQ(frame(1, 0), kBlack);
    EXPECT_EQ(frame(2, 0), kBlue);
    EXPECT_EQ(frame(3, 0), kBlue);
    EXPECT_EQ(frame(4, 0), kRed);
    EXPECT_EQ(frame(5, 0), kRed);
    EXPECT_EQ(frame(6, 0), kBlack);

    // Half way through a turn (k = 0.5) the picture is drawn at half width about the centre.
    Matrix3x2 half{0.5f, 0, 0, 1, c - 0.5f * c, 0};
    drawFrame(*bitmap, {2, 0, 6, 1}, 1.0f, Interpolation::NearestNeighbor, half);
    EXPECT_EQ(frame(2, 0), kBlack);
    EXPECT_EQ(frame(3, 0), kRed);
    EXPECT_EQ(frame(4, 0), kBlue);
    EXPECT_EQ(frame(5, 0), kBlack);

    // At k = 0 nothing shows, and the frame is still good.
    Matrix3x2 flat{0, 0, 0, 1, c, 0};
    drawFrame(*bitmap, {2, 0, 6, 1}, 1.0f, Interpolation::NearestNeighbor, flat);
    for (int x = 0; x < 10; ++x) EXPECT_EQ(frame(x, 0), kBlack);
}

TEST_F(CairoDeviceTest, AClipKeepsDrawsInsideItWithAndWithoutMirror) {
    const auto white = load(testing::plainPng(2, 2, kWhite));
    ASSERT_NE(white, nullptr);
    // Mirrored about the rectangle's centre, as a walker turned round is drawn.
    const Matrix3x2 mirror{-1, 0, 0, 1, 10, 0};
    for (const Matrix3x2& transform : {Matrix3x2::identity(), mirror}) {
        device.beginDraw();
        device.clear(ColorF{0, 0, 0, 1});
        device.pushClip(RectF{2, 3, 6, 10});
        device.setTransform(transform);
        device.drawBitmap(*white, RectF{0, 0, 10, 10}, 1.0f, Interpolation::NearestNeighbor);
        device.setTransform(Matrix3x2::identity());
        device.popClip();
        // After the clip is lifted, draws reach the whole target again.
        device.drawBitmap(*white, RectF{9, 0, 10, 1}, 1.0f, Interpolation::NearestNeighbor);
        ASSERT_TRUE(device.endDraw());
        ASSERT_TRUE(device.fetchFrameBitmap());
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 9; ++x) {
                const bool inside = x >= 2 && x < 6 && y >= 3;
                EXPECT_EQ(frame(x, y), inside ? kWhite : kBlack) << x << "," << y;
            }
        }
        EXPECT_EQ(frame(9, 0), kWhite);
    }
}

TEST_F(CairoDeviceTest, DegenerateAndFarOffRectanglesAreSafe) {
    auto bitmap = load(testing::pngBytes(1, 1, {kGreen}));
    ASSERT_NE(bitmap, nullptr);
    const float inf = std::numeric_limits<float>::infinity();
    device.beginDraw();
    device.clear({0, 0, 0, 1});
    device.drawBitmap(*bitmap, {1e9f, 0, 1e9f + 4, 4}, 1.0f, Interpolation::NearestNeighbor);
    device.drawBitmap(*bitmap, {3, 3, 3, 8}, 1.0f, Interpolation::NearestNeighbor);
    device.drawBitmap(*bitmap, {0, 0, inf, 4}, 1.0f, Interpolation::Linear);
    device.drawBitmap(*bitmap, {0, std::numeric_limits<float>::quiet_NaN(), 4, 4}, 1.0f, Interpolation::Linear);
    ASSERT_TRUE(device.endDraw());
    ASSERT_TRUE(device.fetchFrameBitmap());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(frame(x, y), kBlack);

    // A rectangle reaching far past the target on both sides covers all of it.
    drawFrame(*bitmap, {-1e8f, -1e8f, 1e8f, 1e8f}, 1.0f, Interpolation::NearestNeighbor);
    EXPECT_EQ(frame(0, 0), kGreen);
    EXPECT_EQ(frame(9, 9), kGreen);
}

TEST_F(CairoDeviceTest, WritesTheFetchedFrameAsPng) {
    const auto path = temp / "frame.png";
    EXPECT_FALSE(device.writeFramePng(path.u16string()));  // nothing fetched yet

    auto bitmap = load(testing::pngBytes(4, 4, quadrantPixels()));
    ASSERT_NE(bitmap, nullptr);
    drawFrame(*bitmap, {2, 2, 6, 6}, 1.0f, Interpolation::NearestNeighbor);
    // A frame drawn but not ended does not change what is written.
    device.beginDraw();
    device.clear({1, 1, 1, 1});

    ASSERT_TRUE(device.writeFramePng(path.u16string()));
    ASSERT_TRUE(device.endDraw());
    auto written = device.loadPictureFile(path.u16string());
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->pixelWidth(), 10);
    EXPECT_EQ(pixelAt(*written, 0, 0), kBlack);
    EXPECT_EQ(pixelAt(*written, 2, 2), quadrantPixels()[0]);
    EXPECT_EQ(pixelAt(*written, 5, 5), quadrantPixels()[15]);

    EXPECT_FALSE(device.writeFramePng(u"/nonexistent/velmora/frame.png"));
}

// The fetched frame is the target's own buffer, handed over: what follows must not notice.
TEST_F(CairoDeviceTest, AFrameDrawnWithoutAClearContinuesTheLastOne) {
    auto bitmap = load(testing::pngBytes(1, 1, {kGreen}));
    ASSERT_NE(bitmap, nullptr);
    drawFrame(*bitmap, {0, 0, 2, 2}, 1.0f, Interpolation::NearestNeighbor, Matrix3x2::identity(), {1, 0, 0, 1});
    cairo_surface_t* first = device.fetchedFrame();

    device.beginDraw();
    device.drawBitmap(*bitmap, {8, 8, 10, 10}, 1.0f, Interpolation::NearestNeighbor);
    ASSERT_TRUE(device.endDraw());
    ASSERT_TRUE(device.fetchFrameBitmap());
    EXPECT_NE(device.fetchedFrame(), first);
    EXPECT_EQ(frame(0, 0), kGreen);
    EXPECT_EQ(frame(5, 5), kRed);
    EXPECT_EQ(frame(9, 9), kGreen);

    // An empty frame, and a second fetch with nothing drawn, show the same again.
    device.beginDraw();
    ASSERT_TRUE(device.endDraw());
    ASSERT_TRUE(device.fetchFrameBitmap());
    ASSERT_TRUE(device.fetchFrameBitmap());
    EXPECT_EQ(frame(0, 0), kGreen);
    EXPECT_EQ(frame(5, 5), kRed);
    EXPECT_EQ(frame(9, 9), kGreen);

    // A clear without a draw still clears.
    device.beginDraw();
    device.clear({0, 0, 1, 1});
    ASSERT_TRUE(device.endDraw());
    ASSERT_TRUE(device.fetchFrameBitmap());
    EXPECT_EQ(frame(0, 0), kBlue);
    EXPECT_EQ(frame(9, 9), kBlue);
}

TEST(CairoDeviceSetupTest, HasNoWindowTarget) {
    auto device = createOffscreenGraphicsDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->prepare(), DeviceSetup::DrawingFactory);  // both factories, as it were
    EXPECT_EQ(device->createTargets(1, 100, 100), DeviceSetup::DrawingFactory);  // no window target
    EXPECT_FALSE(device->endDraw());  // no frame begun
    EXPECT_FALSE(device->createOffscreenTarget(0, 10));
    EXPECT_TRUE(device->createOffscreenTarget(3, 2));
    EXPECT_TRUE(static_cast<CairoGraphicsDevice&>(*device).createFrameTarget());
    device->presentFrameBitmap();  // nothing to present to; must not fail
}

}  // namespace
}  // namespace velmora
