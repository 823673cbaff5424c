#include "platform/linux/wayland/wayland_window_system.h"

#include <poll.h>
#include <time.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "app/frame_timer.h"
#include "app/front_door.h"
#include "app/shell_texts.h"
#include "ground/text_decoding.h"
#include "ports/window_system.h"

namespace velmora::wayland {

namespace {

// The one window's handle; other programs' toplevels have handles from 0x1000 on.
constexpr WindowHandle kFrameWindow = 1;
// What findWindow gives for the other player's window, which this process cannot name.
constexpr WindowHandle kOtherPlayer = 2;

}  // namespace

WaylandWindowSystem::WaylandWindowSystem(wl_display* display, WaylandDesktop& desktop, std::string lockPath)
    : display_(display), desktop_(desktop), lockPath_(std::move(lockPath)) {}

WindowHandle WaylandWindowSystem::findWindow(std::u16string_view className) {
    if (className != kWindowClassName) return 0;
    // The lock is taken here and held for the whole run: two players started at once cannot
    // both pass.
    if (lockPath_.empty()) return 0;
    switch (lock_.take(lockPath_)) {
        case posix::InstanceLock::Result::Taken:
            return 0;
        case posix::InstanceLock::Result::HeldByAnother:
            otherDesktop_ = true;
            return kOtherPlayer;
        case posix::InstanceLock::Result::Failed:
            // Nothing to compare with: this one plays, and says why it could not check.
            std::fprintf(stderr, "velmora-tool: %s; a second desktop player would not be noticed\n", lock_.failure().c_str());
            return 0;
    }
    return 0;
}

RectI WaylandWindowSystem::getWindowRect(WindowHandle window) {
    if (window != 0 && window == window_) return desktop_.bounds();
    // Of another program's window only a full-screen one's place is known: its output.
    const std::optional<ToplevelState> t = desktop_.toplevel(window);
    if (t && t->fullscreen) return t->outputRect;
    return RectI{};
}

std::vector<MonitorArea> WaylandWindowSystem::enumDisplayMonitors() {
    std::vector<MonitorArea> monitors;
    for (const PlacedOutput& o : desktop_.outputs()) {
        // A mirrored output lies where another does, and shows that one's scene.
        if (std::any_of(monitors.begin(), monitors.end(), [&](const MonitorArea& m) {
                return m.rect.left == o.rect.left && m.rect.top == o.rect.top && m.rect.right == o.rect.right &&
                       m.rect.bottom == o.rect.bottom;
            }))
            continue;
        monitors.push_back(MonitorArea{o.rect, static_cast<std::uint32_t>(96 * o.scale)});
    }
    return monitors;
}

void WaylandWindowSystem::messageBox(std::u16string_view text, std::u16string_view caption) {
    std::fprintf(stderr, "velmora-tool: %s %s\n", encodeUtf8(caption).c_str(), encodeUtf8(text).c_str());
}

WindowHandle WaylandWindowSystem::createWindow(std::u16string_view, std::u16string_view, InstanceHandle) {
    if (!desktop_.showSurfaces()) {
        failure_ = "the Wayland compositor closed the connection";
        schedule_.markFailed();
        return 0;
    }
    // From now on a change of the outputs is a display change; the core measures them again
    // once the changes settle.
    desktop_.onOutputsChanged = [this] {
        if (window_ != 0) desktopChanged(DesktopChange::DisplaySettings);
    };
    window_ = kFrameWindow;
    windowCreated(window_);
    return window_;
}

void WaylandWindowSystem::postQuitMessage(int exitCode) { schedule_.quit(exitCode); }

void WaylandWindowSystem::setTimer(WindowHandle, std::uintptr_t id, std::uint32_t intervalMs) { schedule_.setTimer(id, intervalMs); }

void WaylandWindowSystem::killTimer(WindowHandle, std::uintptr_t id) { schedule_.killTimer(id); }

WindowHandle WaylandWindowSystem::getForegroundWindow() {
    if (!desktop_.knowsToplevels()) {
        // Asked only while pause_fullscreen is on.
        if (!toldNoToplevels_) {
            std::fputs("velmora-tool: pause_fullscreen cannot work here: the Wayland compositor does not tell other programs' "
                       "windows (zwlr_foreign_toplevel_manager_v1)\n",
                       stderr);
        }
        toldNoToplevels_ = true;
        return 0;
    }
    return desktop_.activatedToplevel();
}

bool WaylandWindowSystem::isWindowVisible(WindowHandle window) {
    const std::optional<ToplevelState> t = desktop_.toplevel(window);
    return t && !t->minimized;
}

bool WaylandWindowSystem::isIconic(WindowHandle window) {
    const std::optional<ToplevelState> t = desktop_.toplevel(window);
    return t && t->minimized;
}

bool WaylandWindowSystem::isZoomed(WindowHandle window) {
    const std::optional<ToplevelState> t = desktop_.toplevel(window);
    return t && t->maximized;
}

std::u16string WaylandWindowSystem::getClassName(WindowHandle window) {
    const std::optional<ToplevelState> t = desktop_.toplevel(window);
    return t ? decodeUtf8(reinterpret_cast<const std::uint8_t*>(t->appId.data()), t->appId.size()) : std::u16string{};
}

RectI WaylandWindowSystem::monitorRectOfWindow(WindowHandle window) {
    if (window != 0 && window == window_) {
        const std::vector<PlacedOutput> outputs = desktop_.outputs();
        return outputs.empty() ? RectI{} : outputs.front().rect;
    }
    const std::optional<ToplevelState> t = desktop_.toplevel(window);
    return t ? t->outputRect : RectI{};
}

void WaylandWindowSystem::connectionLost() {
    const int error = wl_display_get_error(display_);
    std::fprintf(stderr, "velmora-tool: the Wayland compositor closed the connection (%s)\n",
                 error != 0 ? std::strerror(error) : "no error given");
    fail(2);
}

int WaylandWindowSystem::runMessageLoop() {
    if (onLoopStart && !schedule_.failed() && !schedule_.quitting()) onLoopStart();
    if (schedule_.failed() || schedule_.quitting()) return schedule_.exitCode();
    // The frame timer also waits for an output that can take the frame; its frame callback wakes
    // it.
    const auto held = [this](std::uintptr_t id) { return frameTimerWaits(id); };
    const auto tick = [this](std::uintptr_t id) {
        timerElapsed(id);
        if (afterTimer) afterTimer();
    };
    const int connection = wl_display_get_fd(display_);
    while (!schedule_.quitting()) {
        if (wl_display_dispatch_pending(display_) < 0) {
            connectionLost();
            break;
        }
        schedule_.runDue(held, tick);
        if (schedule_.quitting()) break;

        bool lost = false;
        while (wl_display_prepare_read(display_) != 0) {
            if (wl_display_dispatch_pending(display_) < 0) {
                lost = true;
                break;
            }
        }
        if (lost) {
            connectionLost();
            break;
        }
        // What the work asked of the compositor goes out before the wait; a full socket is
        // written once it takes more.
        short connectionEvents = POLLIN;
        if (wl_display_flush(display_) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(display_);
                connectionLost();
                break;
            }
            connectionEvents |= POLLOUT;
        }
        std::vector<pollfd> fds;
        fds.push_back(pollfd{connection, connectionEvents, 0});
        schedule_.appendDescriptors(fds);
        const int ready = poll(fds.data(), fds.size(), schedule_.pollTimeout(held));
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            if (wl_display_read_events(display_) < 0) {
                connectionLost();
                break;
            }
        } else {
            wl_display_cancel_read(display_);
        }
        if (ready <= 0) continue;
        schedule_.dispatchDescriptors(fds, 1);
    }
    return schedule_.exitCode();
}

bool WaylandWindowSystem::frameTimerWaits(std::uintptr_t id) const { return id == kFrameTimerId && !desktop_.frameWanted(); }

}  // namespace velmora::wayland
