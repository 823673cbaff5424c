// The program never writes the user's files: velmora-tool's commands over a program folder
// leave every file and folder in it as it was, byte for byte and to the modification time.
#include <map>
#include <string>

#include "support/png_file.h"
#include "support/zip_writer.h"
#include "tool_fixture.h"

namespace velmora::testing {
namespace {

// What identifies a file's state: kind, size, modification time and a hash of its content.
struct Entry {
    bool folder = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    std::uint64_t hash = 0;
    friend bool operator==(const Entry&, const Entry&) = default;
};

std::uint64_t fnv1a(const std::string& bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::map<std::string, Entry> snapshot(const std::filesystem::path& folder) {
    std::map<std::string, Entry> entries;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
        Entry entry;
        entry.folder = item.is_directory();
        entry.modified = item.last_write_time();
        if (!entry.folder) {
            entry.size = item.file_size();
            entry.hash = fnv1a(readFile(item.path()));
        }
        entries[std::filesystem::relative(item.path(), folder).string()] = entry;
    }
    return entries;
}

TEST_F(ToolTest, CommandsLeaveTheProgramFolderAsItWas) {
    const std::string png = blackPng(8, 8);
    writeFile(root / "config.txt", "config default_theme:Folder fps:30\nglobal scale:2\n");
    writeFile(root / "readme.txt", "read me\n");
    writeFile(root / "themes" / "Folder" / "theme.txt", "params width:400\nfloor name:floor\nadd_sprite name:rock instances:2\n");
    writeFile(root / "themes" / "Folder" / "floor.png", png);
    writeFile(root / "themes" / "Folder" / "rock_1_1.png", png);
    ZipWriter zip;
    zip.add("theme.txt", "params width:400\nfloor name:floor\nadd_particle name:dot\n");
    zip.add("floor.png", png);
    ZipEntry damaged;
    damaged.statedCrc = 1;
    zip.add("dot_1_1.png", png, damaged);
    const std::vector<std::uint8_t> bytes = zip.bytes();
    writeFile(root / "themes" / "Archive.zip", std::string(bytes.begin(), bytes.end()));
    const auto before = snapshot(root);
    ASSERT_EQ(before.size(), 8u);

    const std::filesystem::path out = root.parent_path() / (root.filename().string() + "_frames");
    const ToolRun check = run({"check", "--root", rootArg()});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    for (const char* theme : {"Folder", "Archive.zip"}) {
        const ToolRun render = run({"render", "--root", rootArg(), "--theme", theme, "--desktop", "64x48", "--frames", "3",
                                    "--out", out.string()});
        EXPECT_EQ(render.exitCode, 0) << render.err;
        const ToolRun trace = run({"trace", "--root", rootArg(), "--theme", theme, "--seed", "2", "--desktop", "64x48", "--ticks",
                                   "0,16,33"});
        EXPECT_EQ(trace.exitCode, 0) << trace.err;
    }
    EXPECT_TRUE(std::filesystem::exists(out / "frame_0003.png"));
    std::filesystem::remove_all(out);

    EXPECT_EQ(snapshot(root), before);
}

}  // namespace
}  // namespace velmora::testing
