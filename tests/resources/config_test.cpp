// config.txt: the config section, the display settings, and theme display names.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "ground/records.h"
#include "app/config_section.h"
#include "scene/load_theme.h"
#include "resources/config.h"
#include "resources/theme_source.h"
#include "support/process_state.h"
#include "zip_files.h"

namespace velmora::testing {
namespace {

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        loadState.loadedTheme.clear();
        appState.programFolder = u16(temp.path()) + kPathSeparator;
        desktopHost.desktopTop = 40;
        desktopHost.desktopHeight = 1080;
    }
    void TearDown() override { loadState.loadedTheme.clear(); }

    void writeConfig(const std::string& text) { writeFile(temp / "config.txt", text); }

    TempFolder temp;
};

TEST(ThemeDisplayName, DropsThePrefixAndTheFinalZipAndShowsUnderscoresAsSpaces) {
    EXPECT_EQ(themeDisplayName(u"VMA_Forest.zip"), u"Forest");
    EXPECT_EQ(themeDisplayName(u"VMA_Night_City"), u"Night City");
    EXPECT_EQ(themeDisplayName(u"a.zip.zip"), u"a.zip.zip");
    EXPECT_EQ(themeDisplayName(u"vma_Forest"), u"vma Forest");
    EXPECT_EQ(themeDisplayName(u"VMA_"), u"");
    EXPECT_EQ(themeDisplayName(u"VMA_.zip"), u"");
    EXPECT_EQ(themeDisplayName(u".zip"), u"");
    EXPECT_EQ(themeDisplayName(u"Forest.ZIP"), u"Forest.ZIP");
}

TEST_F(ConfigTest, DefaultsWhenTheFileIsMissingOrHoldsOnlyComments) {
    for (const char* text : {static_cast<const char*>(nullptr), "# scale:9\n\n   # global scale:2\n", "x\nglobal scale:2\n"}) {
        if (text != nullptr) writeConfig(text);
        globalSettings.pixelScale = 99;
        appState.frameRate = 5;
        readGlobalSettings();
        readConfigSection();
        EXPECT_EQ(globalSettings.pixelScale, 4.0f);
        EXPECT_EQ(globalSettings.relativeScale, 1.0f);
        EXPECT_EQ(globalSettings.limitHeight, -1.0f);
        EXPECT_EQ(globalSettings.viewTop, 40.0f);
        EXPECT_EQ(globalSettings.viewHeight, 1080.0f);
        EXPECT_EQ(globalSettings.pingPong, 0.0f);
        EXPECT_EQ(globalSettings.baseOffset, 0);
        EXPECT_EQ(appState.frameRate, 60);
        EXPECT_EQ(appState.currentTheme, u"");
    }
}

TEST_F(ConfigTest, ThemeSectionsMatchByDisplayNameAndTheLastAssignmentWins) {
    loadState.loadedTheme = u"VMA_Forest.zip";
    writeConfig("Forest scale:5\nglobal scale:3\n");
    readGlobalSettings();
    EXPECT_EQ(globalSettings.pixelScale, 3.0f);

    writeConfig("global scale:3 ping_pong:0.5\nVMA_Forest scale:5\nforest scale:7\nForest.zip base_offset:12px\n");
    readGlobalSettings();
    EXPECT_EQ(globalSettings.pixelScale, 5.0f);  // "forest" is another section
    EXPECT_EQ(globalSettings.pingPong, 0.5f);
    EXPECT_EQ(globalSettings.baseOffset, 12);

    loadState.loadedTheme = u"VMA_Night_City";
    writeConfig("Night_City scale:2\nGlobal scale:9\nglobal\tscale:9\nglobal scale\n");
    readGlobalSettings();
    EXPECT_EQ(globalSettings.pixelScale, 2.0f);
}

TEST_F(ConfigTest, AutoRelativeScaleFollowsTheDrawingAreaHeight) {
    writeConfig("global relative_scale:auto\n");
    readGlobalSettings();
    EXPECT_EQ(bits(globalSettings.relativeScale), bits(1080.0f * 0.00069444446f));
    EXPECT_EQ(globalSettings.relativeScale, 0.75f);
    EXPECT_EQ(globalSettings.pixelScale, 3.0f);

    writeConfig("global relative_scale:-1 scale:2\n");
    readGlobalSettings();
    EXPECT_EQ(globalSettings.relativeScale, 0.75f);
    EXPECT_EQ(globalSettings.pixelScale, 1.5f);

    // With a limit the area is lower, and so is the scale.
    writeConfig("global relative_scale:auto limit_height:720\n");
    readGlobalSettings();
    EXPECT_EQ(globalSettings.viewHeight, 720.0f);
    EXPECT_EQ(bits(globalSettings.relativeScale), bits(720.0f * 0.00069444446f));
    EXPECT_EQ(bits(globalSettings.pixelScale), bits(720.0f * 0.00069444446f * 4.0f));
}

TEST_F(ConfigTest, HeightLimitCapsTheDrawingAreaOnlyWhenSmaller) {
    writeConfig("global limit_height:720\n");
    readGlobalSettings();
    EXPECT_EQ(globalSettings.viewHeight, 720.0f);
    EXPECT_EQ(globalSettings.limitHeight, 720.0f);
    EXPECT_EQ(globalSettings.viewTop, 40.0f);

    writeConfig("global limit_height:2000\n");
    readGlobalSettings();
    EXPECT_EQ(globalSettings.viewHeight, 1080.0f);
    EXPECT_EQ(globalSettings.limitHeight, 2000.0f);
}

TEST_F(ConfigTest, BadNumbersAreIgnoredKeyByKeyAndRecordedWithTheirLine) {
    loadState.loadedTheme = u"Forest";
    writeConfig("# display\n"
                "global relative_scale:2 relative_scale:AUTO scale:3\n"
                "\n"
                "Forest base_offset:7 base_offset:99999999999 ping_pong:fast limit_height:500\n");
    Diagnostics problems;
    readGlobalSettings(&problems);
    EXPECT_EQ(globalSettings.relativeScale, 2.0f);
    EXPECT_EQ(globalSettings.pixelScale, 6.0f);
    EXPECT_EQ(globalSettings.baseOffset, 7);
    EXPECT_EQ(globalSettings.pingPong, 0.0f);
    EXPECT_EQ(globalSettings.viewHeight, 500.0f);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].line, 2);
    EXPECT_EQ(problems[0].message, "relative_scale:AUTO: invalid stof argument; the key is ignored");
    EXPECT_EQ(problems[1].line, 4);
    EXPECT_EQ(problems[1].message, "base_offset:99999999999: stoi argument out of range; the key is ignored");
    EXPECT_EQ(problems[2].message.rfind("ping_pong:fast:", 0), 0u);

    writeConfig("config fps:30\nconfig fps:abc\n");
    problems.clear();
    readConfigSection(&problems);
    EXPECT_EQ(appState.frameRate, 30);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 2);
    EXPECT_EQ(problems[0].message, "fps:abc: invalid stoi argument; the key is ignored");
}

TEST_F(ConfigTest, FrameRateStartsAt60OnEveryReadAndTheLastFpsWins) {
    writeConfig("config fps:30\nconfig fps:20 default_theme:A\n");
    readConfigSection();
    EXPECT_EQ(appState.frameRate, 20);

    writeConfig("config default_theme:A\n");
    readConfigSection();
    EXPECT_EQ(appState.frameRate, 60);

    for (const char* text : {"config fps:0\n", "config fps:-5\n", "config fps:25\nconfig fps:0\n"}) {
        writeConfig(text);
        readConfigSection();
        EXPECT_EQ(appState.frameRate, 60) << text;
    }
    writeConfig("config fps:12fps\nglobal fps:5\n");
    readConfigSection();
    EXPECT_EQ(appState.frameRate, 12);
}

TEST_F(ConfigTest, TheFirstNonEmptyDefaultThemeSelectsTheTheme) {
    writeConfig("config default_theme:\n"
                "config default_theme\n"
                "Config default_theme:Lower\n"
                "config default_theme:\tVMA_Forest.zip\n"
                "config default_theme:Second\n");
    readConfigSection();
    EXPECT_EQ(appState.currentTheme, u"VMA_Forest.zip");

    // Later reads change nothing once a theme is selected.
    writeConfig("config default_theme:Other\n");
    readConfigSection();
    EXPECT_EQ(appState.currentTheme, u"VMA_Forest.zip");
}

}  // namespace
}  // namespace velmora::testing
