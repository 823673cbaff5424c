#include "resources/theme_source.h"

#include <gtest/gtest.h>

#include <string>

#include "ground/records.h"
#include "ground/text_decoding.h"
#include "support/process_state.h"
#include "temp_folder.h"

namespace velmora {
namespace {

using testing::TempFolder;

std::u16string decodeFile(const std::string& bytes) {
    return decodeTextFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(TextFile, ByteOrderMarks) {
    EXPECT_EQ(decodeFile("\xEF\xBB\xBFparams"), u"params");
    EXPECT_EQ(decodeFile("\xEF\xBB\xBF\xEF\xBB\xBFp"), u"\uFEFFp");  // only the first mark is skipped
    EXPECT_EQ(decodeFile(std::string("\xFF\xFEp\0\xE9\0\r\0\n\0=\xD8\0\xDE!", 15)), u"p\u00E9\n\U0001F600");
    EXPECT_EQ(decodeFile(std::string("\xFF\xFE" "a\0b", 5)), u"a");  // odd last byte dropped
    EXPECT_EQ(decodeFile(std::string("\xFE\xFF\0p", 4)), u"");
    EXPECT_EQ(decodeFile("\xEF\xBB"), u"\uFFFD");  // not a whole mark: UTF-8 from the first byte
    EXPECT_EQ(decodeFile("a\xFF" "b\xC3"), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(decodeFile(""), u"");
}

TEST(TextFile, CarriageReturns) {
    EXPECT_EQ(decodeFile("a\r\nb\rc\r\r\n\r"), u"a\nb\rc\r\n\r");
}

TEST(TextFile, NulLosesTheRestOfItsPiece) {
    // A piece ends after a LF: the LF behind the NUL is lost with it.
    EXPECT_EQ(decodeFile(std::string("abc\0def\nghi", 11)), u"abcghi");
    // Pieces of 15 units: the NUL at unit 3 takes units 3 to 14, unit 15 starts anew.
    EXPECT_EQ(decodeFile(std::string("012\0" "456789ABCDEFGHIJ", 20)), u"012FGHIJ");
    // A NUL as the last unit of a piece costs nothing else.
    EXPECT_EQ(decodeFile(std::string("abcdefghijklmn\0op", 17)), u"abcdefghijklmnop");
    // CR LF is one unit by the time the pieces are cut.
    EXPECT_EQ(decodeFile(std::string("abcdefghijklmn\r\nx\0y\nz", 21)), u"abcdefghijklmn\nxz");
    // Units, not characters: a surrogate pair counts twice.
    EXPECT_EQ(decodeFile(std::string("\xF0\x9F\x98\x80" "bcdefghijklmn\0" "z", 19)), u"\U0001F600bcdefghijklmn");
    // A NUL in a UTF-16 file follows the same rule.
    EXPECT_EQ(decodeFile(std::string("\xFF\xFE" "a\0\0\0b\0\n\0c\0", 12)), u"ac");
    EXPECT_EQ(decodeFile(std::string("\0\0\0", 3)), u"");
}

class FolderSource : public ::testing::Test {
protected:
    void SetUp() override { velmora::testing::resetProcessState(); }
    void TearDown() override { velmora::testing::resetProcessState(); }
    TempFolder folder;
    std::u16string folderPath() const { return folder.path().u16string(); }
};

TEST_F(FolderSource, ArchiveExactlyForALowerCaseZipEnding) {
    EXPECT_TRUE(makeThemeSource(u"a/Forest.zip").isArchive);
    EXPECT_FALSE(makeThemeSource(u"a/Forest.ZIP").isArchive);
    EXPECT_FALSE(makeThemeSource(u"a/Forest.Zip").isArchive);
    EXPECT_FALSE(makeThemeSource(u"zip").isArchive);
    EXPECT_TRUE(makeThemeSource(u".zip").isArchive);
    EXPECT_FALSE(makeThemeSource(u"a.zip/").isArchive);
}

TEST_F(FolderSource, PathsAreJoinedWithTheSeparator) {
    const std::u16string sep(1, kPathSeparator);
    appState.programFolder = u"prog" + sep;
    EXPECT_EQ(themeSourceFor(u"VMA_Forest.zip").path, u"prog" + sep + u"themes" + sep + u"VMA_Forest.zip");
    EXPECT_TRUE(themeSourceFor(u"VMA_Forest.zip").isArchive);
    appState.programFolder = u"prog";
    EXPECT_EQ(themeSourceFor(u"Forest").path, u"prog" + sep + u"themes" + sep + u"Forest");
    EXPECT_EQ(memberPath(themeSourceFor(u"Forest"), u"theme.txt"),
              u"prog" + sep + u"themes" + sep + u"Forest" + sep + u"theme.txt");
    EXPECT_EQ(programFolderSource().path, u"prog");
}

TEST_F(FolderSource, ReadsThemeFilesWithTheTextRules) {
    std::filesystem::create_directories(folder.path() / "themes" / "Forest");
    folder.write("themes/Forest/theme.txt", "\xEF\xBB\xBF" "params width:5\r\nfloor name:f\r\n");
    std::filesystem::create_directories(folder.path() / "themes" / "Upper.ZIP");
    appState.programFolder = folderPath() + kPathSeparator;
    EXPECT_EQ(readText(themeSourceFor(u"Forest"), u"theme.txt"), u"params width:5\nfloor name:f\n");
    EXPECT_EQ(readText(themeSourceFor(u"Forest"), u"missing.txt"), u"");
    EXPECT_EQ(readText(themeSourceFor(u"Upper.ZIP"), u"theme.txt"), u"");
    EXPECT_EQ(readText(themeSourceFor(u"Forest"), u""), u"");  // a folder is not a text file
    EXPECT_TRUE(readBytes(themeSourceFor(u"Forest"), u"theme.txt").empty());
}

TEST_F(FolderSource, EmptyAndMissingAreAlike) {
    folder.write("config.txt", "");
    appState.programFolder = folderPath();
    EXPECT_EQ(readText(programFolderSource(), u"config.txt"), u"");
    appState.programFolder = folderPath() + kPathSeparator + u"nowhere";
    EXPECT_EQ(readText(programFolderSource(), u"config.txt"), u"");
}

TEST_F(FolderSource, NonAsciiNames) {
    folder.write(nativePath(u"th\u00E8me \u6728.txt"), "ok");
    EXPECT_EQ(readText(makeThemeSource(folderPath()), u"th\u00E8me \u6728.txt"), u"ok");
    // An unpaired surrogate cannot name a file, but is no failure either.
    EXPECT_EQ(readText(makeThemeSource(folderPath()), std::u16string(1, char16_t(0xD800))), u"");
}

TEST_F(FolderSource, OversizedFileReadsAsEmpty) {
    folder.write("big.txt", "a");
    std::filesystem::resize_file(folder.path() / "big.txt", kMaxTextFileSize + 1);
    EXPECT_EQ(readText(makeThemeSource(folderPath()), u"big.txt"), u"");
    std::filesystem::resize_file(folder.path() / "big.txt", kMaxTextFileSize);
    EXPECT_EQ(readText(makeThemeSource(folderPath()), u"big.txt").size(), 1u);  // "a", then NULs
}

}  // namespace
}  // namespace velmora
