#include <gtest/gtest.h>

#include <algorithm>

#include "ground/records.h"
#include "app/frame_timer.h"
#include "app/menu.h"
#include "app/startup.h"
#include "platform/win32/window_messages.h"
#include "ports/platform.h"
#include "support/process_state.h"
#include "resources/theme_source.h"
#include "shell_fixture.h"

namespace velmora::testing {

using namespace velmora::win32;
namespace {

using WindowProcedureTest = ShellFixture;

constexpr std::intptr_t kLeftClick = kWmLButtonDown;
constexpr std::intptr_t kRightClick = kWmRButtonDown;

TEST_F(WindowProcedureTest, CommandsOpenTheSiteAndTheProgramFiles) {
    runProgram([&] {
        EXPECT_EQ(command(901), 1);
        EXPECT_EQ(command(906), 1);
        EXPECT_EQ(command(904), 1);
        // The high half of the first parameter is not part of the id.
        EXPECT_EQ(send(kWmCommand, 0x00010000u | 905u), 1);
    });
    const std::u16string separator(1, kPathSeparator);
    EXPECT_EQ(shell.openedTargets, (std::vector<std::u16string>{
                                       u"https://velmora.app",
                                       u"https://velmora.app/VMA",
                                       programFolder() + separator + u"config.txt",
                                       programFolder() + separator + u"readme.txt",
                                   }));
    EXPECT_EQ(std::u16string(appState.shellTarget.data()), programFolder() + separator + u"readme.txt");
    // Opening config.txt reloads nothing.
    EXPECT_TRUE(windows.timerCalls.empty());
}

TEST_F(WindowProcedureTest, ALongProgramFolderIsCutToTheTargetBuffer) {
    runProgram([&] {
        appState.programFolder = std::u16string(1200, u'a');
        EXPECT_EQ(command(904), 1);
    });
    ASSERT_EQ(shell.openedTargets.size(), 1u);
    EXPECT_EQ(shell.openedTargets[0], std::u16string(999, u'a'));
    EXPECT_EQ(appState.shellTarget[999], u'\0');
}

TEST_F(WindowProcedureTest, IdsWithoutAnItemDoNothing) {
    writeConfig("config default_theme:Ocean\n");
    listThemes({u"Ocean", u"Lake"}, {});
    runProgram([&] {
        windows.timerCalls.clear();
        for (const std::uint32_t id : {600u, 603u, 650u, 699u, 700u, 900u, 907u, 0u}) {
            EXPECT_EQ(command(id), 0) << id;
        }
        // 603 and beyond name no theme: the running one keeps playing.
        EXPECT_TRUE(windows.timerCalls.empty());
        EXPECT_EQ(appState.currentTheme, u"Ocean");
        EXPECT_TRUE(shell.openedTargets.empty());
        EXPECT_TRUE(windows.postedQuitCodes.empty());
    });
}

TEST_F(WindowProcedureTest, AThemeItemRestartsTheTimerWithThatTheme) {
    writeConfig("config default_theme:Ocean fps:24\n");
    listThemes({u"Ocean"}, {u"VMA_Forest.zip"});
    runProgram([&] {
        shell.tick = 5000;
        appState.panOffset = 3;
        windows.timerCalls.clear();

        EXPECT_EQ(command(602), 1);
        EXPECT_EQ(appState.currentTheme, u"VMA_Forest.zip");
        ASSERT_EQ(windows.timerCalls.size(), 2u);
        EXPECT_FALSE(windows.timerCalls[0].set);
        EXPECT_TRUE(windows.timerCalls[1].set);
        EXPECT_EQ(windows.timerCalls[1].window, windows.createdWindow);
        EXPECT_EQ(windows.timerCalls[1].intervalMs, 41u);

        // Choosing the running theme again starts it from the beginning, like Reload.
        shell.tick = 6000;
        appState.panOffset = 3;
        EXPECT_EQ(command(602), 1);
        EXPECT_EQ(appState.currentTheme, u"VMA_Forest.zip");
        EXPECT_EQ(appState.lastTick, 6000u);
        EXPECT_EQ(appState.panOffset, 0.0f);
        EXPECT_EQ(windows.timerCalls.size(), 4u);
    });
}

TEST_F(WindowProcedureTest, ReloadReadsTheFrameRateAndTheDefaultThemeAgain) {
    runProgram([&] {
        // Nothing named: Reload still starts the (empty) theme and its timer.
        EXPECT_EQ(command(903), 1);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 16u);
        EXPECT_EQ(appState.currentTheme, u"");

        writeConfig("config default_theme:Ocean fps:7\n");
        tickAt(1100);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 16u);
        EXPECT_EQ(command(903), 1);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 142u);
        EXPECT_EQ(appState.currentTheme, u"Ocean");

        // Without the key the rate goes back to 60.
        writeConfig("config default_theme:Lake\n");
        EXPECT_EQ(command(903), 1);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 16u);
        EXPECT_EQ(appState.currentTheme, u"Ocean");
    });
}

TEST_F(WindowProcedureTest, OtherMessages) {
    runProgram([&] {
        EXPECT_EQ(send(kWmKeyDown, 0x41), 0);
        EXPECT_TRUE(windows.defWindowProcCalls.empty());
        EXPECT_EQ(send(0x0005, 7, 8), kFakeDefWindowProcResult);
        EXPECT_EQ(send(kTrayCallbackMessage + 1, 0, kLeftClick), kFakeDefWindowProcResult);
        EXPECT_EQ(windows.defWindowProcCalls, (std::vector<SentMessage>{
                                                  {windows.createdWindow, 0x0005, 7, 8},
                                                  {windows.createdWindow, kTrayCallbackMessage + 1, 0, kLeftClick},
                                              }));
        EXPECT_EQ(send(kWmClose), 0);
        EXPECT_EQ(send(kWmDestroy), 0);
        EXPECT_EQ(windows.postedQuitCodes, (std::vector<int>{0, 0}));
    });
}

class PanningTheme : public WindowProcedureTest {
protected:
    void SetUp() override {
        WindowProcedureTest::SetUp();
        // A scene wider than the 1920-unit desktop, so that the pan moves.
        writeConfig("config default_theme:Wide\nglobal ping_pong:0.001 scale:1\n");
        writeFile("themes/Wide/theme.txt", "params width:4000\n");
    }
};

TEST_F(PanningTheme, PauseAndResumeContinueWithoutAJump) {
    runProgram([&] {
        ASSERT_EQ(appState.lastTick, 1000u);
        tickAt(1016);
        EXPECT_FLOAT_EQ(appState.panOffset, -0.016f);
        EXPECT_EQ(framesDrawn(), 1u);

        shell.tick = 1020;
        EXPECT_EQ(send(kTrayCallbackMessage, 0, kLeftClick), 0);
        EXPECT_FALSE(appState.playing);
        const NotifyCall& paused = shell.notifyCalls.back();
        EXPECT_EQ(paused.action, NotifyIconAction::Modify);
        EXPECT_EQ(paused.record.flags, 2u);
        EXPECT_EQ(paused.record.icon, appState.pauseIcon);
        EXPECT_EQ(paused.record.id, 500u);
        EXPECT_EQ(appState.lastTick, 1020u);

        tickAt(30000);
        tickAt(60000);
        EXPECT_EQ(framesDrawn(), 1u);

        shell.tick = 61000;
        send(kTrayCallbackMessage, 0, kLeftClick);
        EXPECT_TRUE(appState.playing);
        EXPECT_EQ(shell.notifyCalls.back().record.icon, appState.playIcon);
        EXPECT_EQ(appState.lastTick, 61000u);

        tickAt(61016);
        EXPECT_FLOAT_EQ(appState.panOffset, -0.032f);
        EXPECT_EQ(framesDrawn(), 2u);
    });
}

TEST_F(PanningTheme, AThemeChosenWhilePausedIsNotDrawnUntilResumed) {
    listThemes({u"Wide"}, {});
    runProgram([&] {
        send(kTrayCallbackMessage, 0, kLeftClick);
        EXPECT_EQ(command(601), 1);
        tickAt(2000);
        EXPECT_EQ(framesDrawn(), 0u);
        EXPECT_FALSE(appState.playing);
        send(kTrayCallbackMessage, 0, kLeftClick);
        tickAt(2016);
        EXPECT_EQ(framesDrawn(), 1u);
    });
}

TEST_F(WindowProcedureTest, RightClickOpensTheMenuAtThePointerAndFramesGoOn) {
    writeConfig("config default_theme:Ocean\n");
    windows.cursor = PointI{1500, 1040};
    shell.whileMenuOpen = [&] {
        tickAt(1016);
        tickAt(1032);
    };
    runProgram([&] {
        EXPECT_EQ(send(kTrayCallbackMessage, 0, kRightClick), 0);
        ASSERT_EQ(shell.trackedMenus.size(), 1u);
        const TrackedMenu& tracked = shell.trackedMenus[0];
        EXPECT_EQ(tracked.menu, appState.trayMenu);
        EXPECT_EQ(tracked.x, 1500);
        EXPECT_EQ(tracked.y, 1040);
        EXPECT_EQ(tracked.owner, windows.createdWindow);
        EXPECT_EQ(windows.foregroundWindows.back(), windows.createdWindow);
        EXPECT_EQ(framesDrawn(), 2u);

        // Releases, double clicks and moves do nothing.
        for (const std::intptr_t mouse : {0x0200, 0x0202, 0x0203, 0x0205, 0x0206}) {
            EXPECT_EQ(send(kTrayCallbackMessage, 0, mouse), 0);
        }
        EXPECT_EQ(shell.trackedMenus.size(), 1u);
        EXPECT_TRUE(appState.playing);
    });
}

// A device that lets a timer tick in while it works, as a platform call that runs a message
// loop of its own would.
class ReenteringDevice : public RecordingGraphicsDevice {
public:
    explicit ReenteringDevice(const FakeWindowSystem& windows) : windows_(windows) {}
    void beginDraw() override {
        tickInside();
        RecordingGraphicsDevice::beginDraw();
    }
    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override {
        tickInside();
        return RecordingGraphicsDevice::loadPictureFile(path);
    }
    int ticksInside = 0;

private:
    void tickInside() {
        if (inside_) return;
        inside_ = true;
        ++ticksInside;
        windowProcedure(windows_.createdWindow, kWmTimer, kFrameTimerId, 0);
        inside_ = false;
    }
    bool inside_ = false;
    const FakeWindowSystem& windows_;
};

TEST_F(WindowProcedureTest, ATickArrivingDuringAFrameOrALoadIsDropped) {
    ReenteringDevice reentering(windows);
    installPlatform(Platform{&windows, &shell, &reentering});
    writeConfig("config default_theme:Pics\n");
    writeFile("themes/Pics/theme.txt", "floor name:floor\n");

    runProgram([&] {
        EXPECT_EQ(reentering.ticksInside, 1);  // the floor picture
        EXPECT_EQ(reentering.count(DeviceCall::BeginDraw), 0u);
        tickAt(1016);
        EXPECT_EQ(reentering.ticksInside, 2);
        EXPECT_EQ(reentering.count(DeviceCall::BeginDraw), 1u);
        EXPECT_EQ(reentering.count(DeviceCall::PresentFrameBitmap), 1u);
    });
}

TEST_F(WindowProcedureTest, WithoutADesktopTheMenuPauseAndCommandsStillWork) {
    for (const bool noProgman : {true, false}) {
        SCOPED_TRACE(noProgman ? "no Progman" : "device creation fails");
        resetProcessState();
        FakeWindowSystem bare;
        bare.buildDesktop(noProgman ? DesktopLayout::NoProgman : DesktopLayout::Classic);
        FakeShell bareShell;
        bareShell.programPathValue = shell.programPathValue;
        bareShell.tick = 1000;
        RecordingGraphicsDevice bareDevice;
        bareDevice.failImagingFactory = !noProgman;
        bareDevice.registerPicture(programFolder() + kPathSeparator + u"themes" + kPathSeparator + u"Pics" + kPathSeparator + u"floor.png", 320, 40);
        installPlatform(Platform{&bare, &bareShell, &bareDevice});
        writeConfig("config default_theme:Pics\n");
        writeFile("themes/Pics/theme.txt", "floor name:floor\n");
        bareShell.listings[themeFolderPattern(programFolder())] = {u"Pics"};

        bare.queueMessage(kWmTimer, kFrameTimerId);
        bare.queueMessage(kTrayCallbackMessage, 0, kLeftClick);
        bare.queueMessage(kTrayCallbackMessage, 0, kLeftClick);
        bare.queueMessage(kWmCommand, 601);
        bare.queueMessage(kWmCommand, 903);
        bare.queueMessage(kWmCommand, 905);
        bare.queueMessage(kTrayCallbackMessage, 0, kRightClick);
        bare.queueMessage(kWmTimer, kFrameTimerId);
        bare.queueMessage(kWmCommand, 902);

        EXPECT_EQ(runVelmora(kTestInstance), 0);

        if (noProgman) {
            EXPECT_EQ(bare.messageBoxes, (std::vector<ShownMessageBox>{{u"No Progman found.", u"ERROR!"}}));
        } else {
            EXPECT_TRUE(bare.messageBoxes.empty());
        }
        EXPECT_FALSE(desktopHost.frameTarget);
        // Nothing was loaded onto or drawn with the missing device.
        EXPECT_EQ(bareDevice.count(DeviceCall::LoadPictureFile), 0u);
        EXPECT_EQ(bareDevice.count(DeviceCall::BeginDraw), 0u);
        EXPECT_EQ(bareDevice.count(DeviceCall::PresentFrameBitmap), 0u);
        // The rest of the program went on.
        EXPECT_EQ(bareShell.menuItems[appState.trayMenu].size(), 11u);
        ASSERT_EQ(bareShell.notifyCalls.size(), 4u);
        EXPECT_EQ(bareShell.notifyCalls[1].record.icon, FakeShell::iconHandleFor(103));
        EXPECT_EQ(bareShell.notifyCalls[2].record.icon, FakeShell::iconHandleFor(102));
        EXPECT_EQ(bareShell.openedTargets.size(), 1u);
        EXPECT_EQ(bareShell.trackedMenus.size(), 1u);
        // Start-up, the theme item and Reload each started the theme.
        EXPECT_EQ(std::count_if(bare.timerCalls.begin(), bare.timerCalls.end(), [](const TimerCall& c) { return c.set; }), 3);
    }
}

}  // namespace
}  // namespace velmora::testing
