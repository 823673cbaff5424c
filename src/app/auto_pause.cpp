#include "app/auto_pause.h"

#include "app/frame_pacing.h"

#include <algorithm>
#include <array>

#include "ground/records.h"
#include "ports/platform.h"

namespace velmora {

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

bool windowCoversMonitor(WindowSystem& windows, WindowHandle window, WindowHandle sceneWindow) {
    if (!windows.isWindowVisible(window) || windows.isIconic(window) || windows.isWindowCloaked(window)) return false;
    if (isShellWindowClass(windows.getClassName(window))) return false;
    const RectI monitor = windows.monitorRectOfWindow(sceneWindow);
    const std::int64_t monitorArea = area(monitor);
    if (monitorArea == 0) return false;
    if (windows.isZoomed(window) && sameRect(windows.monitorRectOfWindow(window), monitor)) return true;
    return area(intersection(windows.getWindowRect(window), monitor)) * 100 >= monitorArea * kCoverPercent;
}

}  // namespace

bool isShellWindowClass(std::u16string_view className) {
    static constexpr std::array<std::u16string_view, 6> kShellClasses = {
        u"Progman", u"WorkerW", u"Shell_TrayWnd", u"Shell_SecondaryTrayWnd", u"Windows.UI.Core.CoreWindow",
        u"XamlExplorerHostIslandWindow",
    };
    return std::find(kShellClasses.begin(), kShellClasses.end(), className) != kShellClasses.end();
}

bool foregroundCoversScene(WindowSystem& windows, Shell& shell, WindowHandle sceneWindow) {
    const WindowHandle foreground = windows.getForegroundWindow();
    if (foreground != 0 && windowCoversMonitor(windows, foreground, sceneWindow)) return true;
    // Exclusive full-screen Direct3D and presentation mode may show no covering window at all.
    const UserNotificationState state = shell.queryUserNotificationState();
    return state == UserNotificationState::RunningD3dFullScreen || state == UserNotificationState::PresentationMode;
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
    if (appState.autoPaused) setAutoPaused(appState, false, platform().shell->tickCount());
    updateTimerPeriod();
}

void checkAutoPause() {
    if (!appState.pauseFullscreen && !appState.pauseBattery) return;
    Shell& shell = *platform().shell;
    const bool wanted = autoPauseWanted(*platform().windows, shell, appState.pauseFullscreen, appState.pauseBattery, desktopHost.workerW);
    setAutoPaused(appState, wanted, shell.tickCount());
    updateTimerPeriod();
}

}  // namespace velmora
