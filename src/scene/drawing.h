#pragma once
// Drawing one frame of the scene back to front, with parallax from the pan position.
#include <array>
#include <cstdint>

#include "ground/theme_model.h"
#include "scene/scene.h"
#include "ports/graphics_device.h"

namespace velmora {

// Draws one frame of the scene, back to front, between beginFrame and presentFrame.
void drawScene(const Scene& scene);
// Of the default scene.
void drawScene();
// Draws a picture into the rectangle (x, y, w, h), mirrored about its centre by the factor
// mirror (0 for none); draws nothing for a picture without a bitmap.
void drawImage(const ImageFrame& picture, float opacity, float x, float y, float w, float h, float mirror);
// One call per layer array: the first count layers, shifted by the pan position.
void drawParticles(const Scene& scene, const std::array<ParticleLayer, LayerCapacity>& layers, std::int32_t count, float panOffset);
void drawSprites(const Scene& scene, const std::array<SpriteLayer, LayerCapacity>& layers, std::int32_t count, float panOffset);

}  // namespace velmora
