#pragma once
// The platform interfaces are installed once at start-up (by the platform's entry, or by a test
// with its fakes) and reached from the core through these accessors.
#include "ports/graphics_device.h"
#include "ports/shell.h"
#include "ports/window_system.h"

namespace velmora {

struct Platform {
    WindowSystem* windows = nullptr;
    Shell* shell = nullptr;
    GraphicsDevice* graphics = nullptr;
};

// The installed interfaces; any of them may be null until installed.
Platform& platform();
void installPlatform(const Platform& installed);

}  // namespace velmora
