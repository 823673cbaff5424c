#pragma once
// The platform interfaces are installed once at start-up (by the platform's entry, by a tool, or
// by a test with its fakes) and reached from the core through platform(). Whatever is not
// installed is the null platform, which does nothing: so the core never checks for a missing one.
#include "ports/graphics_device.h"
#include "ports/shell.h"
#include "ports/window_system.h"

namespace velmora {

struct Platform {
    WindowSystem* windows = nullptr;
    Shell* shell = nullptr;
    GraphicsDevice* graphics = nullptr;
};

// The installed interfaces; none of them is ever null.
const Platform& platform();
// Installs the given interfaces; a null one means the null platform's.
void installPlatform(const Platform& installed);

}  // namespace velmora
