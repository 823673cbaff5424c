#pragma once
// Finding the shell window behind the desktop icons and creating the drawing device on it.
#include <cstdint>
#include <vector>

#include "ground/monitors.h"

#include "ports/graphics_device.h"
#include "ports/handles.h"

namespace velmora {

struct DesktopSearch {
    // Start-up tells the user when there is no desktop window; a later search, after the shell
    // changed, keeps quiet and tries again at the next change.
    bool reportFailures = true;
};

// Sets progman and workerW of desktopHost, and progmanChildren when "Progman" holds both the
// icon view and the "WorkerW" (Windows 11 24H2 and later). On failure the user has been shown
// why ("No Progman found." or "No WorkerW found.") and closed the message.
bool findDesktopWindow();
bool findDesktopWindow(const DesktopSearch& search);

// findDesktopWindow, then createDesktopDevice.
bool attachDesktop();

// The drawing device on the desktop window found: the factories that do not exist yet, the
// program's own window where the layout draws into one, the desktop rectangle, the window
// target and the off-screen frame target. Targets made before are let go first. Stops at the
// first failure; each desktopHost flag says which objects exist.
bool createDesktopDevice();

// The desktop without a window (the headless session): desktop as the rectangle the scene is laid
// out in, and the device, if there is one, set up with an off-screen frame target of this pixel
// size, with the monitors as a window system would tell them. False when there is no device, or
// it cannot be set up or make the target.
bool attachOffscreen(OffscreenGraphicsDevice* device, const RectI& desktop, std::uint32_t pixelWidth, std::uint32_t pixelHeight,
                     const std::vector<Monitor>& monitors = {});

// The window the targets are made on: the program's own window on the 24H2 layout, else workerW.
WindowHandle drawingWindow();

// The desktop rectangle as it is now, in screen coordinates: the rectangle of workerW, or on the
// 24H2 layout the client area of "Progman".
RectI measureDesktop();
// The window system's monitors as they are now, in the coordinates of the window drawn into
// (its top left at 0,0) for a desktop at desktop (screen coordinates), each with its DPI.
std::vector<Monitor> measureMonitors(const RectI& desktop);

// Destroys the program's own window behind the icons, if there is one, so that the wallpaper
// shows again at once.
void destroySceneWindow();

// The device's window and frame targets released and marked gone. The pictures made on them
// should go first (the theme's, see clearTheme), and the window they draw into after.
void releaseDesktopTargets();

}  // namespace velmora
