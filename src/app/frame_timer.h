#pragma once
#include <cstdint>
#include <optional>

#include "ports/handles.h"

namespace velmora {

inline constexpr std::uintptr_t kFrameTimerId = 1000;

// Stops the frame timer, picks the theme (a menu command id 601..699, or none to keep
// currentTheme), loads it, resets the pan and the tick, and restarts the timer on window. A
// selection with no theme list entry does nothing at all: the running theme and timer stay. A
// load that throws leaves an empty theme, and the timer restarts all the same.
void startTheme(WindowHandle window, std::optional<std::uint32_t> selection = std::nullopt);
// One frame: pan, animate by the elapsed ticks, draw, present. The caller calls it only while
// frames are produced (producingFrames). Without an off-screen target, or while the session is
// locked, the scene still animates but nothing is drawn.
void renderFrame();

// The frames per second the timer runs at for a configured frame rate: 60 for 0 or below.
std::int32_t frameRateInUse(std::int32_t frameRate);

// The pan step of one frame at tick now (lastTick still holds the previous frame's tick).
void stepPan(std::uint32_t now);

}  // namespace velmora
