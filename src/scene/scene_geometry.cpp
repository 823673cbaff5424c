#include "scene/scene_geometry.h"

#include "ground/records.h"
#include "ground/theme_model.h"

namespace velmora {

SceneGeometry sceneGeometry() {
    const float scale = globalSettings.pixelScale;
    const float baseOffset = static_cast<float>(globalSettings.baseOffset);
    SceneGeometry g;
    g.sceneWidth = scale * theme.params.width;
    g.sceneLeft = (desktopHost.desktopWidth * 0.5f + desktopHost.desktopLeft) - g.sceneWidth * 0.5f;
    g.viewBottom = globalSettings.viewTop + globalSettings.viewHeight;
    g.groundY = g.viewBottom - baseOffset * scale;
    g.floorY = g.viewBottom - (baseOffset + theme.params.ycollider) * scale;
    return g;
}

}  // namespace velmora
