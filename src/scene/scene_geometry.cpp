#include "scene/scene_geometry.h"

#include "scene/scene.h"

namespace velmora {

SceneGeometry sceneGeometry(const Scene& scene) {
    const GlobalSettings& settings = scene.settings;
    const ThemeParams& params = scene.theme.params;
    const float scale = settings.pixelScale;
    const float baseOffset = static_cast<float>(settings.baseOffset);
    SceneGeometry g;
    g.sceneWidth = scale * params.width;
    g.sceneLeft = (scene.rect.width * 0.5f + scene.rect.left) - g.sceneWidth * 0.5f;
    g.viewBottom = settings.viewTop + settings.viewHeight;
    g.groundY = g.viewBottom - baseOffset * scale;
    g.floorY = g.viewBottom - (baseOffset + params.ycollider) * scale;
    return g;
}

SceneGeometry sceneGeometry() { return sceneGeometry(defaultScene()); }

}  // namespace velmora
