#include <gtest/gtest.h>

#include <vector>

#include "ground/records.h"
#include "app/frame_timer.h"
#include "ports/platform.h"
#include "support/fake_shell.h"
#include "support/fake_window_system.h"
#include "support/process_state.h"
#include "support/recording_graphics_device.h"
#include "support/scene_layers.h"
#include "support/standard_scene.h"

namespace velmora {
namespace {

using testing::DeviceCall;

class FrameTimer : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetProcessState();
        installPlatform(Platform{&windows, &shell, &device});
        desktopHost.frameTarget = true;
        desktopHost.windowTarget = true;
        testing::useStandardDesktop();
        appState.frameRate = 60;
    }

    // A sprite layer whose clock shows the elapsed time each update received.
    SpriteLayer& clockLayer() {
        testing::shapeSprites(theme.backSprites[0], 1, {{4, 4}});
        theme.backSprites[0].duration = 1 << 30;
        theme.backSpriteCount = 1;
        return theme.backSprites[0];
    }

    testing::FakeWindowSystem windows;
    testing::FakeShell shell;
    testing::RecordingGraphicsDevice device;
};

TEST_F(FrameTimer, StartStopsTheTimerLoadsAndRestartsAtTheFrameInterval) {
    appState.timerWindow = 0x55;
    appState.timerId = 1000;
    appState.panOffset = 0.7f;
    appState.panDirection = 1;
    appState.playing = false;
    shell.tick = 123456;
    startTheme(0x77);
    ASSERT_EQ(windows.timerCalls.size(), 2u);
    EXPECT_FALSE(windows.timerCalls[0].set);
    EXPECT_EQ(windows.timerCalls[0].window, 0x55u);
    EXPECT_EQ(windows.timerCalls[0].id, 1000u);
    EXPECT_TRUE(windows.timerCalls[1].set);
    EXPECT_EQ(windows.timerCalls[1].window, 0x77u);
    EXPECT_EQ(windows.timerCalls[1].id, 1000u);
    EXPECT_EQ(windows.timerCalls[1].intervalMs, 16u);
    EXPECT_EQ(appState.timerWindow, 0x77u);
    EXPECT_EQ(appState.timerId, 1000u);
    EXPECT_EQ(appState.timerInterval, 16);
    EXPECT_EQ(appState.lastTick, 123456u);
    EXPECT_EQ(appState.panOffset, 0.0f);
    EXPECT_EQ(appState.panDirection, -1.0f);
    EXPECT_FALSE(appState.playing);  // a start while paused stays paused
    // Nothing is drawn by a start.
    EXPECT_EQ(device.count(DeviceCall::BeginDraw), 0u);
}

TEST_F(FrameTimer, IntervalTruncatesAndBadFrameRatesRunAtSixty) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {{60, 16}, {7, 142}, {30, 33}, {1000, 1}, {0, 16}, {-5, 16}};
    for (const auto& [rate, interval] : cases) {
        appState.frameRate = rate;
        startTheme(0x77);
        EXPECT_EQ(appState.timerInterval, interval) << rate;
        EXPECT_EQ(windows.timerCalls.back().intervalMs, static_cast<std::uint32_t>(interval)) << rate;
    }
}

TEST_F(FrameTimer, SelectionPicksTheListEntryAndAMissingEntryChangesNothing) {
    appState.themeList = {u"Forest", u"VMA_Sea.zip"};
    appState.currentTheme = u"Forest";
    startTheme(0x77, 1);
    EXPECT_EQ(appState.currentTheme, u"VMA_Sea.zip");
    startTheme(0x77, 0);
    EXPECT_EQ(appState.currentTheme, u"Forest");

    const std::size_t timerCalls = windows.timerCalls.size();
    SpriteLayer& running = clockLayer();
    appState.lastTick = 5;
    for (std::size_t selection : {std::size_t{2}, std::size_t{98}, std::size_t{1000}}) {
        startTheme(0x77, selection);
        EXPECT_EQ(appState.currentTheme, u"Forest");
        EXPECT_EQ(windows.timerCalls.size(), timerCalls) << selection;
        EXPECT_EQ(theme.backSpriteCount, 1) << selection;  // the running theme was not reloaded
        EXPECT_EQ(appState.lastTick, 5u);
    }
    EXPECT_EQ(running.instances, 1);
}

TEST_F(FrameTimer, FrameUpdatesByTheTickDifferenceAcrossTheWrapThenDrawsAndPresents) {
    SpriteLayer& layer = clockLayer();
    appState.lastTick = 0xFFFFFFF0u;
    shell.tick = 0x10;
    renderFrame();
    EXPECT_EQ(layer.clock, 32);
    EXPECT_EQ(appState.lastTick, 0x10u);
    EXPECT_EQ(device.callSequence(),
              (std::vector<DeviceCall>{DeviceCall::BeginDraw, DeviceCall::SetTransform, DeviceCall::Clear,
                                       DeviceCall::DrawBitmap, DeviceCall::EndDraw, DeviceCall::FetchFrameBitmap,
                                       DeviceCall::PresentFrameBitmap}));
    // A paused minute is the shell's to hide (it sets lastTick on resume): renderFrame counts
    // from lastTick only.
    appState.lastTick = 70000;
    shell.tick = 70016;
    renderFrame();
    EXPECT_EQ(layer.clock, 48);
}

TEST_F(FrameTimer, WithoutAnOffscreenTargetTheSceneAnimatesButNothingIsDrawn) {
    desktopHost.frameTarget = false;
    SpriteLayer& layer = clockLayer();
    shell.tick = 40;
    renderFrame();
    EXPECT_EQ(layer.clock, 40);
    EXPECT_TRUE(device.calls().empty());

    installPlatform(Platform{&windows, &shell, nullptr});
    desktopHost.frameTarget = true;
    shell.tick = 50;
    renderFrame();
    EXPECT_EQ(layer.clock, 50);
}

class Pan : public FrameTimer {
protected:
    void SetUp() override {
        FrameTimer::SetUp();
        // Scene 640 x 4 = 2560 on a 1920 desktop: limit (640 - 480) x 0.01 = 1.6.
        globalSettings.pixelScale = 4;
        theme.params.width = 640;
        appState.panDirection = -1;
    }
    // Frames of 100 ms each; the pan positions after each.
    std::vector<float> run(int frames) {
        std::vector<float> offsets;
        for (int i = 0; i < frames; ++i) {
            shell.tick += 100;
            renderFrame();
            offsets.push_back(appState.panOffset);
        }
        return offsets;
    }
};

TEST_F(Pan, ZeroOrNaNPingPongKeepsTheSceneStill) {
    appState.panOffset = 1;
    run(1);
    EXPECT_EQ(appState.panOffset, 0.0f);
    globalSettings.pingPong = std::numeric_limits<float>::quiet_NaN();
    appState.panOffset = 1;
    run(1);
    EXPECT_EQ(appState.panOffset, 0.0f);
}

TEST_F(Pan, PositivePingPongSweepsLeftFirstAndTurnsAtTheLimits) {
    globalSettings.pingPong = 0.004f;  // 0.4 per frame
    const float limit = (640.0f - 1920.0f / 4.0f) * 0.01f;
    const auto offsets = run(16);
    EXPECT_FLOAT_EQ(offsets[0], -0.4f);
    EXPECT_FLOAT_EQ(offsets[1], -0.8f);
    // Down to -limit, where it turns, up to +limit, where it turns again.
    std::size_t i = 0;
    while (i < offsets.size() && offsets[i] != -limit) ++i;
    ASSERT_EQ(i, 3u);
    while (i < offsets.size() && offsets[i] != limit) {
        EXPECT_GT(offsets[i + 1], offsets[i]);
        ++i;
    }
    ASSERT_EQ(i, 11u);
    EXPECT_FLOAT_EQ(offsets[12], limit - 0.4f);
    EXPECT_EQ(appState.panDirection, -1.0f);
}

TEST_F(Pan, NegativePingPongSticksAtThePositiveLimit) {
    globalSettings.pingPong = -0.004f;
    const float limit = (640.0f - 1920.0f / 4.0f) * 0.01f;
    const auto offsets = run(10);
    EXPECT_FLOAT_EQ(offsets[0], 0.4f);
    EXPECT_EQ(offsets[4], limit);
    EXPECT_EQ(offsets[9], limit);
}

TEST_F(Pan, NarrowSceneStaysCentred) {
    theme.params.width = 400;  // 1600 < 1920
    globalSettings.pingPong = 0.004f;
    for (float offset : run(5)) EXPECT_EQ(offset, 0.0f);
}

TEST_F(Pan, TickWrapJumpsToAnEndForOneFrame) {
    globalSettings.pingPong = 0.004f;
    appState.lastTick = 0xFFFFFF00u;
    shell.tick = 0x40;
    renderFrame();
    // The float difference of the two ticks is about -4.3e9; moving leftward that is far right.
    EXPECT_EQ(appState.panOffset, (640.0f - 1920.0f / 4.0f) * 0.01f);
    EXPECT_EQ(appState.panDirection, -1.0f);
}

}  // namespace
}  // namespace velmora
