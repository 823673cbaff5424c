#pragma once
// A complete platform that does nothing: no windows, no shell services, no drawing device. It
// stands wherever nothing else is installed, so that a tool or a test replaces only the pieces
// it needs; a class here is also the base of a stand-in that overrides a few calls.
#include "ports/graphics_device.h"
#include "ports/shell.h"
#include "ports/window_system.h"

namespace velmora {

// No windows at all: every search finds nothing and the message loop ends at once.
class NullWindowSystem : public WindowSystem {
public:
    WindowHandle findWindow(std::u16string_view) override { return 0; }
    WindowHandle findWindowEx(WindowHandle, WindowHandle, std::u16string_view) override { return 0; }
    std::intptr_t sendMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
    void enumWindows(const std::function<bool(WindowHandle)>&) override {}
    RectI getWindowRect(WindowHandle) override { return {}; }
    bool setForegroundWindow(WindowHandle) override { return false; }
    void messageBox(std::u16string_view, std::u16string_view) override {}
    bool registerWindowClass(const WindowClassInfo&) override { return false; }
    WindowHandle createWindow(std::u16string_view, std::u16string_view, InstanceHandle) override { return 0; }
    int runMessageLoop() override { return 0; }
    void postQuitMessage(int) override {}
    void setTimer(WindowHandle, std::uintptr_t, std::uint32_t) override {}
    void killTimer(WindowHandle, std::uintptr_t) override {}
    PointI getCursorPos() override { return {}; }
    WindowHandle getForegroundWindow() override { return 0; }
    bool isWindowVisible(WindowHandle) override { return false; }
    bool isIconic(WindowHandle) override { return false; }
    bool isZoomed(WindowHandle) override { return false; }
    bool isWindowCloaked(WindowHandle) override { return false; }
    std::u16string getClassName(WindowHandle) override { return {}; }
    RectI monitorRectOfWindow(WindowHandle) override { return {}; }
    bool isWindow(WindowHandle) override { return false; }
    bool sendMessageTimeout(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t, std::uint32_t) override { return false; }
    RectI getClientRect(WindowHandle) override { return {}; }
    WindowHandle windowAbove(WindowHandle) override { return 0; }
    WindowHandle createLayeredChildWindow(std::u16string_view, WindowHandle, RectI) override { return 0; }
    void setWindowPos(WindowHandle, WindowHandle, RectI) override {}
    void destroyWindow(WindowHandle) override {}
    void registerSessionNotification(WindowHandle) override {}
    void unregisterSessionNotification(WindowHandle) override {}
};

// A shell whose clock stands at 0, with no icons, menus, files or programs to open.
class NullShell : public Shell {
public:
    void enableHeapTerminationOnCorruption() override {}
    void initializeCom() override {}
    std::u16string programPath() override { return {}; }
    std::uint32_t tickCount() override { return 0; }
    IconHandle loadIcon(InstanceHandle, int, int) override { return 0; }
    void destroyIcon(IconHandle) override {}
    void notifyIcon(NotifyIconAction, const NotifyIconRecord&) override {}
    MenuHandle createPopupMenu() override { return 0; }
    void appendMenuItem(MenuHandle, std::uint32_t, std::u16string_view) override {}
    void appendMenuSeparator(MenuHandle, std::uint32_t) override {}
    void trackPopupMenu(MenuHandle, int, int, WindowHandle) override {}
    std::vector<std::u16string> findFiles(const std::u16string&) override { return {}; }
    void shellOpen(const std::u16string&) override {}
    UserNotificationState queryUserNotificationState() override { return UserNotificationState::Unknown; }
    PowerStatus systemPowerStatus() override { return {}; }
    bool notifyIconChecked(NotifyIconAction, const NotifyIconRecord&) override { return false; }
    bool ignoreTimerResolutionThrottling() override { return false; }
    bool beginTimerPeriod(std::uint32_t) override { return false; }
    void endTimerPeriod(std::uint32_t) override {}
};

// No drawing device: every set-up step fails, so nothing is decoded or drawn.
class NullGraphicsDevice : public OffscreenGraphicsDevice {
public:
    DeviceSetup prepare() override { return DeviceSetup::Nothing; }
    DeviceSetup createTargets(WindowHandle, std::uint32_t, std::uint32_t) override { return DeviceSetup::Nothing; }
    bool createOffscreenTarget(std::uint32_t, std::uint32_t) override { return false; }
    bool writeFramePng(const std::u16string&) override { return false; }
    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string&) override { return nullptr; }
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t*, std::size_t) override { return nullptr; }
    void beginDraw() override {}
    void setTransform(const Matrix3x2&) override {}
    void clear(const ColorF&) override {}
    void drawBitmap(const Bitmap&, const RectF&, float, Interpolation) override {}
    bool endDraw() override { return false; }
    void presentFrameBitmap() override {}
};

}  // namespace velmora
