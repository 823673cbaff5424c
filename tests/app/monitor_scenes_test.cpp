// A scene per monitor: each laid out on its own monitor at its own scaling, and one scene over
// the whole desktop while config.txt asks for that.
#include <gtest/gtest.h>

#include <vector>

#include "app/headless_session.h"
#include "ground/records.h"
#include "resources/config.h"
#include "scene/scene_geometry.h"
#include "support/png_file.h"
#include "support/recording_graphics_device.h"
#include "support/temp_folder.h"

namespace velmora::testing {
namespace {

// A theme 200 wide whose floor lies 10 theme pixels above the ground, with walkers 6 high.
void writeTheme(const TempFolder& root, const char* config) {
    root.write("config.txt", config);
    root.write("themes/Desk/theme.txt",
               "params width:200 ycollider:10\nfloor name:ground ycollider:10\n"
               "add_sprite name:rock instances:3 yposition:bottom\n"
               "add_character name:cat type:floor instances:4\n");
}

void registerPictures(const TempFolder& root, RecordingGraphicsDevice& device) {
    const struct {
        const char* name;
        int width, height;
    } pictures[] = {{"ground.png", 200, 8}, {"rock_1_1.png", 4, 4}, {"cat_1.png", 8, 6}};
    for (const auto& p : pictures) {
        const auto path = root / "themes" / "Desk" / p.name;
        writePng(path, p.width, p.height);
        device.registerPicture(path.u16string(), p.width, p.height);
    }
}

TEST(MonitorScenes, EachMonitorGetsItsOwnSceneAtItsOwnScaling) {
    const struct Case {
        const char* name;
        const char* config;
        std::vector<Monitor> monitors;
        // What each shown scene is laid out on, and its pixel scale.
        std::vector<Monitor> expectedRects;
        std::vector<float> expectedScale;
    } cases[] = {
        {"two heights, 100 %", "config span_monitors:0\nglobal scale:4\n",
         {{0, 0, 1920, 1080, 96}, {1920, 0, 1280, 1024, 96}},
         {{0, 0, 1920, 1080, 96}, {1920, 0, 1280, 1024, 96}}, {4, 4}},
        {"left of the primary, 150 % and 200 %", "config span_monitors:0\nglobal scale:4\n",
         {{-2560, 200, 2560, 1440, 144}, {0, 0, 3840, 2160, 192}},
         {{-2560, 200, 2560, 1440, 144}, {0, 0, 3840, 2160, 192}}, {6, 8}},
        {"125 % and 175 %", "config span_monitors:0\nglobal scale:4\n",
         {{0, 0, 1600, 900, 120}, {1600, 0, 1400, 1050, 168}},
         {{0, 0, 1600, 900, 120}, {1600, 0, 1400, 1050, 168}}, {5, 7}},
        // Spanning: one scene over the desktop rectangle, at the primary monitor's scaling.
        {"spanning", "config span_monitors:1\nglobal scale:4\n",
         {{0, 0, 1920, 1080, 144}, {1920, 0, 1280, 1024, 96}},
         {{0, 0, 3200, 1080, 144}}, {6}},
        {"the default spans", "global scale:4\n",
         {{0, 0, 1920, 1080, 96}, {1920, 0, 1280, 1024, 96}},
         {{0, 0, 3200, 1080, 96}}, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder root;
        writeTheme(root, c.config);
        RecordingGraphicsDevice device;
        registerPictures(root, device);
        HeadlessSetup setup;
        setup.programFolder = root.path().u16string();
        setup.width = 3200;
        setup.height = 1080;
        setup.theme = u"Desk";
        setup.monitors = c.monitors;
        HeadlessSession session(setup, &device);
        session.start(1000);
        const std::vector<Scene> scenes = session.scenes();
        ASSERT_EQ(scenes.size(), c.expectedRects.size());
        for (std::size_t i = 0; i < scenes.size(); ++i) {
            SCOPED_TRACE(i);
            const Scene& scene = scenes[i];
            const Monitor& m = c.expectedRects[i];
            const float k = c.expectedScale[i];
            EXPECT_EQ(scene.settings.pixelScale, k);
            EXPECT_EQ(scene.rect.left, static_cast<float>(m.left));
            EXPECT_EQ(scene.rect.width, static_cast<float>(m.width));
            const SceneGeometry g = sceneGeometry(scene);
            // The ground at the monitor's bottom, the floor centred on it.
            EXPECT_EQ(g.groundY, static_cast<float>(m.top + m.height));
            EXPECT_EQ(g.floorY, g.groundY - 10 * k);
            EXPECT_EQ(g.sceneWidth, 200 * k);
            EXPECT_EQ(g.sceneLeft + g.sceneWidth / 2, static_cast<float>(m.left) + static_cast<float>(m.width) / 2);
            // The walkers stand on this monitor's floor, within its part of the desktop.
            const CharacterLayer& cats = scene.theme.characters[0];
            ASSERT_EQ(cats.posX.size(), 4u);
            for (std::size_t w = 0; w < 4; ++w) {
                EXPECT_EQ(cats.posY[w], g.floorY - 6 * k);
                EXPECT_GE(cats.posX[w], static_cast<float>(m.left));
                EXPECT_LT(cats.posX[w], static_cast<float>(m.left + m.width));
            }
        }
        // Scenes hold instances of their own.
        if (scenes.size() == 2) {
            EXPECT_NE(&scenes[0].theme, &scenes[1].theme);
        }
    }
}

TEST(MonitorScenes, UnpluggingAndPluggingInLaysTheScenesOutAgain) {
    TempFolder root;
    writeTheme(root, "config span_monitors:0\n");
    RecordingGraphicsDevice device;
    registerPictures(root, device);
    HeadlessSetup setup;
    setup.programFolder = root.path().u16string();
    setup.width = 3200;
    setup.height = 1080;
    setup.theme = u"Desk";
    setup.monitors = {{0, 0, 1920, 1080, 96}, {1920, 56, 1280, 1024, 144}};
    HeadlessSession session(setup, &device);
    session.start(1000);
    ASSERT_EQ(session.scenes().size(), 2u);
    // Unplugged: the display-change path restarts the theme on what is left.
    desktopHost.monitors.pop_back();
    session.start(2000);
    ASSERT_EQ(session.scenes().size(), 1u);
    EXPECT_EQ(sceneGeometry(session.scenes()[0]).groundY, 1080.0f);
    desktopHost.monitors.push_back({1920, 56, 1280, 1024, 144});
    session.start(3000);
    const std::vector<Scene> back = session.scenes();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(sceneGeometry(back[1]).groundY, 1080.0f);
    EXPECT_EQ(back[1].settings.pixelScale, 6.0f);
    EXPECT_EQ(back[1].theme.characters[0].posX.size(), 4u);
}

TEST(MonitorScenes, ScalingMultipliesAFixedScaleButNotAnAutomaticOne) {
    DisplaySettings fixed;
    fixed.scale = 4;
    const struct {
        std::int32_t dpi;
        float scale;
    } steps[] = {{96, 4}, {120, 5}, {144, 6}, {168, 7}, {192, 8}};
    for (const auto& step : steps) EXPECT_EQ(deriveGlobalSettings(fixed, 0, 1080, step.dpi).pixelScale, step.scale) << step.dpi;
    DisplaySettings automatic;
    automatic.relativeScale = -1.0f;
    EXPECT_EQ(deriveGlobalSettings(automatic, 0, 1440, 192).pixelScale, 4.0f);
}

}  // namespace
}  // namespace velmora::testing
