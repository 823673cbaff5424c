#include "resources/config.h"

#include "app/app_state.h"
#include "desktop/desktop_host.h"
#include "resources/global_settings.h"
#include "resources/theme_source.h"
#include "theme/text_format.h"

namespace velmora {

std::u16string loadedTheme;

namespace {

constexpr std::int32_t kDefaultFrameRate = 60;
// The single-precision constant nearest 1/1440: "auto" scales 1.0 at 1440 pixels of height.
constexpr float kAutoScalePerPixel = 0.00069444446f;

std::u16string readConfigText() {
    return readText(programFolderSource(), u"config.txt");
}

// Reads one key's number; a bad number leaves target as it was, so the key is ignored, and is
// recorded for the tools that report problems.
template <typename T, typename Read>
void readNumber(T& target, const KeyValue& pair, int line, Read read, std::vector<ConfigDiagnostic>* problems) {
    try {
        target = read(pair.value, line);
    } catch (const NumberError& error) {
        if (problems != nullptr) problems->push_back(ConfigDiagnostic{error.line, pair.key, pair.value, error.what()});
    }
}

}  // namespace

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

void readConfigSection(std::vector<ConfigDiagnostic>* problems) {
    appState.frameRate = kDefaultFrameRate;
    const std::u16string text = readConfigText();
    if (text.empty()) return;
    for (const SectionLine& line : sectionLines(text)) {
        if (line.words[0] != u"config") continue;
        for (std::size_t i = 1; i < line.words.size(); ++i) {
            const KeyValue pair = splitPair(line.words[i]);
            if (!pair.hasValue) continue;
            if (pair.key == u"default_theme") {
                if (appState.currentTheme.empty()) {
                    std::u16string value = pair.value;
                    trimSpace(value);
                    appState.currentTheme = value;
                }
            } else if (pair.key == u"fps") {
                readNumber(appState.frameRate, pair, line.number, readInt, problems);
            }
        }
    }
    // The frame timer divides 1000 by the rate.
    if (appState.frameRate <= 0) appState.frameRate = kDefaultFrameRate;
}

void readGlobalSettings(std::vector<ConfigDiagnostic>* problems) {
    float scale = 4.0f;
    float relativeScale = 1.0f;
    float limit = -1.0f;
    float pingPong = 0.0f;
    std::int32_t baseOffset = 0;

    // Lines are trimmed one by one and blank ones skipped, so the text needs no trimming of its
    // own, and the line numbers stay those of the file.
    const std::u16string text = readConfigText();
    const std::u16string themeName = themeDisplayName(loadedTheme);
    for (const SectionLine& line : sectionLines(text)) {
        const std::u16string& section = line.words[0];
        if (section != u"global" && themeDisplayName(section) != themeName) continue;
        for (std::size_t i = 1; i < line.words.size(); ++i) {
            const KeyValue pair = splitPair(line.words[i]);
            if (!pair.hasValue) continue;
            if (pair.key == u"scale") {
                readNumber(scale, pair, line.number, readFloat, problems);
            } else if (pair.key == u"relative_scale") {
                if (pair.value == u"auto") {
                    relativeScale = -1.0f;
                } else {
                    readNumber(relativeScale, pair, line.number, readFloat, problems);
                }
            } else if (pair.key == u"limit_height") {
                readNumber(limit, pair, line.number, readFloat, problems);
            } else if (pair.key == u"ping_pong") {
                readNumber(pingPong, pair, line.number, readFloat, problems);
            } else if (pair.key == u"base_offset") {
                readNumber(baseOffset, pair, line.number, readInt, problems);
            }
        }
    }

    GlobalSettings& settings = globalSettings;
    settings.viewTop = desktopHost.desktopTop;
    settings.viewHeight = desktopHost.desktopHeight;
    if (limit != -1.0f && limit < desktopHost.desktopHeight) settings.viewHeight = limit;
    settings.limitHeight = limit;
    settings.relativeScale = relativeScale;
    if (relativeScale == -1.0f) settings.relativeScale = settings.viewHeight * kAutoScalePerPixel;
    settings.pixelScale = settings.relativeScale * scale;
    settings.pingPong = pingPong;
    settings.baseOffset = baseOffset;
}

}  // namespace velmora
