#include <gtest/gtest.h>

#include "ground/records.h"
#include "desktop/frame.h"
#include "ports/platform.h"
#include "support/process_state.h"
#include "support/recording_graphics_device.h"

namespace velmora::testing {
namespace {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        installPlatform(Platform{nullptr, nullptr, &device});
        desktopHost.wicFactory = desktopHost.d2dFactory = desktopHost.windowTarget = desktopHost.frameTarget = true;
    }
    void TearDown() override { resetProcessState(); }

    void frame() {
        beginFrame();
        presentFrame();
    }

    RecordingGraphicsDevice device;
};

TEST_F(FrameTest, AFrameStartsClearedToOpaqueBlackAndIsCopiedOnce) {
    frame();
    EXPECT_EQ(device.callSequence(), (std::vector<DeviceCall>{DeviceCall::BeginDraw, DeviceCall::SetTransform, DeviceCall::Clear,
                                                             DeviceCall::EndDraw, DeviceCall::FetchFrameBitmap,
                                                             DeviceCall::PresentFrameBitmap}));
    EXPECT_EQ(device.calls()[1].transform, Matrix3x2::identity());
    const ColorF black = device.calls()[2].color;
    EXPECT_EQ(black.r, 0.0f);
    EXPECT_EQ(black.g, 0.0f);
    EXPECT_EQ(black.b, 0.0f);
    EXPECT_EQ(black.a, 1.0f);
}

TEST_F(FrameTest, AFailedEndShowsThePreviousFrameAgain) {
    device.failEndDraw = true;
    frame();
    // Nothing was ever finished: nothing to show.
    EXPECT_EQ(device.count(DeviceCall::FetchFrameBitmap), 0u);
    EXPECT_EQ(device.count(DeviceCall::PresentFrameBitmap), 0u);

    device.failEndDraw = false;
    frame();
    device.failEndDraw = true;
    device.clearCalls();
    frame();
    EXPECT_EQ(device.callSequence(), (std::vector<DeviceCall>{DeviceCall::BeginDraw, DeviceCall::SetTransform, DeviceCall::Clear,
                                                             DeviceCall::EndDraw, DeviceCall::PresentFrameBitmap}));
}

TEST_F(FrameTest, WithoutAFrameTargetNothingIsTouched) {
    desktopHost.frameTarget = false;
    frame();
    EXPECT_TRUE(device.calls().empty());
}

}  // namespace
}  // namespace velmora::testing
