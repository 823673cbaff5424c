// Where the Wayland outputs lie in the desktop player's frame, and the desktop player's lock.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/posix/instance_lock.h"
#include "platform/linux/wayland/output_layout.h"
#include "support/temp_folder.h"

namespace velmora::wayland {
namespace {

bool operator==(const RectI& a, const RectI& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(OutputLayoutTest, PlacesOutputsInPhysicalPixels) {
    struct Case {
        const char* what;
        std::vector<OutputPlace> outputs;
        std::vector<RectI> rects;
        RectI bounds;
    };
    const std::vector<Case> cases = {
        {"one scale: outputs touch as on screen", {{0, 0, 1280, 720, 2}, {1280, 0, 1280, 720, 2}},
         {{0, 0, 2560, 1440}, {2560, 0, 5120, 1440}}, {0, 0, 5120, 1440}},
        {"mixed scales: at the largest scale's positions, each its own size, none overlapping",
         {{0, 0, 1280, 720, 2}, {1280, 0, 1920, 1080, 1}}, {{0, 0, 2560, 1440}, {2560, 0, 4480, 1080}}, {0, 0, 4480, 1440}},
        {"an output left of and above the origin", {{-800, -600, 800, 600, 1}, {0, 0, 1024, 768, 1}},
         {{-800, -600, 0, 0}, {0, 0, 1024, 768}}, {-800, -600, 1024, 768}},
        {"an output not yet sized is left out of the bounds", {{0, 0, 0, 0, 1}, {100, 0, 640, 480, 1}},
         {{0, 0, 0, 0}, {100, 0, 740, 480}}, {100, 0, 740, 480}},
        {"scales out of range are taken as 1 and 8", {{0, 0, 100, 100, 0}, {100, 0, 100, 100, 99}},
         {{0, 0, 100, 100}, {800, 0, 1600, 800}}, {0, 0, 1600, 800}},
        {"positions far out do not wrap", {{2147483000, 0, 4000, 10, 1}}, {{2147483000, 0, 2147483647, 10}},
         {2147483000, 0, 2147483647, 10}},
    };
    for (const Case& c : cases) {
        const std::vector<RectI> rects = placeOutputs(c.outputs);
        ASSERT_EQ(rects.size(), c.rects.size()) << c.what;
        for (std::size_t i = 0; i < rects.size(); ++i) {
            EXPECT_TRUE(rects[i] == c.rects[i]) << c.what << ", output " << i << ": " << rects[i].left << "," << rects[i].top << ","
                                                << rects[i].right << "," << rects[i].bottom;
        }
        EXPECT_TRUE(boundsOf(rects) == c.bounds) << c.what;
    }
    EXPECT_TRUE(boundsOf({}) == RectI{});
}

TEST(OutputLayoutTest, BuffersAreBoundedAndThePrimaryHoldsTheOrigin) {
    EXPECT_FALSE(bufferSize({0, 0, 0, 720, 1}));
    EXPECT_EQ(bufferSize({0, 0, 1280, 720, 3})->width, 3840);
    EXPECT_EQ(bufferSize({0, 0, 100000, 720, 8})->width, kMaxOutputSide);
    using Order = std::vector<std::size_t>;
    EXPECT_EQ(primaryFirst({{1920, 0, 1280, 720, 1}, {0, 0, 1920, 1080, 1}, {-500, 0, 500, 500, 1}}), (Order{1, 0, 2}));
    // No output holds the origin: the order stays.
    EXPECT_EQ(primaryFirst({{10, 0, 100, 100, 1}, {200, 0, 100, 100, 1}}), (Order{0, 1}));
    EXPECT_EQ(primaryFirst({}), Order{});
}

TEST(InstanceLockTest, OnePlayerPerDisplayUntilItEnds) {
    EXPECT_EQ(posix::desktopLockPath("/run/user/1000", "wayland-1"), "/run/user/1000/velmora-desktop-wayland-1.lock");
    EXPECT_EQ(posix::desktopLockPath("/run/user/1000/", "/tmp/sock/w"), "/run/user/1000/velmora-desktop-_tmp_sock_w.lock");
    EXPECT_EQ(posix::desktopLockPath(nullptr, "wayland-1"), "");
    EXPECT_EQ(posix::desktopLockPath("", "wayland-1"), "");

    testing::TempFolder dir;
    const std::string path = (dir.path() / "desktop.lock").string();
    {
        posix::InstanceLock first;
        ASSERT_EQ(first.take(path), posix::InstanceLock::Result::Taken);
        // Another process finds it held (flock is per open file, so a second open here would too).
        const pid_t child = fork();
        if (child == 0) {
            posix::InstanceLock second;
            _exit(second.take(path) == posix::InstanceLock::Result::HeldByAnother ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    posix::InstanceLock again;
    EXPECT_EQ(again.take(path), posix::InstanceLock::Result::Taken);
    posix::InstanceLock nowhere;
    EXPECT_EQ(nowhere.take((dir.path() / "missing" / "x.lock").string()), posix::InstanceLock::Result::Failed);
    EXPECT_NE(nowhere.failure().find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace velmora::wayland
