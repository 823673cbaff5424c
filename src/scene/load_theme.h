#pragma once
#include <optional>

#include "theme/text_format.h"

namespace velmora {

// Loads the theme named by currentTheme: display settings, theme.txt, pictures, layout. A bad
// number in theme.txt does not stop the load: what was parsed before the bad line gets its
// pictures and is laid out. The error is returned (and kept for lastThemeLoadError) for the
// caller to report or ignore; nullopt when theme.txt read cleanly.
std::optional<NumberError> loadTheme();

// The error of the most recent loadTheme, or nullopt.
const std::optional<NumberError>& lastThemeLoadError();

}  // namespace velmora
