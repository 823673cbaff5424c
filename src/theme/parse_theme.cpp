#include "theme/parse_theme.h"

#include <array>
#include <string>
#include <utility>

#include "ground/random.h"
#include "ground/records.h"
#include "resources/theme_source.h"
#include "theme/theme_keys.h"

namespace velmora {

namespace {

using Severity = Diagnostic::Severity;

// The layout and the start frames divide by variations and frames; a negative count of instances
// means none.
template <typename Pending>
void clampCounts(Pending& pending, const SectionLine& line, Diagnostics* diagnostics) {
    auto clamp = [&](const char* key, std::int32_t& value, std::int32_t least) {
        if (value >= least) return;
        if (diagnostics != nullptr) {
            report(diagnostics, line.number, Severity::Warning,
                   encodeUtf8(line.keyword()) + ": " + key + " " + std::to_string(value) + " read as " + std::to_string(least));
        }
        value = least;
    };
    clamp("variations", pending.variations, 1);
    clamp("frames", pending.frames, 1);
    clamp("instances", pending.instances, 0);
}

// Whether the line may be committed into an array holding count elements, in a theme whose
// committed layers hold themeInstances instances together.
template <typename Pending>
bool fits(const Pending& pending, std::int32_t count, const char* arrayName, std::int64_t themeInstances,
          const SectionLine& line, Diagnostics* diagnostics) {
    const std::string keyword = encodeUtf8(line.keyword());
    if (count >= LayerCapacity) {
        report(diagnostics, line.number, Severity::Error,
                   keyword + ": more than " + std::to_string(LayerCapacity) + " " + arrayName + "; line ignored");
        return false;
    }
    auto within = [&](const char* what, std::int64_t value, std::int64_t limit) {
        if (value <= limit) return true;
        report(diagnostics, line.number, Severity::Error,
                   keyword + ": " + what + " " + std::to_string(value) + " above the limit of " +
                       std::to_string(limit) + "; line ignored");
        return false;
    };
    return within("instances", pending.instances, kMaxLayerInstances) &&
           within("variations", pending.variations, kMaxLayerVariations) &&
           within("frames", pending.frames, kMaxLayerFrames) &&
           within("variations x frames", std::int64_t{pending.variations} * pending.frames, kMaxLayerImages) &&
           within("instances of the theme", themeInstances + pending.instances, kMaxThemeInstances);
}

template <typename Layer>
void drawStartFrames(Layer& layer) {
    for (std::int32_t i = 0; i < layer.instances; ++i) layer.frame[static_cast<std::size_t>(i)] = nextRandom() % layer.frames;
}

// The per-instance arrays of each kind of layer, all of `instances` entries.
void shapeInstances(ParticleLayer& layer, std::size_t n) {
    layer.variation.assign(n, 0);
    layer.frame.assign(n, 0);
    layer.posX.assign(n, 0.0f);
    layer.posY.assign(n, 0.0f);
    layer.alpha.assign(n, 0.0f);
    layer.alphaStep.assign(n, 0.0f);
    layer.fadingOut.assign(n, 0);
}

void shapeInstances(SpriteLayer& layer, std::size_t n) {
    layer.posX.assign(n, 0.0f);
    layer.posY.assign(n, 0.0f);
    layer.variation.assign(n, 0);
    layer.frame.assign(n, 0);
}

void shapeInstances(CharacterLayer& layer, std::size_t n) {
    layer.posX.assign(n, 0.0f);
    layer.entered.assign(n, 0);
    layer.posY.assign(n, 0.0f);
    layer.frame.assign(n, 0);
    layer.direction.assign(n, 0);
    layer.appear.assign(n, kIdleTween);
    layer.turn.assign(n, kIdleTween);
}

// Fills the layer from a line that fits: its values (the words as their meanings), its
// per-instance arrays, an empty picture table of its shape (variations rows of frames; characters
// one row), then its start frames.
template <typename Pending, typename Layer>
void commit(const Pending& p, Layer& layer) {
    commitKeys(p, layer);
    shapeInstances(layer, static_cast<std::size_t>(p.instances));
    layer.images.clear();
    if constexpr (requires { layer.variations; }) {
        layer.images.resize(static_cast<std::size_t>(p.variations));
        for (auto& row : layer.images) row.resize(static_cast<std::size_t>(p.frames));
    } else {
        layer.images.resize(static_cast<std::size_t>(p.frames));
    }
    drawStartFrames(layer);
    layer.clock = 0;
    layer.lastStep = 0;
}

// themeInstances counts the instances of the layers committed so far, over all arrays.
template <typename Pending, typename Layer>
void addLayer(const SectionLine& line, Diagnostics* diagnostics, std::int64_t& themeInstances,
              std::array<Layer, LayerCapacity>& front, std::int32_t& frontCount, const char* frontName,
              std::array<Layer, LayerCapacity>& back, std::int32_t& backCount, const char* backName) {
    Pending pending = readLine<Pending>(line, diagnostics);
    clampCounts(pending, line, diagnostics);
    bool toFront = false;
    if constexpr (requires { pending.layer; }) toFront = kDepths(pending.layer) == Depth::Front;
    auto& layers = toFront ? front : back;
    std::int32_t& count = toFront ? frontCount : backCount;
    if (!fits(pending, count, toFront ? frontName : backName, themeInstances, line, diagnostics)) return;
    Layer& layer = layers[static_cast<std::size_t>(count)];
    ++count;
    themeInstances += pending.instances;
    commit(pending, layer);
}

// The parse's own reset: every layer and count, the names and the parameters. The four scene
// pictures are the picture loader's to replace.
void resetParsedTheme(Theme& target) {
    resetSpriteLayers(target.frontSprites);
    resetSpriteLayers(target.backSprites);
    resetCharacterLayers(target.characters);
    resetParticleLayers(target.backParticles);
    resetParticleLayers(target.frontParticles);
    target.backParticleCount = 0;
    target.frontParticleCount = 0;
    target.backSpriteCount = 0;
    target.frontSpriteCount = 0;
    target.characterCount = 0;
    target.floorName.clear();
    target.ceilingName.clear();
    target.backgroundName.clear();
    target.screenName.clear();
    target.params.width = -1.0f;
    target.params.ycollider = 40.0f;
}

void readThemeLine(const SectionLine& line, Theme& target, std::int64_t& themeInstances, Diagnostics* diagnostics) {
    switch (themeKeyword(line.keyword())) {
        case ThemeKeyword::Params:
            target.params.width = static_cast<float>(readLine<ParamsLine>(line, diagnostics).width);
            break;
        case ThemeKeyword::Floor: {
            FloorLine floor = readLine<FloorLine>(line, diagnostics);
            target.floorName = std::move(floor.name);
            target.params.ycollider = floor.ycollider;
            break;
        }
        case ThemeKeyword::Ceiling:
            target.ceilingName = readLine<NameLine>(line, diagnostics).name;
            break;
        case ThemeKeyword::Background:
            target.backgroundName = readLine<NameLine>(line, diagnostics).name;
            break;
        case ThemeKeyword::Screen:
            target.screenName = readLine<NameLine>(line, diagnostics).name;
            break;
        case ThemeKeyword::Particle:
            addLayer<ParticleLine>(line, diagnostics, themeInstances, target.frontParticles, target.frontParticleCount, "front particle layers",
                                   target.backParticles, target.backParticleCount, "back particle layers");
            break;
        case ThemeKeyword::Sprite:
            addLayer<SpriteLine>(line, diagnostics, themeInstances, target.frontSprites, target.frontSpriteCount, "front sprite layers",
                                 target.backSprites, target.backSpriteCount, "back sprite layers");
            break;
        case ThemeKeyword::Character:
            addLayer<CharacterLine>(line, diagnostics, themeInstances, target.characters, target.characterCount, "character layers",
                                    target.characters, target.characterCount, "character layers");
            break;
        case ThemeKeyword::Unknown:
            if (diagnostics != nullptr) {
                report(diagnostics, line.number, Severity::Warning, "unknown keyword " + inQuotes(line.keyword()) + "; line ignored");
            }
            break;
    }
}

}  // namespace

ThemeKeyword themeKeyword(std::u16string_view word) {
    if (word == u"params") return ThemeKeyword::Params;
    if (word == u"floor") return ThemeKeyword::Floor;
    if (word == u"ceiling") return ThemeKeyword::Ceiling;
    if (word == u"background") return ThemeKeyword::Background;
    if (word == u"screen") return ThemeKeyword::Screen;
    if (word == u"add_particle") return ThemeKeyword::Particle;
    if (word == u"add_sprite") return ThemeKeyword::Sprite;
    if (word == u"add_character") return ThemeKeyword::Character;
    return ThemeKeyword::Unknown;
}

std::string inQuotes(std::u16string_view text) {
    // Appended rather than written as "\"" + ... : GCC 12 at -O3 warns falsely (-Wrestrict) about
    // operator+(const char*, string&&).
    std::string quoted(1, '"');
    quoted += encodeUtf8(text);
    quoted += '"';
    return quoted;
}

void parseTheme(Diagnostics* diagnostics) {
    parseThemeText(readThemeText(appState.currentTheme), theme, ParseOptions{diagnostics, false});
}

void parseThemeText(std::u16string_view text, Theme& target, const ParseOptions& options) {
    resetParsedTheme(target);
    bool firstBadNumber = true;
    std::int64_t themeInstances = 0;
    for (const SectionLine& line : sectionLines(text)) {
        try {
            readThemeLine(line, target, themeInstances, options.diagnostics);
        } catch (const NumberError&) {
            if (!options.skipBadNumbers) throw;
            // The line is left out as a whole, as if it were not there, and reading goes on.
            if (firstBadNumber && options.diagnostics != nullptr && !options.diagnostics->empty()) {
                options.diagnostics->back().message += " (the player reads no further lines of theme.txt)";
            }
            firstBadNumber = false;
        }
    }
}

}  // namespace velmora
