// A theme packed as an archive parses to the same model as the same theme in a folder.
#include <gtest/gtest.h>

#include <sstream>

#include "ground/records.h"
#include "ground/text_decoding.h"
#include "resources/theme_source.h"
#include "ground/random.h"
#include "support/process_state.h"
#include "theme/parse_theme.h"
#include "ground/theme_model.h"
#include "zip_files.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

template <typename T>
std::string join(const std::vector<T>& values) {
    std::ostringstream out;
    for (const T& v : values) out << v << ',';
    return out.str();
}

// Everything parseTheme sets, as one comparable text.
std::string describeTheme() {
    std::ostringstream out;
    out << theme.params.width << ' ' << theme.params.ycollider << ' ' << encodeUtf8(theme.floorName) << ' '
        << encodeUtf8(theme.ceilingName) << ' ' << encodeUtf8(theme.backgroundName) << ' '
        << encodeUtf8(theme.screenName) << '\n';
    auto particles = [&](const auto& layers, int count) {
        for (int i = 0; i < count; ++i) {
            const ParticleLayer& l = layers[i];
            out << "particle " << encodeUtf8(l.name) << ' ' << encodeUtf8(l.ext) << ' ' << l.instances << ' '
                << l.variations << ' ' << l.frames << ' ' << l.xscroll << ' ' << l.duration << ' ' << l.linear
                << ' ' << join(l.frame) << ' ' << l.images.size() << '\n';
        }
    };
    auto sprites = [&](const auto& layers, int count) {
        for (int i = 0; i < count; ++i) {
            const SpriteLayer& l = layers[i];
            out << "sprite " << encodeUtf8(l.name) << ' ' << l.instances << ' ' << l.frames << ' ' << l.xoffset
                << ' ' << static_cast<int>(l.yposition) << ' ' << l.ydirection << ' ' << join(l.frame) << '\n';
        }
    };
    particles(theme.backParticles, theme.backParticleCount);
    particles(theme.frontParticles, theme.frontParticleCount);
    sprites(theme.backSprites, theme.backSpriteCount);
    sprites(theme.frontSprites, theme.frontSpriteCount);
    for (int i = 0; i < theme.characterCount; ++i) {
        const CharacterLayer& l = theme.characters[i];
        out << "character " << encodeUtf8(l.name) << ' ' << static_cast<int>(l.type) << ' ' << encodeUtf8(l.between)
            << ' ' << l.speed << ' ' << l.instances << ' ' << join(l.frame) << '\n';
    }
    return out.str();
}

std::string parseFrom(const std::u16string& themeName) {
    appState.currentTheme = themeName;
    seedRandom(1);
    parseTheme();
    return describeTheme();
}

TEST(ThemeArchive, ParsesLikeTheSameThemeInAFolder) {
    if (!toolAvailable("zip")) GTEST_SKIP() << "zip is not installed (scripts/setup.sh installs it)";
    resetProcessState();
    TempFolder temp;
    appState.programFolder = u16(temp.path()) + kPathSeparator;
    const std::string body =
        "floor name:floor ycollider:60\r\n"
        "# comment\r\n"
        "background name:sky\r\n"
        "add_particle name:snow layer:front variations:2 frames:3 instances:5 filter:linear\r\n"
        "add_sprite name:tree instances:4 frames:2 xoffset yposition:top\r\n"
        "add_character name:fox type:between between:tree frames:4 instances:3\r\n"
        "x\r\n"
        "add_particle name:ignored\r\n";

    for (const bool withMark : {false, true}) {
        const fs::path folder = temp / "themes" / "Forest";
        fs::create_directories(folder);
        writeFile(folder / "theme.txt", (withMark ? "\xEF\xBB\xBF" : "") + std::string("params width:320\r\n") + body);
        fs::remove(temp / "themes" / "Forest.zip");
        ASSERT_TRUE(runCommand("cd " + shellQuoted(folder) + " && zip -q -X -9 ../Forest.zip theme.txt"));

        const std::string fromFolder = parseFrom(u"Forest");
        const std::string fromArchive = parseFrom(u"Forest.zip");
        EXPECT_NE(fromFolder.find("snow png 5 2 3"), std::string::npos) << fromFolder;
        EXPECT_EQ(fromFolder.rfind("320 60 floor", 0), 0u) << fromFolder;
        if (!withMark) {
            EXPECT_EQ(fromArchive, fromFolder);
        } else {
            // The folder read drops the byte-order mark; the archive read keeps it, so the first
            // line's keyword is not "params" and the width stays unset. All else is the same.
            EXPECT_EQ(fromArchive.rfind("-1 60 floor", 0), 0u) << fromArchive;
            EXPECT_EQ(fromArchive.substr(fromArchive.find(' ')), fromFolder.substr(fromFolder.find(' ')));
        }
    }
    resetProcessState();
}

// A theme load reads its archive through one index: the same text and bytes as one open per
// read, from one opening of the archive for as long as the load's scope lasts.
TEST(ThemeArchive, AThemeLoadReadsItsArchiveThroughOneIndex) {
    if (!toolAvailable("zip")) GTEST_SKIP() << "zip is not installed (scripts/setup.sh installs it)";
    resetProcessState();
    TempFolder temp;
    appState.programFolder = u16(temp.path()) + kPathSeparator;
    const fs::path folder = temp / "themes" / "Forest";
    fs::create_directories(folder);
    const Bytes floor = noiseBytes(5000, 11);
    writeFile(folder / "theme.txt", "floor name:floor\r\n");
    writeFile(folder / "FLOOR.PNG", floor);
    const auto pack = [&] {
        fs::remove(temp / "themes" / "Forest.zip");
        return runCommand("cd " + shellQuoted(folder) + " && zip -q -X -9 ../Forest.zip theme.txt FLOOR.PNG");
    };
    ASSERT_TRUE(pack());

    const ThemeSource source = themeSourceFor(u"Forest.zip");
    const ThemeSource indexed = withArchiveIndex(source);
    ASSERT_NE(indexed.archive, nullptr);
    EXPECT_EQ(withArchiveIndex(themeSourceFor(u"Forest")).archive, nullptr);
    EXPECT_EQ(readText(indexed, u"theme.txt"), readText(source, u"theme.txt"));
    EXPECT_EQ(readText(indexed, u"theme.txt"), u"floor name:floor\r\n");
    EXPECT_EQ(readBytes(indexed, u"floor.png"), floor);
    EXPECT_TRUE(readBytes(indexed, u"sky.png").empty());

    // The index holds the archive as it was read when it was made: a load sees one archive
    // throughout, even when the file is replaced meanwhile.
    writeFile(folder / "theme.txt", "floor name:other\r\n");
    ASSERT_TRUE(pack());
    EXPECT_EQ(readText(indexed, u"theme.txt"), u"floor name:floor\r\n");
    EXPECT_EQ(readBytes(indexed, u"FLOOR.png"), floor);
    EXPECT_EQ(readText(source, u"theme.txt"), u"floor name:other\r\n");
    resetProcessState();
}

}  // namespace
}  // namespace velmora::testing
