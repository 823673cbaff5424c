#include "support/standard_scene.h"

#include "ground/records.h"

namespace velmora::testing {

void useStandardDesktop() {
    desktopHost.desktopLeft = 0;
    desktopHost.desktopTop = 0;
    desktopHost.desktopWidth = 1920;
    desktopHost.desktopHeight = 1080;
}

void useStandardScene() {
    useStandardDesktop();
    globalSettings.pixelScale = 4;
    globalSettings.viewTop = 0;
    globalSettings.viewHeight = 1080;
    theme.params.width = 320;
}

}  // namespace velmora::testing
