#pragma once
// config.txt: the "config" section (start theme, frame rate) and the display settings of the
// "global" and per-theme sections.
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The theme being loaded (a copy of currentTheme taken at the start of loadTheme); selects the
// theme's own section of config.txt.
extern std::u16string loadedTheme;

// A key of config.txt whose value was not a number; the key was ignored and the setting kept
// the value it had before it.
struct ConfigDiagnostic {
    int line = 0;          // 1-based line of config.txt
    std::u16string key;
    std::u16string value;
    std::string message;   // "invalid stoi argument", "stof argument out of range", ...
};

// frameRate from "fps" (60 when absent, and 60 when 0 or below); currentTheme from
// "default_theme" while it is empty. Bad numbers are appended to problems when given.
void readConfigSection(std::vector<ConfigDiagnostic>* problems = nullptr);
// Recomputes globalSettings from config.txt and the desktop rectangle. Bad numbers are
// appended to problems when given.
void readGlobalSettings(std::vector<ConfigDiagnostic>* problems = nullptr);
// The theme name without a leading "VMA_" and a trailing ".zip", underscores shown as spaces.
std::u16string themeDisplayName(std::u16string_view name);

}  // namespace velmora
