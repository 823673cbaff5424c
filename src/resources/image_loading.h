#pragma once
// Decoding every picture a parsed theme names into bitmaps on the drawing device.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ground/theme_model.h"
#include "ports/graphics_device.h"
#include "resources/theme_source.h"

namespace velmora {

// A theme's pictures together take at most this much decoded (width x height x 4 bytes as the
// device reports them), in loading order: the picture that would pass it and every one after it
// load as empty, so that a theme of thousands of large pictures is neither decoded nor held.
inline constexpr std::uint64_t kMaxThemePictureBytes = std::uint64_t{1} << 30;

// What the pictures of one theme load came to.
struct PictureLoad {
    std::uint64_t decodedBytes = 0;  // of the pictures held
    // Index, in loading order (visitThemePictures), of the first picture left empty because of
    // kMaxThemePictureBytes; every later one is empty too. Absent when the budget held.
    std::optional<std::size_t> firstPastBudget;
};

// Bytes a decoded picture of that size takes.
std::uint64_t decodedPictureBytes(std::int32_t width, std::int32_t height);

// The four scene pictures and every layer frame of the current theme, on the frame target when
// there is one (every picture is empty without it). Sets params.width from the floor when the
// theme gave none.
PictureLoad loadThemeImages();
// The worker: the pictures of target from source, decoded by device; a null device decodes
// nothing. A missing or undecodable picture becomes an empty ImageFrame, and so does every picture
// from the one that would pass kMaxThemePictureBytes on.
PictureLoad loadThemeImages(Theme& target, const ThemeSource& source, GraphicsDevice* device);
// One picture; empty when missing or undecodable, and when the device reports a size beyond
// kMaxPictureSide or kMaxPicturePixels.
ImageFrame loadImageFrame(GraphicsDevice& device, const ThemeSource& source, const std::u16string& member, std::int32_t filter);

}  // namespace velmora
