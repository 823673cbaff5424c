// Pictures claiming gigabytes: a picture beyond the size limits loads as empty, and a theme's
// pictures stop at their budget. The recording device's pictures are as large as registered,
// with no pixels behind them, so nothing here allocates what the pictures claim.
#include <gtest/gtest.h>

#include <string>

#include "allocation_meter.h"
#include "hostile_theme.h"
#include "support/png_file.h"
#include "resources/image_loading.h"
#include "scene/animation.h"
#include "scene/drawing.h"
#include "scene/load_theme.h"

namespace velmora::testing {
namespace {

using HostilePictures = HostileTheme;

TEST_F(HostilePictures, APictureBeyondTheSideOrPixelLimitLoadsAsEmpty) {
    struct Claim {
        const char* name;
        std::int32_t width, height;
        bool loads;
    };
    const Claim claims[] = {
        {"floor", 16384, 16384, false},  // 256 megapixels
        {"ceiling", 8192, 8192, true},   // 64 megapixels exactly
        {"background", 8193, 8192, false},
        {"screen", 16385, 1, false},
    };
    ZipWriter zip;
    std::string text;
    for (const Claim& claim : claims) {
        const std::string png = pngHeaderOnly(static_cast<std::uint32_t>(claim.width), static_cast<std::uint32_t>(claim.height));
        device.registerPictureBytes(png, claim.width, claim.height);
        zip.add(std::string(claim.name) + ".png", png);
        text += std::string(claim.name) + " name:" + claim.name + "\n";
    }
    zip.add("theme.txt", text);
    writeArchive("Big.zip", zip);

    EXPECT_FALSE(loadTheme(u"Big.zip", {}).has_value());
    EXPECT_FALSE(theme.floorImage.bitmap);
    EXPECT_EQ(theme.floorImage.width, 0);
    EXPECT_TRUE(theme.ceilingImage.bitmap);
    EXPECT_EQ(theme.ceilingImage.width, 8192);
    EXPECT_FALSE(theme.backgroundImage.bitmap);
    EXPECT_FALSE(theme.screenImage.bitmap);
    EXPECT_EQ(device.liveBitmaps(), 1);
    // Without a width and a floor picture the scene has no width; it still plays.
    updateScene(16);
    drawScene();
}

TEST_F(HostilePictures, AThousandPicturesOf8192SquareStopAtTheBudget) {
    // One small file, a thousand times: each claims 256 MiB decoded.
    const std::string png = pngHeaderOnly(8192, 8192);
    device.registerPictureBytes(png, 8192, 8192);
    ZipWriter zip;
    zip.add("theme.txt", "params width:1920\nadd_sprite name:a frames:1000 instances:3\n");
    for (int f = 1; f <= 1000; ++f) zip.add("a_1_" + std::to_string(f) + ".png", png);
    writeArchive("Many.zip", zip);

    for (int load = 0; load < 2; ++load) {
        device.clearCalls();
        EXPECT_FALSE(loadTheme(u"Many.zip", {}).has_value());
        // Three take 768 MiB and their bitmaps' overhead; the fourth's header says it would pass
        // the 1 GiB, and nothing from it on is decoded.
        EXPECT_EQ(device.count(DeviceCall::LoadPictureBytes), 3u);
        EXPECT_EQ(device.liveBitmaps(), 3);
        ASSERT_TRUE(loadState.firstPicturePastBudget.has_value());
        EXPECT_EQ(*loadState.firstPicturePastBudget, 3u);
        const auto& frames = theme.backSprites[0].images[0];
        ASSERT_EQ(frames.size(), 1000u);
        for (std::size_t f = 0; f < frames.size(); ++f) EXPECT_EQ(static_cast<bool>(frames[f].bitmap), f < 3) << f;
    }
    for (int elapsed : {16, 60, 1, 100000}) {
        updateScene(elapsed);
        drawScene();
    }
}

TEST_F(HostilePictures, AWithinBudgetLoadLeavesNoMarkOfTheBudget) {
    const std::string png = pngHeaderOnly(16, 16);
    device.registerPictureBytes(png, 16, 16);
    ZipWriter zip;
    zip.add("theme.txt", "add_sprite name:a frames:3\n");
    for (int f = 1; f <= 3; ++f) zip.add("a_1_" + std::to_string(f) + ".png", png);
    writeArchive("Small.zip", zip);
    loadState.firstPicturePastBudget = 0;
    EXPECT_FALSE(loadTheme(u"Small.zip", {}).has_value());
    EXPECT_FALSE(loadState.firstPicturePastBudget.has_value());
    EXPECT_EQ(device.liveBitmaps(), 3);
}

TEST_F(HostilePictures, ALayerNameLongerThanAnyFileNameNamesNoPicture) {
    // Its 4096 frame names would take gigabytes if each were formed.
    const std::string name(1'000'000, 'n');
    writeFolderTheme("Long", "add_sprite name:" + name + " variations:64 frames:64\nadd_particle name:dot\n");
    AllocationMeter meter;
    EXPECT_FALSE(loadTheme(u"Long", {}).has_value());
    EXPECT_LT(meter.peak(), std::size_t{64} * 1024 * 1024);
    EXPECT_EQ(theme.backSpriteCount, 1);
    // Only the particle layer's picture is looked for.
    ASSERT_EQ(device.requestedPaths().size(), 1u);
    EXPECT_EQ(std::filesystem::path(device.requestedPaths()[0]).filename(), "dot_1_1.png");
}

}  // namespace
}  // namespace velmora::testing
