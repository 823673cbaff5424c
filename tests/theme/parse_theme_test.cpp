#include "theme/parse_theme.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ground/records.h"
#include "ground/random.h"
#include "support/process_state.h"
#include "support/temp_folder.h"
#include "ground/text_format.h"
#include "ground/theme_model.h"

namespace velmora {
namespace {

class ThemeParse : public ::testing::Test {
protected:
    void SetUp() override { velmora::testing::resetProcessState(); }
    void TearDown() override { velmora::testing::resetProcessState(); }

    // The draw that follows everything parsed so far, to tell how many draws a parse made.
    static std::int32_t drawAfter(std::uint32_t seed, int draws) {
        seedRandom(seed);
        for (int i = 0; i < draws; ++i) (void)nextRandom();
        return nextRandom();
    }
};

std::string messageOf(const std::u16string& text, int* line = nullptr) {
    try {
        parseThemeText(text, theme);
    } catch (const NumberError& error) {
        if (line) *line = error.line;
        return error.what();
    }
    return "no error";
}

TEST_F(ThemeParse, DefaultsOfEveryKeyword) {
    parseThemeText(u"add_particle\nadd_sprite\nadd_character\nceiling\n", theme);
    EXPECT_EQ(theme.params.width, -1.0f);
    EXPECT_EQ(theme.params.ycollider, 40.0f);  // no floor line
    const ParticleLayer& p = theme.backParticles[0];
    EXPECT_EQ(p.instances, 4);
    EXPECT_EQ(p.xscroll, 3.125f);
    EXPECT_EQ(p.ext, u"png");
    EXPECT_EQ(p.fadingOut.size(), 4u);
    const SpriteLayer& s = theme.backSprites[0];
    EXPECT_EQ(s.xscroll, 50.0f);
    EXPECT_EQ(s.yposition, SpriteAnchor::Floor);
    const CharacterLayer& c = theme.characters[0];
    EXPECT_EQ(c.appearTime, 0.5f);
    EXPECT_EQ(c.speed, 0.025f);
    EXPECT_EQ(c.duration, 100);
    for (const Tween& t : {c.appear[0], c.turn[0]}) {
        EXPECT_EQ(t.value, 1.0f);
        EXPECT_EQ(t.remaining + t.rate + t.delay + t.delayRate, 0.0f);
    }
    EXPECT_EQ(theme.backParticleCount + theme.backSpriteCount + theme.characterCount, 3);
    EXPECT_EQ(theme.frontParticleCount + theme.frontSpriteCount, 0);
}

TEST_F(ThemeParse, EveryKeyIsRead) {
    parseThemeText(
        u"params width:800.7\n"
        u"floor name:\tgrass ycollider:12.5\n"
        u"background name:sky\nscreen name:glass\nceiling name:roof\n"
        u"add_particle name:leaf ext:gif layer:front filter:linear variations:3 frames:2 instances:5 "
        u"xscroll:1.5 xanimation:-0.25 yanimation:0.125 duration:\t70\n"
        u"add_sprite name:tree layer:front filter:Linear variations:2 frames:3 instances:4 xscroll:7 "
        u"yposition:top ydirection:-2 xseparationmin:2 xseparationmax:5 yseparationmin:3 yseparationmax:6 "
        u"xanimation:0.5 duration:80 xoffset:0\n"
        u"add_character name:cat frames:6 instances:2 xscroll:9 speed:0.05 type:between between:tree duration:90 "
        u"filter:linear ext:bmp\n", theme);
    EXPECT_EQ(theme.params.width, 800.0f);
    EXPECT_EQ(theme.floorName, u"grass");  // TAB after the colon trimmed
    EXPECT_EQ(theme.params.ycollider, 12.5f);
    EXPECT_EQ(theme.backgroundName, u"sky");
    EXPECT_EQ(theme.screenName, u"glass");
    EXPECT_EQ(theme.ceilingName, u"roof");

    ASSERT_EQ(theme.frontParticleCount, 1);
    const ParticleLayer& p = theme.frontParticles[0];
    EXPECT_EQ(p.name, u"leaf");
    EXPECT_EQ(p.ext, u"gif");
    EXPECT_EQ(p.linear, 1);
    EXPECT_EQ(p.xanimation, -0.25f);
    EXPECT_EQ(p.yanimation, 0.125f);
    EXPECT_EQ(p.xscroll, 1.5f);
    EXPECT_EQ(p.duration, 70);  // TAB before a number skipped
    ASSERT_EQ(p.images.size(), 3u);
    EXPECT_EQ(p.images[2].size(), 2u);
    EXPECT_EQ(p.frame.size(), 5u);

    ASSERT_EQ(theme.frontSpriteCount, 1);
    const SpriteLayer& s = theme.frontSprites[0];
    EXPECT_EQ(s.linear, 0);  // only exactly "linear"
    EXPECT_EQ(s.yposition, SpriteAnchor::Top);
    EXPECT_EQ(s.ydirection, -2);
    EXPECT_EQ(s.xseparationmin, 2);
    EXPECT_EQ(s.xseparationmax, 5);
    EXPECT_EQ(s.yseparationmin, 3);
    EXPECT_EQ(s.yseparationmax, 6);
    EXPECT_EQ(s.xanimation, 0.5f);
    EXPECT_EQ(s.duration, 80);
    EXPECT_TRUE(s.xoffset);
    EXPECT_EQ(s.images.size(), 2u);
    EXPECT_EQ(s.posX.size(), 4u);

    const CharacterLayer& c = theme.characters[0];
    EXPECT_EQ(c.type, CharacterType::Between);
    EXPECT_EQ(c.between, u"tree");
    EXPECT_EQ(c.speed, 0.05f);
    EXPECT_EQ(c.ext, u"bmp");
    EXPECT_EQ(c.linear, 1);
    EXPECT_EQ(c.images.size(), 6u);
    EXPECT_EQ(c.direction.size(), 2u);
}

TEST_F(ThemeParse, EachWordIsCommittedAsItsMeaning) {
    // Every word of each vocabulary, one in another case, an empty one and none.
    parseThemeText(
        u"add_sprite yposition:floor\nadd_sprite yposition:top\nadd_sprite yposition:bottom\n"
        u"add_sprite yposition:Top\nadd_sprite yposition:\nadd_sprite\n"
        u"add_character type:floor\nadd_character type:sine\nadd_character type:between between:Rock\n"
        u"add_character type:Sine\nadd_character type:\nadd_character\n"
        u"add_particle filter:linear layer:front\nadd_particle filter:nearest layer:back\n"
        u"add_particle filter:Linear layer:Front\nadd_particle filter: layer:\n", theme);
    const SpriteAnchor anchors[] = {SpriteAnchor::Floor, SpriteAnchor::Top,   SpriteAnchor::Bottom,
                                    SpriteAnchor::Other, SpriteAnchor::Other, SpriteAnchor::Floor};
    ASSERT_EQ(theme.backSpriteCount, 6);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(theme.backSprites[i].yposition, anchors[i]) << i;
    const CharacterType types[] = {CharacterType::Floor, CharacterType::Sine,  CharacterType::Between,
                                   CharacterType::Other, CharacterType::Other, CharacterType::Other};
    ASSERT_EQ(theme.characterCount, 6);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(theme.characters[i].type, types[i]) << i;
    EXPECT_EQ(theme.characters[2].between, u"Rock");  // a name, kept as written
    ASSERT_EQ(theme.frontParticleCount, 1);
    EXPECT_EQ(theme.frontParticles[0].linear, 1);
    ASSERT_EQ(theme.backParticleCount, 3);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(theme.backParticles[i].linear, 0) << i;
}

TEST_F(ThemeParse, LineAndWordRules) {
    parseThemeText(
        u"add_sprite  name:a\n"                  // empty word ignored, line still adds
        u"add_sprite\tname:b\n"                  // one unknown keyword
        u"Params width:5\n"                      // keywords are case-sensitive
        u"params Width:6\n"                      // keys too: width back to its default
        u"add_sprite layer:Front name:c name:d\n"  // later key wins; Front is not front
        u"add_sprite layer:front\t name:e:f:g\n"   // trimmed string; value between the colons
        u"add_sprite xoffset name\n"             // flag without colon; name without colon ignored
        u"X\n"
        u"background name:first\r\n"
        u"background\r\n"                        // a repeated line sets every field again
        u"floor name:f ycollider:3\n"
        u"floor name:g\n"
        u"x\n"
        u"add_particle\n", theme);
    EXPECT_EQ(theme.backSpriteCount, 3);
    EXPECT_EQ(theme.backSprites[0].name, u"a");
    EXPECT_EQ(theme.backSprites[1].name, u"d");
    EXPECT_TRUE(theme.backSprites[2].xoffset);
    EXPECT_EQ(theme.backSprites[2].name, u"");
    ASSERT_EQ(theme.frontSpriteCount, 1);
    EXPECT_EQ(theme.frontSprites[0].name, u"e");
    EXPECT_EQ(theme.params.width, -1.0f);
    EXPECT_EQ(theme.backgroundName, u"");
    EXPECT_EQ(theme.floorName, u"g");
    EXPECT_EQ(theme.params.ycollider, 80.0f);
    EXPECT_EQ(theme.backParticleCount, 0);  // after the stop line
}

TEST_F(ThemeParse, StartFramesDrawInLineAndInstanceOrder) {
    // Draws for seed 12345: 7584 19164 25795 22125 5828 23405 27477 5413.
    seedRandom(12345);
    parseThemeText(
        u"add_particle frames:7 instances:3\n"
        u"add_sprite instances:20000 frames:9\n"  // beyond the limits: no draws
        u"add_sprite layer:front variations:2 frames:4 instances:2\n"
        u"add_particle instances:0 frames:3\n"
        u"add_character frames:5 instances:2\n", theme);
    EXPECT_EQ(theme.backParticles[0].frame, (std::vector<std::int32_t>{3, 5, 0}));
    EXPECT_EQ(theme.backSpriteCount, 0);
    EXPECT_EQ(theme.frontSprites[0].frame, (std::vector<std::int32_t>{1, 0}));
    EXPECT_TRUE(theme.backParticles[1].frame.empty());
    EXPECT_EQ(theme.backParticles[1].images.size(), 1u);  // no instances, still a table
    EXPECT_EQ(theme.backParticles[1].images[0].size(), 3u);
    EXPECT_EQ(theme.characters[0].frame, (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(nextRandom(), 5413);
}

TEST_F(ThemeParse, CountsAreClamped) {
    Diagnostics diagnostics;
    parseThemeText(u"add_particle variations:0 frames:-5 instances:-3\nadd_character frames:0\n", theme, {&diagnostics});
    const ParticleLayer& p = theme.backParticles[0];
    EXPECT_EQ(p.variations, 1);
    EXPECT_EQ(p.frames, 1);
    EXPECT_EQ(p.instances, 0);
    EXPECT_TRUE(p.posX.empty());
    ASSERT_EQ(p.images.size(), 1u);
    EXPECT_EQ(p.images[0].size(), 1u);
    EXPECT_EQ(theme.characters[0].frames, 1);
    EXPECT_EQ(theme.characters[0].frame, (std::vector<std::int32_t>{0}));
    ASSERT_EQ(diagnostics.size(), 4u);
    EXPECT_EQ(diagnostics[0].message, "add_particle: variations 0 read as 1");
    EXPECT_EQ(diagnostics[2].message, "add_particle: instances -3 read as 0");
    EXPECT_EQ(diagnostics[3].line, 2);
    EXPECT_EQ(diagnostics[3].severity, Diagnostic::Severity::Warning);
}

TEST_F(ThemeParse, LimitsRejectTheLineAndReadingGoesOn) {
    Diagnostics diagnostics;
    parseThemeText(
        u"add_particle instances:10000 variations:256 frames:16\n"  // exactly at the limits
        u"add_particle instances:10001\n"
        u"add_particle instances:2000000000\n"
        u"add_sprite variations:257\n"
        u"add_sprite frames:1025\n"
        u"add_sprite variations:64 frames:65\n"
        u"add_character frames:4097\n"
        u"add_character instances:3\n",
        theme, {&diagnostics});
    EXPECT_EQ(theme.backParticleCount, 1);
    EXPECT_EQ(theme.backParticles[0].frame.size(), 10000u);
    EXPECT_EQ(theme.backSpriteCount, 0);
    ASSERT_EQ(theme.characterCount, 1);
    EXPECT_EQ(theme.characters[0].instances, 3);
    ASSERT_EQ(diagnostics.size(), 6u);
    for (const Diagnostic& d : diagnostics) EXPECT_EQ(d.severity, Diagnostic::Severity::Error);
    EXPECT_EQ(diagnostics[0].line, 2);
    EXPECT_EQ(diagnostics[0].message, "add_particle: instances 10001 above the limit of 10000; line ignored");
    EXPECT_EQ(diagnostics[4].message, "add_sprite: variations x frames 4160 above the limit of 4096; line ignored");
}

TEST_F(ThemeParse, TheLineThatWouldPassTheThemeInstanceLimitIsNotAdded) {
    Diagnostics diagnostics;
    parseThemeText(
        u"add_particle instances:10000\n"
        u"add_particle instances:10000 layer:front\n"
        u"add_sprite instances:10000\n"
        u"add_sprite instances:10000 layer:front\n"
        u"add_character instances:9999\n"
        u"add_character instances:2\n"  // 50001
        u"add_character instances:1\n"  // exactly 50000
        u"add_sprite instances:1\n"
        u"add_particle instances:0\n",  // still fits
        theme, {&diagnostics});
    EXPECT_EQ(theme.backParticleCount, 2);
    EXPECT_EQ(theme.frontParticleCount, 1);
    EXPECT_EQ(theme.backSpriteCount, 1);
    EXPECT_EQ(theme.frontSpriteCount, 1);
    ASSERT_EQ(theme.characterCount, 2);
    EXPECT_EQ(theme.characters[1].frame.size(), 1u);
    const std::int32_t next = nextRandom();
    EXPECT_EQ(next, drawAfter(1, 50000));  // no draws for the lines not added
    ASSERT_EQ(diagnostics.size(), 2u);
    EXPECT_EQ(diagnostics[0].line, 6);
    EXPECT_EQ(diagnostics[0].severity, Diagnostic::Severity::Error);
    EXPECT_EQ(diagnostics[0].message, "add_character: instances of the theme 50001 above the limit of 50000; line ignored");
    EXPECT_EQ(diagnostics[1].line, 8);

    // A new parse starts counting again.
    parseThemeText(u"add_sprite instances:10000\n", theme);
    EXPECT_EQ(theme.backSpriteCount, 1);
}

TEST_F(ThemeParse, AHundredAndTwentyNinthElementIsReadButNotAdded) {
    std::u16string text;
    for (int i = 0; i < 128; ++i) text += u"add_sprite name:s" + std::u16string(1, char16_t(u'0' + i % 10)) + u"\n";
    text += u"add_sprite name:extra instances:5 frames:3\nadd_sprite layer:front\n";
    Diagnostics diagnostics;
    parseThemeText(text, theme, {&diagnostics});
    EXPECT_EQ(theme.backSpriteCount, LayerCapacity);
    EXPECT_EQ(theme.backSprites[127].name, u"s7");
    EXPECT_EQ(theme.frontSpriteCount, 1);
    const std::int32_t next = nextRandom();
    EXPECT_EQ(next, drawAfter(1, 129));  // one draw per added sprite, none for the extra
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].line, 129);
    EXPECT_EQ(diagnostics[0].message, "add_sprite: more than 128 back sprite layers; line ignored");

    // Its numbers are still read.
    int line = 0;
    EXPECT_EQ(messageOf(text + u"add_sprite frames:many\n", &line), "invalid stoi argument");
    EXPECT_EQ(line, 131);
    EXPECT_EQ(theme.backSpriteCount, LayerCapacity);
}

TEST_F(ThemeParse, BadNumberKeepsEarlierLinesOnly) {
    int line = 0;
    EXPECT_EQ(messageOf(u"add_sprite\n# note\nfloor name:f\nparams width:abc\nadd_particle\n", &line),
              "invalid stoi argument");
    EXPECT_EQ(line, 4);
    EXPECT_EQ(theme.backSpriteCount, 1);
    EXPECT_EQ(theme.floorName, u"f");
    EXPECT_EQ(theme.params.width, -1.0f);
    EXPECT_EQ(theme.backParticleCount, 0);

    EXPECT_EQ(messageOf(u"add_particle instances:2\nadd_particle name:late xscroll:1e39 instances:2\n", &line),
              "stof argument out of range");
    EXPECT_EQ(line, 2);
    EXPECT_EQ(theme.backParticleCount, 1);
    EXPECT_EQ(theme.backParticles[1].name, u"");
    EXPECT_EQ(messageOf(u"floor ycollider:none"), "invalid stof argument");
    EXPECT_EQ(theme.params.ycollider, 40.0f);
    EXPECT_EQ(messageOf(u"add_character duration:3000000000"), "stoi argument out of range");
    EXPECT_EQ(theme.characterCount, 0);
    // A number key without a value is ignored, not a bad number.
    EXPECT_EQ(messageOf(u"params width\nadd_particle instances frames"), "no error");
    EXPECT_EQ(theme.backParticles[0].instances, 4);
}

TEST_F(ThemeParse, DiagnosticsForTheAuthor) {
    Diagnostics diagnostics;
    try {
        parseThemeText(u"Params width:1\nadd_sprite nmae:a layer\nadd_particle instances:x1\n", theme, {&diagnostics});
        FAIL();
    } catch (const NumberError&) {
    }
    ASSERT_EQ(diagnostics.size(), 4u);
    EXPECT_EQ(diagnostics[0].message, "unknown keyword \"Params\"; line ignored");
    EXPECT_EQ(diagnostics[1].message, "add_sprite: unknown key \"nmae\" ignored");
    EXPECT_EQ(diagnostics[2].message, "add_sprite: \"layer\" has no colon and value; ignored");
    EXPECT_EQ(diagnostics[3].line, 3);
    EXPECT_EQ(diagnostics[3].severity, Diagnostic::Severity::Error);
    EXPECT_EQ(diagnostics[3].message, "add_particle: \"instances\" value \"x1\": invalid stoi argument");
}

// Counts the pictures still alive, to see that a reset releases each exactly once.
std::atomic<int> liveBitmaps{0};
class CountedBitmap : public Bitmap {
public:
    CountedBitmap() { ++liveBitmaps; }
    ~CountedBitmap() override { --liveBitmaps; }
    std::int32_t pixelWidth() const override { return 1; }
    std::int32_t pixelHeight() const override { return 1; }
};

TEST_F(ThemeParse, ResetReleasesTheOldThemeAndKeepsExtensions) {
    parseThemeText(u"add_particle variations:3 frames:4 ext:gif layer:front\nadd_character frames:2\nfloor name:f\n", theme);
    for (auto& row : theme.frontParticles[0].images)
        for (ImageFrame& frame : row) frame.bitmap = std::make_unique<CountedBitmap>();
    theme.characters[0].images[1].bitmap = std::make_unique<CountedBitmap>();
    EXPECT_EQ(liveBitmaps, 13);

    theme.characters[5].appearTime = 7.0f;  // an element never used
    parseThemeText(u"params width:5\n", theme);
    EXPECT_EQ(liveBitmaps, 0);
    EXPECT_EQ(theme.frontParticleCount, 0);
    EXPECT_EQ(theme.characterCount, 0);
    EXPECT_EQ(theme.floorName, u"");
    EXPECT_EQ(theme.params.ycollider, 40.0f);
    EXPECT_TRUE(theme.frontParticles[0].images.empty());
    EXPECT_TRUE(theme.frontParticles[0].frame.empty());
    EXPECT_EQ(theme.frontParticles[0].variations, 1);
    EXPECT_EQ(theme.frontParticles[0].ext, u"gif");  // the reset leaves the extension
    EXPECT_EQ(theme.characters[5].appearTime, 0.5f);
}

class ThemeFile : public ThemeParse {
protected:
    void SetUp() override {
        ThemeParse::SetUp();
        appState.programFolder = folder.path().u16string() + char16_t(std::filesystem::path::preferred_separator);
    }
    void writeTheme(const std::string& bytes) { folder.write("themes/Forest/theme.txt", bytes); }
    testing::TempFolder folder;
};

TEST_F(ThemeFile, ReadsTheCurrentThemesFile) {
    writeTheme("\xEF\xBB\xBF" "background name:b\xC3\xA9\r\nadd_sprite\r\n");
    appState.currentTheme = u"Forest";
    Diagnostics diagnostics;
    parseTheme(&diagnostics);
    EXPECT_EQ(theme.backgroundName, u"b\u00E9");
    EXPECT_EQ(theme.backSpriteCount, 1);
    EXPECT_TRUE(diagnostics.empty());

    appState.currentTheme = u"Missing";
    parseTheme();
    EXPECT_EQ(theme.backSpriteCount, 0);
    EXPECT_EQ(theme.backgroundName, u"");

    appState.currentTheme.clear();
    parseThemeText(u"add_sprite\n", theme);
    parseTheme();
    EXPECT_EQ(theme.backSpriteCount, 0);
}

}  // namespace
}  // namespace velmora
