// The cairo device with a window: each finished frame lands in the presenter's buffer with one
// copy and is shown by one present; a new window size gives a new buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/linux/device/cairo_graphics_device.h"

namespace velmora {
namespace {

class FakePresenter final : public FramePresenter {
public:
    bool createBuffer(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override {
        ++buffersMade;
        if (refuse) return false;
        this->window = window;
        width = pixelWidth;
        height = pixelHeight;
        // Filled with a pattern, so that a frame that was not copied shows.
        pixels.assign(static_cast<std::size_t>(pixelWidth) * pixelHeight, 0x12345678u);
        return true;
    }
    std::uint8_t* bufferPixels() override { return reinterpret_cast<std::uint8_t*>(pixels.data()); }
    std::size_t bufferStride() const override { return width * 4u; }
    void present() override {
        ++presents;
        shown = pixels;
    }

    bool refuse = false;
    int buffersMade = 0;
    int presents = 0;
    WindowHandle window = 0;
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint32_t> shown;
};

void drawFrame(CairoGraphicsDevice& device, ColorF colour) {
    device.beginDraw();
    device.clear(colour);
    ASSERT_TRUE(device.endDraw());
    ASSERT_TRUE(device.fetchFrameBitmap());
}

TEST(WindowTargetTest, FramesReachTheWindowThroughThePresentersBuffer) {
    FakePresenter presenter;
    CairoGraphicsDevice device(&presenter);
    ASSERT_TRUE(device.createWindowTarget(77, 4, 3));
    ASSERT_TRUE(device.createFrameTarget());
    EXPECT_EQ(presenter.window, 77u);
    EXPECT_EQ(cairo_image_surface_get_width(device.frameSurface()), 4);
    EXPECT_EQ(cairo_image_surface_get_height(device.frameSurface()), 3);

    drawFrame(device, ColorF{1, 0, 0, 1});
    // Fetching copies the frame into the buffer; nothing is shown before the present.
    EXPECT_EQ(presenter.pixels, std::vector<std::uint32_t>(12, 0xFFFF0000u));
    EXPECT_EQ(presenter.presents, 0);
    device.presentFrameBitmap();
    EXPECT_EQ(presenter.presents, 1);
    EXPECT_EQ(presenter.shown, std::vector<std::uint32_t>(12, 0xFFFF0000u));

    // The window grew: a new buffer of the new size, and frames of that size fill it.
    ASSERT_TRUE(device.createWindowTarget(77, 6, 2));
    ASSERT_TRUE(device.createFrameTarget());
    EXPECT_EQ(presenter.buffersMade, 2);
    drawFrame(device, ColorF{0, 0, 1, 1});
    device.presentFrameBitmap();
    EXPECT_EQ(presenter.shown, std::vector<std::uint32_t>(12, 0xFF0000FFu));
}

TEST(WindowTargetTest, AFrameTargetOfAnotherSizeGivesWhatOverlaps) {
    FakePresenter presenter;
    CairoGraphicsDevice device(&presenter);
    ASSERT_TRUE(device.createWindowTarget(1, 2, 2));
    ASSERT_TRUE(device.createOffscreenTarget(3, 1));  // as if the frame target's re-creation had failed
    drawFrame(device, ColorF{0, 1, 0, 1});
    EXPECT_EQ(presenter.pixels, (std::vector<std::uint32_t>{0xFF00FF00u, 0xFF00FF00u, 0x12345678u, 0x12345678u}));
}

TEST(WindowTargetTest, WithoutABufferTheDeviceDrawsOffScreenAndShowsNothing) {
    CairoGraphicsDevice offscreen;
    EXPECT_FALSE(offscreen.createWindowTarget(1, 4, 4));

    FakePresenter presenter;
    presenter.refuse = true;
    CairoGraphicsDevice device(&presenter);
    EXPECT_FALSE(device.createWindowTarget(1, 4, 4));
    EXPECT_FALSE(device.createWindowTarget(1, 0, 4));
    EXPECT_EQ(presenter.buffersMade, 1);  // a zero size never reaches the presenter
    ASSERT_TRUE(device.createOffscreenTarget(4, 4));
    drawFrame(device, ColorF{1, 1, 1, 1});
    device.presentFrameBitmap();
    EXPECT_EQ(presenter.presents, 0);
}

}  // namespace
}  // namespace velmora
