#include "ground/theme_model.h"

#include <utility>

namespace velmora {

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

void clearTheme(Theme& target) {
    resetParticleLayers(target.backParticles);
    resetParticleLayers(target.frontParticles);
    resetSpriteLayers(target.backSprites);
    resetSpriteLayers(target.frontSprites);
    resetCharacterLayers(target.characters);
    target.params = ThemeParams{};
    target.floorName.clear();
    target.ceilingName.clear();
    target.backgroundName.clear();
    target.screenName.clear();
    target.floorImage = ImageFrame{};
    target.ceilingImage = ImageFrame{};
    target.backgroundImage = ImageFrame{};
    target.screenImage = ImageFrame{};
    target.backParticleCount = target.frontParticleCount = 0;
    target.backSpriteCount = target.frontSpriteCount = target.characterCount = 0;
}

}  // namespace velmora
