#pragma once
// The few values one theme load shares between its steps and leaves for those who report on it.
#include <optional>
#include <string>

#include "ground/text_format.h"

namespace velmora {

struct LoadState {
    // The theme being loaded: a copy of currentTheme taken at the start of the load. It selects
    // the theme's own section of config.txt.
    std::u16string loadedTheme;
    // The bad number that stopped the reading of theme.txt in the latest load, if any.
    std::optional<NumberError> error;
};

extern LoadState loadState;

}  // namespace velmora
