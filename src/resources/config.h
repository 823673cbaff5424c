#pragma once
// config.txt: the "config" section (start theme, frame rate) and the display settings of the
// "global" and per-theme sections.
#include <string>
#include <string_view>

namespace velmora {

// The theme being loaded (a copy of currentTheme taken at the start of loadTheme); selects the
// theme's own section of config.txt.
extern std::u16string loadedTheme;

// frameRate from "fps" (60 when absent, and 60 when 0 or below); currentTheme from
// "default_theme" while it is empty.
void readConfigSection();
// Recomputes globalSettings from config.txt and the desktop rectangle.
void readGlobalSettings();
// The theme name without a leading "VMA_" and a trailing ".zip", underscores shown as spaces.
std::u16string themeDisplayName(std::u16string_view name);

}  // namespace velmora
