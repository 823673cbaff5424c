#pragma once
// The window system of the live player on X11. The program has one window, which is both the
// program's window and the desktop it draws on (ownDesktopWindow); its creation, timers, closing
// and size changes reach the front door's verbs, so that the desktop attachment, the timer and
// the frames take the Windows program's own path. The message loop waits on the X connection, the
// timers and any descriptors the player adds (signals, file changes), one thing at a time. The
// desktop-type window also tells the RandR monitors, and a change of them is a display change.
//
// The desktop-type window is the wallpaper: it takes neither focus nor keys, and it answers the
// automatic pause's questions about the other programs' windows from the window manager's EWMH
// properties (x11_desktop_windows.cpp), so that the core's own rule decides when it pauses.
#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/posix/event_schedule.h"
#include "ports/null_platform.h"

namespace velmora::x11 {

// Milliseconds on the clock the shell's tick count also reads.
using posix::monotonicMs;

struct WindowShape {
    // A desktop-type window covering the root window, below all others, instead of a normal one.
    bool desktop = false;
    std::uint32_t width = 1280;  // of a normal window
    std::uint32_t height = 720;
};

class X11WindowSystem final : public NullWindowSystem {
public:
    X11WindowSystem(Display* display, const WindowShape& shape);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    // The window system of the core.
    WindowHandle findWindow(std::u16string_view className) override;
    RectI getWindowRect(WindowHandle window) override;
    void messageBox(std::u16string_view text, std::u16string_view caption) override;
    bool registerWindowClass(const WindowClassInfo& info) override;
    WindowHandle createWindow(std::u16string_view className, std::u16string_view title, InstanceHandle instance) override;
    int runMessageLoop() override;
    void postQuitMessage(int exitCode) override;
    void setTimer(WindowHandle window, std::uintptr_t id, std::uint32_t intervalMs) override;
    void killTimer(WindowHandle window, std::uintptr_t id) override;
    WindowHandle ownDesktopWindow() override { return window_; }
    bool isWindow(WindowHandle window) override { return window != 0 && window == window_; }
    // The desktop's RandR monitors (XRRGetMonitors), primary first, in the window's coordinates;
    // none for a window of its own size, which shows one scene.
    std::vector<MonitorArea> enumDisplayMonitors() override;

    // What lies in front of the desktop, from EWMH (the desktop only; the live window is no
    // wallpaper and nothing pauses it but the user). The foreground window is _NET_ACTIVE_WINDOW,
    // or the top of _NET_CLIENT_LIST_STACKING where the window manager names no active window.
    WindowHandle getForegroundWindow() override;
    // Mapped and viewable.
    bool isWindowVisible(WindowHandle window) override;
    // _NET_WM_STATE_HIDDEN, or WM_STATE iconic.
    bool isIconic(WindowHandle window) override;
    // _NET_WM_STATE_FULLSCREEN, or both _NET_WM_STATE_MAXIMIZED_VERT and _HORZ.
    bool isZoomed(WindowHandle window) override;
    // On another virtual desktop (_NET_WM_DESKTOP against the root's _NET_CURRENT_DESKTOP).
    bool isWindowCloaked(WindowHandle window) override;
    // The role a window plays in the shell's words: a window of type desktop is the desktop
    // ("Progman"), one of type dock a panel ("Shell_TrayWnd"); any other gives WM_CLASS's class.
    std::u16string getClassName(WindowHandle window) override;
    // The RandR monitor holding the largest part of the window (the nearest when none holds a
    // part), the whole desktop window without RandR; in the desktop window's coordinates.
    RectI monitorRectOfWindow(WindowHandle window) override;

    // A desktop-icon program's window: another window of type desktop (not a player's), as
    // "CLASS (window 0x...)"; empty when there is none.
    std::string desktopIconProgram();

    // What the player adds.
    WindowHandle window() const { return window_; }
    // The frame timer runs at this interval instead of the one asked for (--fps).
    void overrideTimerInterval(std::uint32_t intervalMs) { schedule_.overrideFrameInterval(intervalMs); }
    void setTitle(const std::string& utf8);
    // Calls ready whenever fd is readable.
    void addDescriptor(int fd, std::function<void()> ready) { schedule_.addDescriptor(fd, std::move(ready)); }
    // Calls action once at the given time on monotonicMs's clock, in place of an earlier call
    // planned under the same slot; none cancels it.
    void callAt(int slot, std::optional<std::uint64_t> time, std::function<void()> action = {}) {
        schedule_.callAt(slot, time, std::move(action));
    }
    // Ends the message loop with this exit code after the error the player has printed.
    void fail(int exitCode) { schedule_.fail(exitCode); }
    // Set when the loop ended by fail, or when the window could not be made.
    bool failed() const { return schedule_.failed(); }
    // Why createWindow gave no window (one line); whether another player holds the desktop.
    const std::string& failure() const { return failure_; }
    bool otherDesktopFound() const { return otherDesktop_; }
    // Set when a desktop-icon program owned the desktop before the window was made.
    const std::string& iconProgramFound() const { return iconProgram_; }

    // Input that has no Windows message of its own.
    std::function<void(unsigned long keysym)> onKey;
    std::function<void()> onExpose;
    std::function<void()> onLoopStart;
    // Any other event (the presenter's completions).
    std::function<void(const XEvent& event)> onOtherEvent;

private:
    Atom atom(const char* name);
    void handleEvent(XEvent& event);
    void refuseSelectionRequest(const XSelectionRequestEvent& request);
    // A 32-bit property as longs (Xlib's format-32 layout); empty when absent or of another format.
    std::vector<long> longProperty(Window window, const char* name, std::size_t most = 64);
    std::vector<Atom> windowStates(Window window);
    // The window's outer rectangle (with the frame the window manager reports) in the desktop
    // window's coordinates; nothing when the window is gone.
    std::optional<RectI> outerRect(Window window);

    Display* display_;
    WindowShape shape_;
    Window window_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    Atom selection_ = 0;  // owned by the player that is the desktop of this screen
    int randrEventBase_ = -1;  // where the server has RandR 1.5 (monitors), for the desktop
    posix::EventSchedule schedule_;
    bool otherDesktop_ = false;
    std::string failure_;
    std::string iconProgram_;
};

}  // namespace velmora::x11
