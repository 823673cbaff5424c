// The size a PNG states in its header, read without decoding.
#include "resources/png_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Signature and IHDR of a 300 x 0x89ABCDEF picture, then the rest of IHDR and more.
Bytes header() {
    return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
            0,    0,   1,   0x2C, 0x89, 0xAB, 0xCD, 0xEF, 8, 6, 0, 0, 0, 1, 2, 3, 4};
}

TEST(PngHeaderTest, ReadsTheStatedSizeFromTheFirst24Bytes) {
    const Bytes png = header();
    const PngHeader whole = readPngHeader(png.data(), png.size());
    EXPECT_EQ(whole.status, PngHeaderStatus::Ok);
    EXPECT_EQ(whole.width, 300u);
    EXPECT_EQ(whole.height, 0x89ABCDEFu);
    const PngHeader first24 = readPngHeader(png.data(), kPngHeaderBytes);
    EXPECT_EQ(first24.status, PngHeaderStatus::Ok);
    EXPECT_EQ(first24.height, 0x89ABCDEFu);
}

TEST(PngHeaderTest, TellsOtherFilesFromDamagedPngs) {
    const Bytes png = header();
    EXPECT_EQ(readPngHeader(png.data(), kPngHeaderBytes - 1).status, PngHeaderStatus::NotPng);
    EXPECT_EQ(readPngHeader(nullptr, 100).status, PngHeaderStatus::NotPng);
    for (std::size_t at = 0; at < 8; ++at) {
        Bytes other = png;
        other[at] ^= 0x20;
        EXPECT_EQ(readPngHeader(other.data(), other.size()).status, PngHeaderStatus::NotPng) << at;
    }
    // The signature, then something else than a 13-byte IHDR chunk.
    for (std::size_t at = 8; at < 16; ++at) {
        Bytes damaged = png;
        damaged[at] ^= 0x01;
        const PngHeader read = readPngHeader(damaged.data(), damaged.size());
        EXPECT_EQ(read.status, PngHeaderStatus::DamagedHeader) << at;
        EXPECT_EQ(read.width, 0u);
    }
}

}  // namespace
}  // namespace velmora
