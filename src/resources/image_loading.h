#pragma once
// Decoding every picture a parsed theme names into bitmaps on the drawing device.
#include <cstdint>
#include <string>

#include "ground/theme_model.h"
#include "ports/graphics_device.h"
#include "resources/theme_source.h"

namespace velmora {

// The four scene pictures and every layer frame of the current theme, on the frame target when
// there is one (every picture is empty without it). Sets params.width from the floor when the
// theme gave none.
void loadThemeImages();
// The worker: the pictures of target from source, decoded by device; a null device decodes
// nothing. A missing or undecodable picture becomes an empty ImageFrame.
void loadThemeImages(Theme& target, const ThemeSource& source, GraphicsDevice* device);
ImageFrame loadImageFrame(GraphicsDevice& device, const ThemeSource& source, const std::u16string& member, std::int32_t filter);

}  // namespace velmora
