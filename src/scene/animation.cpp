#include "scene/animation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

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

struct ObstacleSpan {
    float left, right;
};

// The walker comparisons are made against exactly these two floats, wherever they are computed.
ObstacleSpan obstacleSpan(const SpriteLayer& obstacles, std::size_t j, float scale) {
    const float a = obstacles.posX[j];
    const float b = a + static_cast<float>(layerPicture(obstacles.images, obstacles.variation[j], 0).width) * scale;
    return {a, b};
}

}  // namespace

ObstacleHit scanObstacles(const GlobalSettings& settings, const SpriteLayer& obstacles, float x, float w0) {
    const float scale = settings.pixelScale;
    const std::size_t n = instanceCount(obstacles);
    for (std::size_t j = 0; j < n; ++j) {
        const auto [a, b] = obstacleSpan(obstacles, j, scale);
        if (x < b && x > a) return {static_cast<std::int32_t>(j), true};
        if (x + w0 > a && x + w0 < b) return {static_cast<std::int32_t>(j), false};
    }
    return {};
}

void ObstacleIndex::clear() {
    layers_.clear();
    edges_.clear();
    firstHolding_.clear();
}

std::size_t ObstacleIndex::nextUnmarked(std::size_t region) {
    while (unmarked_[region] != region) {
        unmarked_[region] = unmarked_[unmarked_[region]];  // path halving
        region = unmarked_[region];
    }
    return region;
}

std::size_t ObstacleIndex::add(const GlobalSettings& settings, const SpriteLayer& obstacles) {
    const float scale = settings.pixelScale;
    const std::size_t n = instanceCount(obstacles);
    const std::size_t first = edges_.size();
    spans_.clear();
    for (std::size_t j = 0; j < n; ++j) {
        const auto [a, b] = obstacleSpan(obstacles, j, scale);
        // No point is strictly between a and b when b <= a or either is not a number: such an
        // obstacle is never hit, and leaving it out keeps NaN out of the sorted ends.
        if (!(a < b)) continue;
        spans_.push_back({a, b, static_cast<std::int32_t>(j)});
        edges_.push_back(a);
        edges_.push_back(b);
    }
    const auto begin = edges_.begin() + static_cast<std::ptrdiff_t>(first);
    std::sort(begin, edges_.end());
    // -0 and +0 compare equal, so either may stand for both.
    edges_.erase(std::unique(begin, edges_.end()), edges_.end());
    const std::size_t m = edges_.size() - first;

    const std::size_t regions = firstHolding_.size();
    firstHolding_.resize(regions + 2 * m + 1, -1);
    unmarked_.resize(2 * m + 2);  // the last one never gets marked and ends every search
    for (std::size_t r = 0; r < unmarked_.size(); ++r) unmarked_[r] = r;
    const float* ends = edges_.data() + first;
    auto endNumber = [&](float v) { return static_cast<std::size_t>(std::lower_bound(ends, ends + m, v) - ends); };
    // Obstacles in index order, each marking the regions that no earlier one holds: the regions
    // strictly inside (a, b) are the gap above end s up to the gap below end t.
    for (const Span& span : spans_) {
        const std::size_t last = 2 * endNumber(span.right);
        for (std::size_t r = nextUnmarked(2 * endNumber(span.left) + 2); r <= last; r = nextUnmarked(r + 1)) {
            firstHolding_[regions + r] = span.obstacle;
            unmarked_[r] = r + 1;
        }
    }
    layers_.push_back({&obstacles, first, m, regions});
    return layers_.size() - 1;
}

std::int32_t ObstacleIndex::firstHolding(const Indexed& indexed, float p) const {
    if (std::isnan(p)) return -1;  // every comparison with it is false
    const float* ends = edges_.data() + indexed.edges;
    const float* end = ends + indexed.edgeCount;
    const float* at = std::lower_bound(ends, end, p);
    const auto k = static_cast<std::size_t>(at - ends);
    const std::size_t region = at != end && *at == p ? 2 * k + 1 : 2 * k;
    return firstHolding_[indexed.regions + region];
}

ObstacleHit ObstacleIndex::find(std::size_t indexed, float x, float w0) const {
    const Indexed& layer = layers_[indexed];
    const std::int32_t left = firstHolding(layer, x);
    const std::int32_t right = firstHolding(layer, x + w0);
    // The scan stops at the first obstacle holding either edge, and tries the left edge first.
    if (left >= 0 && (right < 0 || left <= right)) return {left, true};
    if (right >= 0) return {right, false};
    return {};
}

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

void updateSprites(const GlobalSettings& settings, SpriteLayer& layer, std::int32_t elapsedMs, float dx, float sceneLeft, float sceneWidth) {
    const std::size_t n = instanceCount(layer);
    stepFrameClock(layer, elapsedMs, n);
    if (layer.xanimation == 0 || n == 0) return;
    const float scale = settings.pixelScale;
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

void updateParticles(const GlobalSettings& settings, ParticleLayer& layer, std::int32_t elapsedMs, float dx, float dy, float sceneLeft, float sceneWidth) {
    const std::size_t n = instanceCount(layer);
    stepFrameClock(layer, elapsedMs, n);
    const float scale = settings.pixelScale;
    const std::int32_t wi = truncateToInt(sceneWidth);
    const std::int32_t li = truncateToInt(sceneLeft);
    const std::int32_t hi = truncateToInt(settings.viewHeight);
    const std::int32_t ti = truncateToInt(settings.viewTop);
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

namespace {

// One update of a walking layer: every instance steps, is placed by before, turns at the scene's
// edges (entering the scene on a turn when enterOnTurn), is looked at again by after, and moves
// its tweens on.
template <typename Before, typename After>
void walk(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, bool enterOnTurn, Before before,
          After after) {
    const std::size_t n = instanceCount(layer);
    stepFrameClock(layer, elapsedMs, n);
    if (n == 0) return;
    const float scale = settings.pixelScale;
    const float e = static_cast<float>(elapsedMs);
    const float w0 = static_cast<float>(layerPicture(layer.images, 0).width) * scale;
    for (std::size_t i = 0; i < n; ++i) {
        move(layer, i, e, scale);
        before(i);
        turnAtEdges(layer, i, sceneLeft, sceneWidth, w0, enterOnTurn);
        after(i, w0, scale);
        stepTweens(layer, i, elapsedMs);
    }
}

}  // namespace

void walkFloor(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, float floorY) {
    const float h0 = static_cast<float>(layerPicture(layer.images, 0).height) * settings.pixelScale;
    walk(
        settings, layer, elapsedMs, sceneLeft, sceneWidth, false, [&](std::size_t i) { layer.posY[i] = floorY - h0; },
        [&](std::size_t i, float, float) {
            if (layer.entered[i] == 0) enter(layer, i);
        });
}

void walkSine(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, float viewBottom, float lift) {
    walk(
        settings, layer, elapsedMs, sceneLeft, sceneWidth, false,
        [&](std::size_t i) { layer.posY[i] = sineF(0.01f * layer.posX[i]) * (lift * 1.5f) + viewBottom; },
        [&](std::size_t i, float, float) {
            if (layer.entered[i] == 0) enter(layer, i);
        });
}

void walkBetween(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, const ObstacleIndex& index,
                 std::size_t indexed) {
    walk(
        settings, layer, elapsedMs, sceneLeft, sceneWidth, true, [](std::size_t) {},
        [&](std::size_t i, float w0, float scale) {
            const ObstacleHit hit = index.find(indexed, layer.posX[i], w0);
            if (hit.obstacle < 0) return;
            const auto [a, b] = obstacleSpan(index.obstacles(indexed), static_cast<std::size_t>(hit.obstacle), scale);
            layer.posX[i] = hit.leftEdge ? b : a - w0;
            turnAround(layer, i);
            if (layer.entered[i] == 0) enter(layer, i);
        });
}

void walkBetween(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, const SpriteLayer& obstacles) {
    ObstacleIndex index;
    walkBetween(settings, layer, elapsedMs, sceneLeft, sceneWidth, index, index.add(settings, obstacles));
}

namespace {

// Obstacle layers are told apart by a slot: backSprites[l] is slot l, frontSprites[l] slot
// LayerCapacity + l.
constexpr std::size_t kObstacleSlots = 2 * LayerCapacity;

std::size_t findObstacles(const Theme& model, const std::u16string& name) {
    for (std::size_t l = 0; l < usedLayers(model.backSpriteCount); ++l) {
        if (model.backSprites[l].name == name) return l;
    }
    for (std::size_t l = 0; l < usedLayers(model.frontSpriteCount); ++l) {
        if (model.frontSprites[l].name == name) return LayerCapacity + l;
    }
    return kObstacleSlots;
}

const SpriteLayer& obstacleSlot(const Theme& model, std::size_t slot) {
    return slot < LayerCapacity ? model.backSprites[slot] : model.frontSprites[slot - LayerCapacity];
}

// The obstacle index of the update in progress; kept from one update to the next for its storage.
ObstacleIndex obstacleIndex;

}  // namespace

void updateScene(Scene& scene, std::int32_t elapsedMs) {
    Theme& model = scene.theme;
    const GlobalSettings& settings = scene.settings;
    const float e = static_cast<float>(elapsedMs);
    const SceneGeometry g = sceneGeometry(scene);
    for (std::size_t l = 0; l < usedLayers(model.frontSpriteCount); ++l) {
        SpriteLayer& layer = model.frontSprites[l];
        updateSprites(settings, layer, elapsedMs, e * layer.xanimation, g.sceneLeft, g.sceneWidth);
    }
    for (std::size_t l = 0; l < usedLayers(model.backSpriteCount); ++l) {
        SpriteLayer& layer = model.backSprites[l];
        updateSprites(settings, layer, elapsedMs, e * layer.xanimation, g.sceneLeft, g.sceneWidth);
    }
    // The sprites have moved for this update and stay put until the next: each obstacle layer is
    // indexed once, when a character layer first walks against it.
    obstacleIndex.clear();
    constexpr std::size_t kNotIndexed = SIZE_MAX;
    std::array<std::size_t, kObstacleSlots> indexed;
    indexed.fill(kNotIndexed);
    for (std::size_t l = 0; l < usedLayers(model.characterCount); ++l) {
        CharacterLayer& layer = model.characters[l];
        if (layer.type == CharacterType::Between) {
            const std::size_t slot = findObstacles(model, layer.between);
            if (slot < kObstacleSlots) {
                if (indexed[slot] == kNotIndexed) indexed[slot] = obstacleIndex.add(settings, obstacleSlot(model, slot));
                walkBetween(settings, layer, elapsedMs, g.sceneLeft, g.sceneWidth, obstacleIndex, indexed[slot]);
            }
        } else if (layer.type == CharacterType::Floor) {
            walkFloor(settings, layer, elapsedMs, g.sceneLeft, g.sceneWidth, g.floorY);
        } else if (layer.type == CharacterType::Sine) {
            const float lift = (static_cast<float>(settings.baseOffset) + model.params.ycollider) * settings.pixelScale;
            walkSine(settings, layer, elapsedMs, g.sceneLeft, g.sceneWidth, g.viewBottom, lift);
        }
    }
    for (std::size_t l = 0; l < usedLayers(model.backParticleCount); ++l) {
        ParticleLayer& layer = model.backParticles[l];
        updateParticles(settings, layer, elapsedMs, e * layer.xanimation, e * layer.yanimation, g.sceneLeft, g.sceneWidth);
    }
    for (std::size_t l = 0; l < usedLayers(model.frontParticleCount); ++l) {
        ParticleLayer& layer = model.frontParticles[l];
        updateParticles(settings, layer, elapsedMs, e * layer.xanimation, e * layer.yanimation, g.sceneLeft, g.sceneWidth);
    }
}

void updateScene(std::int32_t elapsedMs) {
    Scene scene = defaultScene();
    updateScene(scene, elapsedMs);
}

}  // namespace velmora
