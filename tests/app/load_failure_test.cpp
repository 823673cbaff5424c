// Whatever a theme makes the program throw (memory, a length beyond the library's, a system
// error), the window procedure lets nothing out: the theme is left empty, the timer and the
// menu go on, and the next reload tries again.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <system_error>

#include "app/frame_timer.h"
#include "app/menu.h"
#include "platform/win32/window_messages.h"
#include "ground/records.h"
#include "ports/platform.h"
#include "shell_fixture.h"

namespace velmora::testing {

using namespace velmora::win32;
namespace {

// The recording device, except that its picture loads or its drawing throw while told to.
class ThrowingDevice : public RecordingGraphicsDevice {
public:
    bool throwOnLoad = false;
    bool throwOnDraw = false;
    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override {
        if (throwOnLoad) throw std::bad_alloc();
        return RecordingGraphicsDevice::loadPictureFile(path);
    }
    void drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) override {
        if (throwOnDraw) throw std::system_error(std::make_error_code(std::errc::io_error));
        RecordingGraphicsDevice::drawBitmap(bitmap, dest, opacity, mode);
    }
};

class LoadFailure : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        installPlatform(Platform{&windows, &shell, &throwing});
        writeConfig("config default_theme:Ocean fps:20\n");
        writeFile("themes/Ocean/theme.txt", "params width:1920\nfloor name:floor\nadd_sprite name:rock instances:2\n");
        listThemes({u"Ocean"}, {});
        const std::string themeFolder = (folder / "themes" / "Ocean").string();
        throwing.registerPicture(themeFolder + "/floor.png", 1920, 40);
        throwing.registerPicture(themeFolder + "/rock_1_1.png", 8, 8);
    }

    bool themeIsEmpty() const {
        return theme.floorName.empty() && theme.backSpriteCount == 0 && !theme.floorImage.bitmap && throwing.liveBitmaps() == 0;
    }

    ThrowingDevice throwing;
};

TEST_F(LoadFailure, AThrowingLoadAtStartLeavesAnEmptyThemeAndARunningLoop) {
    throwing.throwOnLoad = true;
    const int exitCode = runProgram([&] {
        EXPECT_TRUE(themeIsEmpty());
        EXPECT_EQ(appState.currentTheme, u"Ocean");
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 50u);
        // The empty scene is drawn frame after frame.
        tickAt(1100);
        tickAt(1150);
        EXPECT_EQ(throwing.count(DeviceCall::BeginDraw), 2u);

        // The menu's Reload tries again, and succeeds once the pictures load.
        EXPECT_EQ(command(903), 1);
        EXPECT_TRUE(themeIsEmpty());
        throwing.throwOnLoad = false;
        EXPECT_EQ(command(903), 1);
        EXPECT_EQ(theme.floorName, u"floor");
        EXPECT_EQ(theme.backSpriteCount, 1);
        EXPECT_EQ(throwing.liveBitmaps(), 2);
        tickAt(1200);
        EXPECT_EQ(throwing.count(DeviceCall::BeginDraw), 3u);
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 50u);
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(windows.loopRan);
    EXPECT_EQ(windows.postedQuitCodes, (std::vector<int>{0}));
}

TEST_F(LoadFailure, AThemeChosenFromTheMenuThatThrowsEmptiesTheRunningOne) {
    listThemes({u"Ocean", u"Lake"}, {});
    writeFile("themes/Lake/theme.txt", "floor name:floor\n");
    runProgram([&] {
        ASSERT_EQ(theme.floorName, u"floor");
        throwing.throwOnLoad = true;
        EXPECT_EQ(command(kFirstThemeCommand + 1), 1);
        EXPECT_EQ(appState.currentTheme, u"Lake");
        EXPECT_TRUE(themeIsEmpty());
        EXPECT_EQ(windows.runningTimer(windows.createdWindow, kFrameTimerId), 50u);
    });
}

TEST_F(LoadFailure, AFrameThatThrowsIsSkippedAndTheNextOneIsDrawn) {
    runProgram([&] {
        ASSERT_EQ(throwing.liveBitmaps(), 2);
        throwing.throwOnDraw = true;
        EXPECT_EQ(send(kWmTimer, kFrameTimerId), 0);
        EXPECT_FALSE(appState.sceneBusy);
        throwing.throwOnDraw = false;
        const std::size_t before = throwing.count(DeviceCall::DrawBitmap);
        tickAt(1300);
        EXPECT_GT(throwing.count(DeviceCall::DrawBitmap), before);
        // The pause and the menu still answer.
        EXPECT_EQ(send(kTrayCallbackMessage, 0, kWmLButtonDown), 0);
        EXPECT_FALSE(appState.playing);
    });
}

}  // namespace
}  // namespace velmora::testing
