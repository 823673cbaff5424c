#include "win32_window_system.h"

#include <windows.h>

#include "wide_text.h"

namespace velmora::win32 {

namespace {

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle fromHwnd(HWND window) { return reinterpret_cast<WindowHandle>(window); }

// The program registers one window class; its portable procedure.
WindowProcedure classProcedure = nullptr;

// Every message of the program's window goes to the portable procedure, unchanged. An exception
// must not unwind through the system's frames of the message dispatch; the portable procedure
// lets none out.
LRESULT CALLBACK forwardingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (classProcedure == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return classProcedure(fromHwnd(window), message, wParam, lParam);
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
    classProcedure = info.procedure;
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

}  // namespace velmora::win32
