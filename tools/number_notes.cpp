#include "number_notes.h"

#include <cstring>
#include <tuple>

#include "ground/text_decoding.h"
#include "ground/text_format.h"
#include "resources/config.h"
#include "theme/theme_keys.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

enum class NumberKind { None, Whole, Decimal };

// The readers' own words for a bad number (what() of NumberError).
constexpr const char* kReaderTexts[] = {"invalid stoi argument", "stoi argument out of range", "invalid stof argument",
                                        "stof argument out of range"};

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isHexDigit(char16_t c) { return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }
char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool startsWith(std::u16string_view text, std::size_t at, std::string_view word) {
    if (text.size() - at < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (lower(text[at + k]) != static_cast<char16_t>(word[k])) return false;
    }
    return true;
}

std::size_t digits(std::u16string_view text, std::size_t at, bool hex) {
    while (at < text.size() && (hex ? isHexDigit(text[at]) : isDigit(text[at]))) ++at;
    return at;
}

// How much of a value the player's reading takes as the number; 0 when no number starts it.
// The same rules as the readers: white space, a sign, then digits (whole numbers), or for
// decimals also a point, an exponent with at least one digit, hexadecimal "0x1.8p3", "inf",
// "infinity" and "nan(...)".
std::size_t numberLength(std::u16string_view v, NumberKind kind) {
    std::size_t i = 0;
    while (i < v.size() && isSpace(v[i])) ++i;
    if (i < v.size() && (v[i] == u'+' || v[i] == u'-')) ++i;
    if (kind == NumberKind::Whole) {
        const std::size_t end = digits(v, i, false);
        return end > i ? end : 0;
    }
    if (startsWith(v, i, "infinity")) return i + 8;
    if (startsWith(v, i, "inf")) return i + 3;
    if (startsWith(v, i, "nan")) {
        i += 3;
        if (i < v.size() && v[i] == u'(') {
            std::size_t j = i + 1;
            while (j < v.size() && (isHexDigit(v[j]) || (lower(v[j]) >= u'a' && lower(v[j]) <= u'z') || v[j] == u'_')) ++j;
            if (j < v.size() && v[j] == u')') return j + 1;
        }
        return i;
    }
    bool hex = false;
    if (v.size() - i >= 3 && v[i] == u'0' && lower(v[i + 1]) == u'x') {
        hex = isHexDigit(v[i + 2]) || (v[i + 2] == u'.' && i + 3 < v.size() && isHexDigit(v[i + 3]));
        if (hex) i += 2;
    }
    const std::size_t start = i;
    i = digits(v, i, hex);
    bool any = i > start;
    if (i < v.size() && v[i] == u'.') {
        const std::size_t fraction = digits(v, i + 1, hex);
        any = any || fraction > i + 1;
        i = fraction;
    }
    if (!any) return 0;
    if (i < v.size() && lower(v[i]) == (hex ? u'p' : u'e')) {
        std::size_t e = i + 1;
        if (e < v.size() && (v[e] == u'+' || v[e] == u'-')) ++e;
        const std::size_t end = digits(v, e, false);
        if (end > e) i = end;
    }
    return i;
}

std::string pairText(const KeyValue& pair) { return toUtf8(pair.key) + ":" + toUtf8(pair.value); }

// The warning for text after a number, or nothing when the whole value is the number (white
// space after it is harmless).
void noteRest(const KeyValue& pair, NumberKind kind, const std::string& file, int line, Diagnostics& out) {
    const std::size_t length = numberLength(pair.value, kind);
    if (length == 0 || trimmed(pair.value.substr(length)).empty()) return;
    const std::string read =
        kind == NumberKind::Whole ? std::to_string(readInt(pair.value)) : formatFloat(readFloat(pair.value));
    append(out, Diagnostic{line, Diagnostic::Severity::Warning,
                           pairText(pair) + " reads as " + read + "; " + inQuotes(pair.value.substr(length)) + " is ignored", file});
}

std::string badNumberWords(const KeyValue& pair, const char* readerText) {
    const std::string shown = pairText(pair);
    if (std::strcmp(readerText, kReaderTexts[0]) == 0) return shown + " is not a whole number (write digits, such as 3)";
    if (std::strcmp(readerText, kReaderTexts[1]) == 0) {
        return shown + " is too large: whole numbers go from -2147483648 to 2147483647";
    }
    if (std::strcmp(readerText, kReaderTexts[2]) == 0) return shown + " is not a number (write it with a point, such as 0.025)";
    return shown + " is too large or too close to 0 to be read (about 1e-45 to 3e38 are)";
}

// Which kind of number a key of this line's keyword takes, found by offering the key a value
// that is no number: the vocabulary itself answers.
template <typename Pending>
NumberKind themeKeyKind(std::u16string_view key) {
    const KeyValue probe{key, u"!", true};
    PairReader reader(probe, 0);
    Pending pending;
    try {
        std::apply([&](const auto&... k) { (k.read(reader, pending), ...); }, Pending::keys());
    } catch (const NumberError& error) {
        return std::strcmp(error.what(), kReaderTexts[0]) == 0 ? NumberKind::Whole : NumberKind::Decimal;
    }
    return NumberKind::None;
}

NumberKind themeKeyKind(ThemeKeyword keyword, std::u16string_view key) {
    switch (keyword) {
        case ThemeKeyword::Params: return themeKeyKind<ParamsLine>(key);
        case ThemeKeyword::Floor: return themeKeyKind<FloorLine>(key);
        case ThemeKeyword::Ceiling:
        case ThemeKeyword::Background:
        case ThemeKeyword::Screen: return themeKeyKind<NameLine>(key);
        case ThemeKeyword::Particle: return themeKeyKind<ParticleLine>(key);
        case ThemeKeyword::Sprite: return themeKeyKind<SpriteLine>(key);
        case ThemeKeyword::Character: return themeKeyKind<CharacterLine>(key);
        case ThemeKeyword::Unknown: break;
    }
    return NumberKind::None;
}

// The same for config.txt, whose keys are read by applyConfigKey and applyDisplayKey.
NumberKind configKeyKind(bool configSection, std::u16string_view key) {
    const KeyValue probe{key, u"!", true};
    Diagnostics said;
    ConfigSection config;
    DisplaySettings display;
    if (configSection ? !applyConfigKey(config, probe, 0, &said) : !applyDisplayKey(display, probe, 0, &said)) return NumberKind::None;
    for (const Diagnostic& d : said) {
        if (d.message.find(kReaderTexts[0]) != std::string::npos) return NumberKind::Whole;
        if (d.message.find(kReaderTexts[2]) != std::string::npos) return NumberKind::Decimal;
    }
    return NumberKind::None;
}

// Reads the value as the player reads a number of that kind; throws NumberError as it does.
void readNumber(NumberKind kind, std::u16string_view value) {
    if (kind == NumberKind::Whole) {
        (void)readInt(value);
    } else {
        (void)readFloat(value);
    }
}

}  // namespace

void noteThemeNumbers(std::u16string_view text, const std::string& file, Diagnostics& out) {
    bool playerStopped = false;
    for (const SectionLine& line : sectionLines(text)) {
        const ThemeKeyword keyword = themeKeyword(line.keyword());
        if (keyword == ThemeKeyword::Unknown) continue;
        bool badLine = false;
        for (const std::u16string_view word : line.pairs()) {
            const KeyValue pair = splitPair(word);
            if (!pair.hasValue) continue;
            const NumberKind kind = themeKeyKind(keyword, pair.key);
            if (kind == NumberKind::None) continue;
            try {
                readNumber(kind, pair.value);
            } catch (const NumberError& error) {
                std::string message = badNumberWords(pair, error.what());
                // The player stops at the first bad number of the file: that line and the rest
                // are not shown.
                if (!playerStopped) message += "; the player reads no further lines of theme.txt, this one included";
                if (!badLine) playerStopped = true;
                badLine = true;
                append(out, Diagnostic{line.number, Diagnostic::Severity::Error, std::move(message), file});
                continue;
            }
            noteRest(pair, kind, file, line.number, out);
        }
    }
}

void noteConfigNumbers(std::u16string_view text, const std::string& file, Diagnostics& out) {
    for (const SectionLine& line : sectionLines(text)) {
        const bool configSection = line.keyword() == u"config";
        for (const std::u16string_view word : line.pairs()) {
            const KeyValue pair = splitPair(word);
            if (!pair.hasValue) continue;
            const NumberKind kind = configKeyKind(configSection, pair.key);
            if (kind == NumberKind::None) continue;
            try {
                readNumber(kind, pair.value);
            } catch (const NumberError&) {
                continue;  // the reader's error, reworded
            }
            noteRest(pair, kind, file, line.number, out);
        }
    }
}

bool isThemeNumberError(const Diagnostic& d) {
    if (d.severity != Diagnostic::Severity::Error || d.message.find("\" value \"") == std::string::npos) return false;
    for (const char* text : kReaderTexts) {
        if (d.message.find(std::string("\": ") + text) != std::string::npos) return true;
    }
    return false;
}

void rewordConfigNumberError(Diagnostic& d) {
    constexpr std::string_view kIgnored = "; the key is ignored";
    for (const char* text : kReaderTexts) {
        const std::string tail = std::string(": ") + text + std::string(kIgnored);
        if (d.message.size() <= tail.size() || d.message.compare(d.message.size() - tail.size(), tail.size(), tail) != 0) continue;
        const std::string pair = d.message.substr(0, d.message.size() - tail.size());
        const std::size_t colon = pair.find(':');
        const std::u16string key = fromUtf8(pair.substr(0, colon)), value = fromUtf8(pair.substr(colon + 1));
        const KeyValue split{key, value, true};
        d.message = badNumberWords(split, text) + std::string(kIgnored);
        return;
    }
}

}  // namespace velmora::tool
