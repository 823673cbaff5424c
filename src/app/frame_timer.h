#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "ports/handles.h"
#include "scene/scene.h"

namespace velmora {

inline constexpr std::uintptr_t kFrameTimerId = 1000;

// Stops the frame timer, picks the theme (a place in the theme list, or none to keep
// currentTheme), loads it, resets the pan and the tick, and restarts the timer on window. A
// selection with no theme list entry does nothing at all: the running theme and timer stay. A
// load that throws leaves an empty theme, and the timer restarts all the same.
void startTheme(WindowHandle window, std::optional<std::size_t> selection = std::nullopt);
// One frame: pan, animate by the elapsed ticks, draw, present. The caller calls it only while
// frames are produced (producingFrames). Without an off-screen target, or while the session is
// locked, the scene still animates but nothing is drawn.
void renderFrame();
// Draws the scenes as they stand into the one target and presents it once.
void drawFrame(const std::vector<Scene>& scenes);

// The pan step of one frame of scene at tick now, the previous frame having been at lastTick.
void stepPan(Scene& scene, std::uint32_t now, std::uint32_t lastTick);
// Of the default scene (lastTick still holds the previous frame's tick).
void stepPan(std::uint32_t now);

}  // namespace velmora
