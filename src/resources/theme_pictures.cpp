#include "resources/theme_pictures.h"

#include "ground/text_decoding.h"

#include <utility>

namespace velmora {

namespace {

std::u16string decimal(std::size_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}


// The picture with this name, or one marked TooLong when the name would pass the limit
// (counted before anything is formed).
ThemePicture picture(std::size_t nameUnits, const std::function<std::u16string()>& name, const std::string& role,
                     ImageFrame& frame, std::int32_t filter) {
    if (nameUnits > kMaxPictureNameUnits) return ThemePicture{{}, role, &frame, filter, NameProblem::TooLong};
    std::u16string member = name();
    const NameProblem problem = pictureNameProblem(member);
    return ThemePicture{std::move(member), role, &frame, filter, problem};
}

bool visitScene(const std::u16string& name, const char* role, ImageFrame& frame, std::int32_t filter,
                const std::function<bool(const ThemePicture&)>& visit) {
    if (name.empty()) return true;
    return visit(picture(name.size() + 4, [&] { return name + u".png"; }, role, frame, filter));
}

// The table has the shape the parser gave it; a count of 0 or less names nothing.
template <typename Layer>
bool visitTable(std::array<Layer, LayerCapacity>& layers, std::int32_t count, const char* kind,
                const std::function<bool(const ThemePicture&)>& visit) {
    for (std::int32_t l = 0; l < count && l < LayerCapacity; ++l) {
        Layer& layer = layers[static_cast<std::size_t>(l)];
        const std::string role = pictureRole(kind, layer.name);
        for (std::size_t v = 0; v < layer.images.size() && static_cast<std::int64_t>(v) < layer.variations; ++v) {
            auto& row = layer.images[v];
            for (std::size_t f = 0; f < row.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
                const std::size_t units = layer.name.size() + layer.ext.size() + 3 + decimal(v + 1).size() + decimal(f + 1).size();
                const auto name = [&] { return layer.name + u"_" + decimal(v + 1) + u"_" + decimal(f + 1) + u"." + layer.ext; };
                if (!visit(picture(units, name, role, row[f], layer.linear))) return false;
            }
        }
    }
    return true;
}

}  // namespace

NameProblem pictureNameProblem(std::u16string_view member) {
    if (member.size() > kMaxPictureNameUnits) return NameProblem::TooLong;
    if (member.find_first_of(u"/\\") != std::u16string_view::npos || member.find(u"..") != std::u16string_view::npos) {
        return NameProblem::LeavesTheme;
    }
    for (std::size_t i = 0; i < member.size(); ++i) {
        const char16_t unit = member[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < member.size() && member[i + 1] >= 0xDC00 && member[i + 1] <= 0xDFFF) {
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            return NameProblem::UnpairedSurrogate;
        }
    }
    return NameProblem::Fine;
}

std::string pictureRole(const char* kind, std::u16string_view name) {
    std::string role = kind;
    role += " \"";
    if (name.size() > kMaxPictureNameUnits) {
        role += encodeUtf8(name.substr(0, 32));
        role += "...";
    } else {
        role += encodeUtf8(name);
    }
    role += '"';
    return role;
}

void visitThemePictures(Theme& theme, const std::function<bool(const ThemePicture&)>& visit) {
    if (!visitScene(theme.floorName, "floor", theme.floorImage, 0, visit)) return;
    if (!visitScene(theme.ceilingName, "ceiling", theme.ceilingImage, 0, visit)) return;
    if (!visitScene(theme.backgroundName, "background", theme.backgroundImage, 1, visit)) return;
    if (!visitScene(theme.screenName, "screen", theme.screenImage, 1, visit)) return;
    if (!visitTable(theme.frontSprites, theme.frontSpriteCount, "sprite layer", visit)) return;
    if (!visitTable(theme.backSprites, theme.backSpriteCount, "sprite layer", visit)) return;
    for (std::int32_t l = 0; l < theme.characterCount && l < LayerCapacity; ++l) {
        CharacterLayer& layer = theme.characters[static_cast<std::size_t>(l)];
        const std::string role = pictureRole("character layer", layer.name);
        for (std::size_t f = 0; f < layer.images.size() && static_cast<std::int64_t>(f) < layer.frames; ++f) {
            const std::size_t units = layer.name.size() + layer.ext.size() + 2 + decimal(f + 1).size();
            const auto name = [&] { return layer.name + u"_" + decimal(f + 1) + u"." + layer.ext; };
            if (!visit(picture(units, name, role, layer.images[f], layer.linear))) return;
        }
    }
    if (!visitTable(theme.frontParticles, theme.frontParticleCount, "particle layer", visit)) return;
    visitTable(theme.backParticles, theme.backParticleCount, "particle layer", visit);
}

std::vector<ThemePicture> themePictures(Theme& theme) {
    std::vector<ThemePicture> out;
    visitThemePictures(theme, [&](const ThemePicture& picture) {
        out.push_back(picture);
        return true;
    });
    return out;
}

}  // namespace velmora
