#include "app/desktop_recovery.h"

#include <algorithm>

#include "app/frame_timer.h"
#include "desktop/desktop_attach.h"
#include "desktop/desktop_changes.h"
#include "ground/records.h"
#include "ports/platform.h"
#include "resources/image_loading.h"

namespace velmora {

namespace {

constexpr std::uint32_t kTrayIconFlagsAll = 7;  // message, icon and tip

// What a check found to mend.
enum class Repair { None, Targets, FindAgain };

// Marks the scene busy (no frame is drawn from a nested timer tick) and a rebuild under way.
class RebuildGuard {
public:
    RebuildGuard() : sceneWasBusy_(appState.sceneBusy) {
        appState.sceneBusy = true;
        desktopWatch.rebuilding = true;
    }
    ~RebuildGuard() {
        appState.sceneBusy = sceneWasBusy_;
        desktopWatch.rebuilding = false;
    }
    RebuildGuard(const RebuildGuard&) = delete;
    RebuildGuard& operator=(const RebuildGuard&) = delete;

private:
    bool sceneWasBusy_;
};

Repair neededRepair(bool windowOnly) {
    if (desktopWindowGone() || desktopWatch.desktopMissing) return Repair::FindAgain;
    if (windowOnly) return Repair::None;
    if (desktopWatch.rebuildPending || desktopHost.targetLost || desktopSizeChanged() || monitorsChanged()) return Repair::Targets;
    return Repair::None;
}

void scheduleRebuild(WindowHandle window) {
    desktopWatch.rebuildPending = true;
    desktopWatch.rebuildDelayMs = desktopWatch.rebuildDelayMs == 0
                                      ? kFirstRebuildDelayMs
                                      : std::min(desktopWatch.rebuildDelayMs * 2, kLongestRebuildDelayMs);
    platform().windows->setTimer(window, kRebuildTimerId, desktopWatch.rebuildDelayMs);
}

void scheduleShellRestartTries(WindowHandle window) {
    desktopWatch.restartTriesLeft = kShellRestartTries;
    platform().windows->setTimer(window, kShellRestartTimerId, kShellRestartRetryMs);
}

// A theme that has been started is loaded again on the new targets: wholly when the desktop
// window or its size changed (the layout depends on them), else only its pictures, so that the
// animation goes on where it was.
void reloadTheme(WindowHandle window, bool wholly) {
    if (appState.timerId == 0) return;
    if (wholly) {
        startTheme(window, std::nullopt);
    } else {
        loadThemeImages();
    }
}

void repairDesktop(WindowHandle window, bool windowOnly) {
    // A message that arrives while a theme loads or the device is being made (inside a platform
    // call that waits) is dealt with once that is over.
    if (appState.sceneBusy || desktopWatch.rebuilding) {
        platform().windows->setTimer(window, kDisplaySettleTimerId, kDisplaySettleMs);
        return;
    }
    const Repair repair = neededRepair(windowOnly);
    if (repair == Repair::None) return;

    RebuildGuard guard;
    const RectI before = desktopHost.targetRect;
    const std::vector<Monitor> monitorsBefore = desktopHost.monitors;
    if (repair == Repair::FindAgain) {
        switch (reattachDesktop()) {
            case Reattach::NoDesktopWindow:
                desktopWatch.desktopMissing = true;
                return;
            case Reattach::NoTargets:
                desktopWatch.desktopMissing = false;
                scheduleRebuild(window);
                return;
            case Reattach::Done:
                desktopWatch.desktopMissing = false;
                break;
        }
    } else if (!createDesktopDevice()) {
        scheduleRebuild(window);
        return;
    }
    if (desktopWatch.rebuildPending) platform().windows->killTimer(window, kRebuildTimerId);
    desktopWatch.rebuildPending = false;
    desktopWatch.rebuildDelayMs = 0;
    const RectI& after = desktopHost.targetRect;
    const bool moved = before.left != after.left || before.top != after.top || before.right != after.right || before.bottom != after.bottom;
    // The scenes per monitor are laid out again with any change of a monitor, and loaded again
    // wholly on new targets (their pictures are only reloaded with the default scene's).
    const bool relaid = monitorsBefore != desktopHost.monitors || !monitorScenes.empty();
    reloadTheme(window, repair == Repair::FindAgain || moved || relaid);
}

// Adds the icon again with its whole record; an icon the shell still has (a "TaskbarCreated"
// sent for a DPI change) is refused by the add and accepted by a modify.
bool addTrayIconAgain() {
    Shell& shell = *platform().shell;
    appState.trayIcon.flags = kTrayIconFlagsAll;
    if (shell.notifyIconChecked(NotifyIconAction::Add, appState.trayIcon)) return true;
    return shell.notifyIconChecked(NotifyIconAction::Modify, appState.trayIcon);
}

void onShellRestartTimer(WindowHandle window) {
    if (desktopWatch.iconPending && addTrayIconAgain()) desktopWatch.iconPending = false;
    if (desktopWatch.desktopMissing) repairDesktop(window, true);
    --desktopWatch.restartTriesLeft;
    if ((!desktopWatch.iconPending && !desktopWatch.desktopMissing) || desktopWatch.restartTriesLeft <= 0) {
        platform().windows->killTimer(window, kShellRestartTimerId);
        // Out of tries: the next "TaskbarCreated" or display change tries again.
        desktopWatch.iconPending = false;
    }
}

}  // namespace

void startWatchingDesktop(WindowHandle window) { platform().windows->registerSessionNotification(window); }

void stopWatchingDesktop(WindowHandle window) {
    platform().windows->unregisterSessionNotification(window);
    destroySceneWindow();
}

void onShellRestarted(WindowHandle window) {
    // Before start-up has added the icon there is nothing to add again.
    if (appState.trayIcon.size != 0 && !addTrayIconAgain()) desktopWatch.iconPending = true;
    repairDesktop(window, true);
    if (desktopWatch.iconPending || desktopWatch.desktopMissing) scheduleShellRestartTries(window);
}

void onDisplayChange(WindowHandle window) {
    platform().windows->setTimer(window, kDisplaySettleTimerId, kDisplaySettleMs);
}

void checkDesktop(WindowHandle window) { repairDesktop(window, false); }

void afterFrame(WindowHandle window) {
    if (desktopHost.targetLost) repairDesktop(window, false);
}

bool onDesktopTimer(WindowHandle window, std::uintptr_t id) {
    switch (id) {
        case kShellRestartTimerId:
            onShellRestartTimer(window);
            return true;
        case kDisplaySettleTimerId:
            platform().windows->killTimer(window, kDisplaySettleTimerId);
            checkDesktop(window);
            return true;
        case kRebuildTimerId:
            platform().windows->killTimer(window, kRebuildTimerId);
            checkDesktop(window);
            return true;
        default:
            return false;
    }
}

}  // namespace velmora
