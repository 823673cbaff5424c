#pragma once
// The per-frame animation: sprites scroll and wrap, particles drift, fade and reappear,
// characters walk and turn, and every layer steps its frames. Nothing is allocated per update,
// except by the obstacle index while it grows to the largest theme seen.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ground/theme_model.h"
#include "scene/scene.h"

namespace velmora {

// What a between-walker with its left edge at x and its right edge at x + w0 runs into: the first
// obstacle, in index order, whose open span (a, b) holds one of its edges, b being a plus the
// obstacle's width x pixelScale. When both edges are in that obstacle the left one counts.
struct ObstacleHit {
    std::int32_t obstacle = -1;  // -1: none
    bool leftEdge = false;
    friend bool operator==(const ObstacleHit&, const ObstacleHit&) = default;
};

// The plain scan over every obstacle: the answer the index below must give.
ObstacleHit scanObstacles(const GlobalSettings& settings, const SpriteLayer& obstacles, float x, float w0);

// The spans of obstacle layers, indexed once per update so that a walker's look-up costs two
// binary searches instead of a pass over every obstacle. The distinct span ends of a layer,
// sorted, cut the line into regions (each end, and the open gaps between them); every region
// keeps the first obstacle holding it, so a point only has to find its region. The storage is
// kept between updates and grows only for a layer set larger than any before.
class ObstacleIndex {
public:
    // Forgets every indexed layer, keeping the storage.
    void clear();
    // Indexes the obstacles' spans as they are now; returns the number to look them up by. The
    // layer must stay in place while the index is used.
    std::size_t add(const GlobalSettings& settings, const SpriteLayer& obstacles);
    ObstacleHit find(std::size_t indexed, float x, float w0) const;
    const SpriteLayer& obstacles(std::size_t indexed) const { return *layers_[indexed].obstacles; }

private:
    struct Indexed {
        const SpriteLayer* obstacles;
        std::size_t edges;      // first of its ends in edges_
        std::size_t edgeCount;  // m
        std::size_t regions;    // first of its 2m + 1 regions in firstHolding_
    };
    struct Span {
        float left, right;
        std::int32_t obstacle;
    };
    std::int32_t firstHolding(const Indexed& indexed, float p) const;
    std::size_t nextUnmarked(std::size_t region);

    std::vector<Indexed> layers_;
    std::vector<float> edges_;
    // Region 2k is the gap below end k, 2k + 1 end k itself, 2m the gap above the last end;
    // -1 where no obstacle holds the region.
    std::vector<std::int32_t> firstHolding_;
    // Scratch of add: the layer's non-empty spans, and for marking regions the next region not
    // yet given an obstacle.
    std::vector<Span> spans_;
    std::vector<std::size_t> unmarked_;
};

// Advances every layer of the scene by elapsedMs milliseconds.
void updateScene(Scene& scene, std::int32_t elapsedMs);
// Of the default scene.
void updateScene(std::int32_t elapsedMs);

// dx (and dy) are this update's displacement in theme pixels: elapsed time x xanimation.
void updateSprites(const GlobalSettings& settings, SpriteLayer& layer, std::int32_t elapsedMs, float dx, float sceneLeft, float sceneWidth);
void updateParticles(const GlobalSettings& settings, ParticleLayer& layer, std::int32_t elapsedMs, float dx, float dy, float sceneLeft, float sceneWidth);

void walkFloor(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, float floorY);
// lift is (baseOffset + ycollider) x pixelScale.
void walkSine(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, float viewBottom, float lift);
// Walks against the obstacle layer `indexed` of index; updateScene indexes each obstacle layer once
// per update for all the character layers walking against it.
void walkBetween(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, const ObstacleIndex& index,
                 std::size_t indexed);
// The same with an index built for this one call.
void walkBetween(const GlobalSettings& settings, CharacterLayer& layer, std::int32_t elapsedMs, float sceneLeft, float sceneWidth, const SpriteLayer& obstacles);

void stepTween(Tween& tween, std::int32_t elapsedMs);

}  // namespace velmora
