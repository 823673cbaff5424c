#pragma once
// The vocabulary of theme.txt, written down once: every keyword, and for each its keys, their
// types (the PairReader call that reads them) and their defaults (the member initialisers). The
// parser commits these records into the Theme; velmora-tool's check reads the same records to
// tell an author what a line means.
#include <cstdint>
#include <string>
#include <string_view>

#include "ground/diagnostics.h"
#include "ground/text_decoding.h"
#include "ground/text_format.h"

namespace velmora {

enum class ThemeKeyword { Params, Floor, Ceiling, Background, Screen, Particle, Sprite, Character, Unknown };

ThemeKeyword themeKeyword(std::u16string_view word);

// Reads the pairs of one line into the pending values of its keyword. Each call below names one
// key of the keyword; a pair that none of them takes is an unknown key.
class PairReader {
public:
    PairReader(const KeyValue& pair, int line) : pair_(pair), line_(line) {}

    void text(std::u16string_view key, std::u16string& field) {
        if (takes(key)) field.assign(trimmed(pair_.value));
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

// The keys every add_ line has. Each read call names one key; as a pair matches one key at most,
// the order of the calls does not matter.
struct LayerLine {
    std::u16string name, ext = u"png", filter = u"nearest";
    std::int32_t variations = 1;  // a key of sprites and particles; characters have one row
    std::int32_t frames = 1, instances = 1;
    float xscroll = 50.0f;
    std::int32_t duration = 60;
    void read(PairReader& r) {
        r.text(u"name", name);
        r.text(u"ext", ext);
        r.text(u"filter", filter);
        r.integer(u"frames", frames);
        r.integer(u"instances", instances);
        r.real(u"xscroll", xscroll);
        r.integer(u"duration", duration);
    }
};

// Sprites and particles: rows of variations, a depth, a horizontal drift.
struct RowLine : LayerLine {
    std::u16string layer = u"back";
    float xanimation = 0.0f;
    void read(PairReader& r) {
        LayerLine::read(r);
        r.text(u"layer", layer);
        r.integer(u"variations", variations);
        r.real(u"xanimation", xanimation);
    }
};

struct ParticleLine : RowLine {
    float yanimation = 0.0f;
    ParticleLine() {
        instances = 4;
        xscroll = 3.125f;
    }
    void read(PairReader& r) {
        RowLine::read(r);
        r.real(u"yanimation", yanimation);
    }
};

struct SpriteLine : RowLine {
    std::u16string yposition = u"floor";
    std::int32_t ydirection = 1;
    std::int32_t xseparationmin = 1, xseparationmax = 1, yseparationmin = 1, yseparationmax = 1;
    bool xoffset = false;
    void read(PairReader& r) {
        RowLine::read(r);
        r.text(u"yposition", yposition);
        r.integer(u"ydirection", ydirection);
        r.integer(u"xseparationmin", xseparationmin);
        r.integer(u"xseparationmax", xseparationmax);
        r.integer(u"yseparationmin", yseparationmin);
        r.integer(u"yseparationmax", yseparationmax);
        r.flag(u"xoffset", xoffset);
    }
};

struct CharacterLine : LayerLine {
    float speed = 0.025f;
    std::u16string type, between;
    CharacterLine() { duration = 100; }
    void read(PairReader& r) {
        LayerLine::read(r);
        r.real(u"speed", speed);
        r.text(u"type", type);
        r.text(u"between", between);
    }
};

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
            pending.read(reader);
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
