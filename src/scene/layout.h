#pragma once
// Starting state of every instance of a freshly loaded theme: positions, variations, opacity
// seeds and facing, drawn from the shared random sequence in a fixed order.
#include "ground/theme_model.h"

namespace velmora {

void layoutSprites(SpriteLayer& layer, float sceneLeft, float baseline);
void layoutCharacters(CharacterLayer& layer, float sceneLeft, float sceneWidth, float floorY);
// Reads viewTop and viewHeight from globalSettings.
void layoutParticles(ParticleLayer& layer, float sceneLeft, float sceneWidth);

// Lays out every layer of the theme against the current scene geometry, in draw order.
void layoutScene();

}  // namespace velmora
