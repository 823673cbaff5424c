#include "resources/theme_source.h"

#include <gtest/gtest.h>

#include <string>

#include "ground/records.h"
#include "support/process_state.h"
#include "support/temp_folder.h"

namespace velmora {
namespace {

using testing::TempFolder;

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
