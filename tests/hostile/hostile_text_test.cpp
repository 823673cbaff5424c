// Texts far beyond any real theme.txt or config.txt: each reads within a bounded amount of
// memory, the theme loads (empty, or as far as it is sound), and the program goes on.
#include <gtest/gtest.h>

#include <string>

#include "allocation_meter.h"
#include "hostile_theme.h"
#include "resources/archive_reader.h"
#include "app/config_section.h"
#include "resources/config.h"
#include "scene/load_theme.h"
#include "scene/animation.h"
#include "scene/drawing.h"
#include "scene/load_theme.h"

namespace velmora::testing {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
const std::string kSnowLine = "add_particle name:snow\n";

using HostileText = HostileTheme;

// A frame of the loaded scene, as the timer draws it.
void playFrames() {
    for (int elapsed : {16, 0, 1000000, -5}) {
        updateScene(elapsed);
        drawScene();
    }
}

TEST_F(HostileText, AnArchivedThemeTxtOf200MBReadsAsEmptyBeforeAnythingIsAllocated) {
    ZipWriter zip;
    zip.addRepeated("theme.txt", kSnowLine, 200'000'000);
    writeArchive("Huge.zip", zip);

    ArchiveStatus status{};
    const ThemeSource source = themeSourceFor(u"Huge.zip");
    {
        AllocationMeter meter;
        EXPECT_EQ(readText(source, u"theme.txt"), u"");
        EXPECT_LT(meter.peak(), kMiB);
    }
    EXPECT_EQ(readArchiveText(source.path, u"theme.txt", &status, kMaxTextFileSize), u"");
    EXPECT_EQ(status, ArchiveStatus::TooLarge);

    AllocationMeter meter;
    EXPECT_FALSE(loadTheme(u"Huge.zip", {}).has_value());
    EXPECT_LT(meter.peak(), kMiB);
    EXPECT_EQ(theme.backParticleCount, 0);
    playFrames();
}

TEST_F(HostileText, AnArchiveStatingLessThanItsDataIsReadOnlyAsFarAsItStates) {
    // The headers say three lines; the data inflates to 200 MB of them.
    ZipWriter zip;
    ZipWriter::Entry lying;
    lying.statedSize = static_cast<std::uint32_t>(3 * kSnowLine.size());
    zip.addRepeated("theme.txt", kSnowLine, 200'000'000, lying);
    writeArchive("Lying.zip", zip);

    AllocationMeter meter;
    ArchiveStatus status{};
    const std::u16string text = readArchiveText(themeSourceFor(u"Lying.zip").path, u"theme.txt", &status, kMaxTextFileSize);
    EXPECT_EQ(text.size(), 3 * kSnowLine.size());
    EXPECT_EQ(status, ArchiveStatus::ChecksumMismatch);
    EXPECT_FALSE(loadTheme(u"Lying.zip", {}).has_value());
    EXPECT_LT(meter.peak(), kMiB);
    // The bytes read are used.
    EXPECT_EQ(theme.backParticleCount, 3);
    playFrames();
}

TEST_F(HostileText, ASixteenMebibyteFolderFileOfShortLinesParsesWithinTwiceItsText) {
    std::string text = "add_sprite name:rock\n";
    const std::string last = "add_particle name:snow\n";
    while (text.size() + 2 + last.size() <= kMaxTextFileSize) text += "a\n";
    text += last;
    writeFolderTheme("Lines", text);

    AllocationMeter meter;
    EXPECT_FALSE(loadTheme(u"Lines", {}).has_value());
    // Read, decoded and parsed: the UTF-16 text is 2 bytes per character.
    EXPECT_LT(meter.peak(), 2 * 2 * text.size());
    EXPECT_EQ(theme.backSpriteCount, 1);
    EXPECT_EQ(theme.backParticleCount, 1);  // the last line was reached
    playFrames();
}

TEST_F(HostileText, AFolderFileOneBytePastTheLimitReadsAsEmptyBeforeAnythingIsAllocated) {
    std::string text = "add_particle name:snow\n";
    text.resize(kMaxTextFileSize + 1, '\n');
    writeFolderTheme("Over", text);
    AllocationMeter meter;
    EXPECT_FALSE(loadTheme(u"Over", {}).has_value());
    EXPECT_LT(meter.peak(), kMiB);
    EXPECT_EQ(theme.backParticleCount, 0);

    // At the limit exactly it reads.
    text.resize(kMaxTextFileSize);
    writeFolderTheme("Over", text);
    EXPECT_FALSE(loadTheme(u"Over", {}).has_value());
    EXPECT_EQ(theme.backParticleCount, 1);
}

TEST_F(HostileText, ASixteenMebibyteConfigTxtOfOneLetterWordsIsReadToItsEnd) {
    std::string text = "global";
    const std::string last = "\nconfig default_theme:Sky fps:25\n";
    while (text.size() + 2 + last.size() <= kMaxTextFileSize) text += " a";
    text += last;
    writeBytes(root / "config.txt", text);

    AllocationMeter meter;
    readConfigSection();
    readGlobalSettings();
    EXPECT_LT(meter.peak(), 2 * 2 * text.size());
    EXPECT_EQ(appState.currentTheme, u"Sky");
    EXPECT_EQ(appState.frameRate, 25);
}

}  // namespace
}  // namespace velmora::testing
