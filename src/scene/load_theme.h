#pragma once
#include <optional>
#include <string>

#include "ground/diagnostics.h"
#include "ground/text_format.h"
#include "scene/scene.h"
#include "resources/image_loading.h"

namespace velmora {

struct LoadOptions {
    // Receives what the parse of theme.txt has to tell its author (see ParseOptions).
    Diagnostics* themeDiagnostics = nullptr;
    // Leave out a line with a bad number and go on, instead of stopping there.
    bool skipBadNumbers = false;
    // Receives what the pictures came to, with a note on every one that did not load.
    PictureLoad* pictures = nullptr;
};

// Recomputes globalSettings from config.txt (the global section and the one of loadedTheme) and
// the desktop rectangle.
void readGlobalSettings(Diagnostics* diagnostics = nullptr);

// Loads the theme named by currentTheme: display settings, theme.txt, pictures, layout. A bad
// number in theme.txt does not stop the load: what was parsed before the bad line gets its
// pictures and is laid out. The error is returned (and kept in loadState) for the caller to
// report or ignore; nullopt when theme.txt read cleanly.
std::optional<NumberError> loadTheme();
// The worker, for the theme of that entry name (which becomes loadedTheme). Anything else that
// goes wrong (memory above all) is thrown, the theme being left half loaded: loadEmptyTheme then
// puts it right.
std::optional<NumberError> loadTheme(const std::u16string& themeName, const LoadOptions& options);
// The same into a scene of its own (its settings fitted to its rectangle).
std::optional<NumberError> loadTheme(Scene& scene, const std::u16string& themeName, const LoadOptions& options);
// The theme a failed load leaves: no layers, no names, no pictures held, laid out as empty.
void loadEmptyTheme() noexcept;
// The same for a scene of its own.
void loadEmptyTheme(Scene& scene) noexcept;

}  // namespace velmora
