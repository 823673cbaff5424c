// velmora-tool over hostile themes: check tells the author what the player made of them, and no
// failure inside a command ends the tool other than with one line and exit code 1.
#include <string>
#include <vector>

#include "support/png_file.h"
#include "support/zip_writer.h"
#include "tool_fixture.h"

namespace velmora::testing {
namespace {

void writeZip(const std::filesystem::path& path, const ZipWriter& zip) {
    const std::vector<std::uint8_t> bytes = zip.bytes();
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(ToolTest, CheckWarnsOfDamagedArchiveMembersWhoseBytesAreUsed) {
    const std::string png = blackPng(4, 4);
    const std::string text = "params width:100\nfloor name:floor\nadd_sprite name:rock\n";
    ZipWriter zip;
    ZipEntry wrongCrc;
    wrongCrc.statedCrc = 0x12345678;
    zip.add("theme.txt", text, wrongCrc);
    zip.add("floor.png", png, wrongCrc);
    ZipEntry cutShort;  // states more than its data holds
    cutShort.statedSize = static_cast<std::uint32_t>(png.size() + 100);
    zip.add("rock_1_1.png", png, cutShort);
    writeZip(root / "themes" / "Damaged.zip", zip);

    const ToolRun result = run({"check", "--root", rootArg(), "Damaged.zip"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::string file = "themes/Damaged.zip/theme.txt";
    EXPECT_TRUE(has(result.out, file + ": warning: fails its checksum in the archive; the " + std::to_string(text.size()) +
                                    " bytes read are used\n"))
        << result.out;
    EXPECT_TRUE(has(result.out, file + ":2: warning: floor: picture floor.png fails its checksum in the archive")) << result.out;
    EXPECT_TRUE(has(result.out, file + ":3: warning: sprite layer \"rock\": picture rock_1_1.png has its data in the archive end after " +
                                    std::to_string(png.size()) + " of the " + std::to_string(png.size() + 100) +
                                    " stated bytes; the bytes read are used\n"))
        << result.out;
    EXPECT_TRUE(has(result.out, "Damaged.zip: 0 errors, 3 warnings\n")) << result.out;
}

TEST_F(ToolTest, CheckNamesThePicturesPastTheThemesBudget) {
    // Five real pictures of nearly 256 MiB decoded each (4 take the 1 GiB with their bitmaps'
    // overhead); one small file, five times.
    const std::string png = blackPng(8191, 8192);
    ZipWriter zip;
    zip.add("theme.txt", "params width:1920\nadd_sprite name:a frames:5\n");
    for (int f = 1; f <= 5; ++f) zip.add("a_1_" + std::to_string(f) + ".png", png);
    writeZip(root / "themes" / "Big.zip", zip);

    const ToolRun result = run({"check", "--root", rootArg(), "Big.zip"});
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_TRUE(has(result.out, "themes/Big.zip/theme.txt:2: error: sprite layer \"a\": picture a_1_5.png is not loaded: a theme's "
                                "pictures may take 1024 MiB decoded together (width x height x 4 bytes, and 1024 bytes for each "
                                "picture held), and those loaded before it take 1023 MiB\n"))
        << result.out;
    EXPECT_TRUE(has(result.out, "Big.zip: 1 error, 0 warnings\n")) << result.out;
}

TEST_F(ToolTest, CheckReportsTextFilesPastTheLimit) {
    const std::string tooLarge = "is larger than 16 MiB, the limit for a text file, so it reads as empty";
    std::string text = "floor name:floor\n";
    text.resize(16 * 1024 * 1024 + 1, '\n');
    writeFile(root / "themes" / "Folder" / "theme.txt", text);
    writeFile(root / "config.txt", text);
    ZipWriter zip;
    zip.addRepeated("theme.txt", "add_particle name:snow\n", 200'000'000);
    writeZip(root / "themes" / "Archive.zip", zip);

    const ToolRun result = run({"check", "--root", rootArg()});
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_TRUE(has(result.out, "config.txt: error: " + tooLarge + "\n")) << result.out;
    EXPECT_TRUE(has(result.out, "themes/Folder/theme.txt: error: " + tooLarge + "\n")) << result.out;
    EXPECT_TRUE(has(result.out, "themes/Archive.zip/theme.txt: error: " + tooLarge + "\n")) << result.out;
}

TEST_F(ToolTest, CheckListsAtMostTenThousandRemarksOfAFile) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "sprites\n";
    writeFile(root / "themes" / "Noisy" / "theme.txt", text);
    const ToolRun result = run({"check", "--root", rootArg(), "Noisy"});
    EXPECT_TRUE(has(result.out, "themes/Noisy/theme.txt: warning: more problems follow; only the first 10000 are listed\n"))
        << result.out.substr(0, 500);
    EXPECT_LT(lines(result.out).size(), 10100u);
}

#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_UNDER_ASAN 1
#endif
#endif

#ifndef VELMORA_UNDER_ASAN
// The tool's exit code under a limit of address space (KiB), its output redirected as given.
int runLimited(int kib, const std::string& arguments, const std::string& redirect) {
    const std::string command = "ulimit -v " + std::to_string(kib) + " && " + shellQuote(VELMORA_TOOL_PATH) + " " + arguments + " " + redirect;
    const int status = std::system(("bash -c " + shellQuote(command)).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

TEST_F(ToolTest, RunningOutOfMemoryEndsACommandWithOneLineAndExitCode1) {
#ifdef VELMORA_UNDER_ASAN
    GTEST_SKIP() << "AddressSanitizer cannot run under a limit of address space";
#else
    const std::string check = "check --root " + shellQuote(rootArg());
    // The least address space, in steps of 8 MiB, in which the tool checks a program folder of
    // one small theme.
    writeFile(root / "themes" / "Small" / "theme.txt", "params width:10\n");
    int baseline = 0;
    for (int kib = 16 * 1024; kib <= 1024 * 1024 && baseline == 0; kib += 8 * 1024) {
        if (runLimited(kib, check, ">/dev/null 2>&1") == 0) baseline = kib;
    }
    ASSERT_GT(baseline, 0);
    // A theme.txt of 16 MiB needs 48 MiB to be read and decoded: far more than is left.
    std::string text;
    while (text.size() < 16 * 1024 * 1024) text += "a\n";
    writeFile(root / "themes" / "Lines" / "theme.txt", text);
    const std::filesystem::path err = root.parent_path() / (root.filename().string() + "_err.txt");
    EXPECT_EQ(runLimited(baseline + 16 * 1024, check + " Lines", ">/dev/null 2>" + shellQuote(err.string())), 1);
    EXPECT_EQ(readFile(err), "velmora-tool: out of memory\n");
    std::filesystem::remove(err);
#endif
}

}  // namespace
}  // namespace velmora::testing
