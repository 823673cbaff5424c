#pragma once
#include "theme/theme_model.h"

namespace velmora {

// Draws one frame of the scene, back to front, between beginFrame and presentFrame.
void drawScene();
// Draws a picture into the rectangle (x, y, w, h), mirrored about its centre by the factor
// mirror (0 for none); draws nothing for a picture without a bitmap.
void drawImage(const ImageFrame& picture, float opacity, float x, float y, float w, float h, float mirror);

}  // namespace velmora
