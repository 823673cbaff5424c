#include "app/frame_timer.h"

#include "ground/records.h"
#include "desktop/frame.h"
#include "ports/platform.h"
#include "scene/animation.h"
#include "scene/drawing.h"
#include "scene/load_theme.h"

namespace velmora {

namespace {


std::uint32_t tickCount() { return platform().shell->tickCount(); }

}  // namespace

void startTheme(WindowHandle window, std::optional<std::size_t> selection) {
    // A place with no theme changes nothing; checked before the timer is stopped so that the
    // running theme keeps playing.
    if (selection && *selection >= appState.themeList.size()) return;
    WindowSystem& windows = *platform().windows;
    windows.killTimer(appState.timerWindow, appState.timerId);
    try {
        if (selection) appState.currentTheme = appState.themeList[*selection];
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
    const std::int32_t rate = frameRateOrDefault(appState.frameRate);
    appState.timerInterval = 1000 / rate;
    windows.setTimer(window, kFrameTimerId, static_cast<std::uint32_t>(appState.timerInterval));
}

void stepPan(Scene& scene, std::uint32_t now, std::uint32_t lastTick) {
    const float s = scene.settings.pingPong;
    if (s == 0 || s != s) {
        scene.panOffset = 0;
        return;
    }
    const float k = scene.settings.pixelScale;
    const float w = scene.theme.params.width;
    const float d = scene.rect.width;
    scene.panOffset = scene.panOffset + ((static_cast<float>(now) - static_cast<float>(lastTick)) * s) * scene.panDirection;
    const float limit = (w - d / k) * 0.01f;
    if (scene.panOffset > limit) {
        scene.panOffset = limit;
        scene.panDirection = -1.0f;
    }
    if (!(scene.panOffset >= -limit)) {
        scene.panOffset = -limit;
        scene.panDirection = 1.0f;
    }
    if (!(k * w >= d)) scene.panOffset = 0;
}

void stepPan(std::uint32_t now) {
    Scene scene = defaultScene();
    stepPan(scene, now, appState.lastTick);
}

void renderFrame() {
    const std::uint32_t now = tickCount();
    Scene scene = defaultScene();
    stepPan(scene, now, appState.lastTick);
    // Unsigned difference: right across the wrap of the tick counter.
    updateScene(scene, static_cast<std::int32_t>(now - appState.lastTick));
    appState.lastTick = now;
    // Nothing is visible while the session is locked; the scene goes on so that nothing jumps.
    if (!desktopHost.frameTarget || desktopWatch.sessionLocked) return;
    beginFrame();
    drawScene(scene);
    presentFrame();
}

}  // namespace velmora
