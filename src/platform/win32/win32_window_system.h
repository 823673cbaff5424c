#pragma once
// The window system over the Win32 user interface: the program's hidden window, its message
// loop and timers, message boxes, and the search through the shell's top-level windows.
#include "ports/window_system.h"
#include "window_messages.h"

namespace velmora::win32 {

class Win32WindowSystem final : public WindowSystem, public MessageSystem {
public:
    WindowHandle findWindow(std::u16string_view className) override;
    WindowHandle findWindowEx(WindowHandle parent, WindowHandle childAfter, std::u16string_view className) override;
    std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void enumWindows(const std::function<bool(WindowHandle)>& visit) override;
    RectI getWindowRect(WindowHandle window) override;
    bool setForegroundWindow(WindowHandle window) override;
    void messageBox(std::u16string_view text, std::u16string_view caption) override;

    bool registerWindowClass(const WindowClassInfo& info) override;
    WindowHandle createWindow(std::u16string_view className, std::u16string_view title, InstanceHandle instance) override;
    int runMessageLoop() override;
    void postQuitMessage(int exitCode) override;

    void setTimer(WindowHandle window, std::uintptr_t id, std::uint32_t intervalMs) override;
    void killTimer(WindowHandle window, std::uintptr_t id) override;

    PointI getCursorPos() override;

    WindowHandle getForegroundWindow() override;
    bool isWindowVisible(WindowHandle window) override;
    bool isIconic(WindowHandle window) override;
    bool isZoomed(WindowHandle window) override;
    bool isWindowCloaked(WindowHandle window) override;
    std::u16string getClassName(WindowHandle window) override;
    RectI monitorRectOfWindow(WindowHandle window) override;
    std::vector<MonitorArea> enumDisplayMonitors() override;
    bool isWindow(WindowHandle window) override;
    bool sendMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                            std::uint32_t timeoutMs) override;
    RectI getClientRect(WindowHandle window) override;
    WindowHandle windowAbove(WindowHandle window) override;
    WindowHandle createLayeredChildWindow(std::u16string_view className, WindowHandle parent, RectI rect) override;
    void setWindowPos(WindowHandle window, WindowHandle insertAfter, RectI rect) override;
    void destroyWindow(WindowHandle window) override;
    void registerSessionNotification(WindowHandle window) override;
    void unregisterSessionNotification(WindowHandle window) override;

    // What the window procedure needs of Windows itself.
    std::intptr_t defWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::uint32_t registerWindowMessage(std::u16string_view name) override;
};

}  // namespace velmora::win32
