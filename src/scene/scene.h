#pragma once
// A scene: one theme's model with its per-instance state, the display settings derived for it,
// the rectangle it is drawn in (in the coordinates of the window drawn into) and its pan. Layout,
// animation and drawing take the scene they work on as a parameter, so that several scenes (one
// per monitor) can play side by side. The process-wide records are the default scene, which the
// operations without a scene pass on.
#include "ground/global_settings.h"
#include "ground/theme_model.h"

namespace velmora {

struct SceneRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

struct Scene {
    Theme& theme;
    GlobalSettings& settings;
    SceneRect rect;
    float& panOffset;
    float& panDirection;
};

// The process's theme and display settings on the desktop rectangle, with the shell's pan.
Scene defaultScene();

}  // namespace velmora
