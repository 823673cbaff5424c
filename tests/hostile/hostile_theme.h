#pragma once
// A program folder with a themes folder in a fresh temporary directory, and a headless session on
// it with a recording drawing device (whose pictures are as large as the test says, without a
// byte of pixels) and a desktop of 1920 x 1080.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/headless_session.h"
#include "ground/records.h"
#include "resources/theme_source.h"
#include "support/recording_graphics_device.h"
#include "support/zip_writer.h"

namespace velmora::testing {

class HostileTheme : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        root = std::filesystem::temp_directory_path() /
               ("velmora_hostile_" + std::to_string(::getpid()) + "_" +
                std::to_string(++serial));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "themes");
        HeadlessSetup setup;
        setup.programFolder = root.u16string();
        setup.width = 1920;
        setup.height = 1080;
        session.emplace(setup, &device);
    }
    void TearDown() override {
        session.reset();  // releases the theme's bitmaps while the device still lives
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    void writeFolderTheme(const std::string& name, const std::string& text) {
        writeBytes(root / "themes" / name / "theme.txt", text);
    }
    void writeArchive(const std::string& name, const ZipWriter& zip) {
        const std::vector<std::uint8_t> bytes = zip.bytes();
        writeBytes(root / "themes" / name, std::string(bytes.begin(), bytes.end()));
    }

    std::filesystem::path root;
    RecordingGraphicsDevice device;
    std::optional<HeadlessSession> session;
};

}  // namespace velmora::testing
