#pragma once
#include <cstdint>
#include <optional>

#include "ports/handles.h"

namespace velmora {

// Stops the frame timer, picks the theme (a menu command id 601..699, or none to keep
// currentTheme), loads it, resets the pan and the tick, and restarts the timer on window.
void startTheme(WindowHandle window, std::optional<std::uint32_t> selection = std::nullopt);
// One frame: pan, animate by the elapsed ticks, draw, present.
void renderFrame();

}  // namespace velmora
