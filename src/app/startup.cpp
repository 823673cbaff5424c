#include "app/startup.h"

#include <algorithm>

#include "ground/records.h"
#include "app/desktop_recovery.h"
#include "app/frame_pacing.h"
#include "app/menu.h"
#include "app/shell_texts.h"
#include "desktop/desktop_attach.h"
#include "ports/platform.h"
#include "resources/theme_source.h"

namespace velmora {

namespace {

constexpr std::uint32_t kTrayIconRecordSize = 976;
constexpr std::uint32_t kTrayIconId = 500;
constexpr std::uint32_t kTrayIconFlagsAll = 7;  // message, icon and tip

constexpr int kAppIconResource = 100;
constexpr int kPlayIconResource = 102;
constexpr int kPauseIconResource = 103;

// Everything up to and including the last separator; empty when there is none.
std::u16string folderOf(const std::u16string& programPath) {
    const std::size_t last = programPath.rfind(kPathSeparator);
    if (last == std::u16string::npos) return {};
    return programPath.substr(0, last + 1);
}

void addTrayIcon() {
    const std::u16string tip = trayTipText();
    appState.trayIcon = NotifyIconRecord{};
    appState.trayIcon.size = kTrayIconRecordSize;
    appState.trayIcon.window = appState.mainWindow;
    appState.trayIcon.id = kTrayIconId;
    appState.trayIcon.flags = kTrayIconFlagsAll;
    appState.trayIcon.callbackMessage = kTrayCallbackMessage;
    appState.trayIcon.icon = appState.playIcon;
    const std::size_t n = std::min(tip.size(), kNotifyTipUnits - 1);
    std::copy_n(tip.begin(), n, appState.trayIcon.tip);
    appState.trayIcon.tip[n] = u'\0';
    platform().shell->notifyIcon(NotifyIconAction::Add, appState.trayIcon);
}

void removeTrayIcon() {
    appState.trayIcon.id = kTrayIconId;
    appState.trayIcon.flags = 0;
    platform().shell->notifyIcon(NotifyIconAction::Delete, appState.trayIcon);
}

// The icons, the theme's pictures and the drawing targets are given back on the way out; the
// window, menu, timer and the device's factories go with the process.
void destroyIcons() {
    for (IconHandle* icon : {&appState.appIcon, &appState.playIcon, &appState.pauseIcon}) {
        if (*icon != 0) platform().shell->destroyIcon(*icon);
        *icon = 0;
    }
}

}  // namespace

int runVelmora(InstanceHandle instance) {
    Shell& shell = *platform().shell;
    WindowSystem& windows = *platform().windows;

    appState.instance = instance;
    shell.enableHeapTerminationOnCorruption();
    shell.initializeCom();
    appState.programFolder = folderOf(shell.programPath());

    // A window of the class marks a running instance, hidden or not.
    if (const WindowHandle running = windows.findWindow(kWindowClassName); running != 0) {
        windows.setForegroundWindow(running);
        return 1;
    }

    optOutOfTimerThrottling();

    appState.appIcon = shell.loadIcon(instance, kAppIconResource, 32);
    appState.playIcon = shell.loadIcon(instance, kPlayIconResource, 16);
    appState.pauseIcon = shell.loadIcon(instance, kPauseIconResource, 16);

    if (!windows.registerWindowClass(WindowClassInfo{std::u16string(kWindowClassName), instance, appState.appIcon, appState.playIcon})) {
        destroyIcons();
        return 1;
    }
    // The creation handler runs inside: desktop, configuration and the first theme come
    // before the menu and the icon.
    appState.mainWindow = windows.createWindow(kWindowClassName, kProductName, instance);
    if (appState.mainWindow == 0) {
        destroyIcons();
        return 1;
    }

    startWatchingDesktop(appState.mainWindow);
    // A theme list that cannot be built in full (memory) leaves the menu as far as it got; the
    // program still shows its icon and runs.
    try {
        buildTrayMenu();
    } catch (...) {
    }
    addTrayIcon();

    const int exitCode = windows.runMessageLoop();

    removeTrayIcon();
    // Each picture before the target it was made on, the targets before the window they draw
    // into: nothing of the device is left to the tear-down of static records, whose order is
    // not this program's to choose and which may come after the device or the window is gone.
    clearTheme(theme);
    if (platform().graphics != nullptr) releaseDesktopTargets();
    stopWatchingDesktop(appState.mainWindow);
    releaseTimerPeriod();
    destroyIcons();
    return exitCode;
}

}  // namespace velmora
