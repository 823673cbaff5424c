#pragma once
// Where the scaled scene lies on the desktop, and its ground and walking lines. Layout,
// animation and drawing each recompute it from the same inputs, so all three agree.
#include "scene/scene.h"

namespace velmora {

struct SceneGeometry {
    float sceneWidth = 0;  // width of the scaled scene
    float sceneLeft = 0;   // its left edge; the scene is centred on the desktop window
    float viewBottom = 0;  // bottom edge of the drawing area
    float groundY = 0;     // the ground line: viewBottom raised by baseOffset
    float floorY = 0;      // the walking line: ycollider above the ground line
};

// From the scene's rectangle, settings and theme parameters as they are now.
SceneGeometry sceneGeometry(const Scene& scene);
// Of the default scene.
SceneGeometry sceneGeometry();

}  // namespace velmora
