#pragma once
// Drawing one frame of the scene back to front, with parallax from the pan position.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

// A frame draws at most this much area, in screens (the desktop window's width x view height):
// with the scene pictures counted first, each layer in drawing order counts its instances at its
// largest picture (one screen at most each, as drawing is clipped to the screen), and a layer that would pass the budget is left out of every frame (the later
// ones still count). Real scenes draw a few screens; this keeps a frame within a fraction of a
// second whatever a theme asks for.
inline constexpr double kMaxDrawnScreensPerFrame = 64;

// A layer left out of the frames, for the tools that explain it.
struct LayerPastDrawBudget {
    const char* kind;  // "sprite layer", "particle layer", "character layer"
    std::u16string name;
    double screens;    // what its instances would draw a frame
};

// Marks each layer of the scene's theme that the drawing budget leaves out (pastDrawBudget), for
// its rectangle and pixel scale; returns those layers, in drawing order.
std::vector<LayerPastDrawBudget> planDrawBudget(Scene& scene);
// Of the default scene.
std::vector<LayerPastDrawBudget> planDrawBudget();

}  // namespace velmora
