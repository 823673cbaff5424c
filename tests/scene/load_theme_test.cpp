#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ground/records.h"
#include "app/frame_timer.h"
#include "ports/platform.h"
#include "resources/image_loading.h"
#include "resources/theme_source.h"
#include "scene/animation.h"
#include "scene/load_theme.h"
#include "support/fake_shell.h"
#include "support/fake_window_system.h"
#include "support/process_state.h"
#include "support/recording_graphics_device.h"
#include "support/standard_scene.h"
#include "support/temp_folder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::toU16;

std::string u8(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// A program folder with a themes folder in a fresh temporary directory.
class ThemeLoading : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetProcessState();
        fs::create_directories(root / "themes");
        appState.programFolder = toU16(root.string()) + kPathSeparator;
        installPlatform(Platform{&windows, &shell, &device});
        desktopHost.frameTarget = true;
        desktopHost.windowTarget = true;
        testing::useStandardDesktop();
    }
    void TearDown() override {
        resetProcessState();  // releases the theme's bitmaps while the device still lives
    }
    static void resetProcessState() { testing::resetProcessState(); }

    void writeTheme(const std::string& name, const std::string& text) {
        testing::writeFile(root / "themes" / name / "theme.txt", text);
    }
    // Registers a picture of the theme folder with the fake device.
    void picture(const std::string& themeName, const std::string& file, int w, int h) {
        device.registerPicture((root / "themes" / themeName / file).string(), w, h);
    }
    std::vector<std::string> requestedFiles() const {
        std::vector<std::string> names;
        for (const auto& path : device.requestedPaths()) names.push_back(fs::path(u8(path)).filename().string());
        return names;
    }

    testing::TempFolder folder;
    const fs::path root = folder.path();
    testing::FakeWindowSystem windows;
    testing::FakeShell shell;
    testing::RecordingGraphicsDevice device;
};

TEST_F(ThemeLoading, PicturesAreNamedByLayerVariationAndFrame) {
    writeTheme("T",
               "params width:200\n"
               "floor name:floor ycollider:10\n"
               "background name:bg\n"
               "add_sprite name:bird variations:2 frames:3 layer:front\n"
               "add_sprite name:rock ext:jpg\n"
               "add_character name:cat frames:2 type:floor filter:linear\n"
               "add_particle name:dust frames:12 instances:2 layer:front\n");
    picture("T", "floor.png", 320, 40);
    picture("T", "bg.png", 100, 50);
    picture("T", "bird_2_3.png", 16, 8);
    picture("T", "cat_1.png", 10, 20);
    picture("T", "dust_1_10.png", 3, 3);
    appState.currentTheme = u"T";
    EXPECT_FALSE(loadTheme().has_value());
    const std::vector<std::string> expected = {
        "floor.png", "bg.png",
        "bird_1_1.png", "bird_1_2.png", "bird_1_3.png", "bird_2_1.png", "bird_2_2.png", "bird_2_3.png",
        "rock_1_1.jpg", "cat_1.png", "cat_2.png",
        "dust_1_1.png", "dust_1_2.png", "dust_1_3.png", "dust_1_4.png", "dust_1_5.png", "dust_1_6.png",
        "dust_1_7.png", "dust_1_8.png", "dust_1_9.png", "dust_1_10.png", "dust_1_11.png", "dust_1_12.png"};
    EXPECT_EQ(requestedFiles(), expected);
    EXPECT_EQ(device.requestedPaths()[0], appState.programFolder + u"themes" + kPathSeparator + u"T" + kPathSeparator + u"floor.png");

    EXPECT_EQ(theme.params.width, 200.0f);  // given: the floor's width changes nothing
    EXPECT_EQ(theme.floorImage.width, 320);
    EXPECT_EQ(theme.floorImage.filter, 0);
    EXPECT_EQ(theme.backgroundImage.filter, 1);
    EXPECT_EQ(theme.frontSprites[0].images[1][2].width, 16);
    // Missing pictures are empty frames and the load went on.
    EXPECT_FALSE(theme.frontSprites[0].images[0][0].bitmap);
    EXPECT_EQ(theme.frontSprites[0].images[0][0].width, 0);
    EXPECT_EQ(theme.characters[0].images[0].filter, 1);
    EXPECT_EQ(theme.characters[0].images[1].filter, 0);
    EXPECT_EQ(theme.frontParticles[0].images[0][9].height, 3);
    EXPECT_EQ(device.liveBitmaps(), 5);

    // Laid out: scale 4 from the defaults, the walker stands on the walking line.
    EXPECT_EQ(theme.characters[0].posY[0], 1080.0f - 40.0f - 80.0f);
}

TEST_F(ThemeLoading, ReloadReleasesEveryPictureOnceAndTakesTheFloorWidth) {
    writeTheme("A", "floor name:floor\nbackground name:bg\nadd_sprite name:s variations:3 frames:4\n");
    writeTheme("B", "floor name:floor\n");
    for (int v = 1; v <= 3; ++v) {
        for (int f = 1; f <= 4; ++f) picture("A", "s_" + std::to_string(v) + "_" + std::to_string(f) + ".png", 4, 4);
    }
    picture("A", "floor.png", 1920, 40);
    picture("A", "bg.png", 10, 10);
    picture("B", "floor.png", 320, 40);
    appState.currentTheme = u"A";
    loadTheme();
    EXPECT_EQ(device.liveBitmaps(), 14);
    EXPECT_EQ(theme.params.width, 1920.0f);
    appState.currentTheme = u"B";
    loadTheme();
    EXPECT_EQ(device.createdBitmaps(), 15);
    EXPECT_EQ(device.liveBitmaps(), 1);
    EXPECT_EQ(theme.params.width, 320.0f);
    EXPECT_FALSE(theme.backgroundImage.bitmap);
    EXPECT_EQ(theme.backgroundImage.width, 0);
}

TEST_F(ThemeLoading, ABadNumberKeepsWhatCameBeforeItLaidOutAndAnimated) {
    writeTheme("Bad",
               "floor name:floor\n"
               "add_character name:cat type:floor\n"
               "add_sprite name:rock instances:lots\n"
               "add_sprite name:never\n");
    picture("Bad", "floor.png", 320, 40);
    picture("Bad", "cat_1.png", 10, 20);
    appState.currentTheme = u"Bad";
    const auto error = loadTheme();
    EXPECT_EQ(device.liveBitmaps(), 2);
    ASSERT_TRUE(error.has_value());
    EXPECT_STREQ(error->what(), "invalid stoi argument");
    EXPECT_EQ(error->line, 3);
    ASSERT_TRUE(loadState.error.has_value());
    EXPECT_EQ(loadState.error->line, 3);

    EXPECT_EQ(theme.characterCount, 1);
    EXPECT_EQ(theme.backSpriteCount, 0);
    EXPECT_EQ(theme.params.width, 320.0f);
    const CharacterLayer& cat = theme.characters[0];
    EXPECT_TRUE(cat.images[0].bitmap);
    EXPECT_EQ(cat.posY[0], 1080.0f - 320.0f - 80.0f);  // floor line of ycollider 80
    EXPECT_GE(cat.posX[0], 320.0f);
    const float before = cat.posX[0];
    updateScene(16);
    EXPECT_NE(cat.posX[0], before);
    EXPECT_EQ(cat.entered[0], 1);

    // Started from the timer, the load goes on the same way and the timer restarts.
    startTheme(0x77);
    EXPECT_EQ(loadState.error->line, 3);
    EXPECT_EQ(windows.timerCalls.back().set, true);

    // The next clean load clears the error.
    writeTheme("Good", "floor name:floor\n");
    appState.currentTheme = u"Good";
    EXPECT_FALSE(loadTheme().has_value());
    EXPECT_FALSE(loadState.error.has_value());
}

TEST_F(ThemeLoading, WithoutADeviceEveryPictureIsEmptyAndTheSceneStillRuns) {
    writeTheme("T", "params width:300\nfloor name:floor\nadd_character name:cat type:floor\n");
    picture("T", "floor.png", 320, 40);
    picture("T", "cat_1.png", 10, 20);
    for (bool frameTarget : {false, true}) {
        if (frameTarget) installPlatform(Platform{&windows, &shell, nullptr});
        desktopHost.frameTarget = frameTarget;
        appState.currentTheme = u"T";
        startTheme(0x77);
        EXPECT_TRUE(device.requestedPaths().empty());
        EXPECT_FALSE(theme.floorImage.bitmap);
        EXPECT_FALSE(theme.characters[0].images[0].bitmap);
        shell.tick += 16;
        renderFrame();
        EXPECT_EQ(theme.characters[0].entered[0], 1);
        EXPECT_TRUE(device.calls().empty());
    }
}

TEST_F(ThemeLoading, ArchiveMembersAreDecodedFromTheirBytes) {
    if (std::system("python3 -c 'import zipfile' >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not available";
    const fs::path zip = root / "themes" / "VMA_Z.zip";
    const std::string script =
        "import zipfile,sys\n"
        "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
        "z.writestr('theme.txt','floor name:floor\\nadd_character name:cat frames:2 type:floor\\n')\n"
        "z.writestr('floor.png','FLOOR-PICTURE')\n"
        "z.writestr('cat_1.png','CAT-ONE')\n"
        "z.close()\n";
    testing::writeFile(root / "make_zip.py", script);
    ASSERT_EQ(std::system(("python3 '" + (root / "make_zip.py").string() + "' '" + zip.string() + "'").c_str()), 0);
    device.registerPictureBytes("FLOOR-PICTURE", 320, 40);
    device.registerPictureBytes("CAT-ONE", 10, 20);
    appState.currentTheme = u"VMA_Z.zip";
    loadTheme();
    EXPECT_TRUE(device.requestedPaths().empty());
    EXPECT_EQ(device.requestedByteSizes(), (std::vector<std::size_t>{13, 7}));  // cat_2 is absent
    EXPECT_EQ(theme.floorImage.width, 320);
    EXPECT_EQ(theme.params.width, 320.0f);
    EXPECT_EQ(theme.characters[0].images[0].height, 20);
    EXPECT_FALSE(theme.characters[0].images[1].bitmap);
}

}  // namespace
}  // namespace velmora
