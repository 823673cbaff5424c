#pragma once
// The shell's process-wide record.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ports/handles.h"
#include "ports/shell.h"

namespace velmora {

// Raw entry names of the theme folders, then archives, found at start-up; entry i belongs to
// menu command 601 + i.
using ThemeList = std::vector<std::u16string>;

inline constexpr std::size_t kShellTargetUnits = 1000;

// An fps of 0 or below (none read yet, or written so in config.txt) runs at 60: the frame timer
// divides 1000 by the rate.
inline constexpr std::int32_t kDefaultFrameRate = 60;
constexpr std::int32_t frameRateOrDefault(std::int32_t fps) { return fps > 0 ? fps : kDefaultFrameRate; }

struct AppState {
    InstanceHandle instance = 0;
    std::u16string programFolder;  // ends with the path separator
    WindowHandle mainWindow = 0;
    MenuHandle trayMenu = 0;
    IconHandle appIcon = 0;
    IconHandle playIcon = 0;
    IconHandle pauseIcon = 0;
    ThemeList themeList;
    std::int32_t themeCount = 0;
    std::u16string currentTheme;
    NotifyIconRecord trayIcon;  // all zero until filled just before it is added
    bool playing = true;
    std::int32_t frameRate = 0;  // from config.txt before any timer starts
    WindowHandle timerWindow = 0;
    std::uintptr_t timerId = 0;
    std::int32_t timerInterval = 0;
    std::uint32_t lastTick = 0;
    float panOffset = 0;
    float panDirection = 1;  // every theme start sets it to -1 before the first frame
    std::array<char16_t, kShellTargetUnits> shellTarget = {};
    // True while a frame is drawn or a theme is (re)started. A platform call that runs a message
    // loop of its own may dispatch a timer tick in the middle of either; that tick is dropped
    // rather than drawing a half-loaded theme or nesting a frame in a frame.
    bool sceneBusy = false;
    // config.txt's pause_fullscreen and pause_battery, read with fps: pause by ourselves while a
    // program covers the scene's monitor, or while the computer runs on battery.
    bool pauseFullscreen = false;
    bool pauseBattery = false;
    // config.txt's span_monitors: one scene over the whole desktop (the default), or one per
    // monitor.
    bool spanMonitors = true;
    // The automatic pause, a state of its own beside the user's (playing): the icon shows only
    // the user's, and frames wait until both are lifted.
    bool autoPaused = false;
    // The timer that looks for a reason to pause runs (only while one of the keys is on).
    bool autoPauseTimer = false;
};

extern AppState appState;

// Whether the frame ticks produce frames: neither the user's pause nor the automatic one holds.
inline bool producingFrames(const AppState& state) { return state.playing && !state.autoPaused; }

}  // namespace velmora
