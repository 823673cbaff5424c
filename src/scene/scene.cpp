#include "scene/scene.h"

#include "ground/records.h"

namespace velmora {

namespace {

// One scene over the whole desktop takes the scaling of the primary monitor, which holds the
// screen's origin (Windows' own system scaling): a single scaled laptop screen looks the same
// whether its scene spans or not.
std::int32_t spanningDpi() {
    const std::vector<Monitor>& monitors = desktopHost.monitors;
    if (monitors.empty()) return kBaseDpi;
    // Monitors are measured from the desktop's top left corner.
    const float x = -desktopHost.desktopLeft, y = -desktopHost.desktopTop;
    for (const Monitor& m : monitors) {
        if (x >= static_cast<float>(m.left) && x < static_cast<float>(m.left) + static_cast<float>(m.width) &&
            y >= static_cast<float>(m.top) && y < static_cast<float>(m.top) + static_cast<float>(m.height))
            return m.dpi;
    }
    return monitors.front().dpi;
}

}  // namespace

Scene defaultScene() {
    return Scene{theme,
                 globalSettings,
                 SceneRect{desktopHost.desktopLeft, desktopHost.desktopTop, desktopHost.desktopWidth, desktopHost.desktopHeight},
                 appState.panOffset,
                 appState.panDirection,
                 spanningDpi()};
}

Scene sceneOf(MonitorScene& stored) {
    const Monitor& m = stored.monitor;
    return Scene{stored.theme,
                 stored.settings,
                 SceneRect{static_cast<float>(m.left), static_cast<float>(m.top), static_cast<float>(m.width), static_cast<float>(m.height)},
                 stored.panOffset,
                 stored.panDirection,
                 m.dpi,
                 stored.paused};
}

bool scenePerMonitor() { return !appState.spanMonitors && !desktopHost.monitors.empty(); }

void fitMonitorScenes() {
    if (!scenePerMonitor()) {
        monitorScenes.clear();
        return;
    }
    const std::vector<Monitor>& monitors = desktopHost.monitors;
    if (monitorScenes.size() > monitors.size()) monitorScenes.resize(monitors.size());
    while (monitorScenes.size() < monitors.size()) monitorScenes.push_back(std::make_unique<MonitorScene>());
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        MonitorScene& stored = *monitorScenes[i];
        clearTheme(stored.theme);
        stored.monitor = monitors[i];
        stored.settings = GlobalSettings{};
        stored.panOffset = 0;
        stored.panDirection = -1.0f;
        stored.paused = false;
    }
}

std::vector<Scene> shownScenes() {
    std::vector<Scene> scenes;
    if (monitorScenes.empty()) {
        scenes.push_back(defaultScene());
        return scenes;
    }
    scenes.reserve(monitorScenes.size());
    for (const std::unique_ptr<MonitorScene>& stored : monitorScenes) scenes.push_back(sceneOf(*stored));
    return scenes;
}

}  // namespace velmora
