#include "scene/drawing.h"

#include "ground/records.h"
#include "ports/platform.h"
#include "scene/layer_pictures.h"

#include <algorithm>

namespace velmora {

namespace {

// Sprites and characters wholly beside the desktop window are not drawn; an edge exactly on the
// window's edge still is.
bool outsideDesktop(const SceneRect& rect, float x, float w) {
    return x > rect.width + rect.left || x + w < rect.left;
}

}  // namespace

void drawImage(const ImageFrame& picture, float opacity, float x, float y, float w, float h, float mirror) {
    if (!picture.bitmap || !desktopHost.frameTarget) return;
    platform().graphics->drawPicture(*picture.bitmap,
                                     PicturePlacement{x, y, w, h, opacity, mirror, static_cast<Interpolation>(picture.filter)});
}

void drawParticles(const Scene& scene, const std::array<ParticleLayer, LayerCapacity>& layers, std::int32_t count, float panOffset) {
    const float s = scene.settings.pixelScale;
    for (std::size_t l = 0; l < usedLayers(count); ++l) {
        const ParticleLayer& layer = layers[l];
        if (layer.pastDrawBudget) continue;
        const std::size_t n = instanceCount(layer);
        for (std::size_t i = 0; i < n; ++i) {
            const ImageFrame& picture = layerPicture(layer.images, layer.variation[i], layer.frame[i]);
            const float w = static_cast<float>(picture.width) * s;
            const float h = static_cast<float>(picture.height) * s;
            const float x = (panOffset * layer.xscroll) * s + layer.posX[i];
            drawImage(picture, layer.alpha[i], x, layer.posY[i], w, h, 0);
        }
    }
}

void drawSprites(const Scene& scene, const std::array<SpriteLayer, LayerCapacity>& layers, std::int32_t count, float panOffset) {
    const float s = scene.settings.pixelScale;
    for (std::size_t l = 0; l < usedLayers(count); ++l) {
        const SpriteLayer& layer = layers[l];
        if (layer.pastDrawBudget) continue;
        const float shift = (panOffset * layer.xscroll) * s;
        const std::size_t n = instanceCount(layer);
        for (std::size_t i = 0; i < n; ++i) {
            const ImageFrame& picture = layerPicture(layer.images, layer.variation[i], layer.frame[i]);
            const float w = static_cast<float>(picture.width) * s;
            const float h = static_cast<float>(picture.height) * s;
            const float x = shift + layer.posX[i];
            if (outsideDesktop(scene.rect, x, w)) continue;
            drawImage(picture, 1.0f, x, layer.posY[i], w, h, 0);
        }
    }
}

namespace {

// The floor and ceiling: centred on the desktop window, panning like a layer with xscroll 50.
float centredX(const SceneRect& rect, float w, float panOffset, float s) {
    return ((rect.width * 0.5f + rect.left) - w * 0.5f) + (panOffset * 50.0f) * s;
}

void drawCharacters(const Scene& scene, float panOffset) {
    const float s = scene.settings.pixelScale;
    for (std::size_t l = 0; l < usedLayers(scene.theme.characterCount); ++l) {
        const CharacterLayer& layer = scene.theme.characters[l];
        if (layer.pastDrawBudget) continue;
        const float shift = (panOffset * layer.xscroll) * s;
        const std::size_t n = instanceCount(layer);
        for (std::size_t i = 0; i < n; ++i) {
            if (layer.entered[i] == 0) continue;
            const ImageFrame& picture = layerPicture(layer.images, layer.frame[i]);
            const float w = static_cast<float>(picture.width) * s;
            const float h = static_cast<float>(picture.height) * s;
            const float x = shift + layer.posX[i];
            if (outsideDesktop(scene.rect, x, w)) continue;
            const float a = layer.appear[i].value;
            // While it enters, the instance slides down 32 theme pixels into place.
            const float y = layer.posY[i] - ((1.0f - a) * s) * 32.0f;
            drawImage(picture, a, x, y, w, h, layer.turn[i].value);
        }
    }
}

}  // namespace

namespace {

double pictureArea(const ImageFrame& picture) { return static_cast<double>(picture.width) * picture.height; }

double largestArea(const std::vector<ImageFrame>& row) {
    double largest = 0;
    for (const ImageFrame& picture : row) largest = std::max(largest, pictureArea(picture));
    return largest;
}

double largestArea(const std::vector<std::vector<ImageFrame>>& table) {
    double largest = 0;
    for (const auto& row : table) largest = std::max(largest, largestArea(row));
    return largest;
}

class DrawBudget {
public:
    DrawBudget(double screenArea, double scale) : screenArea_(screenArea), scaleArea_(scale * scale) {}

    void addScreens(double screens) { used_ += screens; }
    void addPicture(const ImageFrame& picture) { used_ += std::min(pictureArea(picture) * scaleArea_ / screenArea_, 1.0); }

    template <typename Layer>
    void addLayers(std::array<Layer, LayerCapacity>& layers, std::int32_t count, const char* kind,
                   std::vector<LayerPastDrawBudget>& past) {
        for (std::size_t l = 0; l < usedLayers(count); ++l) {
            Layer& layer = layers[l];
            // An instance draws at most the screen, however large its picture.
            const double each = std::min(largestArea(layer.images) * scaleArea_ / screenArea_, 1.0);
            const double screens = static_cast<double>(instanceCount(layer)) * each;
            layer.pastDrawBudget = screens > kMaxDrawnScreensPerFrame - used_;
            if (layer.pastDrawBudget) {
                past.push_back(LayerPastDrawBudget{kind, layer.name, screens});
            } else {
                used_ += screens;
            }
        }
    }

private:
    double screenArea_;
    double scaleArea_;
    double used_ = 0;
};

}  // namespace

std::vector<LayerPastDrawBudget> planDrawBudget(Scene& scene) {
    const double width = scene.rect.width, height = scene.settings.viewHeight;
    DrawBudget budget(std::max(width * height, 1.0), scene.settings.pixelScale);
    Theme& model = scene.theme;
    std::vector<LayerPastDrawBudget> past;
    // The whole-screen pictures first, then in drawing order, as drawScene draws.
    if (model.backgroundImage.bitmap) budget.addScreens(1);
    if (model.screenImage.bitmap) budget.addScreens(1);
    budget.addLayers(model.backParticles, model.backParticleCount, "particle layer", past);
    budget.addLayers(model.backSprites, model.backSpriteCount, "sprite layer", past);
    budget.addPicture(model.floorImage);
    budget.addPicture(model.ceilingImage);
    budget.addLayers(model.characters, model.characterCount, "character layer", past);
    budget.addLayers(model.frontSprites, model.frontSpriteCount, "sprite layer", past);
    budget.addLayers(model.frontParticles, model.frontParticleCount, "particle layer", past);
    return past;
}

std::vector<LayerPastDrawBudget> planDrawBudget() {
    Scene scene = defaultScene();
    return planDrawBudget(scene);
}

void drawScene(const Scene& scene) {
    const Theme& model = scene.theme;
    const GlobalSettings& settings = scene.settings;
    const float s = settings.pixelScale;
    const float p = scene.panOffset;
    const float left = scene.rect.left;
    const float top = settings.viewTop;
    if (model.backgroundImage.bitmap) {
        drawImage(model.backgroundImage, 1.0f, left, top, scene.rect.width, settings.viewHeight, 0);
    }
    drawParticles(scene, model.backParticles, model.backParticleCount, p);
    drawSprites(scene, model.backSprites, model.backSpriteCount, p);
    if (!model.floorName.empty()) {
        const float w = static_cast<float>(model.floorImage.width) * s;
        const float h = static_cast<float>(model.floorImage.height) * s;
        const float y = ((top + settings.viewHeight) - h) - static_cast<float>(settings.baseOffset) * s;
        drawImage(model.floorImage, 1.0f, centredX(scene.rect, w, p, s), y, w, h, 0);
    }
    if (!model.ceilingName.empty()) {
        const float w = static_cast<float>(model.ceilingImage.width) * s;
        const float h = static_cast<float>(model.ceilingImage.height) * s;
        drawImage(model.ceilingImage, 1.0f, centredX(scene.rect, w, p, s), top, w, h, 0);
    }
    drawCharacters(scene, p);
    drawSprites(scene, model.frontSprites, model.frontSpriteCount, p);
    drawParticles(scene, model.frontParticles, model.frontParticleCount, p);
    if (!model.screenName.empty()) {
        drawImage(model.screenImage, 1.0f, left, top, scene.rect.width, settings.viewHeight, 0);
    }
}

void drawScene() { drawScene(defaultScene()); }

}  // namespace velmora
