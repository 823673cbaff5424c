#include "desktop/desktop_changes.h"

#include "desktop/desktop_attach.h"
#include "ground/records.h"
#include "ports/platform.h"

namespace velmora {

bool desktopWindowGone() {
    WindowSystem& windows = *platform().windows;
    if (desktopHost.progman == 0 || desktopHost.workerW == 0) return true;
    if (!windows.isWindow(desktopHost.workerW)) return true;
    if (const WindowHandle own = windows.ownDesktopWindow(); own != 0) return own != desktopHost.workerW;
    if (windows.findWindow(u"Progman") != desktopHost.progman) return true;
    return desktopHost.progmanChildren && desktopHost.sceneWindow != 0 && !windows.isWindow(desktopHost.sceneWindow);
}

bool desktopSizeChanged() {
    const RectI now = measureDesktop();
    const RectI& made = desktopHost.targetRect;
    return now.left != made.left || now.top != made.top || now.right != made.right || now.bottom != made.bottom;
}

bool monitorsChanged() { return measureMonitors(desktopHost.targetRect) != desktopHost.monitors; }

Reattach reattachDesktop() {
    releaseDesktopTargets();
    destroySceneWindow();
    if (!findDesktopWindow(DesktopSearch{false})) return Reattach::NoDesktopWindow;
    return createDesktopDevice() ? Reattach::Done : Reattach::NoTargets;
}

}  // namespace velmora
