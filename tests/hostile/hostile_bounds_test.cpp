// Themes that would make a load or a frame take without bound in time: files that are not
// files, names that climb out of the theme, pictures named countless times, archives whose
// entries overlap or pass the index, scenes that would draw thousands of screens a frame. Each
// is made here at run time; each load must end soon, with what it could load.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>

#include "allocation_meter.h"
#include "hostile_theme.h"
#include "resources/archive_reader.h"
#include "resources/image_loading.h"
#include "scene/animation.h"
#include "scene/drawing.h"
#include "scene/load_theme.h"
#include "support/png_file.h"

namespace velmora::testing {
namespace {

using HostileBounds = HostileTheme;

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool requested(const RecordingGraphicsDevice& device, const std::string& part) {
    for (const std::u16string& path : device.requestedPaths()) {
        if (std::filesystem::path(path).string().find(part) != std::string::npos) return true;
    }
    return false;
}

TEST_F(HostileBounds, FifosAreNeitherTextNorPicturesNorArchives) {
    // Nobody ever writes to these FIFOs: a read of one would block for ever.
    writeFolderTheme("Piped", "floor name:floor\nadd_sprite name:rock\n");
    ASSERT_EQ(::mkfifo((root / "themes" / "Piped" / "floor.png").c_str(), 0600), 0);
    device.registerPicture((root / "themes" / "Piped" / "rock_1_1.png").string(), 8, 8);
    std::filesystem::create_directories(root / "themes" / "Text");
    ASSERT_EQ(::mkfifo((root / "themes" / "Text" / "theme.txt").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((root / "themes" / "Pipe.zip").c_str(), 0600), 0);

    PictureLoad pictures;
    EXPECT_FALSE(loadTheme(u"Piped", LoadOptions{nullptr, false, &pictures}).has_value());
    EXPECT_FALSE(theme.floorImage.bitmap);
    EXPECT_FALSE(requested(device, "floor.png"));
    EXPECT_TRUE(theme.backSprites[0].images[0][0].bitmap);
    ASSERT_FALSE(pictures.notes.empty());
    EXPECT_EQ(pictures.notes[0].outcome, PictureOutcome::NotAFile);

    EXPECT_FALSE(loadTheme(u"Text", {}).has_value());
    EXPECT_EQ(theme.backSpriteCount + theme.frontSpriteCount, 0);
    EXPECT_EQ(readText(themeSourceFor(u"Pipe.zip"), u"theme.txt"), u"");
    EXPECT_FALSE(loadTheme(u"Pipe.zip", {}).has_value());
}

TEST_F(HostileBounds, NamesThatLeaveTheThemeOrAreNoTextFindNothing) {
    // Pictures outside the theme that the names would reach; the theme's own floor loads.
    device.registerPicture((root / "outside.png").string(), 4, 4);
    device.registerPicture((root / "themes" / "outside_1_1.png").string(), 4, 4);
    device.registerPicture((root / "themes" / "Climb" / "floor.png").string(), 4, 4);
    std::u16string text = u"floor name:floor\n";
    text += u"background name:../../outside\n";
    text += u"add_sprite name:../outside\n";
    text += u"add_sprite name:a ext:png/../../../outside\n";
    text += u"add_particle name:back\\slash\n";
    text += u"add_particle name:bad";
    text += char16_t(0xD800);  // an unpaired surrogate
    text += u"\n";
    // As UTF-16 with a byte-order mark, so that the surrogate reaches the name as it is.
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    writeBytes(root / "themes" / "Climb" / "theme.txt", bytes);

    PictureLoad pictures;
    EXPECT_FALSE(loadTheme(u"Climb", LoadOptions{nullptr, false, &pictures}).has_value());
    EXPECT_TRUE(theme.floorImage.bitmap);
    EXPECT_FALSE(theme.backgroundImage.bitmap);
    EXPECT_FALSE(requested(device, "outside"));
    EXPECT_FALSE(requested(device, "slash"));
    ASSERT_EQ(device.requestedPaths().size(), 1u);
    std::size_t badNames = 0;
    for (const PictureNote& note : pictures.notes) badNames += note.outcome == PictureOutcome::BadName;
    EXPECT_EQ(badNames, 5u);
    updateScene(16);
    drawScene();
}

TEST_F(HostileBounds, APictureNamedManyTimesIsDecodedOnceAndTheNamesHaveABudget) {
    // 24 layers with one name, each naming the same 4096 pictures: 98304 names, 4096 files.
    const std::string png = pngHeaderOnly(4, 4);
    device.registerPictureBytes(png, 4, 4);
    ZipWriter zip;
    std::string text;
    for (int l = 0; l < 24; ++l) text += "add_particle name:a variations:64 frames:64 instances:1\n";
    zip.add("theme.txt", text);
    for (int v = 1; v <= 64; ++v) {
        for (int f = 1; f <= 64; ++f) zip.add("a_" + std::to_string(v) + "_" + std::to_string(f) + ".png", png);
    }
    writeArchive("Same.zip", zip);

    PictureLoad pictures;
    const double seconds = secondsOf([&] { EXPECT_FALSE(loadTheme(u"Same.zip", LoadOptions{nullptr, false, &pictures}).has_value()); });
    EXPECT_EQ(device.count(DeviceCall::LoadPictureBytes), 4096u);
    EXPECT_EQ(device.liveBitmaps(), 4096);
    ASSERT_TRUE(pictures.firstPastBudget.has_value());
    EXPECT_EQ(*pictures.firstPastBudget, kMaxPictureNamesPerLoad);
    EXPECT_EQ(pictures.budget, LoadBudget::PictureNames);
    // The bitmaps' overhead is counted with their pixels.
    EXPECT_EQ(pictures.decodedBytes, 4096u * (4u * 4u * 4u + kBitmapOverheadBytes));
    // Layers 1 to 16 share the bitmaps; the 17th and later have none.
    ASSERT_EQ(theme.backParticleCount, 24);
    EXPECT_EQ(theme.backParticles[0].images[5][7].bitmap, theme.backParticles[15].images[5][7].bitmap);
    EXPECT_FALSE(theme.backParticles[16].images[0][0].bitmap);
    EXPECT_LT(seconds, 10.0);
}

TEST_F(HostileBounds, OverlappingArchiveEntriesStopAtTheInflatedBudget) {
    // One member of 255 MiB (about 250 KiB deflated) and 8 more entries of its data. It starts
    // as a picture too wide to decode, so that only its reading costs.
    std::string piece = pngHeaderOnly(20000, 1);
    piece.resize(4096, '\0');
    ZipWriter zip;
    zip.add("theme.txt", "add_sprite name:z frames:9\n");
    zip.addRepeated("z_1_1.png", piece, 255u << 20);
    for (int f = 2; f <= 9; ++f) zip.addAlias("z_1_" + std::to_string(f) + ".png", "z_1_1.png");
    writeArchive("Overlap.zip", zip);

    {
        // One member of 255 MiB is held once while it is read, not twice.
        AllocationMeter meter;
        EXPECT_EQ(readArchiveBytes((root / "themes" / "Overlap.zip").u16string(), u"z_1_1.png").size(), 255u << 20);
        EXPECT_LT(meter.peak(), std::size_t{260} << 20);
    }
    PictureLoad pictures;
    EXPECT_FALSE(loadTheme(u"Overlap.zip", LoadOptions{nullptr, false, &pictures}).has_value());
    // Six are inflated (1530 MiB); the seventh would pass the budget, and nothing after it is read.
    ASSERT_TRUE(pictures.firstPastBudget.has_value());
    EXPECT_EQ(*pictures.firstPastBudget, 6u);
    EXPECT_EQ(pictures.budget, LoadBudget::InflatedBytes);
    EXPECT_EQ(pictures.inflatedBytes, 6u * (255u << 20));
    EXPECT_EQ(device.count(DeviceCall::LoadPictureBytes), 0u);
}

TEST_F(HostileBounds, MissingNamesPastTheArchiveIndexCostNoWalk) {
    ZipWriter zip;
    ZipEntry stored;
    stored.deflate = false;
    for (int i = 0; i < 60000; ++i) zip.add("e" + std::to_string(i), "", stored);
    writeArchive("Wide.zip", zip);
    // A table of 16 entries leaves 59984 to the filter.
    ArchiveIndex index((root / "themes" / "Wide.zip").u16string(), 16);
    const double seconds = secondsOf([&] {
        for (int i = 0; i < 4096; ++i) {
            ArchiveStatus status{};
            const std::string number = std::to_string(i);
            EXPECT_EQ(index.findMember(u"missing_" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"_" +
                                           std::u16string(number.begin(), number.end()) + u".png",
                                       &status)
                          .index,
                      -1);
            EXPECT_EQ(status, ArchiveStatus::NotFound);
        }
    });
    // A walk of the directory per name would take minutes.
    EXPECT_LT(seconds, 5.0);
    ArchiveStatus status{};
    EXPECT_EQ(index.findMember(u"e59999", &status).index, 59999);
    EXPECT_EQ(status, ArchiveStatus::Ok);
}

TEST_F(HostileBounds, AFrameDrawsWithinItsBudgetAndTheLayerPastItIsLeftOut) {
    // 40000 full-screen particles (10000 a layer): 40000 screens a frame.
    const std::string png = pngHeaderOnly(1920, 1080);
    device.registerPictureBytes(png, 1920, 1080);
    ZipWriter zip;
    std::string text = "params width:1920\nadd_particle name:small instances:20\n";
    for (int l = 0; l < 4; ++l) text += "add_particle name:p instances:10000\n";
    zip.add("theme.txt", text);
    zip.add("p_1_1.png", png);
    zip.add("small_1_1.png", pngHeaderOnly(16, 16));
    device.registerPictureBytes(pngHeaderOnly(16, 16), 16, 16);
    writeArchive("Crowd.zip", zip);
    EXPECT_FALSE(loadTheme(u"Crowd.zip", {}).has_value());
    EXPECT_FALSE(theme.backParticles[0].pastDrawBudget);
    for (int l = 1; l <= 4; ++l) EXPECT_TRUE(theme.backParticles[l].pastDrawBudget) << l;
    const std::vector<LayerPastDrawBudget> past = planDrawBudget();
    ASSERT_EQ(past.size(), 4u);
    EXPECT_EQ(past[0].name, u"p");
    device.clearCalls();
    updateScene(16);
    drawScene();
    EXPECT_LE(device.count(DeviceCall::DrawBitmap), 20u);
}

}  // namespace
}  // namespace velmora::testing
