#pragma once
// What check tells a theme's author beyond what the parser itself notices: values that parse but
// mean nothing useful (a character type the player does not know, a "between" naming no sprite
// layer, separations the wrong way round), and every problem of config.txt.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::tool {

struct Problem {
    bool error = false;  // an error, or a warning
    std::string file;    // as shown: "config.txt", "themes/VMA_Forest/theme.txt"
    int line = 0;        // 1-based; 0 for the file as a whole
    std::string message;
};

// Where each picture-owning line of a theme.txt is: "floor", "ceiling", "background", "screen"
// (their last line, which wins) and "sprite layer \"NAME\"", "character layer \"NAME\"",
// "particle layer \"NAME\"" (the first line of that name).
using PictureLines = std::map<std::string, int>;

// Checks the meaning of theme.txt's values; numbers and unknown keys are the parser's to report.
void lintThemeText(std::u16string_view text, const std::string& file, std::vector<Problem>& out,
                   PictureLines* pictureLines = nullptr);

// Checks config.txt; installed are the theme entry names of the themes folder.
void lintConfigText(std::u16string_view text, const std::string& file, const std::vector<std::u16string>& installed,
                    std::vector<Problem>& out);

}  // namespace velmora::tool
