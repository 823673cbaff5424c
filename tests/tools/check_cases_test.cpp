// check as an editor expects it, one row per fault an artist met: paths that open from where
// the command ran, the right line for layers sharing a name, numbers read as the player reads
// them and bad ones said plainly, every kind of path accepted, an empty or incomplete theme
// named.
#include <cstdlib>
#include <string>
#include <vector>

#include "tool_fixture.h"

namespace velmora::testing {
namespace {

struct CheckCase {
    const char* what;
    const char* themeText;  // null: the theme folder has no theme.txt
    const char* target;     // root (check --root DIR), program, folder, text, zip, empty
    std::vector<std::string> expected;  // "@" stands for the program folder's path
    std::vector<std::string> unexpected;
    int exitCode;
};

const char* const kGood = "params width:40\nfloor name:ground\n";

TEST_F(ToolTest, CheckCases) {
    const std::vector<CheckCase> cases = {
        {"paths start from where check ran", "params width:40\nfloor name:nothing\n", "root",
         {"@/themes/T/theme.txt:2: error: floor: picture nothing.png is missing"}, {}, 1},
        {"the picture of the second layer of a name is blamed on its line",
         "params width:40\n\nadd_particle name:snow frames:2\n\nadd_particle name:snow frames:3\n", "root",
         {"theme.txt:5: error: particle layer \"snow\": picture snow_1_3.png is missing"},
         {"theme.txt:3: error: particle layer \"snow\": picture snow_1_3.png"}, 1},
        {"text after a number is read as the player reads it",
         "params width:40\nfloor name:ground\nadd_character name:g type:floor speed:0,012\nadd_character name:g type:floor speed:0.012x\n",
         "root",
         {"theme.txt:3: warning: speed:0,012 reads as 0; \",012\" is ignored",
          "theme.txt:4: warning: speed:0.012x reads as 0.012; \"x\" is ignored"},
         {}, 0},
        {"a bad number in plain words", "params width:40\nfloor name:ground\nadd_character name:g type:floor speed:fast\n", "root",
         {"theme.txt:3: error: speed:fast is not a number", "the player reads no further lines of theme.txt"}, {"stof"}, 1},
        {"a program folder as the path", kGood, "program", {"T: ok\nchecked 1 theme: 0 errors"}, {}, 0},
        {"a theme folder as the path", kGood, "folder", {"T: ok\nchecked 1 theme: 0 errors"}, {}, 0},
        {"a theme.txt as the path", "params width:40\nfloor name:ground\nflor name:x\n", "text",
         {"@/themes/T/theme.txt:3: warning: unknown keyword \"flor\""}, {}, 0},
        {"an archive as the path", "params width:40\nfloor name:gone\n", "zip",
         {"@/themes/T.zip/theme.txt:2: error: floor: picture gone.png is missing from the archive"}, {}, 1},
        {"a missing theme.txt names the theme folder", nullptr, "folder", {"@/themes/T: error: has no theme.txt"}, {}, 1},
        {"an empty theme list is an error", nullptr, "empty", {"@/themes: error: holds no theme", "checked 0 themes: 1 error"}, {}, 1},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(root / "themes");
        std::filesystem::create_directories(root / "themes");
        writeFile(root / "config.txt", "global scale:2\n");
        const auto theme = root / "themes" / "T";
        const std::string target = c.target;
        if (target != "empty") {
            std::filesystem::create_directories(theme);
            writePng(theme / "ground.png", 40, 4);
            for (const char* frame : {"snow_1_1.png", "snow_1_2.png", "g_1.png"}) writePng(theme / frame, 2, 2);
            if (c.themeText != nullptr) writeFile(theme / "theme.txt", c.themeText);
        }
        std::vector<std::string> args = {"check"};
        if (target == "root") {
            args.insert(args.end(), {"--root", rootArg()});
        } else if (target == "program" || target == "empty") {
            args.push_back(rootArg());
        } else if (target == "folder") {
            args.push_back(theme.string());
        } else if (target == "text") {
            args.push_back((theme / "theme.txt").string());
        } else if (target == "zip") {
            const std::string zip = "cd " + shellQuote(theme.string()) + " && zip -q -X ../T.zip theme.txt ground.png";
            ASSERT_EQ(std::system(zip.c_str()), 0);
            std::filesystem::remove_all(theme);
            args.push_back((root / "themes" / "T.zip").string());
        }
        const ToolRun result = run(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
        for (std::string expected : c.expected) {
            if (expected[0] == '@') expected = rootArg() + expected.substr(1);
            EXPECT_NE(result.out.find(expected), std::string::npos) << "missing: " << expected << "\nin:\n" << result.out;
        }
        for (const std::string& unexpected : c.unexpected) {
            EXPECT_EQ(result.out.find(unexpected), std::string::npos) << "unexpected: " << unexpected << "\nin:\n" << result.out;
        }
    }
}

}  // namespace
}  // namespace velmora::testing
