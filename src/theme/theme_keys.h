#pragma once
// The vocabulary of theme.txt, written down once: every keyword, and for each its keys, their
// types and defaults (the members of the pending line and their initialisers), the words a key
// may name, and the member of the model each key is committed to. The parser reads and commits
// through these tables; velmora-tool's check reads the same records to tell an author what a line
// means.
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>

#include "ground/diagnostics.h"
#include "ground/text_decoding.h"
#include "ground/text_format.h"
#include "ground/theme_model.h"
#include "ports/graphics_device.h"

namespace velmora {

enum class ThemeKeyword { Params, Floor, Ceiling, Background, Screen, Particle, Sprite, Character, Unknown };

ThemeKeyword themeKeyword(std::u16string_view word);

// Reads the pairs of one line into the pending values of its keyword. Each call below names one
// key of the keyword; a pair that none of them takes is an unknown key. The field's type says how
// the value is read.
class PairReader {
public:
    PairReader(const KeyValue& pair, int line) : pair_(pair), line_(line) {}

    void read(std::u16string_view key, std::u16string& field) {
        if (takes(key)) field.assign(trimmed(pair_.value));
    }
    void read(std::u16string_view key, std::int32_t& field) {
        if (takes(key)) field = readInt(pair_.value, line_);
    }
    void read(std::u16string_view key, float& field) {
        if (takes(key)) field = readFloat(pair_.value, line_);
    }
    // A flag: only the key's presence matters, with or without a colon and value.
    void read(std::u16string_view key, bool& field) {
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

// The values a key may take when it names one of a few words. Words are compared exactly, case
// and all; any other word, and an empty one, means `otherwise`.
template <typename Meaning>
struct Word {
    std::u16string_view text;
    Meaning meaning;
};

template <typename Meaning, std::size_t N>
struct Vocabulary {
    Word<Meaning> words[N];
    Meaning otherwise;

    // Whether the word is one of the vocabulary's own (what check warns about).
    bool knows(std::u16string_view word) const {
        for (const Word<Meaning>& w : words) {
            if (w.text == word) return true;
        }
        return false;
    }
    Meaning operator()(std::u16string_view word) const {
        for (const Word<Meaning>& w : words) {
            if (w.text == word) return w.meaning;
        }
        return otherwise;
    }
};

// The array a sprite or particle line is added to.
enum class Depth { Back, Front };

inline constexpr Vocabulary<Interpolation, 2> kFilters{
    {{u"nearest", Interpolation::NearestNeighbor}, {u"linear", Interpolation::Linear}}, Interpolation::NearestNeighbor};
inline constexpr Vocabulary<Depth, 2> kDepths{{{u"back", Depth::Back}, {u"front", Depth::Front}}, Depth::Back};
inline constexpr Vocabulary<SpriteAnchor, 3> kSpriteAnchors{
    {{u"floor", SpriteAnchor::Floor}, {u"top", SpriteAnchor::Top}, {u"bottom", SpriteAnchor::Bottom}}, SpriteAnchor::Other};
inline constexpr Vocabulary<CharacterType, 3> kCharacterTypes{
    {{u"floor", CharacterType::Floor}, {u"sine", CharacterType::Sine}, {u"between", CharacterType::Between}},
    CharacterType::Other};

// For the lines that commit nothing through their keys: they are read into the pending line only.
struct NoModel {};

// One key, written once: its name, the member of the pending line its value is read into (the
// member's type says how it is read, its initialiser is the default) and the member of the
// model's layer that the commit copies it to.
template <typename Line, typename Value, typename Layer>
struct Key {
    std::u16string_view name;
    Value Line::*pending;
    Value Layer::*model;  // null for a line whose commit is written by hand

    void read(PairReader& r, Line& line) const { r.read(name, line.*pending); }
    void commit(const Line& line, Layer& layer) const { layer.*model = line.*pending; }
};

// A key whose value is a word: kept as written while the line is pending (check quotes it), and
// committed as its meaning. A null model member: the word chooses the layer's array instead.
template <typename Line, typename Meaning, std::size_t N, typename Stored, typename Layer>
struct WordKey {
    std::u16string_view name;
    std::u16string Line::*pending;
    const Vocabulary<Meaning, N>* words;
    Stored Layer::*model;

    void read(PairReader& r, Line& line) const { r.read(name, line.*pending); }
    void commit(const Line& line, Layer& layer) const {
        if (model != nullptr) layer.*model = static_cast<Stored>((*words)(line.*pending));
    }
};

template <typename Line, typename Value, typename Layer = NoModel>
constexpr Key<Line, Value, Layer> key(std::u16string_view name, Value Line::*pending, Value Layer::*model = nullptr) {
    return {name, pending, model};
}

template <typename Line, typename Meaning, std::size_t N, typename Stored, typename Layer>
constexpr WordKey<Line, Meaning, N, Stored, Layer> wordKey(std::u16string_view name, std::u16string Line::*pending,
                                                           const Vocabulary<Meaning, N>& words, Stored Layer::*model) {
    return {name, pending, &words, model};
}

struct ParamsLine {
    std::int32_t width = -1;
    static constexpr auto keys() { return std::tuple{key(u"width", &ParamsLine::width)}; }
};

struct FloorLine {
    std::u16string name;
    float ycollider = 80.0f;
    static constexpr auto keys() { return std::tuple{key(u"name", &FloorLine::name), key(u"ycollider", &FloorLine::ycollider)}; }
};

struct NameLine {  // ceiling, background, screen
    std::u16string name;
    static constexpr auto keys() { return std::tuple{key(u"name", &NameLine::name)}; }
};

// The keys every add_ line has, and what they are committed to in the layer of the model. As a
// pair matches one key at most, the order of the keys does not matter.
struct LayerLine {
    std::u16string name, ext = u"png", filter = u"nearest";
    std::int32_t variations = 1;  // a key of sprites and particles; characters have one row
    std::int32_t frames = 1, instances = 1;
    float xscroll = 50.0f;
    std::int32_t duration = 60;

    template <typename Layer>
    static constexpr auto keys() {
        return std::tuple{key(u"name", &LayerLine::name, &Layer::name),
                          key(u"ext", &LayerLine::ext, &Layer::ext),
                          wordKey(u"filter", &LayerLine::filter, kFilters, &Layer::linear),
                          key(u"frames", &LayerLine::frames, &Layer::frames),
                          key(u"instances", &LayerLine::instances, &Layer::instances),
                          key(u"xscroll", &LayerLine::xscroll, &Layer::xscroll),
                          key(u"duration", &LayerLine::duration, &Layer::duration)};
    }
};

// Sprites and particles: rows of variations, a depth, a horizontal drift.
struct RowLine : LayerLine {
    std::u16string layer = u"back";
    float xanimation = 0.0f;

    template <typename Layer>
    static constexpr auto keys() {
        return std::tuple_cat(LayerLine::keys<Layer>(),
                              std::tuple{wordKey(u"layer", &RowLine::layer, kDepths, static_cast<Depth Layer::*>(nullptr)),
                                         key(u"variations", &LayerLine::variations, &Layer::variations),
                                         key(u"xanimation", &RowLine::xanimation, &Layer::xanimation)});
    }
};

struct ParticleLine : RowLine {
    float yanimation = 0.0f;
    ParticleLine() {
        instances = 4;
        xscroll = 3.125f;
    }

    static constexpr auto keys() {
        return std::tuple_cat(RowLine::keys<ParticleLayer>(),
                              std::tuple{key(u"yanimation", &ParticleLine::yanimation, &ParticleLayer::yanimation)});
    }
};

struct SpriteLine : RowLine {
    std::u16string yposition = u"floor";
    std::int32_t ydirection = 1;
    std::int32_t xseparationmin = 1, xseparationmax = 1, yseparationmin = 1, yseparationmax = 1;
    bool xoffset = false;

    static constexpr auto keys() {
        using L = SpriteLayer;
        return std::tuple_cat(RowLine::keys<L>(),
                              std::tuple{wordKey(u"yposition", &SpriteLine::yposition, kSpriteAnchors, &L::yposition),
                                         key(u"ydirection", &SpriteLine::ydirection, &L::ydirection),
                                         key(u"xseparationmin", &SpriteLine::xseparationmin, &L::xseparationmin),
                                         key(u"xseparationmax", &SpriteLine::xseparationmax, &L::xseparationmax),
                                         key(u"yseparationmin", &SpriteLine::yseparationmin, &L::yseparationmin),
                                         key(u"yseparationmax", &SpriteLine::yseparationmax, &L::yseparationmax),
                                         key(u"xoffset", &SpriteLine::xoffset, &L::xoffset)});
    }
};

struct CharacterLine : LayerLine {
    float speed = 0.025f;
    std::u16string type, between;
    CharacterLine() { duration = 100; }

    static constexpr auto keys() {
        using L = CharacterLayer;
        return std::tuple_cat(LayerLine::keys<L>(),
                              std::tuple{key(u"speed", &CharacterLine::speed, &L::speed),
                                         wordKey(u"type", &CharacterLine::type, kCharacterTypes, &L::type),
                                         // A name, matched against the sprite layers when the character moves.
                                         key(u"between", &CharacterLine::between, &L::between)});
    }
};

// Copies every key of a pending layer line into its layer of the model.
template <typename Pending, typename Layer>
void commitKeys(const Pending& pending, Layer& layer) {
    std::apply([&](const auto&... k) { (k.commit(pending, layer), ...); }, Pending::keys());
}

std::string inQuotes(std::u16string_view text);

// Reads words 1 to the last of a line into a record of its keyword, starting from the defaults.
// Unknown keys and value keys without a value are reported as warnings. A bad number is reported
// as an error and thrown (NumberError) when badNumber is null; otherwise *badNumber is set, the
// key keeps its value and the rest of the line is read.
template <typename Pending>
Pending readLine(const SectionLine& line, Diagnostics* diagnostics, bool* badNumber = nullptr) {
    using Severity = Diagnostic::Severity;
    Pending pending;
    // Messages are only put together for a reader who keeps them.
    auto keyword = [&] { return encodeUtf8(line.keyword()); };
    for (const std::u16string_view word : line.pairs()) {
        if (word.empty()) continue;  // two spaces in a row
        const KeyValue pair = splitPair(word);
        PairReader reader(pair, line.number);
        try {
            std::apply([&](const auto&... k) { (k.read(reader, pending), ...); }, Pending::keys());
        } catch (const NumberError& error) {
            if (diagnostics != nullptr) {
                report(diagnostics, line.number, Severity::Error,
                       keyword() + ": " + inQuotes(pair.key) + " value " + inQuotes(pair.value) + ": " + error.what());
            }
            if (badNumber == nullptr) throw;
            *badNumber = true;
            continue;
        }
        if (diagnostics == nullptr) continue;
        if (!reader.known()) {
            report(diagnostics, line.number, Severity::Warning, keyword() + ": unknown key " + inQuotes(pair.key) + " ignored");
        } else if (reader.missingValue()) {
            report(diagnostics, line.number, Severity::Warning,
                   keyword() + ": " + inQuotes(pair.key) + " has no colon and value; ignored");
        }
    }
    return pending;
}

}  // namespace velmora
