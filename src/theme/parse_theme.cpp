#include "theme/parse_theme.h"

#include <array>
#include <string>
#include <utility>

#include "app/app_state.h"
#include "resources/text_decoding.h"
#include "resources/theme_source.h"
#include "scene/random.h"
#include "theme/text_format.h"
#include "theme/theme_model.h"

namespace velmora {

namespace {

using Severity = ParseDiagnostic::Severity;

class Reporter {
public:
    explicit Reporter(std::vector<ParseDiagnostic>* sink) : sink_(sink) {}
    void add(int line, Severity severity, std::string message) const {
        if (sink_) sink_->push_back({line, severity, std::move(message)});
    }

private:
    std::vector<ParseDiagnostic>* sink_;
};

std::string inQuotes(std::u16string_view text) {
    // Appended rather than written as "\"" + ... : GCC 12 at -O3 warns falsely (-Wrestrict) about
    // operator+(const char*, string&&).
    std::string quoted(1, '"');
    quoted += encodeUtf8(text);
    quoted += '"';
    return quoted;
}

// Reads the pairs of one line into the pending values of its keyword. Each of the calls below
// names one key of the keyword; a pair that none of them takes is an unknown key.
class PairReader {
public:
    PairReader(const KeyValue& pair, int line) : pair_(pair), line_(line) {}

    void text(std::u16string_view key, std::u16string& field) {
        if (!takes(key)) return;
        field = pair_.value;
        trimSpace(field);
    }
    void integer(std::u16string_view key, std::int32_t& field) {
        if (takes(key)) field = readInt(pair_.value, line_);
    }
    void real(std::u16string_view key, float& field) {
        if (takes(key)) field = readFloat(pair_.value, line_);
    }
    // Only the key's presence matters, with or without a colon and value.
    void flag(std::u16string_view key, bool& field) {
        if (pair_.key != key) return;
        known_ = true;
        field = true;
    }

    bool known() const { return known_; }
    bool missingValue() const { return missingValue_; }

private:
    bool takes(std::u16string_view key) {
        if (pair_.key != key) return false;
        known_ = true;
        // A value-carrying key without a colon has no value to read: the pair is ignored.
        if (!pair_.hasValue) {
            missingValue_ = true;
            return false;
        }
        return true;
    }

    const KeyValue& pair_;
    int line_;
    bool known_ = false;
    bool missingValue_ = false;
};

struct ParamsLine {
    std::int32_t width = -1;
    void read(PairReader& r) { r.integer(u"width", width); }
};

struct FloorLine {
    std::u16string name;
    float ycollider = 80.0f;
    void read(PairReader& r) {
        r.text(u"name", name);
        r.real(u"ycollider", ycollider);
    }
};

struct NameLine {  // ceiling, background, screen
    std::u16string name;
    void read(PairReader& r) { r.text(u"name", name); }
};

struct ParticleLine {
    std::u16string name, ext = u"png", layer = u"back", filter = u"nearest";
    std::int32_t variations = 1, frames = 1, instances = 4;
    float xscroll = 3.125f, xanimation = 0.0f, yanimation = 0.0f;
    std::int32_t duration = 60;
    void read(PairReader& r) {
        r.text(u"name", name);
        r.text(u"ext", ext);
        r.text(u"layer", layer);
        r.text(u"filter", filter);
        r.integer(u"variations", variations);
        r.integer(u"frames", frames);
        r.integer(u"instances", instances);
        r.real(u"xscroll", xscroll);
        r.real(u"xanimation", xanimation);
        r.real(u"yanimation", yanimation);
        r.integer(u"duration", duration);
    }
};

struct SpriteLine {
    std::u16string name, ext = u"png", layer = u"back", filter = u"nearest";
    std::int32_t variations = 1, frames = 1, instances = 1;
    float xscroll = 50.0f;
    std::u16string yposition = u"floor";
    std::int32_t ydirection = 1;
    std::int32_t xseparationmin = 1, xseparationmax = 1, yseparationmin = 1, yseparationmax = 1;
    float xanimation = 0.0f;
    std::int32_t duration = 60;
    bool xoffset = false;
    void read(PairReader& r) {
        r.text(u"name", name);
        r.text(u"ext", ext);
        r.text(u"layer", layer);
        r.text(u"filter", filter);
        r.integer(u"variations", variations);
        r.integer(u"frames", frames);
        r.integer(u"instances", instances);
        r.real(u"xscroll", xscroll);
        r.text(u"yposition", yposition);
        r.integer(u"ydirection", ydirection);
        r.integer(u"xseparationmin", xseparationmin);
        r.integer(u"xseparationmax", xseparationmax);
        r.integer(u"yseparationmin", yseparationmin);
        r.integer(u"yseparationmax", yseparationmax);
        r.real(u"xanimation", xanimation);
        r.integer(u"duration", duration);
        r.flag(u"xoffset", xoffset);
    }
};

struct CharacterLine {
    std::u16string name, ext = u"png", filter = u"nearest";
    std::int32_t variations = 1;  // characters have one row of frames; not a key
    std::int32_t frames = 1, instances = 1;
    float xscroll = 50.0f, speed = 0.025f;
    std::u16string type, between;
    std::int32_t duration = 100;
    void read(PairReader& r) {
        r.text(u"name", name);
        r.text(u"ext", ext);
        r.text(u"filter", filter);
        r.integer(u"frames", frames);
        r.integer(u"instances", instances);
        r.real(u"xscroll", xscroll);
        r.real(u"speed", speed);
        r.text(u"type", type);
        r.text(u"between", between);
        r.integer(u"duration", duration);
    }
};

// Reads words 1 to the last of a line into pending, starting from its defaults.
template <typename Pending>
Pending readLine(const SectionLine& line, const Reporter& report) {
    Pending pending;
    const std::string keyword = encodeUtf8(line.words[0]);
    for (std::size_t w = 1; w < line.words.size(); ++w) {
        const std::u16string& word = line.words[w];
        if (word.empty()) continue;  // two spaces in a row
        const KeyValue pair = splitPair(word);
        PairReader reader(pair, line.number);
        try {
            pending.read(reader);
        } catch (const NumberError& error) {
            report.add(line.number, Severity::Error,
                       keyword + ": " + inQuotes(pair.key) + " value " + inQuotes(pair.value) + ": " + error.what());
            throw;
        }
        if (!reader.known()) {
            report.add(line.number, Severity::Warning, keyword + ": unknown key " + inQuotes(pair.key) + " ignored");
        } else if (reader.missingValue()) {
            report.add(line.number, Severity::Warning,
                       keyword + ": " + inQuotes(pair.key) + " has no colon and value; ignored");
        }
    }
    return pending;
}

// The layout and the start frames divide by variations and frames; a negative count of instances
// means none.
template <typename Pending>
void clampCounts(Pending& pending, const SectionLine& line, const Reporter& report) {
    const std::string keyword = encodeUtf8(line.words[0]);
    auto clamp = [&](const char* key, std::int32_t& value, std::int32_t least) {
        if (value >= least) return;
        report.add(line.number, Severity::Warning,
                   keyword + ": " + key + " " + std::to_string(value) + " read as " + std::to_string(least));
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
          const SectionLine& line, const Reporter& report) {
    const std::string keyword = encodeUtf8(line.words[0]);
    if (count >= LayerCapacity) {
        report.add(line.number, Severity::Error,
                   keyword + ": more than " + std::to_string(LayerCapacity) + " " + arrayName + "; line ignored");
        return false;
    }
    auto within = [&](const char* what, std::int64_t value, std::int64_t limit) {
        if (value <= limit) return true;
        report.add(line.number, Severity::Error,
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

void commit(const ParticleLine& p, ParticleLayer& layer) {
    layer.instances = p.instances;
    layer.variations = p.variations;
    layer.frames = p.frames;
    layer.xscroll = p.xscroll;
    layer.xanimation = p.xanimation;
    layer.yanimation = p.yanimation;
    layer.duration = p.duration;
    layer.name = p.name;
    layer.ext = p.ext;
    layer.linear = p.filter == u"linear" ? 1 : 0;

    const auto n = static_cast<std::size_t>(p.instances);
    layer.variation.assign(n, 0);
    layer.frame.assign(n, 0);
    layer.posX.assign(n, 0.0f);
    layer.posY.assign(n, 0.0f);
    layer.alpha.assign(n, 0.0f);
    layer.alphaStep.assign(n, 0.0f);
    layer.fadingOut.assign(n, 0);

    layer.images.clear();
    layer.images.resize(static_cast<std::size_t>(p.variations));
    for (auto& row : layer.images) row.resize(static_cast<std::size_t>(p.frames));

    drawStartFrames(layer);
    layer.clock = 0;
    layer.lastStep = 0;
}

void commit(const SpriteLine& p, SpriteLayer& layer) {
    layer.instances = p.instances;
    layer.variations = p.variations;
    layer.frames = p.frames;
    layer.xscroll = p.xscroll;
    layer.xanimation = p.xanimation;
    layer.xoffset = p.xoffset;
    layer.yposition = p.yposition;
    layer.ydirection = p.ydirection;
    layer.xseparationmin = p.xseparationmin;
    layer.xseparationmax = p.xseparationmax;
    layer.yseparationmin = p.yseparationmin;
    layer.yseparationmax = p.yseparationmax;
    layer.duration = p.duration;
    layer.name = p.name;
    layer.ext = p.ext;
    layer.linear = p.filter == u"linear" ? 1 : 0;

    const auto n = static_cast<std::size_t>(p.instances);
    layer.posX.assign(n, 0.0f);
    layer.posY.assign(n, 0.0f);
    layer.variation.assign(n, 0);
    layer.frame.assign(n, 0);

    layer.images.clear();
    layer.images.resize(static_cast<std::size_t>(p.variations));
    for (auto& row : layer.images) row.resize(static_cast<std::size_t>(p.frames));

    drawStartFrames(layer);
    layer.clock = 0;
    layer.lastStep = 0;
}

void commit(const CharacterLine& p, CharacterLayer& layer) {
    layer.instances = p.instances;
    layer.frames = p.frames;
    layer.speed = p.speed;
    layer.xscroll = p.xscroll;
    layer.name = p.name;
    layer.type = p.type;
    layer.between = p.between;
    layer.duration = p.duration;
    layer.ext = p.ext;
    layer.linear = p.filter == u"linear" ? 1 : 0;

    const auto n = static_cast<std::size_t>(p.instances);
    layer.posX.assign(n, 0.0f);
    layer.entered.assign(n, 0);
    layer.posY.assign(n, 0.0f);
    layer.frame.assign(n, 0);
    layer.direction.assign(n, 0);
    layer.appear.assign(n, kIdleTween);
    layer.turn.assign(n, kIdleTween);

    layer.images.clear();
    layer.images.resize(static_cast<std::size_t>(p.frames));

    drawStartFrames(layer);
    layer.clock = 0;
    layer.lastStep = 0;
}

// themeInstances counts the instances of the layers committed so far, over all arrays.
template <typename Pending, typename Layer>
void addLayer(const SectionLine& line, const Reporter& report, std::int64_t& themeInstances,
              std::array<Layer, LayerCapacity>& front, std::int32_t& frontCount, const char* frontName,
              std::array<Layer, LayerCapacity>& back, std::int32_t& backCount, const char* backName) {
    Pending pending = readLine<Pending>(line, report);
    clampCounts(pending, line, report);
    bool toFront = false;
    if constexpr (requires { pending.layer; }) toFront = pending.layer == u"front";
    auto& layers = toFront ? front : back;
    std::int32_t& count = toFront ? frontCount : backCount;
    if (!fits(pending, count, toFront ? frontName : backName, themeInstances, line, report)) return;
    Layer& layer = layers[static_cast<std::size_t>(count)];
    ++count;
    themeInstances += pending.instances;
    commit(pending, layer);
}

void resetTheme() {
    resetSpriteLayers(theme.frontSprites);
    resetSpriteLayers(theme.backSprites);
    resetCharacterLayers(theme.characters);
    resetParticleLayers(theme.backParticles);
    resetParticleLayers(theme.frontParticles);
    theme.backParticleCount = 0;
    theme.frontParticleCount = 0;
    theme.backSpriteCount = 0;
    theme.frontSpriteCount = 0;
    theme.characterCount = 0;
    theme.floorName.clear();
    theme.ceilingName.clear();
    theme.backgroundName.clear();
    theme.screenName.clear();
    theme.params.width = -1.0f;
    theme.params.ycollider = 40.0f;
}

void fillTheme(std::u16string_view text, const Reporter& report) {
    std::int64_t themeInstances = 0;
    for (const SectionLine& line : sectionLines(text)) {
        const std::u16string& keyword = line.words[0];
        if (keyword == u"params") {
            theme.params.width = static_cast<float>(readLine<ParamsLine>(line, report).width);
        } else if (keyword == u"floor") {
            FloorLine floor = readLine<FloorLine>(line, report);
            theme.floorName = std::move(floor.name);
            theme.params.ycollider = floor.ycollider;
        } else if (keyword == u"ceiling") {
            theme.ceilingName = readLine<NameLine>(line, report).name;
        } else if (keyword == u"background") {
            theme.backgroundName = readLine<NameLine>(line, report).name;
        } else if (keyword == u"screen") {
            theme.screenName = readLine<NameLine>(line, report).name;
        } else if (keyword == u"add_particle") {
            addLayer<ParticleLine>(line, report, themeInstances, theme.frontParticles, theme.frontParticleCount,
                                   "front particle layers", theme.backParticles, theme.backParticleCount,
                                   "back particle layers");
        } else if (keyword == u"add_sprite") {
            addLayer<SpriteLine>(line, report, themeInstances, theme.frontSprites, theme.frontSpriteCount,
                                 "front sprite layers", theme.backSprites, theme.backSpriteCount, "back sprite layers");
        } else if (keyword == u"add_character") {
            addLayer<CharacterLine>(line, report, themeInstances, theme.characters, theme.characterCount,
                                    "character layers", theme.characters, theme.characterCount, "character layers");
        } else {
            report.add(line.number, Severity::Warning, "unknown keyword " + inQuotes(keyword) + "; line ignored");
        }
    }
}

}  // namespace

void parseTheme() { parseTheme(nullptr); }

void parseTheme(std::vector<ParseDiagnostic>* diagnostics) {
    resetTheme();
    if (appState.currentTheme.empty()) return;
    const std::u16string text = readText(themeSourceFor(appState.currentTheme), u"theme.txt");
    fillTheme(text, Reporter(diagnostics));
}

void parseThemeText(std::u16string_view text, std::vector<ParseDiagnostic>* diagnostics) {
    resetTheme();
    fillTheme(text, Reporter(diagnostics));
}

}  // namespace velmora
