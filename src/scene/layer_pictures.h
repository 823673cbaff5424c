#pragma once
// Safe reads of a layer's picture table. The table always has the shape the parser gave it, but
// a variation or frame index can lie outside it when a theme declares zero or negative counts;
// such a picture reads as an empty ImageFrame (size 0, no bitmap).
#include <cstddef>
#include <cstdint>

#include "ground/theme_model.h"

namespace velmora {

inline const ImageFrame& emptyImageFrame() {
    static const ImageFrame empty;
    return empty;
}

inline const ImageFrame& layerPicture(const std::vector<std::vector<ImageFrame>>& images, std::int32_t variation, std::int32_t frame) {
    if (variation < 0 || static_cast<std::size_t>(variation) >= images.size()) return emptyImageFrame();
    const auto& row = images[static_cast<std::size_t>(variation)];
    if (frame < 0 || static_cast<std::size_t>(frame) >= row.size()) return emptyImageFrame();
    return row[static_cast<std::size_t>(frame)];
}

inline const ImageFrame& layerPicture(const std::vector<ImageFrame>& images, std::int32_t frame) {
    if (frame < 0 || static_cast<std::size_t>(frame) >= images.size()) return emptyImageFrame();
    return images[static_cast<std::size_t>(frame)];
}

// The number of instances the per-instance loops may visit: `instances`, never more than the
// arrays hold, 0 when it is 0 or below.
template <typename... Arrays>
inline std::size_t usableInstances(std::int32_t instances, const Arrays&... arrays) {
    if (instances <= 0) return 0;
    std::size_t n = static_cast<std::size_t>(instances);
    ((n = arrays.size() < n ? arrays.size() : n), ...);
    return n;
}

inline std::size_t instanceCount(const SpriteLayer& l) {
    return usableInstances(l.instances, l.posX, l.posY, l.variation, l.frame);
}

inline std::size_t instanceCount(const ParticleLayer& l) {
    return usableInstances(l.instances, l.variation, l.frame, l.posX, l.posY, l.alpha, l.alphaStep, l.fadingOut);
}

inline std::size_t instanceCount(const CharacterLayer& l) {
    return usableInstances(l.instances, l.posX, l.entered, l.posY, l.frame, l.direction, l.appear, l.turn);
}

// The used entries of a layer array: count clamped to 0 .. LayerCapacity.
inline std::size_t usedLayers(std::int32_t count) {
    if (count <= 0) return 0;
    return count > LayerCapacity ? static_cast<std::size_t>(LayerCapacity) : static_cast<std::size_t>(count);
}

}  // namespace velmora
