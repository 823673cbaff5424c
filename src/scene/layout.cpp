#include "scene/layout.h"

#include <cstdint>

#include "ground/float_conversion.h"
#include "scene/drawing.h"
#include "scene/layer_pictures.h"
#include "ground/random.h"
#include "scene/scene_geometry.h"

namespace velmora {

namespace {

// A draw by the separation span (max - min + 1), taken in 64 bits so that extreme theme values
// cannot overflow; a negative span counts by its magnitude and a span of 0 as 1.
std::int64_t remainderBySpan(std::int32_t draw, std::int32_t minimum, std::int32_t maximum) {
    std::int64_t span = static_cast<std::int64_t>(maximum) - minimum + 1;
    if (span < 0) span = -span;
    if (span == 0) span = 1;
    return draw % span;
}

}  // namespace

void layoutSprites(const GlobalSettings& settings, SpriteLayer& layer, float sceneLeft, float baseline) {
    const std::size_t n = instanceCount(layer);
    if (n == 0) return;
    const float scale = settings.pixelScale;
    const float count = static_cast<float>(layer.instances);
    float x = sceneLeft;
    for (std::size_t i = 0; i < n; ++i) {
        layer.variation[i] = randomRemainder(nextRandom(), layer.variations);
        const ImageFrame& first = layerPicture(layer.images, layer.variation[i], 0);
        const float w = static_cast<float>(first.width) * scale;
        const float h = static_cast<float>(first.height) * scale;
        if (layer.xoffset) x = (sceneLeft - (count * w) * 0.5f) + static_cast<float>(i) * w;
        const std::int64_t r = layer.yseparationmin + remainderBySpan(nextRandom(), layer.yseparationmin, layer.yseparationmax);
        layer.posX[i] = x;
        layer.posY[i] = baseline - static_cast<float>(r * layer.ydirection) * h;
        const std::int64_t s = layer.xseparationmin + remainderBySpan(nextRandom(), layer.xseparationmin, layer.xseparationmax);
        x = x + static_cast<float>(s) * w;
    }
}

void layoutCharacters(const GlobalSettings& settings, CharacterLayer& layer, float sceneLeft, float sceneWidth, float floorY) {
    const std::size_t n = instanceCount(layer);
    if (n == 0) return;
    const float scale = settings.pixelScale;
    const float q = 1.0f / static_cast<float>(layer.instances);
    const float h0 = static_cast<float>(layerPicture(layer.images, 0).height) * scale;
    for (std::size_t i = 0; i < n; ++i) {
        layer.appear[i].value = 1.0f;
        layer.appear[i].remaining = 0;
        layer.entered[i] = 0;
        const std::int32_t slice = truncateToInt((static_cast<float>(i) * sceneWidth) * q);
        const std::int32_t sliceEnd = roundToInt((static_cast<float>(i + 1) * (sceneWidth * 0.9f)) * q);
        // Past the tenth instance the span can be 0 or negative; the remainder is then taken by
        // its magnitude (0 gives 0), which keeps the instance at its slice start.
        const std::int32_t span = narrowToInt(static_cast<std::int64_t>(sliceEnd) - slice + 1);
        layer.posX[i] = (static_cast<float>(randomRemainder(nextRandom(), span)) + sceneLeft) + static_cast<float>(slice);
        nextRandom();
        layer.posY[i] = floorY - h0;
        const std::int32_t t = nextRandom();
        if (t % 2 == 0) {
            layer.direction[i] = -1;
            layer.turn[i].value = 1.0f;
        } else {
            layer.direction[i] = 1;
            layer.turn[i].value = 0;
        }
        layer.turn[i].remaining = 0;
    }
}

void layoutParticles(const GlobalSettings& settings, ParticleLayer& layer, float sceneLeft, float sceneWidth) {
    const std::size_t n = instanceCount(layer);
    if (n == 0) return;
    const std::int32_t wi = truncateToInt(sceneWidth);
    const std::int32_t hi = truncateToInt(settings.viewHeight);
    const float viewTop = settings.viewTop;
    for (std::size_t i = 0; i < n; ++i) {
        layer.variation[i] = randomRemainder(nextRandom(), layer.variations);
        layer.posX[i] = static_cast<float>(randomRemainder(nextRandom(), wi)) + sceneLeft;
        layer.posY[i] = static_cast<float>(randomRemainder(nextRandom(), hi)) + viewTop;
        layer.alpha[i] = 1.0f / static_cast<float>(1 + nextRandom() % 10);
        layer.alphaStep[i] = 1.0f / static_cast<float>(30 + nextRandom() % 120);
        layer.fadingOut[i] = 1;
    }
}

namespace {

float spriteBaseline(const GlobalSettings& settings, const SpriteLayer& layer, const SceneGeometry& g) {
    if (layer.yposition == SpriteAnchor::Floor) return g.floorY;
    if (layer.yposition == SpriteAnchor::Top) return settings.viewTop;
    if (layer.yposition == SpriteAnchor::Bottom) return g.groundY;
    return 0;
}

}  // namespace

void layoutScene(Scene& scene) {
    const SceneGeometry g = sceneGeometry(scene);
    const GlobalSettings& settings = scene.settings;
    Theme& model = scene.theme;
    for (std::size_t l = 0; l < usedLayers(model.frontSpriteCount); ++l) {
        layoutSprites(settings, model.frontSprites[l], g.sceneLeft, spriteBaseline(settings, model.frontSprites[l], g));
    }
    for (std::size_t l = 0; l < usedLayers(model.backSpriteCount); ++l) {
        layoutSprites(settings, model.backSprites[l], g.sceneLeft, spriteBaseline(settings, model.backSprites[l], g));
    }
    for (std::size_t l = 0; l < usedLayers(model.characterCount); ++l) {
        layoutCharacters(settings, model.characters[l], g.sceneLeft, g.sceneWidth, g.floorY);
    }
    for (std::size_t l = 0; l < usedLayers(model.backParticleCount); ++l) {
        layoutParticles(settings, model.backParticles[l], g.sceneLeft, g.sceneWidth);
    }
    for (std::size_t l = 0; l < usedLayers(model.frontParticleCount); ++l) {
        layoutParticles(settings, model.frontParticles[l], g.sceneLeft, g.sceneWidth);
    }
    // The scene's size and scale are known now: which layers a frame can afford.
    planDrawBudget(scene);
}

void layoutScene() {
    Scene scene = defaultScene();
    layoutScene(scene);
}

}  // namespace velmora
