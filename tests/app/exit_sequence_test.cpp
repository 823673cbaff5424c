// The way out after the desktop changed under the program many times: display changes, a lost
// device and shell restarts, then "&Exit". Every picture and target the rebuilds made is given
// back once, in order, before start-up returns, and the program ends with 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "app/desktop_recovery.h"
#include "app/frame_timer.h"
#include "ground/records.h"
#include "platform/win32/window_messages.h"
#include "resources/theme_source.h"
#include "shell_fixture.h"

namespace velmora::testing {

using namespace velmora::win32;
namespace {

std::ptrdiff_t lastPositionOf(const std::vector<std::string>& events, const std::string& event) {
    const auto it = std::find(events.rbegin(), events.rend(), event);
    return it == events.rend() ? -1 : static_cast<std::ptrdiff_t>(events.rend() - it) - 1;
}

class ExitSequenceTest : public ShellFixture, public ::testing::WithParamInterface<DesktopLayout> {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        if (GetParam() != DesktopLayout::Classic) windows.restartShell(GetParam());
        writeConfig("config default_theme:Pics fps:25\n");
        // The floor and the ceiling name one picture: one bitmap shared by two frames.
        writeFile("themes/Pics/theme.txt", "floor name:floor\nceiling name:floor\n");
        const std::u16string pics = programFolder() + u"themes" + kPathSeparator + u"Pics" + kPathSeparator;
        device.registerPicture(pics + u"floor.png", 320, 40);
    }

    void fire(std::uintptr_t timerId) { send(kWmTimer, timerId); }
    void tick() {
        tickCount_ += 40;
        tickAt(tickCount_);
    }

    std::uint32_t tickCount_ = 1000;
};

TEST_P(ExitSequenceTest, ManyRebuildsThenExitReleaseEverythingInOrderAndEndWithZero) {
    // The sizes of the shrinking desktop that once ended the program with a fault at exit.
    constexpr std::array<RectI, 3> kSizes{RectI{0, 0, 800, 510}, RectI{0, 0, 640, 480}, RectI{0, 0, 1920, 1080}};
    constexpr int kRounds = 40;
    int roundsDrawn = 0;
    const int code = runProgram([&] {
        tick();
        for (int round = 0; round < kRounds; ++round) {
            const RectI size = kSizes[static_cast<std::size_t>(round) % kSizes.size()];
            windows.resizeDesktop(size);
            for (int i = 0; i < 3; ++i) send(kWmDisplayChange, 32, (size.bottom << 16) | size.right);
            fire(kDisplaySettleTimerId);
            tick();

            device.loseTargets = true;
            tick();
            device.loseTargets = false;
            if (windows.runningTimer(windows.createdWindow, kRebuildTimerId)) fire(kRebuildTimerId);
            tick();

            windows.restartShell(GetParam());
            send(windows.registerWindowMessage(u"TaskbarCreated"));
            if (windows.runningTimer(windows.createdWindow, kShellRestartTimerId)) fire(kShellRestartTimerId);

            // Every round ends on working targets with the theme's pictures on them.
            const std::size_t before = framesDrawn();
            tick();
            if (desktopHost.frameTarget && device.liveBitmaps() > 0 && framesDrawn() == before + 1) ++roundsDrawn;
        }
    });

    EXPECT_EQ(code, 0);
    EXPECT_EQ(roundsDrawn, kRounds);
    // Nothing made on the device outlives start-up's return.
    EXPECT_EQ(device.liveBitmaps(), 0);
    EXPECT_FALSE(desktopHost.windowTarget || desktopHost.frameTarget);
    ASSERT_FALSE(device.calls().empty());
    EXPECT_EQ(device.calls().back().call, DeviceCall::ReleaseTargets);
    // The icon goes first, the targets after the loop, the scene window (24H2) after them.
    const std::ptrdiff_t iconGone = lastPositionOf(events, "notifyIcon Delete");
    const std::ptrdiff_t targetsGone = lastPositionOf(events, "releaseTargets");
    ASSERT_GE(iconGone, 0);
    EXPECT_GT(targetsGone, iconGone);
    if (GetParam() == DesktopLayout::ChildOfProgman) {
        EXPECT_GT(lastPositionOf(events, "destroyWindow"), targetsGone);
        EXPECT_TRUE(windows.layeredChildren.size() > 1 && !windows.exists(windows.layeredChildren.back().handle));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExitSequenceTest, ::testing::Values(DesktopLayout::Classic, DesktopLayout::ChildOfProgman));

}  // namespace
}  // namespace velmora::testing
