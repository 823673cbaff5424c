#include "theme_lint.h"

#include <set>

#include "resources/config.h"
#include "resources/theme_pictures.h"
#include "theme/theme_keys.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

using Severity = Diagnostic::Severity;

void add(Diagnostics& out, bool error, const std::string& file, int line, std::string message) {
    append(out, Diagnostic{line, error ? Severity::Error : Severity::Warning, std::move(message), file});
}

struct LineContext {
    Diagnostics& out;
    const std::string& file;
    int line;
    std::string layer;
    void warn(const std::string& message) const { add(out, false, file, line, layer + ": " + message); }
};

void checkCount(const LineContext& c, const char* key, std::int32_t value) {
    if (value <= 0) c.warn(std::string(key) + " is " + std::to_string(value) + ", so the layer shows nothing");
}

void checkRange(const LineContext& c, const char* minKey, std::int32_t low, const char* maxKey, std::int32_t high) {
    if (high < low) {
        c.warn(std::string(maxKey) + " (" + std::to_string(high) + ") is below " + minKey + " (" + std::to_string(low) + ")");
    }
}

// What every layer line shares: its name, its filter and, for sprites and particles, its depth.
template <typename Pending>
LineContext layerContext(Diagnostics& out, const std::string& file, int line, const char* kind, const Pending& p,
                         PictureLines* pictureLines) {
    const LineContext c{out, file, line, pictureRole(kind, p.name)};
    if (pictureLines != nullptr) pictureLines->emplace(c.layer, line);
    if (p.name.empty()) add(out, false, file, line, std::string(kind) + " without a name: its pictures are looked for as _1_1.png and so on");
    if (!kFilters.knows(p.filter)) {
        c.warn("filter " + inQuotes(p.filter) + " is neither linear nor nearest; nearest is used");
    }
    if constexpr (requires { p.layer; }) {
        if (!kDepths.knows(p.layer)) c.warn("layer " + inQuotes(p.layer) + " is neither front nor back; back is used");
    }
    return c;
}

}  // namespace

void lintThemeText(std::u16string_view text, const std::string& file, Diagnostics& out, PictureLines* pictureLines) {
    std::set<std::u16string> spriteNames;
    std::vector<std::pair<int, std::u16string>> betweenUses;
    bool anything = false;

    for (const SectionLine& line : sectionLines(text)) {
        const ThemeKeyword keyword = themeKeyword(line.keyword());
        if (keyword == ThemeKeyword::Unknown) continue;  // the parser reports unknown keywords
        anything = true;
        const std::string kw = toUtf8(line.keyword());
        // Bad numbers are the parser's to report; the values of such a line are not judged here.
        bool badNumber = false;
        switch (keyword) {
            case ThemeKeyword::Params:
                break;
            case ThemeKeyword::Floor:
            case ThemeKeyword::Ceiling:
            case ThemeKeyword::Background:
            case ThemeKeyword::Screen: {
                const std::u16string name = keyword == ThemeKeyword::Floor ? readLine<FloorLine>(line, nullptr, &badNumber).name
                                                                           : readLine<NameLine>(line, nullptr, &badNumber).name;
                if (pictureLines != nullptr) (*pictureLines)[kw] = line.number;
                if (name.empty()) add(out, false, file, line.number, kw + " has no name, so the scene has no " + kw);
                break;
            }
            case ThemeKeyword::Particle: {
                bool bad = false;
                const ParticleLine p = readLine<ParticleLine>(line, nullptr, &bad);
                const LineContext c = layerContext(out, file, line.number, "particle layer", p, pictureLines);
                if (!bad) {
                    checkCount(c, "instances", p.instances);
                    checkCount(c, "frames", p.frames);
                    checkCount(c, "variations", p.variations);
                }
                break;
            }
            case ThemeKeyword::Sprite: {
                bool bad = false;
                const SpriteLine p = readLine<SpriteLine>(line, nullptr, &bad);
                const LineContext c = layerContext(out, file, line.number, "sprite layer", p, pictureLines);
                spriteNames.insert(p.name);
                if (!bad) {
                    checkCount(c, "instances", p.instances);
                    checkCount(c, "frames", p.frames);
                    checkCount(c, "variations", p.variations);
                    checkRange(c, "xseparationmin", p.xseparationmin, "xseparationmax", p.xseparationmax);
                    checkRange(c, "yseparationmin", p.yseparationmin, "yseparationmax", p.yseparationmax);
                }
                if (!kSpriteAnchors.knows(p.yposition)) {
                    c.warn("yposition " + inQuotes(p.yposition) + " is not floor, top or bottom; the row is anchored at the top edge");
                }
                break;
            }
            case ThemeKeyword::Character: {
                bool bad = false;
                const CharacterLine p = readLine<CharacterLine>(line, nullptr, &bad);
                const LineContext c = layerContext(out, file, line.number, "character layer", p, pictureLines);
                if (!bad) {
                    checkCount(c, "instances", p.instances);
                    checkCount(c, "frames", p.frames);
                }
                const CharacterType type = kCharacterTypes(p.type);
                if (type == CharacterType::Other) {
                    c.warn("type " + (p.type.empty() ? std::string("is missing") : inQuotes(p.type) + " is not floor, sine or between") +
                           ", so the character never moves or shows");
                } else if (type == CharacterType::Between) {
                    betweenUses.emplace_back(line.number, p.between);
                }
                break;
            }
            case ThemeKeyword::Unknown:
                break;
        }
    }

    for (const auto& [lineNumber, target] : betweenUses) {
        if (spriteNames.count(target) == 0) {
            add(out, false, file, lineNumber, "between " + inQuotes(target) + " names no sprite layer, so the character never moves or shows");
        }
    }
    if (!anything) add(out, false, file, 0, "theme.txt declares nothing: the theme is empty");
}

void lintConfigText(std::u16string_view text, const std::string& file, const std::vector<std::u16string>& installed,
                    Diagnostics& out) {
    std::set<std::u16string> displayNames;
    for (const std::u16string& name : installed) displayNames.insert(themeDisplayName(name));
    ConfigSection config;

    for (const SectionLine& line : sectionLines(text)) {
        const std::u16string_view section = line.keyword();
        const bool isConfig = section == u"config";
        if (!isConfig && section != u"global" && displayNames.count(themeDisplayName(section)) == 0) {
            add(out, false, file, line.number,
                "section " + inQuotes(section) + " is not config or global and names no installed theme; the line is ignored");
        }
        for (const std::u16string_view word : line.pairs()) {
            if (word.empty()) continue;
            const KeyValue pair = splitPair(word);
            if (!pair.hasValue) {
                add(out, false, file, line.number, inQuotes(word) + " has no value (write key:value); it is ignored");
                continue;
            }
            // The readers' own rules, on a scratch copy: a key they do not take is unknown, and a
            // bad number is reported by them.
            Diagnostics numbers;
            if (isConfig) {
                const bool chosenBefore = !config.defaultTheme.empty();
                ConfigSection read = config;
                read.frameRate = kDefaultFrameRate;
                if (!applyConfigKey(read, pair, line.number, &numbers)) {
                    add(out, false, file, line.number, "unknown key " + inQuotes(pair.key) + " in the config section; it is ignored");
                } else if (pair.key == u"default_theme" && !chosenBefore && !read.defaultTheme.empty()) {
                    bool found = false;
                    for (const std::u16string& name : installed) found = found || name == read.defaultTheme;
                    if (!found) {
                        add(out, true, file, line.number,
                            "default_theme " + inQuotes(read.defaultTheme) + " is not in the themes folder, so nothing is shown at start");
                    }
                } else if (pair.key == u"fps" && numbers.empty() && read.frameRate <= 0) {
                    add(out, false, file, line.number,
                        "fps " + std::to_string(read.frameRate) + " is not positive; " + std::to_string(kDefaultFrameRate) + " is used");
                }
                config.defaultTheme = read.defaultTheme;
            } else {
                DisplaySettings read;
                if (!applyDisplayKey(read, pair, line.number, &numbers)) {
                    add(out, false, file, line.number,
                        "unknown key " + inQuotes(pair.key) + " in the " + inQuotes(section) + " section; it is ignored");
                } else if (numbers.empty() && pair.key == u"scale" && !(read.scale > 0)) {
                    add(out, false, file, line.number, "scale " + formatFloat(read.scale) + " is not positive: the scene cannot be seen");
                } else if (numbers.empty() && pair.key == u"relative_scale" && !(read.relativeScale > 0) && read.relativeScale != -1.0f) {
                    add(out, false, file, line.number,
                        "relative_scale " + formatFloat(read.relativeScale) + " is not positive: the scene cannot be seen");
                }
            }
            for (Diagnostic& d : numbers) {
                d.file = file;
                append(out, std::move(d));
            }
        }
    }
}

}  // namespace velmora::tool
