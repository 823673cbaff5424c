#include "platform/linux/wayland/wayland_player.h"

#include <signal.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "app/front_door.h"
#include "app/startup.h"
#include "ground/monitors.h"
#include "ground/records.h"
#include "platform/linux/device/cairo_graphics_device.h"
#include "platform/linux/player/player_support.h"
#include "platform/linux/posix/child_report.h"
#include "platform/linux/posix/file_watch.h"
#include "platform/linux/posix/instance_lock.h"
#include "platform/linux/posix/player_shell.h"
#include "platform/linux/posix/posix_shell.h"
#include "platform/linux/posix/signal_channel.h"
#include "platform/linux/wayland/wayland_desktop.h"
#include "platform/linux/wayland/wayland_window_system.h"
#include "ports/platform.h"
#include "resources/theme_pictures.h"
#include "resources/theme_source.h"

namespace velmora::wayland {

namespace {

constexpr int kWatchSlot = 2;
// Editors save in bursts (write, rename, change attributes); one reload once they are done.
constexpr std::uint64_t kWatchQuietMs = 200;
constexpr std::uint64_t kWatchMaxWaitMs = 1500;

// The program folder is the one the user named; the clock and the directory search are the
// system's.

class Player {
public:
    Player(wl_display* display, const PlayerOptions& options, std::string lockPath)
        : options_(options),
          shell_(options.programFolder, true),
          desktop_(display),
          device_(&desktop_),
          windows_(display, desktop_, std::move(lockPath)),
          quiet_(kWatchQuietMs, kWatchMaxWaitMs) {
        if (options.watch) watch_.emplace();
    }

    bool connect(std::string& why) { return desktop_.connect(why); }

    int run() {
        installPlatform(Platform{&windows_, &shell_, &device_});
        if (!options_.theme.empty()) preferTheme(options_.theme);
        if (options_.frameRate > 0) windows_.overrideTimerInterval(static_cast<std::uint32_t>(1000 / options_.frameRate));
        windows_.onLoopStart = [this] { start(); };
        windows_.afterTimer = [this] { afterTimer(); };
        windows_.addDescriptor(signals_.descriptor(), [this] {
            for (int signal : signals_.take()) signalled(signal);
        });
        if (watch_ && watch_->ok()) windows_.addDescriptor(watch_->descriptor(), [this] { filesChanged(); });
        if (watch_ && !watch_->ok()) std::fputs("velmora-tool: cannot watch the theme's files (no inotify instance left)\n", stderr);

        const int code = runVelmora(0);
        installPlatform(Platform{});
        if (windows_.otherDesktopFound()) {
            std::fputs("velmora-tool: another velmora-tool play --desktop already plays on this display\n", stderr);
            return 1;
        }
        if (!windows_.failure().empty()) std::fprintf(stderr, "velmora-tool: %s\n", windows_.failure().c_str());
        if (windows_.failed()) return 2;
        return code;
    }

private:
    void start() {
        if (!desktopHost.windowTarget || !desktopHost.frameTarget) {
            const std::string why = desktop_.failure().empty() ? "cannot draw on the outputs" : desktop_.failure();
            std::fprintf(stderr, "velmora-tool: %s\n", why.c_str());
            windows_.fail(2);
            return;
        }
        if (appState.currentTheme.empty()) {
            std::fputs("velmora-tool: no theme to play: give --theme or a default_theme in config.txt\n", stderr);
        }
        buffersSeen_ = desktop_.buffersMade();
        report();
        watchFiles();
    }

    void signalled(int signal) {
        switch (signal) {
            case SIGUSR1:
                togglePause();
                break;
            case SIGHUP:
                reload();
                break;
            default:  // SIGINT, SIGTERM
                quit(0);
                break;
        }
    }

    // While paused the outputs show the reloaded scene at once.
    void reload() {
        reloadTheme();
        if (!producingFrames(appState)) drawCurrentFrame();
        if (watch_) report();
        watchFiles();
    }

    void afterTimer() {
        // Outputs laid out anew while no frames come (paused): they show the scene as it stands.
        if (desktop_.buffersMade() != buffersSeen_) {
            buffersSeen_ = desktop_.buffersMade();
            if (!producingFrames(appState) && desktopHost.frameTarget) drawCurrentFrame();
        }
        tellScenePauses();
    }

    // Each output's scene held by the automatic pause, or playing again, is said once.
    void tellScenePauses() {
        std::vector<std::pair<std::string, bool>> states;
        const RectI& origin = desktopHost.targetRect;
        const std::vector<PlacedOutput> outputs = desktop_.outputs();
        for (const auto& stored : monitorScenes) {
            const Monitor& m = stored->monitor;
            for (const PlacedOutput& o : outputs) {
                if (std::int64_t{m.left} + origin.left == o.rect.left && std::int64_t{m.top} + origin.top == o.rect.top) {
                    states.emplace_back(o.name, stored->paused);
                    break;
                }
            }
        }
        for (const auto& [name, paused] : states) {
            bool before = false;
            for (const auto& [oldName, oldPaused] : scenePauses_) {
                if (oldName == name) before = oldPaused;
            }
            if (paused != before) {
                std::fprintf(stderr, "velmora-tool: %s %s\n", name.c_str(),
                             paused ? "paused: a full-screen window covers it" : "plays again");
            }
        }
        scenePauses_ = std::move(states);
    }

    void filesChanged() {
        if (!watch_->readChanges()) return;
        quiet_.note(monotonicMs());
        windows_.callAt(kWatchSlot, quiet_.due(), [this] {
            quiet_.clear();
            watch_->readChanges();
            if (watch_->writing()) return;
            std::fputs("velmora-tool: the theme's files changed; reloading\n", stderr);
            reload();
        });
    }

    void watchFiles() {
        if (!watch_) return;
        std::vector<std::u16string> members;
        for (const ThemePicture& picture : themePictures(theme)) members.push_back(picture.member);
        watch_->watch(posix::themeFiles(appState.programFolder, appState.currentTheme, members));
    }

    void report() { posix::reportInChild(options_.report, appState.currentTheme); }

    const PlayerOptions& options_;
    posix::PlayerShell shell_;
    WaylandDesktop desktop_;
    CairoGraphicsDevice device_;
    WaylandWindowSystem windows_;
    posix::SignalChannel signals_;
    std::optional<posix::FileWatch> watch_;
    posix::QuietPeriod quiet_;
    std::uint64_t buffersSeen_ = 0;
    std::vector<std::pair<std::string, bool>> scenePauses_;
};

}  // namespace

bool waylandSession() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name != nullptr && *name != '\0';
}

int runWaylandPlayer(const PlayerOptions& options) {
    signal(SIGPIPE, SIG_IGN);
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "velmora-tool: cannot connect to the Wayland display %s (%s)\n", std::getenv("WAYLAND_DISPLAY"),
                     std::strerror(errno));
        return 2;
    }
    int code = 2;
    {
        Player player(display, options, posix::desktopLockPath(std::getenv("XDG_RUNTIME_DIR"), std::getenv("WAYLAND_DISPLAY")));
        std::string why;
        if (player.connect(why)) {
            code = player.run();
        } else {
            std::fprintf(stderr, "velmora-tool: %s\n", why.c_str());
        }
    }
    wl_display_disconnect(display);
    return code;
}

}  // namespace velmora::wayland
