#include "desktop/desktop_attach.h"

#include <cmath>
#include <cstdint>

#include "ground/records.h"
#include "ports/platform.h"

namespace velmora {

namespace {

// Asks "Progman" to keep a "WorkerW" behind the icons.
constexpr std::uint32_t kSpawnWorkerMessage = 0x052C;

constexpr std::u16string_view kCaption = u"ERROR!";

// Every top-level window holding the icon view names the "WorkerW" after it; the last one
// visited wins, also when nothing follows it.
void enumerateDesktopWindows(WindowSystem& windows) {
    windows.enumWindows([&windows](WindowHandle window) {
        if (windows.findWindowEx(window, 0, u"SHELLDLL_DefView") != 0) {
            desktopHost.workerW = windows.findWindowEx(0, window, u"WorkerW");
        }
        return true;
    });
}

// Float to unsigned as the 64-bit truncating conversion does it: negative values wrap, and
// values out of that range or not a number give 0.
std::uint32_t truncateToUnsigned(float value) {
    if (!(std::fabs(value) < 9.2233720368547758e18f)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(value));
}

// right - left with 32-bit wrap-around, as the platform computes it.
std::int32_t extent(std::int32_t from, std::int32_t to) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(to) - static_cast<std::uint32_t>(from));
}

}  // namespace

bool findDesktopWindow() {
    WindowSystem& windows = *platform().windows;

    desktopHost.progman = windows.findWindow(u"Progman");
    if (desktopHost.progman == 0) {
        windows.messageBox(u"No Progman found.", kCaption);
        return false;
    }

    windows.sendMessage(desktopHost.progman, kSpawnWorkerMessage, 0xD, 0);
    windows.sendMessage(desktopHost.progman, kSpawnWorkerMessage, 0xD, 1);
    enumerateDesktopWindows(windows);

    if (desktopHost.workerW == 0) {
        windows.sendMessage(desktopHost.progman, kSpawnWorkerMessage, 0, 0);
        enumerateDesktopWindows(windows);
    }

    // Since Windows 11 24H2 the window behind the icons is a "WorkerW" child of "Progman"
    // rather than a top-level window.
    if (desktopHost.workerW == 0) {
        desktopHost.workerW = windows.findWindowEx(desktopHost.progman, 0, u"WorkerW");
    }

    if (desktopHost.workerW == 0) {
        windows.messageBox(u"No WorkerW found.", kCaption);
        return false;
    }
    return true;
}

bool attachDesktop() {
    if (!findDesktopWindow()) return false;

    GraphicsDevice& device = *platform().graphics;
    if (!device.createImagingFactory()) return false;
    desktopHost.wicFactory = true;
    if (!device.createDrawingFactory()) return false;
    desktopHost.d2dFactory = true;

    const RectI rect = platform().windows->getWindowRect(desktopHost.workerW);
    desktopHost.desktopLeft = static_cast<float>(rect.left);
    desktopHost.desktopTop = static_cast<float>(rect.top);
    desktopHost.desktopWidth = static_cast<float>(extent(rect.left, rect.right));
    desktopHost.desktopHeight = static_cast<float>(extent(rect.top, rect.bottom));

    const std::uint32_t pixelWidth = truncateToUnsigned(desktopHost.desktopWidth);
    const std::uint32_t pixelHeight = truncateToUnsigned(desktopHost.desktopHeight);

    if (!device.createWindowTarget(desktopHost.workerW, pixelWidth, pixelHeight)) return false;
    desktopHost.windowTarget = true;
    if (!device.createFrameTarget()) return false;
    desktopHost.frameTarget = true;
    return true;
}

}  // namespace velmora
