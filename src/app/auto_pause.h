#pragma once
// Pausing by ourselves, as config.txt's pause_fullscreen and pause_battery ask: while another
// program covers the monitor the scene is on (a game, a video, a presentation), and while the
// computer runs on battery. The automatic pause is a state of its own beside the user's: frames
// are produced only while neither holds (producingFrames), and the icon shows only the user's.
//
// It is looked for by a timer of the program's window, only while one of the keys is on, and at
// once when the power source changes; never per frame.
#include <cstdint>
#include <string_view>

#include "ground/app_state.h"
#include "ports/shell.h"
#include "ports/window_system.h"

namespace velmora {

inline constexpr std::uintptr_t kAutoPauseTimerId = 1013;  // apart from the frame timer and the desktop's
inline constexpr std::uint32_t kAutoPauseIntervalMs = 500;

// A foreground window of the shell itself (the desktop, the taskbars, the start menu and the
// shell's other pop-ups) never counts as covering the scene.
bool isShellWindowClass(std::u16string_view className);

// Whether the foreground window covers the monitor that holds most of sceneWindow: it is
// visible, not minimised, not cloaked, not the shell's, and either maximised on that monitor or
// covering at least 95 % of it. A full-screen Direct3D program or a presentation that the shell
// reports covers it too.
bool foregroundCoversScene(WindowSystem& windows, Shell& shell, WindowHandle sceneWindow);

// On battery (the mains are off) or with battery saver on.
bool runsOnBattery(const PowerStatus& status);

// Whether the keys that are on find a reason to pause now. Asks the platform only what the keys
// need.
bool autoPauseWanted(WindowSystem& windows, Shell& shell, bool pauseFullscreen, bool pauseBattery, WindowHandle sceneWindow);

// Sets or lifts the automatic pause. Lifting it at tick now starts the time of the next frame
// there, as the user's resume does, so that the paused time is not counted and nothing jumps.
void setAutoPaused(AppState& state, bool paused, std::uint32_t now);

// After every read of config.txt's config section: starts the timer on window (and looks at once)
// while a key is on; stops it and lifts the pause when none is.
void followAutoPauseKeys(WindowHandle window);
// One look, for the timer and for a change of the power source; nothing while no key is on.
void checkAutoPause();

}  // namespace velmora
