#include <charconv>
#include <cstdlib>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tool_fixture.h"

namespace velmora::testing {
namespace {

// A small theme with one layer of each kind, on a 160x100 desktop at scale 2.
class TinyThemeTest : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        writeFile(root / "config.txt", "global scale:2 ping_pong:0.001\n");
        writeTheme(
            "params width:100\n"
            "floor name:ground ycollider:10\n"
            "add_sprite name:rock instances:2 xseparationmin:5 xseparationmax:5\n"
            "add_character name:cat type:floor frames:2\n"
            "add_particle name:dot layer:front\n");
        const auto folder = root / "themes" / "Tiny";
        writePng(folder / "ground.png", 100, 8);
        writePng(folder / "rock_1_1.png", 4, 4);
        writePng(folder / "cat_1.png", 8, 6);
        writePng(folder / "cat_2.png", 8, 6);
        writePng(folder / "dot_1_1.png", 2, 2);
    }

    void writeTheme(const std::string& text) { writeFile(root / "themes" / "Tiny" / "theme.txt", text); }

    ToolRun trace(const std::string& ticks, const std::string& theme = "Tiny") {
        return run({"trace", "--root", rootArg(), "--theme", theme, "--seed", "7", "--desktop", "160x100", "--ticks", ticks});
    }
};

std::string shortest(float value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

TEST_F(TinyThemeTest, TraceLoadLineHasEveryValueInOrder) {
    const ToolRun result = trace("1000");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"load\": {\"pixelScale\": 2, \"viewTop\": 0, \"viewHeight\": 100, \"pingPong\": 0.001, \"baseOffset\": 0, "
              "\"width\": 100, \"ycollider\": 10, \"sceneWidth\": 200, \"sceneLeft\": -20, \"groundY\": 100, \"floorY\": 80, "
              "\"frameRate\": 60, \"counts\": [0, 1, 1, 0, 1]}, \"error\": null}\n");

    // A desktop that does not start at the origin moves the scene and the drawing area with it.
    const ToolRun moved = run({"trace", "--root", rootArg(), "--theme", "Tiny", "--seed", "7", "--desktop", "-30,5,160,100",
                               "--ticks", "1000"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_NE(moved.out.find("\"viewTop\": 5, \"viewHeight\": 100,"), std::string::npos) << moved.out;
    EXPECT_NE(moved.out.find("\"sceneLeft\": -50, \"groundY\": 105, \"floorY\": 85,"), std::string::npos) << moved.out;
}

TEST_F(TinyThemeTest, TraceWithMonitorsLaysOutAScenePerMonitorOrOneOverTheirBounds) {
    const std::vector<std::string> desk = {"trace", "--root", rootArg(), "--theme", "Tiny", "--seed", "7", "--ticks", "1000,1016"};
    const auto withMonitors = [&](const std::string& monitors) {
        std::vector<std::string> args = desk;
        args.insert(args.end(), {"--monitors", monitors});
        return run(args);
    };
    // One monitor at 96 DPI (the primary, at the origin) is the desktop itself, whatever
    // span_monitors says.
    const ToolRun plain = run({"trace", "--root", rootArg(), "--theme", "Tiny", "--seed", "7", "--desktop", "160x100", "--ticks", "1000,1016"});
    for (const char* config : {"global scale:2 ping_pong:0.001\n", "config span_monitors:0\nglobal scale:2 ping_pong:0.001\n"}) {
        writeFile(root / "config.txt", config);
        const ToolRun one = withMonitors("160x100+0+0");
        ASSERT_EQ(one.exitCode, 0) << one.err;
        EXPECT_EQ(one.out, plain.out) << config;
    }

    // A monitor at 192 DPI left of a taller one: each scene sits on its own monitor, in the
    // bounding rectangle's coordinates (the left one from 0, the other from 100).
    const ToolRun two = withMonitors("100x60+-100+40@192,160x100+0+0");
    ASSERT_EQ(two.exitCode, 0) << two.err;
    const auto out = lines(two.out);
    ASSERT_EQ(out.size(), 3u) << two.out;
    EXPECT_NE(out[0].find("\"pixelScale\": 4, \"viewTop\": 40, \"viewHeight\": 60,"), std::string::npos) << out[0];
    EXPECT_NE(out[0].find("\"sceneWidth\": 400, \"sceneLeft\": -150, \"groundY\": 100, \"floorY\": 60,"), std::string::npos) << out[0];
    EXPECT_NE(out[1].find("\"pixelScale\": 2, \"viewTop\": 0, \"viewHeight\": 100,"), std::string::npos) << out[1];
    EXPECT_NE(out[1].find("\"sceneWidth\": 200, \"sceneLeft\": 80, \"groundY\": 100, \"floorY\": 80,"), std::string::npos) << out[1];
    EXPECT_NE(out[2].find("\"pans\": ["), std::string::npos) << out[2];

    // Spanning: one scene over the bounding rectangle of 260 by 100, whose left is -100 on the
    // virtual screen, at the scaling of the monitor at the origin.
    writeFile(root / "config.txt", "global scale:2 ping_pong:0.001\n");
    const ToolRun spanned = withMonitors("100x60+-100+40@192,160x100+0+0");
    ASSERT_EQ(spanned.exitCode, 0) << spanned.err;
    EXPECT_EQ(lines(spanned.out).size(), 2u);
    EXPECT_NE(spanned.out.find("\"pixelScale\": 2, \"viewTop\": 0, \"viewHeight\": 100,"), std::string::npos) << spanned.out;
    EXPECT_NE(spanned.out.find("\"sceneWidth\": 200, \"sceneLeft\": -70, \"groundY\": 100,"), std::string::npos) << spanned.out;
}

TEST_F(TinyThemeTest, TraceFramesListEveryDrawWithMemberNamesAndShortestFloats) {
    const ToolRun result = trace("1000,1016,1033,1500,4294967295");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 5u);

    const std::regex frameLine(R"re(^\{"frame": (\d+), "pan": ([^,]+), "draws": \[(.*)\]\}$)re");
    const std::regex draw(
        R"re(\["([^"]+)", ([^,\]]+), ([^,\]]+), ([^,\]]+), ([^,\]]+), ([^,\]]+), ([^,\]]+), ([01])\])re");
    const std::set<std::string> members = {"ground.png", "rock_1_1.png", "cat_1.png", "cat_2.png", "dot_1_1.png"};
    for (std::size_t i = 1; i < out.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(out[i], m, frameLine)) << out[i];
        EXPECT_EQ(m[1].str(), std::to_string(i));
        std::vector<std::string> order;
        const std::string draws = m[3].str();
        for (std::sregex_iterator it(draws.begin(), draws.end(), draw), end; it != end; ++it) {
            const std::smatch& d = *it;
            EXPECT_EQ(members.count(d[1].str()), 1u) << d[1].str();
            order.push_back(d[1].str());
            // Every float is the shortest text that reads back as the same float.
            for (int k = 2; k <= 7; ++k) {
                const std::string token = d[k].str();
                EXPECT_EQ(shortest(std::strtof(token.c_str(), nullptr)), token);
            }
            if (d[1].str() == "ground.png") {
                EXPECT_EQ(d[4].str(), "84");   // y: the floor stands on the ground line
                EXPECT_EQ(d[5].str(), "200");  // w: 100 theme pixels at scale 2
                EXPECT_EQ(d[6].str(), "16");
                EXPECT_EQ(d[7].str(), "0");    // no mirror
                EXPECT_EQ(d[8].str(), "0");    // nearest
            }
        }
        // Back to front: back sprites, floor, characters, front particles.
        ASSERT_FALSE(order.empty());
        const auto ground = std::find(order.begin(), order.end(), "ground.png");
        ASSERT_NE(ground, order.end());
        EXPECT_EQ(order.back(), "dot_1_1.png");
        ASSERT_NE(ground, order.begin());  // the second rock is on the desktop
        for (auto it = order.begin(); it != ground; ++it) EXPECT_EQ(*it, "rock_1_1.png");
    }
    // The first frame pans 16 ms at 0.001 leftward.
    EXPECT_EQ(out[1].substr(0, 32), "{\"frame\": 1, \"pan\": -0.016, \"dra");
    // Walkers enter on their first update and are drawn from then on.
    EXPECT_NE(out[1].find("\"cat_"), std::string::npos);
}

TEST_F(TinyThemeTest, TraceReportsTheBadNumberAndKeepsTheLinesBeforeIt) {
    writeTheme(
        "params width:100\n"
        "floor name:ground ycollider:10\n"
        "add_sprite name:rock instances:2 xseparationmin:5 xseparationmax:5\n"
        "add_character name:cat type:floor frames:x2\n"
        "add_particle name:dot layer:front\n");
    const ToolRun result = trace("1000,1016");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NE(out[0].find("\"counts\": [0, 0, 1, 0, 0]}, \"error\": \"invalid stoi argument\"}"), std::string::npos) << out[0];
    EXPECT_NE(out[1].find("rock_1_1.png"), std::string::npos);
}

TEST_F(TinyThemeTest, TracePrintsNonFiniteValuesByName) {
    writeFile(root / "config.txt", "global scale:inf\n");
    const ToolRun result = trace("5");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\"pixelScale\": Infinity,"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"sceneLeft\": -Infinity,"), std::string::npos);
    EXPECT_NE(result.out.find("\"groundY\": NaN,"), std::string::npos);  // 100 - 0 x infinity
}

TEST_F(TinyThemeTest, TraceIsRepeatableAndTheDefaultThemeComesFromConfig) {
    writeFile(root / "config.txt", "config default_theme:Tiny\nglobal scale:2 ping_pong:0.001\n");
    const ToolRun first = trace("100,116,133,150");
    const ToolRun second = trace("100,116,133,150", "");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, second.out);
}

TEST_F(ToolTest, SampleThemeTracesAlikeFromItsFolderAndItsArchive) {
    const std::string name = VELMORA_SAMPLE_THEME_NAME;
    std::filesystem::copy(std::filesystem::path(VELMORA_SOURCE_DIR) / "themes" / name, root / "themes" / name,
                          std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(VELMORA_SAMPLE_THEME_ZIP, root / "themes" / (name + ".zip"));
    std::filesystem::copy_file(std::filesystem::path(VELMORA_SOURCE_DIR) / "config.txt", root / "config.txt");
    auto traceOf = [&](const std::string& theme) {
        return run({"trace", "--root", rootArg(), "--theme", theme, "--seed", "3", "--desktop", "0,0,1920,1080", "--ticks",
                    "500,516,533,549,566,2000"});
    };
    const ToolRun folder = traceOf(name);
    const ToolRun archive = traceOf(name + ".zip");
    ASSERT_EQ(folder.exitCode, 0) << folder.err;
    ASSERT_EQ(archive.exitCode, 0) << archive.err;
    EXPECT_EQ(lines(folder.out).size(), 6u);
    EXPECT_NE(folder.out.find("\"floor.png\""), std::string::npos);
    EXPECT_EQ(folder.out, archive.out);

    const ToolRun check = run({"check", "--root", rootArg()});
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_NE(check.out.find(name + ": ok\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find(name + ".zip: ok\n"), std::string::npos) << check.out;
}

// Snowy Meadow, the guide's example, uses every layer kind: it checks clean as a folder and as the
// archive the build packs, and renders.
TEST_F(ToolTest, SnowyMeadowChecksCleanAndRenders) {
    const std::string name = "VMA_Snowy_Meadow";
    std::filesystem::copy(std::filesystem::path(VELMORA_SOURCE_DIR) / "themes" / name, root / "themes" / name,
                          std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(std::filesystem::path(VELMORA_SAMPLE_THEME_ZIP).parent_path() / (name + ".zip"),
                               root / "themes" / (name + ".zip"));
    writeFile(root / "config.txt", "config default_theme:" + name + "\n");
    const ToolRun check = run({"check", "--root", rootArg()});
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_NE(check.out.find(name + ": ok\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find(name + ".zip: ok\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("checked 2 themes: 0 errors, 0 warnings"), std::string::npos) << check.out;

    const ToolRun render = run({"render", "--root", rootArg(), "--theme", name, "--desktop", "320x180", "--frames", "3",
                                "--out", (root / "frames").string()});
    EXPECT_EQ(render.exitCode, 0) << render.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(root / "frames" / "frame_0003.png"));
}

TEST_F(ToolTest, CheckPassesTheRepositoryProgramFolder) {
    const ToolRun result = run({"check", "--root", VELMORA_SOURCE_DIR});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("0 errors"), std::string::npos) << result.out;
}

TEST_F(TinyThemeTest, CheckListsEveryProblemWithFileAndLine) {
    writeFile(root / "config.txt", "config default_theme:Missing fps:sixty\nglobal scale:2 zoom:3\n");
    writeTheme(
        "params width:1OO\n"
        "floor name:ground ycollider:10\n"
        "add_sprite name:rock instances:2 colour:red\n"
        "sprites name:x\n"
        "add_character name:cat type:floor frames:3\n"
        "add_character name:dog type:between between:fence\n"
        "add_particle name:dot layer:front\n"
        "add_sprite name:bush instances:many\n");
    std::filesystem::remove(root / "themes" / "Tiny" / "rock_1_1.png");
    writeFile(root / "themes" / "Tiny" / "dot_1_1.png", "not a picture");

    const ToolRun result = run({"check", "--root", rootArg()});
    EXPECT_EQ(result.exitCode, 1);
    const std::string& out = result.out;
    const std::string file = "themes/Tiny/theme.txt:";
    for (const std::string& expected : {
             std::string("config.txt:1: error: default_theme \"Missing\""),
             std::string("config.txt:1: error: fps:sixty is not a whole number"),
             std::string("config.txt:2: warning: unknown key \"zoom\""),
             file + "8: error: instances:many is not a whole number (write digits, such as 3); the player reads no further",
             file + "3: warning: add_sprite: unknown key \"colour\"",
             file + "4: warning: unknown keyword \"sprites\"",
             file + "3: error: sprite layer \"rock\": picture rock_1_1.png is missing",
             file + "6: warning: between \"fence\" names no sprite layer",
             file + "6: error: character layer \"dog\": picture dog_1.png is missing",
             file + "7: error: particle layer \"dot\": picture dot_1_1.png is not a PNG file",
         }) {
        EXPECT_NE(out.find(expected), std::string::npos) << "missing: " << expected << "\nin:\n" << out;
    }
    // width:1OO reads as 1: not an error, the digits end at the letter O, but worth a warning.
    EXPECT_NE(out.find(file + "1: warning: width:1OO reads as 1; \"OO\" is ignored"), std::string::npos) << out;
    // The frame cat_3.png is missing: cat has three frames now.
    EXPECT_NE(out.find("picture cat_3.png is missing"), std::string::npos);
    EXPECT_NE(out.find("Tiny: 5 errors, 4 warnings"), std::string::npos) << out;
}

TEST_F(TinyThemeTest, CheckExplainsArchiveProblems) {
    const auto staging = root / "staging";
    writeFile(staging / "theme.txt", "floor name:ground\nadd_sprite name:rock\n");
    writePng(staging / "ground.png", 10, 4);
    const std::string zip = std::string("cd ") + shellQuote(staging.string()) + " && zip -q -X " +
                            shellQuote((root / "themes" / "Packed.zip").string()) + " theme.txt ground.png";
    ASSERT_EQ(std::system(zip.c_str()), 0);
    writeFile(root / "themes" / "Junk.zip", "PK but not really an archive");

    const ToolRun result = run({"check", "--root", rootArg(), "Packed.zip", "Junk.zip", "Nowhere"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("themes/Packed.zip/theme.txt:2: error: sprite layer \"rock\": picture rock_1_1.png is missing from the archive"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("themes/Junk.zip/theme.txt: error: cannot be read from the archive"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("themes/Nowhere: error: there is no theme folder or archive of this name"), std::string::npos);
    EXPECT_NE(result.out.find("checked 3 themes: 3 errors"), std::string::npos) << result.out;
}

TEST_F(TinyThemeTest, CheckExplainsPicturesFromTheirHeaders) {
    const auto folder = root / "themes" / "Tiny";
    const std::string png = readFile(folder / "cat_1.png");
    auto withSize = [&](std::uint32_t width, std::uint32_t height) {
        std::string forged = png;
        for (int i = 0; i < 4; ++i) {
            forged[static_cast<std::size_t>(16 + i)] = static_cast<char>(width >> (24 - 8 * i));
            forged[static_cast<std::size_t>(20 + i)] = static_cast<char>(height >> (24 - 8 * i));
        }
        return forged;
    };
    writeFile(folder / "rock_1_1.png", withSize(20000, 4));
    writeFile(folder / "cat_1.png", withSize(9000, 9000));
    std::string noHeader = png;
    noHeader[15] = 'X';
    writeFile(folder / "cat_2.png", noHeader);
    writeFile(folder / "dot_1_1.png", png.substr(0, 40));

    const ToolRun result = run({"check", "--root", rootArg(), "Tiny"});
    EXPECT_EQ(result.exitCode, 1);
    const std::string file = "themes/Tiny/theme.txt:";
    for (const std::string& expected : {
             file + "3: error: sprite layer \"rock\": picture rock_1_1.png is 20000x4 pixels; pictures larger than 16384 pixels on a side are refused",
             file + "4: error: character layer \"cat\": picture cat_1.png is 9000x9000 pixels; pictures of more than 64 megapixels are refused",
             file + "4: error: character layer \"cat\": picture cat_2.png is a damaged PNG file (no image header)",
             file + "5: error: particle layer \"dot\": picture dot_1_1.png cannot be decoded (damaged or unsupported PNG data)",
         }) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << "missing: " << expected << "\nin:\n" << result.out;
    }
}

TEST_F(TinyThemeTest, RenderWritesNumberedFramesOfTheDesktopSize) {
    const auto out = root / "frames";
    const ToolRun result = run({"render", "--root", rootArg(), "--theme", "Tiny", "--desktop", "32x20", "--fps", "25", "--frames", "3",
                                "--out", out.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("wrote 3 frames"), std::string::npos) << result.out;
    EXPECT_TRUE(result.err.empty()) << result.err;  // no progress display without a terminal
    for (const char* name : {"frame_0001.png", "frame_0002.png", "frame_0003.png"}) {
        const std::string png = readFile(out / name);
        ASSERT_GE(png.size(), 24u) << name;
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(static_cast<unsigned char>(png[19]), 32);  // IHDR width, low byte
        EXPECT_EQ(static_cast<unsigned char>(png[23]), 20);  // IHDR height, low byte
    }
    EXPECT_FALSE(std::filesystem::exists(out / "frame_0004.png"));

    const ToolRun missing = run({"render", "--root", rootArg(), "--theme", "Nope", "--desktop", "32x20", "--out", out.string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no theme Nope"), std::string::npos) << missing.err;
}

TEST_F(ToolTest, UsageErrorsExitWithTwo) {
    const std::string r = rootArg();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"paint"},
        {"check", "--rooot", r},
        {"check", "--root"},
        {"trace", "--root", r, "--theme", "T", "--desktop", "10x10", "--ticks", "1"},                  // no --seed
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--desktop", "0x10", "--ticks", "1"},    // empty desktop
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--desktop", "1,2,3", "--ticks", "1"},   // three numbers
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--desktop", "8x8", "--ticks", "1,,2"},  // empty tick
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--desktop", "8x8", "--ticks", "4294967296"},
        {"trace", "--root", r, "--theme", "T", "--seed", "-1", "--desktop", "8x8", "--ticks", "1"},
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--desktop", "8x8", "--ticks", "1", "extra"},
        {"render", "--root", r, "--desktop", "8x8", "--out", r, "--frames", "2", "--seconds", "1"},
        {"render", "--root", r, "--desktop", "8x8", "--out", r, "--fps", "0"},
        {"render", "--root", r, "--desktop", "8x8"},  // no --out
        {"render", "--root", r, "--desktop", "8193x8", "--out", r},  // beyond the one size limit
        {"play", "--root", r, "--size", "8193x8"},
        {"render", "--root", r, "--desktop", "8x8", "--out", r, "--loop"},  // --loop shapes a --webp
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--desktop", "8x8", "--monitors", "8x8+0+0", "--ticks", "1"},
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--monitors", "8x8+0", "--ticks", "1"},       // no top
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--monitors", "8x8+0+0@", "--ticks", "1"},    // no DPI
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--monitors", "8x8+0+0@9", "--ticks", "1"},   // DPI too small
        {"trace", "--root", r, "--theme", "T", "--seed", "1", "--monitors", "8x8+0+0,", "--ticks", "1"},    // empty monitor
        {"render", "--root", r, "--monitors", "8000x8+0+0,8000x8+8000+0", "--out", r},  // bounds beyond the size limit
        {"new"},
    };
    for (const auto& args : bad) {
        const ToolRun result = run(args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(result.exitCode, 2) << shown;
        EXPECT_TRUE(result.out.empty()) << shown;
        EXPECT_FALSE(result.err.empty()) << shown;
    }
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: velmora-tool", 0), 0u);
    EXPECT_NE(help.out.find("Exit codes: 0"), std::string::npos);
    // Each command's own help, and the version.
    const ToolRun playHelp = run({"play", "--help"});
    EXPECT_EQ(playHelp.exitCode, 0);
    EXPECT_EQ(playHelp.out.rfind("usage:\n  play [--root DIR]", 0), 0u) << playHelp.out;
    EXPECT_EQ(playHelp.out.find("  render"), std::string::npos);
    const ToolRun version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("velmora-tool ", 0), 0u);
}

// new writes a theme that check passes and render shows, and never writes into what exists.
TEST_F(ToolTest, NewThenCheckThenRender) {
    const auto theme = root / "themes" / "My_Theme";
    const ToolRun made = run({"new", theme.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const ToolRun check = run({"check", theme.string()});
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_NE(check.out.find("My_Theme: ok"), std::string::npos) << check.out;
    const std::string text = readFile(theme / "theme.txt");
    for (const char* keyword : {"\nfloor ", "\nceiling ", "\nbackground ", "\nscreen ", "\nadd_sprite ", "\nadd_particle ", "\nadd_character "}) {
        EXPECT_NE(text.find(keyword), std::string::npos) << keyword;
    }
    const ToolRun render = run({"render", "--root", rootArg(), "--theme", "My_Theme", "--desktop", "64x48", "--frames", "2",
                                "--out", (root / "frames").string()});
    EXPECT_EQ(render.exitCode, 0) << render.err;

    writeFile(theme / "theme.txt", "mine");
    const ToolRun again = run({"new", theme.string()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(readFile(theme / "theme.txt"), "mine");
}

}  // namespace
}  // namespace velmora::testing
