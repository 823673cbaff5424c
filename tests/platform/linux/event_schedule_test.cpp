// The Linux players' timers and planned calls, on a clock the test sets: timers tick as WM_TIMER
// does (once when they fell behind, never below the smallest interval, the frame timer at the
// --fps pace), planned calls replace each other by slot, a held timer neither ticks nor wakes the
// loop, and nothing runs once the loop is to end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/frame_timer.h"
#include "platform/linux/posix/event_schedule.h"

namespace velmora::posix {
namespace {

TEST(EventSchedule, TicksAsWindowsTimersAndCallsAsPlanned) {
    std::uint64_t now = 1000;
    EventSchedule schedule([&] { return now; });
    std::vector<std::string> happened;
    const auto never = [](std::uintptr_t) { return false; };
    const auto tick = [&](std::uintptr_t id) { happened.push_back("tick " + std::to_string(id)); };
    const auto run = [&](std::uint64_t at) {
        now = at;
        happened.clear();
        schedule.runDue(never, tick);
        return happened;
    };
    using Events = std::vector<std::string>;

    schedule.overrideFrameInterval(40);
    schedule.setTimer(kFrameTimerId, 16);  // --fps: every 40
    schedule.setTimer(7, 3);               // raised to 10
    schedule.callAt(1, 1005, [&] { happened.push_back("first plan"); });
    schedule.callAt(1, 1012, [&] { happened.push_back("second plan"); });  // replaces the first
    schedule.callAt(2, 1030, [&] { happened.push_back("cancelled"); });
    schedule.callAt(2, std::nullopt);
    EXPECT_EQ(schedule.pollTimeout(never), 10);

    EXPECT_EQ(run(1009), Events{});
    EXPECT_EQ(run(1012), (Events{"second plan", "tick 7"}));
    // Far behind: each timer ticks once and is due an interval from now.
    EXPECT_EQ(run(1100), (Events{"tick 7", "tick " + std::to_string(kFrameTimerId)}));
    EXPECT_EQ(schedule.pollTimeout(never), 10);
    EXPECT_EQ(run(1110), Events{"tick 7"});

    // A held timer neither ticks nor wakes the loop; with nothing else planned the wait is endless.
    schedule.killTimer(7);
    const auto frameHeld = [](std::uintptr_t id) { return id == kFrameTimerId; };
    now = 1200;
    EXPECT_EQ(schedule.pollTimeout(frameHeld), -1);
    happened.clear();
    schedule.runDue(frameHeld, tick);
    EXPECT_EQ(happened, Events{});

    // Once the loop is to end, nothing more runs.
    schedule.callAt(3, 1200, [&] { schedule.quit(4); });
    schedule.callAt(4, 1200, [&] { happened.push_back("after the quit"); });
    EXPECT_EQ(run(1300), Events{});
    EXPECT_TRUE(schedule.quitting());
    EXPECT_FALSE(schedule.failed());
    EXPECT_EQ(schedule.exitCode(), 4);
}

}  // namespace
}  // namespace velmora::posix
