#include "win32_window_system.h"

#include <windows.h>
#include <dwmapi.h>
#include <wtsapi32.h>

#include "wide_text.h"

namespace velmora::win32 {

namespace {

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle fromHwnd(HWND window) { return reinterpret_cast<WindowHandle>(window); }

// Every message of the program's window goes to the portable procedure, unchanged. An exception
// must not unwind through the system's frames of the message dispatch; the portable procedure
// lets none out.
LRESULT CALLBACK forwardingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return windowProcedure(fromHwnd(window), message, wParam, lParam);
}

// The program's own window behind the desktop icons paints nothing itself (the drawing device
// fills it) and lets the mouse through.
LRESULT CALLBACK sceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

BOOL CALLBACK visitTopLevelWindow(HWND window, LPARAM context) {
    const auto& visit = *reinterpret_cast<const std::function<bool(WindowHandle)>*>(context);
    return visit(fromHwnd(window)) ? TRUE : FALSE;
}

}  // namespace

WindowHandle Win32WindowSystem::findWindow(std::u16string_view className) {
    return fromHwnd(FindWindowW(toWide(className).c_str(), nullptr));
}

WindowHandle Win32WindowSystem::findWindowEx(WindowHandle parent, WindowHandle childAfter, std::u16string_view className) {
    return fromHwnd(FindWindowExW(toHwnd(parent), toHwnd(childAfter), toWide(className).c_str(), nullptr));
}

std::intptr_t Win32WindowSystem::sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return SendMessageA(toHwnd(window), message, wParam, lParam);
}

void Win32WindowSystem::enumWindows(const std::function<bool(WindowHandle)>& visit) {
    if (!visit) return;
    EnumWindows(visitTopLevelWindow, reinterpret_cast<LPARAM>(&visit));
}

RectI Win32WindowSystem::getWindowRect(WindowHandle window) {
    RECT rect = {};
    if (!GetWindowRect(toHwnd(window), &rect)) return RectI{};
    return RectI{rect.left, rect.top, rect.right, rect.bottom};
}

bool Win32WindowSystem::setForegroundWindow(WindowHandle window) { return SetForegroundWindow(toHwnd(window)) != FALSE; }

void Win32WindowSystem::messageBox(std::u16string_view text, std::u16string_view caption) {
    MessageBoxW(nullptr, toWide(text).c_str(), toWide(caption).c_str(), MB_OK);
}

bool Win32WindowSystem::registerWindowClass(const WindowClassInfo& info) {
    const std::wstring className = toWide(info.className);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = forwardingWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = reinterpret_cast<HINSTANCE>(info.instance);
    windowClass.hIcon = reinterpret_cast<HICON>(info.icon);
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className.c_str();
    windowClass.hIconSm = reinterpret_cast<HICON>(info.smallIcon);
    return RegisterClassExW(&windowClass) != 0;
}

WindowHandle Win32WindowSystem::createWindow(std::u16string_view className, std::u16string_view title, InstanceHandle instance) {
    return fromHwnd(CreateWindowExW(0, toWide(className).c_str(), toWide(title).c_str(), WS_POPUPWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                    reinterpret_cast<HINSTANCE>(instance), nullptr));
}

std::intptr_t Win32WindowSystem::defWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return DefWindowProcW(toHwnd(window), message, wParam, lParam);
}

int Win32WindowSystem::runMessageLoop() {
    MSG message = {};
    for (;;) {
        const BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0) return static_cast<int>(message.wParam);
        // -1 reports a broken call, not a message; retrying would spin for ever.
        if (result == -1) return 1;
        DispatchMessageW(&message);
    }
}

void Win32WindowSystem::postQuitMessage(int exitCode) { PostQuitMessage(exitCode); }

void Win32WindowSystem::setTimer(WindowHandle window, std::uintptr_t id, std::uint32_t intervalMs) {
    SetTimer(toHwnd(window), id, intervalMs, nullptr);
}

void Win32WindowSystem::killTimer(WindowHandle window, std::uintptr_t id) { KillTimer(toHwnd(window), id); }

PointI Win32WindowSystem::getCursorPos() {
    POINT point = {};
    GetCursorPos(&point);
    return PointI{point.x, point.y};
}

WindowHandle Win32WindowSystem::getForegroundWindow() { return fromHwnd(GetForegroundWindow()); }

bool Win32WindowSystem::isWindowVisible(WindowHandle window) { return IsWindowVisible(toHwnd(window)) != FALSE; }

bool Win32WindowSystem::isIconic(WindowHandle window) { return IsIconic(toHwnd(window)) != FALSE; }

bool Win32WindowSystem::isZoomed(WindowHandle window) { return IsZoomed(toHwnd(window)) != FALSE; }

bool Win32WindowSystem::isWindowCloaked(WindowHandle window) {
    DWORD cloaked = 0;
    if (FAILED(DwmGetWindowAttribute(toHwnd(window), DWMWA_CLOAKED, &cloaked, sizeof(cloaked)))) return false;
    return cloaked != 0;
}

std::u16string Win32WindowSystem::getClassName(WindowHandle window) {
    // Class names are at most 256 characters long.
    wchar_t name[257] = {};
    const int length = GetClassNameW(toHwnd(window), name, 257);
    return length > 0 ? fromWide(name, static_cast<std::size_t>(length)) : std::u16string();
}

RectI Win32WindowSystem::monitorRectOfWindow(WindowHandle window) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    const HMONITOR monitor = MonitorFromWindow(toHwnd(window), MONITOR_DEFAULTTONEAREST);
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) return RectI{};
    return RectI{info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
}

namespace {

// GetDpiForMonitor lives in Shcore.dll from Windows 8.1 on; looked up once so that the program
// still starts where it is missing (every monitor then has the system's DPI).
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

GetDpiForMonitorFunction dpiForMonitorFunction() {
    static const GetDpiForMonitorFunction function = [] {
        const HMODULE shcore = LoadLibraryW(L"shcore.dll");
        if (shcore == nullptr) return static_cast<GetDpiForMonitorFunction>(nullptr);
        return reinterpret_cast<GetDpiForMonitorFunction>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    }();
    return function;
}

std::uint32_t systemDpi() {
    const HDC screen = GetDC(nullptr);
    if (screen == nullptr) return 96;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<std::uint32_t>(dpi) : 96;
}

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    auto& areas = *reinterpret_cast<std::vector<MonitorArea>*>(list);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    MonitorArea area;
    area.rect = RectI{info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
    area.dpi = 0;
    UINT x = 0, y = 0;
    // MDT_EFFECTIVE_DPI (0): the scaling the user chose for that monitor.
    if (const GetDpiForMonitorFunction dpiFor = dpiForMonitorFunction(); dpiFor != nullptr && SUCCEEDED(dpiFor(monitor, 0, &x, &y)) && x > 0) {
        area.dpi = x;
    }
    const bool primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    areas.insert(primary ? areas.begin() : areas.end(), area);
    return TRUE;
}

}  // namespace

std::vector<MonitorArea> Win32WindowSystem::enumDisplayMonitors() {
    std::vector<MonitorArea> areas;
    if (!EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&areas))) return {};
    std::uint32_t fallback = 0;
    for (MonitorArea& area : areas) {
        if (area.dpi != 0) continue;
        if (fallback == 0) fallback = systemDpi();
        area.dpi = fallback;
    }
    return areas;
}

std::uint32_t Win32WindowSystem::registerWindowMessage(std::u16string_view name) {
    return RegisterWindowMessageW(toWide(name).c_str());
}

bool Win32WindowSystem::isWindow(WindowHandle window) { return window != 0 && IsWindow(toHwnd(window)) != FALSE; }

bool Win32WindowSystem::sendMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                           std::uint32_t timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(toHwnd(window), message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result) != 0;
}

RectI Win32WindowSystem::getClientRect(WindowHandle window) {
    RECT rect = {};
    if (!GetClientRect(toHwnd(window), &rect)) return RectI{};
    return RectI{rect.left, rect.top, rect.right, rect.bottom};
}

WindowHandle Win32WindowSystem::windowAbove(WindowHandle window) { return fromHwnd(GetWindow(toHwnd(window), GW_HWNDPREV)); }

WindowHandle Win32WindowSystem::createLayeredChildWindow(std::u16string_view className, WindowHandle parent, RectI rect) {
    const std::wstring name = toWide(className);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(instance, name.c_str(), &existing)) {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = sceneWindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = name.c_str();
        if (RegisterClassExW(&windowClass) == 0) return 0;
    }
    HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_NOACTIVATE, name.c_str(), L"", WS_CHILD | WS_CLIPSIBLINGS, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, toHwnd(parent), nullptr, instance, nullptr);
    if (window == nullptr) return 0;
    // Opaque: the layered style only gives the window a surface of its own.
    SetLayeredWindowAttributes(window, 0, 255, LWA_ALPHA);
    return fromHwnd(window);
}

void Win32WindowSystem::setWindowPos(WindowHandle window, WindowHandle insertAfter, RectI rect) {
    SetWindowPos(toHwnd(window), insertAfter == 0 ? HWND_TOP : toHwnd(insertAfter), rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Win32WindowSystem::destroyWindow(WindowHandle window) { DestroyWindow(toHwnd(window)); }

void Win32WindowSystem::registerSessionNotification(WindowHandle window) {
    WTSRegisterSessionNotification(toHwnd(window), NOTIFY_FOR_THIS_SESSION);
}

void Win32WindowSystem::unregisterSessionNotification(WindowHandle window) { WTSUnRegisterSessionNotification(toHwnd(window)); }

}  // namespace velmora::win32
