#include "theme/theme_model.h"

#include <utility>

namespace velmora {

Theme theme;

namespace {

// Reset keeps the element's extension: it is set again by every line that adds the element.
template <typename Layer>
void resetLayer(Layer& layer) {
    std::u16string ext = std::move(layer.ext);
    layer = Layer{};  // releases the image table (each bitmap once) and every per-instance array
    layer.ext = std::move(ext);
}

}  // namespace

void resetParticleLayers(std::array<ParticleLayer, LayerCapacity>& layers) {
    for (auto& layer : layers) resetLayer(layer);
}

void resetSpriteLayers(std::array<SpriteLayer, LayerCapacity>& layers) {
    for (auto& layer : layers) resetLayer(layer);
}

void resetCharacterLayers(std::array<CharacterLayer, LayerCapacity>& layers) {
    for (auto& layer : layers) resetLayer(layer);
}

}  // namespace velmora
