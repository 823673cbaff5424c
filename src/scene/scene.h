#pragma once
// A scene: one theme's model with its per-instance state, the display settings derived for it,
// the rectangle it is drawn in and its pan. A scene per monitor has its monitor's rectangle in the
// coordinates of the window drawn into; the one scene over the whole desktop has the desktop's in
// screen coordinates (the device's origin then maps them onto the window). Layout,
// animation and drawing take the scene they work on as a parameter, so that several scenes (one
// per monitor) can play side by side. The process-wide records are the default scene, which the
// operations without a scene pass on.
#include <vector>

#include "ground/global_settings.h"
#include "ground/monitors.h"
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
    // Of the monitor it is shown on: its scaling multiplies the pixel scale.
    std::int32_t dpi = kBaseDpi;
    // Held still (its monitor is covered): drawn as it stands, not moved on.
    bool paused = false;
};

// The process's theme and display settings on the desktop rectangle, with the shell's pan.
Scene defaultScene();
// A monitor's own scene, on its rectangle.
Scene sceneOf(MonitorScene& stored);

// Whether frames show a scene per monitor: config.txt asks for it and the monitors are known.
bool scenePerMonitor();
// Makes monitorScenes match the monitors: one scene each, in their order, on their rectangles
// (emptied of any theme), or none while one scene spans the desktop.
void fitMonitorScenes();
// The scenes a frame shows, in drawing order: one per monitor, or the default scene alone.
std::vector<Scene> shownScenes();

}  // namespace velmora
