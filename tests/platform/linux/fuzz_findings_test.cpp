// The fuzz findings of the Linux picture decoding, kept as seeds in fuzz/corpus/picture: each
// decodes to nothing and the device goes on decoding. (How much a finding made the decoder
// allocate is watched by the fuzz preset's corpus run, whose allocation limit is 320 MiB.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/host.h"
#include "support/png_file.h"

namespace velmora {
namespace {

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::unique_ptr<Bitmap> decode(OffscreenGraphicsDevice& device, const std::string& bytes) {
    return device.loadPictureBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(PictureFindings, EachDecodesToNothingAndTheDeviceGoesOn) {
    auto device = createOffscreenGraphicsDevice();
    ASSERT_TRUE(device && device->createOffscreenTarget(8, 8));
    const std::filesystem::path corpus = std::filesystem::path(VELMORA_SOURCE_DIR) / "fuzz" / "corpus" / "picture";
    int findings = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().filename().string().rfind("finding-", 0) != 0) continue;
        ++findings;
        EXPECT_FALSE(decode(*device, readAll(entry.path()))) << entry.path();
    }
    EXPECT_GT(findings, 0);
    // A picture header claiming 16384 x 16384 with no pixel data after it.
    EXPECT_FALSE(decode(*device, testing::pngHeaderOnly(16384, 16384)));
    const std::unique_ptr<Bitmap> sound = decode(*device, testing::blackPng(3, 2));
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->pixelWidth(), 3);
    EXPECT_EQ(sound->pixelHeight(), 2);
}

}  // namespace
}  // namespace velmora
