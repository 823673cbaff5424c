#include "scene/load_theme.h"

#include "app/app_state.h"
#include "resources/config.h"
#include "resources/image_loading.h"
#include "resources/theme_source.h"
#include "scene/layout.h"
#include "theme/parse_theme.h"

namespace velmora {

namespace {
std::optional<NumberError> lastError;
}

std::optional<NumberError> loadTheme() {
    loadedTheme = appState.currentTheme;
    readGlobalSettings();
    lastError.reset();
    // An archive theme is opened and its directory read once, for theme.txt and every picture.
    const ThemeArchiveScope archive(themeSourceFor(appState.currentTheme));
    try {
        parseTheme();
    } catch (const NumberError& error) {
        // The lines before the bad one stay committed; the scene is still built from them.
        lastError = error;
    }
    loadThemeImages();
    layoutScene();
    return lastError;
}

const std::optional<NumberError>& lastThemeLoadError() { return lastError; }

}  // namespace velmora
