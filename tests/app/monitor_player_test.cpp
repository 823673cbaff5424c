// The program with a scene per monitor: a window that covers one monitor holds that monitor's
// scene only, and a change of the monitors or of their scaling lays the scenes out again.
#include <gtest/gtest.h>

#include "app/auto_pause.h"
#include "app/desktop_recovery.h"
#include "ground/records.h"
#include "platform/win32/window_messages.h"
#include "resources/theme_source.h"
#include "shell_fixture.h"

namespace velmora::testing {
namespace {

using namespace velmora::win32;

// A 1920x1080 primary monitor and a 1280x1024 one at 150 % right of it, a panning theme wider
// than both, and a game window on the primary monitor.
class MonitorPlayer : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        windows.resizeDesktop(RectI{0, 0, 3200, 1080});
        windows.monitors = {RectI{0, 0, 1920, 1080}, RectI{1920, 0, 3200, 1024}};
        windows.monitorDpi = {96, 144};
        windows.reportMonitors = true;
        writeConfig("config default_theme:Wide pause_fullscreen:1 span_monitors:0\nglobal ping_pong:0.001 scale:1\n");
        writeFile("themes/Wide/theme.txt", "params width:4000\n");
        game = windows.addTopLevel(u"Game");
        windows.setWindowRect(game, RectI{0, 0, 1920, 1080});
    }

    void lookAt(std::uint32_t tick) {
        shell.tick = tick;
        send(kWmTimer, kAutoPauseTimerId);
    }
    // A display change, once its burst is over.
    void displayChanged(std::uint32_t message) {
        send(message);
        send(kWmTimer, kDisplaySettleTimerId);
    }
    float pan(std::size_t scene) const { return monitorScenes.at(scene)->panOffset; }

    WindowHandle game = 0;
};

TEST_F(MonitorPlayer, ACoveredMonitorHoldsItsOwnSceneOnly) {
    runProgram([&] {
        ASSERT_EQ(monitorScenes.size(), 2u);
        EXPECT_EQ(monitorScenes[1]->settings.pixelScale, 1.5f);
        tickAt(1016);
        EXPECT_FLOAT_EQ(pan(0), -0.016f);
        EXPECT_FLOAT_EQ(pan(1), -0.016f);

        windows.foreground = game;
        lookAt(1100);
        EXPECT_FALSE(appState.autoPaused);
        tickAt(1116);
        EXPECT_EQ(framesDrawn(), 2u);
        EXPECT_FLOAT_EQ(pan(0), -0.016f);
        EXPECT_FLOAT_EQ(pan(1), -0.116f);

        // Over both monitors: no frame at all.
        windows.setWindowRect(game, RectI{0, 0, 3200, 1080});
        lookAt(1200);
        EXPECT_TRUE(appState.autoPaused);
        tickAt(1216);
        EXPECT_EQ(framesDrawn(), 2u);

        // Gone: both go on from where they stood.
        windows.foreground = 0;
        lookAt(5000);
        tickAt(5016);
        EXPECT_EQ(framesDrawn(), 3u);
        EXPECT_FLOAT_EQ(pan(0), -0.032f);
        EXPECT_FLOAT_EQ(pan(1), -0.132f);
    });
}

TEST_F(MonitorPlayer, MonitorsAndScalingThatChangeLayTheScenesOutAgain) {
    runProgram([&] {
        ASSERT_EQ(monitorScenes.size(), 2u);
        // Unplugged.
        windows.monitors.pop_back();
        displayChanged(kWmDisplayChange);
        ASSERT_EQ(monitorScenes.size(), 1u);
        // The primary monitor's scaling changed to 200 %.
        windows.monitorDpi = {192};
        displayChanged(kWmDpiChanged);
        ASSERT_EQ(monitorScenes.size(), 1u);
        EXPECT_EQ(monitorScenes[0]->settings.pixelScale, 2.0f);
        // Plugged in again, left of the primary one (the desktop's origin moves with it).
        windows.resizeDesktop(RectI{-1280, 0, 1920, 1080});
        windows.monitors.push_back(RectI{-1280, 56, 0, 1080});
        displayChanged(kWmDisplayChange);
        ASSERT_EQ(monitorScenes.size(), 2u);
        EXPECT_EQ(monitorScenes[0]->monitor, (Monitor{1280, 0, 1920, 1080, 192}));
        EXPECT_EQ(monitorScenes[1]->monitor, (Monitor{0, 56, 1280, 1024, 96}));
        tickAt(9016);
        EXPECT_GT(framesDrawn(), 0u);
    });
}

// One scene over all monitors: a desktop whose origin lies on a monitor left of the primary one
// draws the scene from the window's first pixel, at the primary monitor's scaling.
TEST_F(MonitorPlayer, OneSpanningSceneTakesThePrimaryScalingAndFillsTheWindowFromItsLeft) {
    windows.resizeDesktop(RectI{-1280, 0, 1920, 1080});
    windows.monitors = {RectI{-1280, 56, 0, 1080}, RectI{0, 0, 1920, 1080}};
    windows.monitorDpi = {96, 144};
    writeConfig("config default_theme:Floor span_monitors:1\nglobal scale:2\n");
    writeFile("themes/Floor/theme.txt", "floor name:floor\n");
    device.registerPicture(programFolder() + u"themes" + kPathSeparator + u"Floor" + kPathSeparator + u"floor.png", 100, 10);
    runProgram([&] {
        EXPECT_TRUE(monitorScenes.empty());
        EXPECT_EQ(globalSettings.pixelScale, 3.0f);
        tickAt(1016);
        // Laid out in screen coordinates (centred on the desktop, whose left is -1280) ...
        ASSERT_FALSE(device.pictures().empty());
        EXPECT_EQ(device.pictures().back().placement.x, -1280 + 3200 / 2 - 150);
        // ... and drawn in the window's, which start at the desktop's left.
        EXPECT_EQ(device.callsOf(DeviceCall::DrawBitmap).back().dest.left, 3200 / 2 - 150);
    });
}

}  // namespace
}  // namespace velmora::testing
