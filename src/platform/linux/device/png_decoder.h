#pragma once
// PNG decoding for the Linux drawing device, through libpng with every limit it offers set, so
// that a hostile picture costs a bounded amount of memory and time. The pixels come out exactly
// as cairo's own PNG reader made them (no gamma correction, 16-bit samples cut to their high
// byte, cairo's premultiplication), in the byte order of cairo's ARGB32 on little-endian machines.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "ports/graphics_device.h"
#include "ports/picture_limits.h"
#include "resources/png_header.h"

namespace velmora {

struct DecodeLimits {
    std::uint32_t maxSide = static_cast<std::uint32_t>(kMaxPictureSide);
    std::uint64_t maxPixels = static_cast<std::uint64_t>(kMaxPicturePixels);
    // The most one chunk may claim; libpng's heap as a whole stays within this plus 4 MiB for
    // its row buffers and the inflater.
    std::size_t maxChunkBytes = std::size_t{4} << 20;
    // A picture file larger than this is not read at all.
    std::size_t maxInputBytes = static_cast<std::size_t>(kMaxPictureFileBytes);
};

struct DecodedPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Premultiplied B, G, R, A bytes; width * 4 bytes a row, rows top to bottom, no padding.
    std::unique_ptr<std::uint8_t[]> pixels;
    // Every alpha is 255.
    bool opaque = false;
};

// What one decode took from the heap: libpng's own peak, and the pixels handed out.
struct DecodeCost {
    std::size_t libraryPeakBytes = 0;
    std::size_t pixelBytes = 0;
    // Inflated straight into the pixels (8-bit RGB or RGBA, not interlaced, nothing libpng
    // would complain of) rather than read row by row through libpng.
    bool direct = false;
};

// True when a header states a size the limits allow (not empty, within both limits).
bool withinLimits(const PngHeader& header, const DecodeLimits& limits);

// The picture, or nothing when the data is not a PNG, is damaged or ends early, or breaks a
// limit. Never reads outside [data, data + size). The size is checked before any pixel memory
// is allocated, and no allocation of libpng's exceeds the chunk limit.
std::optional<DecodedPicture> decodePng(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits = {},
                                        DecodeCost* cost = nullptr);

// ---- Inside the decoder, for its tests and the fuzz target ------------------------------------
namespace png_internal {

// Adler-32 as zlib computes it; adler32 takes sixteen bytes a step where the machine has SSE2.
std::uint32_t adler32(const std::uint8_t* p, std::size_t n);
std::uint32_t adler32Scalar(const std::uint8_t* p, std::size_t n);

// R, G, B, A pixels as B, G, R, A, not premultiplied; whether every alpha is 255. reorderRgba
// takes four pixels a step where the machine has SSE2.
bool reorderRgba(const std::uint8_t* row, std::size_t width, std::uint8_t* out);
bool reorderRgbaScalar(const std::uint8_t* row, std::size_t width, std::uint8_t* out);

// decodePng with every picture read row by row through libpng, never straight into the pixels.
std::optional<DecodedPicture> decodeThroughLibpng(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits = {});

}  // namespace png_internal

}  // namespace velmora
