#pragma once
// What check tells a theme's author beyond what the readers themselves report: values that read
// well but mean nothing useful (a character type the player does not know, a "between" naming no
// sprite layer, separations the wrong way round), and every problem of config.txt.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ground/diagnostics.h"

namespace velmora::tool {

// Where each picture-owning line of a theme.txt is: "floor", "ceiling", "background", "screen"
// (their last line, which wins) and "sprite layer \"NAME\"", "character layer \"NAME\"",
// "particle layer \"NAME\"" (the first line of that name).
using PictureLines = std::map<std::string, int>;

// Checks the meaning of theme.txt's values; numbers and unknown keys are the parser's to report.
void lintThemeText(std::u16string_view text, const std::string& file, Diagnostics& out, PictureLines* pictureLines = nullptr);

// Checks config.txt; installed are the theme entry names of the themes folder.
void lintConfigText(std::u16string_view text, const std::string& file, const std::vector<std::u16string>& installed,
                    Diagnostics& out);

}  // namespace velmora::tool
