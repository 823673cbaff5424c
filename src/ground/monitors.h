#pragma once
// The monitors a scene per monitor is laid out on, and the storage of those scenes.
#include <cstdint>
#include <memory>
#include <vector>

#include "ground/global_settings.h"
#include "ground/theme_model.h"

namespace velmora {

// The DPI at which a theme pixel is pixelScale device pixels (100 % scaling).
inline constexpr std::int32_t kBaseDpi = 96;

// A monitor's rectangle in the coordinates scenes are laid out and drawn in (those of the window
// drawn into, so that its left or top may be negative), and its DPI.
struct Monitor {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t dpi = kBaseDpi;
    friend bool operator==(const Monitor&, const Monitor&) = default;
};

// One monitor's scene: a theme of its own (instances, walkers, pictures), its display settings
// and its pan. A theme is large, so each lives in storage of its own that never moves.
struct MonitorScene {
    Monitor monitor;
    Theme theme;
    GlobalSettings settings;
    float panOffset = 0;
    float panDirection = -1.0f;
    // Paused by itself while a window covers this monitor: the others play on.
    bool paused = false;
};

using MonitorScenes = std::vector<std::unique_ptr<MonitorScene>>;

// The scenes per monitor; empty while one scene spans the desktop.
extern MonitorScenes monitorScenes;

}  // namespace velmora
