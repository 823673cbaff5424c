#pragma once
// The desktop window behind the icons and the drawing device made on it. The device objects
// themselves live behind the GraphicsDevice interface; this record says which of them exist.
#include <vector>

#include "ground/monitors.h"
#include "ports/handles.h"

namespace velmora {

struct DesktopHost {
    WindowHandle progman = 0;
    WindowHandle workerW = 0;
    bool wicFactory = false;    // imaging factory created
    bool d2dFactory = false;    // drawing factory created
    bool windowTarget = false;  // render target on workerW created
    bool frameTarget = false;   // off-screen target created: pictures can be loaded and drawn
    bool frameBitmap = false;   // a finished frame has been fetched at least once
    float desktopLeft = 0;
    float desktopTop = 0;
    float desktopWidth = 0;
    float desktopHeight = 0;
    // The monitors, in the desktop rectangle's coordinates; empty when the window system tells
    // none (then one scene spans the desktop whatever config.txt says).
    std::vector<Monitor> monitors;
    // Windows 11 24H2 and later: "Progman" holds both the icon view and the wallpaper "WorkerW"
    // as children, and the scene is drawn into sceneWindow, a child of "Progman" of the
    // program's own that lies between them.
    bool progmanChildren = false;
    WindowHandle sceneWindow = 0;
    // The desktop rectangle (screen coordinates) the targets were made for.
    RectI targetRect{};
    // The last frame's end reported a lost device: the targets must be made again.
    bool targetLost = false;
};

extern DesktopHost desktopHost;

}  // namespace velmora
