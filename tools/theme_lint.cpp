#include "theme_lint.h"

#include <optional>
#include <set>

#include "resources/config.h"
#include "theme/text_format.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

enum class ValueType { String, Integer, Float, Flag };

using KeyTable = std::map<std::u16string, ValueType>;

const std::map<std::u16string, KeyTable>& themeKeywords() {
    using V = ValueType;
    static const std::map<std::u16string, KeyTable> table = {
        {u"params", {{u"width", V::Integer}}},
        {u"floor", {{u"name", V::String}, {u"ycollider", V::Float}}},
        {u"ceiling", {{u"name", V::String}}},
        {u"background", {{u"name", V::String}}},
        {u"screen", {{u"name", V::String}}},
        {u"add_particle",
         {{u"name", V::String}, {u"ext", V::String}, {u"layer", V::String}, {u"filter", V::String},
          {u"variations", V::Integer}, {u"frames", V::Integer}, {u"instances", V::Integer}, {u"xscroll", V::Float},
          {u"xanimation", V::Float}, {u"yanimation", V::Float}, {u"duration", V::Integer}}},
        {u"add_sprite",
         {{u"name", V::String}, {u"ext", V::String}, {u"layer", V::String}, {u"filter", V::String},
          {u"variations", V::Integer}, {u"frames", V::Integer}, {u"instances", V::Integer}, {u"xscroll", V::Float},
          {u"yposition", V::String}, {u"ydirection", V::Integer}, {u"xseparationmin", V::Integer},
          {u"xseparationmax", V::Integer}, {u"yseparationmin", V::Integer}, {u"yseparationmax", V::Integer},
          {u"xanimation", V::Float}, {u"duration", V::Integer}, {u"xoffset", V::Flag}}},
        {u"add_character",
         {{u"name", V::String}, {u"ext", V::String}, {u"filter", V::String}, {u"frames", V::Integer},
          {u"instances", V::Integer}, {u"xscroll", V::Float}, {u"speed", V::Float}, {u"type", V::String},
          {u"between", V::String}, {u"duration", V::Integer}}},
    };
    return table;
}

// The pending values of one line: the later of two equal keys wins, as in the parser.
struct LineValues {
    std::map<std::u16string, std::u16string> values;

    bool has(const std::u16string& key) const { return values.count(key) != 0; }
    std::u16string text(const std::u16string& key, const std::u16string& fallback = {}) const {
        auto it = values.find(key);
        if (it == values.end()) return fallback;
        std::u16string value = it->second;
        trimSpace(value);
        return value;
    }
    std::optional<std::int32_t> integer(const std::u16string& key, std::int32_t fallback) const {
        auto it = values.find(key);
        if (it == values.end()) return fallback;
        try {
            return readInt(it->second);
        } catch (const NumberError&) {
            return std::nullopt;
        }
    }
};

std::string inQuotes(std::u16string_view text) {
    std::string quoted = "\"";
    quoted += toUtf8(text);
    quoted += '"';
    return quoted;
}

void add(std::vector<Problem>& out, bool error, const std::string& file, int line, std::string message) {
    out.push_back(Problem{error, file, line, std::move(message)});
}

void checkCount(std::vector<Problem>& out, const std::string& file, int line, const LineValues& v, const char16_t* key,
                std::int32_t fallback, const std::string& layer) {
    auto value = v.integer(key, fallback);
    if (value && *value <= 0) {
        add(out, false, file, line, layer + ": " + toUtf8(key) + " is " + std::to_string(*value) + ", so the layer shows nothing");
    }
}

void checkRange(std::vector<Problem>& out, const std::string& file, int line, const LineValues& v, const char16_t* minKey,
                const char16_t* maxKey, const std::string& layer) {
    auto low = v.integer(minKey, 1);
    auto high = v.integer(maxKey, 1);
    if (low && high && *high < *low) {
        add(out, false, file, line,
            layer + ": " + toUtf8(maxKey) + " (" + std::to_string(*high) + ") is below " + toUtf8(minKey) + " (" +
                std::to_string(*low) + ")");
    }
}

}  // namespace

void lintThemeText(std::u16string_view text, const std::string& file, std::vector<Problem>& out, PictureLines* pictureLines) {
    std::set<std::u16string> spriteNames;
    std::vector<std::pair<int, std::u16string>> betweenUses;
    bool anything = false;

    for (const SectionLine& line : sectionLines(text)) {
        if (line.words.empty()) continue;
        const auto keyword = themeKeywords().find(line.words[0]);
        if (keyword == themeKeywords().end()) continue;  // the parser reports unknown keywords
        anything = true;
        const KeyTable& keys = keyword->second;
        LineValues v;
        for (std::size_t i = 1; i < line.words.size(); ++i) {
            if (line.words[i].empty()) continue;
            const KeyValue pair = splitPair(line.words[i]);
            if (keys.count(pair.key) == 0) continue;
            v.values[pair.key] = pair.value;
        }
        const std::u16string& kw = keyword->first;
        const std::u16string name = v.text(u"name");
        if (kw == u"params") continue;
        if (kw == u"floor" || kw == u"ceiling" || kw == u"background" || kw == u"screen") {
            if (pictureLines != nullptr) (*pictureLines)[toUtf8(kw)] = line.number;
            if (name.empty()) add(out, false, file, line.number, toUtf8(kw) + " has no name, so the scene has no " + toUtf8(kw));
            continue;
        }

        const bool character = kw == u"add_character";
        const std::string kind = kw == u"add_sprite" ? "sprite layer" : character ? "character layer" : "particle layer";
        const std::string layer = kind + " " + inQuotes(name);
        if (pictureLines != nullptr) pictureLines->emplace(layer, line.number);
        if (name.empty()) add(out, false, file, line.number, kind + " without a name: its pictures are looked for as _1_1.png and so on");
        if (v.has(u"filter")) {
            const std::u16string filter = v.text(u"filter");
            if (filter != u"linear" && filter != u"nearest") {
                add(out, false, file, line.number, layer + ": filter " + inQuotes(filter) + " is neither linear nor nearest; nearest is used");
            }
        }
        if (v.has(u"layer")) {
            const std::u16string where = v.text(u"layer");
            if (where != u"front" && where != u"back") {
                add(out, false, file, line.number, layer + ": layer " + inQuotes(where) + " is neither front nor back; back is used");
            }
        }
        checkCount(out, file, line.number, v, u"instances", kw == u"add_particle" ? 4 : 1, layer);
        checkCount(out, file, line.number, v, u"frames", 1, layer);
        if (!character) checkCount(out, file, line.number, v, u"variations", 1, layer);
        if (kw == u"add_sprite") {
            spriteNames.insert(name);
            checkRange(out, file, line.number, v, u"xseparationmin", u"xseparationmax", layer);
            checkRange(out, file, line.number, v, u"yseparationmin", u"yseparationmax", layer);
            const std::u16string anchor = v.text(u"yposition", u"floor");
            if (anchor != u"floor" && anchor != u"top" && anchor != u"bottom") {
                add(out, false, file, line.number,
                    layer + ": yposition " + inQuotes(anchor) + " is not floor, top or bottom; the row is anchored at the top edge");
            }
        }
        if (character) {
            const std::u16string type = v.text(u"type");
            if (type != u"floor" && type != u"sine" && type != u"between") {
                add(out, false, file, line.number,
                    layer + ": type " + (type.empty() ? std::string("is missing") : inQuotes(type) + " is not floor, sine or between") +
                        ", so the character never moves or shows");
            } else if (type == u"between") {
                betweenUses.emplace_back(line.number, v.text(u"between"));
            }
        }
    }

    for (const auto& [lineNumber, target] : betweenUses) {
        if (spriteNames.count(target) == 0) {
            add(out, false, file, lineNumber,
                "between " + inQuotes(target) + " names no sprite layer, so the character never moves or shows");
        }
    }
    if (!anything) add(out, false, file, 0, "theme.txt declares nothing: the theme is empty");
}

void lintConfigText(std::u16string_view text, const std::string& file, const std::vector<std::u16string>& installed,
                    std::vector<Problem>& out) {
    std::set<std::u16string> displayNames;
    for (const std::u16string& name : installed) displayNames.insert(themeDisplayName(name));
    bool themeChosen = false;

    for (const SectionLine& line : sectionLines(text)) {
        if (line.words.empty()) continue;
        const std::u16string& section = line.words[0];
        const bool config = section == u"config";
        if (!config && section != u"global" && displayNames.count(themeDisplayName(section)) == 0) {
            add(out, false, file, line.number,
                "section " + inQuotes(section) + " is not config or global and names no installed theme; the line is ignored");
        }
        for (std::size_t i = 1; i < line.words.size(); ++i) {
            if (line.words[i].empty()) continue;
            const KeyValue pair = splitPair(line.words[i]);
            const std::string where = toUtf8(pair.key) + ":" + toUtf8(pair.value);
            if (!pair.hasValue) {
                add(out, false, file, line.number, inQuotes(line.words[i]) + " has no value (write key:value); it is ignored");
                continue;
            }
            try {
                if (config && pair.key == u"default_theme") {
                    std::u16string value = pair.value;
                    trimSpace(value);
                    if (!themeChosen && !value.empty()) {
                        themeChosen = true;
                        bool found = false;
                        for (const std::u16string& name : installed) found = found || name == value;
                        if (!found) {
                            add(out, true, file, line.number,
                                "default_theme " + inQuotes(value) + " is not in the themes folder, so nothing is shown at start");
                        }
                    }
                } else if (config && pair.key == u"fps") {
                    const std::int32_t fps = readInt(pair.value, line.number);
                    if (fps <= 0) add(out, false, file, line.number, "fps " + std::to_string(fps) + " is not positive; 60 is used");
                } else if (config) {
                    add(out, false, file, line.number, "unknown key " + inQuotes(pair.key) + " in the config section; it is ignored");
                } else if (pair.key == u"scale" || pair.key == u"limit_height" || pair.key == u"ping_pong") {
                    const float value = readFloat(pair.value, line.number);
                    if (pair.key == u"scale" && !(value > 0)) {
                        add(out, false, file, line.number, "scale " + formatFloat(value) + " is not positive: the scene cannot be seen");
                    }
                } else if (pair.key == u"relative_scale") {
                    if (pair.value != u"auto") {
                        const float value = readFloat(pair.value, line.number);
                        if (!(value > 0) && value != -1.0f) {
                            add(out, false, file, line.number,
                                "relative_scale " + formatFloat(value) + " is not positive: the scene cannot be seen");
                        }
                    }
                } else if (pair.key == u"base_offset") {
                    readInt(pair.value, line.number);
                } else {
                    add(out, false, file, line.number,
                        "unknown key " + inQuotes(pair.key) + " in the " + inQuotes(section) + " section; it is ignored");
                }
            } catch (const NumberError& error) {
                add(out, true, file, line.number, where + ": " + error.what() + "; the key is ignored");
            }
        }
    }
}

}  // namespace velmora::tool
