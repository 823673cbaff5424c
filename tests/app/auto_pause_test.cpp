// The automatic pause: what covers the scene, the battery, and how the automatic pause and the
// user's live side by side in the window procedure.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/auto_pause.h"
#include "app/frame_timer.h"
#include "platform/win32/window_messages.h"
#include "ground/records.h"
#include "shell_fixture.h"

namespace velmora::testing {

using namespace velmora::win32;
namespace {

// Two monitors side by side; the desktop spans both and most of it lies on the first.
class CoveringRule : public ::testing::Test {
protected:
    static constexpr RectI kMain{0, 0, 2560, 1440};
    static constexpr RectI kSide{2560, 0, 4480, 1080};

    void SetUp() override {
        windows.monitors = {kMain, kSide};
        scene = windows.addTopLevel(u"WorkerW");
        windows.setWindowRect(scene, RectI{0, 0, 4480, 1440});
        shell.notificationState = UserNotificationState::AcceptsNotifications;
    }

    // A window of that class and rectangle in the foreground.
    WindowHandle inFront(RectI rect, FakeWindowSystem::WindowLook look = {}, const std::u16string& className = u"Game") {
        const WindowHandle window = windows.addTopLevel(className);
        windows.setWindowRect(window, rect);
        windows.setWindowLook(window, look);
        windows.foreground = window;
        return window;
    }

    bool covers() { return foregroundCoversScene(windows, shell, scene); }

    FakeWindowSystem windows;
    FakeShell shell;
    WindowHandle scene = 0;
};

TEST_F(CoveringRule, MaximisedOrCoveringAtLeast95PercentOfTheScenesMonitor) {
    inFront(kMain);
    EXPECT_TRUE(covers());
    // A borderless window whose frame reaches past the monitor's edges.
    inFront(RectI{-8, -8, 2568, 1448});
    EXPECT_TRUE(covers());
    // 2432 of 2560 columns are 95 %; one column fewer is not enough.
    inFront(RectI{0, 0, 2432, 1440});
    EXPECT_TRUE(covers());
    inFront(RectI{0, 0, 2431, 1440});
    EXPECT_FALSE(covers());
    inFront(RectI{100, 0, 2507, 1440});  // 94 %
    EXPECT_FALSE(covers());
    // Maximised above a tall taskbar: 90 % of the monitor, and it counts all the same.
    inFront(RectI{0, 0, 2560, 1296}, {.maximised = true});
    EXPECT_TRUE(covers());
    inFront(RectI{0, 0, 2560, 1296});
    EXPECT_FALSE(covers());
}

TEST_F(CoveringRule, HiddenMinimisedCloakedOrShellWindowsNeverCover) {
    inFront(kMain, {.visible = false});
    EXPECT_FALSE(covers());
    inFront(kMain, {.minimised = true});
    EXPECT_FALSE(covers());
    inFront(kMain, {.maximised = true, .cloaked = true});
    EXPECT_FALSE(covers());
    for (const std::u16string className : {u"Progman", u"WorkerW", u"Shell_TrayWnd", u"Shell_SecondaryTrayWnd",
                                           u"Windows.UI.Core.CoreWindow", u"XamlExplorerHostIslandWindow"}) {
        inFront(kMain, {.maximised = true}, className);
        EXPECT_FALSE(covers()) << std::string(className.begin(), className.end());
    }
    windows.foreground = 0;
    EXPECT_FALSE(covers());
}

TEST_F(CoveringRule, AWindowOnAnotherMonitorDoesNotCoverTheScene) {
    inFront(kSide);
    EXPECT_FALSE(covers());
    inFront(RectI{2560, 0, 4480, 1040}, {.maximised = true});
    EXPECT_FALSE(covers());
    // The scene follows the desktop: with the desktop on the side monitor, the same window covers it.
    windows.setWindowRect(scene, kSide);
    EXPECT_TRUE(covers());
}

TEST_F(CoveringRule, FullScreenNotificationStatesCoverWithoutAWindow) {
    using State = UserNotificationState;
    for (const State state : {State::RunningD3dFullScreen, State::PresentationMode}) {
        shell.notificationState = state;
        EXPECT_TRUE(covers()) << static_cast<int>(state);
    }
    for (const State state : {State::Unknown, State::NotPresent, State::Busy, State::AcceptsNotifications, State::QuietTime, State::App}) {
        shell.notificationState = state;
        EXPECT_FALSE(covers()) << static_cast<int>(state);
    }
}

TEST(BatteryRule, MainsOffOrBatterySaverOn) {
    EXPECT_TRUE(runsOnBattery(PowerStatus{0, 0}));
    EXPECT_TRUE(runsOnBattery(PowerStatus{1, 1}));
    EXPECT_TRUE(runsOnBattery(PowerStatus{255, 1}));
    EXPECT_FALSE(runsOnBattery(PowerStatus{1, 0}));
    // A desktop without a battery, or a call that failed, reports the mains as unknown.
    EXPECT_FALSE(runsOnBattery(PowerStatus{255, 0}));
    EXPECT_FALSE(runsOnBattery(PowerStatus{}));
}

TEST(AutoPauseWanted, AsksOnlyWhatTheKeysThatAreOnNeed) {
    FakeWindowSystem windows;
    FakeShell shell;
    const WindowHandle game = windows.addTopLevel(u"Game");
    windows.setWindowRect(game, windows.monitors.front());
    windows.foreground = game;
    shell.power = PowerStatus{0, 0};

    EXPECT_FALSE(autoPauseWanted(windows, shell, false, false, 0));
    EXPECT_EQ(windows.foregroundQueries + shell.powerQueries + shell.notificationStateQueries, 0);
    EXPECT_TRUE(autoPauseWanted(windows, shell, false, true, 0));
    EXPECT_EQ(windows.foregroundQueries, 0);
    EXPECT_TRUE(autoPauseWanted(windows, shell, true, false, 0));

    shell.power = PowerStatus{1, 0};
    windows.foreground = 0;
    EXPECT_FALSE(autoPauseWanted(windows, shell, true, true, 0));
}

// The program with a panning scene wider than the desktop and pause_fullscreen on; a game window
// that covers the desktop's monitor comes and goes in front.
class AutoPause : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        writeConfig("config default_theme:Wide pause_fullscreen:1\nglobal ping_pong:0.001 scale:1\n");
        writeFile("themes/Wide/theme.txt", "params width:4000\n");
        game = windows.addTopLevel(u"Game");
        windows.setWindowRect(game, RectI{0, 0, 1920, 1080});
    }

    // A tick of the automatic pause's timer at that tick count.
    void lookAt(std::uint32_t tick) {
        shell.tick = tick;
        send(kWmTimer, kAutoPauseTimerId);
    }
    void click() { send(kTrayCallbackMessage, 0, kWmLButtonDown); }
    std::size_t autoPauseTimerCalls(bool set) const {
        return static_cast<std::size_t>(std::count_if(windows.timerCalls.begin(), windows.timerCalls.end(), [&](const TimerCall& call) {
            return call.id == kAutoPauseTimerId && call.set == set;
        }));
    }

    WindowHandle game = 0;
};

TEST_F(AutoPause, BothPausesMustBeLiftedBeforeFramesComeAgain) {
    runProgram([&] {
        tickAt(1016);
        EXPECT_EQ(framesDrawn(), 1u);
        const std::size_t iconCalls = shell.notifyCalls.size();

        windows.foreground = game;
        lookAt(1100);
        EXPECT_TRUE(appState.autoPaused);
        EXPECT_FALSE(producingFrames(appState));
        tickAt(1116);
        EXPECT_EQ(framesDrawn(), 1u);
        // The icon shows only the user's pause.
        EXPECT_EQ(shell.notifyCalls.size(), iconCalls);

        // A click now is the user's pause, shown as such.
        click();
        EXPECT_FALSE(appState.playing);
        EXPECT_EQ(shell.notifyCalls.back().record.icon, appState.pauseIcon);

        windows.foreground = 0;
        lookAt(1200);
        EXPECT_FALSE(appState.autoPaused);
        tickAt(1216);
        EXPECT_EQ(framesDrawn(), 1u);

        click();
        EXPECT_EQ(shell.notifyCalls.back().record.icon, appState.playIcon);
        tickAt(1232);
        EXPECT_EQ(framesDrawn(), 2u);
    });
}

TEST_F(AutoPause, TheEndOfTheAutomaticPauseStartsTheNextFramesTime) {
    runProgram([&] {
        tickAt(1016);
        EXPECT_FLOAT_EQ(appState.panOffset, -0.016f);
        windows.foreground = game;
        lookAt(1020);
        tickAt(30000);
        windows.foreground = 0;
        lookAt(61000);
        EXPECT_EQ(appState.lastTick, 61000u);
        tickAt(61016);
        // 16 ms more, not the minute behind the game.
        EXPECT_FLOAT_EQ(appState.panOffset, -0.032f);
        EXPECT_EQ(framesDrawn(), 2u);
    });
}

TEST_F(AutoPause, ACoveredScreenAtStartPausesBeforeTheFirstFrame) {
    windows.foreground = game;
    runProgram([&] {
        EXPECT_TRUE(appState.autoPaused);
        EXPECT_TRUE(appState.playing);
        tickAt(1016);
        EXPECT_EQ(framesDrawn(), 0u);
    });
}

TEST_F(AutoPause, AThemeChosenWhileAutomaticallyPausedIsLoadedAndShownWhenLifted) {
    listThemes({u"Wide"}, {});
    writeFile("themes/Wide/theme.txt", "params width:3000\n");
    windows.foreground = game;
    runProgram([&] {
        EXPECT_EQ(command(601), 1);
        EXPECT_EQ(theme.params.width, 3000.0f);
        EXPECT_TRUE(windows.runningTimer(windows.createdWindow, kFrameTimerId).has_value());
        tickAt(2000);
        EXPECT_EQ(framesDrawn(), 0u);
        windows.foreground = 0;
        lookAt(2100);
        tickAt(2116);
        EXPECT_EQ(framesDrawn(), 1u);
    });
}

TEST_F(AutoPause, TheTimerRunsOnlyWhileAKeyIsOn) {
    writeConfig("config default_theme:Wide\n");
    runProgram([&] {
        EXPECT_EQ(autoPauseTimerCalls(true) + autoPauseTimerCalls(false), 0u);
        // Without the keys that id is a frame tick like any other, and a power broadcast asks
        // nothing.
        shell.tick = 1016;
        send(kWmTimer, kAutoPauseTimerId);
        EXPECT_EQ(framesDrawn(), 1u);
        EXPECT_EQ(send(kWmPowerBroadcast, kPbtApmPowerStatusChange), kFakeDefWindowProcResult);
        EXPECT_EQ(shell.powerQueries, 0);

        writeConfig("config pause_fullscreen:1\n");
        command(kCommandReload);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kAutoPauseTimerId), kAutoPauseIntervalMs);
        writeConfig("config pause_battery:1\n");
        command(kCommandReload);
        EXPECT_EQ(autoPauseTimerCalls(true), 1u);

        // Paused on battery, the keys go: the timer stops and the pause is lifted.
        shell.power = PowerStatus{0, 0};
        lookAt(3000);
        EXPECT_TRUE(appState.autoPaused);
        writeConfig("config default_theme:Wide\n");
        shell.tick = 3500;
        command(kCommandReload);
        EXPECT_FALSE(windows.runningTimer(windows.createdWindow, kAutoPauseTimerId).has_value());
        EXPECT_FALSE(appState.autoPaused);
        tickAt(3516);
        EXPECT_EQ(framesDrawn(), 2u);
    });
}

TEST_F(AutoPause, APowerStatusChangeIsLookedAtOnceAndNothingIsAskedPerFrame) {
    writeConfig("config default_theme:Wide pause_battery:1 pause_fullscreen:1\n");
    runProgram([&] {
        const int foregroundQueries = windows.foregroundQueries;
        const int powerQueries = shell.powerQueries;
        for (std::uint32_t tick = 1016; tick < 1500; tick += 16) tickAt(tick);
        EXPECT_EQ(windows.foregroundQueries, foregroundQueries);
        EXPECT_EQ(shell.powerQueries, powerQueries);

        shell.power = PowerStatus{0, 0};
        // Resume is the desktop's business (it is checked again); the battery waits for its own
        // broadcast.
        send(kWmPowerBroadcast, kPbtApmResumeAutomatic);
        EXPECT_FALSE(appState.autoPaused);
        EXPECT_EQ(send(kWmPowerBroadcast, kPbtApmPowerStatusChange), kFakeDefWindowProcResult);
        EXPECT_TRUE(appState.autoPaused);
        EXPECT_EQ(windows.defWindowProcCalls.back().message, kWmPowerBroadcast);

        shell.power = PowerStatus{1, 0};
        shell.tick = 5000;
        send(kWmPowerBroadcast, kPbtApmPowerStatusChange);
        EXPECT_FALSE(appState.autoPaused);
        EXPECT_EQ(appState.lastTick, 5000u);
    });
}

}  // namespace
}  // namespace velmora::testing
