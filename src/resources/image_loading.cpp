#include "resources/image_loading.h"

#include <string>

#include "app/app_state.h"
#include "desktop/desktop_host.h"
#include "ports/platform.h"

namespace velmora {

namespace {

std::u16string decimal(std::size_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string withDot(const std::u16string& ext) { return u"." + ext; }

}  // namespace

ImageFrame loadImageFrame(const ThemeSource& source, const std::u16string& member, std::int32_t filter) {
    ImageFrame frame;
    GraphicsDevice* device = platform().graphics;
    // Without an off-screen target there is nothing to create bitmaps on: every picture is empty.
    if (device == nullptr || !desktopHost.frameTarget) return frame;
    std::unique_ptr<Bitmap> bitmap;
    if (source.isArchive) {
        const std::vector<std::uint8_t> bytes = readBytes(source, member);
        if (bytes.empty()) return frame;
        bitmap = device->loadPictureBytes(bytes.data(), bytes.size());
    } else {
        bitmap = device->loadPictureFile(memberPath(source, member));
    }
    // A missing or undecodable picture stays empty; drawing skips it.
    if (!bitmap) return frame;
    frame.width = bitmap->pixelWidth();
    frame.height = bitmap->pixelHeight();
    frame.bitmap = std::move(bitmap);
    frame.filter = filter;
    return frame;
}

void loadLayerFrames(std::array<ParticleLayer, LayerCapacity>& layers, std::int32_t count, const ThemeSource& source) {
    const std::int32_t used = count < LayerCapacity ? count : LayerCapacity;
    for (std::int32_t l = 0; l < used; ++l) {
        ParticleLayer& layer = layers[static_cast<std::size_t>(l)];
        // The table has the shape the parser gave it; a count of 0 or less loads nothing.
        for (std::size_t v = 0; v < layer.images.size() && static_cast<std::int64_t>(v) < layer.variations; ++v) {
            auto& row = layer.images[v];
            for (std::size_t f = 0; f < row.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
                row[f] = loadImageFrame(source, layer.name + u"_" + decimal(v + 1) + u"_" + decimal(f + 1) + withDot(layer.ext), layer.linear);
            }
        }
    }
}

void loadLayerFrames(std::array<SpriteLayer, LayerCapacity>& layers, std::int32_t count, const ThemeSource& source) {
    const std::int32_t used = count < LayerCapacity ? count : LayerCapacity;
    for (std::int32_t l = 0; l < used; ++l) {
        SpriteLayer& layer = layers[static_cast<std::size_t>(l)];
        for (std::size_t v = 0; v < layer.images.size() && static_cast<std::int64_t>(v) < layer.variations; ++v) {
            auto& row = layer.images[v];
            for (std::size_t f = 0; f < row.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
                row[f] = loadImageFrame(source, layer.name + u"_" + decimal(v + 1) + u"_" + decimal(f + 1) + withDot(layer.ext), layer.linear);
            }
        }
    }
}

void loadLayerFrames(std::array<CharacterLayer, LayerCapacity>& layers, std::int32_t count, const ThemeSource& source) {
    const std::int32_t used = count < LayerCapacity ? count : LayerCapacity;
    for (std::int32_t l = 0; l < used; ++l) {
        CharacterLayer& layer = layers[static_cast<std::size_t>(l)];
        for (std::size_t f = 0; f < layer.images.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
            layer.images[f] = loadImageFrame(source, layer.name + u"_" + decimal(f + 1) + withDot(layer.ext), layer.linear);
        }
    }
}

void loadThemeImages() {
    theme.floorImage = ImageFrame{};
    theme.ceilingImage = ImageFrame{};
    theme.backgroundImage = ImageFrame{};
    theme.screenImage = ImageFrame{};
    // Every picture of an archive theme is found from one reading of its directory.
    const ThemeSource source = withArchiveIndex(themeSourceFor(appState.currentTheme));
    if (!theme.floorName.empty()) {
        theme.floorImage = loadImageFrame(source, theme.floorName + u".png", 0);
        if (theme.params.width == -1.0f) theme.params.width = static_cast<float>(theme.floorImage.width);
    }
    if (!theme.ceilingName.empty()) theme.ceilingImage = loadImageFrame(source, theme.ceilingName + u".png", 0);
    if (!theme.backgroundName.empty()) theme.backgroundImage = loadImageFrame(source, theme.backgroundName + u".png", 1);
    if (!theme.screenName.empty()) theme.screenImage = loadImageFrame(source, theme.screenName + u".png", 1);
    loadLayerFrames(theme.frontSprites, theme.frontSpriteCount, source);
    loadLayerFrames(theme.backSprites, theme.backSpriteCount, source);
    loadLayerFrames(theme.characters, theme.characterCount, source);
    loadLayerFrames(theme.frontParticles, theme.frontParticleCount, source);
    loadLayerFrames(theme.backParticles, theme.backParticleCount, source);
}

}  // namespace velmora
