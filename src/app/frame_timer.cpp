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
        fitMonitorScenes();
        if (monitorScenes.empty()) {
            loadTheme();
        } else {
            // The scenes of the monitors hold the theme; the default scene lets go of its pictures.
            // Each is loaded in monitor order from the one random sequence.
            loadEmptyTheme();
            for (Scene& scene : shownScenes()) loadTheme(scene, appState.currentTheme, LoadOptions{});
        }
    } catch (...) {
        // Whatever failed inside the load (memory above all), the theme is left empty and the
        // timer and the menu go on; the next reload or theme choice tries again.
        loadEmptyTheme();
        for (Scene& scene : shownScenes()) loadEmptyTheme(scene);
    }
    appState.lastTick = tickCount();
    appState.panOffset = 0;
    appState.panDirection = -1.0f;
    for (const std::unique_ptr<MonitorScene>& stored : monitorScenes) {
        stored->panOffset = 0;
        stored->panDirection = -1.0f;
    }
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
    std::vector<Scene> scenes = shownScenes();
    for (Scene& scene : scenes) {
        // A paused scene's time is not counted: it goes on from where it stood.
        if (scene.paused) continue;
        stepPan(scene, now, appState.lastTick);
        // Unsigned difference: right across the wrap of the tick counter.
        updateScene(scene, static_cast<std::int32_t>(now - appState.lastTick));
    }
    appState.lastTick = now;
    // Nothing is visible while the session is locked; the scenes go on so that nothing jumps.
    if (!desktopHost.frameTarget || desktopWatch.sessionLocked) return;
    drawFrame(scenes);
}

void drawFrame(const std::vector<Scene>& scenes) {
    beginFrame();
    // A scene per monitor stays on its monitor: its wider layers end at the monitor's edges.
    const bool clip = !monitorScenes.empty();
    GraphicsDevice& device = *platform().graphics;
    for (const Scene& scene : scenes) {
        const SceneRect& r = scene.rect;
        if (clip) device.pushClip(RectF{r.left, r.top, r.left + r.width, r.top + r.height});
        // One scene over the whole desktop is laid out in screen coordinates, and the window's
        // first pixel is the desktop's top left corner (left of the primary monitor when another
        // monitor stands there); scenes per monitor are laid out in the window's own.
        if (!clip) device.setOrigin(r.left, r.top);
        drawScene(scene);
        if (clip) device.popClip();
        if (!clip) device.setOrigin(0, 0);
    }
    presentFrame();
}

}  // namespace velmora
