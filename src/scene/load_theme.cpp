#include "scene/load_theme.h"

#include "ground/records.h"
#include "ports/platform.h"
#include "resources/config.h"
#include "resources/image_loading.h"
#include "resources/theme_source.h"
#include "scene/layout.h"
#include "theme/parse_theme.h"

#include <utility>

namespace velmora {

namespace {

void readSceneSettings(Scene& scene, Diagnostics* diagnostics) {
    const DisplaySettings display = readDisplaySettingsText(readConfigText(), loadState.loadedTheme, diagnostics);
    scene.settings = deriveGlobalSettings(display, scene.rect.top, scene.rect.height, scene.dpi);
}

}  // namespace

void readGlobalSettings(Diagnostics* diagnostics) {
    Scene scene = defaultScene();
    readSceneSettings(scene, diagnostics);
}

std::optional<NumberError> loadTheme(Scene& scene, const std::u16string& themeName, const LoadOptions& options) {
    Theme& model = scene.theme;
    loadState.loadedTheme = themeName;
    readSceneSettings(scene, nullptr);
    loadState.error.reset();
    loadState.firstPicturePastBudget.reset();
    // An archive theme is opened and its directory read once, for theme.txt and every picture.
    const ThemeSource source = withArchiveIndex(themeSourceFor(themeName));
    try {
        parseThemeText(themeName.empty() ? std::u16string() : readText(source, u"theme.txt"), model, ParseOptions{options.themeDiagnostics, options.skipBadNumbers});
    } catch (const NumberError& error) {
        // The lines before the bad one stay committed; the scene is still built from them.
        loadState.error = error;
    }
    PictureLoad pictures = loadThemeImages(model, source, desktopHost.frameTarget ? platform().graphics : nullptr,
                                           options.pictures != nullptr);
    loadState.firstPicturePastBudget = pictures.firstPastBudget;
    if (options.pictures != nullptr) *options.pictures = std::move(pictures);
    layoutScene(scene);
    return loadState.error;
}

std::optional<NumberError> loadTheme(const std::u16string& themeName, const LoadOptions& options) {
    Scene scene = defaultScene();
    return loadTheme(scene, themeName, options);
}

void loadEmptyTheme() noexcept {
    Scene scene = defaultScene();
    loadEmptyTheme(scene);
}

void loadEmptyTheme(Scene& scene) noexcept {
    try {
        // Emptying releases memory and allocates none.
        parseThemeText(std::u16string_view(), scene.theme);
        loadThemeImages(scene.theme, ThemeSource{}, nullptr);
        layoutScene(scene);
        loadState.error.reset();
        loadState.firstPicturePastBudget.reset();
    } catch (...) {
        // Nothing is left that could fail; should it still, the theme stays as emptied so far.
    }
}

std::optional<NumberError> loadTheme() { return loadTheme(appState.currentTheme, LoadOptions{}); }

}  // namespace velmora
