#pragma once
// Where each Wayland output lies in the desktop player's one frame. The compositor places outputs
// in logical units; a scene draws in physical pixels. Every output keeps its own physical size
// (its logical size times its integer scale, the size of its buffers), and stands at its logical
// position times the largest scale of all outputs: with one scale everywhere (the usual case) the
// outputs touch as they do on screen; with mixed scales none overlaps another, at the price of a
// strip of the frame that no output shows.
#include <cstdint>
#include <optional>
#include <vector>

#include "ports/handles.h"

namespace velmora::wayland {

// Integer scales beyond this are taken as this (no screen has more; a buffer stays bounded).
inline constexpr std::int32_t kMaxOutputScale = 8;
// Neither side of an output's buffer is longer than this.
inline constexpr std::int32_t kMaxOutputSide = 16384;

struct OutputPlace {
    std::int32_t x = 0;  // logical position in the compositor's space
    std::int32_t y = 0;
    std::int32_t width = 0;  // logical size, as the layer surface was configured
    std::int32_t height = 0;
    std::int32_t scale = 1;
};

// An output's scale as used: within 1 .. kMaxOutputScale.
std::int32_t usableScale(std::int32_t scale);

// The output's buffer size in pixels (logical size times scale, each side at most
// kMaxOutputSide); nothing when the output has no size.
struct PixelSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};
std::optional<PixelSize> bufferSize(const OutputPlace& output);

// Each output's rectangle in the frame's coordinates (those of the compositor's origin times the
// largest scale), in the order given; an output without size gets an empty rectangle.
std::vector<RectI> placeOutputs(const std::vector<OutputPlace>& outputs);

// The smallest rectangle holding every non-empty one; empty (all zero) when there is none.
RectI boundsOf(const std::vector<RectI>& rects);

// The order in which outputs are told to the core: the primary first (the one holding the
// compositor's origin, as Windows' primary monitor holds the screen's), the others as given.
std::vector<std::size_t> primaryFirst(const std::vector<OutputPlace>& outputs);

}  // namespace velmora::wayland
