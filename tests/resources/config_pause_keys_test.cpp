// config.txt's switches of the automatic pause: pause_fullscreen and pause_battery.
#include <gtest/gtest.h>

#include "ground/records.h"
#include "app/config_section.h"
#include "resources/config.h"
#include "resources/theme_source.h"
#include "support/process_state.h"
#include "support/temp_folder.h"
#include "zip_files.h"

namespace velmora::testing {
namespace {

TEST(ConfigPauseKeys, OffUnlessSetAndTheLastOneWins) {
    const ConfigSection none = readConfigSectionText(u"config default_theme:A fps:30\n");
    EXPECT_FALSE(none.pauseFullscreen);
    EXPECT_FALSE(none.pauseBattery);

    const ConfigSection both = readConfigSectionText(u"config pause_fullscreen:1 pause_battery:1\n");
    EXPECT_TRUE(both.pauseFullscreen);
    EXPECT_TRUE(both.pauseBattery);

    const ConfigSection later = readConfigSectionText(
        u"config pause_fullscreen:1 pause_battery:1\n"
        u"config pause_fullscreen:0\n"
        // Only the config section holds them; a key without a value is no key.
        u"global pause_battery:0\n"
        u"config pause_battery\n");
    EXPECT_FALSE(later.pauseFullscreen);
    EXPECT_TRUE(later.pauseBattery);
}

TEST(ConfigPauseKeys, SpanMonitorsIsOnUnlessSetToZeroAndABadValueIsIgnored) {
    EXPECT_TRUE(readConfigSectionText(u"config fps:30\n").spanMonitors);
    EXPECT_FALSE(readConfigSectionText(u"config span_monitors:0\n").spanMonitors);
    Diagnostics problems;
    EXPECT_FALSE(readConfigSectionText(u"config span_monitors:0\nconfig span_monitors:2\n", &problems).spanMonitors);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 2);
}

TEST(ConfigPauseKeys, AValueOtherThanZeroOrOneIsReportedAndIgnored) {
    Diagnostics problems;
    const ConfigSection section = readConfigSectionText(
        u"config pause_fullscreen:1 pause_battery:0\n"
        u"config pause_fullscreen:yes pause_battery:2\n"
        u"config pause_fullscreen:-1 pause_battery:99999999999\n",
        &problems);
    EXPECT_TRUE(section.pauseFullscreen);
    EXPECT_FALSE(section.pauseBattery);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].line, 2);
    EXPECT_EQ(problems[0].severity, Diagnostic::Severity::Error);
    EXPECT_EQ(problems[0].message, "pause_fullscreen:yes: invalid stoi argument; the key is ignored");
    EXPECT_EQ(problems[1].message, "pause_battery:2: neither 0 nor 1; the key is ignored");
    EXPECT_EQ(problems[2].line, 3);
    EXPECT_EQ(problems[2].message, "pause_fullscreen:-1: neither 0 nor 1; the key is ignored");
    EXPECT_EQ(problems[3].message, "pause_battery:99999999999: stoi argument out of range; the key is ignored");
}

TEST(ConfigPauseKeys, EveryReadStartsFromOff) {
    resetProcessState();
    TempFolder temp;
    appState.programFolder = u16(temp.path()) + kPathSeparator;
    writeFile(temp / "config.txt", "config pause_fullscreen:1 pause_battery:1\n");
    readConfigSection();
    EXPECT_TRUE(appState.pauseFullscreen);
    EXPECT_TRUE(appState.pauseBattery);

    writeFile(temp / "config.txt", "config pause_battery:1\n");
    readConfigSection();
    EXPECT_FALSE(appState.pauseFullscreen);
    EXPECT_TRUE(appState.pauseBattery);

    std::filesystem::remove(temp / "config.txt");
    readConfigSection();
    EXPECT_FALSE(appState.pauseBattery);
    resetProcessState();
}

}  // namespace
}  // namespace velmora::testing
