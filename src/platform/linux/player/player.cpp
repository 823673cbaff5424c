// The live player on X11: the Windows program's own start-up and frame timer (runVelmora) over an
// X11 window system, with the keys, signals and file changes of a Linux session turned into the
// front door's verbs.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/front_door.h"
#include "app/startup.h"
#include "platform/linux/device/cairo_graphics_device.h"
#include "desktop/desktop_attach.h"
#include "platform/linux/posix/child_report.h"
#include "platform/linux/posix/file_watch.h"
#include "ground/records.h"
#include "platform/host.h"
#include "platform/player.h"
#include "platform/linux/player/player_support.h"
#include "ports/platform.h"
#include "platform/linux/posix/player_shell.h"
#include "platform/linux/posix/posix_shell.h"
#include "platform/linux/posix/signal_channel.h"
#ifdef VELMORA_WAYLAND
#include "platform/linux/wayland/wayland_player.h"
#endif
#include "resources/theme_pictures.h"
#include "resources/theme_source.h"
#include "platform/linux/player/x11_errors.h"
#include "platform/linux/player/x11_presenter.h"
#include "platform/linux/player/x11_window_system.h"

namespace velmora {

namespace {

// What the player plans for later, one of each at a time.
enum Slot : int { kWatchSlot = 2, kTitleSlot = 3, kIconProgramSlot = 4 };

// Editors save in bursts (write, rename, change attributes); one reload once they are done.
constexpr std::uint64_t kWatchQuietMs = 200;
constexpr std::uint64_t kWatchMaxWaitMs = 1500;
constexpr std::uint64_t kTitleIntervalMs = 1000;
// How often the desktop looks for a desktop-icon program that started after it.
constexpr std::uint64_t kIconProgramIntervalMs = 1000;

// The shell of the player: the program folder is the one the user named (the core derives it
// from the program's path), the clock and the directory search are the system's.

class Player {
public:
    Player(Display* display, const PlayerOptions& options, bool sharedMemory)
        : options_(options),
          shell_(options.programFolder, options.desktop),
          presenter_(display, sharedMemory),
          device_(&presenter_),
          windows_(display, x11::WindowShape{options.desktop, options.width, options.height}),
          quiet_(kWatchQuietMs, kWatchMaxWaitMs) {
        if (options.watch) watch_.emplace();
    }

    int run() {
        installPlatform(Platform{&windows_, &shell_, &device_});
        if (!options_.theme.empty()) preferTheme(options_.theme);
        if (options_.frameRate > 0) windows_.overrideTimerInterval(static_cast<std::uint32_t>(1000 / options_.frameRate));
        windows_.onLoopStart = [this] { start(); };
        windows_.onKey = [this](unsigned long key) { keyPressed(key); };
        windows_.onExpose = [this] { showLastFrame(); };
        windows_.onOtherEvent = [this](const XEvent& event) { bufferReturned(event); };
        windows_.addDescriptor(signals_.descriptor(), [this] {
            for (int signal : signals_.take()) signalled(signal);
        });
        if (watch_ && watch_->ok()) windows_.addDescriptor(watch_->descriptor(), [this] { filesChanged(); });
        if (watch_ && !watch_->ok()) std::fputs("velmora-tool: cannot watch the theme's files (no inotify instance left)\n", stderr);

        const int code = runVelmora(0);
        installPlatform(Platform{});
        if (std::getenv("VELMORA_FRAME_STATS") != nullptr) x11::printFrameStats(presenter_, device_.skippedFrames());
        if (!windows_.iconProgramFound().empty()) {
            iconProgramMessage(windows_.iconProgramFound());
            return 1;
        }
        if (windows_.otherDesktopFound()) {
            std::fputs("velmora-tool: another velmora-tool play --desktop already plays on this display\n", stderr);
            return 1;
        }
        if (!windows_.failure().empty()) std::fprintf(stderr, "velmora-tool: %s\n", windows_.failure().c_str());
        if (windows_.failed()) return code == 1 ? 1 : 2;
        return code;
    }

private:
    // The window, the device and the first theme are there; the loop is about to start.
    void start() {
        if (!desktopHost.windowTarget || !desktopHost.frameTarget) {
            failDrawing();
            return;
        }
        if (appState.currentTheme.empty()) {
            std::fputs("velmora-tool: no theme to play: give --theme or a default_theme in config.txt\n", stderr);
        }
        report();
        watchFiles();
        updateTitle();
        if (options_.desktop) lookForIconProgram();
    }

    // A desktop-icon program that takes the desktop while the wallpaper plays would be hidden by
    // it or hide it: the wallpaper gives way, says why, and ends with 1.
    void lookForIconProgram() {
        const std::string found = windows_.desktopIconProgram();
        if (!found.empty()) {
            iconProgramMessage(found);
            windows_.fail(1);
            return;
        }
        windows_.callAt(kIconProgramSlot, x11::monotonicMs() + kIconProgramIntervalMs, [this] { lookForIconProgram(); });
    }

    static void iconProgramMessage(const std::string& program) {
        std::fprintf(stderr,
                     "velmora-tool: a desktop-icon program owns the desktop: %s. Velmora does not draw over its icons or "
                     "hidden under them; end it or turn its desktop off (pcmanfm --desktop-off, or the file manager's "
                     "setting to draw the desktop) and start velmora-tool play --desktop again\n",
                     program.c_str());
    }

    void failDrawing() {
        const std::string why = presenter_.failure().empty() ? "cannot draw on the window" : presenter_.failure();
        std::fprintf(stderr, "velmora-tool: %s\n", why.c_str());
        windows_.fail(2);
    }

    void keyPressed(unsigned long key) {
        switch (key) {
            case XK_space:
                togglePause();
                break;
            case XK_r:
                reload();
                break;
            case XK_n:
            case XK_p:
                if (stepTheme(key == XK_n ? 1 : -1)) themeChanged();
                break;
            case XK_q:
            case XK_Escape:
                quit(0);
                break;
            default:
                break;
        }
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

    void togglePause() {
        velmora::togglePause();
        // The rate after resuming is measured from the resuming on.
        meter_ = posix::FrameRateMeter{};
        updateTitle();
    }

    // config.txt and the theme read anew. While paused the window shows the reloaded scene at
    // once, so that an edit is seen without resuming.
    void reload() {
        reloadTheme();
        if (!producingFrames(appState)) drawCurrentFrame();
        themeChanged();
    }

    void themeChanged() {
        if (watch_) report();
        watchFiles();
        updateTitle();
    }

    void filesChanged() {
        if (!watch_->readChanges()) return;
        quiet_.note(x11::monotonicMs());
        windows_.callAt(kWatchSlot, quiet_.due(), [this] {
            quiet_.clear();
            // Drained first, so that the reload's own reading of the files starts no new burst.
            watch_->readChanges();
            // A file written anew meanwhile: its finished write schedules the reload.
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

    // A frame skipped while both buffers were on the server is followed by the next frame; while
    // none follows (paused), the scene as it stands is drawn once a buffer is back.
    void bufferReturned(const XEvent& event) {
        if (presenter_.takeEvent(event) && device_.owesFrame() && !producingFrames(appState)) drawCurrentFrame();
    }

    void showLastFrame() {
        if (desktopHost.frameBitmap && desktopHost.windowTarget) device_.presentFrameBitmap();
    }

    void updateTitle() {
        const std::uint64_t now = x11::monotonicMs();
        const std::optional<int> rate = meter_.sample(now, presenter_.presentedFrames());
        std::string title = posix::playerTitle(appState.currentTheme, appState.playing, rate);
        if (title != title_) {
            windows_.setTitle(title);
            title_ = std::move(title);
        }
        windows_.callAt(kTitleSlot, now + kTitleIntervalMs, [this] { updateTitle(); });
    }

    void report() { posix::reportInChild(options_.report, appState.currentTheme); }

    const PlayerOptions& options_;
    posix::PlayerShell shell_;
    x11::X11Presenter presenter_;
    CairoGraphicsDevice device_;
    x11::X11WindowSystem windows_;
    posix::SignalChannel signals_;
    std::optional<posix::FileWatch> watch_;
    posix::QuietPeriod quiet_;
    posix::FrameRateMeter meter_;
    std::string title_;
};

class DisplayConnection {
public:
    explicit DisplayConnection(Display* display) : display_(display) {}
    ~DisplayConnection() { XCloseDisplay(display_); }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;

private:
    Display* display_;
};

}  // namespace

int runPlayer(const PlayerOptions& options) {
#ifdef VELMORA_WAYLAND
    // The desktop of a Wayland session is the compositor's; a window of its own goes through
    // XWayland like any X11 program.
    if (options.desktop && wayland::waylandSession()) return wayland::runWaylandPlayer(options);
#endif
    // A server gone away must show as Xlib's lost connection, not end the program silently.
    signal(SIGPIPE, SIG_IGN);
    x11::installErrorHandlers();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "velmora-tool: cannot open the X display %s\n",
                     name != nullptr && *name != '\0' ? name : "(DISPLAY is not set)");
        return 2;
    }
    DisplayConnection connection(display);
    std::string why;
    if (!x11::visualFitsFrames(display, why)) {
        std::fprintf(stderr, "velmora-tool: %s\n", why.c_str());
        return 2;
    }
    // Where the server lacks MIT-SHM, frames go by XPutImage.
    const bool sharedMemory = XShmQueryExtension(display) == True;
    Player player(display, options, sharedMemory);
    return player.run();
}

}  // namespace velmora
