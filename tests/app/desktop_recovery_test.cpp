// The program following a desktop that changes under it: shell restarts, display changes, a
// lost device, sleep and the locked session, the 24H2 layout, and the timer resolution.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/desktop_recovery.h"
#include "app/frame_timer.h"
#include "app/startup.h"
#include "platform/win32/window_messages.h"
#include "ports/platform.h"
#include "ground/records.h"
#include "resources/theme_source.h"
#include "shell_fixture.h"

namespace velmora::testing {

using namespace velmora::win32;
namespace {

constexpr std::intptr_t kLeftClick = kWmLButtonDown;

// A running theme with one picture, the floor (320 x 40), so that every load and every frame
// can be seen on the device.
class DesktopRecoveryTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        writeConfig("config default_theme:Pics fps:25\n");
        writeFile("themes/Pics/theme.txt", "floor name:floor\n");
        device.registerPicture(programFolder() + u"themes" + kPathSeparator + u"Pics" + kPathSeparator + u"floor.png",
                               320, 40);
    }

    void taskbarCreated() { send(windows.registerWindowMessage(u"TaskbarCreated")); }
    void fire(std::uintptr_t timerId) { send(kWmTimer, timerId); }
    std::size_t pictureLoads() const { return device.count(DeviceCall::LoadPictureFile); }
    std::size_t frameTimerStarts() const {
        return static_cast<std::size_t>(std::count_if(windows.timerCalls.begin(), windows.timerCalls.end(),
                                                      [](const TimerCall& c) { return c.set && c.id == kFrameTimerId; }));
    }
    bool timerRuns(std::uintptr_t id) const { return windows.runningTimer(windows.createdWindow, id).has_value(); }
    WindowHandle lastTargetWindow() const { return device.callsOf(DeviceCall::CreateWindowTarget).back().window; }
    // The centre of the floor in the last frame drawn.
    float floorCentre() const {
        if (device.pictures().empty()) return -1;
        const PicturePlacement& p = device.pictures().back().placement;
        return p.x + p.w / 2;
    }
};

TEST_F(DesktopRecoveryTest, AShellRestartFindsTheNewDesktopAndKeepsPauseRateAndTheme) {
    runProgram([&] {
        tickAt(1040);
        const WindowHandle oldWorkerW = desktopHost.workerW;
        send(kTrayCallbackMessage, 0, kLeftClick);  // paused
        const std::size_t loads = pictureLoads();
        const std::size_t boxes = windows.messageBoxes.size();

        windows.restartShell(DesktopLayout::Classic);
        taskbarCreated();

        // The icon is added again with its whole record, showing the paused state.
        ASSERT_EQ(shell.checkedNotifyCalls.size(), 1u);
        EXPECT_EQ(shell.checkedNotifyCalls[0].action, NotifyIconAction::Add);
        EXPECT_EQ(shell.checkedNotifyCalls[0].record.flags, 7u);
        EXPECT_EQ(shell.checkedNotifyCalls[0].record.icon, appState.pauseIcon);
        EXPECT_EQ(shell.checkedNotifyCalls[0].record.callbackMessage, kTrayCallbackMessage);
        // The new "WorkerW" is drawn into; the theme was loaded again onto the new targets.
        EXPECT_NE(desktopHost.workerW, oldWorkerW);
        EXPECT_EQ(desktopHost.workerW, windows.spawnedWorkerW());
        EXPECT_EQ(lastTargetWindow(), windows.spawnedWorkerW());
        EXPECT_EQ(device.count(DeviceCall::ReleaseTargets), 1u);
        EXPECT_EQ(pictureLoads(), loads + 1);
        EXPECT_EQ(windows.messageBoxes.size(), boxes);
        EXPECT_FALSE(appState.playing);
        EXPECT_EQ(appState.currentTheme, u"Pics");
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 40u);
        EXPECT_FALSE(timerRuns(kShellRestartTimerId));

        send(kTrayCallbackMessage, 0, kLeftClick);
        const std::size_t frames = framesDrawn();
        tickAt(2000);
        EXPECT_EQ(framesDrawn(), frames + 1);
    });
}

TEST_F(DesktopRecoveryTest, WithoutADesktopAfterARestartTheProgramRunsOnAndTriesAgain) {
    runProgram([&] {
        windows.endShell();
        shell.refusedIconCalls = 2;  // the taskbar is not ready: add and modify are refused
        taskbarCreated();

        EXPECT_TRUE(windows.messageBoxes.empty());
        EXPECT_FALSE(desktopHost.frameTarget);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kShellRestartTimerId), 2000u);
        // Nothing is drawn, but the scene goes on.
        const std::size_t frames = framesDrawn();
        tickAt(1040);
        EXPECT_EQ(framesDrawn(), frames);
        EXPECT_EQ(appState.lastTick, 1040u);

        // First try: the icon comes back; the desktop is still missing.
        fire(kShellRestartTimerId);
        EXPECT_EQ(shell.checkedNotifyResults, (std::vector<bool>{false, false, true}));
        EXPECT_TRUE(timerRuns(kShellRestartTimerId));
        // Second try: the shell is back.
        windows.restartShell(DesktopLayout::Classic);
        fire(kShellRestartTimerId);
        EXPECT_FALSE(timerRuns(kShellRestartTimerId));
        EXPECT_EQ(lastTargetWindow(), windows.spawnedWorkerW());
        tickAt(1080);
        EXPECT_EQ(framesDrawn(), frames + 1);
        EXPECT_TRUE(windows.messageBoxes.empty());
    });
}

TEST_F(DesktopRecoveryTest, TriesAfterARestartAreBounded) {
    runProgram([&] {
        windows.endShell();
        shell.refusedIconCalls = 1000;
        taskbarCreated();
        for (int i = 0; i < kShellRestartTries; ++i) {
            EXPECT_TRUE(timerRuns(kShellRestartTimerId)) << i;
            fire(kShellRestartTimerId);
        }
        EXPECT_FALSE(timerRuns(kShellRestartTimerId));
        // The next display change looks for the desktop again.
        windows.restartShell(DesktopLayout::Classic);
        send(kWmDisplayChange);
        fire(kDisplaySettleTimerId);
        EXPECT_TRUE(desktopHost.frameTarget);
        EXPECT_EQ(desktopHost.workerW, windows.spawnedWorkerW());
    });
}

TEST_F(DesktopRecoveryTest, TaskbarCreatedWhileTheDesktopIsThereOnlyAddsTheIcon) {
    runProgram([&] {
        device.clearCalls();
        windows.sentMessages.clear();
        windows.timerCalls.clear();
        taskbarCreated();
        EXPECT_EQ(shell.checkedNotifyResults, (std::vector<bool>{true}));
        // A DPI change: the icon is still there, so the add is refused and a modify accepted.
        shell.refusedIconCalls = 1;
        taskbarCreated();
        ASSERT_EQ(shell.checkedNotifyCalls.size(), 3u);
        EXPECT_EQ(shell.checkedNotifyCalls[2].action, NotifyIconAction::Modify);
        EXPECT_TRUE(device.calls().empty());
        EXPECT_TRUE(windows.sentMessages.empty());
        EXPECT_TRUE(windows.timerCalls.empty());
    });
}

TEST_F(DesktopRecoveryTest, ABurstOfDisplayChangesRebuildsOnceForANewSize) {
    runProgram([&] {
        tickAt(1040);
        EXPECT_FLOAT_EQ(floorCentre(), 960.0f);
        device.clearCalls();
        const std::size_t loads = pictureLoads();

        windows.resizeDesktop(RectI{0, 0, 1280, 720});
        for (int i = 0; i < 3; ++i) EXPECT_EQ(send(kWmDisplayChange, 32, (720 << 16) | 1280), 0);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kDisplaySettleTimerId), kDisplaySettleMs);
        EXPECT_TRUE(device.calls().empty());

        fire(kDisplaySettleTimerId);
        EXPECT_FALSE(timerRuns(kDisplaySettleTimerId));
        ASSERT_EQ(device.callsOf(DeviceCall::CreateWindowTarget).size(), 1u);
        EXPECT_EQ(device.callsOf(DeviceCall::CreateWindowTarget)[0].pixelWidth, 1280u);
        EXPECT_EQ(device.callsOf(DeviceCall::CreateWindowTarget)[0].pixelHeight, 720u);
        EXPECT_EQ(desktopHost.desktopWidth, 1280.0f);
        EXPECT_EQ(pictureLoads(), loads + 1);
        tickAt(1080);
        EXPECT_FLOAT_EQ(floorCentre(), 640.0f);

        // Changes that leave the size as it is change nothing.
        device.clearCalls();
        send(kWmDisplayChange);
        send(kWmDisplayChange);
        fire(kDisplaySettleTimerId);
        EXPECT_TRUE(device.calls().empty());
    });
}

TEST_F(DesktopRecoveryTest, ALostDeviceIsMadeAgainWithAGrowingWaitAfterFailures) {
    runProgram([&] {
        tickAt(1040);
        const std::size_t loads = pictureLoads();
        const std::size_t starts = frameTimerStarts();

        device.loseTargets = true;
        device.failWindowTarget = true;
        tickAt(1080);
        EXPECT_EQ(device.count(DeviceCall::ReleaseTargets), 1u);
        EXPECT_FALSE(desktopHost.frameTarget);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kRebuildTimerId), 1000u);
        // Ticks while the rebuild waits draw nothing and try nothing; the scene goes on.
        const std::size_t frames = framesDrawn();
        tickAt(1120);
        EXPECT_EQ(framesDrawn(), frames);
        EXPECT_EQ(device.count(DeviceCall::CreateWindowTarget), 2u);
        EXPECT_EQ(appState.lastTick, 1120u);

        fire(kRebuildTimerId);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kRebuildTimerId), 2000u);
        device.loseTargets = false;
        device.failWindowTarget = false;
        fire(kRebuildTimerId);
        EXPECT_FALSE(timerRuns(kRebuildTimerId));
        EXPECT_TRUE(desktopHost.frameTarget);
        // Only the pictures are loaded again: the theme and its animation go on.
        EXPECT_EQ(pictureLoads(), loads + 1);
        EXPECT_EQ(frameTimerStarts(), starts);
        EXPECT_EQ(appState.lastTick, 1120u);
        tickAt(1160);
        EXPECT_EQ(framesDrawn(), frames + 1);

        // The wait starts again from one second at the next loss.
        device.loseTargets = true;
        device.failFrameTarget = true;
        tickAt(1200);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kRebuildTimerId), 1000u);
    });
}

TEST_F(DesktopRecoveryTest, OtherDrawingFailuresMakeNothingAgain) {
    runProgram([&] {
        tickAt(1040);
        device.failEndDraw = true;
        tickAt(1080);
        tickAt(1120);
        EXPECT_EQ(device.count(DeviceCall::ReleaseTargets), 0u);
        EXPECT_FALSE(timerRuns(kRebuildTimerId));
        EXPECT_EQ(device.count(DeviceCall::PresentFrameBitmap), 3u);
    });
}

TEST_F(DesktopRecoveryTest, ALockedSessionDrawsNothingButTheSceneGoesOn) {
    runProgram([&] {
        tickAt(1040);
        const std::size_t frames = framesDrawn();
        EXPECT_EQ(send(kWmWtsSessionChange, kWtsSessionLock), 0);
        tickAt(1080);
        tickAt(1120);
        EXPECT_EQ(framesDrawn(), frames);
        EXPECT_EQ(appState.lastTick, 1120u);
        EXPECT_TRUE(windows.runningTimer(windows.createdWindow, kFrameTimerId).has_value());

        // Unlocked after the shell restarted behind the lock screen: the new desktop is drawn.
        windows.restartShell(DesktopLayout::Classic);
        send(kWmWtsSessionChange, kWtsSessionUnlock);
        EXPECT_EQ(lastTargetWindow(), windows.spawnedWorkerW());
        tickAt(1160);
        EXPECT_EQ(framesDrawn(), frames + 1);
    });
}

TEST_F(DesktopRecoveryTest, ResumeFromSleepChecksTheDesktop) {
    runProgram([&] {
        windows.resizeDesktop(RectI{-1920, 0, 1920, 1080});
        EXPECT_EQ(send(kWmPowerBroadcast, kPbtApmResumeAutomatic), 1);
        EXPECT_EQ(desktopHost.desktopLeft, -1920.0f);
        EXPECT_EQ(desktopHost.desktopWidth, 3840.0f);
        // Other power events are the default procedure's.
        windows.defWindowProcCalls.clear();
        EXPECT_EQ(send(kWmPowerBroadcast, 0x4), kFakeDefWindowProcResult);
        EXPECT_EQ(windows.defWindowProcCalls.size(), 1u);
    });
    EXPECT_TRUE(windows.sessionNotifications.empty());
}

TEST_F(DesktopRecoveryTest, On24H2TheSceneIsDrawnIntoAWindowOfItsOwnBetweenTheChildren) {
    windows.restartShell(DesktopLayout::ChildOfProgman);
    windows.resizeDesktop(RectI{0, 0, 1600, 900});
    WindowHandle scene = 0;
    runProgram([&] {
        ASSERT_EQ(windows.layeredChildren.size(), 1u);
        scene = windows.layeredChildren[0].handle;
        EXPECT_EQ(windows.layeredChildren[0].parent, windows.progman());
        EXPECT_EQ(windows.layeredChildren[0].className, u"VelmoraScene");
        EXPECT_EQ(desktopHost.sceneWindow, scene);
        const std::vector<WindowHandle> children = windows.childrenOf(windows.progman());
        ASSERT_EQ(children.size(), 3u);
        EXPECT_EQ(windows.classOf(children[0]), u"SHELLDLL_DefView");
        EXPECT_EQ(children[1], scene);
        EXPECT_EQ(children[2], windows.spawnedWorkerW());
        EXPECT_EQ(lastTargetWindow(), scene);
        EXPECT_EQ(device.callsOf(DeviceCall::CreateWindowTarget)[0].pixelWidth, 1600u);
        EXPECT_EQ(device.callsOf(DeviceCall::CreateWindowTarget)[0].pixelHeight, 900u);

        // A display change resizes the window and keeps its place.
        windows.resizeDesktop(RectI{0, 0, 1280, 1024});
        send(kWmDisplayChange);
        fire(kDisplaySettleTimerId);
        EXPECT_EQ(windows.layeredChildren.size(), 1u);
        EXPECT_EQ(windows.getWindowRect(scene).right, 1280);
        EXPECT_EQ(windows.childrenOf(windows.progman())[1], scene);
        EXPECT_EQ(lastTargetWindow(), scene);

        // After a restart the window is made again in the new "Progman".
        windows.restartShell(DesktopLayout::ChildOfProgman);
        taskbarCreated();
        ASSERT_EQ(windows.layeredChildren.size(), 2u);
        scene = windows.layeredChildren[1].handle;
        EXPECT_EQ(windows.layeredChildren[1].parent, windows.progman());
        EXPECT_EQ(windows.childrenOf(windows.progman())[1], scene);
        EXPECT_EQ(lastTargetWindow(), scene);
    });
    // Destroyed at exit, so that the wallpaper shows again at once.
    EXPECT_EQ(windows.destroyedWindows, (std::vector<WindowHandle>{scene}));
    EXPECT_FALSE(windows.exists(scene));
}

TEST_F(DesktopRecoveryTest, On24H2AWorkerWThatIsThereIsTakenAndTheShellIsAskedWithATimeOut) {
    windows.restartShell(DesktopLayout::ChildOfProgman);
    windows.sendMessage(windows.progman(), 0x052C, 0xD, 0);
    const WindowHandle existing = windows.spawnedWorkerW();
    windows.sentMessages.clear();
    runProgram();
    EXPECT_EQ(desktopHost.workerW, existing);
    EXPECT_EQ(windows.timedMessages.size(), 2u);
    EXPECT_EQ(windows.sentMessages, windows.timedMessages);
    EXPECT_EQ(windows.enumerations, 0);
    EXPECT_EQ(windows.layeredChildren.size(), 1u);
}

TEST_F(DesktopRecoveryTest, TheClassicLayoutMakesNoWindowOfItsOwn) {
    runProgram();
    EXPECT_TRUE(windows.layeredChildren.empty());
    EXPECT_TRUE(windows.timedMessages.empty());
    EXPECT_TRUE(windows.destroyedWindows.empty());
}

TEST_F(DesktopRecoveryTest, TheFineTimerResolutionIsHeldOnlyWhileFramesAreProduced) {
    runProgram([&] {
        EXPECT_EQ(shell.throttlingOptOuts, 1);
        EXPECT_EQ(shell.timerPeriodDepth, 1);
        EXPECT_EQ(windows.sessionNotifications, (std::vector<WindowHandle>{windows.createdWindow}));
        send(kTrayCallbackMessage, 0, kLeftClick);
        EXPECT_EQ(shell.timerPeriodDepth, 0);
        command(903);  // a reload while paused keeps it given back
        EXPECT_EQ(shell.timerPeriodDepth, 0);
        send(kTrayCallbackMessage, 0, kLeftClick);
        EXPECT_EQ(shell.timerPeriodDepth, 1);
        command(903);
        EXPECT_EQ(shell.timerPeriodDepth, 1);
    });
    EXPECT_EQ(shell.timerPeriodDepth, 0);
    EXPECT_EQ(shell.timerPeriodCalls, (std::vector<std::string>{"begin 1", "end 1", "begin 1", "end 1"}));
}

TEST_F(DesktopRecoveryTest, WithoutTimerCallsOrATheme_NothingIsGivenBack) {
    shell.noTimerPeriod = true;
    shell.noThrottlingOptOut = true;
    runProgram([&] { send(kTrayCallbackMessage, 0, kLeftClick); });
    EXPECT_EQ(shell.timerPeriodCalls, (std::vector<std::string>{"begin 1"}));

    // No theme named: no frames, so no request at all.
    resetRecords();
    FakeShell quiet;
    quiet.programPathValue = shell.programPathValue;
    installPlatform(Platform{&windows, &quiet, &device});
    writeConfig("config fps:25\n");
    windows.queueMessage(kWmCommand, 902);
    runVelmora(kTestInstance);
    EXPECT_TRUE(quiet.timerPeriodCalls.empty());
}

}  // namespace
}  // namespace velmora::testing
