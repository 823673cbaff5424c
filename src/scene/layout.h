#pragma once
// Starting state of every instance of a freshly loaded theme: positions, variations, opacity
// seeds and facing, drawn from the shared random sequence in a fixed order.
#include "ground/theme_model.h"
#include "scene/scene.h"

namespace velmora {

void layoutSprites(const GlobalSettings& settings, SpriteLayer& layer, float sceneLeft, float baseline);
void layoutCharacters(const GlobalSettings& settings, CharacterLayer& layer, float sceneLeft, float sceneWidth, float floorY);
// Reads viewTop and viewHeight from the settings.
void layoutParticles(const GlobalSettings& settings, ParticleLayer& layer, float sceneLeft, float sceneWidth);

// Lays out every layer of the theme against the current scene geometry, in draw order.
void layoutScene(Scene& scene);
// Of the default scene.
void layoutScene();

}  // namespace velmora
