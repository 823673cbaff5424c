#pragma once
// Drawing one frame of the scene back to front, with parallax from the pan position.
#include <array>
#include <cstdint>
#include <functional>

#include "theme/theme_model.h"

namespace velmora {

// Draws one frame of the scene, back to front, between beginFrame and presentFrame.
void drawScene();
// Draws a picture into the rectangle (x, y, w, h), mirrored about its centre by the factor
// mirror (0 for none); draws nothing for a picture without a bitmap.
void drawImage(const ImageFrame& picture, float opacity, float x, float y, float w, float h, float mirror);
// One call per layer array: the first count layers, shifted by the pan position.
void drawParticles(const std::array<ParticleLayer, LayerCapacity>& layers, std::int32_t count, float panOffset);
void drawSprites(const std::array<SpriteLayer, LayerCapacity>& layers, std::int32_t count, float panOffset);

// The transform that mirrors the rectangle (x, w) about its vertical centre line by the factor
// mirror: 0 leaves it, 0.5 narrows it to nothing, 1 flips it.
Matrix3x2 mirrorTransform(float x, float w, float mirror);

// Sees every drawImage call that has a bitmap, before it is drawn (the trace tool records the
// frame with it). Pass an empty function to remove it.
using DrawImageObserver =
    std::function<void(const ImageFrame& picture, float opacity, float x, float y, float w, float h, float mirror)>;
void setDrawImageObserver(DrawImageObserver observer);

}  // namespace velmora
