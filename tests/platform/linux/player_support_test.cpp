// The live player's decisions: the title, bursts of saves, the files a reload reads, the monitors
// that get a scene.
#include "platform/linux/player/player_support.h"

#include <gtest/gtest.h>

namespace velmora::posix {
namespace {

TEST(PlayerTitleTest, ShowsTheDisplayNameAndTheRate) {
    EXPECT_EQ(playerTitle(u"VMA_Lantern_Valley.zip", true, 59), "Lantern Valley - 59 fps");
    EXPECT_EQ(playerTitle(u"Dusk", true, std::nullopt), "Dusk");
    EXPECT_EQ(playerTitle(u"Dusk", false, 60), "Dusk - paused");
    EXPECT_EQ(playerTitle(u"Caf\u00e9", true, 30), "Caf\xc3\xa9 - 30 fps");
    EXPECT_EQ(playerTitle(u"", true, 60), "Velmora - no theme");
}

TEST(FrameRateMeterTest, CountsFramesOverWholeSeconds) {
    FrameRateMeter meter;
    EXPECT_EQ(meter.sample(5000, 100), std::nullopt);
    EXPECT_EQ(meter.sample(5500, 130), std::nullopt);
    EXPECT_EQ(meter.sample(6000, 160), 60);
    EXPECT_EQ(meter.sample(6400, 170), 60);  // the last full measurement until the next
    EXPECT_EQ(meter.sample(7250, 190), 24);  // 30 frames in 1250 ms
    // A counter that went back (a new presenter) starts a new measurement.
    EXPECT_EQ(meter.sample(7300, 0), 24);
    EXPECT_EQ(meter.sample(8300, 10), 10);
}

TEST(QuietPeriodTest, OneReloadAfterABurstButNoEndlessWait) {
    QuietPeriod quiet(200, 1500);
    EXPECT_EQ(quiet.due(), std::nullopt);
    quiet.note(1000);
    quiet.note(1050);
    quiet.note(1120);
    EXPECT_EQ(quiet.due(), 1320u);
    for (std::uint64_t t = 1200; t < 4000; t += 100) quiet.note(t);
    EXPECT_EQ(quiet.due(), 2500u);  // a file written without pause is reloaded after all
    quiet.clear();
    EXPECT_EQ(quiet.due(), std::nullopt);
    quiet.note(9000);
    EXPECT_EQ(quiet.due(), 9200u);
}

TEST(ThemeFilesTest, NamesWhatAReloadReads) {
    const std::u16string folder = u"/p/";
    const auto paths = [](std::vector<std::string> names) {
        std::vector<std::filesystem::path> out(names.begin(), names.end());
        return out;
    };
    EXPECT_EQ(themeFiles(folder, u"Dusk", {u"floor.png", u"sky.png", u"floor.png"}),
              paths({"/p/config.txt", "/p/themes/Dusk", "/p/themes/Dusk/theme.txt", "/p/themes/Dusk/floor.png",
                     "/p/themes/Dusk/sky.png"}));
    // Archive members are read from the archive itself.
    EXPECT_EQ(themeFiles(folder, u"VMA_City.zip", {u"floor.png"}), paths({"/p/config.txt", "/p/themes/VMA_City.zip"}));
    EXPECT_EQ(themeFiles(u"/p", u"", {}), paths({"/p/config.txt"}));
}

TEST(SceneMonitorsTest, AnOutputSplitIntoMonitorsShowsTheParts) {
    const RectI left{0, 0, 1920, 1080}, right{1920, 0, 3200, 1024}, whole{0, 0, 3200, 1080};
    const auto rects = [](const std::vector<MonitorArea>& areas) {
        std::vector<std::vector<std::int32_t>> out;
        for (const MonitorArea& a : areas) out.push_back({a.rect.left, a.rect.top, a.rect.right, a.rect.bottom});
        return out;
    };
    const struct {
        const char* what;
        std::vector<MonitorArea> listed;
        std::vector<MonitorArea> shown;
    } cases[] = {
        {"two side by side", {{left}, {right}}, {{left}, {right}}},
        {"the output's own monitor beside its parts", {{left}, {right}, {whole}}, {{left}, {right}}},
        {"the same rectangle twice (clones)", {{whole}, {whole}}, {{whole}}},
        {"overlapping without holding", {{RectI{0, 0, 1000, 800}}, {RectI{500, 0, 1500, 800}}},
         {{RectI{0, 0, 1000, 800}}, {RectI{500, 0, 1500, 800}}}},
    };
    for (const auto& c : cases) EXPECT_EQ(rects(sceneMonitors(c.listed)), rects(c.shown)) << c.what;
}

}  // namespace
}  // namespace velmora::posix
