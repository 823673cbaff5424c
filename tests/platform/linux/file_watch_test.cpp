// Watching a theme's files: saves of every kind count once whole, files elsewhere do not, and a
// new set of files replaces the old one.
#include "platform/linux/posix/file_watch.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <fstream>

namespace velmora::posix {
namespace {

class FileWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("velmora_watch_" + std::to_string(::getpid()) + "_" +
                                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "theme");
        write("config.txt");
        write("theme/theme.txt");
        ASSERT_TRUE(watch.ok());
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void write(const std::string& name, const std::string& text = "x") { std::ofstream(folder / name) << text; }

    // The changes of the events that have arrived; the kernel queues them before the writing
    // call returns, so nothing has to be waited for beyond a short poll.
    bool changed() {
        pollfd fd{watch.descriptor(), POLLIN, 0};
        poll(&fd, 1, 100);
        return watch.readChanges();
    }

    std::filesystem::path folder;
    FileWatch watch;
};

TEST_F(FileWatchTest, SavesOfWatchedFilesCountAndOthersDoNot) {
    watch.watch({folder / "config.txt", folder / "theme" / "theme.txt", folder / "theme" / "sky.png", folder / "gone" / "a.png"});
    EXPECT_FALSE(changed());

    write("theme/notes.txt");
    EXPECT_FALSE(changed());
    write("theme/theme.txt", "floor name:ground\n");
    EXPECT_TRUE(changed());
    EXPECT_FALSE(changed());  // read once

    // An editor's save: a new file renamed over the old one.
    write("config.new");
    EXPECT_FALSE(changed());
    std::filesystem::rename(folder / "config.new", folder / "config.txt");
    EXPECT_TRUE(changed());

    // A picture that did not exist yet, and one removed.
    write("theme/sky.png");
    EXPECT_TRUE(changed());
    std::filesystem::remove(folder / "theme" / "sky.png");
    EXPECT_TRUE(changed());
}

TEST_F(FileWatchTest, ANewSetReplacesTheOld) {
    watch.watch({folder / "theme" / "theme.txt"});
    watch.watch({folder / "config.txt"});
    write("theme/theme.txt", "changed");
    EXPECT_FALSE(changed());
    write("config.txt", "changed");
    EXPECT_TRUE(changed());

    // A theme folder made anew is watched again once the set is given again.
    std::filesystem::remove_all(folder / "theme");
    watch.watch({folder / "theme" / "theme.txt"});
    std::filesystem::create_directories(folder / "theme");
    watch.watch({folder / "theme" / "theme.txt"});
    write("theme/theme.txt");
    EXPECT_TRUE(changed());
}

// A picture written in pieces counts once, when its writer closes it; a save finished meanwhile
// waits for it, so that no reload reads it half.
TEST_F(FileWatchTest, ASlowWriterCountsOnceWhenItClosesTheFile) {
    watch.watch({folder / "config.txt", folder / "theme" / "sky.png"});
    std::ofstream picture(folder / "theme" / "sky.png", std::ios::binary);
    for (int piece = 0; piece < 12; ++piece) {
        picture << std::string(4096, 'p') << std::flush;
        if (piece == 5) write("config.txt", "config fps:30\n");
        EXPECT_FALSE(changed()) << "piece " << piece;
        EXPECT_TRUE(watch.writing());
    }
    picture.close();
    EXPECT_TRUE(changed());
    EXPECT_FALSE(watch.writing());
    EXPECT_FALSE(changed());
}

}  // namespace
}  // namespace velmora::posix
