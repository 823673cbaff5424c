#pragma once
// The limits on pictures, in one place: every decoder (the Linux PNG decoder, WIC on Windows),
// picture loading and the tools read them from here. No real theme comes near any of them; they
// keep a broken or hostile theme from making a load allocate or work without bound.
#include <cstddef>
#include <cstdint>

namespace velmora {

// Pictures larger than this on either side, or of more pixels than kMaxPicturePixels, are refused
// as undecodable: no theme needs them, and decoding one would allocate without bound. A device
// reads a picture's size before it allocates any pixel.
inline constexpr std::int32_t kMaxPictureSide = 16384;
// Nor is a picture of more pixels than this in all (16384 x 4096, 256 MiB decoded).
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{64} * 1024 * 1024;
// A picture file larger than this is not read at all.
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{256} << 20;

// A theme's pictures together take at most this much decoded (width x height x 4 bytes, plus
// kBitmapOverheadBytes, for each distinct picture held), in loading order: the picture that would
// pass it and every one after it load as empty.
inline constexpr std::uint64_t kMaxThemePictureBytes = std::uint64_t{1} << 30;
// What a bitmap costs besides its pixels (the device's object and its bookkeeping), counted
// against kMaxThemePictureBytes so that countless tiny pictures are bounded too.
inline constexpr std::uint64_t kBitmapOverheadBytes = 1024;

// The work of one load, whatever the pictures hold. Past either, the picture that would pass it
// and every one after it load as empty, as with kMaxThemePictureBytes.
// Picture names formed and looked up (a name given many times counts each time).
inline constexpr std::size_t kMaxPictureNamesPerLoad = 65536;
// Bytes inflated: archive members read plus the image data of the pictures decoded (rows as the
// file stores them, before any conversion; twice that for an interlaced picture, whose passes
// cost about as much again), each distinct file once. A theme of 8-bit pictures at
// kMaxThemePictureBytes, read from an archive, stays within it.
inline constexpr std::uint64_t kMaxInflatedBytesPerLoad = std::uint64_t{3} << 29;

}  // namespace velmora
