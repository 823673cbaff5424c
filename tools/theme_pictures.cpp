#include "theme_pictures.h"

#include <cstdint>

#include "tool_support.h"

namespace velmora::tool {

namespace {

std::u16string decimal(std::size_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

void addScene(std::vector<NamedPicture>& out, const std::u16string& name, const char* role, const ImageFrame& frame) {
    if (!name.empty()) out.push_back({name + u".png", role, &frame});
}

// The table has the shape the parser gave it; only entries within variations x frames are loaded.
template <typename Layer>
void addTable(std::vector<NamedPicture>& out, const std::array<Layer, LayerCapacity>& layers, std::int32_t count,
              const char* kind) {
    for (std::int32_t l = 0; l < count && l < LayerCapacity; ++l) {
        const Layer& layer = layers[static_cast<std::size_t>(l)];
        const std::string role = std::string(kind) + " \"" + toUtf8(layer.name) + "\"";
        for (std::size_t v = 0; v < layer.images.size() && static_cast<std::int64_t>(v) < layer.variations; ++v) {
            const auto& row = layer.images[v];
            for (std::size_t f = 0; f < row.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
                out.push_back({layer.name + u"_" + decimal(v + 1) + u"_" + decimal(f + 1) + u"." + layer.ext, role, &row[f]});
            }
        }
    }
}

}  // namespace

std::vector<NamedPicture> namedPictures(const Theme& theme) {
    std::vector<NamedPicture> out;
    addScene(out, theme.floorName, "floor", theme.floorImage);
    addScene(out, theme.ceilingName, "ceiling", theme.ceilingImage);
    addScene(out, theme.backgroundName, "background", theme.backgroundImage);
    addScene(out, theme.screenName, "screen", theme.screenImage);
    addTable(out, theme.frontSprites, theme.frontSpriteCount, "sprite layer");
    addTable(out, theme.backSprites, theme.backSpriteCount, "sprite layer");
    for (std::int32_t l = 0; l < theme.characterCount && l < LayerCapacity; ++l) {
        const CharacterLayer& layer = theme.characters[static_cast<std::size_t>(l)];
        const std::string role = "character layer \"" + toUtf8(layer.name) + "\"";
        for (std::size_t f = 0; f < layer.images.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
            out.push_back({layer.name + u"_" + decimal(f + 1) + u"." + layer.ext, role, &layer.images[f]});
        }
    }
    addTable(out, theme.frontParticles, theme.frontParticleCount, "particle layer");
    addTable(out, theme.backParticles, theme.backParticleCount, "particle layer");
    return out;
}

}  // namespace velmora::tool
