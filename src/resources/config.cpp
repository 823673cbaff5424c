#include "resources/config.h"

#include <string_view>

#include "ground/records.h"
#include "ground/text_decoding.h"
#include "resources/theme_source.h"

namespace velmora {

namespace {

// The single-precision constant nearest 1/1440: "auto" scales 1.0 at 1440 pixels of height.
constexpr float kAutoScalePerPixel = 0.00069444446f;

// Reads one key's number; a bad number leaves target as it was, so the key is ignored.
template <typename T, typename Read>
void readNumber(T& target, const KeyValue& pair, int line, Read read, Diagnostics* diagnostics) {
    try {
        target = read(pair.value, line);
    } catch (const NumberError& error) {
        if (diagnostics == nullptr) return;
        report(diagnostics, error.line, Diagnostic::Severity::Error,
               encodeUtf8(pair.key) + ":" + encodeUtf8(pair.value) + ": " + error.what() + "; the key is ignored");
    }
}

// Reads a switch: 1 on, 0 off. Anything else is reported and leaves the switch as it was, so
// that an unclear value never turns a pause on or off by surprise.
void readSwitch(bool& target, const KeyValue& pair, int line, Diagnostics* diagnostics) {
    std::int32_t value = target ? 1 : 0;
    readNumber(value, pair, line, readInt, diagnostics);
    if (value == 0 || value == 1) {
        target = value == 1;
    } else {
        report(diagnostics, line, Diagnostic::Severity::Error,
               encodeUtf8(pair.key) + ":" + encodeUtf8(pair.value) + ": neither 0 nor 1; the key is ignored");
    }
}

// Whether themeDisplayName(name) is shown, without making a copy of name (a section name may be
// as long as the whole text).
bool hasDisplayName(std::u16string_view name, std::u16string_view shown) {
    if (name.size() >= 4 && name.substr(0, 4) == u"VMA_") name.remove_prefix(4);
    if (name.size() >= 4 && name.find(u".zip") == name.size() - 4) name.remove_suffix(4);
    if (name.size() != shown.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if ((name[i] == u'_' ? u' ' : name[i]) != shown[i]) return false;
    }
    return true;
}

}  // namespace

bool applyConfigKey(ConfigSection& section, const KeyValue& pair, int line, Diagnostics* diagnostics) {
    if (pair.key == u"default_theme") {
        if (section.defaultTheme.empty()) section.defaultTheme.assign(trimmed(pair.value));
    } else if (pair.key == u"fps") {
        readNumber(section.frameRate, pair, line, readInt, diagnostics);
    } else if (pair.key == u"pause_fullscreen") {
        readSwitch(section.pauseFullscreen, pair, line, diagnostics);
    } else if (pair.key == u"pause_battery") {
        readSwitch(section.pauseBattery, pair, line, diagnostics);
    } else if (pair.key == u"span_monitors") {
        readSwitch(section.spanMonitors, pair, line, diagnostics);
    } else {
        return false;
    }
    return true;
}

bool applyDisplayKey(DisplaySettings& settings, const KeyValue& pair, int line, Diagnostics* diagnostics) {
    if (pair.key == u"scale") {
        readNumber(settings.scale, pair, line, readFloat, diagnostics);
    } else if (pair.key == u"relative_scale") {
        if (pair.value == u"auto") {
            settings.relativeScale = -1.0f;
        } else {
            readNumber(settings.relativeScale, pair, line, readFloat, diagnostics);
        }
    } else if (pair.key == u"limit_height") {
        readNumber(settings.limitHeight, pair, line, readFloat, diagnostics);
    } else if (pair.key == u"ping_pong") {
        readNumber(settings.pingPong, pair, line, readFloat, diagnostics);
    } else if (pair.key == u"base_offset") {
        readNumber(settings.baseOffset, pair, line, readInt, diagnostics);
    } else {
        return false;
    }
    return true;
}

std::u16string themeDisplayName(std::u16string_view name) {
    std::u16string result(name);
    if (result.size() >= 4 && result.compare(0, 4, u"VMA_") == 0) result.erase(0, 4);
    if (result.size() >= 4) {
        const std::size_t zip = result.find(u".zip");
        if (zip != std::u16string::npos && zip == result.size() - 4) result.erase(zip);
    }
    for (char16_t& c : result) {
        if (c == u'_') c = u' ';
    }
    return result;
}

ConfigSection readConfigSectionText(std::u16string_view text, Diagnostics* diagnostics) {
    ConfigSection section;
    for (const SectionLine& line : sectionLines(text)) {
        if (line.keyword() != u"config") continue;
        for (const std::u16string_view word : line.pairs()) {
            const KeyValue pair = splitPair(word);
            // A key without a colon has no value to read.
            if (pair.hasValue) applyConfigKey(section, pair, line.number, diagnostics);
        }
    }
    section.frameRate = frameRateOrDefault(section.frameRate);
    return section;
}

DisplaySettings readDisplaySettingsText(std::u16string_view text, std::u16string_view themeName, Diagnostics* diagnostics) {
    DisplaySettings settings;
    // Lines are trimmed one by one and blank ones skipped, so the text needs no trimming of its
    // own, and the line numbers stay those of the file.
    const std::u16string shownName = themeDisplayName(themeName);
    for (const SectionLine& line : sectionLines(text)) {
        const std::u16string_view section = line.keyword();
        if (section != u"global" && !hasDisplayName(section, shownName)) continue;
        for (const std::u16string_view word : line.pairs()) {
            const KeyValue pair = splitPair(word);
            if (pair.hasValue) applyDisplayKey(settings, pair, line.number, diagnostics);
        }
    }
    return settings;
}

GlobalSettings deriveGlobalSettings(const DisplaySettings& display, float desktopTop, float desktopHeight, std::int32_t dpi) {
    GlobalSettings settings;
    settings.viewTop = desktopTop;
    settings.viewHeight = desktopHeight;
    if (display.limitHeight != -1.0f && display.limitHeight < desktopHeight) settings.viewHeight = display.limitHeight;
    settings.limitHeight = display.limitHeight;
    settings.relativeScale = display.relativeScale;
    if (display.relativeScale == -1.0f) settings.relativeScale = settings.viewHeight * kAutoScalePerPixel;
    settings.pixelScale = settings.relativeScale * display.scale;
    // A scaled monitor shows the scene as large as at 100 %, in whole device pixels where the
    // scale allows (scale 4 at 125 to 200 % gives 5 to 8). "auto" measures the height in device
    // pixels already, so it takes no further factor.
    if (dpi != kBaseDpi && display.relativeScale != -1.0f && dpi > 0) {
        settings.pixelScale = settings.pixelScale * (static_cast<float>(dpi) / static_cast<float>(kBaseDpi));
    }
    settings.pingPong = display.pingPong;
    settings.baseOffset = display.baseOffset;
    return settings;
}

std::u16string readConfigText() { return readText(programFolderSource(), u"config.txt"); }

}  // namespace velmora
