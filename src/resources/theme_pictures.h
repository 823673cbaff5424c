#pragma once
// The pictures a parsed theme names, with their file names: the one place that knows how a
// picture's name is formed and in which order a theme's pictures are loaded.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ground/theme_model.h"

namespace velmora {

// No file system or archive holds a file name this long (file names end at 255 units or bytes);
// a longer picture name is not even formed, as a layer's name may be as long as theme.txt and
// its table may name thousands of frames.
inline constexpr std::size_t kMaxPictureNameUnits = 1024;

// Why a picture's name cannot name a file of the theme: such a picture is absent, unlooked for.
enum class NameProblem {
    Fine,
    TooLong,           // longer than kMaxPictureNameUnits: it cannot exist (nothing is formed)
    LeavesTheme,       // holds a path separator (/ or \) or "..": a theme reads only its own folder or archive
    UnpairedSurrogate, // not a character string: no file system or archive spells it
};

struct ThemePicture {
    std::u16string member;  // "floor.png", "bird_1_2.png", "cat_3.png"; empty when TooLong
    std::string role;       // what it is, for messages: "floor", "sprite layer \"bird\"", ...
    ImageFrame* frame;      // where the decoded picture is kept in the Theme
    std::int32_t filter;    // 0 nearest neighbour, 1 linear
    NameProblem problem = NameProblem::Fine;
};

// Whether a formed name can name a file of the theme.
NameProblem pictureNameProblem(std::u16string_view member);

// How a layer is named in messages: kind and quoted name ("sprite layer \"bird\""), a name longer
// than kMaxPictureNameUnits cut short.
std::string pictureRole(const char* kind, std::u16string_view name);

// Visits the pictures in loading order: floor, ceiling, background, screen (those that are
// named), then every frame of every variation of the front sprites, back sprites, characters,
// front particles and back particles. Only the entries of a layer's table within its variations
// x frames are named. One picture is formed at a time; visit returns false to stop.
void visitThemePictures(Theme& theme, const std::function<bool(const ThemePicture&)>& visit);
// All of them at once, for themes of a sane size (the tools).
std::vector<ThemePicture> themePictures(Theme& theme);

}  // namespace velmora
