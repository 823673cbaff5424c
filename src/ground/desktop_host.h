#pragma once
// The desktop window behind the icons and the drawing device made on it. The device objects
// themselves live behind the GraphicsDevice interface; this record says which of them exist.
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
};

extern DesktopHost desktopHost;

}  // namespace velmora
