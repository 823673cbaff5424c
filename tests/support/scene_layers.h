#pragma once
// Building theme layers in memory the way the parser shapes them, with fake pictures of chosen
// sizes, so that layout, animation and drawing can be tested without theme files.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "support/recording_graphics_device.h"
#include "ground/theme_model.h"

namespace velmora::testing {

inline ImageFrame fakePicture(std::int32_t width, std::int32_t height, std::int32_t filter = 0) {
    static const auto liveCount = std::make_shared<int>(0);
    ImageFrame frame;
    frame.width = width;
    frame.height = height;
    frame.bitmap = std::make_unique<FakeBitmap>(width, height, liveCount, u"fake");
    frame.filter = filter;
    return frame;
}

using PictureSize = std::pair<std::int32_t, std::int32_t>;

// Fake pictures [variation][frame]: every frame of variation v gets sizes[v].
inline std::vector<std::vector<ImageFrame>> fakePictureRows(const std::vector<PictureSize>& sizes, std::int32_t frames,
                                                            std::int32_t filter) {
    std::vector<std::vector<ImageFrame>> rows;
    for (const auto& [w, h] : sizes) {
        std::vector<ImageFrame> row;
        for (std::int32_t f = 0; f < frames; ++f) row.push_back(fakePicture(w, h, filter));
        rows.push_back(std::move(row));
    }
    return rows;
}

// The counts and the per-instance places, variations and frames that sprite and particle layers
// share, all zero.
template <typename Layer>
void shapeInstances(Layer& layer, std::int32_t instances, std::size_t variations, std::int32_t frames) {
    const auto n = static_cast<std::size_t>(instances);
    layer.instances = instances;
    layer.variations = static_cast<std::int32_t>(variations);
    layer.frames = frames;
    layer.posX.assign(n, 0);
    layer.posY.assign(n, 0);
    layer.variation.assign(n, 0);
    layer.frame.assign(n, 0);
}

inline void shapeSprites(SpriteLayer& layer, std::int32_t instances, const std::vector<PictureSize>& sizes, std::int32_t frames = 1) {
    shapeInstances(layer, instances, sizes.size(), frames);
    layer.images = fakePictureRows(sizes, frames, 0);
}

inline void shapeParticles(ParticleLayer& layer, std::int32_t instances, const std::vector<PictureSize>& sizes, std::int32_t frames = 1) {
    shapeInstances(layer, instances, sizes.size(), frames);
    const auto n = static_cast<std::size_t>(instances);
    layer.alpha.assign(n, 0);
    layer.alphaStep.assign(n, 0);
    layer.fadingOut.assign(n, 0);
    layer.images = fakePictureRows(sizes, frames, 1);
}

inline void shapeCharacters(CharacterLayer& layer, std::int32_t instances, PictureSize size, std::int32_t frames = 1) {
    const auto n = static_cast<std::size_t>(instances);
    layer.instances = instances;
    layer.frames = frames;
    layer.posX.assign(n, 0);
    layer.entered.assign(n, 0);
    layer.posY.assign(n, 0);
    layer.frame.assign(n, 0);
    layer.direction.assign(n, 1);
    Tween idle;
    idle.value = 1;
    layer.appear.assign(n, idle);
    layer.turn.assign(n, idle);
    layer.images.clear();
    for (std::int32_t f = 0; f < frames; ++f) layer.images.push_back(fakePicture(size.first, size.second));
}

}  // namespace velmora::testing
