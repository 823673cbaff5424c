#include "app/window_procedure.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "ground/records.h"
#include "app/auto_pause.h"
#include "app/desktop_recovery.h"
#include "app/frame_pacing.h"
#include "app/frame_timer.h"
#include "app/menu.h"
#include "app/shell_texts.h"
#include "desktop/desktop_attach.h"
#include "ports/platform.h"
#include "resources/config.h"
#include "resources/theme_source.h"
#include "ground/random.h"

namespace velmora {

namespace {

constexpr std::uint32_t kTrayIconFlagIcon = 2;

// Marks a frame being drawn or a theme being (re)started, for as long as it lives.
class SceneBusy {
public:
    SceneBusy() { appState.sceneBusy = true; }
    ~SceneBusy() { appState.sceneBusy = false; }
    SceneBusy(const SceneBusy&) = delete;
    SceneBusy& operator=(const SceneBusy&) = delete;
};

// One step of handling a message. Whatever it throws (memory, a system error) ends that step
// only: its caller, the system's message dispatch, cannot take an exception, and the sound
// outcome of each step is what it leaves when it stops (a theme load leaves an empty theme, a
// failed read of config.txt the previous settings).
template <typename Step>
void shielded(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

void runStartTheme(WindowHandle window, std::optional<std::uint32_t> selection) {
    {
        SceneBusy busy;
        startTheme(window, selection);
    }
    updateTimerPeriod();
}

// Joins the parts into shellTarget, cut to fit with its terminator, and opens it.
void openShellTarget(std::initializer_list<std::u16string_view> parts) {
    std::size_t length = 0;
    const std::size_t capacity = appState.shellTarget.size() - 1;
    for (std::u16string_view part : parts) {
        const std::size_t n = std::min(part.size(), capacity - length);
        std::copy_n(part.begin(), n, appState.shellTarget.begin() + static_cast<std::ptrdiff_t>(length));
        length += n;
    }
    appState.shellTarget[length] = u'\0';
    platform().shell->shellOpen(std::u16string(appState.shellTarget.data(), length));
}

void openProgramFile(std::u16string_view fileName) {
    const char16_t separator[] = {kPathSeparator, u'\0'};
    openShellTarget({appState.programFolder, separator, fileName});
}

// Every read of the config section may switch the automatic pause's keys.
void readConfig(WindowHandle window) {
    readConfigSection();
    followAutoPauseKeys(window);
}

void onCreate(WindowHandle window) {
    shielded([] { seedRandom(platform().shell->tickCount()); });
    shielded([] { attachDesktop(); });
    shielded([&] { readConfig(window); });
    shielded([&] {
        if (!appState.currentTheme.empty()) runStartTheme(window, std::nullopt);
    });
}

std::intptr_t onCommand(WindowHandle window, std::uint32_t id) {
    if (id >= kFirstThemeCommand && id <= kLastThemeCommand) {
        // Only the menu's own items are picked; an id without a theme (sent by another
        // program) leaves the running theme alone.
        if (id - kFirstThemeCommand >= appState.themeList.size()) return 0;
        shielded([&] { readConfig(window); });
        shielded([&] { runStartTheme(window, id); });
        return 1;
    }
    switch (id) {
        case kCommandVisitSite:
            openShellTarget({u"https://", makerSite});
            return 1;
        case kCommandExit:
            platform().windows->postQuitMessage(0);
            return 0;
        case kCommandReload:
            shielded([&] { readConfig(window); });
            shielded([&] { runStartTheme(window, std::nullopt); });
            return 1;
        case kCommandEditConfig:
            openProgramFile(u"config.txt");
            return 1;
        case kCommandViewReadme:
            openProgramFile(u"readme.txt");
            return 1;
        case kCommandProductPage:
            openShellTarget({u"https://", makerSite, u"/VMA"});
            return 1;
        default:
            return 0;
    }
}

void togglePause() {
    appState.playing = !appState.playing;
    appState.trayIcon.flags = kTrayIconFlagIcon;
    appState.trayIcon.icon = appState.playing ? appState.playIcon : appState.pauseIcon;
    platform().shell->notifyIcon(NotifyIconAction::Modify, appState.trayIcon);
    appState.lastTick = platform().shell->tickCount();
    updateTimerPeriod();
}

void openTrayMenu(WindowHandle window) {
    const PointI pointer = platform().windows->getCursorPos();
    platform().windows->setForegroundWindow(window);
    platform().shell->trackPopupMenu(appState.trayMenu, pointer.x, pointer.y, window);
}

void onTimer(WindowHandle window, std::uintptr_t id) {
    if (onDesktopTimer(window, id)) return;
    if (id == kAutoPauseTimerId && appState.autoPauseTimer) {
        checkAutoPause();
        return;
    }
    if (!producingFrames(appState) || appState.sceneBusy) return;
    {
        SceneBusy busy;
        renderFrame();
    }
    afterFrame(window);
}

// After sleep the desktop is checked; a change of the power source may start or end a pause on
// battery at once, the broadcast itself being left to the default handling.
std::intptr_t onPowerBroadcast(WindowHandle window, std::uintptr_t event, std::intptr_t data) {
    switch (event) {
        case kPbtApmResumeAutomatic:
            checkDesktop(window);
            return 1;
        case kPbtApmPowerStatusChange:
            checkAutoPause();
            break;
        default:
            break;
    }
    return platform().windows->defWindowProc(window, kWmPowerBroadcast, event, data);
}

std::intptr_t handleMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
        case kWmCreate:
            onCreate(window);
            return 0;
        case kWmDestroy:
        case kWmClose:
            platform().windows->postQuitMessage(0);
            return 0;
        case kWmKeyDown:
            return 0;
        case kWmCommand:
            return onCommand(window, static_cast<std::uint32_t>(wParam & 0xFFFF));
        case kWmTimer:
            onTimer(window, wParam);
            return 0;
        case kTrayCallbackMessage:
            if (lParam == kWmLButtonDown) {
                togglePause();
            } else if (lParam == kWmRButtonDown) {
                openTrayMenu(window);
            }
            return 0;
        case kWmDisplayChange:
            onDisplayChange(window);
            return 0;
        case kWmPowerBroadcast:
            return onPowerBroadcast(window, wParam, lParam);
        case kWmWtsSessionChange:
            onSessionChange(window, wParam);
            return 0;
        default:
            if (isTaskbarCreated(message)) {
                onTaskbarCreated(window);
                return 0;
            }
            return platform().windows->defWindowProc(window, message, wParam, lParam);
    }
}

}  // namespace

std::intptr_t windowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    try {
        return handleMessage(window, message, wParam, lParam);
    } catch (...) {
        // The last boundary: a step outside the shielded ones (opening a file for the user, the
        // pause icon, the menu, a frame) failed. The message counts as handled and the program
        // goes on; the next timer tick draws the next frame.
        return 0;
    }
}

}  // namespace velmora
