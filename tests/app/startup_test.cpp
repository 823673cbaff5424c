#include <gtest/gtest.h>

#include <algorithm>

#include "ground/records.h"
#include "app/frame_timer.h"
#include "app/menu.h"
#include "app/shell_texts.h"
#include "app/startup.h"
#include "platform/win32/window_messages.h"
#include "ports/platform.h"
#include "support/process_state.h"
#include "resources/theme_source.h"
#include "ground/random.h"
#include "shell_fixture.h"

namespace velmora::testing {

using namespace velmora::win32;
namespace {

using StartupTest = ShellFixture;

std::ptrdiff_t positionOf(const std::vector<std::string>& events, const std::string& event) {
    auto it = std::find(events.begin(), events.end(), event);
    return it == events.end() ? -1 : it - events.begin();
}

TEST_F(StartupTest, TheFirstThemeRunsBeforeTheMenuAndTheIconExist) {
    writeConfig("config default_theme:Ocean fps:30\n");
    listThemes({u".", u"..", u"VMA_Night_Sky", u"Ocean"}, {u"VMA_Forest_Rain.zip"});

    bool frameTarget = false;
    EXPECT_EQ(runProgram([&] { frameTarget = desktopHost.frameTarget; }), 0);

    const std::ptrdiff_t created = positionOf(events, "createWindow done");
    const std::ptrdiff_t timer = positionOf(events, "setTimer");
    const std::ptrdiff_t menu = positionOf(events, "createPopupMenu");
    const std::ptrdiff_t icon = positionOf(events, "notifyIcon Add");
    const std::ptrdiff_t loop = positionOf(events, "runMessageLoop");
    ASSERT_GE(timer, 0);
    EXPECT_LT(timer, created);
    EXPECT_LT(created, menu);
    EXPECT_LT(menu, icon);
    EXPECT_LT(icon, loop);
    EXPECT_LT(positionOf(events, "heapTermination"), positionOf(events, "initializeCom"));
    EXPECT_LT(positionOf(events, "initializeCom"), positionOf(events, "registerWindowClass"));

    EXPECT_EQ(appState.programFolder, programFolder());
    EXPECT_EQ(appState.mainWindow, windows.createdWindow);
    EXPECT_EQ(appState.currentTheme, u"Ocean");
    EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 33u);
    // The device was made on the desktop before the theme was loaded (and released at exit).
    EXPECT_TRUE(frameTarget);
    EXPECT_EQ(desktopHost.workerW, windows.spawnedWorkerW());
}

TEST_F(StartupTest, BuildsTheMenuFromBothThemeSearches) {
    listThemes({u".", u"..", u"VMA_Night_Sky", u"Ocean"}, {u"VMA_Forest_Rain.zip"});
    runProgram();

    EXPECT_EQ(shell.searchedPatterns, (std::vector<std::u16string>{
                                          programFolder() + kPathSeparator + u"themes" + kPathSeparator + u"*.",
                                          programFolder() + kPathSeparator + u"themes" + kPathSeparator + u"*.zip",
                                      }));
    ASSERT_EQ(shell.createdMenus.size(), 1u);
    EXPECT_EQ(appState.trayMenu, shell.createdMenus[0]);
    EXPECT_EQ(shell.menuItems[appState.trayMenu], buildTrayMenuModel({u"VMA_Night_Sky", u"Ocean"}, {u"VMA_Forest_Rain.zip"}).items);
    EXPECT_EQ(appState.themeList, (ThemeList{u"VMA_Night_Sky", u"Ocean", u"VMA_Forest_Rain.zip"}));
    EXPECT_EQ(appState.themeCount, 3);
}

TEST_F(StartupTest, IconsClassAndTrayRecord) {
    EXPECT_EQ(runProgram(), 0);

    ASSERT_EQ(shell.loadedIcons.size(), 3u);
    EXPECT_EQ(shell.loadedIcons[0].resourceId, 100);
    EXPECT_EQ(shell.loadedIcons[0].size, 32);
    EXPECT_EQ(shell.loadedIcons[1].resourceId, 102);
    EXPECT_EQ(shell.loadedIcons[1].size, 16);
    EXPECT_EQ(shell.loadedIcons[2].resourceId, 103);
    EXPECT_EQ(shell.loadedIcons[2].size, 16);
    for (const LoadedIcon& icon : shell.loadedIcons) EXPECT_EQ(icon.instance, kTestInstance);

    ASSERT_EQ(windows.registeredClasses.size(), 1u);
    const WindowClassInfo& info = windows.registeredClasses[0];
    EXPECT_EQ(info.className, u"VMA");
    EXPECT_EQ(info.instance, kTestInstance);
    EXPECT_EQ(info.icon, FakeShell::iconHandleFor(100));
    EXPECT_EQ(info.smallIcon, FakeShell::iconHandleFor(102));
    EXPECT_EQ(windows.classOf(windows.createdWindow), u"VMA");

    ASSERT_EQ(shell.notifyCalls.size(), 2u);
    const NotifyCall& add = shell.notifyCalls[0];
    EXPECT_EQ(add.action, NotifyIconAction::Add);
    EXPECT_EQ(add.record.size, 976u);
    EXPECT_EQ(add.record.window, windows.createdWindow);
    EXPECT_EQ(add.record.id, 500u);
    EXPECT_EQ(add.record.flags, 7u);
    EXPECT_EQ(add.record.callbackMessage, 99999u);
    EXPECT_EQ(add.record.icon, FakeShell::iconHandleFor(102));
    EXPECT_EQ(std::u16string(add.record.tip), trayTipText());

    // Shut-down: the icon is removed with id 500 and no flags; the icons are given back.
    const NotifyCall& removal = shell.notifyCalls[1];
    EXPECT_EQ(removal.action, NotifyIconAction::Delete);
    EXPECT_EQ(removal.record.id, 500u);
    EXPECT_EQ(removal.record.flags, 0u);
    EXPECT_EQ(removal.record.window, windows.createdWindow);
    EXPECT_EQ(shell.destroyedIcons.size(), 3u);
}

TEST_F(StartupTest, AMissingIconStaysNullAndIsNotDestroyed) {
    shell.missingIcons = {103};
    runProgram([&] {
        send(kTrayCallbackMessage, 0, kWmLButtonDown);
        EXPECT_EQ(shell.notifyCalls.back().record.icon, 0u);
    });
    EXPECT_EQ(shell.destroyedIcons, (std::vector<IconHandle>{FakeShell::iconHandleFor(100), FakeShell::iconHandleFor(102)}));
}

TEST_F(StartupTest, ASecondInstanceBringsTheFirstForwardAndCreatesNothing) {
    const WindowHandle running = windows.addTopLevel(u"VMA");

    EXPECT_EQ(runVelmora(kTestInstance), 1);

    EXPECT_EQ(windows.foregroundWindows, (std::vector<WindowHandle>{running}));
    EXPECT_TRUE(shell.loadedIcons.empty());
    EXPECT_TRUE(windows.registeredClasses.empty());
    EXPECT_EQ(windows.createdWindow, 0u);
    EXPECT_TRUE(shell.createdMenus.empty());
    EXPECT_TRUE(shell.notifyCalls.empty());
    EXPECT_FALSE(windows.loopRan);
    EXPECT_TRUE(device.calls().empty());
}

TEST_F(StartupTest, ClassOrWindowFailureEndsWithOneAndNoIcon) {
    for (const bool classFails : {true, false}) {
        SCOPED_TRACE(classFails ? "class" : "window");
        FakeWindowSystem failing;
        failing.buildDesktop(DesktopLayout::Classic);
        failing.failRegisterClass = classFails;
        failing.failCreateWindow = !classFails;
        FakeShell failingShell;
        failingShell.programPathValue = shell.programPathValue;
        installPlatform(Platform{&failing, &failingShell, &device});

        EXPECT_EQ(runVelmora(kTestInstance), 1);
        EXPECT_EQ(failing.createdWindow, 0u);
        EXPECT_TRUE(failingShell.createdMenus.empty());
        EXPECT_TRUE(failingShell.notifyCalls.empty());
        EXPECT_FALSE(failing.loopRan);
        EXPECT_EQ(failingShell.destroyedIcons.size(), 3u);
    }
}

TEST_F(StartupTest, CreationSeedsTheGeneratorWithTheTickCount) {
    // No theme is named, so nothing draws from the generator during start-up.
    shell.tick = 4242;
    std::int32_t firstDraw = -1;
    runProgram([&] { firstDraw = nextRandom(); });
    seedRandom(4242);
    EXPECT_EQ(firstDraw, nextRandom());
}

TEST_F(StartupTest, WithoutANamedThemeNoTimerRunsAndNothingIsLoaded) {
    writeFile("themes/Pics/theme.txt", "floor name:floor\n");
    listThemes({u"Pics"}, {});
    runProgram();
    EXPECT_TRUE(windows.timerCalls.empty());
    EXPECT_EQ(appState.currentTheme, u"");
    EXPECT_EQ(device.count(DeviceCall::LoadPictureFile), 0u);
}

}  // namespace
}  // namespace velmora::testing
