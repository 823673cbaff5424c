#include "layer_lines.h"

#include <algorithm>
#include <set>

#include "theme/theme_keys.h"

namespace velmora::tool {

namespace {

enum Array { kFrontSprites, kBackSprites, kCharacters, kFrontParticles, kBackParticles, kArrays };

}  // namespace

void LayerLines::addRow(const std::vector<ImageFrame>& row, int line) {
    if (!row.empty()) rows_.push_back(Row{row.data(), row.data() + row.size(), line});
}

template <typename Layer, std::size_t N>
void LayerLines::addLayers(const std::array<Layer, N>& layers, std::int32_t count, const std::vector<int>& lines) {
    for (std::size_t l = 0; l < lines.size() && static_cast<std::int64_t>(l) < count && l < N; ++l) {
        if constexpr (std::is_same_v<decltype(layers[l].images), std::vector<ImageFrame>>) {
            addRow(layers[l].images, lines[l]);
        } else {
            for (const std::vector<ImageFrame>& row : layers[l].images) addRow(row, lines[l]);
        }
    }
}

LayerLines::LayerLines(std::u16string_view text, const Diagnostics& parse, const Theme& theme) {
    std::set<int> leftOut;
    for (const Diagnostic& d : parse) {
        if (d.severity == Diagnostic::Severity::Error && d.line > 0) leftOut.insert(d.line);
    }
    // The lines of each array's layers, in the order the parser commits them.
    std::array<std::vector<int>, kArrays> lines;
    for (const SectionLine& line : sectionLines(text)) {
        const ThemeKeyword keyword = themeKeyword(line.keyword());
        if (leftOut.count(line.number) != 0) continue;
        bool bad = false;
        if (keyword == ThemeKeyword::Sprite) {
            lines[readLine<SpriteLine>(line, nullptr, &bad).layer == u"front" ? kFrontSprites : kBackSprites].push_back(line.number);
        } else if (keyword == ThemeKeyword::Particle) {
            lines[readLine<ParticleLine>(line, nullptr, &bad).layer == u"front" ? kFrontParticles : kBackParticles].push_back(line.number);
        } else if (keyword == ThemeKeyword::Character) {
            lines[kCharacters].push_back(line.number);
        }
    }
    addLayers(theme.frontSprites, theme.frontSpriteCount, lines[kFrontSprites]);
    addLayers(theme.backSprites, theme.backSpriteCount, lines[kBackSprites]);
    addLayers(theme.characters, theme.characterCount, lines[kCharacters]);
    addLayers(theme.frontParticles, theme.frontParticleCount, lines[kFrontParticles]);
    addLayers(theme.backParticles, theme.backParticleCount, lines[kBackParticles]);
    std::sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) { return std::less<>()(a.begin, b.begin); });
}

int LayerLines::lineOf(const ImageFrame* frame) const {
    auto after = std::upper_bound(rows_.begin(), rows_.end(), frame,
                                  [](const ImageFrame* f, const Row& row) { return std::less<>()(f, row.begin); });
    if (after == rows_.begin()) return 0;
    const Row& row = *(after - 1);
    return std::less<>()(frame, row.end) ? row.line : 0;
}

}  // namespace velmora::tool
