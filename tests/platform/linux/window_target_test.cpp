// The cairo device with a window: frames are drawn straight into the presenter's two buffers in
// turn and shown by one present each, the same pixels as frames drawn off screen; a frame whose
// buffer the window system still reads is skipped, never queued.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "app/headless_session.h"
#include "ground/theme_model.h"
#include "platform/linux/both_devices.h"
#include "platform/linux/device/cairo_graphics_device.h"
#include "platform/linux/random_picture.h"
#include "support/temp_folder.h"

namespace velmora {
namespace {

// A window system that reads a presented buffer until it is told it has finished (complete).
class SlowServer final : public FramePresenter {
public:
    bool createBuffers(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override {
        ++buffersMade;
        if (refuse) return false;
        this->window = window;
        width = pixelWidth;
        height = pixelHeight;
        for (Buffer& buffer : buffers) buffer = Buffer{std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, kUnset), 0};
        shown.assign(static_cast<std::size_t>(width) * height, kUnset);
        return true;
    }
    std::uint8_t* bufferPixels(int buffer) override { return reinterpret_cast<std::uint8_t*>(buffers[buffer].pixels.data()); }
    std::size_t bufferStride() const override { return width * 4u; }
    bool bufferFree(int buffer) override { return buffers[buffer].reading == 0; }
    // The window keeps its pixels between puts: only the boxes are copied onto it.
    void present(int buffer, std::span<const PixelBox> changed) override {
        ++buffers[buffer].reading;
        puts.push_back(buffer);
        shown.resize(buffers[buffer].pixels.size(), kUnset);
        for (const PixelBox& box : changed) {
            for (std::int32_t y = box.top; y < box.bottom; ++y) {
                const std::size_t row = static_cast<std::size_t>(y) * width;
                std::copy(buffers[buffer].pixels.begin() + row + box.left, buffers[buffer].pixels.begin() + row + box.right,
                          shown.begin() + row + box.left);
            }
            putPixels += static_cast<std::uint64_t>(box.area());
        }
    }
    void complete(int buffer) { buffers[buffer].reading = 0; }
    void completeAll() {
        for (int i = 0; i < kBuffers; ++i) complete(i);
    }

    // Buffers start with a pattern, so that pixels nobody drew show.
    static constexpr std::uint32_t kUnset = 0x12345678u;
    struct Buffer {
        std::vector<std::uint32_t> pixels;
        int reading = 0;
    };
    Buffer buffers[kBuffers];
    bool refuse = false;
    int buffersMade = 0;
    WindowHandle window = 0;
    std::uint32_t width = 0, height = 0;
    std::vector<int> puts;
    std::vector<std::uint32_t> shown;
    std::uint64_t putPixels = 0;
};

std::vector<std::uint32_t> filled(std::size_t count, std::uint32_t pixel) { return std::vector<std::uint32_t>(count, pixel); }

// A frame as the core makes one: begin, clear, end, present; whether it was drawn.
bool colourFrame(CairoGraphicsDevice& device, ColorF colour) {
    device.beginDraw();
    device.clear(colour);
    const bool drawn = device.endDraw();
    device.presentFrameBitmap();
    return drawn;
}

TEST(WindowTargetTest, FramesAreDrawnIntoTheTwoBuffersInTurn) {
    SlowServer server;
    CairoGraphicsDevice device(&server);
    ASSERT_EQ(device.createTargets(77, 4, 3), DeviceSetup::FrameTarget);
    EXPECT_EQ(server.window, 77u);
    EXPECT_EQ(cairo_image_surface_get_width(device.frameSurface()), 4);
    EXPECT_EQ(cairo_image_surface_get_height(device.frameSurface()), 3);

    ASSERT_TRUE(colourFrame(device, ColorF{1, 0, 0, 1}));
    server.completeAll();
    ASSERT_TRUE(colourFrame(device, ColorF{0, 1, 0, 1}));
    EXPECT_EQ(server.puts, (std::vector<int>{0, 1}));
    EXPECT_EQ(server.buffers[0].pixels, filled(12, 0xFFFF0000u));
    EXPECT_EQ(server.shown, filled(12, 0xFF00FF00u));
    EXPECT_EQ(cairo_image_surface_get_data(device.fetchedFrame()), server.bufferPixels(1));

    // The window grew: new buffers of the new size, and frames of that size fill them.
    ASSERT_EQ(device.createTargets(77, 6, 2), DeviceSetup::FrameTarget);
    EXPECT_EQ(server.buffersMade, 2);
    ASSERT_TRUE(colourFrame(device, ColorF{0, 0, 1, 1}));
    EXPECT_EQ(server.shown, filled(12, 0xFF0000FFu));
}

// The window system reads the buffers slowly: a frame due while both are on their way is not
// drawn, not shown, and not kept for later; the next frame that finds a buffer free is drawn.
TEST(WindowTargetTest, AFrameWithNoFreeBufferIsSkippedNotQueued) {
    SlowServer server;
    CairoGraphicsDevice device(&server);
    ASSERT_EQ(device.createTargets(1, 2, 2), DeviceSetup::FrameTarget);
    ASSERT_TRUE(colourFrame(device, ColorF{1, 0, 0, 1}));  // into buffer 0
    ASSERT_TRUE(colourFrame(device, ColorF{0, 1, 0, 1}));  // into buffer 1, while 0 is read
    EXPECT_FALSE(device.owesFrame());

    for (const ColorF colour : {ColorF{0, 0, 1, 1}, ColorF{1, 1, 1, 1}}) {
        EXPECT_FALSE(colourFrame(device, colour));
        EXPECT_TRUE(device.owesFrame());
    }
    EXPECT_EQ(device.skippedFrames(), 2u);
    EXPECT_EQ(server.puts, (std::vector<int>{0, 1}));
    EXPECT_EQ(server.buffers[0].pixels, filled(4, 0xFFFF0000u));
    EXPECT_EQ(server.shown, filled(4, 0xFF00FF00u));
    EXPECT_EQ(cairo_image_surface_get_data(device.fetchedFrame()), server.bufferPixels(1));

    // The window is uncovered meanwhile: the frame shown is put again, though still being read.
    device.presentFrameBitmap();
    EXPECT_EQ(server.puts, (std::vector<int>{0, 1, 1}));

    // The server finishes the older buffer: the next frame goes there, and only it.
    server.complete(0);
    ASSERT_TRUE(colourFrame(device, ColorF{0, 0, 0, 1}));
    EXPECT_FALSE(device.owesFrame());
    EXPECT_EQ(server.puts, (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ(server.shown, filled(4, 0xFF000000u));
    // The other buffer is still read twice over; its frame is not drawn over.
    EXPECT_FALSE(colourFrame(device, ColorF{1, 0, 0, 1}));
    EXPECT_EQ(server.buffers[1].pixels, filled(4, 0xFF00FF00u));
}

TEST(WindowTargetTest, WithoutBuffersTheDeviceDrawsOffScreenAndShowsNothing) {
    CairoGraphicsDevice offscreen;
    EXPECT_FALSE(offscreen.createWindowTarget(1, 4, 4));

    SlowServer server;
    server.refuse = true;
    CairoGraphicsDevice device(&server);
    EXPECT_EQ(device.createTargets(1, 4, 4), DeviceSetup::DrawingFactory);
    EXPECT_FALSE(device.createWindowTarget(1, 0, 4));
    EXPECT_EQ(server.buffersMade, 1);  // a zero size never reaches the presenter
    ASSERT_TRUE(device.createOffscreenTarget(4, 4));
    ASSERT_TRUE(colourFrame(device, ColorF{1, 1, 1, 1}));
    EXPECT_TRUE(server.puts.empty());

    // A device with a window that is given an off-screen target lets go of the window's buffers.
    server.refuse = false;
    ASSERT_EQ(device.createTargets(1, 4, 4), DeviceSetup::FrameTarget);
    ASSERT_TRUE(device.createOffscreenTarget(4, 4));
    ASSERT_TRUE(colourFrame(device, ColorF{1, 1, 1, 1}));
    EXPECT_TRUE(server.puts.empty());
    EXPECT_EQ(server.buffers[0].pixels, filled(16, SlowServer::kUnset));
}

// What the window shows is the frame the off-screen device drew, bit for bit.
::testing::AssertionResult showsFrame(const SlowServer& server, CairoGraphicsDevice& offscreen) {
    cairo_surface_t* expected = offscreen.fetchedFrame();
    cairo_surface_flush(expected);
    if (static_cast<std::size_t>(cairo_image_surface_get_stride(expected)) != server.width * 4u) return ::testing::AssertionFailure() << "another stride";
    if (std::memcmp(server.shown.data(), cairo_image_surface_get_data(expected), server.shown.size() * 4) != 0)
        return ::testing::AssertionFailure() << "other pixels";
    return ::testing::AssertionSuccess();
}

// Draws of every kind, most of them the same from frame to frame and some changing (moving by
// fractions of a pixel, fading, mirrored, scaled with either filter, clipped, coming and going,
// changing places in the order): the window shows what a whole frame drawn off screen shows.
TEST(WindowTargetTest, FramesDrawnInPartAreWholeFramesOfEveryKindOfDraw) {
    constexpr int kWidth = 320, kHeight = 200;
    SlowServer server;
    CairoGraphicsDevice window(&server), offscreen;
    ASSERT_EQ(window.createTargets(1, kWidth, kHeight), DeviceSetup::FrameTarget);
    ASSERT_TRUE(offscreen.createOffscreenTarget(kWidth, kHeight));
    std::mt19937 random(23);
    const auto uniform = [&](double low, double high) { return static_cast<float>(std::uniform_real_distribution<double>(low, high)(random)); };
    struct Sprite {
        std::unique_ptr<Bitmap> picture;
        float x, y, w, h;
        Interpolation mode;
        int kind;  // 0 still, 1 moving, 2 fading, 3 mirrored and turning, 4 coming and going, 5 clipped
    };
    std::vector<Sprite> sprites;
    for (int i = 0; i < 60; ++i) {
        const int w = 1 + static_cast<int>(random() % 12), h = 1 + static_cast<int>(random() % 10);
        const float scale = i % 3 == 0 ? 1.0f : uniform(0.5, 3);
        sprites.push_back(Sprite{randomPicture(random, w, h, i % 4 == 0), uniform(-20, kWidth), uniform(-10, kHeight),
                                 static_cast<float>(w) * scale, static_cast<float>(h) * scale,
                                 i % 5 == 1 ? Interpolation::Linear : Interpolation::NearestNeighbor, i % 6});
    }
    auto backdrop = randomPicture(random, 20, 12, true);
    BothDevices both(offscreen, window);
    for (int frame = 0; frame < 90; ++frame) {
        both.beginDraw();
        both.clear({0.1f, 0.2f, 0.3f, 1});
        both.drawBitmap(*backdrop, {0, 0, kWidth, kHeight}, 1.0f, Interpolation::NearestNeighbor);
        const auto t = static_cast<float>(frame);
        for (std::size_t i = 0; i < sprites.size(); ++i) {
            // Now and then two neighbours change places in the order.
            const std::size_t at = frame % 7 == 3 && i + 1 < sprites.size() && i % 2 == 0 ? i + 1 : frame % 7 == 3 && i % 2 == 1 ? i - 1 : i;
            const Sprite& s = sprites[at];
            float x = s.x, opacity = 1;
            if (s.kind == 1) x += 0.37f * t;
            if (s.kind == 2) opacity = static_cast<float>((frame * 13 + static_cast<int>(at)) % 41) / 40.0f;
            if (s.kind == 4 && (frame / 5 + static_cast<int>(at)) % 3 == 0) continue;
            if (s.kind == 3) {
                const float k = 1.0f - 2.0f * static_cast<float>(frame % 9) / 8.0f;
                const float c = s.w * 0.5f + x;
                both.setTransform(Matrix3x2{k, 0, 0, 1, c - k * c, 0});
            }
            if (s.kind == 5) both.pushClip({10.5f, 5, kWidth - 30.25f + static_cast<float>(frame % 2), kHeight - 7});
            both.drawBitmap(*s.picture, {x, s.y, x + s.w, s.y + s.h}, opacity, s.mode);
            if (s.kind == 5) both.popClip();
            if (s.kind == 3) both.setTransform(Matrix3x2::identity());
        }
        ASSERT_TRUE(both.endDraw());
        window.presentFrameBitmap();
        server.completeAll();
        ASSERT_TRUE(showsFrame(server, offscreen)) << "frame " << frame;
    }
    // Most frames were drawn and handed over in part.
    EXPECT_LT(window.drawnPixels(), std::uint64_t{kWidth} * kHeight * 90 / 2);
    EXPECT_LT(server.putPixels, std::uint64_t{kWidth} * kHeight * 90 / 2);
}

// A frame of more draws than the device records is drawn as they come, whole, with the same
// pixels; the next frame into the same buffer is drawn whole too (the buffer's pixels are not
// known by their draws); the frames between, into the other buffer, in part (here: nothing).
TEST(WindowTargetTest, AFrameOfVeryManyDrawsIsDrawnWhole) {
    constexpr int kSide = 100;
    SlowServer server;
    CairoGraphicsDevice window(&server), offscreen;
    ASSERT_EQ(window.createTargets(1, kSide, kSide), DeviceSetup::FrameTarget);
    ASSERT_TRUE(offscreen.createOffscreenTarget(kSide, kSide));
    std::mt19937 random(29);
    auto dot = randomPicture(random, 1, 1, false);
    BothDevices both(offscreen, window);
    std::uint64_t drawnBefore = 0;
    for (int frame = 0; frame < 6; ++frame) {
        const int draws = frame == 2 ? 10000 : 20;
        both.beginDraw();
        both.clear({0, 0, 0, 1});
        for (int i = 0; i < draws; ++i) {
            const auto x = static_cast<float>((i * 37) % kSide), y = static_cast<float>((i * 11) % kSide);
            both.drawBitmap(*dot, {x, y, x + 1, y + 1}, 0.5f, Interpolation::NearestNeighbor);
        }
        ASSERT_TRUE(both.endDraw());
        window.presentFrameBitmap();
        server.completeAll();
        ASSERT_TRUE(showsFrame(server, offscreen)) << "frame " << frame;
        const std::uint64_t drawn = window.drawnPixels() - drawnBefore;
        drawnBefore = window.drawnPixels();
        if (frame >= 2) {
            EXPECT_EQ(drawn, frame % 2 == 0 ? std::uint64_t{kSide} * kSide : 0) << "frame " << frame;
        }
    }
}

struct Desktop {
    int left, top, width, height;
    // The scene: the sample theme, or a crowded one of the same pictures.
    bool crowded = false;
    // Without the pan (ping_pong:0), most of a frame stays as it was.
    bool atRest = false;
    // Two monitors side by side, a scene on each.
    bool twoMonitors = false;
};

// Crowds of overlapping pictures of the sample theme: sprites, particles that fade and drift,
// walkers that turn (mirrored) and slide in.
constexpr const char* kCrowdedTheme = R"(params width:640
floor name:floor ycollider:20
background name:sky
add_sprite name:cloud variations:2 instances:30 yposition:top xseparationmin:-1 xseparationmax:1 xanimation:0.006 xscroll:8
add_sprite name:tree variations:3 instances:120 xoffset:1 yposition:floor xseparationmin:-1 xseparationmax:1 xscroll:32
add_sprite name:lantern frames:2 duration:100 instances:40 yposition:floor xseparationmin:-1 xseparationmax:2 xscroll:50
add_particle name:star variations:2 frames:3 instances:200 duration:60
add_particle name:firefly layer:front variations:2 frames:4 instances:300 duration:50 xanimation:0.005 yanimation:-0.003 xscroll:55
add_character name:fox type:floor frames:4 duration:40 speed:0.08 instances:20
add_character name:hedgehog type:between between:lantern frames:4 duration:50 speed:0.05 instances:20
add_character name:wisp type:sine frames:3 duration:50 speed:0.05 instances:10 xscroll:56
)";

// A program folder holding both themes, with the pan on or off.
class ProgramFolder {
public:
    explicit ProgramFolder(bool atRest) {
        namespace fs = std::filesystem;
        const fs::path source = VELMORA_SOURCE_DIR;
        std::string config = testing::readFile(source / "config.txt");
        const std::string pan = "global scale:4 relative_scale:1 ping_pong:0.0002";
        if (atRest) config.replace(config.find(pan), pan.size(), "global scale:4 relative_scale:1 ping_pong:0");
        folder_.write("config.txt", config);
        fs::create_directories(folder_ / "themes");
        fs::copy(source / "themes" / "VMA_Lantern_Valley", folder_ / "themes" / "VMA_Lantern_Valley");
        fs::copy(source / "themes" / "VMA_Lantern_Valley", folder_ / "themes" / "Crowded");
        folder_.write("themes/Crowded/theme.txt", kCrowdedTheme);
    }
    std::u16string path() const { return folder_.path().u16string(); }

private:
    testing::TempFolder folder_;
};

class WindowFrames : public ::testing::TestWithParam<Desktop> {};

// The theme played on a device that draws off screen (whole frames, drawn apart) and on one that
// draws into the window's buffers only where its frame changed and hands over only that, frame
// after frame: what the window shows is the off-screen frame, bit for bit.
TEST_P(WindowFrames, AreTheFramesDrawnOffScreen) {
    const Desktop desktop = GetParam();
    const auto width = static_cast<std::uint32_t>(desktop.width), height = static_cast<std::uint32_t>(desktop.height);
    const ProgramFolder folder(desktop.atRest);
    CairoGraphicsDevice offscreen;
    SlowServer server;
    CairoGraphicsDevice window(&server);
    HeadlessSetup setup;
    setup.programFolder = folder.path();
    setup.left = desktop.left;
    setup.top = desktop.top;
    setup.width = desktop.width;
    setup.height = desktop.height;
    setup.theme = desktop.crowded ? u"Crowded" : u"VMA_Lantern_Valley";
    setup.frameRate = 60;
    if (desktop.twoMonitors) {
        const int half = desktop.width / 2;
        setup.monitors = {Monitor{desktop.left, desktop.top, half, desktop.height},
                          Monitor{desktop.left + half, desktop.top, desktop.width - half, desktop.height}};
    }
    HeadlessSession session(setup, &offscreen);
    ASSERT_TRUE(session.drawing());
    ASSERT_EQ(window.createTargets(1, width, height), DeviceSetup::FrameTarget);
    session.start(0);
    ASSERT_TRUE(session.scenes().front().theme.backgroundImage.bitmap);
    BothDevices both(offscreen, window);
    session.drawThrough(both);

    // Three seconds at 60 frames per second; the characters enter meanwhile. The server finishes
    // each put during the next frame; now and then the window is uncovered and shown again. (The
    // session presents on its own off-screen device only: the window's present is made here.)
    constexpr int kFrames = 180;
    std::uint32_t tick = 0;
    for (int frame = 1; frame <= kFrames; ++frame) {
        tick += 16;
        session.advanceTo(tick);
        window.presentFrameBitmap();
        if (frame % 50 == 0) window.presentFrameBitmap();
        server.complete(frame % 2);
        ASSERT_TRUE(showsFrame(server, offscreen)) << "frame " << frame;
    }
    EXPECT_EQ(window.skippedFrames(), 0u);
    EXPECT_EQ(server.puts.size(), static_cast<std::size_t>(kFrames + kFrames / 50));
    // At rest the frames were drawn and handed over in part.
    const double frames = static_cast<double>(width) * height * kFrames;
    if (desktop.atRest && !desktop.crowded) {
        EXPECT_LT(static_cast<double>(window.drawnPixels()) / frames, 0.2);
        EXPECT_LT(static_cast<double>(server.putPixels) / frames, 0.2);
    }
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowFrames,
                         ::testing::Values(Desktop{0, 0, 1920, 1080}, Desktop{37, -21, 1366, 768}, Desktop{-300, 0, 1280, 720},
                                           Desktop{0, 0, 1920, 1080, false, true}, Desktop{37, -21, 1366, 768, true, true},
                                           Desktop{0, 0, 1366, 768, true, false}, Desktop{0, 0, 2560, 720, false, true, true},
                                           Desktop{0, 0, 2560, 720, true, true, true}),
                         [](const auto& info) {
                             const Desktop& d = info.param;
                             return std::to_string(d.width) + "x" + std::to_string(d.height) + (d.left != 0 || d.top != 0 ? "Offset" : "") +
                                    (d.crowded ? "Crowded" : "") + (d.atRest ? "AtRest" : "") + (d.twoMonitors ? "TwoMonitors" : "");
                         });

}  // namespace
}  // namespace velmora
