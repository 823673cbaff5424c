#include "resources/theme_pictures.h"

#include "ground/text_decoding.h"

namespace velmora {

namespace {

std::u16string decimal(std::size_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::string roleOf(const char* kind, const std::u16string& name) {
    std::string role = kind;
    role += " \"";
    role += encodeUtf8(name);
    role += '"';
    return role;
}

void addScene(std::vector<ThemePicture>& out, const std::u16string& name, const char* role, ImageFrame& frame,
              std::int32_t filter) {
    if (!name.empty()) out.push_back({name + u".png", role, &frame, filter});
}

// The table has the shape the parser gave it; a count of 0 or less names nothing.
template <typename Layer>
void addTable(std::vector<ThemePicture>& out, std::array<Layer, LayerCapacity>& layers, std::int32_t count,
              const char* kind) {
    for (std::int32_t l = 0; l < count && l < LayerCapacity; ++l) {
        Layer& layer = layers[static_cast<std::size_t>(l)];
        const std::string role = roleOf(kind, layer.name);
        for (std::size_t v = 0; v < layer.images.size() && static_cast<std::int64_t>(v) < layer.variations; ++v) {
            auto& row = layer.images[v];
            for (std::size_t f = 0; f < row.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
                out.push_back({layer.name + u"_" + decimal(v + 1) + u"_" + decimal(f + 1) + u"." + layer.ext, role, &row[f],
                               layer.linear});
            }
        }
    }
}

}  // namespace

std::vector<ThemePicture> themePictures(Theme& theme) {
    std::vector<ThemePicture> out;
    addScene(out, theme.floorName, "floor", theme.floorImage, 0);
    addScene(out, theme.ceilingName, "ceiling", theme.ceilingImage, 0);
    addScene(out, theme.backgroundName, "background", theme.backgroundImage, 1);
    addScene(out, theme.screenName, "screen", theme.screenImage, 1);
    addTable(out, theme.frontSprites, theme.frontSpriteCount, "sprite layer");
    addTable(out, theme.backSprites, theme.backSpriteCount, "sprite layer");
    for (std::int32_t l = 0; l < theme.characterCount && l < LayerCapacity; ++l) {
        CharacterLayer& layer = theme.characters[static_cast<std::size_t>(l)];
        const std::string role = roleOf("character layer", layer.name);
        for (std::size_t f = 0; f < layer.images.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
            out.push_back({layer.name + u"_" + decimal(f + 1) + u"." + layer.ext, role, &layer.images[f], layer.linear});
        }
    }
    addTable(out, theme.frontParticles, theme.frontParticleCount, "particle layer");
    addTable(out, theme.backParticles, theme.backParticleCount, "particle layer");
    return out;
}

}  // namespace velmora
