#pragma once
// PNG files for tests, made with zlib alone (8 bits a channel, not interlaced), so that every test
// program, and the Windows platform check, can make pictures without a picture library.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace velmora::testing {

enum class PngChannels { Rgb, Rgba };  // colour types 2 and 6

// Pixels row by row as straight (not premultiplied) ARGB words, 0xAARRGGBB, as a PNG file holds
// them; an Rgb file leaves the alpha out.
std::vector<std::uint8_t> pngBytes(int width, int height, const std::vector<std::uint32_t>& argb,
                                   PngChannels channels = PngChannels::Rgba);
// A picture of one colour.
std::vector<std::uint8_t> plainPng(int width, int height, std::uint32_t argb, PngChannels channels = PngChannels::Rgba);
// PNG files of any stated size that cost almost nothing to make or to hold: a complete, valid
// one-bit grey picture, every pixel black, whose data deflates to a few bytes per row; and only
// the signature, the image header of that size and the end chunk, with no pixel data at all.
std::string blackPng(std::uint32_t width, std::uint32_t height);
std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height);

// Makes the header claim another size, its checksum still right, as a forged file would.
void claimPngSize(std::vector<std::uint8_t>& png, std::uint32_t width, std::uint32_t height);

// An opaque PNG file of one colour, its folder made first.
inline void writePng(const std::filesystem::path& path, int width, int height, std::uint32_t argb = 0xFF808080u) {
    writeFile(path, plainPng(width, height, argb));
}

}  // namespace velmora::testing
