#pragma once
// config.txt: the "config" section (start theme, frame rate) and the display settings of the
// "global" and per-theme sections.
//
// Each key is written down once, in applyConfigKey or applyDisplayKey: the program's two readers
// and velmora-tool's check all go through them, so a key, its type and its default live in one
// place.
#include <cstdint>
#include <string>
#include <string_view>

#include "ground/diagnostics.h"
#include "ground/records.h"
#include "ground/text_format.h"

namespace velmora {

// What the "config" section says.
struct ConfigSection {
    std::u16string defaultTheme;  // the first default_theme that is not empty once trimmed
    std::int32_t frameRate = kDefaultFrameRate;  // the last fps; the default when absent, and when 0 or below
    bool pauseFullscreen = false;  // the last pause_fullscreen (0 or 1)
    bool pauseBattery = false;     // the last pause_battery (0 or 1)
    bool spanMonitors = true;      // the last span_monitors (0 or 1)
};

// The display settings of the "global" and theme sections as written, before they are fitted to
// the desktop.
struct DisplaySettings {
    float scale = 4.0f;
    float relativeScale = 1.0f;  // -1 for "auto" (and for the number -1, which means the same)
    float limitHeight = -1.0f;   // -1: no limit
    float pingPong = 0.0f;
    std::int32_t baseOffset = 0;
};

// Applies one key:value pair of a line of the section; false when the section has no such key.
// A value that is not a number leaves the setting as it was and is reported as an error.
bool applyConfigKey(ConfigSection& section, const KeyValue& pair, int line, Diagnostics* diagnostics);
bool applyDisplayKey(DisplaySettings& settings, const KeyValue& pair, int line, Diagnostics* diagnostics);

// The workers: what config.txt's text says, for the theme of that name.
ConfigSection readConfigSectionText(std::u16string_view text, Diagnostics* diagnostics = nullptr);
DisplaySettings readDisplaySettingsText(std::u16string_view text, std::u16string_view themeName,
                                        Diagnostics* diagnostics = nullptr);
// The settings a theme load uses: the display settings fitted to a desktop of that top edge and
// height, on a monitor of that DPI (its scaling multiplies the pixel scale).
GlobalSettings deriveGlobalSettings(const DisplaySettings& display, float desktopTop, float desktopHeight, std::int32_t dpi = kBaseDpi);

// config.txt of the program folder; empty when it cannot be read.
std::u16string readConfigText();

// The theme name without a leading "VMA_" and a trailing ".zip", underscores shown as spaces.
std::u16string themeDisplayName(std::u16string_view name);

}  // namespace velmora
