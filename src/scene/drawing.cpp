#include "scene/drawing.h"

#include "ground/records.h"
#include "ports/platform.h"
#include "scene/layer_pictures.h"

namespace velmora {

namespace {

// Sprites and characters wholly beside the desktop window are not drawn; an edge exactly on the
// window's edge still is.
bool outsideDesktop(float x, float w) {
    return x > desktopHost.desktopWidth + desktopHost.desktopLeft || x + w < desktopHost.desktopLeft;
}

}  // namespace

void drawImage(const ImageFrame& picture, float opacity, float x, float y, float w, float h, float mirror) {
    if (!picture.bitmap || !desktopHost.frameTarget) return;
    platform().graphics->drawPicture(*picture.bitmap,
                                     PicturePlacement{x, y, w, h, opacity, mirror, static_cast<Interpolation>(picture.filter)});
}

void drawParticles(const std::array<ParticleLayer, LayerCapacity>& layers, std::int32_t count, float panOffset) {
    const float s = globalSettings.pixelScale;
    for (std::size_t l = 0; l < usedLayers(count); ++l) {
        const ParticleLayer& layer = layers[l];
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

void drawSprites(const std::array<SpriteLayer, LayerCapacity>& layers, std::int32_t count, float panOffset) {
    const float s = globalSettings.pixelScale;
    for (std::size_t l = 0; l < usedLayers(count); ++l) {
        const SpriteLayer& layer = layers[l];
        const float shift = (panOffset * layer.xscroll) * s;
        const std::size_t n = instanceCount(layer);
        for (std::size_t i = 0; i < n; ++i) {
            const ImageFrame& picture = layerPicture(layer.images, layer.variation[i], layer.frame[i]);
            const float w = static_cast<float>(picture.width) * s;
            const float h = static_cast<float>(picture.height) * s;
            const float x = shift + layer.posX[i];
            if (outsideDesktop(x, w)) continue;
            drawImage(picture, 1.0f, x, layer.posY[i], w, h, 0);
        }
    }
}

namespace {

// The floor and ceiling: centred on the desktop window, panning like a layer with xscroll 50.
float centredX(float w, float panOffset, float s) {
    return ((desktopHost.desktopWidth * 0.5f + desktopHost.desktopLeft) - w * 0.5f) + (panOffset * 50.0f) * s;
}

void drawCharacters(float panOffset) {
    const float s = globalSettings.pixelScale;
    for (std::size_t l = 0; l < usedLayers(theme.characterCount); ++l) {
        const CharacterLayer& layer = theme.characters[l];
        const float shift = (panOffset * layer.xscroll) * s;
        const std::size_t n = instanceCount(layer);
        for (std::size_t i = 0; i < n; ++i) {
            if (layer.entered[i] == 0) continue;
            const ImageFrame& picture = layerPicture(layer.images, layer.frame[i]);
            const float w = static_cast<float>(picture.width) * s;
            const float h = static_cast<float>(picture.height) * s;
            const float x = shift + layer.posX[i];
            if (outsideDesktop(x, w)) continue;
            const float a = layer.appear[i].value;
            // While it enters, the instance slides down 32 theme pixels into place.
            const float y = layer.posY[i] - ((1.0f - a) * s) * 32.0f;
            drawImage(picture, a, x, y, w, h, layer.turn[i].value);
        }
    }
}

}  // namespace

void drawScene() {
    const float s = globalSettings.pixelScale;
    const float p = appState.panOffset;
    const float left = desktopHost.desktopLeft;
    const float top = globalSettings.viewTop;
    if (theme.backgroundImage.bitmap) {
        drawImage(theme.backgroundImage, 1.0f, left, top, desktopHost.desktopWidth, globalSettings.viewHeight, 0);
    }
    drawParticles(theme.backParticles, theme.backParticleCount, p);
    drawSprites(theme.backSprites, theme.backSpriteCount, p);
    if (!theme.floorName.empty()) {
        const float w = static_cast<float>(theme.floorImage.width) * s;
        const float h = static_cast<float>(theme.floorImage.height) * s;
        const float y = ((top + globalSettings.viewHeight) - h) - static_cast<float>(globalSettings.baseOffset) * s;
        drawImage(theme.floorImage, 1.0f, centredX(w, p, s), y, w, h, 0);
    }
    if (!theme.ceilingName.empty()) {
        const float w = static_cast<float>(theme.ceilingImage.width) * s;
        const float h = static_cast<float>(theme.ceilingImage.height) * s;
        drawImage(theme.ceilingImage, 1.0f, centredX(w, p, s), top, w, h, 0);
    }
    drawCharacters(p);
    drawSprites(theme.frontSprites, theme.frontSpriteCount, p);
    drawParticles(theme.frontParticles, theme.frontParticleCount, p);
    if (!theme.screenName.empty()) {
        drawImage(theme.screenImage, 1.0f, left, top, desktopHost.desktopWidth, globalSettings.viewHeight, 0);
    }
}

}  // namespace velmora
