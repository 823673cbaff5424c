#pragma once
// The pictures a parsed theme names, with their file names: the one place that knows how a
// picture's name is formed and in which order a theme's pictures are loaded.
#include <cstdint>
#include <string>
#include <vector>

#include "ground/theme_model.h"

namespace velmora {

struct ThemePicture {
    std::u16string member;  // "floor.png", "bird_1_2.png", "cat_3.png"
    std::string role;       // what it is, for messages: "floor", "sprite layer \"bird\"", ...
    ImageFrame* frame;      // where the decoded picture is kept in the Theme
    std::int32_t filter;    // 0 nearest neighbour, 1 linear
};

// In loading order: floor, ceiling, background, screen (those that are named), then every frame
// of every variation of the front sprites, back sprites, characters, front particles and back
// particles. Only the entries of a layer's table within its variations x frames are named.
std::vector<ThemePicture> themePictures(Theme& theme);

}  // namespace velmora
