#pragma once
// The size a PNG file states, read from its signature and image header without decoding
// anything: decoders use it to refuse a picture before allocating for it, and the tools to
// explain why a picture did not load.
#include <cstddef>
#include <cstdint>

namespace velmora {

// Signature, IHDR length and type, width and height: all readPngHeader needs.
inline constexpr std::size_t kPngHeaderBytes = 24;
// The whole image header: the storage fields too (bit depth, colour type, interlacing).
inline constexpr std::size_t kPngFullHeaderBytes = 29;

enum class PngHeaderStatus {
    Ok,
    NotPng,         // shorter than the header, or no PNG signature
    DamagedHeader,  // a PNG signature not followed by a well-formed image header chunk
};

struct PngHeader {
    PngHeaderStatus status = PngHeaderStatus::NotPng;
    std::uint32_t width = 0;   // as stated; only meaningful when status is Ok
    std::uint32_t height = 0;
    // The storage fields, when the data holds them (kPngFullHeaderBytes); zero otherwise.
    std::uint8_t bitDepth = 0;
    std::uint8_t colorType = 0;
    bool interlaced = false;
};

// The bytes the image data inflates to (rows as stored, each with its filter byte, without
// interlacing); 0 when the header's storage fields are missing or not a valid combination.
std::uint64_t pngImageDataBytes(const PngHeader& header);

PngHeader readPngHeader(const std::uint8_t* data, std::size_t size);

}  // namespace velmora
