#include "app/frame_timer.h"

#include "ground/records.h"
#include "desktop/frame.h"
#include "ports/platform.h"
#include "scene/animation.h"
#include "scene/drawing.h"
#include "scene/load_theme.h"

namespace velmora {

namespace {

constexpr std::uint32_t kFirstThemeCommand = 601;
// A frame rate of 0 or below would divide by zero or give a negative interval; such a value
// runs at the default rate instead.
constexpr std::int32_t kDefaultFrameRate = 60;

std::uint32_t tickCount() { return platform().shell->tickCount(); }

}  // namespace

void startTheme(WindowHandle window, std::optional<std::uint32_t> selection) {
    std::size_t index = 0;
    if (selection) {
        const std::uint32_t command = *selection & 0xFFFFu;
        // A command with no theme behind it changes nothing; checked before the timer is
        // stopped so that the running theme keeps playing.
        if (command < kFirstThemeCommand) return;
        index = command - kFirstThemeCommand;
        if (index >= appState.themeList.size()) return;
    }
    WindowSystem& windows = *platform().windows;
    windows.killTimer(appState.timerWindow, appState.timerId);
    try {
        if (selection) appState.currentTheme = appState.themeList[index];
        loadTheme();
    } catch (...) {
        // Whatever failed inside the load (memory above all), the theme is left empty and the
        // timer and the menu go on; the next reload or theme choice tries again.
        loadEmptyTheme();
    }
    appState.lastTick = tickCount();
    appState.panOffset = 0;
    appState.panDirection = -1.0f;
    appState.timerId = kFrameTimerId;
    appState.timerWindow = window;
    appState.timerInterval = 1000 / frameRateInUse(appState.frameRate);
    windows.setTimer(window, kFrameTimerId, static_cast<std::uint32_t>(appState.timerInterval));
}

std::int32_t frameRateInUse(std::int32_t frameRate) { return frameRate > 0 ? frameRate : kDefaultFrameRate; }

void stepPan(std::uint32_t now) {
    const float s = globalSettings.pingPong;
    if (s == 0 || s != s) {
        appState.panOffset = 0;
        return;
    }
    const float k = globalSettings.pixelScale;
    const float w = theme.params.width;
    const float d = desktopHost.desktopWidth;
    appState.panOffset = appState.panOffset + ((static_cast<float>(now) - static_cast<float>(appState.lastTick)) * s) * appState.panDirection;
    const float limit = (w - d / k) * 0.01f;
    if (appState.panOffset > limit) {
        appState.panOffset = limit;
        appState.panDirection = -1.0f;
    }
    if (!(appState.panOffset >= -limit)) {
        appState.panOffset = -limit;
        appState.panDirection = 1.0f;
    }
    if (!(k * w >= d)) appState.panOffset = 0;
}

void renderFrame() {
    const std::uint32_t now = tickCount();
    stepPan(now);
    // Unsigned difference: right across the wrap of the tick counter.
    updateScene(static_cast<std::int32_t>(now - appState.lastTick));
    appState.lastTick = now;
    // Nothing is visible while the session is locked; the scene goes on so that nothing jumps.
    if (!desktopHost.frameTarget || desktopWatch.sessionLocked) return;
    beginFrame();
    drawScene();
    presentFrame();
}

}  // namespace velmora
