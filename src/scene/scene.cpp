#include "scene/scene.h"

#include "ground/records.h"

namespace velmora {

Scene defaultScene() {
    return Scene{theme, globalSettings,
                 SceneRect{desktopHost.desktopLeft, desktopHost.desktopTop, desktopHost.desktopWidth, desktopHost.desktopHeight},
                 appState.panOffset, appState.panDirection};
}

}  // namespace velmora
