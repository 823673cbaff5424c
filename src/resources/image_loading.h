#pragma once
// Decoding every picture a parsed theme names into bitmaps on the drawing device.
#include <array>
#include <string>

#include "resources/theme_source.h"
#include "theme/theme_model.h"

namespace velmora {

// The four scene pictures and every layer frame of the current theme; a missing or undecodable
// picture becomes an empty ImageFrame. Sets params.width from the floor when the theme gave none.
void loadThemeImages();
ImageFrame loadImageFrame(const ThemeSource& source, const std::u16string& member, std::int32_t filter);
void loadLayerFrames(std::array<ParticleLayer, LayerCapacity>& layers, std::int32_t count, const ThemeSource& source);
void loadLayerFrames(std::array<SpriteLayer, LayerCapacity>& layers, std::int32_t count, const ThemeSource& source);
void loadLayerFrames(std::array<CharacterLayer, LayerCapacity>& layers, std::int32_t count, const ThemeSource& source);

}  // namespace velmora
