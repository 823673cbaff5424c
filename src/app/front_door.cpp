#include "app/front_door.h"

#include <algorithm>
#include <initializer_list>

#include "app/auto_pause.h"
#include "app/desktop_recovery.h"
#include "app/frame_pacing.h"
#include "app/frame_timer.h"
#include "desktop/desktop_attach.h"
#include "desktop/frame.h"
#include "ground/random.h"
#include "ground/records.h"
#include "ports/platform.h"
#include "app/config_section.h"
#include "resources/config.h"
#include "resources/theme_source.h"
#include "scene/drawing.h"

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

// One step of a verb. Whatever it throws (memory, a system error) ends that step only: the
// platform's event dispatch cannot take an exception, and the sound outcome of each step is what
// it leaves when it stops.
template <typename Step>
void shielded(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

WindowHandle playerWindow() { return appState.mainWindow; }

void runStartTheme(std::optional<std::size_t> index) {
    {
        SceneBusy busy;
        startTheme(playerWindow(), index);
    }
    updateTimerPeriod();
}

// Every read of the config section may switch the automatic pause's keys.
void readConfig() {
    readConfigSection();
    followAutoPauseKeys(playerWindow());
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

void produceFrame() {
    if (!producingFrames(appState) || appState.sceneBusy) return;
    {
        SceneBusy busy;
        renderFrame();
    }
    afterFrame(playerWindow());
}

}  // namespace

void windowCreated(WindowHandle window) noexcept {
    appState.mainWindow = window;
    shielded([] { seedRandom(platform().shell->tickCount()); });
    shielded([] { attachDesktop(); });
    shielded([] { readConfig(); });
    shielded([] {
        if (!appState.currentTheme.empty()) runStartTheme(std::nullopt);
    });
}

void preferTheme(std::u16string name) { appState.currentTheme = std::move(name); }

bool chooseTheme(std::size_t index) noexcept {
    // Only the list's own places are picked; any other leaves the running theme alone.
    if (index >= appState.themeList.size()) return false;
    shielded([] { readConfig(); });
    shielded([&] { runStartTheme(index); });
    return true;
}

bool chooseTheme(std::u16string_view name) noexcept {
    const ThemeList& themes = appState.themeList;
    const auto found = std::find(themes.begin(), themes.end(), name);
    if (found == themes.end()) return false;
    return chooseTheme(static_cast<std::size_t>(found - themes.begin()));
}

std::optional<std::size_t> themeIndexAfterStep(const std::vector<std::u16string>& themes, std::u16string_view current, int step) {
    if (themes.empty()) return std::nullopt;
    const auto count = static_cast<std::int64_t>(themes.size());
    const auto found = std::find(themes.begin(), themes.end(), current);
    if (found == themes.end()) return static_cast<std::size_t>(step >= 0 ? 0 : count - 1);
    return static_cast<std::size_t>(((found - themes.begin()) + step % count + count) % count);
}

bool stepTheme(int step) noexcept {
    const std::optional<std::size_t> index = themeIndexAfterStep(appState.themeList, appState.currentTheme, step);
    return index && chooseTheme(*index);
}

void reloadTheme() noexcept {
    shielded([] { readConfig(); });
    shielded([] { runStartTheme(std::nullopt); });
}

void togglePause() noexcept {
    shielded([] {
        appState.playing = !appState.playing;
        appState.trayIcon.flags = kTrayIconFlagIcon;
        appState.trayIcon.icon = appState.playing ? appState.playIcon : appState.pauseIcon;
        platform().shell->notifyIcon(NotifyIconAction::Modify, appState.trayIcon);
        appState.lastTick = platform().shell->tickCount();
        updateTimerPeriod();
    });
}

void timerElapsed(std::uintptr_t id) noexcept {
    shielded([id] {
        if (onDesktopTimer(playerWindow(), id)) return;
        if (id == kAutoPauseTimerId && appState.autoPauseTimer) {
            checkAutoPause();
            return;
        }
        // Every other tick is a frame tick, whatever its id.
        produceFrame();
    });
}

void drawCurrentFrame() noexcept {
    shielded([] {
        if (appState.sceneBusy || !desktopHost.frameTarget || desktopWatch.sessionLocked) return;
        SceneBusy busy;
        drawFrame(shownScenes());
    });
}

void desktopChanged(DesktopChange change) noexcept {
    shielded([change] {
        const WindowHandle window = playerWindow();
        switch (change) {
            case DesktopChange::DisplaySettings:
                onDisplayChange(window);
                break;
            case DesktopChange::Resumed:
                checkDesktop(window);
                break;
            case DesktopChange::SessionLocked:
                desktopWatch.sessionLocked = true;
                break;
            case DesktopChange::SessionUnlocked:
                desktopWatch.sessionLocked = false;
                checkDesktop(window);
                break;
            case DesktopChange::ShellRestarted:
                onShellRestarted(window);
                break;
            case DesktopChange::PowerSource:
                checkAutoPause();
                break;
        }
    });
}

void openMenu() noexcept {
    shielded([] {
        const WindowHandle window = playerWindow();
        const PointI pointer = platform().windows->getCursorPos();
        platform().windows->setForegroundWindow(window);
        platform().shell->trackPopupMenu(appState.trayMenu, pointer.x, pointer.y, window);
    });
}

void openWebPage(std::u16string_view path) noexcept {
    shielded([path] { openShellTarget({u"https://", path}); });
}

void openProgramFile(std::u16string_view fileName) noexcept {
    shielded([fileName] {
        const char16_t separator[] = {kPathSeparator, u'\0'};
        openShellTarget({appState.programFolder, separator, fileName});
    });
}

void quit(int exitCode) noexcept {
    shielded([exitCode] { platform().windows->postQuitMessage(exitCode); });
}

}  // namespace velmora
