#include "app/auto_pause.h"

#include "app/frame_pacing.h"

#include <algorithm>
#include <array>
#include <memory>

#include "ground/records.h"
#include "ports/platform.h"

namespace velmora {

bool isShellWindowClass(std::u16string_view className) {
    static constexpr std::array<std::u16string_view, 6> kShellClasses = {
        u"Progman", u"WorkerW", u"Shell_TrayWnd", u"Shell_SecondaryTrayWnd", u"Windows.UI.Core.CoreWindow",
        u"XamlExplorerHostIslandWindow",
    };
    return std::find(kShellClasses.begin(), kShellClasses.end(), className) != kShellClasses.end();
}

namespace {

std::int64_t area(const RectI& r) {
    const std::int64_t width = std::int64_t{r.right} - r.left;
    const std::int64_t height = std::int64_t{r.bottom} - r.top;
    return width > 0 && height > 0 ? width * height : 0;
}

RectI intersection(const RectI& a, const RectI& b) {
    return RectI{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool sameRect(const RectI& a, const RectI& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A window counts as covering a monitor from this share of it on: full-screen programs often
// leave a line or a frame edge uncovered.
constexpr std::int64_t kCoverPercent = 95;

bool windowCoversMonitor(WindowSystem& windows, WindowHandle window, const RectI& monitor) {
    if (!windows.isWindowVisible(window) || windows.isIconic(window) || windows.isWindowCloaked(window)) return false;
    if (isShellWindowClass(windows.getClassName(window))) return false;
    const std::int64_t monitorArea = area(monitor);
    if (monitorArea == 0) return false;
    if (windows.isZoomed(window) && sameRect(windows.monitorRectOfWindow(window), monitor)) return true;
    return area(intersection(windows.getWindowRect(window), monitor)) * 100 >= monitorArea * kCoverPercent;
}


// Exclusive full-screen Direct3D and presentation mode may show no covering window at all.
bool fullScreenState(Shell& shell) {
    const UserNotificationState state = shell.queryUserNotificationState();
    return state == UserNotificationState::RunningD3dFullScreen || state == UserNotificationState::PresentationMode;
}

// Marks each monitor's scene paused while the foreground window covers its monitor (all of them
// in a full-screen state that names no window); true when every one is.
bool pauseCoveredScenes(WindowSystem& windows, Shell& shell) {
    const WindowHandle foreground = windows.getForegroundWindow();
    bool whole = false;
    bool every = true;
    const RectI& origin = desktopHost.targetRect;
    for (const std::unique_ptr<MonitorScene>& stored : monitorScenes) {
        const Monitor& m = stored->monitor;
        // Back to screen coordinates, in which windows lie.
        const RectI rect{static_cast<std::int32_t>(std::int64_t{m.left} + origin.left), static_cast<std::int32_t>(std::int64_t{m.top} + origin.top),
                         static_cast<std::int32_t>(std::int64_t{m.left} + origin.left + m.width),
                         static_cast<std::int32_t>(std::int64_t{m.top} + origin.top + m.height)};
        stored->paused = foreground != 0 && windowCoversMonitor(windows, foreground, rect);
        every = every && stored->paused;
    }
    if (every) return true;
    whole = fullScreenState(shell);
    if (whole) {
        for (const std::unique_ptr<MonitorScene>& stored : monitorScenes) stored->paused = true;
    }
    return whole;
}

void liftScenePauses() {
    for (const std::unique_ptr<MonitorScene>& stored : monitorScenes) stored->paused = false;
}

}  // namespace

bool foregroundCoversScene(WindowSystem& windows, Shell& shell, WindowHandle sceneWindow) {
    const WindowHandle foreground = windows.getForegroundWindow();
    if (foreground != 0 && windowCoversMonitor(windows, foreground, windows.monitorRectOfWindow(sceneWindow))) return true;
    return fullScreenState(shell);
}

bool runsOnBattery(const PowerStatus& status) { return status.acLineStatus == 0 || status.systemStatusFlag == 1; }

bool autoPauseWanted(WindowSystem& windows, Shell& shell, bool pauseFullscreen, bool pauseBattery, WindowHandle sceneWindow) {
    if (pauseBattery && runsOnBattery(shell.systemPowerStatus())) return true;
    return pauseFullscreen && foregroundCoversScene(windows, shell, sceneWindow);
}

void setAutoPaused(AppState& state, bool paused, std::uint32_t now) {
    if (state.autoPaused == paused) return;
    state.autoPaused = paused;
    if (!paused) state.lastTick = now;
}

void followAutoPauseKeys(WindowHandle window) {
    WindowSystem& windows = *platform().windows;
    if (appState.pauseFullscreen || appState.pauseBattery) {
        if (!appState.autoPauseTimer) windows.setTimer(window, kAutoPauseTimerId, kAutoPauseIntervalMs);
        appState.autoPauseTimer = true;
        checkAutoPause();
        return;
    }
    if (appState.autoPauseTimer) windows.killTimer(window, kAutoPauseTimerId);
    appState.autoPauseTimer = false;
    liftScenePauses();
    if (appState.autoPaused) setAutoPaused(appState, false, platform().shell->tickCount());
    updateTimerPeriod();
}

void checkAutoPause() {
    if (!appState.pauseFullscreen && !appState.pauseBattery) return;
    Shell& shell = *platform().shell;
    bool wanted = false;
    if (monitorScenes.empty()) {
        wanted = autoPauseWanted(*platform().windows, shell, appState.pauseFullscreen, appState.pauseBattery, desktopHost.workerW);
    } else {
        // A scene per monitor: a covered monitor holds its own scene only; frames stop when every
        // scene is held, or on battery.
        const bool battery = appState.pauseBattery && runsOnBattery(shell.systemPowerStatus());
        if (appState.pauseFullscreen) {
            wanted = pauseCoveredScenes(*platform().windows, shell);
        } else {
            liftScenePauses();
        }
        wanted = wanted || battery;
    }
    setAutoPaused(appState, wanted, shell.tickCount());
    updateTimerPeriod();
}

}  // namespace velmora
