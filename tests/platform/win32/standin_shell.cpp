// A stand-in for the desktop windows of the Windows shell, for running velmora.exe under Wine,
// which has no "Progman" of its own. It provides the windows the program searches for and
// answers message 0x052C the way the shell does.
//
//   standin_shell.exe [normal|second|24h2|none] [restarted]
//
// normal  "Progman" with a "SHELLDLL_DefView" child; 0x052C with 13/0 or 13/1 creates the
//         wallpaper "WorkerW" and a "WorkerW" that takes over the "SHELLDLL_DefView".
// second  the same, but only 0x052C with 0/0 creates the "WorkerW" windows.
// 24h2    "Progman" (visible, covering the screen) with a "SHELLDLL_DefView" child; 0x052C
//         with 13/x or 0/0 creates a "WorkerW" child of "Progman" behind the "SHELLDLL_DefView".
// none    no windows at all (another shell).
//
// restarted  plays a shell that has just been restarted: the notification icons of the old
//         taskbar are gone (the test program's icon is removed), and once the windows exist
//         "TaskbarCreated" is broadcast to the top-level windows.
//
// Posting kResizeDesktop to "Progman" (wParam width, lParam height) resizes the desktop windows
// and broadcasts WM_DISPLAYCHANGE three times, as a monitor being plugged in does. Closing
// "Progman" (WM_CLOSE) ends the process and takes its windows with it.
//
// In the 24h2 mode a program may put a window of its own between the "WorkerW" and the
// "SHELLDLL_DefView" children. Windows composes it from its own surface; under Wine the test
// harness does that (desktop_compositor.py).
//
// Nothing here paints: whatever shows on the wallpaper window is what the program drew.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <initializer_list>

namespace {

enum class Mode { normal, second, win24h2, none };

constexpr UINT kSpawnWorker = 0x052C;
constexpr UINT kResizeDesktop = WM_APP + 1;
constexpr const wchar_t* kWholeWindowProp = L"__wine_x11_whole_window";

Mode mode = Mode::normal;
HWND progman = nullptr;
HWND defView = nullptr;
HWND wallpaper = nullptr;
HWND iconHost = nullptr;

// The windows of a shell paint nothing of their own; an empty paint keeps Windows (and Wine)
// from sending WM_PAINT forever, and skipping the erase keeps the program's frame visible.
LRESULT paintNothing(HWND window) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    return 0;
}

RECT screenRect() {
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void spawnTopLevelWorkers(HINSTANCE instance) {
    if (wallpaper != nullptr) {
        return;
    }
    const RECT r = screenRect();
    // Wine restacks a process's top-level windows by creation order (newest on top), so the
    // wallpaper window is created first: it must come after the icon window in the window order.
    wallpaper = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"WorkerW", L"", WS_POPUP | WS_VISIBLE,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                                nullptr);
    // The window holding the icons stays hidden here so that it does not cover the wallpaper in
    // a screenshot; the search looks only at the window order, not at visibility.
    iconHost = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"WorkerW", L"", WS_POPUP, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    SetParent(defView, iconHost);
}

void spawnChildWorker(HINSTANCE instance) {
    if (wallpaper != nullptr) {
        return;
    }
    RECT client;
    GetClientRect(progman, &client);
    wallpaper = CreateWindowExW(0, L"WorkerW", L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom,
                                progman, nullptr, instance, nullptr);
    SetWindowPos(wallpaper, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Wine draws into another process's window through the X window of a top-level window; a
    // child has none. The child covers "Progman" exactly, so it can use the X window of "Progman".
    SetPropW(wallpaper, kWholeWindowProp, GetPropW(progman, kWholeWindowProp));
}

void resizeDesktop(int width, int height) {
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(progman, nullptr, 0, 0, width, height, flags);
    for (HWND window : {defView, wallpaper, iconHost}) {
        if (window != nullptr) SetWindowPos(window, nullptr, 0, 0, width, height, flags);
    }
    for (int i = 0; i < 3; ++i) {
        PostMessageW(HWND_BROADCAST, WM_DISPLAYCHANGE, 24, MAKELPARAM(width, height));
    }
}

LRESULT CALLBACK progmanProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kSpawnWorker: {
        const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
        const bool firstPair = wParam == 13 && (lParam == 0 || lParam == 1);
        const bool secondTry = wParam == 0 && lParam == 0;
        if (mode == Mode::normal && firstPair) {
            spawnTopLevelWorkers(instance);
        } else if (mode == Mode::second && secondTry) {
            spawnTopLevelWorkers(instance);
        } else if (mode == Mode::win24h2 && (firstPair || secondTry)) {
            spawnChildWorker(instance);
        }
        return 0;
    }
    case kResizeDesktop:
        resizeDesktop(static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        return paintNothing(window);
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK quietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        return paintNothing(window);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool registerClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

// The icon the test program shows (its hidden window of class "VMA", icon id 500) was held by
// the taskbar that went away.
void forgetTestProgramIcon() {
    HWND program = FindWindowW(L"VMA", nullptr);
    if (program == nullptr) {
        return;
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = program;
    data.uID = 500;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

Mode parseMode(const wchar_t* commandLine) {
    while (*commandLine == L' ' || *commandLine == L'\t') {
        ++commandLine;
    }
    if (std::wcsncmp(commandLine, L"second", 6) == 0) {
        return Mode::second;
    }
    if (std::wcsncmp(commandLine, L"24h2", 4) == 0) {
        return Mode::win24h2;
    }
    if (std::wcsncmp(commandLine, L"none", 4) == 0) {
        return Mode::none;
    }
    return Mode::normal;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    mode = parseMode(commandLine);
    const bool restarted = std::wcsstr(commandLine, L"restarted") != nullptr;
    if (restarted) {
        forgetTestProgramIcon();
    }
    if (mode != Mode::none) {
        if (!registerClass(instance, L"Progman", progmanProc) || !registerClass(instance, L"WorkerW", quietProc) ||
            !registerClass(instance, L"SHELLDLL_DefView", quietProc)) {
            return 1;
        }
        const RECT r = screenRect();
        // Only the 24H2 layout shows "Progman": there the wallpaper is its child.
        const DWORD style = WS_POPUP | (mode == Mode::win24h2 ? WS_VISIBLE : 0);
        progman = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"Progman", L"Program Manager", style,
                                  r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                                  nullptr);
        if (progman == nullptr) {
            return 1;
        }
        defView = CreateWindowExW(0, L"SHELLDLL_DefView", L"", WS_CHILD, 0, 0, r.right - r.left, r.bottom - r.top,
                                  progman, nullptr, instance, nullptr);
        if (defView == nullptr) {
            return 1;
        }
    }
    if (restarted) {
        PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return 0;
}
