// velmora-tool check knows the switches of the automatic pause from the player's own reader.
#include "tool_fixture.h"

namespace velmora::testing {
namespace {

TEST_F(ToolTest, CheckTakesThePauseSwitchesAndReportsBadValues) {
    writeFile(root / "config.txt", "config pause_fullscreen:1 pause_battery:0 span_monitors:0\n");
    writeFile(root / "themes" / "Plain" / "theme.txt", "params width:10\n");
    const ToolRun good = run({"check", "--root", rootArg()});
    EXPECT_EQ(good.exitCode, 0) << good.out;
    EXPECT_EQ(good.out.find("config.txt:"), std::string::npos) << good.out;

    writeFile(root / "config.txt", "config pause_fullscreen:on\nconfig pause_battery:2\nconfig span_monitors:-1\n");
    const ToolRun bad = run({"check", "--root", rootArg()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("config.txt:1: error: pause_fullscreen:on is not a whole number (write digits, such as 3); the key is ignored"), std::string::npos)
        << bad.out;
    EXPECT_NE(bad.out.find("config.txt:2: error: pause_battery:2: neither 0 nor 1; the key is ignored"), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("config.txt:3: error: span_monitors:-1: neither 0 nor 1; the key is ignored"), std::string::npos) << bad.out;
}

}  // namespace
}  // namespace velmora::testing
