// Reading members of archives made by the real archivers, and of damaged copies of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/archive_file.h"
#include "resources/archive_reader.h"
#include "zip_files.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

const std::string kThemeText = "\xEF\xBB\xBF" "params width:320\r\nfloor name:floor\r\n";
const std::u16string kThemeTextDecoded = u"\uFEFFparams width:320\r\nfloor name:floor\r\n";

// The files every archiver packs: a text with a byte-order mark and CR LF ends, a picture whose
// name is stored in capitals and that spans several read chunks, an empty file and a file under
// a folder.
struct ThemeFiles {
    explicit ThemeFiles(const fs::path& root) : root(root), floor(noiseBytes(700 * 1024, 7)) {
        fs::create_directories(root / "sub");
        writeFile(root / "theme.txt", kThemeText);
        writeFile(root / "FLOOR.PNG", floor);
        writeFile(root / "empty.txt", "");
        writeFile(root / "sub" / "inner.txt", "inside");
    }
    static constexpr const char* kNames = "theme.txt FLOOR.PNG empty.txt sub/inner.txt";
    fs::path root;
    Bytes floor;
};

struct Archiver {
    const char* label;
    const char* tool;
    // Packs kNames from folder `in` into archive `out`.
    std::string (*command)(const fs::path& in, const fs::path& out);
};

std::string pythonZip(const fs::path& in, const fs::path& out, const char* method, bool zip64) {
    const fs::path script = in.parent_path() / "pack.py";
    writeFile(script, std::string("import zipfile, sys\n"
                                      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.") + method + ") as z:\n"
                                      "    for n in sys.argv[2:]:\n"
                                      "        with open(n, 'rb') as f, z.open(n, 'w', force_zip64=" + (zip64 ? "True" : "False") + ") as w:\n"
                                      "            w.write(f.read())\n");
    return "cd " + shellQuoted(in) + " && python3 " + shellQuoted(script) + " " + shellQuoted(out) + " " + ThemeFiles::kNames;
}

const Archiver kArchivers[] = {
    {"InfoZipStored", "zip",
     [](const fs::path& in, const fs::path& out) { return "cd " + shellQuoted(in) + " && zip -q -X -0 " + shellQuoted(out) + " " + ThemeFiles::kNames; }},
    {"InfoZipDeflated", "zip",
     [](const fs::path& in, const fs::path& out) { return "cd " + shellQuoted(in) + " && zip -q -X -9 " + shellQuoted(out) + " " + ThemeFiles::kNames; }},
    {"PythonStored", "python3", [](const fs::path& in, const fs::path& out) { return pythonZip(in, out, "ZIP_STORED", false); }},
    {"PythonDeflated", "python3", [](const fs::path& in, const fs::path& out) { return pythonZip(in, out, "ZIP_DEFLATED", false); }},
    {"PythonZip64", "python3", [](const fs::path& in, const fs::path& out) { return pythonZip(in, out, "ZIP_DEFLATED", true); }},
    {"Bsdtar", "bsdtar",
     [](const fs::path& in, const fs::path& out) { return "bsdtar --format zip -cf " + shellQuoted(out) + " -C " + shellQuoted(in) + " " + ThemeFiles::kNames; }},
    {"SevenZip", "7z",
     [](const fs::path& in, const fs::path& out) { return "cd " + shellQuoted(in) + " && 7z a -tzip -bd -y " + shellQuoted(out) + " " + ThemeFiles::kNames; }},
};

// Every name reads through an ArchiveIndex exactly as with one open per member: the same entry,
// bytes and status, in any order and more than once. Also with a table of one entry, which
// leaves the other names to walks of the directory.
void expectIndexAgrees(const fs::path& zip, const std::vector<std::u16string>& names, const std::string& what) {
    ArchiveStatus openStatus{};
    ArchiveHandle reader = openArchive(u16(zip), &openStatus);
    for (const std::size_t maxEntries : {kMaxIndexedEntries, std::size_t{1}}) {
        ArchiveIndex index(u16(zip), maxEntries);
        EXPECT_EQ(index.openStatus(), openStatus) << what;
        std::vector<std::u16string> order = names;
        order.insert(order.end(), names.rbegin(), names.rend());
        for (const std::u16string& name : order) {
            const std::string label = what + ", member " + fs::path(name).string() + ", table of " + std::to_string(maxEntries);
            ArchiveStatus expected{}, actual{};
            const Bytes bytes = readArchiveBytes(u16(zip), name, &expected);
            EXPECT_EQ(index.readBytes(name, &actual), bytes) << label;
            EXPECT_EQ(actual, expected) << label << ": " << archiveStatusText(actual) << " for " << archiveStatusText(expected);
            if (!reader) continue;
            ArchiveStatus walked{}, looked{};
            const MemberInfo byWalk = findMember(*reader, name, &walked);
            const MemberInfo byIndex = index.findMember(name, &looked);
            EXPECT_EQ(byIndex.index, byWalk.index) << label;
            EXPECT_EQ(byIndex.size, byWalk.size) << label;
            EXPECT_EQ(looked, walked) << label;
        }
    }
}

class ArchiverTest : public ::testing::TestWithParam<Archiver> {};

TEST_P(ArchiverTest, FindsRootMembersIgnoringAsciiCaseAndReadsThemWhole) {
    const Archiver& archiver = GetParam();
    if (!toolAvailable(archiver.tool)) GTEST_SKIP() << archiver.tool << " is not installed (scripts/setup.sh installs it)";
    TempFolder temp;
    ThemeFiles files(temp / "in");
    const fs::path zip = temp / "Theme.zip";
    ASSERT_TRUE(runCommand(archiver.command(files.root, zip))) << archiver.command(files.root, zip);

    ArchiveStatus status{};
    EXPECT_EQ(readArchiveBytes(u16(zip), u"floor.png", &status), files.floor);
    EXPECT_EQ(status, ArchiveStatus::Ok);

    // The byte-order mark stays as U+FEFF and the carriage returns stay.
    EXPECT_EQ(readArchiveText(u16(zip), u"THEME.txt", &status), kThemeTextDecoded);
    EXPECT_EQ(status, ArchiveStatus::Ok);

    // A member under a folder is found only by its full stored path.
    EXPECT_EQ(readArchiveText(u16(zip), u"inner.txt", &status), u"");
    EXPECT_EQ(status, ArchiveStatus::NotFound);
    EXPECT_EQ(readArchiveText(u16(zip), u"SUB/Inner.TXT", &status), u"inside");
    EXPECT_EQ(readArchiveText(u16(zip), u"sub\\inner.txt", &status), u"");

    // An empty member is present, with nothing in it.
    ArchiveHandle reader = openArchive(u16(zip));
    ASSERT_TRUE(reader);
    const MemberInfo empty = findMember(*reader, u"empty.txt", &status);
    EXPECT_GE(empty.index, 0);
    EXPECT_EQ(empty.size, 0);
    EXPECT_EQ(status, ArchiveStatus::Ok);
    std::uint8_t byte = 0;
    const ReadResult read = readMember(*reader, empty.index, &byte, 0);
    EXPECT_EQ(read.bytes, 0u);
    EXPECT_EQ(read.status, ArchiveStatus::Ok);

    expectIndexAgrees(zip, {u"floor.png", u"THEME.txt", u"inner.txt", u"SUB/Inner.TXT", u"sub\\inner.txt", u"empty.txt", u"missing.png"},
                      archiver.label);
}

INSTANTIATE_TEST_SUITE_P(RealArchivers, ArchiverTest, ::testing::ValuesIn(kArchivers),
                         [](const auto& info) { return std::string(info.param.label); });

// Writes entries in exactly the given order with Python's zipfile.
bool pythonArchive(const fs::path& zip, const std::vector<std::pair<std::string, std::string>>& entries,
                   const char* method = "ZIP_DEFLATED") {
    std::string script = "import zipfile\nwith zipfile.ZipFile(" + shellQuoted(zip) + ", 'w', zipfile." + method + ") as z:\n";
    for (const auto& [name, data] : entries) script += "    z.writestr(" + shellQuoted(name) + ", " + shellQuoted(data) + ")\n";
    const fs::path file = zip.parent_path() / "make.py";
    writeFile(file, script);
    return runCommand("python3 " + shellQuoted(file));
}

TEST(ArchiveNames, EarlierEntryWinsAmongNamesDifferingOnlyInCase) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed (scripts/setup.sh installs it)";
    TempFolder temp;
    ASSERT_TRUE(pythonArchive(temp / "a.zip", {{"Floor.png", "first"}, {"floor.PNG", "second"}}));
    ASSERT_TRUE(pythonArchive(temp / "b.zip", {{"floor.PNG", "second"}, {"Floor.png", "first"}}));
    EXPECT_EQ(readArchiveText(u16(temp / "a.zip"), u"floor.png"), u"first");
    EXPECT_EQ(readArchiveText(u16(temp / "b.zip"), u"FLOOR.png"), u"second");
    EXPECT_EQ(ArchiveIndex(u16(temp / "a.zip")).readText(u"FLOOR.PNG"), u"first");
    EXPECT_EQ(ArchiveIndex(u16(temp / "b.zip")).readText(u"floor.png"), u"second");
}

TEST(ArchiveNames, OnlyAsciiLettersFoldAndLongNamesAreNeverFound) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed (scripts/setup.sh installs it)";
    TempFolder temp;
    const std::string longest(251, 'n');  // + ".txt": 255 bytes
    ASSERT_TRUE(pythonArchive(temp / "t.zip", {{"\xC3\x84rger.txt", "umlaut"},  // Ärger.txt
                                               {longest + ".txt", "255"},
                                               {longest + "n.txt", "256"}}));
    const std::u16string zip = u16(temp / "t.zip");
    EXPECT_EQ(readArchiveText(zip, u"\u00C4RGER.TXT"), u"umlaut");
    EXPECT_EQ(readArchiveText(zip, u"\u00E4rger.txt"), u"");
    EXPECT_EQ(readArchiveText(zip, std::u16string(251, u'N') + u".TXT"), u"255");
    ArchiveStatus status{};
    EXPECT_EQ(readArchiveText(zip, std::u16string(252, u'n') + u".txt", &status), u"");
    EXPECT_EQ(status, ArchiveStatus::NotFound);
    expectIndexAgrees(temp / "t.zip",
                      {u"\u00C4RGER.TXT", u"\u00E4rger.txt", std::u16string(251, u'N') + u".TXT", std::u16string(252, u'n') + u".txt",
                       std::u16string(u"a\0b", 3), u""},
                      "names");
}

TEST(ArchiveNames, ArchiveWithANonAsciiFileNameOpens) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed (scripts/setup.sh installs it)";
    TempFolder temp;
    const fs::path zip = temp / fs::path(u8"VMA_Nacht_\u00FC\u6771.zip");
    ASSERT_TRUE(pythonArchive(zip, {{"theme.txt", "x"}}));
    EXPECT_EQ(readArchiveText(u16(zip), u"theme.txt"), u"x");
}

// minizip's seeks, from offsets a hostile archive names: before the start and past 64 bits are
// refused (the most negative offset too, whose negation does not exist), past the end is not.
TEST(ArchiveFiles, SeeksLandWhereFseekoWouldOrNowhere) {
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(INT64_MAX);
    const auto back = [](std::uint64_t n) { return ~n + 1; };  // -n as minizip passes it
    struct Case {
        std::uint64_t base, offset;
        std::optional<std::uint64_t> target;
    };
    const Case cases[] = {
        {0, 0, 0},          {100, 20, 120},       {100, back(100), 0},  {100, back(101), std::nullopt},
        {0, 1u << 31, 1u << 31}, {10, kMax - 10, kMax}, {10, kMax - 9, std::nullopt},
        {0, kMax + 1, std::nullopt},  // the most negative offset
        {kMax, back(kMax), 0},        {kMax + 1, 0, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(seekTarget(c.base, c.offset), c.target) << c.base << " + " << c.offset;
}

TEST(ArchiveFiles, FilesThatAreNoArchiveReadAsAbsent) {
    TempFolder temp;
    ArchiveStatus status{};
    EXPECT_TRUE(readArchiveBytes(u16(temp / "missing.zip"), u"theme.txt", &status).empty());
    EXPECT_EQ(status, ArchiveStatus::CannotOpen);
    EXPECT_FALSE(openArchive(u16(temp / "missing.zip")));

    writeFile(temp / "text.zip", "params width:100\n");
    EXPECT_EQ(readArchiveText(u16(temp / "text.zip"), u"theme.txt", &status), u"");
    EXPECT_EQ(status, ArchiveStatus::NotZip);

    writeFile(temp / "empty.zip", "");
    EXPECT_FALSE(openArchive(u16(temp / "empty.zip"), &status));
    EXPECT_EQ(status, ArchiveStatus::NotZip);

    // A local header signature and nothing after it: a ZIP that lost its directory.
    writeFile(temp / "cut.zip", std::string("PK\x03\x04", 4) + std::string(100, '\0'));
    EXPECT_FALSE(openArchive(u16(temp / "cut.zip"), &status));
    EXPECT_EQ(status, ArchiveStatus::Damaged);

    for (const char* name : {"missing.zip", "text.zip", "empty.zip", "cut.zip"}) expectIndexAgrees(temp / name, {u"theme.txt"}, name);
}

TEST(ArchiveEntries, EncryptedAndUnsupportedEntriesReadAsAbsent) {
    if (!toolAvailable("zip") || !toolAvailable("python3"))
        GTEST_SKIP() << "zip or python3 is not installed (scripts/setup.sh installs them)";
    TempFolder temp;
    writeFile(temp / "theme.txt", "params width:100\n");
    ASSERT_TRUE(runCommand("cd " + shellQuoted(temp.path()) + " && zip -q -P secret locked.zip theme.txt"));
    ArchiveStatus status{};
    EXPECT_TRUE(readArchiveBytes(u16(temp / "locked.zip"), u"theme.txt", &status).empty());
    EXPECT_EQ(status, ArchiveStatus::Encrypted);

    ASSERT_TRUE(pythonArchive(temp / "lzma.zip", {{"theme.txt", "params width:100"}}, "ZIP_LZMA"));
    EXPECT_EQ(readArchiveText(u16(temp / "lzma.zip"), u"theme.txt", &status), u"");
    EXPECT_EQ(status, ArchiveStatus::UnsupportedMethod);

    // Large enough that zip does not fall back to storing it.
    writeFile(temp / "sky.txt", std::string(20000, 's'));
    if (runCommand("cd " + shellQuoted(temp.path()) + " && zip -q -Z bzip2 bz.zip sky.txt")) {
        EXPECT_EQ(readArchiveText(u16(temp / "bz.zip"), u"sky.txt", &status), u"");
        EXPECT_EQ(status, ArchiveStatus::UnsupportedMethod);
    }
}

class DamagedArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!toolAvailable("zip")) GTEST_SKIP() << "zip is not installed (scripts/setup.sh installs it)";
        writeFile(temp / "theme.txt", "params width:320\nfloor name:floor\n");
        writeFile(temp / "floor.png", noiseBytes(3000, 3));
        writeFile(temp / "sky.txt", std::string(4000, 's'));
        ASSERT_TRUE(runCommand("cd " + shellQuoted(temp.path()) + " && zip -q -X -0 stored.zip theme.txt floor.png sky.txt"));
        ASSERT_TRUE(runCommand("cd " + shellQuoted(temp.path()) + " && zip -q -X -9 deflated.zip theme.txt floor.png sky.txt"));
    }

    // Every member reads whole and right, as far as its damaged data goes, or as absent; through
    // an index as without one.
    void expectWholeOrAbsent(const Bytes& zip, const std::string& what) {
        const fs::path path = temp / "damaged.zip";
        writeFile(path, zip);
        for (const char* name : {"theme.txt", "floor.png", "sky.txt"}) {
            ArchiveStatus status{};
            const Bytes bytes = readArchiveBytes(u16(path), fs::path(name).u16string(), &status);
            if (status == ArchiveStatus::Ok) {
                EXPECT_EQ(bytes, readFileBytes(temp / name)) << what << ", member " << name;
            } else if (memberDelivered(status)) {
                // Damaged data is delivered as far as it was read, never past the archive's data.
                EXPECT_LE(bytes.size(), zip.size() * 1032) << what << ", member " << name;
            } else {
                EXPECT_TRUE(bytes.empty()) << what << ", member " << name << ": " << archiveStatusText(status);
            }
        }
        expectIndexAgrees(path, {u"theme.txt", u"floor.png", u"sky.txt"}, what);
    }

    TempFolder temp;
};

TEST_F(DamagedArchiveTest, TruncatedCopiesNeverCrashOrHang) {
    for (const char* name : {"stored.zip", "deflated.zip"}) {
        const Bytes zip = readFileBytes(temp / name);
        // Every length across the directory and the end record, sparser through the data.
        const std::size_t directory = zipLayout(zip).centralDirectory;
        for (std::size_t length = 0; length < zip.size(); length += length + 1 >= directory ? 1 : 37) {
            expectWholeOrAbsent(Bytes(zip.begin(), zip.begin() + static_cast<std::ptrdiff_t>(length)),
                                std::string(name) + " cut to " + std::to_string(length));
        }
    }
}

TEST_F(DamagedArchiveTest, FlippedBytesInTheCentralDirectoryNeverCrashOrHang) {
    for (const char* name : {"stored.zip", "deflated.zip"}) {
        const Bytes zip = readFileBytes(temp / name);
        const ZipLayout layout = zipLayout(zip);
        for (std::size_t at = layout.centralDirectory; at < zip.size(); ++at) {
            for (std::uint8_t mask : {0x01, 0xFF}) {
                Bytes damaged = zip;
                damaged[at] ^= mask;
                expectWholeOrAbsent(damaged, std::string(name) + " byte " + std::to_string(at));
            }
        }
    }
}

TEST_F(DamagedArchiveTest, AfterAFlippedDataByteTheBytesReadAreKept) {
    for (const char* name : {"stored.zip", "deflated.zip"}) {
        Bytes zip = readFileBytes(temp / name);
        const ZipLayout layout = zipLayout(zip);
        const ZipEntryLayout& floor = layout.entries.at(1);
        ASSERT_EQ(floor.name, "floor.png");
        const std::size_t at = floor.dataStart + floor.compressedSize / 2;
        zip[at] ^= 0x10;
        writeFile(temp / "damaged.zip", zip);
        ArchiveStatus status{};
        const Bytes bytes = readArchiveBytes(u16(temp / "damaged.zip"), u"floor.png", &status);
        const Bytes original = readFileBytes(temp / "floor.png");
        if (std::string(name) == "stored.zip") {
            // Every byte is read; only the flipped one differs, and the checksum says so.
            EXPECT_EQ(status, ArchiveStatus::ChecksumMismatch);
            Bytes expected = original;
            expected[at - floor.dataStart] ^= 0x10;
            EXPECT_EQ(bytes, expected);
        } else {
            // Inflate either goes on with wrong bytes or stops: what it delivered is kept, and
            // what comes before the damage is right.
            EXPECT_TRUE(status == ArchiveStatus::ChecksumMismatch || status == ArchiveStatus::Truncated) << archiveStatusText(status);
            EXPECT_LE(bytes.size(), original.size());
            EXPECT_GT(bytes.size(), 0u);
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 1000)),
                                   original.begin()));
        }
        // The other members are untouched.
        EXPECT_EQ(readArchiveText(u16(temp / "damaged.zip"), u"theme.txt", &status), u"params width:320\nfloor name:floor\n");
        EXPECT_EQ(status, ArchiveStatus::Ok);
    }
}

TEST_F(DamagedArchiveTest, StatedSizesAreNotTrustedBeyondTheData) {
    const Bytes zip = readFileBytes(temp / "deflated.zip");
    const ZipEntryLayout sky = zipLayout(zip).entries.at(2);
    ArchiveStatus status{};

    // A "zip bomb": a size no picture reaches is refused before anything is allocated.
    Bytes bomb = zip;
    setStatedSize(bomb, sky, 0x7FFF0000u, true);
    writeFile(temp / "bomb.zip", bomb);
    expectIndexAgrees(temp / "bomb.zip", {u"sky.txt", u"theme.txt"}, "bomb");
    EXPECT_TRUE(readArchiveBytes(u16(temp / "bomb.zip"), u"sky.txt", &status).empty());
    EXPECT_EQ(status, ArchiveStatus::TooLarge);
    ArchiveHandle reader = openArchive(u16(temp / "bomb.zip"));
    ASSERT_TRUE(reader);
    EXPECT_EQ(findMember(*reader, u"sky.txt").index, -1);

    // Within the cap, but more than the data inflates to: the data read, not padded.
    Bytes inflated = zip;
    setStatedSize(inflated, sky, 200u * 1024u * 1024u, true);
    writeFile(temp / "inflated.zip", inflated);
    expectIndexAgrees(temp / "inflated.zip", {u"sky.txt", u"theme.txt"}, "inflated");
    EXPECT_EQ(readArchiveText(u16(temp / "inflated.zip"), u"sky.txt", &status), std::u16string(4000, u's'));
    EXPECT_EQ(status, ArchiveStatus::Truncated);
    // Text has its own, lower limit, decided from the stated size.
    EXPECT_EQ(readArchiveText(u16(temp / "inflated.zip"), u"sky.txt", &status, 16u * 1024u * 1024u), u"");
    EXPECT_EQ(status, ArchiveStatus::TooLarge);

    // Less than the data holds: reading stops at the stated size and the checksum of the part
    // read does not match; the part is kept.
    Bytes shrunk = zip;
    setStatedSize(shrunk, sky, 100, true);
    writeFile(temp / "shrunk.zip", shrunk);
    expectIndexAgrees(temp / "shrunk.zip", {u"sky.txt", u"theme.txt"}, "shrunk");
    EXPECT_EQ(readArchiveText(u16(temp / "shrunk.zip"), u"sky.txt", &status), std::u16string(100, u's'));
    EXPECT_EQ(status, ArchiveStatus::ChecksumMismatch);

    // The central directory and the local header disagree.
    Bytes disagree = zip;
    setStatedSize(disagree, sky, 5000, false);
    writeFile(temp / "disagree.zip", disagree);
    expectIndexAgrees(temp / "disagree.zip", {u"sky.txt", u"theme.txt"}, "disagree");
    EXPECT_TRUE(readArchiveBytes(u16(temp / "disagree.zip"), u"sky.txt", &status).empty());
    EXPECT_EQ(status, ArchiveStatus::Damaged);
}

TEST_F(DamagedArchiveTest, ReadMemberStepsThroughTheDirectoryAndStopsAtADamagedEntry) {
    const fs::path path = temp / "deflated.zip";
    ArchiveHandle reader = openArchive(u16(path));
    ASSERT_TRUE(reader);
    const MemberInfo sky = findMember(*reader, u"sky.txt");
    ASSERT_EQ(sky.index, 2);
    ASSERT_EQ(sky.size, 4000);

    // In pieces: the member stays open between calls.
    std::string text(4000, '\0');
    auto* buffer = reinterpret_cast<std::uint8_t*>(text.data());
    ReadResult part = readMember(*reader, sky.index, buffer, 1000);
    EXPECT_EQ(part.bytes, 1000u);
    EXPECT_EQ(part.status, ArchiveStatus::MoreData);
    part = readMember(*reader, sky.index, buffer + 1000, 5000);
    EXPECT_EQ(part.bytes, 3000u);
    EXPECT_EQ(part.status, ArchiveStatus::Ok);
    EXPECT_EQ(text, std::string(4000, 's'));

    // An earlier entry: the walk starts again from the first.
    std::uint8_t head[6] = {};
    part = readMember(*reader, 0, head, sizeof head);
    EXPECT_EQ(std::string(head, head + 6), "params");
    EXPECT_EQ(part.status, ArchiveStatus::MoreData);

    part = readMember(*reader, 3, head, sizeof head);
    EXPECT_EQ(part.bytes, 0u);
    EXPECT_EQ(part.status, ArchiveStatus::Damaged);
    EXPECT_EQ(readMember(*reader, -1, head, sizeof head).bytes, 0u);

    // The second directory record loses its signature: the first entry still reads, the walk
    // to the third stops there.
    Bytes zip = readFileBytes(path);
    zip[zipLayout(zip).entries.at(1).centralHeader] = 'X';
    writeFile(temp / "broken.zip", zip);
    ArchiveStatus status{};
    EXPECT_EQ(readArchiveText(u16(temp / "broken.zip"), u"theme.txt", &status), u"params width:320\nfloor name:floor\n");
    EXPECT_EQ(readArchiveText(u16(temp / "broken.zip"), u"sky.txt", &status), u"");
    expectIndexAgrees(temp / "broken.zip", {u"sky.txt", u"theme.txt", u"floor.png", u"missing"}, "broken");
    EXPECT_EQ(status, ArchiveStatus::Damaged);
    ArchiveHandle broken = openArchive(u16(temp / "broken.zip"));
    ASSERT_TRUE(broken);
    EXPECT_EQ(readMember(*broken, 2, head, sizeof head).status, ArchiveStatus::Damaged);
}

}  // namespace
}  // namespace velmora::testing
