// The decisions about a desktop that changed: is the window gone, did the size change, and
// finding the desktop again without telling the user.
#include <gtest/gtest.h>

#include "desktop/desktop_attach.h"
#include "desktop/desktop_changes.h"
#include "ground/records.h"
#include "ports/platform.h"
#include "support/fake_window_system.h"
#include "support/process_state.h"
#include "support/recording_graphics_device.h"

namespace velmora::testing {
namespace {

class DesktopChangesTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        installPlatform(Platform{&windows, nullptr, &device});
    }
    void TearDown() override { resetProcessState(); }

    FakeWindowSystem windows;
    RecordingGraphicsDevice device;
};

TEST_F(DesktopChangesTest, TheWindowIsGoneWhenNeverFoundDestroyedOrProgmanIsAnotherWindow) {
    EXPECT_TRUE(desktopWindowGone());  // nothing found yet

    windows.buildDesktop(DesktopLayout::Classic);
    ASSERT_TRUE(attachDesktop());
    EXPECT_FALSE(desktopWindowGone());

    // A new shell whose windows happen to leave the old "WorkerW" handle alive elsewhere is
    // still a new shell: "Progman" is another window.
    const WindowHandle oldWorkerW = desktopHost.workerW;
    windows.restartShell(DesktopLayout::Classic);
    EXPECT_FALSE(windows.exists(oldWorkerW));
    EXPECT_TRUE(desktopWindowGone());

    ASSERT_EQ(reattachDesktop(), Reattach::Done);
    EXPECT_FALSE(desktopWindowGone());
    windows.addTopLevel(u"Progman");  // a second "Progman" after the first changes nothing
    EXPECT_FALSE(desktopWindowGone());
}

TEST_F(DesktopChangesTest, FindingAgainIsSilentAndSaysWhatFailed) {
    windows.buildDesktop(DesktopLayout::NeverAnswers);
    EXPECT_EQ(reattachDesktop(), Reattach::NoDesktopWindow);
    windows.restartShell(DesktopLayout::NoProgman);
    EXPECT_EQ(reattachDesktop(), Reattach::NoDesktopWindow);
    EXPECT_TRUE(windows.messageBoxes.empty());

    windows.restartShell(DesktopLayout::Classic);
    device.failFrameTarget = true;
    EXPECT_EQ(reattachDesktop(), Reattach::NoTargets);
    EXPECT_TRUE(desktopHost.windowTarget);
    EXPECT_FALSE(desktopHost.frameTarget);
    // The factories are made once; later attempts make only the targets.
    device.failFrameTarget = false;
    EXPECT_EQ(reattachDesktop(), Reattach::Done);
    EXPECT_EQ(device.count(DeviceCall::CreateImagingFactory), 1u);
    EXPECT_EQ(device.count(DeviceCall::CreateWindowTarget), 2u);
}

TEST_F(DesktopChangesTest, TheSizeChangesWithTheDesktopWindowsRectangle) {
    windows.buildDesktop(DesktopLayout::Classic, RectI{0, 0, 1920, 1080});
    ASSERT_TRUE(attachDesktop());
    EXPECT_FALSE(desktopSizeChanged());
    windows.resizeDesktop(RectI{-1280, 0, 1920, 1080});  // a monitor added on the left
    EXPECT_TRUE(desktopSizeChanged());
    ASSERT_TRUE(createDesktopDevice());
    EXPECT_FALSE(desktopSizeChanged());
    EXPECT_EQ(desktopHost.desktopLeft, -1280.0f);
    EXPECT_EQ(desktopHost.desktopWidth, 3200.0f);
    EXPECT_EQ(device.callsOf(DeviceCall::CreateWindowTarget).back().pixelWidth, 3200u);
    // The old targets were let go before the new ones were made.
    const auto sequence = device.callSequence();
    EXPECT_EQ(std::vector<DeviceCall>(sequence.end() - 3, sequence.end()),
              (std::vector<DeviceCall>{DeviceCall::ReleaseTargets, DeviceCall::CreateWindowTarget, DeviceCall::CreateFrameTarget}));
}

TEST_F(DesktopChangesTest, On24H2TheDesktopIsTheClientAreaOfProgman) {
    windows.buildDesktop(DesktopLayout::ChildOfProgman, RectI{-1920, 0, 1920, 1080});
    ASSERT_TRUE(attachDesktop());
    EXPECT_TRUE(desktopHost.progmanChildren);
    EXPECT_EQ(drawingWindow(), desktopHost.sceneWindow);
    EXPECT_EQ(desktopHost.desktopLeft, -1920.0f);
    EXPECT_EQ(desktopHost.desktopWidth, 3840.0f);
    EXPECT_EQ(windows.getWindowRect(desktopHost.sceneWindow).left, -1920);

    // Without a window of its own nothing is drawn there.
    windows.failLayeredChild = true;
    destroySceneWindow();
    EXPECT_FALSE(createDesktopDevice());
    EXPECT_FALSE(desktopHost.windowTarget);
}

}  // namespace
}  // namespace velmora::testing
