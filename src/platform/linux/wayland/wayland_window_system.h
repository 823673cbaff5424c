#pragma once
// The window system of the desktop player on Wayland. The program's one window is the frame
// spanning every output (wayland_desktop.h): its rectangle is the outputs' bounds, its monitors
// are the outputs (each at 96 DPI times its scale), and an output that comes, goes or changes is
// a display change. The frame timer ticks only while some output can take a frame (the
// compositor's frame callbacks pace it; with every output hidden nothing is drawn). Other
// programs' toplevels, where the compositor tells them, answer the automatic pause's questions: the
// activated one is the foreground window, covering its output when full-screen or maximised.
// The message loop waits on the compositor's connection, the timers and the player's descriptors.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/posix/event_schedule.h"
#include "platform/linux/posix/instance_lock.h"
#include "platform/linux/wayland/wayland_desktop.h"
#include "ports/null_platform.h"

struct wl_display;

namespace velmora::wayland {

using posix::monotonicMs;

class WaylandWindowSystem final : public NullWindowSystem {
public:
    // lockPath: the file whose lock makes this the one desktop player of the display.
    WaylandWindowSystem(wl_display* display, WaylandDesktop& desktop, std::string lockPath);

    WindowHandle findWindow(std::u16string_view className) override;
    RectI getWindowRect(WindowHandle window) override;
    void messageBox(std::u16string_view text, std::u16string_view caption) override;
    bool registerWindowClass(const WindowClassInfo&) override { return true; }
    WindowHandle createWindow(std::u16string_view className, std::u16string_view title, InstanceHandle instance) override;
    int runMessageLoop() override;
    void postQuitMessage(int exitCode) override;
    void setTimer(WindowHandle window, std::uintptr_t id, std::uint32_t intervalMs) override;
    void killTimer(WindowHandle window, std::uintptr_t id) override;
    WindowHandle ownDesktopWindow() override { return window_; }
    bool isWindow(WindowHandle window) override { return window != 0 && window == window_; }
    std::vector<MonitorArea> enumDisplayMonitors() override;

    WindowHandle getForegroundWindow() override;
    bool isWindowVisible(WindowHandle window) override;
    bool isIconic(WindowHandle window) override;
    bool isZoomed(WindowHandle window) override;
    std::u16string getClassName(WindowHandle window) override;
    RectI monitorRectOfWindow(WindowHandle window) override;

    // What the player adds (as the X11 window system has them).
    void overrideTimerInterval(std::uint32_t intervalMs) { schedule_.overrideFrameInterval(intervalMs); }
    void addDescriptor(int fd, std::function<void()> ready) { schedule_.addDescriptor(fd, std::move(ready)); }
    void callAt(int slot, std::optional<std::uint64_t> time, std::function<void()> action = {}) {
        schedule_.callAt(slot, time, std::move(action));
    }
    void fail(int exitCode) { schedule_.fail(exitCode); }
    bool failed() const { return schedule_.failed(); }
    const std::string& failure() const { return failure_; }
    bool otherDesktopFound() const { return otherDesktop_; }

    std::function<void()> onLoopStart;
    // After every tick of a timer: the player looks at what the core did.
    std::function<void()> afterTimer;

private:
    bool frameTimerWaits(std::uintptr_t id) const;
    void connectionLost();

    wl_display* display_;
    WaylandDesktop& desktop_;
    std::string lockPath_;
    posix::InstanceLock lock_;
    WindowHandle window_ = 0;
    posix::EventSchedule schedule_;
    bool otherDesktop_ = false;
    bool toldNoToplevels_ = false;
    std::string failure_;
};

}  // namespace velmora::wayland
