#pragma once
// PNG files of any stated size that cost almost nothing to make or to hold.
#include <cstdint>
#include <string>

namespace velmora::testing {

// A complete, valid PNG of that size: one-bit grey, every pixel black. Its data deflates to a
// few bytes per row.
std::string blackPng(std::uint32_t width, std::uint32_t height);
// Only the signature, the image header of that size and the end chunk: no pixel data at all.
std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height);

}  // namespace velmora::testing
