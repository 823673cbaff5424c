#pragma once
// The per-frame animation: sprites scroll and wrap, particles drift, fade and reappear,
// characters walk and turn, and every layer steps its frames. Nothing is allocated here.
#include <cstdint>

#include "ground/theme_model.h"

namespace velmora {

// Advances every layer of the scene by elapsedMs milliseconds.
void updateScene(std::int32_t elapsedMs);

// dx (and dy) are this update's displacement in theme pixels: elapsed time x xanimation.
void updateSprites(SpriteLayer& layer, std::int32_t elapsedMs, float dx, float sceneLeft, float sceneWidth);
void updateParticles(ParticleLayer& layer, std::int32_t elapsedMs, float dx, float dy, float sceneLeft, float sceneWidth);

void walkFloor(CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, float floorY);
// lift is (baseOffset + ycollider) x pixelScale.
void walkSine(CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, float viewBottom, float lift);
void walkBetween(CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, const SpriteLayer& obstacles);

void stepTween(Tween& tween, std::int32_t elapsedMs);

}  // namespace velmora
