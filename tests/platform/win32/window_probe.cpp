// Looks at and talks to the windows of other programs on the same (Wine) desktop, for the
// end-to-end tests. A console program: answers go to standard output, the outcome to the exit
// code (0 done, 1 not found or timed out, 2 bad usage).
//
//   window_probe.exe list
//   window_probe.exe count CLASS
//   window_probe.exe wait-count CLASS N TIMEOUT_MS
//   window_probe.exe post CLASS MESSAGE WPARAM LPARAM
//   window_probe.exe wait-box CAPTION TEXT TIMEOUT_MS
//   window_probe.exe close-box CAPTION
//   window_probe.exe search
//   window_probe.exe cover [HOLE_LEFT HOLE_TOP HOLE_RIGHT HOLE_BOTTOM]
//   window_probe.exe foreground
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring className(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

std::wstring windowText(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM user) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(user)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM user) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(user)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

int countClass(const std::wstring& name) {
    int n = 0;
    for (HWND w : topLevelWindows()) {
        if (className(w) == name) {
            ++n;
        }
    }
    return n;
}

void printWindow(HWND w, int depth) {
    RECT r{};
    GetWindowRect(w, &r);
    std::wprintf(L"%*ls%p class=\"%ls\" title=\"%ls\" visible=%d rect=%ld,%ld,%ld,%ld pid=", depth * 2, L"",
                 static_cast<void*>(w), className(w).c_str(), windowText(w).c_str(), IsWindowVisible(w) ? 1 : 0,
                 r.left, r.top, r.right, r.bottom);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    std::wprintf(L"%lu\n", pid);
}

// A message box: a dialog with the given caption and a child showing the given text.
HWND findBox(const std::wstring& caption, const std::wstring* text) {
    for (HWND w : topLevelWindows()) {
        if (className(w) != L"#32770" || windowText(w) != caption) {
            continue;
        }
        if (text == nullptr) {
            return w;
        }
        for (HWND child : childWindows(w)) {
            if (windowText(child) == *text) {
                return w;
            }
        }
    }
    return nullptr;
}

// Polls until done() holds or the time is up; the probe never waits without a limit.
template <class Done>
bool waitFor(DWORD timeoutMs, Done done) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(50);
    }
}

long long number(const wchar_t* text) {
    return std::wcstoll(text, nullptr, 0);
}

// The desktop search of the program, step by step, so that a stand-in shell layout can be
// checked on its own: prints which attempt found the "WorkerW" and whether it is a top-level
// window.
int search() {
    HWND progman = FindWindowW(L"Progman", nullptr);
    if (progman == nullptr) {
        std::puts("no Progman");
        return 1;
    }
    static HWND workerW = nullptr;
    auto visit = [](HWND window, LPARAM) -> BOOL {
        if (FindWindowExW(window, nullptr, L"SHELLDLL_DefView", nullptr) != nullptr) {
            workerW = FindWindowExW(nullptr, window, L"WorkerW", nullptr);
        }
        return TRUE;
    };
    SendMessageA(progman, 0x052C, 13, 0);
    SendMessageA(progman, 0x052C, 13, 1);
    EnumWindows(visit, 0);
    int attempt = 1;
    if (workerW == nullptr) {
        SendMessageA(progman, 0x052C, 0, 0);
        EnumWindows(visit, 0);
        attempt = 2;
    }
    if (workerW == nullptr) {
        std::puts("no WorkerW");
        return 1;
    }
    std::printf("attempt %d\n", attempt);
    printWindow(workerW, 0);
    return 0;
}

// A window like a full-screen game's: a top-level popup over the whole screen, in the
// foreground. It may leave a hole in its region, so that the desktop behind it can be seen while
// its rectangle still covers the screen. It stays until it is closed (WM_CLOSE).
constexpr wchar_t kCoverClass[] = L"VelmoraCover";

LRESULT CALLBACK coverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        HBRUSH brush = CreateSolidBrush(RGB(40, 200, 220));
        FillRect(dc, &ps.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int cover(const RECT* hole) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = coverProc;
    wc.hInstance = instance;
    wc.lpszClassName = kCoverClass;
    if (RegisterClassExW(&wc) == 0) {
        return 1;
    }
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExW(0, kCoverClass, L"Cover", WS_POPUP, 0, 0, width, height, nullptr, nullptr, instance,
                                  nullptr);
    if (window == nullptr) {
        return 1;
    }
    if (hole != nullptr) {
        HRGN whole = CreateRectRgn(0, 0, width, height);
        HRGN gap = CreateRectRgn(hole->left, hole->top, hole->right, hole->bottom);
        CombineRgn(whole, whole, gap, RGN_DIFF);
        DeleteObject(gap);
        SetWindowRgn(window, whole, FALSE);  // the window owns the region from here on
    }
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
    std::puts("covering");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return 0;
}

int printForeground() {
    HWND window = GetForegroundWindow();
    if (window == nullptr) {
        std::puts("none");
        return 0;
    }
    printWindow(window, 0);
    return 0;
}

int usage() {
    std::fputs("usage: window_probe list | count CLASS | wait-count CLASS N TIMEOUT_MS |\n"
               "       post CLASS MESSAGE WPARAM LPARAM | wait-box CAPTION TEXT TIMEOUT_MS | close-box CAPTION |\n"
               "       search | cover [HOLE_LEFT HOLE_TOP HOLE_RIGHT HOLE_BOTTOM] | foreground\n",
               stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::wstring command = argv[1];
    if (command == L"list" && argc == 2) {
        for (HWND w : topLevelWindows()) {
            printWindow(w, 0);
            for (HWND child : childWindows(w)) {
                printWindow(child, 1);
            }
        }
        return 0;
    }
    if (command == L"count" && argc == 3) {
        std::printf("%d\n", countClass(argv[2]));
        return 0;
    }
    if (command == L"wait-count" && argc == 5) {
        const std::wstring name = argv[2];
        const int wanted = static_cast<int>(number(argv[3]));
        int seen = -1;
        const bool ok = waitFor(static_cast<DWORD>(number(argv[4])), [&] {
            seen = countClass(name);
            return seen == wanted;
        });
        std::printf("%d\n", seen);
        return ok ? 0 : 1;
    }
    if (command == L"post" && argc == 6) {
        HWND target = FindWindowW(argv[2], nullptr);
        if (target == nullptr) {
            std::fputs("no such window\n", stderr);
            return 1;
        }
        const BOOL posted = PostMessageW(target, static_cast<UINT>(number(argv[3])),
                                         static_cast<WPARAM>(number(argv[4])), static_cast<LPARAM>(number(argv[5])));
        return posted ? 0 : 1;
    }
    if (command == L"wait-box" && argc == 5) {
        const std::wstring caption = argv[2];
        const std::wstring text = argv[3];
        return waitFor(static_cast<DWORD>(number(argv[4])), [&] { return findBox(caption, &text) != nullptr; }) ? 0 : 1;
    }
    if (command == L"close-box" && argc == 3) {
        HWND box = findBox(argv[2], nullptr);
        if (box == nullptr) {
            return 1;
        }
        // What the OK button sends when clicked.
        return PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) ? 0 : 1;
    }
    if (command == L"search" && argc == 2) {
        return search();
    }
    if (command == L"cover" && (argc == 2 || argc == 6)) {
        if (argc == 2) {
            return cover(nullptr);
        }
        const RECT hole{static_cast<LONG>(number(argv[2])), static_cast<LONG>(number(argv[3])),
                        static_cast<LONG>(number(argv[4])), static_cast<LONG>(number(argv[5]))};
        return cover(&hole);
    }
    if (command == L"foreground" && argc == 2) {
        return printForeground();
    }
    return usage();
}
