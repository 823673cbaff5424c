#pragma once
// The line of theme.txt each layer picture of a loaded theme comes from. Layers may share a
// name (and so their picture names): a picture is told by the layer that holds it, not by its name.
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ground/diagnostics.h"
#include "ground/theme_model.h"

namespace velmora::tool {

class LayerLines {
public:
    // parse holds what the check's parse of this text said: a layer line with an error there (a
    // bad number, a limit passed) was left out and holds no layer.
    LayerLines(std::u16string_view text, const Diagnostics& parse, const Theme& theme);
    // The line of the layer whose picture table holds frame; 0 when none does.
    int lineOf(const ImageFrame* frame) const;

private:
    struct Row {
        const ImageFrame* begin;
        const ImageFrame* end;
        int line;
    };
    template <typename Layer, std::size_t N>
    void addLayers(const std::array<Layer, N>& layers, std::int32_t count, const std::vector<int>& lines);
    void addRow(const std::vector<ImageFrame>& row, int line);
    std::vector<Row> rows_;  // sorted by begin once built
};

}  // namespace velmora::tool
