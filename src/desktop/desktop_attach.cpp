#include "desktop/desktop_attach.h"

#include <cmath>
#include <cstdint>

#include "ground/float_conversion.h"
#include "ground/records.h"
#include "ports/platform.h"

namespace velmora {

namespace {

// Asks "Progman" to keep a "WorkerW" behind the icons.
constexpr std::uint32_t kSpawnWorkerMessage = 0x052C;
// On the 24H2 layout the shell is asked with a time-out, so that a busy shell cannot hang the
// program.
constexpr std::uint32_t kSpawnWorkerTimeoutMs = 1000;

constexpr std::u16string_view kCaption = u"ERROR!";
// The class of the program's own window behind the icons on the 24H2 layout.
constexpr std::u16string_view kSceneWindowClass = u"VelmoraScene";

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

// The "WorkerW" child of "Progman" when "Progman" also holds the icon view: the desktop of
// Windows 11 24H2 and later. 0 on any other layout.
WindowHandle progmanWorkerW(WindowSystem& windows, WindowHandle progman) {
    if (windows.findWindowEx(progman, 0, u"SHELLDLL_DefView") == 0) return 0;
    return windows.findWindowEx(progman, 0, u"WorkerW");
}

void sendSpawnWorker(WindowSystem& windows, bool timed, std::uintptr_t wParam, std::intptr_t lParam) {
    if (timed) {
        windows.sendMessageTimeout(desktopHost.progman, kSpawnWorkerMessage, wParam, lParam, kSpawnWorkerTimeoutMs);
    } else {
        windows.sendMessage(desktopHost.progman, kSpawnWorkerMessage, wParam, lParam);
    }
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

std::int32_t wrappingSum(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// The program's own window on the 24H2 layout, sized to the client area of "Progman" and put
// directly above the "WorkerW" in the z-order, below the icon view. Made when there is none.
WindowHandle placeSceneWindow(WindowSystem& windows) {
    const RectI client = windows.getClientRect(desktopHost.progman);
    const RectI rect{0, 0, extent(client.left, client.right), extent(client.top, client.bottom)};
    if (desktopHost.sceneWindow != 0 && !windows.isWindow(desktopHost.sceneWindow)) desktopHost.sceneWindow = 0;
    if (desktopHost.sceneWindow == 0) {
        desktopHost.sceneWindow = windows.createLayeredChildWindow(kSceneWindowClass, desktopHost.progman, rect);
        if (desktopHost.sceneWindow == 0) return 0;
    }
    WindowHandle above = windows.windowAbove(desktopHost.workerW);
    if (above == desktopHost.sceneWindow) above = windows.windowAbove(desktopHost.sceneWindow);
    windows.setWindowPos(desktopHost.sceneWindow, above, rect);
    return desktopHost.sceneWindow;
}

}  // namespace

bool findDesktopWindow(const DesktopSearch& search) {
    WindowSystem& windows = *platform().windows;
    desktopHost.workerW = 0;
    desktopHost.progmanChildren = false;

    // A window system that shows the scene in a window of its own has no shell to search.
    if (const WindowHandle own = windows.ownDesktopWindow(); own != 0) {
        desktopHost.progman = own;
        desktopHost.workerW = own;
        return true;
    }

    desktopHost.progman = windows.findWindow(u"Progman");
    if (desktopHost.progman == 0) {
        if (search.reportFailures) windows.messageBox(u"No Progman found.", kCaption);
        return false;
    }

    // A "WorkerW" child that is already there is taken as it is: on some 24H2 builds the
    // message makes nothing new.
    if (progmanWorkerW(windows, desktopHost.progman) != 0) {
        sendSpawnWorker(windows, true, 0xD, 0);
        sendSpawnWorker(windows, true, 0xD, 1);
        desktopHost.workerW = progmanWorkerW(windows, desktopHost.progman);
        desktopHost.progmanChildren = desktopHost.workerW != 0;
        if (desktopHost.workerW != 0) return true;
    }

    sendSpawnWorker(windows, false, 0xD, 0);
    sendSpawnWorker(windows, false, 0xD, 1);
    enumerateDesktopWindows(windows);

    if (desktopHost.workerW == 0) {
        // The first pair may have made the 24H2 layout; the shell is then asked with a time-out.
        sendSpawnWorker(windows, progmanWorkerW(windows, desktopHost.progman) != 0, 0, 0);
        enumerateDesktopWindows(windows);
    }

    // Since Windows 11 24H2 the window behind the icons is a "WorkerW" child of "Progman"
    // rather than a top-level window.
    if (desktopHost.workerW == 0) {
        desktopHost.workerW = windows.findWindowEx(desktopHost.progman, 0, u"WorkerW");
        desktopHost.progmanChildren = desktopHost.workerW != 0 && progmanWorkerW(windows, desktopHost.progman) != 0;
    }

    if (desktopHost.workerW == 0) {
        if (search.reportFailures) windows.messageBox(u"No WorkerW found.", kCaption);
        return false;
    }
    return true;
}

bool findDesktopWindow() { return findDesktopWindow(DesktopSearch{}); }

WindowHandle drawingWindow() { return desktopHost.progmanChildren ? desktopHost.sceneWindow : desktopHost.workerW; }

RectI measureDesktop() {
    WindowSystem& windows = *platform().windows;
    if (!desktopHost.progmanChildren) return windows.getWindowRect(desktopHost.workerW);
    const RectI outer = windows.getWindowRect(desktopHost.progman);
    const RectI client = windows.getClientRect(desktopHost.progman);
    return RectI{outer.left, outer.top, wrappingSum(outer.left, client.right), wrappingSum(outer.top, client.bottom)};
}

std::vector<Monitor> measureMonitors(const RectI& desktop) {
    std::vector<Monitor> monitors;
    for (const MonitorArea& area : platform().windows->enumDisplayMonitors()) {
        Monitor m;
        m.left = narrowToInt(static_cast<std::int64_t>(area.rect.left) - desktop.left);
        m.top = narrowToInt(static_cast<std::int64_t>(area.rect.top) - desktop.top);
        m.width = extent(area.rect.left, area.rect.right);
        m.height = extent(area.rect.top, area.rect.bottom);
        m.dpi = area.dpi > 0 && area.dpi <= 4 * 960 ? static_cast<std::int32_t>(area.dpi) : kBaseDpi;
        // A monitor of no size shows nothing and gets no scene.
        if (m.width > 0 && m.height > 0) monitors.push_back(m);
    }
    return monitors;
}

bool createDesktopDevice() {
    GraphicsDevice& device = *platform().graphics;
    if (desktopHost.windowTarget || desktopHost.frameTarget || desktopHost.frameBitmap) releaseDesktopTargets();
    desktopHost.targetLost = false;

    // The device keeps what it made before; it makes only what it still lacks.
    const DeviceSetup ready = device.prepare();
    if (ready >= DeviceSetup::ImagingFactory) desktopHost.wicFactory = true;
    if (ready >= DeviceSetup::DrawingFactory) desktopHost.d2dFactory = true;
    if (ready < DeviceSetup::DrawingFactory) return false;
    if (desktopHost.progmanChildren && placeSceneWindow(*platform().windows) == 0) return false;

    const RectI rect = measureDesktop();
    desktopHost.targetRect = rect;
    desktopHost.desktopLeft = static_cast<float>(rect.left);
    desktopHost.desktopTop = static_cast<float>(rect.top);
    desktopHost.desktopWidth = static_cast<float>(extent(rect.left, rect.right));
    desktopHost.desktopHeight = static_cast<float>(extent(rect.top, rect.bottom));
    desktopHost.monitors = measureMonitors(rect);

    const std::uint32_t pixelWidth = truncateToUnsigned(desktopHost.desktopWidth);
    const std::uint32_t pixelHeight = truncateToUnsigned(desktopHost.desktopHeight);

    const DeviceSetup made = device.createTargets(drawingWindow(), pixelWidth, pixelHeight);
    if (made >= DeviceSetup::WindowTarget) desktopHost.windowTarget = true;
    if (made >= DeviceSetup::FrameTarget) desktopHost.frameTarget = true;
    return made >= DeviceSetup::FrameTarget;
}

bool attachOffscreen(OffscreenGraphicsDevice* device, const RectI& desktop, std::uint32_t pixelWidth, std::uint32_t pixelHeight,
                     const std::vector<Monitor>& monitors) {
    desktopHost.monitors = monitors;
    desktopHost.desktopLeft = static_cast<float>(desktop.left);
    desktopHost.desktopTop = static_cast<float>(desktop.top);
    desktopHost.desktopWidth = static_cast<float>(extent(desktop.left, desktop.right));
    desktopHost.desktopHeight = static_cast<float>(extent(desktop.top, desktop.bottom));
    if (device == nullptr) return false;
    const DeviceSetup ready = device->prepare();
    if (ready >= DeviceSetup::ImagingFactory) desktopHost.wicFactory = true;
    if (ready >= DeviceSetup::DrawingFactory) desktopHost.d2dFactory = true;
    if (ready < DeviceSetup::DrawingFactory || !device->createOffscreenTarget(pixelWidth, pixelHeight)) return false;
    desktopHost.frameTarget = true;
    return true;
}

bool attachDesktop() {
    if (!findDesktopWindow()) return false;
    return createDesktopDevice();
}

void releaseDesktopTargets() {
    platform().graphics->releaseTargets();
    desktopHost.windowTarget = false;
    desktopHost.frameTarget = false;
    desktopHost.frameBitmap = false;
    desktopHost.targetLost = false;
}

void destroySceneWindow() {
    if (desktopHost.sceneWindow == 0) return;
    WindowSystem& windows = *platform().windows;
    if (windows.isWindow(desktopHost.sceneWindow)) windows.destroyWindow(desktopHost.sceneWindow);
    desktopHost.sceneWindow = 0;
}

}  // namespace velmora
