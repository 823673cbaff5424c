#pragma once
// The window system: the program's hidden window and its event loop, timers, message boxes,
// and the search through other programs' top-level windows. Windows names are kept so that a
// reader can match each call with the Win32 function that implements it.
//
// What happens to the program's window (its creation, timer ticks, clicks on the icon, menu
// choices, the desktop changing) the window system reports to the player's front door
// (app/front_door.h) in the product's words; how a platform learns of it (messages, events,
// signals) stays inside the platform.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/handles.h"

namespace velmora {

// One display monitor: its rectangle in screen coordinates (physical pixels) and its DPI.
struct MonitorArea {
    RectI rect;
    std::uint32_t dpi = 96;
};

struct WindowClassInfo {
    std::u16string className;
    InstanceHandle instance = 0;
    IconHandle icon = 0;
    IconHandle smallIcon = 0;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // FindWindowW(className, null): a top-level window of that class, whatever its title.
    virtual WindowHandle findWindow(std::u16string_view className) = 0;
    // FindWindowExW(parent, childAfter, className, null). A parent of 0 searches top-level
    // windows, starting after childAfter in the window order (0: from the first).
    virtual WindowHandle findWindowEx(WindowHandle parent, WindowHandle childAfter, std::u16string_view className) = 0;
    // SendMessageA: synchronous, no time-out.
    virtual std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // EnumWindows: calls visit for every top-level window in the window order while it returns true.
    virtual void enumWindows(const std::function<bool(WindowHandle)>& visit) = 0;
    // GetWindowRect, in screen coordinates. An unknown window gives an all-zero rectangle.
    virtual RectI getWindowRect(WindowHandle window) = 0;
    virtual bool setForegroundWindow(WindowHandle window) = 0;
    // MessageBoxW with no owner and MB_OK; returns when the user has closed it.
    virtual void messageBox(std::u16string_view text, std::u16string_view caption) = 0;

    // The program's own window, whose messages go to the class's procedure.
    virtual bool registerWindowClass(const WindowClassInfo& info) = 0;
    // CreateWindowExW with no extended style, WS_POPUPWINDOW, CW_USEDEFAULT position and size,
    // no parent or menu, never shown. The front door's windowCreated runs before this returns.
    virtual WindowHandle createWindow(std::u16string_view className, std::u16string_view title, InstanceHandle instance) = 0;
    // GetMessageW / DispatchMessageW until GetMessageW returns 0; returns the quit code.
    virtual int runMessageLoop() = 0;
    virtual void postQuitMessage(int exitCode) = 0;

    // Window timers: each tick reaches the front door's timerElapsed. Results are ignored.
    virtual void setTimer(WindowHandle window, std::uintptr_t id, std::uint32_t intervalMs) = 0;
    virtual void killTimer(WindowHandle window, std::uintptr_t id) = 0;

    virtual PointI getCursorPos() = 0;

    // What lies in front of the desktop, for pausing while another program covers the scene.
    // GetForegroundWindow: 0 when no window has the foreground.
    virtual WindowHandle getForegroundWindow() = 0;
    // IsWindowVisible, IsIconic (minimised) and IsZoomed (maximised).
    virtual bool isWindowVisible(WindowHandle window) = 0;
    virtual bool isIconic(WindowHandle window) = 0;
    virtual bool isZoomed(WindowHandle window) = 0;
    // DwmGetWindowAttribute with DWMWA_CLOAKED: the window is there but the window manager does
    // not show it (another virtual desktop, a suspended app). False when that cannot be told.
    virtual bool isWindowCloaked(WindowHandle window) = 0;
    // GetClassNameW; empty for an unknown window.
    virtual std::u16string getClassName(WindowHandle window) = 0;
    // MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) and GetMonitorInfoW: the rectangle of
    // the monitor that holds the largest part of the window, in screen coordinates. All zero
    // when it cannot be told.
    virtual RectI monitorRectOfWindow(WindowHandle window) = 0;
    // EnumDisplayMonitors, GetMonitorInfoW and GetDpiForMonitor: every monitor, the primary one
    // first. Empty where monitors cannot be told apart (then one scene spans the desktop).
    virtual std::vector<MonitorArea> enumDisplayMonitors() { return {}; }
    // --- Following the desktop when it changes ------------------------------------------------
    // A window system that shows the scene in a window of its own (the Linux player) names it
    // here, and the desktop is that window; 0 where the shell's desktop window is to be found.
    virtual WindowHandle ownDesktopWindow() { return 0; }
    virtual bool isWindow(WindowHandle window) = 0;
    // SendMessageTimeoutW with SMTO_NORMAL: false when the window did not answer in time.
    virtual bool sendMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                    std::uint32_t timeoutMs) = 0;
    // GetClientRect: left and top are 0. An unknown window gives an all-zero rectangle.
    virtual RectI getClientRect(WindowHandle window) = 0;
    // GetWindow(GW_HWNDPREV): the sibling directly above the window in the z-order, 0 if none.
    virtual WindowHandle windowAbove(WindowHandle window) = 0;
    // A window of the program's own, of a class of its own that paints nothing, made a child of
    // parent (WS_CHILD, not yet visible) at rect in parent's client coordinates, with
    // WS_EX_LAYERED made opaque by SetLayeredWindowAttributes(window, 0, 255, LWA_ALPHA) so that
    // it has a surface of its own. 0 when it cannot be made.
    virtual WindowHandle createLayeredChildWindow(std::u16string_view className, WindowHandle parent, RectI rect) = 0;
    // SetWindowPos without activation: moved to rect (in the parent's client coordinates), put
    // directly below insertAfter in the z-order (0: at the top), and shown.
    virtual void setWindowPos(WindowHandle window, WindowHandle insertAfter, RectI rect) = 0;
    virtual void destroyWindow(WindowHandle window) = 0;
    // WTSRegisterSessionNotification (this session only) / WTSUnRegisterSessionNotification:
    // lock and unlock reach the front door's desktopChanged. Results are ignored.
    virtual void registerSessionNotification(WindowHandle window) = 0;
    virtual void unregisterSessionNotification(WindowHandle window) = 0;
};

}  // namespace velmora
