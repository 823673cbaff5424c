#pragma once
// Every picture a parsed theme names, with its member file name, in the order they are loaded.
#include <string>
#include <vector>

#include "theme/theme_model.h"

namespace velmora::tool {

struct NamedPicture {
    std::u16string member;      // "floor.png", "bird_1_2.png", "cat_3.png"
    std::string role;           // what it is, for messages: "floor", "sprite layer \"bird\"", ...
    const ImageFrame* frame;    // where the loaded picture is kept in the Theme
};

std::vector<NamedPicture> namedPictures(const Theme& theme);

}  // namespace velmora::tool
