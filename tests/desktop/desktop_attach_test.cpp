#include <gtest/gtest.h>

#include "desktop/desktop_attach.h"
#include "ground/records.h"
#include "ports/platform.h"
#include "support/fake_window_system.h"
#include "support/process_state.h"
#include "support/recording_graphics_device.h"

namespace velmora::testing {
namespace {

constexpr std::uint32_t kSpawnWorker = 0x052C;

class DesktopAttachTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        installPlatform(Platform{&windows, nullptr, &device});
    }
    void TearDown() override { resetProcessState(); }

    std::vector<SentMessage> firstPair() const {
        return {{windows.progman(), kSpawnWorker, 13, 0}, {windows.progman(), kSpawnWorker, 13, 1}};
    }

    FakeWindowSystem windows;
    RecordingGraphicsDevice device;
};

TEST_F(DesktopAttachTest, FirstPairIsEnoughForTheClassicShell) {
    windows.buildDesktop(DesktopLayout::Classic);
    EXPECT_TRUE(findDesktopWindow());
    EXPECT_EQ(desktopHost.progman, windows.progman());
    // Not the "WorkerW" that comes before the window holding the icons.
    EXPECT_EQ(desktopHost.workerW, windows.spawnedWorkerW());
    EXPECT_EQ(windows.sentMessages, firstPair());
    EXPECT_EQ(windows.enumerations, 1);
    EXPECT_TRUE(windows.messageBoxes.empty());
}

TEST_F(DesktopAttachTest, SecondAttemptWithBothParametersZero) {
    windows.buildDesktop(DesktopLayout::SecondAttempt);
    EXPECT_TRUE(findDesktopWindow());
    EXPECT_EQ(desktopHost.workerW, windows.spawnedWorkerW());
    std::vector<SentMessage> expected = firstPair();
    expected.push_back({windows.progman(), kSpawnWorker, 0, 0});
    EXPECT_EQ(windows.sentMessages, expected);
    EXPECT_EQ(windows.enumerations, 2);
    EXPECT_TRUE(windows.messageBoxes.empty());
}

TEST_F(DesktopAttachTest, WorkerWAsAChildOfProgmanIsFoundLast) {
    windows.buildDesktop(DesktopLayout::ChildOfProgman);
    EXPECT_TRUE(findDesktopWindow());
    ASSERT_NE(windows.spawnedWorkerW(), 0u);
    EXPECT_EQ(desktopHost.workerW, windows.spawnedWorkerW());
    EXPECT_EQ(windows.sentMessages.size(), 3u);
    EXPECT_EQ(windows.enumerations, 2);
    EXPECT_TRUE(windows.messageBoxes.empty());
}

TEST_F(DesktopAttachTest, AShellThatNeverAnswersIsReportedAndNothingIsCreated) {
    windows.buildDesktop(DesktopLayout::NeverAnswers);
    EXPECT_FALSE(attachDesktop());
    EXPECT_EQ(desktopHost.workerW, 0u);
    EXPECT_EQ(windows.enumerations, 2);
    EXPECT_EQ(windows.messageBoxes, (std::vector<ShownMessageBox>{{u"No WorkerW found.", u"ERROR!"}}));
    EXPECT_TRUE(device.calls().empty());
    EXPECT_FALSE(desktopHost.wicFactory);
}

TEST_F(DesktopAttachTest, WithoutProgmanNothingIsSent) {
    windows.buildDesktop(DesktopLayout::NoProgman);
    EXPECT_FALSE(attachDesktop());
    EXPECT_EQ(windows.messageBoxes, (std::vector<ShownMessageBox>{{u"No Progman found.", u"ERROR!"}}));
    EXPECT_TRUE(windows.sentMessages.empty());
    EXPECT_EQ(windows.enumerations, 0);
    EXPECT_TRUE(device.calls().empty());
}

TEST_F(DesktopAttachTest, TheLastWindowHoldingTheIconsDecidesEvenWhenNothingFollowsIt) {
    // Progman does not answer; two windows hold an icon view.
    const WindowHandle progman = windows.addTopLevel(u"Progman");
    const WindowHandle first = windows.addTopLevel(u"WorkerW");
    windows.addChild(first, u"SHELLDLL_DefView");
    windows.addTopLevel(u"WorkerW");  // behind the first holder
    const WindowHandle last = windows.addTopLevel(u"Other");
    windows.addChild(last, u"SHELLDLL_DefView");

    // The last holder has no "WorkerW" after it: the null it finds replaces the earlier one.
    EXPECT_FALSE(findDesktopWindow());
    EXPECT_EQ(desktopHost.progman, progman);
    EXPECT_EQ(desktopHost.workerW, 0u);
    EXPECT_EQ(windows.enumerations, 2);
    EXPECT_EQ(windows.messageBoxes.size(), 1u);

    // Visited last, the first holder's "WorkerW" wins.
    resetProcessState();
    FakeWindowSystem reordered;
    installPlatform(Platform{&reordered, nullptr, &device});
    reordered.addTopLevel(u"Progman");
    const WindowHandle other = reordered.addTopLevel(u"Other");
    reordered.addChild(other, u"SHELLDLL_DefView");
    const WindowHandle holder = reordered.addTopLevel(u"WorkerW");
    reordered.addChild(holder, u"SHELLDLL_DefView");
    const WindowHandle behind = reordered.addTopLevel(u"WorkerW");
    EXPECT_TRUE(findDesktopWindow());
    EXPECT_EQ(desktopHost.workerW, behind);
    EXPECT_EQ(reordered.enumerations, 1);
}

TEST_F(DesktopAttachTest, AttachMeasuresTheDesktopAndMakesTheTargets) {
    windows.buildDesktop(DesktopLayout::Classic, RectI{-1280, -200, 1920, 1080});
    EXPECT_TRUE(attachDesktop());

    EXPECT_EQ(device.callSequence(), (std::vector<DeviceCall>{DeviceCall::CreateImagingFactory, DeviceCall::CreateDrawingFactory,
                                                             DeviceCall::CreateWindowTarget, DeviceCall::CreateFrameTarget}));
    const RecordedCall target = device.callsOf(DeviceCall::CreateWindowTarget).at(0);
    EXPECT_EQ(target.window, windows.spawnedWorkerW());
    EXPECT_EQ(target.pixelWidth, 3200u);
    EXPECT_EQ(target.pixelHeight, 1280u);
    EXPECT_EQ(desktopHost.desktopLeft, -1280.0f);
    EXPECT_EQ(desktopHost.desktopTop, -200.0f);
    EXPECT_EQ(desktopHost.desktopWidth, 3200.0f);
    EXPECT_EQ(desktopHost.desktopHeight, 1280.0f);
    EXPECT_TRUE(desktopHost.wicFactory && desktopHost.d2dFactory && desktopHost.windowTarget && desktopHost.frameTarget);
}

TEST_F(DesktopAttachTest, AFailingStepLeavesTheLaterObjectsUncreated) {
    for (int failing = 0; failing < 4; ++failing) {
        SCOPED_TRACE(failing);
        resetProcessState();
        FakeWindowSystem desktop;
        desktop.buildDesktop(DesktopLayout::Classic);
        RecordingGraphicsDevice failingDevice;
        failingDevice.failImagingFactory = failing == 0;
        failingDevice.failDrawingFactory = failing == 1;
        failingDevice.failWindowTarget = failing == 2;
        failingDevice.failFrameTarget = failing == 3;
        installPlatform(Platform{&desktop, nullptr, &failingDevice});

        EXPECT_FALSE(attachDesktop());
        EXPECT_EQ(failingDevice.calls().size(), static_cast<std::size_t>(failing + 1));
        EXPECT_EQ(desktopHost.wicFactory, failing > 0);
        EXPECT_EQ(desktopHost.d2dFactory, failing > 1);
        EXPECT_EQ(desktopHost.windowTarget, failing > 2);
        EXPECT_FALSE(desktopHost.frameTarget);
        // The device is silent about it.
        EXPECT_TRUE(desktop.messageBoxes.empty());
    }
}

}  // namespace
}  // namespace velmora::testing
