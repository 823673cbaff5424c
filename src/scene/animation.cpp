#include "scene/animation.h"

#include <cmath>

#include "ground/records.h"
#include "ground/float_conversion.h"
#include "scene/layer_pictures.h"
#include "ground/random.h"
#include "scene/scene_geometry.h"
#include "scene/sine.h"

namespace velmora {

namespace {

// The single-precision value of 1/60 the tweens scale by.
constexpr float kOneSixtieth = 0.016666668f;

// Adds the elapsed time to the layer's clock and, once more than `duration` has passed since the
// last step, moves every instance on by one frame. Differences wrap like 32-bit counters.
template <typename Layer>
void stepFrameClock(Layer& layer, std::int32_t elapsedMs, std::size_t n) {
    layer.clock = wrappingAdd(layer.clock, elapsedMs);
    if (wrappingSub(layer.clock, layer.lastStep) > layer.duration) {
        layer.lastStep = layer.clock;
        for (std::size_t i = 0; i < n; ++i) {
            const std::int32_t next = wrappingAdd(layer.frame[i], 1);
            layer.frame[i] = next >= layer.frames ? 0 : next;
        }
    }
}

void turnAround(CharacterLayer& layer, std::size_t i) {
    layer.direction[i] = -layer.direction[i];
    Tween& turn = layer.turn[i];
    turn.rate = 0.06f / (0.00625f / layer.speed);
    turn.remaining = 60.0f;
    turn.delay = 0;
    turn.delayRate = 100.0f;
    if (layer.direction[i] == -1) {
        turn.mode = 0;
        turn.value = 0;
    } else {
        turn.mode = 1;
        turn.value = 1.0f;
    }
}

void enter(CharacterLayer& layer, std::size_t i) {
    Tween& appear = layer.appear[i];
    appear.rate = 0.06f / layer.appearTime;
    appear.mode = 0;
    appear.value = 0;
    appear.remaining = 60.0f;
    appear.delay = 0;
    appear.delayRate = 100.0f;
    layer.entered[i] = 1;
}

void move(CharacterLayer& layer, std::size_t i, float e, float scale) {
    layer.posX[i] = layer.posX[i] + ((static_cast<float>(layer.direction[i]) * e) * layer.speed) * scale;
}

// Turns an instance that stands beyond an edge of the scene back toward it. Only an instance
// still heading outward turns: one that already faces inward keeps walking back in, however far
// out a long step has left it, instead of turning back and forth on every update.
void turnAtEdges(CharacterLayer& layer, std::size_t i, float sceneLeft, float sceneWidth, float w0, bool enterOnTurn) {
    if (sceneLeft > layer.posX[i] && layer.direction[i] == -1) {
        turnAround(layer, i);
        if (enterOnTurn && layer.entered[i] == 0) enter(layer, i);
    }
    if (layer.posX[i] + w0 > sceneLeft + sceneWidth && layer.direction[i] == 1) {
        turnAround(layer, i);
        if (enterOnTurn && layer.entered[i] == 0) enter(layer, i);
    }
}

void stepTweens(CharacterLayer& layer, std::size_t i, std::int32_t elapsedMs) {
    stepTween(layer.appear[i], elapsedMs);
    stepTween(layer.turn[i], elapsedMs);
}

}  // namespace

void stepTween(Tween& tween, std::int32_t elapsedMs) {
    if (!(tween.remaining > 0)) return;
    tween.remaining = tween.remaining - static_cast<float>(elapsedMs) * tween.rate;
    if (tween.mode == 0) {
        tween.value = 1.0f - tween.remaining * kOneSixtieth;
    } else if (tween.mode == 1) {
        tween.value = tween.remaining * kOneSixtieth;
    }
    if (tween.value > 1.0f) {
        tween.value = 1.0f;
    } else if (!(tween.value >= 0)) {
        tween.value = 0;
    }
    if (!(tween.remaining > 0)) tween.remaining = 0;
}

void updateSprites(SpriteLayer& layer, std::int32_t elapsedMs, float dx, float sceneLeft, float sceneWidth) {
    const std::size_t n = instanceCount(layer);
    stepFrameClock(layer, elapsedMs, n);
    if (layer.xanimation == 0 || n == 0) return;
    const float scale = globalSettings.pixelScale;
    const float count = static_cast<float>(layer.instances);
    for (std::size_t i = 0; i < n; ++i) {
        const float w = static_cast<float>(layerPicture(layer.images, layer.variation[i], 0).width) * scale;
        float& x = layer.posX[i];
        x = x + scale * dx;
        if (layer.xoffset) {
            const float t = count * w;
            if (x < sceneLeft - t * 0.5f) {
                x = x + t;
            } else if (x > t * 0.5f + sceneLeft) {
                x = x - t;
            }
        } else {
            if (x < sceneLeft - w) {
                x = sceneLeft + sceneWidth;
            } else if (x > sceneLeft + sceneWidth) {
                x = sceneLeft - w;
            }
        }
    }
}

void updateParticles(ParticleLayer& layer, std::int32_t elapsedMs, float dx, float dy, float sceneLeft, float sceneWidth) {
    const std::size_t n = instanceCount(layer);
    stepFrameClock(layer, elapsedMs, n);
    const float scale = globalSettings.pixelScale;
    const std::int32_t wi = truncateToInt(sceneWidth);
    const std::int32_t li = truncateToInt(sceneLeft);
    const std::int32_t hi = truncateToInt(globalSettings.viewHeight);
    const std::int32_t ti = truncateToInt(globalSettings.viewTop);
    for (std::size_t i = 0; i < n; ++i) {
        if (layer.fadingOut[i] != 0) {
            layer.alpha[i] = layer.alpha[i] - layer.alphaStep[i];
            if (!(layer.alpha[i] > 0)) {
                layer.posX[i] = static_cast<float>(wrappingAdd(randomRemainder(nextRandom(), wi), li));
                layer.posY[i] = static_cast<float>(wrappingAdd(randomRemainder(nextRandom(), hi), ti));
                layer.alpha[i] = 0;
                layer.fadingOut[i] = 0;
            }
        } else {
            layer.alpha[i] = layer.alpha[i] + layer.alphaStep[i];
            if (!(layer.alpha[i] < 1.0f)) {
                layer.alpha[i] = 1.0f;
                layer.fadingOut[i] = 1;
            }
        }
        layer.posX[i] = layer.posX[i] + scale * dx;
        layer.posY[i] = layer.posY[i] + scale * dy;
    }
}

void walkFloor(CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, float floorY) {
    const std::size_t n = instanceCount(layer);
    stepFrameClock(layer, elapsedMs, n);
    if (n == 0) return;
    const float scale = globalSettings.pixelScale;
    const float e = static_cast<float>(elapsedMs);
    const ImageFrame& first = layerPicture(layer.images, 0);
    const float w0 = static_cast<float>(first.width) * scale;
    const float h0 = static_cast<float>(first.height) * scale;
    for (std::size_t i = 0; i < n; ++i) {
        move(layer, i, e, scale);
        layer.posY[i] = floorY - h0;
        turnAtEdges(layer, i, sceneLeft, sceneWidth, w0, false);
        if (layer.entered[i] == 0) enter(layer, i);
        stepTweens(layer, i, elapsedMs);
    }
}

void walkSine(CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, float viewBottom, float lift) {
    const std::size_t n = instanceCount(layer);
    stepFrameClock(layer, elapsedMs, n);
    if (n == 0) return;
    const float scale = globalSettings.pixelScale;
    const float e = static_cast<float>(elapsedMs);
    const float w0 = static_cast<float>(layerPicture(layer.images, 0).width) * scale;
    for (std::size_t i = 0; i < n; ++i) {
        move(layer, i, e, scale);
        layer.posY[i] = sineF(0.01f * layer.posX[i]) * (lift * 1.5f) + viewBottom;
        turnAtEdges(layer, i, sceneLeft, sceneWidth, w0, false);
        if (layer.entered[i] == 0) enter(layer, i);
        stepTweens(layer, i, elapsedMs);
    }
}

void walkBetween(CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, const SpriteLayer& obstacles) {
    const std::size_t n = instanceCount(layer);
    stepFrameClock(layer, elapsedMs, n);
    if (n == 0) return;
    const float scale = globalSettings.pixelScale;
    const float e = static_cast<float>(elapsedMs);
    const float w0 = static_cast<float>(layerPicture(layer.images, 0).width) * scale;
    const std::size_t obstacleCount = instanceCount(obstacles);
    for (std::size_t i = 0; i < n; ++i) {
        move(layer, i, e, scale);
        turnAtEdges(layer, i, sceneLeft, sceneWidth, w0, true);
        const float x = layer.posX[i];
        for (std::size_t j = 0; j < obstacleCount; ++j) {
            const float a = obstacles.posX[j];
            const float b = a + static_cast<float>(layerPicture(obstacles.images, obstacles.variation[j], 0).width) * scale;
            bool hit = false;
            if (x < b && x > a) {
                layer.posX[i] = b;
                hit = true;
            } else if (x + w0 > a && x + w0 < b) {
                layer.posX[i] = a - w0;
                hit = true;
            }
            if (hit) {
                turnAround(layer, i);
                if (layer.entered[i] == 0) enter(layer, i);
                break;
            }
        }
        stepTweens(layer, i, elapsedMs);
    }
}

namespace {

const SpriteLayer* findObstacles(const std::u16string& name) {
    for (std::size_t l = 0; l < usedLayers(theme.backSpriteCount); ++l) {
        if (theme.backSprites[l].name == name) return &theme.backSprites[l];
    }
    for (std::size_t l = 0; l < usedLayers(theme.frontSpriteCount); ++l) {
        if (theme.frontSprites[l].name == name) return &theme.frontSprites[l];
    }
    return nullptr;
}

}  // namespace

void updateScene(std::int32_t elapsedMs) {
    const float e = static_cast<float>(elapsedMs);
    const SceneGeometry g = sceneGeometry();
    for (std::size_t l = 0; l < usedLayers(theme.frontSpriteCount); ++l) {
        SpriteLayer& layer = theme.frontSprites[l];
        updateSprites(layer, elapsedMs, e * layer.xanimation, g.sceneLeft, g.sceneWidth);
    }
    for (std::size_t l = 0; l < usedLayers(theme.backSpriteCount); ++l) {
        SpriteLayer& layer = theme.backSprites[l];
        updateSprites(layer, elapsedMs, e * layer.xanimation, g.sceneLeft, g.sceneWidth);
    }
    for (std::size_t l = 0; l < usedLayers(theme.characterCount); ++l) {
        CharacterLayer& layer = theme.characters[l];
        if (layer.type == u"between") {
            if (const SpriteLayer* obstacles = findObstacles(layer.between)) {
                walkBetween(layer, elapsedMs, g.sceneLeft, g.sceneWidth, *obstacles);
            }
        } else if (layer.type == u"floor") {
            walkFloor(layer, elapsedMs, g.sceneLeft, g.sceneWidth, g.floorY);
        } else if (layer.type == u"sine") {
            const float lift = (static_cast<float>(globalSettings.baseOffset) + theme.params.ycollider) * globalSettings.pixelScale;
            walkSine(layer, elapsedMs, g.sceneLeft, g.sceneWidth, g.viewBottom, lift);
        }
    }
    for (std::size_t l = 0; l < usedLayers(theme.backParticleCount); ++l) {
        ParticleLayer& layer = theme.backParticles[l];
        updateParticles(layer, elapsedMs, e * layer.xanimation, e * layer.yanimation, g.sceneLeft, g.sceneWidth);
    }
    for (std::size_t l = 0; l < usedLayers(theme.frontParticleCount); ++l) {
        ParticleLayer& layer = theme.frontParticles[l];
        updateParticles(layer, elapsedMs, e * layer.xanimation, e * layer.yanimation, g.sceneLeft, g.sceneWidth);
    }
}

}  // namespace velmora
