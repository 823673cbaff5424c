#pragma once
// The few values one theme load shares between its steps and leaves for those who report on it.
#include <cstddef>
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
    // In the latest load, the index in loading order of the first picture left empty because the
    // theme's pictures together would have passed their budget (every later one is empty too).
    std::optional<std::size_t> firstPicturePastBudget;
};

extern LoadState loadState;

}  // namespace velmora
