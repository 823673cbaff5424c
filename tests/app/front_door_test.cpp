// The front door's verbs, driven as a platform drives them, and what the player does for each.
#include <gtest/gtest.h>

#include <functional>

#include "app/front_door.h"
#include "app/frame_timer.h"
#include "ground/records.h"
#include "shell_fixture.h"

namespace velmora::testing {
namespace {

using FrontDoorTest = ShellFixture;

struct Case {
    const char* name;
    std::function<void()> verb;
    std::function<void()> check;
};

TEST_F(FrontDoorTest, EachVerbDoesWhatThePlayerIsAsked) {
    writeConfig("config default_theme:Ocean\n");
    listThemes({u"Ocean", u"Lake"}, {u"Sea.zip"});
    const std::vector<Case> cases = {
        {"choose by place", [] { EXPECT_TRUE(chooseTheme(std::size_t{1})); },
         [] { EXPECT_EQ(appState.currentTheme, u"Lake"); }},
        {"a place beyond the list changes nothing", [] { EXPECT_FALSE(chooseTheme(std::size_t{3})); },
         [this] {
             EXPECT_EQ(appState.currentTheme, u"Ocean");
             EXPECT_TRUE(windows.timerCalls.empty());
         }},
        {"choose by name", [] { EXPECT_TRUE(chooseTheme(std::u16string_view(u"Sea.zip"))); },
         [] { EXPECT_EQ(appState.currentTheme, u"Sea.zip"); }},
        {"an unknown name changes nothing", [] { EXPECT_FALSE(chooseTheme(std::u16string_view(u"Pond"))); },
         [] { EXPECT_EQ(appState.currentTheme, u"Ocean"); }},
        {"step back wraps to the last", [] { EXPECT_TRUE(stepTheme(-1)); },
         [] { EXPECT_EQ(appState.currentTheme, u"Sea.zip"); }},
        {"reload starts the theme again", [] { reloadTheme(); },
         [this] {
             EXPECT_EQ(appState.currentTheme, u"Ocean");
             EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 16u);
         }},
        {"pause shows on the icon and stops the frames", [] {
             togglePause();
             timerElapsed(kFrameTimerId);
         },
         [this] {
             EXPECT_FALSE(appState.playing);
             EXPECT_EQ(appState.trayIcon.icon, appState.pauseIcon);
             EXPECT_EQ(framesDrawn(), 0u);
         }},
        {"a frame tick draws one frame", [] { timerElapsed(kFrameTimerId); },
         [this] { EXPECT_EQ(framesDrawn(), 1u); }},
        {"the scene as it stands is drawn without moving on", [] {
             togglePause();
             appState.lastTick = 7;
             drawCurrentFrame();
         },
         [this] {
             EXPECT_EQ(framesDrawn(), 1u);
             EXPECT_EQ(appState.lastTick, 7u);
         }},
        {"a locked session draws nothing until unlocked", [] {
             desktopChanged(DesktopChange::SessionLocked);
             timerElapsed(kFrameTimerId);
             drawCurrentFrame();
         },
         [this] {
             EXPECT_TRUE(desktopWatch.sessionLocked);
             EXPECT_EQ(framesDrawn(), 0u);
             desktopChanged(DesktopChange::SessionUnlocked);
             EXPECT_FALSE(desktopWatch.sessionLocked);
         }},
        {"quit ends the loop with the code", [] { quit(3); },
         [this] { EXPECT_EQ(windows.postedQuitCodes.front(), 3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        writeConfig("config default_theme:Ocean\n");
        listThemes({u"Ocean", u"Lake"}, {u"Sea.zip"});
        runProgram([&] {
            windows.timerCalls.clear();
            device.clearCalls();
            c.verb();
            c.check();
        });
    }
}

TEST(ThemeStepTest, StepsThroughTheListAndWraps) {
    const std::vector<std::u16string> themes = {u"Autumn", u"Beach", u"VMA_City.zip"};
    EXPECT_EQ(themeIndexAfterStep(themes, u"Autumn", 1), 1u);
    EXPECT_EQ(themeIndexAfterStep(themes, u"VMA_City.zip", 1), 0u);
    EXPECT_EQ(themeIndexAfterStep(themes, u"Autumn", -1), 2u);
    EXPECT_EQ(themeIndexAfterStep(themes, u"Beach", -1), 0u);
    // A theme given by a name the list does not hold (config.txt may name it differently).
    EXPECT_EQ(themeIndexAfterStep(themes, u"City", 1), 0u);
    EXPECT_EQ(themeIndexAfterStep(themes, u"", -1), 2u);
    EXPECT_EQ(themeIndexAfterStep({u"Only"}, u"Only", 1), 0u);
    EXPECT_EQ(themeIndexAfterStep({}, u"Only", 1), std::nullopt);
}

}  // namespace
}  // namespace velmora::testing
